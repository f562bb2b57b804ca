// The layout configuration snapshot: what LoadLayoutConfiguration reads from the user's Preload
// and Substitutes keys and from the machine's keyboard layouts, and when it refuses.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "layouts/layouts.h"
#include "support/case_name.h"
#include "support/layout_scenario.h"
#include "winsim/control.h"

namespace {

using layout_scenario::LayoutsKey;
using layout_scenario::PreloadKey;
using layout_scenario::Stage;
using layout_scenario::SubstitutesKey;

typedef layout_scenario::Values Values;
typedef layout_scenario::Values Layouts;  // a machine layout's key and its "Layout File"
typedef std::vector<std::pair<std::string, std::string>> Faults;  // function, subject

void SetTarget(const char* key) { snprintf(TargetLayoutKey, sizeof TargetLayoutKey, "%s", key); }

// "name=layout -> substitute #number", with " irregular" when the name is not canonical.
std::vector<std::string> DescribePreload() {
  std::vector<std::string> lines;
  for (uint32_t i = 0; i < PreloadCount; ++i) {
    const PreloadEntry& e = PreloadList[i];
    std::string line = std::string(e.name) + "=" + e.layout;
    if (e.substitute) line += " -> " + std::string(e.substitute);
    line += " #" + std::to_string(e.number);
    if (!e.canonical) line += " irregular";
    lines.push_back(line);
  }
  return lines;
}

// "key: layout file", or "key: -" without one.
std::vector<std::string> DescribeCatalog() {
  std::vector<std::string> lines;
  for (uint32_t i = 0; i < LayoutCount; ++i) {
    const InstalledLayout& l = LayoutCatalog[i];
    lines.push_back(std::string(l.key) + ": " + (l.layoutFile ? l.layoutFile : "-"));
  }
  return lines;
}

class Snapshot : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTarget("a0010407");
    LayoutErrorText[0] = 0;
  }
  void TearDown() override {
    EXPECT_EQ(std::vector<std::string>{}, winsim::OpenKeyHandles()) << "key handles left open";
  }
};

// The user's keys are written again whole: a value of them that cannot be read as a text would be
// lost.
const char UnreadablePreload[] =
    "Der Registry-Key HKEY_CURRENT_USER\\Keyboard Layout\\Preload enthält einen Wert, den die Deinstallation "
    "nicht als Text lesen kann.\nSie würde ihn beim Neuschreiben des Keys verlieren; es wurde nichts geändert.";
const char UnreadableSubstitutes[] =
    "Der Registry-Key HKEY_CURRENT_USER\\Keyboard Layout\\Substitutes enthält einen Wert, den die "
    "Deinstallation nicht als Text lesen kann.\nSie würde ihn beim Neuschreiben des Keys verlieren; es wurde "
    "nichts geändert.";

// ---- What is read ------------------------------------------------------------------------------

struct SnapshotCase {
  const char* what;
  Values preload;
  Values substitutes;
  Layouts layouts;
  const char* target;
  Faults faults;
  std::vector<std::string> preloadList;  // in enumeration order
  std::vector<std::string> catalog;
  int32_t targetIndex;
};

class SnapshotRead : public Snapshot, public ::testing::WithParamInterface<SnapshotCase> {};

TEST_P(SnapshotRead, FillsTheTables) {
  const SnapshotCase& c = GetParam();
  Stage(c.preload, c.substitutes, c.layouts);
  SetTarget(c.target);
  for (const auto& fault : c.faults) winsim::FailCall(fault.first, fault.second, ERROR_ACCESS_DENIED);
  ASSERT_TRUE(LoadLayoutConfiguration()) << c.what << ": " << LayoutErrorText;
  EXPECT_EQ(c.preloadList, DescribePreload()) << c.what;
  EXPECT_EQ(c.catalog, DescribeCatalog()) << c.what;
  EXPECT_EQ(c.targetIndex, TargetIndex) << c.what;
  EXPECT_STREQ("", LayoutErrorText) << c.what;
}

const Layouts Installed = {{"a0010407", "Quillmap.DLL"}};
const std::string LayoutsPrefix = std::string(LayoutsKey) + "\\";

