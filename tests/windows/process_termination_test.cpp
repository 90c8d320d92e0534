// Ending processes by image name, against real processes: copies of this test program started
// under the installer's and the package's names, from folders with spaces and Chinese characters.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "base/wide_text.h"
#include "process/process_termination.h"
#include "setup_windows_test_main.h"
#include "support/windows/windows_helpers.h"

namespace qor {
namespace {

using testing::ChildProcess;
using testing::Wide;

class ProcessTerminationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    root_ = Utf8FromWide(temp + (L"qor proc 测试 " + std::to_wstring(GetCurrentProcessId())));
    CreateDirectoryW(Wide(root_).c_str(), nullptr);
  }
  void TearDown() override {
    started_.clear();  // ends those still running
    for (const std::string& path : paths_) DeleteFileW(Wide(path).c_str());
    for (const std::string& dir : dirs_) RemoveDirectoryW(Wide(dir).c_str());
    RemoveDirectoryW(Wide(root_).c_str());
  }

  // Copies this program to folder\name and starts it as a sleeper; returns its index.
  std::size_t Start(const std::string& folder, const std::string& name) {
    const std::string dir = root_ + "\\" + folder;
    if (CreateDirectoryW(Wide(dir).c_str(), nullptr)) dirs_.push_back(dir);
    paths_.push_back(dir + "\\" + name);
    EXPECT_TRUE(testing::CopyThisProgram(paths_.back())) << paths_.back();
    EXPECT_NE(started_.emplace_back(paths_.back(), kSleepArgument).Id(), 0u) << paths_.back();
    Sleep(300);  // time to appear in the process list
    return started_.size() - 1;
  }

  bool Ended(std::size_t index, DWORD wait = 5000) {
    return started_[index].WaitForExit(std::chrono::milliseconds(wait)) != STILL_ACTIVE;
  }
  DWORD ExitCode(std::size_t index) {
    return started_[index].WaitForExit(std::chrono::milliseconds(0));
  }

  std::string root_;
  std::vector<std::string> dirs_;
  std::vector<std::string> paths_;
  std::deque<ChildProcess> started_;  // ChildProcess cannot move: a deque keeps it in place
};

TEST_F(ProcessTerminationTest, EndsEveryProcessNamedLikeTheInstallerInAnyCaseAndNoOther) {
  std::size_t plain = Start("a", "instPG.exe");
  std::size_t upper = Start("dir with spaces", "INSTPG.EXE");
  std::size_t other = Start("a", "other.exe");
  EXPECT_TRUE(TerminateProcessesByImageName("instPG.exe"));
  EXPECT_TRUE(Ended(plain));
  EXPECT_TRUE(Ended(upper));
  EXPECT_EQ(ExitCode(plain), 0u);
  EXPECT_EQ(ExitCode(upper), 0u);
  EXPECT_FALSE(Ended(other, 200)) << "an unrelated process was ended";
}

TEST_F(ProcessTerminationTest, EndsAProcessNamedLikeThePackage) {
  std::size_t package = Start("b", "install.dat");
  std::size_t installer = Start("b", "instPG.exe");
  EXPECT_TRUE(TerminateProcessesByImageName("INSTALL.DAT"));
  EXPECT_TRUE(Ended(package));
  EXPECT_FALSE(Ended(installer, 200));
}

TEST_F(ProcessTerminationTest, NoMatchingProcessGivesFalse) {
  std::size_t other = Start("c", "other.exe");
  EXPECT_FALSE(TerminateProcessesByImageName("instPG.exe"));
  EXPECT_FALSE(TerminateProcessesByImageName(""));
  EXPECT_FALSE(Ended(other, 200));
}

}  // namespace
}  // namespace qor
