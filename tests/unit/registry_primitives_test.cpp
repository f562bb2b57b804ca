// The registry primitives: the access they ask for, the shared enumeration buffers, and the
// recursive deletion with its partial failures.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "registry/registry.h"
#include "support/case_name.h"
#include "winsim/control.h"

namespace {

const char Scratch[] = "HKCU\\Software\\Scratch";

HKEY OpenScratch() {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Scratch", 0, KEY_ALL_ACCESS, &key));
  return key;
}

// Every key below `path`, as paths relative to it, parents before their subkeys.
void CollectKeys(const std::string& path, const std::string& prefix, std::vector<std::string>* keys) {
  for (const std::string& name : winsim::RegistrySubkeys(path)) {
    keys->push_back(prefix + name);
    CollectKeys(path + "\\" + name, prefix + name + "\\", keys);
  }
}

std::vector<std::string> KeysBelow(const std::string& path) {
  std::vector<std::string> keys;
  CollectKeys(path, "", &keys);
  return keys;
}

class Primitives : public ::testing::Test {
 protected:
  void SetUp() override { winsim::CreateRegistryKey(Scratch); }
  void TearDown() override {
    EXPECT_EQ(std::vector<std::string>{}, winsim::OpenKeyHandles()) << "key handles left open";
  }
};

TEST_F(Primitives, OpenAndCreateAskForTheirAccessWithoutViewFlags) {
  winsim::CreateRegistryKey("HKCU\\Software\\Scratch\\present");
  HKEY read = RegistryOpenKey(HKEY_CURRENT_USER, "Software\\Scratch\\present");
  HKEY all = RegistryOpenKeyAllAccess(HKEY_CURRENT_USER, "Software\\Scratch\\present");
  HKEY created = RegistryCreateKey(HKEY_CURRENT_USER, "Software\\Scratch\\new\\deeper");
  ASSERT_NE(nullptr, read);
  ASSERT_NE(nullptr, all);
  ASSERT_NE(nullptr, created);
  EXPECT_TRUE(winsim::KeyExists("HKCU\\Software\\Scratch\\new\\deeper"));
  std::vector<std::string> expected = {
      "RegOpenKeyExA(HKCU\\Software\\Scratch\\present, 0x20019)",
      "RegOpenKeyExA(HKCU\\Software\\Scratch\\present, 0xf003f)",
      "RegCreateKeyExA(HKCU\\Software\\Scratch\\new\\deeper, 0xf003f)"};
  EXPECT_EQ(expected, winsim::Calls());
  // The read handle cannot write, the others can.
  EXPECT_FALSE(RegistrySetString(read, "v", "x"));
  EXPECT_TRUE(RegistrySetString(all, "v", "x"));
  EXPECT_TRUE(RegistrySetString(created, "v", "x"));
  RegCloseKey(read);
  RegCloseKey(all);
  RegCloseKey(created);
}

TEST_F(Primitives, FailedOpenOrCreateGivesNull) {
  EXPECT_EQ(nullptr, RegistryOpenKey(HKEY_CURRENT_USER, "Software\\Scratch\\missing"));
  EXPECT_EQ(nullptr, RegistryOpenKeyAllAccess(HKEY_CURRENT_USER, "Software\\Scratch\\missing"));
  winsim::FailCall("RegCreateKeyExA", "HKCU\\Software\\Scratch\\denied", ERROR_ACCESS_DENIED);
  EXPECT_EQ(nullptr, RegistryCreateKey(HKEY_CURRENT_USER, "Software\\Scratch\\denied"));
  EXPECT_FALSE(winsim::KeyExists("HKCU\\Software\\Scratch\\denied"));
}

TEST_F(Primitives, SetStringStoresTheTerminatorWithTheText) {
  HKEY key = OpenScratch();
  EXPECT_TRUE(RegistrySetString(key, "1", "00000407"));
  EXPECT_TRUE(RegistrySetString(key, "empty", ""));
  RegCloseKey(key);
  std::vector<winsim::RegistryValue> values = winsim::RegistryValues(Scratch);
  ASSERT_EQ(2u, values.size());
  EXPECT_EQ("1", values[0].name);
  EXPECT_EQ((DWORD)REG_SZ, values[0].type);
  EXPECT_EQ(std::string("00000407\0", 9), values[0].data);
  EXPECT_EQ(std::string("\0", 1), values[1].data);
}

TEST_F(Primitives, CountsAreZeroForAnEmptyKeyAndWhenTheQueryFails) {
  winsim::CreateRegistryKey("HKCU\\Software\\Scratch\\a");
  winsim::CreateRegistryKey("HKCU\\Software\\Scratch\\b\\c");
  winsim::SetRegistryString(Scratch, "v1", "x");
  HKEY key = OpenScratch();
  EXPECT_EQ(2u, RegistryCountSubkeys(key));
  EXPECT_EQ(1u, RegistryCountValues(key));
  HKEY empty = RegistryOpenKey(key, "a");
  EXPECT_EQ(0u, RegistryCountSubkeys(empty));
  EXPECT_EQ(0u, RegistryCountValues(empty));
  RegCloseKey(empty);
  winsim::FailCall("RegQueryInfoKeyA", Scratch, ERROR_ACCESS_DENIED);
  EXPECT_EQ(0u, RegistryCountSubkeys(key));
  EXPECT_EQ(0u, RegistryCountValues(key));
  RegCloseKey(key);
}

// ValueName and ValueData are cleared before each step, so a short text stored without its
// terminator reads as that text, not with the rest of the previous value behind it.
TEST_F(Primitives, EnumValueDeliversTerminatedTextsAndSkipsWhatDoesNotFit) {
  const std::string full(260, 'f');
  winsim::SetRegistryValue(Scratch, "a long", REG_SZ, std::string(200, 'x') + std::string(1, '\0'));
  winsim::SetRegistryValue(Scratch, "b short", REG_SZ, "abc");
  winsim::SetRegistryValue(Scratch, "c full", REG_SZ, full);
  winsim::SetRegistryValue(Scratch, "d over", REG_SZ, full + "g");
  winsim::SetRegistryString(Scratch, std::string(259, 'n'), "name fits");
  winsim::SetRegistryString(Scratch, std::string(260, 'o'), "name too long");
  HKEY key = OpenScratch();
  struct Row {
    const char* what;
    bool result;
    std::string name;
    std::string data;
  } rows[] = {{"long text first", true, "a long", std::string(200, 'x')},
              {"text without terminator", true, "b short", "abc"},
              {"260 bytes without terminator are read in full", true, "c full", full},
              {"261 bytes do not fit", false, "", ""},
              {"259-character name", true, std::string(259, 'n'), "name fits"},
              {"260-character name", false, "", ""}};
  for (DWORD index = 0; index < 6; ++index) {
    const Row& row = rows[index];
    EXPECT_EQ(row.result, RegistryEnumValue(key, index)) << row.what;
    if (!row.result) continue;
    EXPECT_EQ(row.name, ValueName) << row.what;
    EXPECT_EQ(row.data, ValueData) << row.what;
  }
  EXPECT_FALSE(RegistryEnumValue(key, 6)) << "past the end";
  RegCloseKey(key);
}

// The rewrite of the user's lists writes texts: the caller must see what is not one.
TEST_F(Primitives, EnumValueDeliversTheType) {
  winsim::SetRegistryValue(Scratch, "1 text", REG_SZ, std::string("00000407\0", 9));
  winsim::SetRegistryValue(Scratch, "2 number", REG_DWORD, std::string("\x07\x04\x00\x00", 4));
  winsim::SetRegistryValue(Scratch, "3 bytes", REG_BINARY, "00000409");
  winsim::SetRegistryValue(Scratch, "4 texts", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
  HKEY key = OpenScratch();
  const DWORD types[] = {REG_SZ, REG_DWORD, REG_BINARY, REG_MULTI_SZ};
  for (DWORD index = 0; index < 4; ++index) {
    ASSERT_TRUE(RegistryEnumValue(key, index)) << index;
    EXPECT_EQ(types[index], ValueType) << ValueName;
  }
  RegCloseKey(key);
}

TEST_F(Primitives, EnumSubkeyFillsSubkeyName) {
  winsim::CreateRegistryKey("HKCU\\Software\\Scratch\\b0010407");
  winsim::CreateRegistryKey("HKCU\\Software\\Scratch\\A0010407");
  HKEY key = OpenScratch();
  ASSERT_TRUE(RegistryEnumSubkey(key, 0));
  EXPECT_STREQ("A0010407", SubkeyName);
  ASSERT_TRUE(RegistryEnumSubkey(key, 1));
  EXPECT_STREQ("b0010407", SubkeyName);
  EXPECT_FALSE(RegistryEnumSubkey(key, 2));
  RegCloseKey(key);
}

// ---- RegistryDeleteTree --------------------------------------------------------------------------

struct DeleteCase {
  const char* what;
  std::vector<std::string> keys;  // below Scratch
  const char* name;               // handed to RegistryDeleteTree on Scratch
  std::vector<std::pair<std::string, std::string>> faults;  // function, subject
  bool result;
  std::vector<std::string> left;  // keys below Scratch afterwards
};

class DeleteTree : public Primitives, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteTree, RemovesWhatCanBeRemoved) {
  const DeleteCase& c = GetParam();
  for (const std::string& key : c.keys) winsim::CreateRegistryKey(std::string(Scratch) + "\\" + key);
  winsim::SetRegistryString(Scratch, "kept", "value of the parent");
  for (const auto& fault : c.faults) {
    winsim::FailCall(fault.first, std::string(Scratch) + "\\" + fault.second, ERROR_ACCESS_DENIED);
  }
  HKEY parent = OpenScratch();
  EXPECT_EQ(c.result, RegistryDeleteTree(parent, c.name)) << c.what;
  RegCloseKey(parent);
  EXPECT_EQ(c.left, KeysBelow(Scratch)) << c.what;
  EXPECT_EQ(1u, winsim::RegistryValues(Scratch).size()) << c.what << ": the parent's value";
}

const std::vector<std::string> Tree = {"t\\a\\a1", "t\\a\\a2\\deep", "t\\b", "t\\c\\c1"};

INSTANTIATE_TEST_SUITE_P(
    Table, DeleteTree,
    ::testing::Values(
        DeleteCase{"empty name leaves the parent", {"x"}, "", {}, false, {"x"}},
        DeleteCase{"missing key", {"x"}, "missing", {}, false, {"x"}},
        DeleteCase{"key without subkeys", {"t", "x"}, "t", {}, true, {"x"}},
        DeleteCase{"tree several levels deep", Tree, "t", {}, true, {}},
        DeleteCase{"name with a path", Tree, "t\\a", {}, true, {"t", "t\\b", "t\\c", "t\\c\\c1"}},
        DeleteCase{"one leaf cannot be deleted", Tree, "t",
                   {{"RegDeleteKeyA", "t\\a\\a2\\deep"}}, false,
                   {"t", "t\\a", "t\\a\\a2", "t\\a\\a2\\deep"}},
        DeleteCase{"key cannot be opened for all access", Tree, "t",
                   {{"RegOpenKeyExA", "t"}}, false,
                   {"t", "t\\a", "t\\a\\a1", "t\\a\\a2", "t\\a\\a2\\deep", "t\\b", "t\\c", "t\\c\\c1"}},
        DeleteCase{"subkey cannot be opened", Tree, "t", {{"RegOpenKeyExA", "t\\c"}}, false,
                   {"t", "t\\c", "t\\c\\c1"}},
        DeleteCase{"subkey cannot be enumerated", Tree, "t", {{"RegEnumKeyExA", "t\\a#1"}}, false,
                   {"t", "t\\a", "t\\a\\a2", "t\\a\\a2\\deep"}},
        DeleteCase{"count query fails", Tree, "t", {{"RegQueryInfoKeyA", "t\\a"}}, false,
                   {"t", "t\\a", "t\\a\\a1", "t\\a\\a2", "t\\a\\a2\\deep"}}),
    CaseName<::testing::TestParamInfo<DeleteCase>>);

// Leaves go first, then each parent, then the key; every handle is closed before its key goes.
TEST_F(Primitives, DeleteTreeRemovesLeavesBeforeTheirParents) {
  for (const std::string& key : Tree) winsim::CreateRegistryKey(std::string(Scratch) + "\\" + key);
  HKEY parent = OpenScratch();
  winsim::ClearCalls();
  ASSERT_TRUE(RegistryDeleteTree(parent, "t"));
  RegCloseKey(parent);
  const std::string t = std::string(Scratch) + "\\t";
  std::vector<std::string> expected = {
      "RegDeleteKeyA(" + t + "\\c\\c1)", "RegDeleteKeyA(" + t + "\\c)",
      "RegDeleteKeyA(" + t + "\\b)",     "RegDeleteKeyA(" + t + "\\a\\a2\\deep)",
      "RegDeleteKeyA(" + t + "\\a\\a2)", "RegDeleteKeyA(" + t + "\\a\\a1)",
      "RegDeleteKeyA(" + t + "\\a)",     "RegDeleteKeyA(" + t + ")"};
  EXPECT_EQ(expected, winsim::CallsNamed("RegDeleteKeyA"));
  // Each RegDeleteKeyA comes after the RegCloseKey of the handle opened on that key.
  const std::vector<std::string>& calls = winsim::Calls();
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].rfind("RegDeleteKeyA(", 0) != 0) continue;
    std::string path = calls[i].substr(14, calls[i].size() - 15);
    ASSERT_GT(i, 0u);
    EXPECT_EQ("RegCloseKey(" + path + ")", calls[i - 1]);
  }
}

