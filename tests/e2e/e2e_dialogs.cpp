// The six settings dialogs of the real plix32.exe under Wine, opened from the
// menu of a terminal on COM5 of the pseudo-terminal cable. What they show and
// do is checked against the driver, read through a second handle on COM5
// (Wine does not refuse it), and against Linux's own view of the line: stty
// on the pseudo-terminal behind COM5.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dialogs/dialog_ids.h"
#include "plix_app.h"

namespace {

constexpr int kOpenPortBase = 499;  // command 499 + n opens COMn
constexpr int kLineSettings = 208, kTimeouts = 209, kEvents = 210, kMiscSettings = 211, kPortSettings = 214,
              kQueueSizes = 215;

const int kEventBoxes[] = {IDC_EV_RXCHAR, IDC_EV_RXFLAG,   IDC_EV_TXEMPTY, IDC_EV_CTS,    IDC_EV_DSR,
                           IDC_EV_RLSD,   IDC_EV_BREAK,    IDC_EV_ERR,     IDC_EV_RING,   IDC_EV_PERR,
                           IDC_EV_RX80FULL, IDC_EV_EVENT1, IDC_EV_EVENT2};
const int kTimeoutBoxes[] = {IDC_READINTERVAL, IDC_READMULTIPLIER, IDC_READCONSTANT, IDC_WRITEMULTIPLIER,
                             IDC_WRITECONSTANT};

std::string Num(unsigned long value) { return std::to_string(value); }

// Every member of a DCB, so that two blocks compare as text with a readable diff.
std::string Describe(const DCB& d) {
  std::ostringstream out;
  out << "BaudRate=" << d.BaudRate << " ByteSize=" << int(d.ByteSize) << " Parity=" << int(d.Parity)
      << " StopBits=" << int(d.StopBits) << " fBinary=" << d.fBinary << " fParity=" << d.fParity
      << " fOutxCtsFlow=" << d.fOutxCtsFlow << " fOutxDsrFlow=" << d.fOutxDsrFlow << " fDtrControl=" << d.fDtrControl
      << " fDsrSensitivity=" << d.fDsrSensitivity << " fTXContinueOnXoff=" << d.fTXContinueOnXoff
      << " fOutX=" << d.fOutX << " fInX=" << d.fInX << " fErrorChar=" << d.fErrorChar << " fNull=" << d.fNull
      << " fRtsControl=" << d.fRtsControl << " fAbortOnError=" << d.fAbortOnError << " XonLim=" << d.XonLim
      << " XoffLim=" << d.XoffLim << " XonChar=" << int(BYTE(d.XonChar)) << " XoffChar=" << int(BYTE(d.XoffChar))
      << " ErrorChar=" << int(BYTE(d.ErrorChar)) << " EofChar=" << int(BYTE(d.EofChar))
      << " EvtChar=" << int(BYTE(d.EvtChar));
  return out.str();
}

// The driver's view of a port, through a handle of our own.
class Driver {
 public:
  explicit Driver(const std::string& com) {
    std::string path = "\\\\.\\" + com;
    handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) error_ = GetLastError();
  }
  ~Driver() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  DWORD error() const { return error_; }
  HANDLE handle() const { return handle_; }

