#include "process/process_match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace qor {
namespace {

using namespace std::string_literals;

TEST(ProcessMatchTest, NamesMatchByFileNamePartOrWholeNameWithAsciiFolding) {
  struct Case {
    const char* name;
    std::string executable;
    std::string given;
    bool matches;
  } cases[] = {
      {"bare name, same case", "instPG.exe", "instPG.exe", true},
      {"bare name, upper case", "INSTPG.EXE", "instPG.exe", true},
      {"bare name, mixed case", "InstPG.exe", "instPG.exe", true},
      {"full path with spaces", "C:\\Some Dir\\instpg.exe", "instPG.exe", true},
      {"after a colon", "C:instPG.exe", "instPG.exe", true},
      {"the package name", "D:\\x\\INSTALL.DAT", "install.dat", true},
      {"other program", "C:\\Windows\\explorer.exe", "instPG.exe", false},
      {"prefix only", "instPG.exe.bak", "instPG.exe", false},
      {"suffix only", "myinstPG.exe", "instPG.exe", false},
      {"whole path given and recorded", "C:\\Setup\\INSTPG.EXE", "c:\\setup\\instpg.exe", true},
      {"whole path given, bare name recorded", "instPG.exe", "C:\\Setup\\instPG.exe", false},
      {"empty executable", "", "instPG.exe", false},
      // 测 is B2 E2, 试 is CA D4: letters outside ASCII are compared byte for byte.
      {"GBK name exact", "C:\\t\\\xB2\xE2\xCA\xD4.exe", "\xB2\xE2\xCA\xD4.EXE", true},
      // Bytes 0x20 apart outside ASCII (C7, E7) are different letters, never folded together.
      {"GBK bytes not folded", "\xD1\xC7.exe", "\xD1\xE7.exe", false},
      // CB 5C (\134) is one double-byte character whose trail byte is a backslash: no separator.
      {"trail byte 5C is no separator", "C:\\d\\\xCB\134a.exe", "a.exe", false},
      {"trail byte 5C kept in file part", "C:\\d\\\xCB\134a.exe", "\xCB\134A.EXE", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ImageNameMatches(c.executable, c.given), c.matches);
  }
  // The file-name part splits by the system code page's rule: under 1252 the é of Café (E9) is a
  // letter, under GBK it leads a character that takes the backslash.
  const std::string in_cafe = "C:\\Caf\xE9\\instPG.exe";
  EXPECT_TRUE(ImageNameMatches(in_cafe, "instPG.exe", IsNoLeadByte));
  EXPECT_FALSE(ImageNameMatches(in_cafe, "instPG.exe", IsGbkLeadByte));
}

TEST(ProcessMatchTest, ExecutableNameEndsAtFirstZeroByte) {
  const char field[8] = {'a', '.', 'e', 'x', 'e', 0, 'z', 'z'};
  EXPECT_EQ(ExecutableNameFromField(field, sizeof field), "a.exe");
  const char full[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(ExecutableNameFromField(full, sizeof full), "abcd");
}

// A process list that terminates by table: ids listed in `refuse` cannot be ended.
struct FakeProcesses {
  std::vector<ProcessEntry> entries;
  std::vector<std::uint32_t> refuse;
  std::vector<std::uint32_t> attempted;
  std::size_t next_index = 0;

  bool Run(const std::string& name) {
    return TerminateMatching(
        name,
        [this](ProcessEntry& out) {
          if (next_index >= entries.size()) return false;
          out = entries[next_index++];
          return true;
        },
        [this](std::uint32_t id) {
          attempted.push_back(id);
          return std::find(refuse.begin(), refuse.end(), id) == refuse.end();
        });
  }
};

TEST(ProcessMatchTest, EveryMatchIsEndedAndTheLastAttemptDecides) {
  struct Case {
    const char* name;
    std::vector<std::uint32_t> refuse;
    bool result;
  } cases[] = {
      {"both ended", {}, true},
      {"first refused, second ended", {10}, true},
      {"first ended, second refused", {30}, false},
      {"both refused", {10, 30}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeProcesses processes;
    processes.entries = {{10, "INSTPG.EXE"}, {20, "notepad.exe"}, {30, "C:\\A B\\instpg.exe"}};
    processes.refuse = c.refuse;
    EXPECT_EQ(processes.Run("instPG.exe"), c.result);
    EXPECT_EQ(processes.attempted, (std::vector<std::uint32_t>{10, 30}));
  }
}

TEST(ProcessMatchTest, NoMatchGivesFalseAndEndsNothing) {
  FakeProcesses processes;
  processes.entries = {{1, "explorer.exe"}, {2, "setup.exe"}};
  EXPECT_FALSE(processes.Run("instPG.exe"));
  EXPECT_TRUE(processes.attempted.empty());
  FakeProcesses none;
  EXPECT_FALSE(none.Run("instPG.exe"));
}

TEST(ProcessMatchTest, AnErrorEndsTheWalkKeepingTheResultSoFar) {
  int calls = 0;
  bool result = TerminateMatching(
      "a.exe",
      [&calls](ProcessEntry& out) {
        if (++calls == 2) throw std::runtime_error("snapshot broke");
        out = ProcessEntry{7, "a.exe"};
        return true;
      },
      [](std::uint32_t) { return true; });
  EXPECT_TRUE(result);
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace qor
