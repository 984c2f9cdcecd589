// The real plix32.exe under Wine in hostile conditions: the far end of a
// cable vanishing while the port receives, a capture file that cannot be
// created, and odd names typed into the port name dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "msgbox_watcher.h"
#include "plix_app.h"
#include "program_test.h"

namespace {

constexpr int kOpenPortBase = 499;  // command 499 + n opens COMn
constexpr int kOther = 539;
constexpr int kClose = 200, kSaveToDisk = 212, kSendTestData = 213, kCheckTestData = 225, kStatistics = 226;
constexpr int kPortNameEdit = 370;
const char kModemBox[] = "GetCommModemStatus Error:50";

std::string Joined(const std::vector<std::string>& texts) {
  std::string out;
  for (const std::string& t : texts) out += "[" + t + "] ";
  return out;
}

using Hostile = ProgramTest;

// --- The far end vanishes ----------------------------------------------------

TEST_F(Hostile, FarEndOfTheCableVanishesWhileThePortReceives) {
  // A cable of its own (COM11 <-> COM12): it does not come back, and its
  // ports lead to pseudo-terminals that are gone for good.
  std::string why;
  ASSERT_TRUE(StartCable("hostile", 11, 12, workdir_, &why)) << why;
  StartIn(workdir_);
  app_.Command(kOpenPortBase + 11);
  HWND terminal = app_.WaitForTerminal("COM11", 5000);
  ASSERT_NE(terminal, nullptr);
  ASSERT_TRUE(boxes_->WaitFor(1, 3000));

  FarEnd cable("COM12");
  ASSERT_TRUE(cable.ok()) << cable.error();
  std::atomic<bool> stop{false};
  std::atomic<int> writes{0};
  std::thread writer([&] {
    while (!stop && cable.Write("data from the far end\r\n")) {
      ++writes;
      Sleep(20);
    }
  });
  EXPECT_TRUE(app_.WaitForScreen(terminal, "data from the far end", 3000)) << app_.Screen(terminal);
  Sleep(500);  // receiving for a while

  std::string out;
  ASSERT_TRUE(RunLinuxShell("kill $(cat $WINEPREFIX/cables/hostile/socat.pid) && echo killed", workdir_, &out, 10000));
  ASSERT_NE(out.find("killed"), std::string::npos) << out;
  int writesAtKill = writes;

  // Six seconds with the cable gone: the frame answers all the while, and
  // the boxes stop coming after the first seconds.
  int asked = 0;
  DWORD slowest = 0;
  size_t boxesAfter2s = 0;
  DWORD since = GetTickCount();
  while (GetTickCount() - since < 6000) {
    DWORD took = 0;
    EXPECT_TRUE(app_.Answers(1000, &took)) << "no answer to WM_NULL " << GetTickCount() - since << " ms after the kill";
    slowest = std::max(slowest, took);
    ++asked;
    if (boxesAfter2s == 0 && GetTickCount() - since >= 2000) boxesAfter2s = boxes_->Texts().size();
    Sleep(100);
  }
  stop = true;
  writer.join();
  std::vector<std::string> texts = boxes_->Texts();
  std::string screen = app_.Screen(terminal);
  screen.erase(std::remove(screen.begin(), screen.end(), '\n'), screen.end());  // rows wrap at 80
  std::printf("hostile: far end killed: %d boxes in all, %d of them after the kill (%d within 2 s): %s\n",
              static_cast<int>(texts.size()), static_cast<int>(texts.size()) - 1,
              static_cast<int>(boxesAfter2s) - 1, Joined(texts).c_str());
  std::printf("hostile: far end killed: WM_NULL answered %d times, slowest %lu ms; writes before kill %d, after %d\n",
              asked, slowest, writesAtKill, writes - writesAtKill);
  std::vector<std::string> rows = app_.Rows(terminal);
  std::printf("hostile: far end killed: last screen row: %s\n", rows.empty() ? "" : rows.back().c_str());
  std::fflush(stdout);

  // The loss is on the screen once, for all the reopening tried each second;
  // no box but the pseudo-terminal's modem-status one at the start.
  EXPECT_EQ(Occurrences(screen, "<Port Lost: error 21>"), 1u) << screen;
  EXPECT_EQ(Occurrences(screen, "<Port Lost: "), 1u) << screen;
  EXPECT_EQ(screen.find("Regained"), std::string::npos) << screen;
  ASSERT_EQ(texts.size(), 1u) << Joined(texts);
  EXPECT_EQ(texts[0], kModemBox);

  // The port can be closed; the program runs on.
  app_.Command(kClose);
  EXPECT_TRUE(WaitUntil([&] { return app_.Terminals().empty(); }, 5000)) << "Close left the window";
  EXPECT_TRUE(app_.Running());
  EXPECT_TRUE(app_.Answers(1000, nullptr));
  StopCable("hostile", workdir_);
}

// --- A write the far end never takes, and closing -------------------------------

// Two ports on two cables, the test pattern going out of both; the second
// cable's far end echoes, then stops reading, so that its writes hang (six
// seconds each, then a box). With Port Statistics open on that port, its
// window is closed, then the frame: ten times, never a crash, the dialog
// closes with the window, no box comes after the window went, and the program
// ends with 0 within ten seconds.
TEST_F(Hostile, AHungWriteNeverStopsTheWindowOrTheProgramFromClosing) {
  const char kPendingBox[] = "ComOut Pending Failed, stat:258";
  std::string why;
  ASSERT_TRUE(StartCable("hung", 17, 18, workdir_, &why)) << why;
  const int rounds = std::stoi(EnvOr("PLIX_HUNG_ROUNDS", "10"));
  for (int round = 1; round <= rounds; ++round) {
    SCOPED_TRACE(round);
    StartIn(workdir_);
    FarEnd first(far_), second("COM18");
    ASSERT_TRUE(first.ok() && second.ok()) << first.error() << " " << second.error();
    app_.Command(kOpenPortBase + std::stoi(port_.substr(3)));
    ASSERT_NE(app_.WaitForTerminal(port_.c_str(), 5000), nullptr);
    app_.Command(kOpenPortBase + 17);  // the newest window is the active one
    HWND terminal = app_.WaitForTerminal("COM17", 5000);
    ASSERT_NE(terminal, nullptr);
    ASSERT_TRUE(boxes_->WaitFor(2, 5000));  // the two modem-status boxes

    // The first cable's far end takes everything; the second's echoes until told to stop.
    std::atomic<bool> echoing{true}, stop{false};
    std::atomic<size_t> echoed{0};
    std::thread farEnds([&] {
      while (!stop) {
        first.Read(65536, 5);  // bounded: the pattern comes as fast as the cable takes it
        if (!echoing) continue;
        const std::string got = second.Read(4096, 20);
        if (!got.empty() && second.WriteAll(got, 2000)) echoed += got.size();
      }
    });
    ASSERT_TRUE(app_.Send(kCheckTestData));
    ASSERT_TRUE(app_.Send(kSendTestData));
    EXPECT_TRUE(WaitUntil([&] { return echoed >= 20000; }, 10000)) << "echoed " << echoed;
    echoing = false;  // the second cable fills: its writes hang
    const bool hung = boxes_->WaitFor(3, 30000);

    // Statistics open while the writes go on hanging; then the window goes.
    app_.Command(kStatistics);
    HWND dialog = app_.WaitForDialog("Port Statistics", 401, 20000);
    EXPECT_NE(dialog, nullptr);
    app_.Command(kClose);
    const bool closed = WaitUntil([&] { return !IsWindow(terminal); }, 20000);
    const size_t atClose = boxes_->Texts().size();
    // The dialog's refresh comes once a second: it must find its port gone, not touch it.
    const bool dialogGone = WaitUntil([&] { return dialog == nullptr || !IsWindow(dialog); }, 3000);
    const bool running = app_.Answers(3000, nullptr);
    const DWORD code = app_.CloseAndWait(10000);
    stop = true;
    farEnds.join();
    const std::vector<std::string> texts = boxes_->Texts();
    std::printf("hostile: hung write, round %d: %zu bytes echoed, %zu boxes: %s\n", round, echoed.load(), texts.size(),
                Joined(texts).c_str());
    ASSERT_TRUE(hung) << Joined(texts);
    EXPECT_EQ(texts[2], kPendingBox);
    EXPECT_TRUE(closed) << "the window with the hung write did not close";
    EXPECT_TRUE(dialogGone) << "Port Statistics stayed open for a closed port";
    EXPECT_TRUE(running) << "the program did not answer after the window closed";
    EXPECT_EQ(texts.size(), atClose) << "a box after the window closed: " << Joined(texts);
    ASSERT_EQ(code, 0u) << "the program did not end cleanly within 10 s";
    boxes_.reset();
  }
  StopCable("hung", workdir_);
}

// --- Save To Disk where the file cannot be created -----------------------------

TEST_F(Hostile, SaveToDiskWhereTheCaptureFileCannotBeCreated) {
  // Root ignores permissions: a directory in the file's place stops it for anyone.
  std::string directory = workdir_ + "\\unwritable";
  std::string capture = directory + "\\k" + port_.substr(1) + ".txt";
  CreateDirectoryA(directory.c_str(), nullptr);
  DeleteFileA(capture.c_str());
  RemoveDirectoryA(capture.c_str());
  ASSERT_TRUE(CreateDirectoryA(capture.c_str(), nullptr)) << GetLastError();
  StartIn(directory);

  FarEnd cable(far_);
  ASSERT_TRUE(cable.ok()) << cable.error();
  app_.Command(kOpenPortBase + std::stoi(port_.substr(3)));
  HWND terminal = app_.WaitForTerminal(port_.c_str(), 5000);
  ASSERT_NE(terminal, nullptr);
  ASSERT_TRUE(boxes_->WaitFor(1, 3000));
  ASSERT_TRUE(app_.Send(kSaveToDisk));

  const std::string notice = "<Save To Disk failed: k" + port_.substr(1) + ".txt>";
  auto screen = [&] {
    std::string s = app_.Screen(terminal);
    s.erase(std::remove(s.begin(), s.end(), '\n'), s.end());  // rows wrap at 80
    return s;
  };
  // Several blocks, each read on a tick of its own: one notice, all the data.
  for (int i = 1; i <= 4; ++i) {
    std::string line = "block " + std::to_string(i) + " of four\r\n";
    ASSERT_TRUE(cable.Write(line));
    ASSERT_TRUE(app_.WaitForScreen(terminal, "block " + std::to_string(i) + " of four", 3000)) << app_.Screen(terminal);
    Sleep(150);
  }
  EXPECT_EQ(Occurrences(screen(), notice), 1u) << app_.Screen(terminal);

  // Saving works again once the file can be made; a new failure is shown again.
  ASSERT_TRUE(RemoveDirectoryA(capture.c_str())) << GetLastError();
  ASSERT_TRUE(cable.Write("saved line\r\n"));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "saved line", 3000));
  auto fileBytes = [&] {
    std::ifstream in(capture, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_TRUE(WaitUntil([&] { return fileBytes() == "saved line\r\n"; }, 2000)) << "capture holds '" << fileBytes() << "'";
  EXPECT_EQ(Occurrences(screen(), notice), 1u);
  // The file stays open while data keeps coming, and is closed after a quiet tick.
  ASSERT_TRUE(WaitUntil([&] { return DeleteFileA(capture.c_str()) != FALSE; }, 2000)) << GetLastError();
  ASSERT_TRUE(CreateDirectoryA(capture.c_str(), nullptr));
  ASSERT_TRUE(cable.Write("lost again\r\n"));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "lost again", 3000));
  EXPECT_TRUE(WaitUntil([&] { return Occurrences(screen(), notice) == 2; }, 1000)) << app_.Screen(terminal);
  std::printf("hostile: save to disk: screen\n%s\n", app_.Screen(terminal).c_str());

  app_.Command(kSaveToDisk);
  EXPECT_EQ(boxes_->Texts(), std::vector<std::string>{kModemBox}) << "boxes besides the modem status one";
  EXPECT_TRUE(app_.Running());
  RemoveDirectoryA(capture.c_str());
}

