// setup.exe driven from outside, as a user would: copied into a fresh folder whose name holds a
// space and Chinese characters (or characters the ANSI code page lacks), started with arguments,
// its windows found by class and operated with window messages, its exit awaited; then the files it
// wrote, its exit code and what the demo installer recorded are checked. Each test saves a picture
// of the screen it checked.
#include <windows.h>
// Progress bar messages.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/wide_text.h"
#include "e2e_main.h"
#include "extraction/command_line.h"
#include "support/windows/screenshot.h"
#include "support/windows/windows_helpers.h"
#include "verification/QORMD5Unit.h"

namespace qor::e2e {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using namespace testing;  // the shared helpers of the Windows test programs

// Whether child has ended, waiting up to wait.
bool Ended(ChildProcess& child, milliseconds wait = 0ms) {
  return child.WaitForExit(wait) != STILL_ACTIVE;
}

class SetupRun : public ::testing::Test {
 protected:
  // What the fresh folder's name starts with, before the test's name.
  virtual std::wstring FolderName() const { return L"安装测试"; }

  void SetUp() override {
    test_name_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(test_name_.begin(), test_name_.end(), '/', '_');
    // One folder per test and ctest entry (code page, DPI), so that entries may run side by side.
    folder_ = FreshFolder(Utf8FromWide(FolderName()) + " " + test_name_ + " " +
                          std::to_string(GetACP()) + "-" + std::to_string(Given().dpi)) +
              "\\";
  }

  void TearDown() override {
    // Ends what still runs.
    process_.reset();
    sleepers_.clear();
  }

  // Copies setupProgram into the folder and starts it with the given argument text.
  void Start(const std::string& arguments, const std::string& setupProgram = Given().setup) {
    ASSERT_TRUE(CopyFileW(Wide(setupProgram).c_str(), Wide(folder_ + "setup.exe").c_str(), FALSE))
        << setupProgram;
    started_at_ = Clock::now();
    process_.emplace(folder_ + "setup.exe", arguments);
    ASSERT_NE(process_->Id(), 0u) << "setup.exe did not start";
  }

  HWND WaitForWindow(const std::wstring& className, milliseconds limit = 30s) {
    return testing::WaitForWindow(process_->Id(), className, limit);
  }

  // The verification window: the check box off, then the install button.
  HWND ApproveWithoutVerification() {
    HWND verify = WaitForWindow(L"TFrmNetVerify");
    if (!verify) return nullptr;
    first_window_ms_ =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_at_).count();
    std::vector<HWND> boxes = Children(verify, L"Button");
    std::vector<HWND> buttons = Children(verify, L"TSpeedButton");
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(buttons.size(), 1u);
    if (boxes.size() != 1 || buttons.size() != 1) return nullptr;
    SendMessageA(boxes[0], BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageA(boxes[0], BM_GETCHECK, 0, 0), BST_UNCHECKED);
    clicked_at_ = Clock::now();
    Click(buttons[0]);
    HWND unzip = WaitForWindow(L"TFrmUnzipSoft");
    extraction_window_ms_ =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - clicked_at_).count();
    return unzip;
  }

  // setup's exit code once it has ended within limit.
  DWORD WaitForExit(milliseconds limit = 30s) {
    const DWORD code = process_->WaitForExit(limit);
    EXPECT_NE(code, STILL_ACTIVE) << "setup still runs after " << limit.count() << " ms";
    return code;
  }

  // A sleeping process started from a copy of this program named folder\name.
  ChildProcess& StartSleeper(const std::string& folder, const std::string& name) {
    const std::string path = folder_ + folder + "\\" + name;
    CreateDirectoryW(Wide(folder_ + folder).c_str(), nullptr);
    EXPECT_TRUE(CopyThisProgram(path)) << path;
    return sleepers_.emplace_back(path, kSleepArgument);
  }

  void Screenshot(const std::string& suffix = "") {
    testing::SaveScreenshot(nullptr, "e2e-" + test_name_ + suffix);
  }

  // The installer's parameters as it recorded them: its command line after its own name.
  std::string RecordedParameters() {
    std::string line = ReadFile(folder_ + "instPG-command-line.txt");
    std::size_t at = 0;
    bool quoted = false;
    while (at < line.size() && (quoted || (line[at] != ' ' && line[at] != '\t'))) {
      if (line[at] == '"') quoted = !quoted;
      ++at;
    }
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    std::size_t end = line.find_last_not_of(' ');
    return end == std::string::npos || end < at ? "" : line.substr(at, end + 1 - at);
  }

  std::string folder_;
  std::string test_name_;
  std::optional<ChildProcess> process_;
  Clock::time_point started_at_;
  Clock::time_point clicked_at_;
  long long first_window_ms_ = -1;
  long long extraction_window_ms_ = -1;
  std::deque<ChildProcess> sleepers_;  // references to its elements stay valid as it grows
};

