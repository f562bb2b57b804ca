// The rewrite of the user's Preload and Substitutes keys without the layout being removed: the
// lists it writes, the order it writes them in, and what it leaves behind when a step fails.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "layouts/layouts.h"
#include "support/case_name.h"
#include "support/layout_scenario.h"
#include "winsim/control.h"

namespace {

using layout_scenario::PreloadKey;
using layout_scenario::SubstitutesKey;
using layout_scenario::Values;

const char Target[] = "a0010407";
const char X[] = "a0020407";
const char Y[] = "a0030407";
const Values Machine = {{"a0010407", "Quillmap.DLL"}, {"00000407", "KBDGR.DLL"}, {"a0050407", "other.dll"}};

void SetTarget(const char* key) { snprintf(TargetLayoutKey, sizeof TargetLayoutKey, "%s", key); }

// The values written into a key, in the order of the RegSetValueExA calls.
Values Written(const std::string& key) {
  Values written;
  const std::string prefix = "RegSetValueExA(" + key + "\\";
  for (const std::string& call : winsim::CallsNamed("RegSetValueExA")) {
    if (call.compare(0, prefix.size(), prefix) != 0) continue;
    size_t nameEnd = call.find(", 1, \"", prefix.size());
    size_t dataEnd = call.rfind("\", ");
    written.push_back({call.substr(prefix.size(), nameEnd - prefix.size()),
                       call.substr(nameEnd + 6, dataEnd - nameEnd - 6)});
  }
  return written;
}

// The key's values by name, each checked to be a text stored with its terminator; nullopt when
// the key is missing.
std::optional<std::map<std::string, std::string>> Stored(const std::string& key) {
  if (!winsim::KeyExists(key)) return std::nullopt;
  std::map<std::string, std::string> values;
  for (const winsim::RegistryValue& value : winsim::RegistryValues(key)) {
    EXPECT_EQ((DWORD)REG_SZ, value.type) << key << "\\" << value.name;
    EXPECT_EQ(value.data.size(), strlen(value.data.c_str()) + 1) << key << "\\" << value.name;
    values[value.name] = value.data.c_str();
  }
  return values;
}

std::map<std::string, std::string> AsMap(const Values& values) {
  return std::map<std::string, std::string>(values.begin(), values.end());
}

class Rewrite : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTarget(Target);
    LayoutErrorText[0] = 0;
  }
  void TearDown() override {
    EXPECT_EQ(std::vector<std::string>{}, winsim::OpenKeyHandles()) << "key handles left open";
  }
};

// ---- The new lists -------------------------------------------------------------------------------

struct RewriteCase {
  const char* what;
  Values preload;
  Values substitutes;
  bool rewritten;
  Values newPreload;      // in the order written
  Values newSubstitutes;  // in the order written
};

class RewriteTable : public Rewrite, public ::testing::WithParamInterface<RewriteCase> {};

TEST_P(RewriteTable, WritesTheNewLists) {
  const RewriteCase& c = GetParam();
  layout_scenario::Stage(c.preload, c.substitutes, Machine);
  ASSERT_TRUE(LoadLayoutConfiguration()) << c.what << ": " << LayoutErrorText;
  winsim::ClearCalls();
  EXPECT_TRUE(RemoveTargetFromPreload()) << c.what << ": " << LayoutErrorText;
  EXPECT_EQ(!c.rewritten, TargetNotInPreload) << c.what;
  EXPECT_TRUE(WriteLayoutLists()) << c.what << ": " << LayoutErrorText;
  EXPECT_STREQ("", LayoutErrorText) << c.what;
  if (!c.rewritten) {
    EXPECT_EQ(std::vector<std::string>{}, winsim::Calls()) << c.what << ": nothing is touched";
    EXPECT_EQ(AsMap(c.preload), Stored(PreloadKey)) << c.what;
    EXPECT_EQ(AsMap(c.substitutes), Stored(SubstitutesKey)) << c.what;
    return;
  }
  EXPECT_EQ(c.newPreload, Written(PreloadKey)) << c.what;
  EXPECT_EQ(c.newSubstitutes, Written(SubstitutesKey)) << c.what;
  EXPECT_EQ(AsMap(c.newPreload), Stored(PreloadKey)) << c.what;
  EXPECT_EQ(AsMap(c.newSubstitutes), Stored(SubstitutesKey)) << c.what;
}

std::string Key(char prefix, int serial) {
  char key[16];
  snprintf(key, sizeof key, "%c%03x0407", prefix, serial);
  return key;
}

