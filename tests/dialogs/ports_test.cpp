// Ports...: what SetupAPI and SERIALCOMM hold, one row per port, the ports
// of the terminal windows marked, kept up to date while the dialog is open,
// and Open handing the selected name to the opener.
#include <setupapi.h>

#include <string>
#include <vector>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs.h"
#include "fakedlg.h"
#include "fakesetupapi_ctl.h"
#include "support.h"

namespace {

std::vector<std::string> opened;  // names the opener was given, in order
bool openWorks = true;

bool Opener(const char* name) {
  opened.push_back(name);
  return openWorks;
}

const fake::SetupDevice kFtdi = {"COM3", "USB Serial Port (COM3)",
                                 {"USB\\VID_0403&PID_6001&REV_0600", "USB\\VID_0403&PID_6001"}};

class PortsTest : public FakeWinTest {
 protected:
  void SetUp() override {
    FakeWinTest::SetUp();
    fake::ResetDialogs();
    fake::ResetSetup();
    opened.clear();
    openWorks = true;
  }
  void TearDown() override {
    EXPECT_TRUE(fake::DialogViolations().empty()) << ::testing::PrintToString(fake::DialogViolations());
    EXPECT_TRUE(fake::SetupViolations().empty()) << ::testing::PrintToString(fake::SetupViolations());
    EXPECT_EQ(fake::OpenSetupObjects(), 0) << "a device list or registry key was not released";
    ports.clear();
    FakeWinTest::TearDown();
  }

  void OpenDialog() {
    dialog = fake::MakeDialog({{IDC_PORTLIST, fake::ControlKind::kListBox},
                               {IDC_PORTOPEN, fake::ControlKind::kButton},
                               {IDCANCEL, fake::ControlKind::kButton}});
    EXPECT_EQ(PortsDlgProc(dialog, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&Opener)), TRUE);
  }
  fake::Control& List() { return *fake::ControlOf(dialog, IDC_PORTLIST); }
  const std::vector<std::string>& Rows() { return List().items; }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const std::string& row : Rows()) names.push_back(row.substr(0, row.find('\t')));
    return names;
  }
  // The name of the selected row, "" with none.
  std::string Selected() {
    const int index = List().selection;
    return index < 0 ? "" : Names().at(static_cast<size_t>(index));
  }
  // A click on the row of that port, as the list box takes it.
  void Select(const std::string& name) {
    const std::vector<std::string> names = Names();
    for (size_t i = 0; i < names.size(); i++)
      if (names[i] == name) List().selection = static_cast<int>(i);
    ASSERT_EQ(Selected(), name);
  }
  void Command(int id, int code) { PortsDlgProc(dialog, WM_COMMAND, MAKEWPARAM(id, code), 0); }
  void Tick() { PortsDlgProc(dialog, WM_TIMER, 1, 0); }
  bool Ended() { return fake::DialogOf(dialog).ended; }

  // A port open in a terminal window of the program.
  ComPort* OpenInPlix(const std::string& name) {
    ports.push_back(OpenPort(name));
    return ports.back().get();
  }

  HWND dialog = nullptr;
  std::vector<std::unique_ptr<ComPort>> ports;
};

TEST_F(PortsTest, ListsAdaptersWithTheirNamesAndIdsAndOtherPortsByNameOnce) {
  fake::AddSetupPort(kFtdi);
  // A Prolific driver that registers no interface: found by its class only.
  fake::Setup().classDevices.push_back(
      {fake::kPortsClass, {"COM10", "Prolific USB-to-Serial Comm Port (COM10)", {"USB\\VID_067B&PID_2303&REV_0300"}}});
  // One that has no friendly name on its interface record; the class has it.
  fake::Setup().interfaceDevices.push_back({fake::kComPortInterface, {"COM4", "", {"FTDIBUS\\COMPORT&VID_0403"}}});
  fake::Setup().classDevices.push_back({fake::kPortsClass, {"COM4", "FT232R (COM4)", {"ignored"}}});
  // Not serial ports, or not there.
  fake::Setup().classDevices.push_back({fake::kPortsClass, {"LPT1", "Printer Port (LPT1)", {"ACPI\\PNP0400"}}});
  fake::SetupDevice unplugged = {"COM7", "USB Serial Port (COM7)", {"USB\\VID_0403&PID_6015"}};
  unplugged.present = false;
  fake::AddSetupPort(unplugged);
  fake::AddSetupPort({"", "A port without a name", {"ROOT\\PORTS"}});
  fake::Setup().interfaceDevices.push_back({fake::kPortsClass, {"COM8", "", {}}});  // under the wrong interface
  fake::AddSerialComm("COM3");
  fake::AddSerialComm("COM1");
  fake::AddSerialComm("COM2");
  OpenDialog();

  const std::vector<std::string> expected = {
      "COM1\t\t\t",
      "COM2\t\t\t",
      "COM3\tUSB Serial Port (COM3)\tUSB\\VID_0403&PID_6001&REV_0600\t",
      "COM4\tFT232R (COM4)\tFTDIBUS\\COMPORT&VID_0403\t",
      "COM10\tProlific USB-to-Serial Comm Port (COM10)\tUSB\\VID_067B&PID_2303&REV_0300\t",
  };
  EXPECT_EQ(Rows(), expected);
  EXPECT_EQ(List().selection, LB_ERR);
  // Three stops, left to right, so the four columns line up.
  ASSERT_EQ(List().tabStops.size(), 3u);
  EXPECT_LT(0, List().tabStops[0]);
  EXPECT_LT(List().tabStops[0], List().tabStops[1]);
  EXPECT_LT(List().tabStops[1], List().tabStops[2]);
  // Every refresh from now on is on a timer of its own.
  ASSERT_EQ(fake::CallsTo("SetTimer").size(), 1u);
  EXPECT_EQ(fake::CallsTo("SetTimer")[0].args[2], 2000u);
}