// ---- A whole installation, with the argument cases of the launch.

struct ArgumentCase {
  const char* name;
  const char* arguments;   // as typed after setup.exe
  const char* parameters;  // what the installer must receive
};

class InstallTest : public SetupRun, public ::testing::WithParamInterface<ArgumentCase> {};

TEST_P(InstallTest, WritesThePackageUnpacksTheInstallerAndStartsItWithTheFirstArgument) {
  const ArgumentCase& c = GetParam();
  // Files left by an earlier run are replaced.
  WriteFile(folder_ + "install.dat", "stale package");
  WriteFile(folder_ + "instPG.exe", "stale installer");
  Start(c.arguments);
  HWND unzip = ApproveWithoutVerification();
  ASSERT_NE(unzip, nullptr);
  Screenshot();
  EXPECT_EQ(WaitForExit(), 0u);
  ASSERT_TRUE(WaitUntil([&] { return Exists(folder_ + "instPG-command-line.txt"); }));
  EXPECT_TRUE(ReadFile(folder_ + "install.dat") == ReadFile(Given().package))
      << "install.dat differs from the embedded package";
  EXPECT_TRUE(ReadFile(folder_ + "instPG.exe") == ReadFile(Given().installer))
      << "instPG.exe differs from the demo installer";
  // The installer ran from the program's folder.
  std::string line = ReadFile(folder_ + "instPG-command-line.txt");
  EXPECT_EQ(CommandLineArgument(line, 0), FilePath::FromNative(folder_ + "instPG.exe").Text());
  EXPECT_EQ(RecordedParameters(), c.parameters);
  std::printf(
      "[ timing   ] start to first window %lld ms, install click to extraction window "
      "%lld ms\n",
      first_window_ms_, extraction_window_ms_);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, InstallTest,
    ::testing::Values(ArgumentCase{"NoArgument", "", ""}, ArgumentCase{"Silent", "/S", "/S"},
                      ArgumentCase{"QuotedWithSpace", "\"two words\" ignored", "two words"},
                      ArgumentCase{"EmptyQuotesSkipped", "\"\" /S", "/S"}),
    [](const ::testing::TestParamInfo<ArgumentCase>& info) { return info.param.name; });

// ---- Folders whose names the ANSI code page cannot spell, or spells with bytes that GBK would
// read as lead bytes. Each case runs under its code page (the cp1252 cases by their own ctest
// entry) and is skipped under any other.

struct FolderCase {
  const char* name;
  const wchar_t* folder;  // the last part of the folder's name
  UINT codePage;
};

class ForeignFolderTest : public SetupRun, public ::testing::WithParamInterface<FolderCase> {
 protected:
  std::wstring FolderName() const override { return GetParam().folder; }
};