  bool State(DCB* dcb) const {
    *dcb = DCB{};
    dcb->DCBlength = sizeof *dcb;
    return GetCommState(handle_, dcb) != FALSE;
  }
  std::string Described() const {
    DCB dcb;
    return State(&dcb) ? Describe(dcb) : "GetCommState failed: " + Num(GetLastError());
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  DWORD error_ = 0;
};

// The words of stty's output ("speed 19200 baud; ... -parenb cs8 cstopb").
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> out;
  std::string word;
  for (char c : text + " ") {
    if (c == ' ' || c == '\n' || c == '\t' || c == ';') {
      if (!word.empty()) out.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return out;
}

bool HasWord(const std::string& text, const std::string& word) {
  std::vector<std::string> words = Words(text);
  return std::find(words.begin(), words.end(), word) != words.end();
}

// The number after "speed" in stty's output, "" if there is none.
std::string Speed(const std::string& text) {
  std::vector<std::string> words = Words(text);
  auto at = std::find(words.begin(), words.end(), "speed");
  return at != words.end() && at + 1 != words.end() ? *(at + 1) : "";
}

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = EnvOr("PLIX_E2E_PORT", "COM5");
    nearPty_ = EnvOr("CABLE_NEAR", "");
    ASSERT_FALSE(nearPty_.empty()) << "CABLE_NEAR (the Linux end of " << port_ << ") is not set; run it through ctest";
    workdir_ = FullPath(EnvOr("PLIX_E2E_WORKDIR", "build\\e2e-app"));
    CreateDirectoryA(workdir_.c_str(), nullptr);
    std::string why;
    ASSERT_TRUE(app_.Start(FullPath(EnvOr("PLIX_EXE", "build\\win64\\plix32.exe")), workdir_, &why)) << why;
    app_.Command(kOpenPortBase + std::stoi(port_.substr(3)));
    terminal_ = app_.WaitForTerminal(port_.c_str(), 5000);
    ASSERT_NE(terminal_, nullptr) << "no terminal window for " << port_;
    ASSERT_TRUE(app_.WaitForScreen(terminal_, "<Port Opened>", 3000)) << app_.Screen(terminal_);
    // The first poll reports the modem status once; out of the way before any dialog.
    EXPECT_TRUE(WaitUntil([&] { return AnswerBoxes(nullptr), !boxes_.empty(); }, 3000));
    boxes_.clear();

    driver_ = std::make_unique<Driver>(port_);
    ASSERT_TRUE(driver_->ok()) << "cannot open " << port_ << " a second time: " << driver_->error();
    ASSERT_TRUE(driver_->State(&saved_)) << GetLastError();
  }

  void TearDown() override {
    // The cable outlives this program: give the next test the line it had.
    if (driver_ && driver_->ok()) {
      EXPECT_TRUE(SetCommState(driver_->handle(), &saved_));
      EXPECT_EQ(driver_->Described(), Describe(saved_));
    }
    driver_.reset();
    if (app_.Running()) {
      EXPECT_EQ(app_.CloseAndWait(10000), 0u) << "the program did not end cleanly";
    }
  }

  // Records and answers the program's message boxes, except `dialog`.
  void AnswerBoxes(HWND dialog) {
    answered_.erase(std::remove_if(answered_.begin(), answered_.end(), [](HWND w) { return !IsWindow(w); }),
                    answered_.end());
    for (HWND box : app_.MessageBoxes(dialog)) {
      if (std::find(answered_.begin(), answered_.end(), box) != answered_.end()) continue;
      boxes_.push_back(MessageBoxText(box));
      answered_.push_back(box);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
  }

  // Opens a settings dialog from the menu; nullptr if it did not come.
  HWND Open(int command, const char* caption, int controlId) {
    app_.Command(command);
    return app_.WaitForDialog(caption, controlId, 5000);
  }

  // Presses a button of `dialog` and waits for it to close, answering the
  // boxes it shows meanwhile; false if it stayed open.
  bool Press(HWND dialog, int button) {
    PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(button), 0);
    return WaitUntil(
        [&] {
          AnswerBoxes(dialog);
          return !IsWindow(dialog);
        },
        5000);
  }

  // `stty -a` on the Linux end of the port.
  std::string Stty() {
    std::string out;
    EXPECT_TRUE(RunLinuxShell("stty -a -F " + nearPty_, workdir_, &out, 5000)) << "stty did not answer";
    EXPECT_NE(Speed(out), "") << out;
    return out;
  }

  std::string port_, nearPty_, workdir_;
  PlixApp app_;
  HWND terminal_ = nullptr;
  std::unique_ptr<Driver> driver_;
  DCB saved_{};
  std::vector<std::string> boxes_;
  std::vector<HWND> answered_;
};

// --- What each dialog shows ---------------------------------------------------

