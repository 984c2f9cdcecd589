// Misc Settings: special characters, limits and flags, each on its control;
// characters show sign-widened or as codes and read back through their low bits.
#include "dialog_fixture.h"

namespace {

enum {
  kNull = 337, kXon = 338, kXoff = 339, kXonLim = 340, kXoffLim = 341, kEof = 342, kEvt = 343,
  kDsrSens = 344, kTxContinue = 345, kErrorOn = 346, kAbort = 347, kErrorChar = 348
};
const int kWin16Ids[] = {349, 350, 351, 352, 353};

class MiscSettingsTest : public DialogTest {
 protected:
  void OpenDialog() {
    Open(MiscSettingsDlgProc,
         {{kNull, kButton}, {kXon, kEdit}, {kXoff, kEdit}, {kXonLim, kEdit}, {kXoffLim, kEdit}, {kEof, kEdit},
          {kEvt, kEdit}, {kDsrSens, kButton}, {kTxContinue, kButton}, {kErrorOn, kButton}, {kAbort, kButton},
          {kErrorChar, kEdit}, {349, kButton}, {350, kButton}, {351, kButton}, {352, kEdit}, {353, kEdit},
          {IDOK, kButton}, {IDCANCEL, kButton}});
  }
};

TEST_F(MiscSettingsTest, OpeningShowsCharactersLimitsAndFlags) {
  DCB& d = device->dcb;
  d = PatternDcb();
  d.XonChar = static_cast<char>(0x91);
  d.XoffChar = 19;
  d.XonLim = 65535;
  d.XoffLim = 0;
  d.EofChar = 26;
  d.EvtChar = static_cast<char>(0x91);
  d.ErrorChar = static_cast<char>(0xFF);
  d.fNull = 1;
  d.fDsrSensitivity = 0;
  d.fTXContinueOnXoff = 1;
  d.fErrorChar = 0;
  d.fAbortOnError = 1;
  OpenDialog();
  EXPECT_TRUE(SameDcb(port->dcb, d));
  EXPECT_EQ(Text(kXon), "4294967185");
  EXPECT_EQ(Text(kXoff), "19");
  EXPECT_EQ(Text(kXonLim), "65535");
  EXPECT_EQ(Text(kXoffLim), "0");
  EXPECT_EQ(Text(kEof), "26");
  EXPECT_EQ(Text(kEvt), "145");
  EXPECT_EQ(Text(kErrorChar), "255");
  EXPECT_TRUE(Checked(kNull));
  EXPECT_FALSE(Checked(kDsrSens));
  EXPECT_TRUE(Checked(kTxContinue));
  EXPECT_FALSE(Checked(kErrorOn));
  EXPECT_TRUE(Checked(kAbort));
  for (int id : kWin16Ids) {
    EXPECT_FALSE(C(id).enabled) << id;
    EXPECT_FALSE(Checked(id)) << id;
    EXPECT_EQ(Text(id), "") << id;
  }
}

// What opening shows reads back as the same block, sign-widened codes included.
TEST_F(MiscSettingsTest, OkWithNothingChangedGivesBackTheBlockAsRead) {
  for (unsigned code : {0x00u, 0x7Fu, 0x80u, 0x91u, 0xFFu}) {
    SCOPED_TRACE(code);
    fake::Calls().clear();
    DCB read = PatternDcb();
    for (char* c : {&read.XonChar, &read.XoffChar, &read.EofChar, &read.EvtChar, &read.ErrorChar})
      *c = static_cast<char>(code);
    device->dcb = read;
    OpenDialog();
    Press(IDOK);
    std::vector<DCB> sent = SentStates();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(SameDcb(sent[0], read));
  }
}

TEST_F(MiscSettingsTest, OkKeepsTheLowBitsOfEachValue) {
  const DCB read = PatternDcb();
  device->dcb = read;
  OpenDialog();
  Check(kNull, !read.fNull);
  Type(kXon, "300");
  Type(kXoff, "0x13");
  Type(kXonLim, "70000");
  Type(kXoffLim, "");  // keeps the member
  Type(kEof, "A");
  Type(kEvt, "13H");
  Check(kDsrSens, !read.fDsrSensitivity);
  Check(kTxContinue, !read.fTXContinueOnXoff);
  Check(kErrorOn, false);
  Check(kAbort, !read.fAbortOnError);
  Type(kErrorChar, "63");  // without "fErrorChar:" checked
  Press(IDOK);

  DCB expected = read;
  expected.fNull = !read.fNull;
  expected.XonChar = 44;
  expected.XoffChar = 19;
  expected.XonLim = 4464;
  expected.EofChar = 'A';
  expected.EvtChar = 19;
  expected.fDsrSensitivity = !read.fDsrSensitivity;
  expected.fTXContinueOnXoff = !read.fTXContinueOnXoff;
  expected.fErrorChar = 0;
  expected.fAbortOnError = !read.fAbortOnError;
  expected.ErrorChar = 63;
  std::vector<DCB> sent = SentStates();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(SameDcb(sent[0], expected));
  EXPECT_TRUE(fake::Boxes().empty());
}

TEST_F(MiscSettingsTest, DriverRefusalsAreShown) {
  port->dcb = PatternDcb();
  port->dcb.XoffLim = 4321;
  fake::FailNext("GetCommState", ERROR_ACCESS_DENIED);
  OpenDialog();
  EXPECT_EQ(Text(kXoffLim), "4321");
  fake::FailNext("SetCommState", ERROR_INVALID_PARAMETER);
  Press(IDOK);
  EXPECT_EQ(fake::BoxTexts(), (std::vector<std::string>{"Error from GetCommState:5", "Error from SetCommState:87"}));
}

TEST_F(MiscSettingsTest, CancelSendsNothing) {
  OpenDialog();
  Type(kXon, "1");
  Press(IDCANCEL);
  EXPECT_EQ(DriverWrites(), 0);
}

}  // namespace
