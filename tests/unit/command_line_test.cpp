#include "extraction/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qor {
namespace {

using namespace std::string_literals;
using Args = std::vector<std::string>;

TEST(CommandLineTest, SplitsAsThePlatformStartUpCodeDoes) {
  struct Case {
    const char* name;
    std::string line;
    Args expected;
  } cases[] = {
      {"program only", "setup.exe", {"setup.exe"}},
      {"empty line", "", {}},
      {"one argument", "setup.exe /S", {"setup.exe", "/S"}},
      {"quoted program with spaces", "\"C:\\A B\\setup.exe\" /S", {"C:\\A B\\setup.exe", "/S"}},
      {"quoted argument keeps its space, loses quotes",
       "setup.exe \"two words\" x",
       {"setup.exe", "two words", "x"}},
      {"tabs and control characters separate",
       "setup.exe\ta\001b\r\nc",
       {"setup.exe", "a", "b", "c"}},
      {"runs of separators", "setup.exe    a  ", {"setup.exe", "a"}},
      {"empty quotes skipped", "setup.exe \"\" /S", {"setup.exe", "/S"}},
      {"several empty quote pairs skipped", "setup.exe \"\"\"\" \"\" /S", {"setup.exe", "/S"}},
      {"only empty quotes", "setup.exe \"\"", {"setup.exe"}},
      {"quotes inside a word group", "setup.exe a\"b c\"d", {"setup.exe", "ab cd"}},
      {"unclosed quote runs to the end", "setup.exe \"a b", {"setup.exe", "a b"}},
      {"zero byte ends the line", "setup.exe a\0b"s, {"setup.exe", "a"}},
      // 安装 is B0 B2 D7 B0 in GBK: high bytes are ordinary text.
      {"GBK text", "setup.exe /D=\xB0\xB2\xD7\xB0", {"setup.exe", "/D=\xB0\xB2\xD7\xB0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SplitCommandLine(c.line), c.expected);
  }
}

TEST(CommandLineTest, ArgumentByIndexIsEmptyWhenMissing) {
  EXPECT_EQ(CommandLineArgument("\"C:\\x\\setup.exe\" \"a b\" c", 1), "a b");
  EXPECT_EQ(CommandLineArgument("\"C:\\x\\setup.exe\" \"a b\" c", 2), "c");
  EXPECT_EQ(CommandLineArgument("setup.exe", 1), "");
  EXPECT_EQ(CommandLineArgument("setup.exe \"\"", 1), "");
}

}  // namespace
}  // namespace qor