TEST_F(Dialogs, EachDialogOpensFromTheMenuWithTheDriversSettings) {
  // Settings that no default has, through our own handle; what the
  // pseudo-terminal keeps of them is what the dialogs must show.
  DCB dcb = saved_;
  dcb.BaudRate = 57600;
  dcb.StopBits = TWOSTOPBITS;
  dcb.fOutX = 1;
  dcb.fOutxCtsFlow = 1;
  dcb.XonChar = static_cast<char>(0x91);
  dcb.XoffChar = static_cast<char>(0x93);
  dcb.EofChar = 0x1A;
  ASSERT_TRUE(SetCommState(driver_->handle(), &dcb)) << GetLastError();
  ASSERT_TRUE(driver_->State(&dcb));
  ASSERT_EQ(dcb.BaudRate, 57600u) << Describe(dcb);
  ASSERT_EQ(BYTE(dcb.XonChar), 0x91) << Describe(dcb);
  // Time-outs and queue sizes are the driver's for any fresh handle.
  COMMTIMEOUTS timeouts{};
  ASSERT_TRUE(GetCommTimeouts(driver_->handle(), &timeouts));
  COMMPROP properties{};
  ASSERT_TRUE(GetCommProperties(driver_->handle(), &properties));
  // The driver and Linux agree on the line the dialogs are about to show.
  EXPECT_EQ(Speed(Stty()), "57600");

  HWND dialog = Open(kPortSettings, "Communication Settings", IDC_FLOWCONTROL);
  ASSERT_NE(dialog, nullptr) << "Port Settings did not open";
  EXPECT_EQ(ListSelectionText(dialog, IDC_BAUDRATE), Num(dcb.BaudRate));
  EXPECT_EQ(ListSelectionText(dialog, IDC_DATABITS), dcb.ByteSize == 7 ? "7 bits" : "8 bits");
  EXPECT_EQ(ListSelection(dialog, IDC_PARITY), dcb.Parity);
  EXPECT_EQ(ListSelection(dialog, IDC_STOPBITS), dcb.StopBits);
  const char* flow = dcb.fRtsControl == RTS_CONTROL_HANDSHAKE ? "Hardware" : dcb.fOutX ? "Xon/Xoff" : "None";
  EXPECT_EQ(ListSelectionText(dialog, IDC_FLOWCONTROL), flow);
  ASSERT_TRUE(Press(dialog, IDCANCEL));

  dialog = Open(kLineSettings, "COM Settings", IDC_CTSFLOW);
  ASSERT_NE(dialog, nullptr) << "Line Settings did not open";
  EXPECT_EQ(ControlText(dialog, IDC_BAUDRATE), Num(dcb.BaudRate));
  EXPECT_EQ(ControlText(dialog, IDC_DATABITS), Num(dcb.ByteSize));
  EXPECT_EQ(ListSelection(dialog, IDC_PARITY), dcb.Parity);
  EXPECT_EQ(IsChecked(dialog, IDC_PARITYENABLE), dcb.fParity != 0);
  EXPECT_EQ(ListSelection(dialog, IDC_STOPBITS), dcb.StopBits);
  EXPECT_EQ(ListSelection(dialog, IDC_RTSCONTROL), static_cast<int>(dcb.fRtsControl));
  EXPECT_EQ(ListSelection(dialog, IDC_DTRCONTROL), static_cast<int>(dcb.fDtrControl));
  EXPECT_EQ(IsChecked(dialog, IDC_RECXONXOFF), dcb.fOutX != 0);
  EXPECT_EQ(IsChecked(dialog, IDC_SENDXONXOFF), dcb.fInX != 0);
  EXPECT_EQ(IsChecked(dialog, IDC_CTSFLOW), dcb.fOutxCtsFlow != 0);
  EXPECT_EQ(IsChecked(dialog, IDC_DSRFLOW), dcb.fOutxDsrFlow != 0);
  ASSERT_TRUE(Press(dialog, IDCANCEL));

  // The event mask is the port's own, none for a new port.
  dialog = Open(kEvents, "Events Setup", IDC_ALLONOFF);
  ASSERT_NE(dialog, nullptr) << "Events did not open";
  for (int id : kEventBoxes) EXPECT_FALSE(IsChecked(dialog, id)) << "event box " << id;
  EXPECT_EQ(ControlText(dialog, IDC_ALLONOFF), "All On");
  for (int id : {IDC_EV_CTSS, IDC_EV_DSRS, IDC_EV_RLSDS, IDC_EV_RINGTE, IDC_RECCOUNT, IDC_SENDCOUNT})
    EXPECT_FALSE(IsControlEnabled(dialog, id)) << "Win16 control " << id;
  ASSERT_TRUE(Press(dialog, IDCANCEL));

  dialog = Open(kTimeouts, "Timeouts", IDC_WRITECONSTANT);
  ASSERT_NE(dialog, nullptr) << "Timeouts did not open";
  const DWORD shownTimeouts[] = {timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                                 timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                                 timeouts.WriteTotalTimeoutConstant};
  for (size_t i = 0; i < std::size(kTimeoutBoxes); ++i)
    EXPECT_EQ(ControlText(dialog, kTimeoutBoxes[i]), Num(shownTimeouts[i])) << "time-out box " << kTimeoutBoxes[i];
  for (int id : {IDC_CTSTIMEOUT, IDC_DSRTIMEOUT, IDC_RLSTIMEOUT}) EXPECT_FALSE(IsControlEnabled(dialog, id)) << id;
  ASSERT_TRUE(Press(dialog, IDCANCEL));

  dialog = Open(kMiscSettings, "COM Misc", IDC_XONCHAR);
  ASSERT_NE(dialog, nullptr) << "Misc Settings did not open";
  // The two flow characters show sign-widened, the others as bytes.
  auto widened = [](char c) { return Num(static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)))); };
  EXPECT_EQ(IsChecked(dialog, IDC_FNULL), dcb.fNull != 0);
  EXPECT_EQ(ControlText(dialog, IDC_XONCHAR), widened(dcb.XonChar));
  EXPECT_EQ(ControlText(dialog, IDC_XOFFCHAR), widened(dcb.XoffChar));
  EXPECT_EQ(ControlText(dialog, IDC_XONLIM), Num(dcb.XonLim));
  EXPECT_EQ(ControlText(dialog, IDC_XOFFLIM), Num(dcb.XoffLim));
  EXPECT_EQ(ControlText(dialog, IDC_EOFCHAR), Num(BYTE(dcb.EofChar)));
  EXPECT_EQ(ControlText(dialog, IDC_EVTCHAR), Num(BYTE(dcb.EvtChar)));
  EXPECT_EQ(IsChecked(dialog, IDC_DSRSENSITIVITY), dcb.fDsrSensitivity != 0);
  EXPECT_EQ(IsChecked(dialog, IDC_TXCONTINUEONXOFF), dcb.fTXContinueOnXoff != 0);
  EXPECT_EQ(IsChecked(dialog, IDC_ERRORCHARON), dcb.fErrorChar != 0);
  EXPECT_EQ(IsChecked(dialog, IDC_ABORTONERROR), dcb.fAbortOnError != 0);
  EXPECT_EQ(ControlText(dialog, IDC_ERRORCHAR), Num(BYTE(dcb.ErrorChar)));
  for (int id : {IDC_FBINARY, IDC_FPECHAR, IDC_FCHEVT, IDC_PECHAR, IDC_TXDELAY})
    EXPECT_FALSE(IsControlEnabled(dialog, id)) << "Win16 control " << id;
  ASSERT_TRUE(Press(dialog, IDCANCEL));

  dialog = Open(kQueueSizes, "COM Misc", IDC_RXQUEUE);
  ASSERT_NE(dialog, nullptr) << "QSizes did not open";
  EXPECT_EQ(ControlText(dialog, IDC_RXQUEUE), Num(properties.dwCurrentRxQueue));
  EXPECT_EQ(ControlText(dialog, IDC_TXQUEUE), Num(properties.dwCurrentTxQueue));
  ASSERT_TRUE(Press(dialog, IDCANCEL));

  EXPECT_TRUE(boxes_.empty()) << boxes_[0];
}

