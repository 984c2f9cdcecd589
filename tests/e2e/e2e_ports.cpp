// The Ports dialog of the real plix32.exe under Wine. Wine's SetupAPI has no
// serial devices, so the rows are what SERIALCOMM holds, read here through
// the same Wine server, and the ports open in terminals: COM5 of the cable
// is a device link of its own that no list has. A port the test adds to
// SERIALCOMM shows within a refresh and opens with Open.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "dialogs/dialog_ids.h"
#include "plix_app.h"
#include "program_test.h"

namespace {

constexpr int kPortsCommand = 228;
constexpr char kSerialComm[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
// Values this test adds to SERIALCOMM and removes again.
const char* const kTestValues[] = {"\\Device\\PlixE2EPorts0", "\\Device\\PlixE2EPorts1"};

std::vector<std::string> SerialCommNames() {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; i++) {
    char value[256];
    DWORD valueSize = sizeof value;
    char data[256] = {};
    DWORD dataSize = sizeof data - 1;
    DWORD type = 0;
    const LONG result =
        RegEnumValueA(key, i, value, &valueSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;
    if (type == REG_SZ) names.push_back(data);
  }
  RegCloseKey(key);
  return names;
}

bool SetSerialComm(const char* value, const std::string& port) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return false;
  const LONG result = RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                                     static_cast<DWORD>(port.size() + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

void RemoveTestValues() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  for (const char* value : kTestValues) RegDeleteValueA(key, value);
  RegCloseKey(key);
}

std::vector<std::string> Fields(const std::string& row) {
  std::vector<std::string> fields(1);
  for (char c : row) {
    if (c == '\t')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  return fields;
}

// The list's rows through the wide messages, which Wine carries across
// processes (the ANSI ones bring one character a row).
std::vector<std::string> Rows(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_PORTLIST);
  std::vector<std::string> rows;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; i++) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
    std::string row;
    for (size_t k = 0; k < static_cast<size_t>(length); k++) row += text[k] < 0x80 ? static_cast<char>(text[k]) : '?';
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> Names(HWND dialog) {
  std::vector<std::string> names;
  for (const std::string& row : Rows(dialog)) names.push_back(Fields(row)[0]);
  return names;
}

int IndexOf(const std::vector<std::string>& names, const std::string& name) {
  auto at = std::find(names.begin(), names.end(), name);
  return at == names.end() ? -1 : static_cast<int>(at - names.begin());
}

// The name of the selected row, "" with none.
std::string SelectedName(HWND dialog) {
  const LRESULT index = SendDlgItemMessageW(dialog, IDC_PORTLIST, LB_GETCURSEL, 0, 0);
  const std::vector<std::string> names = Names(dialog);
  return index < 0 || index >= static_cast<LRESULT>(names.size()) ? "" : names[static_cast<size_t>(index)];
}

class Ports : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    RemoveTestValues();  // left by a run that ended early
    StartIn(workdir_);
  }
  void TearDown() override {
    RemoveTestValues();
    ProgramTest::TearDown();
  }

  HWND OpenDialog() {
    app_.Command(kPortsCommand);
    return app_.WaitForDialog("Serial Ports", IDC_PORTLIST, 5000);
  }
  // A click on a button of the dialog.
  static void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
};

TEST_F(Ports, ListsWhatSerialCommHoldsAndTheCablePortOpenInATerminal) {
  ASSERT_NE(OpenFromMenu(port_), nullptr);
  EXPECT_TRUE(boxes_->WaitFor(1, 3000));  // the modem status that Wine's pseudo-terminal cannot give
  const std::vector<std::string> serialComm = SerialCommNames();
  ASSERT_EQ(IndexOf(serialComm, port_), -1) << port_ << " was meant to be a device link in no list";

  HWND dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr) << "no Serial Ports dialog";
  const std::vector<std::string> rows = Rows(dialog);
  std::set<std::string> expected(serialComm.begin(), serialComm.end());
  expected.insert(port_);
  std::vector<std::string> names;
  for (const std::string& row : rows) {
    const std::vector<std::string> fields = Fields(row);
    ASSERT_EQ(fields.size(), 4u) << row;
    names.push_back(fields[0]);
    EXPECT_EQ(fields[3], fields[0] == port_ ? "open" : "") << row;
  }
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
  EXPECT_EQ(names.size(), expected.size()) << "a port listed twice";
  // COM ports by number.
  std::vector<int> numbers;
  for (const std::string& name : names)
    if (name.size() > 3 && name.compare(0, 3, "COM") == 0) numbers.push_back(std::stoi(name.substr(3)));
  EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));

  // Open with nothing selected does nothing; Cancel closes.
  ASSERT_EQ(SelectedName(dialog), "");
  Click(dialog, IDC_PORTOPEN);
  EXPECT_FALSE(WaitUntil([&] { return !IsWindow(dialog); }, 1000)) << "Open with nothing selected closed the dialog";
  EXPECT_EQ(app_.Terminals().size(), 1u);
  Click(dialog, IDCANCEL);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 3000)) << "Cancel did not close the dialog";
  EXPECT_EQ(app_.Terminals().size(), 1u);
  EXPECT_TRUE(app_.Answers(3000, nullptr));
}

TEST_F(Ports, APortAddedToSerialCommShowsWithinARefreshAndOpensInATerminal) {
  ASSERT_NE(OpenFromMenu(port_), nullptr);
  EXPECT_TRUE(boxes_->WaitFor(1, 3000));
  ASSERT_EQ(IndexOf(SerialCommNames(), far_), -1);
  HWND dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  std::vector<std::string> names = Names(dialog);
  ASSERT_EQ(IndexOf(names, far_), -1) << far_ << " is listed before it was added";
  const int cable = IndexOf(names, port_);
  ASSERT_GE(cable, 0);
  ASSERT_EQ(SendDlgItemMessageW(dialog, IDC_PORTLIST, LB_SETCURSEL, static_cast<WPARAM>(cable), 0), cable);

  // Wine sends no device notice for serial ports: the timer must find them.
  // COM2 goes before the selected port, which must stay selected.
  ASSERT_TRUE(SetSerialComm(kTestValues[0], "COM2"));
  ASSERT_TRUE(SetSerialComm(kTestValues[1], far_));
  ASSERT_TRUE(WaitUntil([&] { return IndexOf(Names(dialog), far_) >= 0; }, 5000))
      << "not listed after 5 s: " << ::testing::PrintToString(Rows(dialog));
  names = Names(dialog);
  EXPECT_GE(IndexOf(names, "COM2"), 0);
  EXPECT_LT(IndexOf(names, "COM2"), IndexOf(names, port_));
  EXPECT_EQ(SelectedName(dialog), port_);

  const int farRow = IndexOf(names, far_);
  ASSERT_EQ(SendDlgItemMessageW(dialog, IDC_PORTLIST, LB_SETCURSEL, static_cast<WPARAM>(farRow), 0), farRow);
  Click(dialog, IDC_PORTOPEN);
  EXPECT_NE(app_.WaitForTerminal(far_.c_str(), 5000), nullptr) << "no terminal for " << far_;
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 3000)) << "the dialog stayed after the port opened";
  EXPECT_TRUE(boxes_->WaitFor(2, 3000));
  for (const std::string& text : boxes_->Texts()) EXPECT_EQ(text.find("failed"), std::string::npos) << text;
}

}  // namespace