TEST_F(PortsTest, PortsOfTheTerminalsAreMarkedOpenOrLost) {
  fake::AddSetupPort(kFtdi);
  fake::AddSerialComm("COM1");
  fake::AddSerialComm("COM2");
  OpenInPlix("COM3");
  OpenInPlix("com1")->recovery.lost = 1;
  OpenInPlix("COM5");  // a device link of its own, in no list
  OpenInPlix("COM8")->recovery.lost = 1;  // gone, in no list either
  OpenDialog();
  const std::vector<std::string> expected = {
      "COM1\t\t\tlost",
      "COM2\t\t\t",
      "COM3\tUSB Serial Port (COM3)\tUSB\\VID_0403&PID_6001&REV_0600\topen",
      "COM5\t\t\topen",
  };
  EXPECT_EQ(Rows(), expected);
}

TEST_F(PortsTest, RefreshesOnTheTimerAndOnDeviceChangesKeepingTheSelectionAndTheScroll) {
  for (int n = 1; n <= 12; n++) fake::AddSerialComm("COM" + std::to_string(n));
  OpenDialog();
  ASSERT_EQ(Rows().size(), 12u);
  Select("COM7");
  List().topIndex = 4;  // scrolled down by the user

  // An adapter plugged in: the notice brings its row.
  fake::AddSetupPort({"COM13", "USB Serial Port (COM13)", {"USB\\VID_0403&PID_6001&REV_0600"}});
  PortsDlgProc(dialog, WM_DEVICECHANGE, 0x0007 /* DBT_DEVNODES_CHANGED */, 0);
  ASSERT_EQ(Rows().size(), 13u);
  EXPECT_EQ(Rows().back(), "COM13\tUSB Serial Port (COM13)\tUSB\\VID_0403&PID_6001&REV_0600\t");
  EXPECT_EQ(Selected(), "COM7");
  EXPECT_EQ(List().topIndex, 4);

  // A port gone above the selection: the timer notices, the name stays selected.
  fake::Setup().serialComm.erase(fake::Setup().serialComm.begin());
  Tick();
  EXPECT_EQ(Names().front(), "COM2");
  EXPECT_EQ(Selected(), "COM7");
  EXPECT_EQ(List().topIndex, 4);

  // Nothing changed: the list is left alone, wherever the user put it.
  Select("COM9");
  List().topIndex = 6;
  const int resets = List().resets;
  Tick();
  PortsDlgProc(dialog, WM_DEVICECHANGE, 0x8000 /* DBT_DEVICEARRIVAL */, 0);
  EXPECT_EQ(List().resets, resets);
  EXPECT_EQ(Selected(), "COM9");
  EXPECT_EQ(List().topIndex, 6);

  // The selected port gone: nothing is selected, and the scroll stays in the list.
  for (int n = 0; n < 8; n++) fake::Setup().serialComm.pop_back();
  fake::Setup().interfaceDevices.clear();
  fake::Setup().classDevices.clear();
  Tick();
  EXPECT_EQ(Names(), (std::vector<std::string>{"COM2", "COM3", "COM4"}));
  EXPECT_EQ(List().selection, LB_ERR);
  EXPECT_LE(List().topIndex, 2);

  PortsDlgProc(dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(Ended());
  EXPECT_EQ(fake::DialogOf(dialog).result, IDCANCEL);
  // The timer that was set, and no other, is killed.
  ASSERT_EQ(fake::CallsTo("KillTimer").size(), 1u);
  const std::vector<uint64_t> set = fake::CallsTo("SetTimer").at(0).args;
  EXPECT_EQ(fake::CallsTo("KillTimer")[0].args, std::vector<uint64_t>(set.begin(), set.begin() + 2));
  EXPECT_TRUE(opened.empty());
}

TEST_F(PortsTest, OpenAndDoubleClickOpenTheSelectedPortAndCloseOnlyWhenItOpened) {
  fake::AddSerialComm("COM1");
  fake::AddSerialComm("COM2");
  fake::AddSetupPort(kFtdi);
  OpenDialog();

  // Nothing selected: nothing to open.
  Command(IDC_PORTOPEN, BN_CLICKED);
  Command(IDC_PORTLIST, LBN_DBLCLK);
  EXPECT_TRUE(opened.empty());
  EXPECT_FALSE(Ended());

  // A port that does not open (the opener showed why); meanwhile it vanished.
  Select("COM2");
  Command(IDC_PORTLIST, LBN_SELCHANGE);
  EXPECT_TRUE(opened.empty()) << "choosing a row opened it";
  openWorks = false;
  fake::Setup().serialComm.pop_back();
  Command(IDC_PORTOPEN, BN_CLICKED);
  EXPECT_EQ(opened, std::vector<std::string>{"COM2"});
  EXPECT_FALSE(Ended());
  EXPECT_EQ(Names(), (std::vector<std::string>{"COM1", "COM3"}));
  EXPECT_EQ(List().selection, LB_ERR);

  // A double-click on one that opens: the dialog closes.
  Select("COM3");
  openWorks = true;
  Command(IDC_PORTLIST, LBN_DBLCLK);
  EXPECT_EQ(opened, (std::vector<std::string>{"COM2", "COM3"}));
  EXPECT_TRUE(Ended());
  EXPECT_EQ(fake::DialogOf(dialog).endCalls, 1);
  EXPECT_EQ(fake::CallsTo("KillTimer").size(), 1u);
}

TEST_F(PortsTest, OpenButtonClosesTheDialogOnceThePortOpened) {
  fake::AddSerialComm("COM1");
  OpenDialog();
  Select("COM1");
  Command(IDC_PORTOPEN, BN_CLICKED);
  EXPECT_EQ(opened, std::vector<std::string>{"COM1"});
  EXPECT_TRUE(Ended());
  EXPECT_EQ(fake::DialogOf(dialog).endCalls, 1);
}

TEST_F(PortsTest, SerialCommIsListedWhenSetupApiFailsAndSetupApiWithoutSerialComm) {
  fake::AddSetupPort(kFtdi);
  fake::AddSerialComm("COM1");
  fake::AddSerialComm("COM3");
  // Values a driver might leave: a name without its NUL, a number, one far
  // too long, and one after them all.
  fake::Setup().serialComm.push_back({"\\Device\\Odd", REG_SZ, "COM9"});
  fake::Setup().serialComm.push_back({"\\Device\\Number", REG_DWORD, std::string("\x05\0\0\0", 4)});
  fake::Setup().serialComm.push_back(fake::RegString("\\Device\\Long", std::string(600, 'X')));
  fake::AddSerialComm("COM20");
  fake::Setup().listsFail = ERROR_ACCESS_DENIED;
  OpenDialog();
  EXPECT_EQ(Names(), (std::vector<std::string>{"COM1", "COM3", "COM9", "COM20"}));
  EXPECT_EQ(Rows()[1], "COM3\t\t\t");
  EXPECT_EQ(fake::CallsTo("SetupDiGetClassDevsA").size(), 2u);
  EXPECT_EQ(fake::CallsTo("RegCloseKey").size(), 1u);
  PortsDlgProc(dialog, WM_COMMAND, IDCANCEL, 0);

  fake::Setup().listsFail = 0;
  fake::Setup().serialCommExists = false;
  OpenDialog();
  EXPECT_EQ(Rows(), std::vector<std::string>{"COM3\tUSB Serial Port (COM3)\tUSB\\VID_0403&PID_6001&REV_0600\t"});
}

TEST_F(PortsTest, EveryDeviceListAndKeyIsReleasedOnEachRefresh) {
  fake::AddSetupPort(kFtdi);
  fake::AddSetupPort({"", "no port name", {"ROOT\\X"}});
  fake::Setup().classDevices.push_back({fake::kPortsClass, {"LPT1", "Printer Port (LPT1)", {}}});
  fake::AddSerialComm("COM1");
  OpenDialog();
  for (int i = 0; i < 3; i++) {
    Tick();
    EXPECT_EQ(fake::OpenSetupObjects(), 0);
  }
  EXPECT_EQ(fake::CallsTo("SetupDiGetClassDevsA").size(), 8u);  // two lists a refresh
  EXPECT_EQ(fake::CallsTo("SetupDiDestroyDeviceInfoList").size(), 8u);
  EXPECT_EQ(fake::CallsTo("SetupDiOpenDevRegKey").size() + fake::CallsTo("RegOpenKeyExA").size(),
            fake::CallsTo("RegCloseKey").size());
  for (const fake::Call& call : fake::CallsTo("SetupDiGetClassDevsA"))
    EXPECT_NE(call.args[0] & DIGCF_PRESENT, 0u) << "a list with absent devices";
}

}  // namespace