// --- Port Settings on the line -------------------------------------------------

TEST_F(Dialogs, PortSettingsChangeTheLineAsLinuxSeesItAndReopenWithTheDriversValues) {
  std::string before = Stty();
  ASSERT_NE(Speed(before), "19200") << "the line must start elsewhere for the change to show";
  ASSERT_TRUE(HasWord(before, "-cstopb")) << before;

  // Asks for 7 data bits and even parity too, which a pseudo-terminal keeps
  // at 8 and none.
  HWND dialog = Open(kPortSettings, "Communication Settings", IDC_FLOWCONTROL);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SelectListEntry(dialog, IDC_BAUDRATE, "19200"));
  ASSERT_TRUE(SelectListEntry(dialog, IDC_DATABITS, "7 bits"));
  ASSERT_TRUE(SelectListEntry(dialog, IDC_PARITY, "Even"));
  ASSERT_TRUE(SelectListEntry(dialog, IDC_STOPBITS, "2"));
  ASSERT_TRUE(Press(dialog, IDOK)) << "OK did not close Port Settings";
  EXPECT_TRUE(boxes_.empty()) << boxes_[0];

  std::string after = Stty();
  EXPECT_EQ(Speed(after), "19200") << after;
  EXPECT_TRUE(HasWord(after, "cstopb")) << after;

  DCB driver;
  ASSERT_TRUE(driver_->State(&driver));
  EXPECT_EQ(driver.BaudRate, 19200u);
  EXPECT_EQ(driver.StopBits, TWOSTOPBITS);
  EXPECT_EQ(driver.ByteSize, 8) << "the pseudo-terminal took 7 data bits";
  EXPECT_EQ(driver.Parity, NOPARITY) << "the pseudo-terminal took even parity";

  dialog = Open(kPortSettings, "Communication Settings", IDC_FLOWCONTROL);
  ASSERT_NE(dialog, nullptr) << "Port Settings did not open again";
  EXPECT_EQ(ListSelectionText(dialog, IDC_BAUDRATE), "19200");
  EXPECT_EQ(ListSelectionText(dialog, IDC_DATABITS), driver.ByteSize == 7 ? "7 bits" : "8 bits");
  EXPECT_EQ(ListSelection(dialog, IDC_PARITY), driver.Parity);
  EXPECT_EQ(ListSelectionText(dialog, IDC_STOPBITS), "2");
  ASSERT_TRUE(Press(dialog, IDCANCEL));
}