TEST_P(ForeignFolderTest, FingerprintsExtractsAndStartsTheInstallerInsideTheFolder) {
  if (GetACP() != GetParam().codePage) {
    GTEST_SKIP() << "needs code page " << GetParam().codePage << ", runs under " << GetACP();
  }
  Start("/S");
  HWND verify = WaitForWindow(L"TFrmNetVerify");
  ASSERT_NE(verify, nullptr) << "no verification window";
  // The fingerprint is the MD5 of the copied program's own bytes.
  const std::string fingerprint = "md5 : " + FileMD5Hex(Given().setup);
  EXPECT_EQ(WindowText(ChildWithTextPrefix(verify, L"TLabel", fingerprint)), fingerprint)
      << "the fingerprint label does not show the program's MD5";
  ASSERT_NE(ApproveWithoutVerification(), nullptr);
  Screenshot();
  EXPECT_EQ(WaitForExit(), 0u);
  ASSERT_TRUE(WaitUntil([&] { return Exists(folder_ + "instPG-command-line.txt"); }))
      << "the installer did not run from the program's folder";
  EXPECT_TRUE(ReadFile(folder_ + "install.dat") == ReadFile(Given().package))
      << "install.dat is not the embedded package, inside the folder";
  EXPECT_TRUE(ReadFile(folder_ + "instPG.exe") == ReadFile(Given().installer));
  EXPECT_EQ(RecordedParameters(), "/S");
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ForeignFolderTest,
    ::testing::Values(FolderCase{"ChineseUnderCp1252", L"下载 测试", 1252},
                      // é is E9, a GBK lead byte: read as GBK it would swallow the backslash.
                      FolderCase{"CafeUnderCp1252", L"Café", 1252},
                      FolderCase{"HangulUnderCp936", L"한 설치", 936}),
    [](const ::testing::TestParamInfo<FolderCase>& info) { return info.param.name; });

// ---- Stale installers are ended before the windows show.

TEST_F(SetupRun, EndsRunningInstallersBeforeTheFirstWindowAndThePackageBeforeExtraction) {
  ChildProcess& plain = StartSleeper("a", "instPG.exe");
  ChildProcess& upper = StartSleeper("folder with spaces", "INSTPG.EXE");
  ChildProcess& package = StartSleeper("b", "install.dat");
  ChildProcess& other = StartSleeper("b", "other.exe");
  std::this_thread::sleep_for(500ms);
  Start("");
  HWND verify = WaitForWindow(L"TFrmNetVerify");
  ASSERT_NE(verify, nullptr);
  EXPECT_TRUE(Ended(plain, 1s)) << "instPG.exe still runs when the first window shows";
  EXPECT_TRUE(Ended(upper, 1s)) << "INSTPG.EXE still runs when the first window shows";
  EXPECT_FALSE(Ended(package));
  HWND unzip = ApproveWithoutVerification();
  ASSERT_NE(unzip, nullptr);
  EXPECT_TRUE(Ended(package, 1s)) << "install.dat still runs when the extraction window shows";
  Screenshot();
  EXPECT_EQ(WaitForExit(), 0u);
  EXPECT_FALSE(Ended(other)) << "an unrelated process was ended";
}

// ---- Ending early, and failing.

TEST_F(SetupRun, ClosingTheExtractionWindowWhileTheBarFillsWritesAndStartsNothing) {
  Start("/S");
  HWND unzip = ApproveWithoutVerification();
  ASSERT_NE(unzip, nullptr);
  Screenshot();
  PostMessageA(unzip, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(), 1u);
  std::this_thread::sleep_for(500ms);
  EXPECT_FALSE(Exists(folder_ + "install.dat"));
  EXPECT_FALSE(Exists(folder_ + "instPG.exe"));
  EXPECT_FALSE(Exists(folder_ + "instPG-command-line.txt"));
}

TEST_F(SetupRun, ClosingTheVerificationWindowEndsWithoutWriting) {
  Start("");
  HWND verify = WaitForWindow(L"TFrmNetVerify");
  ASSERT_NE(verify, nullptr);
  Screenshot();
  PostMessageA(verify, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(), 1u);
  EXPECT_FALSE(Exists(folder_ + "install.dat"));
  EXPECT_FALSE(Exists(folder_ + "instPG.exe"));
}

TEST_F(SetupRun, DamagedPackageStartsNoInstallerAndTheStuckWindowEndsWithTwo) {
  if (Given().damagedSetup.empty()) GTEST_SKIP() << "no --damaged-setup given";
  Start("/S", Given().damagedSetup);
  HWND unzip = ApproveWithoutVerification();
  ASSERT_NE(unzip, nullptr);
  HWND bar = Children(unzip, L"msctls_progress32").at(0);
  ASSERT_TRUE(WaitUntil([&] { return SendMessageA(bar, PBM_GETPOS, 0, 0) == 180; }));
  // Well past the work's tick: the window stays, full and open, and nothing was started.
  std::this_thread::sleep_for(1500ms);
  EXPECT_FALSE(Ended(*process_));
  EXPECT_TRUE(IsWindowVisible(unzip));
  EXPECT_FALSE(Exists(folder_ + "instPG-command-line.txt"));
  Screenshot();
  PostMessageA(unzip, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(), 2u);
  EXPECT_FALSE(Exists(folder_ + "instPG-command-line.txt"));
}