// --- Odd port names typed into "Other" ---------------------------------------

TEST_F(Hostile, OddPortNamesTypedIntoOther) {
  StartIn(workdir_);
  const std::string longest = "ThirtySevenCharacterPortName123456789";
  ASSERT_EQ(longest.size(), 37u);
  for (const std::string& name : {longest, std::string("..\\x"), std::string("a/b:c"),
                                  std::string("%s%n%s%n%x"), std::string("COM%n5")}) {
    // What the system says to this name, asked the way the program asks.
    std::string path = "\\\\.\\" + name;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_EQ(h, INVALID_HANDLE_VALUE) << name << " opens here";
    DWORD error = GetLastError();

    app_.Command(kOther);
    HWND dialog = app_.WaitForDialog(kPortNameEdit, 5000);
    ASSERT_NE(dialog, nullptr) << name;
    // Put in whole: this test is about the names, not about typing them.
    SetDlgItemTextA(dialog, kPortNameEdit, name.c_str());
    ASSERT_EQ(ControlText(dialog, kPortNameEdit), name);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(boxes_->WaitFor(2, 5000)) << name << ": " << Joined(boxes_->Texts());
    ASSERT_TRUE(Settled()) << name;  // and no third box
    std::vector<std::string> texts = boxes_->Take();
    std::printf("hostile: name '%s' (%zu characters): %s\n", name.c_str(), name.size(), Joined(texts).c_str());
    ASSERT_EQ(texts.size(), 2u) << Joined(texts);
    EXPECT_EQ(texts[0], "Error from CreateFile: " + std::to_string(error) + " " + name + " 0");
    EXPECT_EQ(texts[1], "Port failed to open.");
    EXPECT_TRUE(app_.Terminals().empty());
    ASSERT_TRUE(app_.Running()) << name;
    EXPECT_TRUE(app_.Answers(1000, nullptr)) << name;
  }

  // An empty name: nothing at all.
  app_.Command(kOther);
  HWND dialog = app_.WaitForDialog(kPortNameEdit, 5000);
  ASSERT_NE(dialog, nullptr);
  SetDlgItemTextA(dialog, kPortNameEdit, "");
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 3000));
  ASSERT_TRUE(Settled());
  EXPECT_TRUE(boxes_->Texts().empty()) << Joined(boxes_->Texts());
  EXPECT_TRUE(app_.Terminals().empty());
  EXPECT_TRUE(app_.Running());

  // The program still opens a real port afterwards.
  app_.Command(kOther);
  dialog = app_.WaitForDialog(kPortNameEdit, 5000);
  ASSERT_NE(dialog, nullptr);
  SetDlgItemTextA(dialog, kPortNameEdit, port_.c_str());
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  HWND terminal = app_.WaitForTerminal(port_.c_str(), 5000);
  ASSERT_NE(terminal, nullptr);
  EXPECT_TRUE(app_.WaitForScreen(terminal, "<Port Opened>", 3000));
}

}  // namespace