// --- Line Settings with a data-bits value the driver refuses ----------------------

TEST_F(Dialogs, LineSettingsReportsRefusedDataBitsWithWinesNumberAndCloses) {
  DCB before;
  ASSERT_TRUE(driver_->State(&before));
  // Wine's answer to 9 data bits, asked on our own handle with the same rate.
  DCB nine = before;
  nine.ByteSize = 9;
  ASSERT_FALSE(SetCommState(driver_->handle(), &nine)) << "the driver took 9 data bits";
  const DWORD refused = GetLastError();
  ASSERT_NE(refused, 0u);
  ASSERT_TRUE(SetCommState(driver_->handle(), &before));
  std::string described = driver_->Described();

  HWND dialog = Open(kLineSettings, "COM Settings", IDC_CTSFLOW);
  ASSERT_NE(dialog, nullptr);
  SetControlText(dialog, IDC_DATABITS, "9");
  ASSERT_TRUE(Press(dialog, IDOK)) << "Line Settings stayed open";
  // The second hand-over carries the same 9 bits and is refused too.
  std::vector<std::string> expected = {
      "Error from SetCommState A2: " + Num(refused) + " ByteSize: 9",
      "Error from SetCommState:" + Num(refused),
  };
  EXPECT_EQ(boxes_, expected);
  EXPECT_EQ(driver_->Described(), described);
}

// --- Time-outs through the program's own handle ---------------------------------