// Ten substituted entries behind the removed one: their ids are handed out afresh, d0010407 to
// d00a0407, in the order of their numbers (the registry enumerates "10" before "2").
RewriteCase TenFreshIds() {
  RewriteCase c{"fresh ids in emission order up to d00a0407", {{"1", "00000407"}, {"2", "d0010407"}},
                {{"d0010407", Target}}, true, {{"1", "00000407"}}, {}};
  for (int i = 3; i <= 12; ++i) {
    c.preload.push_back({std::to_string(i), Key('d', i)});
    c.substitutes.push_back({Key('d', i), Key('b', i)});
    c.newPreload.push_back({std::to_string(i - 1), Key('d', i - 2)});
    c.newSubstitutes.push_back({Key('d', i - 2), Key('b', i)});
  }
  return c;
}

// A full list of 100: 99 substituted entries remain and fill the new lists to 99.
RewriteCase HundredEntries() {
  RewriteCase c{"hundred entries of which 99 remain", {{"1", "e0010407"}, {"2", "d0010407"}},
                {{"e0010407", "b0010407"}, {"d0010407", Target}}, true, {{"1", "d0010407"}},
                {{"d0010407", "b0010407"}}};
  for (int i = 3; i <= 100; ++i) {
    c.preload.push_back({std::to_string(i), Key('d', i)});
    c.substitutes.push_back({Key('d', i), Key('b', i)});
    c.newPreload.push_back({std::to_string(i - 1), Key('d', i - 1)});
    c.newSubstitutes.push_back({Key('d', i - 1), Key('b', i)});
  }
  return c;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RewriteTable,
    ::testing::Values(
        RewriteCase{"target substitutes the second entry",
                    {{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", Target}}, true,
                    {{"1", "00000407"}}, {}},
        RewriteCase{"target led the list: the standard layout moves to the front",
                    {{"1", "d0010407"}, {"2", "00000407"}}, {{"d0010407", Target}}, true,
                    {{"1", "00000407"}}, {}},
        RewriteCase{"target led the list: the standard layout goes before the entry numbered 2",
                    {{"1", "d0010407"}, {"2", "d0020407"}, {"3", "00000407"}}, {{"d0010407", Target}, {"d0020407", X}},
                    true, {{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", X}}},
        RewriteCase{"target served the standard entry and none is plain: the next entry takes its key",
                    {{"1", "00000407"}, {"2", "d0020407"}}, {{"00000407", Target}, {"d0020407", X}}, true,
                    {{"1", "00000407"}}, {{"00000407", X}}},
        RewriteCase{"plain entries are written first: value 2 before value 1",
                    {{"1", "00000407"}, {"2", "d0020407"}, {"3", "00000409"}},
                    {{"00000407", Target}, {"d0020407", X}}, true,
                    {{"2", "00000409"}, {"1", "d0010407"}}, {{"d0010407", X}}},
        TenFreshIds(),
        RewriteCase{"irregular name 01 goes behind the regular numbers",
                    {{"1", "00000407"}, {"01", "d0050407"}, {"2", "d0010407"}, {"3", "d0030407"}},
                    {{"d0050407", X}, {"d0010407", Target}, {"d0030407", Y}}, true,
                    {{"1", "00000407"}, {"2", "d0010407"}, {"3", "d0020407"}},
                    {{"d0010407", Y}, {"d0020407", X}}},
        RewriteCase{"standard entry named 01 keeps number 1 and comes first in list order",
                    {{"1", "00000407"}, {"01", "00000409"}, {"2", "d0010407"}}, {{"d0010407", Target}}, true,
                    {{"1", "00000409"}, {"2", "00000407"}}, {}},
        RewriteCase{"entries named 250 and -1 are dropped",
                    {{"1", "00000407"}, {"2", "d0010407"}, {"250", "00000409"}, {"-1", "0000040c"}},
                    {{"d0010407", Target}}, true, {{"1", "00000407"}}, {}},
        RewriteCase{"standard entry named 250 stays when the target led",
                    {{"1", "d0010407"}, {"250", "00000409"}}, {{"d0010407", Target}}, true,
                    {{"1", "00000409"}}, {}},
        RewriteCase{"two entries served by the target: only the later one goes",
                    {{"1", "00000407"}, {"2", "d0010407"}, {"3", "d0020407"}},
                    {{"d0010407", Target}, {"d0020407", Target}}, true,
                    {{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", Target}}},
        RewriteCase{"target key in Preload without substitute: nothing is rewritten",
                    {{"1", "00000407"}, {"2", "a0010407"}}, {{"d0090407", X}}, false, {}, {}},
        RewriteCase{"Substitutes value no entry refers to is dropped",
                    {{"1", "00000407"}, {"2", "d0010407"}, {"3", "d0030407"}},
                    {{"d0010407", Target}, {"d0030407", X}, {"d0090407", Y}}, true,
                    {{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", X}}},
        RewriteCase{"target named in capitals in Substitutes",
                    {{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", "A0010407"}}, true,
                    {{"1", "00000407"}}, {}},
        RewriteCase{"Substitutes for a standard key are written first",
                    {{"1", "d0030407"}, {"2", "00000407"}, {"3", "d0010407"}},
                    {{"d0030407", Y}, {"00000407", X}, {"d0010407", Target}}, true,
                    {{"1", "d0010407"}, {"2", "00000407"}}, {{"00000407", X}, {"d0010407", Y}}},
        RewriteCase{"target served the last standard entry: the entry before takes its key",
                    {{"1", "00000409"}, {"2", "00000407"}}, {{"00000409", X}, {"00000407", Target}}, true,
                    {{"1", "00000407"}}, {{"00000407", X}}},
        RewriteCase{"irregularly named target",
                    {{"1", "00000407"}, {"02", "d0010407"}, {"3", "d0030407"}},
                    {{"d0010407", Target}, {"d0030407", X}}, true,
                    {{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", X}}},
        HundredEntries()),
    CaseName<::testing::TestParamInfo<RewriteCase>>);

// ---- When a step fails ---------------------------------------------------------------------------

const Values OldPreload = {{"1", "00000407"}, {"2", "d0010407"}, {"3", "d0030407"}};
const Values OldSubstitutes = {{"d0010407", Target}, {"d0030407", X}, {"d0090407", Y}};
const Values NewPreload = {{"1", "00000407"}, {"2", "d0010407"}};
const Values NewSubstitutes = {{"d0010407", X}};
const char Earlier[] = "earlier message";

struct FailCase {
  const char* what;
  const char* target;
  Values preload;  // OldPreload when empty
  std::vector<std::pair<std::string, std::string>> faults;  // function, subject
  bool removeResult;
  const char* removeText;
  bool writeResult;
  const char* writeText;
  std::optional<Values> preloadAfter;  // nullopt: the key is missing
  std::optional<Values> substitutesAfter;
  bool strayLeft = false;  // the stray subkey of Preload
};

class WriteFailure : public Rewrite, public ::testing::WithParamInterface<FailCase> {};

TEST_P(WriteFailure, ReportsAndLeavesTheRegistry) {
  const FailCase& c = GetParam();
  layout_scenario::Stage(c.preload.empty() ? OldPreload : c.preload, OldSubstitutes, Machine);
  // Preload holds no subkeys of its own; one that strays there goes with a deleted key.
  winsim::CreateRegistryKey(std::string(PreloadKey) + "\\stray subkey");
  SetTarget(c.target);
  ASSERT_TRUE(LoadLayoutConfiguration()) << c.what << ": " << LayoutErrorText;
  for (const auto& fault : c.faults) winsim::FailCall(fault.first, fault.second, ERROR_ACCESS_DENIED);
  snprintf(LayoutErrorText, sizeof LayoutErrorText, "%s", Earlier);

  EXPECT_EQ(c.removeResult, RemoveTargetFromPreload()) << c.what;
  EXPECT_STREQ(c.removeText, LayoutErrorText) << c.what;
  EXPECT_EQ(c.writeResult, WriteLayoutLists()) << c.what;
  EXPECT_STREQ(c.writeText, LayoutErrorText) << c.what;

  auto expected = [](const std::optional<Values>& values) -> std::optional<std::map<std::string, std::string>> {
    if (!values) return std::nullopt;
    return AsMap(*values);
  };
  EXPECT_EQ(expected(c.preloadAfter), Stored(PreloadKey)) << c.what;
  EXPECT_EQ(expected(c.substitutesAfter), Stored(SubstitutesKey)) << c.what;
  EXPECT_EQ(c.strayLeft, winsim::KeyExists(std::string(PreloadKey) + "\\stray subkey")) << c.what;
}

const std::string Preload = PreloadKey;
const std::string Substitutes = SubstitutesKey;
const char DeletePreloadFailed[] = "Warnung:\nFehler beim Löschen des Registry-Keys Keyboard Layout - Preload";
const char DeleteSubstitutesFailed[] =
    "Warnung:\nFehler beim Löschen des Registry-Keys Keyboard Layout - Substitutes";
const char CreatePreloadFailed[] =
    "Warnung:\nFehler beim Wiedererstellen des Registry-Keys Keyboard Layout - Preload";
const char CreateSubstitutesFailed[] =
    "Warnung:\nFehler beim Wiedererstellen des Registry-Keys Keyboard Layout - Substitutes";
const char NothingToWrite[] = "INTERNER FEHLER: newpreloadcount ist 0!";

INSTANTIATE_TEST_SUITE_P(
    Table, WriteFailure,
    ::testing::Values(
        FailCase{"target not installed", "a0090407", {}, {}, false, "Schlüssel nicht vorhanden", false,
                 NothingToWrite, OldPreload, OldSubstitutes, true},
        FailCase{"target is a standard layout key", "00000407", {}, {}, false,
                 "Standard-Layout kann nicht entfernt werden", false, NothingToWrite, OldPreload, OldSubstitutes, true},
        FailCase{"no entry served by the target", "a0050407", {}, {}, true, Earlier, true, Earlier,
                 OldPreload, OldSubstitutes, true},
        FailCase{"no entry left to write", Target, {{"2", "d0010407"}, {"250", "a0050407"}}, {}, true, Earlier,
                 false, NothingToWrite, Values{{"2", "d0010407"}, {"250", "a0050407"}}, OldSubstitutes, true},
        FailCase{"Keyboard Layout cannot be opened", Target, {}, {{"RegOpenKeyExA", "HKCU\\Keyboard Layout"}},
                 true, Earlier, false,
                 "Warnung:\nFehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout",
                 OldPreload, OldSubstitutes, true},
        // The stray subkey goes; the key with its values survives the failed deletion. Its entries
        // still name the old substitute ids, so Substitutes is left as it was, not rewritten.
        FailCase{"Preload cannot be deleted", Target, {}, {{"RegDeleteKeyA", Preload}}, true, Earlier, false,
                 DeletePreloadFailed, OldPreload, OldSubstitutes},
        FailCase{"Preload cannot be opened for deletion", Target, {}, {{"RegOpenKeyExA", Preload}}, true,
                 Earlier, false, DeletePreloadFailed, OldPreload, OldSubstitutes, true},
        FailCase{"Substitutes cannot be deleted", Target, {}, {{"RegDeleteKeyA", Substitutes}}, true, Earlier,
                 false, DeleteSubstitutesFailed, NewPreload, OldSubstitutes},
        FailCase{"Preload not deleted: Substitutes is not even tried", Target, {},
                 {{"RegDeleteKeyA", Preload}, {"RegDeleteKeyA", Substitutes}}, true, Earlier, false,
                 DeletePreloadFailed, OldPreload, OldSubstitutes},
        FailCase{"Preload cannot be created again", Target, {}, {{"RegCreateKeyExA", Preload}}, true, Earlier,
                 false, CreatePreloadFailed, std::nullopt, NewSubstitutes},
        FailCase{"Substitutes cannot be created again", Target, {}, {{"RegCreateKeyExA", Substitutes}}, true,
                 Earlier, false, CreateSubstitutesFailed, NewPreload, std::nullopt},
        FailCase{"Preload not created, Substitutes not deleted", Target, {},
                 {{"RegCreateKeyExA", Preload}, {"RegDeleteKeyA", Substitutes}}, true, Earlier, false,
                 DeleteSubstitutesFailed, std::nullopt, OldSubstitutes},
        FailCase{"a Preload value cannot be written", Target, {}, {{"RegSetValueExA", Preload + "\\2"}}, true,
                 Earlier, false, "Warnung:\nFehler beim Schreiben des Registry-Werts Keyboard Layout\\Preload - 2",
                 Values{{"1", "00000407"}}, NewSubstitutes},
        FailCase{"a Substitutes value cannot be written", Target, {},
                 {{"RegSetValueExA", Substitutes + "\\d0010407"}}, true, Earlier, false,
                 "Warnung:\nFehler beim Schreiben des Registry-Werts Keyboard Layout\\Substitutes - d0010407",
                 NewPreload, Values{}}),
    CaseName<::testing::TestParamInfo<FailCase>>);

// Memory that runs short while the new lists are made: nothing is written.
TEST_F(Rewrite, ListsThatCannotBeMadeAreNotWritten) {
  layout_scenario::Stage(OldPreload, OldSubstitutes, Machine);
  ASSERT_TRUE(LoadLayoutConfiguration());
  winsim::FailCall("HeapAlloc", "*", 0);
  EXPECT_FALSE(RemoveTargetFromPreload());
  EXPECT_STREQ("INTERNER FEHLER: die neue Liste der Tastaturbelegungen kann nicht gebildet werden!",
               LayoutErrorText);
  EXPECT_FALSE(WriteLayoutLists());
  EXPECT_STREQ("INTERNER FEHLER: newpreloadcount ist 0!", LayoutErrorText);
  EXPECT_EQ(AsMap(OldPreload), Stored(PreloadKey));
  EXPECT_EQ(AsMap(OldSubstitutes), Stored(SubstitutesKey));
}

}  // namespace