// ---- RemoveUninstallEntry --------------------------------------------------------------------

const char UninstallPath[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char Entry[] = "Tastaturbelegung Deutsch (R7-Belegung V1.06)";

struct UninstallCase {
  const char* what;
  bool uninstallKey;       // the Uninstall key exists beforehand
  bool entry;              // the product's entry exists beforehand
  std::string faultFunction;
  std::string faultSubject;  // below the Uninstall key ("" for the key itself)
  bool result;
  bool entryLeft;
  bool subkeyLeft;  // the entry's own subkey
};

class UninstallEntry : public Primitives, public ::testing::WithParamInterface<UninstallCase> {};

TEST_P(UninstallEntry, RemovesOnlyTheNamedEntry) {
  const UninstallCase& c = GetParam();
  const std::string entry = std::string(UninstallPath) + "\\" + Entry;
  const std::string other = std::string(UninstallPath) + "\\Tastaturbelegung Deutsch (R7-Belegung V1.05)";
  if (c.uninstallKey) {
    winsim::SetRegistryString(other, "DisplayName", "Deutsch (R7-Belegung V1.05)");
    winsim::SetRegistryString(std::string(UninstallPath) + "\\Something Else", "DisplayName", "x");
  }
  if (c.entry) {
    winsim::SetRegistryString(entry, "DisplayName", Entry);
    winsim::SetRegistryString(entry, "UninstallString", "C:\\Program Files\\R7-Tastatur\\Uninstall_Quillmap.exe a0010407");
    winsim::SetRegistryString(entry + "\\Details", "Note", "own subkey");
  }
  if (!c.faultFunction.empty()) {
    std::string subject = std::string(UninstallPath) + (c.faultSubject.empty() ? "" : "\\" + c.faultSubject);
    winsim::FailCall(c.faultFunction, subject, ERROR_ACCESS_DENIED);
  }
  EXPECT_EQ(c.result, RemoveUninstallEntry(Entry)) << c.what;
  EXPECT_EQ(c.entryLeft, winsim::KeyExists(entry)) << c.what;
  EXPECT_EQ(c.subkeyLeft, winsim::KeyExists(entry + "\\Details")) << c.what;
  if (c.uninstallKey) {
    EXPECT_EQ(1u, winsim::RegistryValues(other).size()) << c.what << ": another version's entry";
    EXPECT_TRUE(winsim::KeyExists(std::string(UninstallPath) + "\\Something Else")) << c.what;
  }
  if (!c.uninstallKey) {
    EXPECT_TRUE(winsim::KeyExists(UninstallPath)) << c.what << ": created";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, UninstallEntry,
    ::testing::Values(
        UninstallCase{"entry with values and a subkey", true, true, "", "", true, false, false},
        UninstallCase{"no such entry", true, false, "", "", true, false, false},
        UninstallCase{"no Uninstall key at all", false, false, "", "", true, false, false},
        UninstallCase{"Uninstall key cannot be opened", true, true, "RegCreateKeyExA", "", false, true, true},
        UninstallCase{"entry cannot be deleted, its subkey can", true, true, "RegDeleteKeyA", Entry, true, true, false}),
    CaseName<::testing::TestParamInfo<UninstallCase>>);

}  // namespace
