// Shared fixture of the dialog tests: a port open on the fake device "COM1"
// as the dialogs' port, and a fake dialog driven through its real messages.
#pragma once
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/dialogs.h"
#include "dialogs/port_dialog.h"
#include "fakedlg.h"
#include "support.h"

class DialogTest : public FakeWinTest {
 protected:
  using Controls = std::vector<std::pair<int, fake::ControlKind>>;
  static constexpr fake::ControlKind kEdit = fake::ControlKind::kEdit;
  static constexpr fake::ControlKind kList = fake::ControlKind::kList;
  static constexpr fake::ControlKind kButton = fake::ControlKind::kButton;

  void SetUp() override {
    FakeWinTest::SetUp();
    fake::ResetDialogs();
    port = OpenPort("COM1");
    device = fake::FindDevice("COM1");
    dialogPort = port.get();
    // Only what the dialog does is of interest.
    fake::Calls().clear();
    fake::Boxes().clear();
  }
  void TearDown() override {
    EXPECT_TRUE(fake::DialogViolations().empty()) << ::testing::PrintToString(fake::DialogViolations());
    if (dialog != nullptr) UnbindDialog(dialog);  // as its WM_DESTROY would: no binding outlives the test
    port.reset();
    FakeWinTest::TearDown();
  }

  // A fresh dialog with the template's controls, opened with WM_INITDIALOG
  // for dialogPort, as a terminal window opens it.
  HWND Open(DLGPROC proc, const Controls& controls) {
    if (dialog != nullptr) UnbindDialog(dialog);  // the last one is gone
    this->proc = proc;
    dialog = fake::MakeDialog(controls);
    EXPECT_EQ(proc(dialog, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(dialogPort)), FALSE);
    return dialog;
  }
  void Command(int id, int code = BN_CLICKED) {
    EXPECT_EQ(proc(dialog, WM_COMMAND, MAKEWPARAM(id, code), 0), FALSE);
  }
  // OK and Cancel both end the dialog with 0, exactly once.
  void Press(int id) {
    Command(id);
    EXPECT_TRUE(fake::DialogOf(dialog).ended);
    EXPECT_EQ(fake::DialogOf(dialog).result, 0);
    EXPECT_EQ(fake::DialogOf(dialog).endCalls, 1);
  }

  fake::Control& C(int id) {
    fake::Control* c = fake::ControlOf(dialog, id);
    if (c == nullptr) ADD_FAILURE() << "no control " << id;
    static fake::Control none;
    return c != nullptr ? *c : none;
  }
  std::string Text(int id) { return C(id).text; }
  // What a drop-down list shows: its selected entry, or "" with none.
  std::string Shown(int id) {
    fake::Control& c = C(id);
    return c.selection < 0 ? std::string() : c.items.at(static_cast<size_t>(c.selection));
  }
  bool Checked(int id) { return C(id).check == BST_CHECKED; }
  void Type(int id, const std::string& text) { C(id).text = text; }
  void Check(int id, bool on) { C(id).check = on ? BST_CHECKED : BST_UNCHECKED; }
  void Choose(int id, int index) { C(id).selection = index; }

  // The DCBs given to SetCommState, in order.
  std::vector<DCB> SentStates() {
    std::vector<DCB> out;
    for (const fake::Call& call : fake::CallsTo("SetCommState")) {
      DCB dcb;
      EXPECT_EQ(call.text.size(), sizeof dcb);
      std::memcpy(&dcb, call.text.data(), sizeof dcb);
      out.push_back(dcb);
    }
    return out;
  }
  int DriverWrites() {
    int n = 0;
    for (const char* fn : {"SetCommState", "SetCommMask", "SetupComm", "SetCommTimeouts"})
      n += static_cast<int>(fake::CallsTo(fn).size());
    return n;
  }

  std::unique_ptr<ComPort> port;
  ComPort* dialogPort = nullptr;  // the port the next Open binds the dialog to
  fake::Device* device = nullptr;
  HWND dialog = nullptr;
  DLGPROC proc = nullptr;
};

// A block whose every byte differs from the defaults, so that a member a
// dialog should not touch but does is seen in the bytes it sends.
inline DCB PatternDcb() {
  DCB dcb;
  auto* bytes = reinterpret_cast<unsigned char*>(&dcb);
  for (size_t i = 0; i < sizeof dcb; i++) bytes[i] = static_cast<unsigned char>(0xA5 ^ (i * 29));
  dcb.DCBlength = sizeof(DCB);
  return dcb;
}

// Byte-wise equality of two DCBs, so that every member and flag bit counts.
inline bool SameDcb(const DCB& a, const DCB& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