TEST_F(Dialogs, TimeoutsOkReachesTheDriverAndComeBackOnReopening) {
  // Opening reads the driver again, so what reopening shows is what the
  // program's handle holds, not what the dialog last had.
  HWND dialog = Open(kTimeouts, "Timeouts", IDC_WRITECONSTANT);
  ASSERT_NE(dialog, nullptr);
  const char* typed[] = {"4294967295", "0x10", "20H", "30", "40"};
  const char* expected[] = {"4294967295", "16", "32", "30", "40"};
  for (size_t i = 0; i < std::size(kTimeoutBoxes); ++i) SetControlText(dialog, kTimeoutBoxes[i], typed[i]);
  ASSERT_TRUE(Press(dialog, IDOK));
  dialog = Open(kTimeouts, "Timeouts", IDC_WRITECONSTANT);
  ASSERT_NE(dialog, nullptr);
  for (size_t i = 0; i < std::size(kTimeoutBoxes); ++i)
    EXPECT_EQ(ControlText(dialog, kTimeoutBoxes[i]), expected[i]) << "time-out box " << kTimeoutBoxes[i];
  ASSERT_TRUE(Press(dialog, IDCANCEL));
  EXPECT_TRUE(boxes_.empty()) << boxes_[0];
}

// --- Cancel -------------------------------------------------------------------

TEST_F(Dialogs, CancelChangesNothing) {
  std::string lineBefore = Stty();
  std::string driverBefore = driver_->Described();

  HWND dialog = Open(kPortSettings, "Communication Settings", IDC_FLOWCONTROL);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SelectListEntry(dialog, IDC_BAUDRATE, "19200"));
  ASSERT_TRUE(SelectListEntry(dialog, IDC_STOPBITS, "2"));
  ASSERT_TRUE(SelectListEntry(dialog, IDC_FLOWCONTROL, "Xon/Xoff"));
  ASSERT_TRUE(Press(dialog, IDCANCEL));

  dialog = Open(kLineSettings, "COM Settings", IDC_CTSFLOW);
  ASSERT_NE(dialog, nullptr);
  SetControlText(dialog, IDC_BAUDRATE, "9600");
  ASSERT_TRUE(SelectListEntry(dialog, IDC_STOPBITS, "2"));
  ASSERT_TRUE(SelectListEntry(dialog, IDC_RTSCONTROL, "Clear"));
  SendDlgItemMessageA(dialog, IDC_RECXONXOFF, BM_SETCHECK, BST_CHECKED, 0);
  SendDlgItemMessageA(dialog, IDC_SENDXONXOFF, BM_SETCHECK, BST_CHECKED, 0);
  ASSERT_TRUE(Press(dialog, IDCANCEL));

  dialog = Open(kMiscSettings, "COM Misc", IDC_XONCHAR);
  ASSERT_NE(dialog, nullptr);
  SetControlText(dialog, IDC_XONCHAR, "1");
  SetControlText(dialog, IDC_EOFCHAR, "7");
  SendDlgItemMessageA(dialog, IDC_FNULL, BM_SETCHECK, BST_CHECKED, 0);
  ASSERT_TRUE(Press(dialog, IDCANCEL));

  // The time-outs live with the program's own handle and the event mask
  // with its port: only reopening the dialog shows them.
  dialog = Open(kTimeouts, "Timeouts", IDC_WRITECONSTANT);
  ASSERT_NE(dialog, nullptr);
  std::string shown = ControlText(dialog, IDC_READCONSTANT);
  SetControlText(dialog, IDC_READCONSTANT, "1234");
  ASSERT_TRUE(Press(dialog, IDCANCEL));
  dialog = Open(kTimeouts, "Timeouts", IDC_WRITECONSTANT);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_READCONSTANT), shown);
  ASSERT_TRUE(Press(dialog, IDCANCEL));

  dialog = Open(kEvents, "Events Setup", IDC_ALLONOFF);
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(ControlText(dialog, IDC_ALLONOFF), "All On");
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ALLONOFF, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ALLONOFF)));
  ASSERT_TRUE(IsChecked(dialog, IDC_EV_EVENT2)) << "All On checked nothing";
  ASSERT_TRUE(Press(dialog, IDCANCEL));
  dialog = Open(kEvents, "Events Setup", IDC_ALLONOFF);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_ALLONOFF), "All On");
  for (int id : kEventBoxes) EXPECT_FALSE(IsChecked(dialog, id)) << "event box " << id;
  ASSERT_TRUE(Press(dialog, IDCANCEL));

  EXPECT_EQ(driver_->Described(), driverBefore);
  EXPECT_EQ(Stty(), lineBefore);
  EXPECT_TRUE(boxes_.empty()) << boxes_[0];
}

}  // namespace