TEST_F(SetupRun, InstallerTheShellCannotStartEndsWithTwo) {
  if (Given().unstartableSetup.empty()) GTEST_SKIP() << "no --unstartable-setup given";
  Start("/S", Given().unstartableSetup);
  ASSERT_NE(ApproveWithoutVerification(), nullptr);
  // The program still ends by itself, but a calling script must not read that as a started
  // installer.
  EXPECT_EQ(WaitForExit(), 2u);
  EXPECT_TRUE(Exists(folder_ + "instPG.exe"));
}

// ---- The extraction window against its layout, at the DPI the prefix sets.

// The DPI awareness a window was created with and the DPI it is laid out for; empty where the
// system keeps no DPI per window (before Windows 10 1607).
struct WindowDpi {
  DPI_AWARENESS awareness;
  UINT dpi;
};
std::optional<WindowDpi> DpiOf(HWND window) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto function = [user32](const char* name) {
    return reinterpret_cast<void (*)()>(GetProcAddress(user32, name));
  };
  auto context_of = reinterpret_cast<DPI_AWARENESS_CONTEXT(WINAPI*)(HWND)>(
      function("GetWindowDpiAwarenessContext"));
  auto awareness_of = reinterpret_cast<DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT)>(
      function("GetAwarenessFromDpiAwarenessContext"));
  auto dpi_of = reinterpret_cast<UINT(WINAPI*)(HWND)>(function("GetDpiForWindow"));
  if (!context_of || !awareness_of || !dpi_of) return std::nullopt;
  return WindowDpi{awareness_of(context_of(window)), dpi_of(window)};
}

// This test program is DPI-aware (e2e_main.cpp), so it reads the pixels a user sees, as the
// screenshot shows them.
TEST_F(SetupRun, ExtractionWindowMatchesItsLayoutAtTheSystemDpi) {
  const int dpi = Given().dpi;
  auto scale = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };
  Start("");
  HWND unzip = ApproveWithoutVerification();
  ASSERT_NE(unzip, nullptr);
  std::this_thread::sleep_for(300ms);
  Screenshot("-" + std::to_string(dpi) + "dpi");
  // The program lays itself out at the system DPI. Were it DPI-unaware, Windows would stretch its
  // 96-dpi window to nearly the same rectangle, blurred; the window's DPI tells the two apart.
  if (const std::optional<WindowDpi> seen = DpiOf(unzip)) {
    EXPECT_NE(seen->awareness, DPI_AWARENESS_UNAWARE);
    EXPECT_EQ(seen->dpi, static_cast<UINT>(dpi));
  }
  EXPECT_EQ(TextOf(unzip), L"正在解压缩安装包...");
  RECT outer{};
  GetWindowRect(unzip, &outer);
  EXPECT_EQ(outer.left, scale(197));
  EXPECT_EQ(outer.top, scale(284));
  RECT client = ClientRectOf(unzip);
  EXPECT_EQ(client.right, scale(654));
  EXPECT_EQ(client.bottom, scale(67));
  std::vector<HWND> labels = Children(unzip, L"TLabel");
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(TextOf(labels[0]), L"正在提取压缩包install.dat，并解压成instPG.exe，请等待...");
  RECT label = ChildRect(labels[0]);
  EXPECT_EQ(label.left, scale(16));
  EXPECT_EQ(label.top, scale(12));
  EXPECT_EQ(label.right - label.left, scale(425));
  EXPECT_EQ(label.bottom - label.top, scale(13));
  std::vector<HWND> bars = Children(unzip, L"msctls_progress32");
  ASSERT_EQ(bars.size(), 1u);
  RECT bar = ChildRect(bars[0]);
  EXPECT_EQ(bar.left, 0);
  EXPECT_EQ(bar.right, client.right);
  EXPECT_EQ(bar.bottom, client.bottom);
  EXPECT_EQ(bar.bottom - bar.top, scale(17));
  EXPECT_EQ(SendMessageA(bars[0], PBM_GETRANGE, FALSE, 0), 180);
  EXPECT_EQ(WaitForExit(), 0u);
}

}  // namespace
}  // namespace qor::e2e
