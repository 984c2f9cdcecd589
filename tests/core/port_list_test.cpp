// The Ports dialog's rows: one per name whatever the case, what later
// sources add, the order, and the row text.
#include "core/port_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(const PortList& list) {
  std::vector<std::string> names;
  for (const PortEntry& entry : list.Sorted()) names.push_back(entry.name);
  return names;
}

TEST(PortList, OneEntryPerNameWhereLaterSourcesOnlyFillWhatWasMissing) {
  PortList list;
  list.Add({"COM3", "USB Serial Port (COM3)", "", PortState::kNone});
  list.Add({"com3", "Other Name", "USB\\VID_0403&PID_6001&REV_0600", PortState::kNone});
  list.Add({"COM3", "Third", "Third", PortState::kNone});
  list.Add({"", "no name", "ignored", PortState::kNone});
  ASSERT_EQ(list.Entries().size(), 1u);
  const PortEntry& entry = list.Entries()[0];
  EXPECT_EQ(entry.name, "COM3");  // the first source's spelling
  EXPECT_EQ(entry.friendly, "USB Serial Port (COM3)");
  EXPECT_EQ(entry.hardwareId, "USB\\VID_0403&PID_6001&REV_0600");
  EXPECT_EQ(entry.state, PortState::kNone);
}

TEST(PortList, OpenPortsAreMarkedAndAddedWhenNoSourceKnowsThem) {
  PortList list;
  list.Add({"COM1", "Communications Port (COM1)", "ACPI\\PNP0501", PortState::kNone});
  list.Add({"COM2", "", "", PortState::kNone});
  list.MarkOpen("com1", false);
  list.MarkOpen("COM2", true);
  list.MarkOpen("COM5", false);  // a device link no source lists
  list.MarkOpen("COM7", true);   // gone, and no source lists it
  list.MarkOpen("", false);
  std::vector<PortEntry> sorted = list.Sorted();
  ASSERT_EQ(sorted.size(), 3u);
  EXPECT_EQ(sorted[0].state, PortState::kOpen);
  EXPECT_EQ(sorted[0].friendly, "Communications Port (COM1)");
  EXPECT_EQ(sorted[1].state, PortState::kLost);
  EXPECT_EQ(sorted[2].name, "COM5");
  EXPECT_EQ(sorted[2].state, PortState::kOpen);

  // Open in one window and lost in another, in either order: open.
  list.MarkOpen("COM2", false);
  list.MarkOpen("COM1", true);
  EXPECT_EQ(list.Sorted()[0].state, PortState::kOpen);
  EXPECT_EQ(list.Sorted()[1].state, PortState::kOpen);
}

TEST(PortList, ComPortsComeFirstByNumberThenTheOtherNamesNaturally) {
  PortList list;
  for (const char* name : {"ttyUSB10", "COM10", "CNCA0", "com2", "COM1", "COM100", "ttyUSB2", "COMX", "COM9",
                           "Bluetooth", "COM007"})
    list.Add({name, "", "", PortState::kNone});
  const std::vector<std::string> expected = {"COM1",  "com2",      "COM007",  "COM9",     "COM10",   "COM100",
                                             "Bluetooth", "CNCA0", "COMX", "ttyUSB2", "ttyUSB10"};
  EXPECT_EQ(Names(list), expected);
}

TEST(PortList, NamesCompareAsAStrictOrder) {
  // Numbers longer than any integer, and names equal but for case or zeros.
  EXPECT_TRUE(PortNameLess("COM99999999999999999999", "COM100000000000000000000"));
  EXPECT_FALSE(PortNameLess("COM100000000000000000000", "COM99999999999999999999"));
  EXPECT_TRUE(PortNameLess("COM2", "COM02") != PortNameLess("COM02", "COM2"));
  EXPECT_TRUE(PortNameLess("a1b", "A1c"));
  EXPECT_FALSE(PortNameLess("COM3", "COM3"));
  EXPECT_TRUE(PortNameLess("COM", "COMA"));  // "COM" alone is no COM port number
  EXPECT_TRUE(PortNameLess("COM65535", "AUX"));
}

TEST(PortList, PrinterPortsAreRecognised) {
  EXPECT_TRUE(IsPrinterPortName("LPT1"));
  EXPECT_TRUE(IsPrinterPortName("lpt12"));
  EXPECT_FALSE(IsPrinterPortName("LPT"));
  EXPECT_FALSE(IsPrinterPortName("LPTX"));
  EXPECT_FALSE(IsPrinterPortName("COM1"));
}

TEST(PortList, ARowHasFourTabSeparatedFieldsWithoutControlCharacters) {
  EXPECT_EQ(FormatPortRow({"COM3", "USB Serial Port (COM3)", "USB\\VID_0403&PID_6001&REV_0600", PortState::kOpen}),
            "COM3\tUSB Serial Port (COM3)\tUSB\\VID_0403&PID_6001&REV_0600\topen");
  EXPECT_EQ(FormatPortRow({"COM5", "", "", PortState::kLost}), "COM5\t\t\tlost");
  EXPECT_EQ(FormatPortRow({"COM1", "", "", PortState::kNone}), "COM1\t\t\t");
  EXPECT_EQ(FormatPortRow({"COM4", "Bad\tName\r\n", "ID\x7F", PortState::kNone}), "COM4\tBad Name  \tID \t");
}

}  // namespace