INSTANTIATE_TEST_SUITE_P(
    Table, SnapshotRead,
    ::testing::Values(
        SnapshotCase{"substitute ties the second entry to its layout",
                     {{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", "a0010407"}}, Installed, "a0010407", {},
                     {"1=00000407 #1", "2=d0010407 -> a0010407 #2"}, {"a0010407: Quillmap.DLL"}, 0},
        SnapshotCase{"only the first of two equal entries gets the substitute",
                     {{"1", "d0010407"}, {"2", "d0010407"}}, {{"d0010407", "a0010407"}}, Installed, "a0010407", {},
                     {"1=d0010407 -> a0010407 #1", "2=d0010407 #2"}, {"a0010407: Quillmap.DLL"}, 0},
        SnapshotCase{"substitute names compare exactly",
                     {{"1", "d0010407"}}, {{"D0010407", "a0010407"}, {"d0090407", "a0090407"}}, Installed, "a0010407", {},
                     {"1=d0010407 #1"}, {"a0010407: Quillmap.DLL"}, 0},
        SnapshotCase{"names 1, 01, 1a and space 1 all have number 1",
                     {{"1", "00000407"}, {"01", "00000409"}, {"1a", "0000040c"}, {" 1", "00000807"}}, {}, Installed,
                     "a0010407", {},
                     {" 1=00000807 #1 irregular", "01=00000409 #1 irregular", "1=00000407 #1",
                      "1a=0000040c #1 irregular"},
                     {"a0010407: Quillmap.DLL"}, 0},
        SnapshotCase{"canonical only when the number renders as the name",
                     {{"-1", "00000407"}, {"-0", "00000409"}, {"007", "0000040c"}, {"2147483648", "00000807"}},
                     {}, Installed, "a0010407", {},
                     {"-0=00000409 #0 irregular", "-1=00000407 #-1", "007=0000040c #7 irregular",
                      "2147483648=00000807 #-2147483648 irregular"},
                     {"a0010407: Quillmap.DLL"}, 0},
        SnapshotCase{"German keys by characters five to eight, case-sensitive",
                     {}, {},
                     {{"00000409", "KBDUS.DLL"}, {"00000c07", "KBDGR.DLL"}, {"a0000807", "KBDSG.DLL"},
                      {"00001407", ""}, {"0407", "x"}, {"000004071", "long.dll"}, {"a0010407", "Quillmap.DLL"}},
                     "a0010407", {},
                     {}, {"000004071: long.dll", "00001407: -", "a0000807: KBDSG.DLL", "a0010407: Quillmap.DLL"}, 3},
        SnapshotCase{"upper-case C in the language part", {}, {}, {{"00000C07", "KBDGR.DLL"}}, "a0010407", {},
                     {}, {"00000C07: KBDGR.DLL"}, -1},
        SnapshotCase{"target in capitals finds the lower-case key", {}, {},
                     {{"00000407", "KBDGR.DLL"}, {"00000409", "KBDUS.DLL"}, {"a0010407", "Quillmap.DLL"}},
                     "A0010407", {},
                     {}, {"00000407: KBDGR.DLL", "a0010407: Quillmap.DLL"}, 1},
        SnapshotCase{"no German key equal to the target", {{"1", "00000407"}}, {}, Installed, "a0090407", {},
                     {"1=00000407 #1"}, {"a0010407: Quillmap.DLL"}, -1},
        SnapshotCase{"layout subkey without Layout File", {}, {}, {{"a0010407", ""}}, "a0010407",
                     {}, {}, {"a0010407: -"}, 0},
        SnapshotCase{"machine subkey that cannot be enumerated takes no index",
                     {}, {}, {{"00000407", "KBDGR.DLL"}, {"a0010407", "Quillmap.DLL"}}, "a0010407",
                     {{"RegEnumKeyExA", std::string(LayoutsKey) + "#0"}},
                     {}, {"a0010407: Quillmap.DLL"}, 0},
        SnapshotCase{"Layout File that cannot be enumerated reads as none",
                     {}, {}, Installed, "a0010407", {{"RegEnumValueA", LayoutsPrefix + "a0010407#0"}},
                     {}, {"a0010407: -"}, 0},
        SnapshotCase{"failed count of the Preload values reads an empty list",
                     {{"1", "00000407"}}, {}, Installed, "a0010407", {{"RegQueryInfoKeyA", PreloadKey}},
                     {}, {"a0010407: Quillmap.DLL"}, 0}),
    CaseName<::testing::TestParamInfo<SnapshotCase>>);

// The "Layout File" value in a row above is written as given; a subkey whose only such value is
// spelt in lower case has none.
TEST_F(Snapshot, LayoutFileInLowerCaseIsNotTheLayoutFile) {
  Stage({}, {}, {});
  winsim::SetRegistryString(LayoutsPrefix + "a0010407", "layout file", "Quillmap.DLL");
  ASSERT_TRUE(LoadLayoutConfiguration());
  EXPECT_EQ(std::vector<std::string>{"a0010407: -"}, DescribeCatalog());
}

// 260 bytes without a terminator are read whole; 261 bytes do not fit, and a Preload entry that
// cannot be read would be lost when the list is written again.
TEST_F(Snapshot, LongDataIsReadInFullOrRefused) {
  Stage({}, {}, {});
  winsim::SetRegistryValue(PreloadKey, "1", REG_SZ, std::string(260, 'x'));  // no terminator
  winsim::SetRegistryString(PreloadKey, "3", "00000407");
  ASSERT_TRUE(LoadLayoutConfiguration());
  ASSERT_EQ(2u, PreloadCount);
  EXPECT_EQ(std::string(260, 'x'), PreloadList[0].layout);
  EXPECT_STREQ("3", PreloadList[1].name);

  winsim::SetRegistryValue(PreloadKey, "2", REG_SZ, std::string(260, 'y') + std::string(1, '\0'));
  EXPECT_FALSE(LoadLayoutConfiguration());
  EXPECT_STREQ(UnreadablePreload, LayoutErrorText);
}

// ---- When the load stops -----------------------------------------------------------------------

struct LoadFailCase {
  const char* what;
  std::vector<std::string> missingKeys;
  Faults faults;
  const char* message;
};

class SnapshotFailure : public Snapshot, public ::testing::WithParamInterface<LoadFailCase> {};

TEST_P(SnapshotFailure, StopsWithTheMessage) {
  const LoadFailCase& c = GetParam();
  Stage({{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", "a0010407"}},
        {{"00000407", "KBDGR.DLL"}, {"a0010407", "Quillmap.DLL"}, {"a0020407", "other.dll"}});
  for (const std::string& key : c.missingKeys) winsim::RemoveRegistryKey(key);
  for (const auto& fault : c.faults) winsim::FailCall(fault.first, fault.second, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(LoadLayoutConfiguration()) << c.what;
  EXPECT_STREQ(c.message, LayoutErrorText) << c.what;
  EXPECT_EQ(std::vector<std::string>{}, winsim::CallsNamed("RegSetValueExA")) << c.what;
  EXPECT_EQ(std::vector<std::string>{}, winsim::CallsNamed("RegDeleteKeyA")) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SnapshotFailure,
    ::testing::Values(
        LoadFailCase{"Preload key missing", {PreloadKey}, {},
                     "Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Preload"},
        LoadFailCase{"Substitutes key missing", {SubstitutesKey}, {},
                     "Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Substitutes"},
        LoadFailCase{"Keyboard Layouts key cannot be opened", {}, {{"RegOpenKeyExA", LayoutsKey}},
                     "Fehler beim Öffnen des Registry-Keys HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\"
                     "Control\\Keyboard Layouts"},
        LoadFailCase{"layout subkey cannot be opened", {}, {{"RegOpenKeyExA", LayoutsPrefix + "a0010407"}},
                     "Fehler beim Öffnen des Registry-Subkeys System\\CurrentControlSet\\Control\\"
                     "Keyboard Layouts - a0010407"},
        LoadFailCase{"Preload value that cannot be read", {}, {{"RegEnumValueA", std::string(PreloadKey) + "#1"}},
                     UnreadablePreload},
        LoadFailCase{"Substitutes value that cannot be read", {},
                     {{"RegEnumValueA", std::string(SubstitutesKey) + "#0"}}, UnreadableSubstitutes},
        LoadFailCase{"memory runs short", {}, {{"HeapAlloc", "*"}},
                     "Nicht genug Speicher für die Liste der Tastaturbelegungen."}),
    CaseName<::testing::TestParamInfo<LoadFailCase>>);

TEST_F(Snapshot, SubkeyThatCannotBeOpenedEndsTheCatalogue) {
  Stage({}, {}, {{"00000407", "KBDGR.DLL"}, {"a0010407", "Quillmap.DLL"}, {"a0020407", "other.dll"}});
  winsim::FailCall("RegOpenKeyExA", LayoutsPrefix + "a0010407", ERROR_ACCESS_DENIED);
  EXPECT_FALSE(LoadLayoutConfiguration());
  EXPECT_EQ(std::vector<std::string>{"00000407: KBDGR.DLL"}, DescribeCatalog());
  for (const std::string& call : winsim::CallsNamed("RegOpenKeyExA")) {
    EXPECT_EQ(std::string::npos, call.find("a0020407")) << call;
  }
}

// ---- Beyond the hundred entries of the tables ----------------------------------------------------

const char TooManyPreload[] =
    "Die Liste der Tastaturbelegungen (HKEY_CURRENT_USER\\Keyboard Layout\\Preload) hat mehr als 100 "
    "Einträge.\nSo viele kann die Deinstallation nicht bearbeiten; es wurde nichts geändert.";
const char TooManyLayouts[] =
    "Unter HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Keyboard Layouts sind mehr als 100 "
    "deutsche Tastaturbelegungen eingetragen.\nSo viele kann die Deinstallation nicht bearbeiten; es "
    "wurde nichts geändert.";

void StagePreloadValues(int count) {
  for (int i = 1; i <= count; ++i) {
    char layout[16];
    snprintf(layout, sizeof layout, "d%03x0407", i);
    winsim::SetRegistryString(PreloadKey, std::to_string(i), layout);
  }
}

void StageGermanLayouts(int count) {
  for (int i = 1; i <= count; ++i) {
    char key[16];
    snprintf(key, sizeof key, "a%03x0407", i);
    winsim::SetRegistryString(LayoutsPrefix + key, "Layout File", "x.dll");
  }
}

TEST_F(Snapshot, HundredPreloadValuesAreRead) {
  Stage({}, {}, Installed);
  StagePreloadValues(100);
  ASSERT_TRUE(LoadLayoutConfiguration()) << LayoutErrorText;
  EXPECT_EQ(100u, PreloadCount);
}

// A rewrite of a longer list would silently drop the entries behind the hundredth.
TEST_F(Snapshot, MorePreloadValuesStopTheLoad) {
  Stage({}, {}, Installed);
  StagePreloadValues(101);
  EXPECT_FALSE(LoadLayoutConfiguration());
  EXPECT_STREQ(TooManyPreload, LayoutErrorText);
  EXPECT_EQ(100u, PreloadCount);
}

TEST_F(Snapshot, HundredGermanLayoutsAreRead) {
  Stage({}, {}, {{"00000409", "KBDUS.DLL"}, {"0000040c", "KBDFR.DLL"}});
  StageGermanLayouts(100);
  SetTarget("a0640407");
  ASSERT_TRUE(LoadLayoutConfiguration()) << LayoutErrorText;
  EXPECT_EQ(100u, LayoutCount);
  EXPECT_EQ(99, TargetIndex);
}

TEST_F(Snapshot, MoreGermanLayoutsStopTheLoad) {
  Stage({}, {}, {});
  StageGermanLayouts(101);
  SetTarget("a0650407");
  EXPECT_FALSE(LoadLayoutConfiguration());
  EXPECT_STREQ(TooManyLayouts, LayoutErrorText);
  EXPECT_EQ(100u, LayoutCount);
  EXPECT_EQ(-1, TargetIndex) << "never an index past the table";
}

// ---- ParseDecimal and IsStandardLayoutKey ------------------------------------------------------

TEST(ParseDecimal, TakesEveryDigitAndOneLeadingMinus) {
  struct Row {
    const char* text;
    int32_t number;
  } rows[] = {{"7", 7},     {" 12", 12},   {"1a2", 12},  {"-3", -3},       {"+5", 5},
              {"", 0},      {"\t4", 4},    {"--3", -3},  {"  -  3", -3},   {"12-3", 123},
              {"0007", 7},  {"x", 0},      {"-", 0},     {"4294967297", 1}, {"2147483648", INT32_MIN}};
  for (const Row& row : rows) EXPECT_EQ(row.number, ParseDecimal(row.text)) << "\"" << row.text << "\"";
}

TEST(IsStandardLayoutKey, EightCharactersBeginningWithFiveZeros) {
  struct Row {
    const char* key;
    bool standard;
  } rows[] = {{"00000407", true},  {"00000c07", true},  {"0000040", false}, {"000004070", false},
              {"a0000407", false}, {"d0010407", false}, {"0000040 ", true}, {"", false}};
  for (const Row& row : rows) EXPECT_EQ(row.standard, IsStandardLayoutKey(row.key)) << row.key;
  EXPECT_FALSE(IsStandardLayoutKey(nullptr));
}

}  // namespace
