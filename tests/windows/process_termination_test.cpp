// Ending processes by image name, against real processes: copies of this test program started
// under the installer's and the package's names, from folders with spaces and Chinese characters.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/handles_win32.h"
#include "process/process_termination.h"
#include "setup_windows_test_main.h"

namespace qor {
namespace {

struct Started {
  std::string path;
  UniqueKernelHandle process;
};

class ProcessTerminationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    root_ = std::string(temp) + "qor proc 测试 " + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(root_.c_str(), nullptr);
  }
  void TearDown() override {
    for (Started& s : started_) {
      if (WaitForSingleObject(s.process.Get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(s.process.Get(), 1);
        WaitForSingleObject(s.process.Get(), 5000);
      }
      DeleteFileA(s.path.c_str());
    }
    for (const std::string& dir : dirs_) RemoveDirectoryA(dir.c_str());
    RemoveDirectoryA(root_.c_str());
  }

  // Copies this program to folder\name and starts it as a sleeper; returns its index.
  std::size_t Start(const std::string& folder, const std::string& name) {
    std::string dir = root_ + "\\" + folder;
    if (CreateDirectoryA(dir.c_str(), nullptr)) dirs_.push_back(dir);
    std::string path = dir + "\\" + name;
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_TRUE(CopyFileA(self, path.c_str(), FALSE)) << path;
    std::string command = "\"" + path + "\" " + kSleepArgument;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    EXPECT_TRUE(CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info))
        << path;
    CloseHandle(info.hThread);
    started_.push_back(Started{path, UniqueKernelHandle(info.hProcess)});
    // Give it time to appear in the process list.
    WaitForInputIdle(info.hProcess, 2000);
    Sleep(300);
    return started_.size() - 1;
  }

  bool Ended(std::size_t index, DWORD wait = 5000) {
    return WaitForSingleObject(started_[index].process.Get(), wait) == WAIT_OBJECT_0;
  }
  DWORD ExitCode(std::size_t index) {
    DWORD code = 1234;
    GetExitCodeProcess(started_[index].process.Get(), &code);
    return code;
  }

  std::string root_;
  std::vector<std::string> dirs_;
  std::vector<Started> started_;
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
