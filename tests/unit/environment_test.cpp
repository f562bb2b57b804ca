// The command line split by the program's own rules, and the program's name.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "support/case_name.h"
#include "winsim/control.h"

namespace {

struct SplitCase {
  const char* what;
  std::u16string commandLine;
  int argCount;
  std::vector<std::string> args;
};

std::u16string Repeated(char16_t c, size_t n) { return std::u16string(n, c); }

std::u16string ManyArguments(int count) {
  std::u16string line = u"prog.exe";
  for (int i = 1; i <= count; ++i) {
    line += u" a";
    for (char c : std::to_string(i)) line += (char16_t)c;
  }
  return line;
}

std::vector<std::string> FirstArgs(int count) {
  std::vector<std::string> args;
  for (int i = 1; i <= count; ++i) args.push_back("a" + std::to_string(i));
  return args;
}

class CommandLineSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CommandLineSplit, FillsArgsAndCount) {
  const SplitCase& c = GetParam();
  winsim::SetCommandLine(c.commandLine);
  InitEnvironment();
  EXPECT_EQ(c.argCount, ArgCount) << c.what;
  for (size_t i = 0; i < c.args.size(); ++i) EXPECT_EQ(c.args[i], Args[i]) << c.what << ", slot " << i;
  // Every slot past the arguments is all zero bytes.
  for (int slot = c.argCount < 0 ? 0 : c.argCount; slot < MaxArgs; ++slot) {
    for (int b = 0; b < ArgSize; ++b) ASSERT_EQ(0, Args[slot][b]) << c.what << ", slot " << slot;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineSplit,
    ::testing::Values(
        SplitCase{"quoted path then key", u"\"C:\\Program Files\\R7\\u.exe\" a0010407", 1, {"a0010407"}},
        SplitCase{"path only", u"\"C:\\x\\u.exe\"", 0, {}},
        SplitCase{"empty command line", u"", -1, {}},
        SplitCase{"two spaces between arguments", u"u.exe a  b", 2, {"a", "b"}},
        SplitCase{"tab inside a word", u"u.exe a\tb", 1, {"a\tb"}},
        SplitCase{"35 arguments keep 30", ManyArguments(35), 30, FirstArgs(30)},
        SplitCase{"300-character argument", u"u.exe " + Repeated(u'k', 300), 1, {""}},
        SplitCase{"258 characters still fit", u"u.exe " + Repeated(u'k', 258), 1, {std::string(258, 'k')}},
        SplitCase{"259 characters do not fit the narrow slot", u"u.exe " + Repeated(u'k', 259), 1, {""}},
        SplitCase{"quote ab quote cd", u"u.exe \"ab\"cd", 2, {"ab", "cd"}},
        SplitCase{"two quotes", u"u.exe \"\"", 1, {""}},
        SplitCase{"trailing spaces", u"u.exe a0010407   ", 1, {"a0010407"}},
        SplitCase{"leading space", u" u.exe a0010407", 2, {"u.exe", "a0010407"}},
        SplitCase{"quote inside an unquoted token", u"u.exe a\"b", 1, {"a\"b"}},
        SplitCase{"unbalanced quote runs to the end", u"u.exe \"a0010407 x", 1, {"a0010407 x"}},
        SplitCase{"German and foreign letters", u"u.exe Gr\u00FC\u00DFe \u4E2D", 2, {"Gr\xFC\xDF" "e", "?"}}),
    CaseName<::testing::TestParamInfo<SplitCase>>);

TEST(CommandLineSplit, LongTokenDoesNotSpillIntoTheNextArgument) {
  winsim::SetCommandLine(u"u.exe " + Repeated(u'k', 600) + u" a0010407");
  InitEnvironment();
  ASSERT_EQ(2, ArgCount);
  EXPECT_STREQ("", Args[0]);
  EXPECT_STREQ("a0010407", Args[1]);
}

struct NameCase {
  const char* what;
  const char* modulePath;
  const char* programName;
};

class ProgramNameFromModule : public ::testing::TestWithParam<NameCase> {};

TEST_P(ProgramNameFromModule, DropsFolderAndExtension) {
  winsim::SetModuleFileName(GetParam().modulePath);
  InitEnvironment();
  EXPECT_STREQ(GetParam().programName, ProgramName);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProgramNameFromModule,
    ::testing::Values(NameCase{"installed", "C:\\Program Files\\R7-Tastatur\\Uninstall_Quillmap.exe", "Uninstall_Quillmap"},
                      NameCase{"temp copy", "C:\\Users\\x\\AppData\\Local\\Temp\\Uninstall_Quillmap.exe", "Uninstall_Quillmap"},
                      NameCase{"two full stops", "C:\\dir\\a.b.exe", "a.b"},
                      NameCase{"no full stop", "C:\\dir\\noextension", "noextension"},
                      NameCase{"only a leading full stop", "C:\\dir\\.hidden", ".hidden"},
                      NameCase{"forward slashes", "C:/dir/slash.exe", "slash"},
                      NameCase{"drive colon", "D:prog.exe", "prog"},
                      NameCase{"full stop in the folder", "C:\\dot.dir\\prog", "prog"}),
    CaseName<::testing::TestParamInfo<NameCase>>);

TEST(ProgramNameFromModule, FailedModuleNameGivesEmptyName) {
  winsim::FailCall("GetModuleFileNameA", "*", ERROR_ACCESS_DENIED);
  InitEnvironment();
  EXPECT_STREQ("", ProgramName);
}

}  // namespace
