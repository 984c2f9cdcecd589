// Hex Dump rows and the Log To File texts, as plain functions.
#include <gtest/gtest.h>

#include <string>

#include "core/hex_dump.h"
#include "core/log_line.h"
#include "core/spelling.h"

namespace {

std::string Row(uint64_t offset, const std::string& bytes) {
  char out[HexDump::kRowChars + 1];
  const int n = FormatHexRow(offset, reinterpret_cast<const unsigned char*>(bytes.data()),
                             static_cast<int>(bytes.size()), out);
  EXPECT_EQ(n, static_cast<int>(std::string(out).size()));
  return out;
}

TEST(HexRow, LaysOutOffsetBytesAndCharactersWithDotsForTheUnprintable) {
  EXPECT_EQ(Row(0x10, std::string("Hello\r\n\0\xff" "ABCDEFG", 16)),
            "00000010  48 65 6C 6C 6F 0D 0A 00 FF 41 42 43 44 45 46 47  Hello....ABCDEFG");
  // The edges of the printable range: 20H and 7EH are themselves, 1FH, 7FH, 80H are dots.
  EXPECT_EQ(Row(0, std::string("\x1f\x20\x7e\x7f\x80", 5)),
            "00000000  1F 20 7E 7F 80" + std::string(33 + 2, ' ') + ". ~..");
  // The offset column holds 8 digits and wraps, it never widens the row.
  EXPECT_EQ(Row(0x123456789ull, "z").substr(0, 10), "23456789  ");
  EXPECT_EQ(Row(0, std::string(16, 'x')).size(), static_cast<size_t>(HexDump::kRowChars));
}

TEST(HexRow, APartialRowKeepsTheCharacterColumnWhereAFullRowHasIt) {
  const std::string full = Row(0, "0123456789abcdef");
  const std::string part = Row(0, "01234");
  EXPECT_EQ(part.find("01234", 10), full.find("0123456789abcdef", 10)) << part;
  EXPECT_EQ(full.compare(0, 10 + 14, part, 0, 10 + 14), 0);  // the bytes so far stay where they are
}

TEST(HexDump, FillsRowsAcrossCallsAndRestartsAtZero) {
  HexDump dump;
  bool starts = false;
  const auto* bytes = reinterpret_cast<const unsigned char*>("abcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(dump.Take(bytes, 5, &starts), 5u);
  EXPECT_TRUE(starts);
  EXPECT_EQ(dump.Take(bytes + 5, 21, &starts), 11u);  // the rest of the open row only
  EXPECT_FALSE(starts);
  EXPECT_TRUE(dump.RowFull());
  EXPECT_EQ(dump.Take(bytes + 16, 10, &starts), 10u);
  EXPECT_TRUE(starts);
  char out[HexDump::kRowChars + 1];
  dump.FormatRow(out);
  EXPECT_EQ(std::string(out).substr(0, 8), "00000010");

  // A break: the next byte opens a row at its own offset, not a multiple of 16.
  dump.BreakRow();
  EXPECT_FALSE(dump.RowOpen());
  dump.Take(bytes, 1, &starts);
  EXPECT_TRUE(starts);
  dump.FormatRow(out);
  EXPECT_EQ(std::string(out).substr(0, 8), "0000001A");
  dump.Restart();
  dump.Take(bytes, 1, &starts);
  dump.FormatRow(out);
  EXPECT_EQ(std::string(out).substr(0, 8), "00000000");
}

TEST(LogLine, EntriesCarryDateTimePortKindAndTextOneLineEach) {
  const LocalTime t{2026, 12, 10, 14, 3, 7, 250};
  LogBuffer log;
  log.AddSpelled(t, "COM5", LogKind::kRx, reinterpret_cast<const unsigned char*>("abc\r\n"), 5);
  log.Add(t, "COM5", LogKind::kErr, "<ERR:OVERRUN>", 13);
  log.Add(t, "COM5", LogKind::kClose, "", 0);
  log.Add(LocalTime{999, 1, 2, 3, 4, 5, 6}, "COM12", LogKind::kNote, "two\r\nlines", 10);
  EXPECT_EQ(log.Pending(),
            "2026-12-10 14:03:07.250 COM5 RX abc<CR><LF>\r\n"
            "2026-12-10 14:03:07.250 COM5 ERR <ERR:OVERRUN>\r\n"
            "2026-12-10 14:03:07.250 COM5 CLOSE\r\n"
            "0999-01-02 03:04:05.006 COM12 NOTE two<CR><LF>lines\r\n");
  log.Clear();
  EXPECT_TRUE(log.Pending().empty());
  for (LogKind kind : {LogKind::kRx, LogKind::kTx, LogKind::kErr, LogKind::kEv, LogKind::kNote, LogKind::kSet,
                       LogKind::kOpen, LogKind::kClose})
    EXPECT_STRNE(LogKindWord(kind), "");
}

TEST(LogLine, StampsFileNamesAndLineDescriptions) {
  char stamp[kRowStampWidth + 1];
  FormatRowStamp(LocalTime{2026, 12, 10, 9, 5, 0, 7}, stamp);
  EXPECT_STREQ(stamp, "[09:05:00.007] ");

  char name[64];
  PortFileName("COM5", ".log", name);
  EXPECT_STREQ(name, "kOM5.log");
  PortFileName("..\\a/b:c", ".log", name);
  EXPECT_STREQ(name, "k._a_b_c.log");

  EXPECT_EQ(DescribeLine(19200, 8, 0, 2, 1, 1), "19200,8,N,2 RTS=on DTR=on");
  EXPECT_EQ(DescribeLine(9600, 7, 2, 1, 2, 0), "9600,7,E,1.5 RTS=handshake DTR=off");
  EXPECT_EQ(DescribeLine(110, 5, 9, 7, 3, 2), "110,5,?,? RTS=toggle DTR=handshake");
}

}  // namespace
