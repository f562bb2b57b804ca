// What the registry services rely on about the platform's registry functions: the order in
// which subkeys and values are enumerated, when a name or data fits a buffer, how texts are
// stored, and that a key with subkeys cannot be deleted. Each test works in its own scratch key
// under HKEY_CURRENT_USER\Software, created before and removed after it.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "win32.h"

namespace {

const char ScratchPath[] = "Software\\QuillmapRegistryContract";

// Removes parent\name with everything below it (the test's own clean-up).
void RemoveTree(HKEY parent, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  for (;;) {
    char subkey[300];
    DWORD size = sizeof subkey;
    if (RegEnumKeyExA(key, 0, subkey, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    RemoveTree(key, subkey);
  }
  RegCloseKey(key);
  RegDeleteKeyA(parent, name);
}

class Registry : public ::testing::Test {
 protected:
  HKEY scratch = nullptr;

  void SetUp() override {
    RemoveTree(HKEY_CURRENT_USER, ScratchPath);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, ScratchPath, 0, (LPSTR) "", 0,
                                             KEY_ALL_ACCESS, nullptr, &scratch, nullptr));
  }

  void TearDown() override {
    if (scratch) RegCloseKey(scratch);
    RemoveTree(HKEY_CURRENT_USER, ScratchPath);
  }

  void CreateKey(const std::string& name) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(scratch, name.c_str(), 0, (LPSTR) "", 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr))
        << name;
    RegCloseKey(key);
  }

  void SetBytes(const std::string& name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(scratch, name.c_str(), 0, type,
                                            (const BYTE*)bytes.data(), (DWORD)bytes.size()))
        << name;
  }

  // Every name the enumeration gives, in its order, until it says there are no more.
  template <typename Enumerate>
  std::vector<std::string> Names(Enumerate enumerate) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
      char name[300];
      DWORD size = sizeof name;
      LONG status = enumerate(i, name, &size);
      if (status != ERROR_SUCCESS) {
        EXPECT_EQ(ERROR_NO_MORE_ITEMS, status) << "index " << i;
        break;
      }
      names.push_back(name);
    }
    return names;
  }

  std::vector<std::string> SubkeyNames() {
    return Names([this](DWORD i, char* name, DWORD* size) {
      return RegEnumKeyExA(scratch, i, name, size, nullptr, nullptr, nullptr, nullptr);
    });
  }

  std::vector<std::string> ValueNames() {
    return Names([this](DWORD i, char* name, DWORD* size) {
      return RegEnumValueA(scratch, i, name, size, nullptr, nullptr, nullptr, nullptr);
    });
  }

  // The index at which the value of this name enumerates; -1 when it does not.
  DWORD IndexOfValue(const std::string& wanted) {
    std::vector<std::string> names = ValueNames();
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i] == wanted) return (DWORD)i;
    }
    ADD_FAILURE() << "no value " << wanted;
    return (DWORD)-1;
  }
};

// Wine enumerates both in name order: letters folded to lower case, compared as UTF-16 code
// units ('[' and '_' come before the letters, the Windows-1252 letters after '~'), and a name
// before each longer name it begins. Windows itself keeps values in creation order.
TEST_F(Registry, SubkeysAndValuesEnumerateInFoldedNameOrder) {
  const char* created[] = {"b", "A", "_x", "a1", "1", "10", "2", "Z", "[", "~", "\xC4x", "\xE4", "\x80", "ab"};
  for (const char* name : created) {
    CreateKey(name);
    SetBytes(name, REG_SZ, std::string("x", 2));
  }
  const std::vector<std::string> expected = {"1",   "10", "2", "[", "_x", "A",     "a1",
                                             "ab",  "b",  "Z", "~", "\xE4", "\xC4x", "\x80"};
  EXPECT_EQ(expected, SubkeyNames());
  EXPECT_EQ(expected, ValueNames());
}

TEST_F(Registry, NamesMatchWithoutRegardToCaseAndKeepTheirFirstSpelling) {
  CreateKey("Parent\\Child");
  HKEY key;
  DWORD disposition = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(scratch, "PARENT", 0, (LPSTR) "", 0, KEY_ALL_ACCESS,
                                           nullptr, &key, &disposition));
  EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition);
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(scratch, "parent\\CHILD", 0, KEY_READ, &key));
  RegCloseKey(key);
  EXPECT_EQ(std::vector<std::string>{"Parent"}, SubkeyNames());

  SetBytes("Name", REG_SZ, std::string("one", 4));
  SetBytes("NAME", REG_SZ, std::string("two", 4));
  EXPECT_EQ(std::vector<std::string>{"Name"}, ValueNames());
  char data[8] = {};
  DWORD size = sizeof data;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(scratch, "name", nullptr, nullptr, (BYTE*)data, &size));
  EXPECT_STREQ("two", data);
}

TEST_F(Registry, PathsMayHaveEmptyPartsButNoLeadingBackslash) {
  CreateKey("a\\b\\c");
  struct Row {
    const char* name;
    LONG status;
  } rows[] = {{"a\\b\\c", ERROR_SUCCESS},
              {"a\\\\b", ERROR_SUCCESS},
              {"a\\b\\", ERROR_SUCCESS},
              {"", ERROR_SUCCESS},
              {"\\a", ERROR_BAD_PATHNAME},
              {"a\\missing", ERROR_FILE_NOT_FOUND}};
  for (const Row& row : rows) {
    HKEY key = (HKEY)(ULONG_PTR)0x1234;
    EXPECT_EQ(row.status, RegOpenKeyExA(scratch, row.name, 0, KEY_READ, &key)) << row.name;
    if (row.status == ERROR_SUCCESS) {
      EXPECT_NE(scratch, key) << row.name << ": a new handle, also for the empty name";
      RegCloseKey(key);
    } else if (row.status == ERROR_FILE_NOT_FOUND) {
      EXPECT_EQ(nullptr, key) << row.name;
    }
  }
}

// Key names end at 256 characters under Wine (255 on Windows), so a subkey name always fits
// a buffer of 260 characters.
TEST_F(Registry, SubkeyNameFitsWhenShorterThanTheCapacity) {
  HKEY key;
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyExA(scratch, std::string(257, 'k').c_str(), 0,
                                                     (LPSTR) "", 0, KEY_ALL_ACCESS, nullptr, &key,
                                                     nullptr));
  CreateKey(std::string(256, 'k'));
  struct Row {
    DWORD capacity;
    LONG status;
  } rows[] = {{255, ERROR_MORE_DATA}, {256, ERROR_MORE_DATA}, {257, ERROR_SUCCESS}, {260, ERROR_SUCCESS}};
  for (const Row& row : rows) {
    char name[300];
    memset(name, 0x5A, sizeof name);
    DWORD size = row.capacity;
    EXPECT_EQ(row.status, RegEnumKeyExA(scratch, 0, name, &size, nullptr, nullptr, nullptr, nullptr))
        << "capacity " << row.capacity;
    if (row.status == ERROR_SUCCESS) {
      EXPECT_EQ(256u, size) << "capacity " << row.capacity;
      EXPECT_EQ(std::string(256, 'k'), name) << "capacity " << row.capacity;
    } else {
      EXPECT_EQ(row.capacity, size) << "capacity " << row.capacity << ": size left as it was";
      EXPECT_EQ(0x5A, name[0]) << "capacity " << row.capacity << ": buffer left as it was";
    }
  }
  char name[8];
  DWORD size = sizeof name;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExA(scratch, 1, name, &size, nullptr, nullptr, nullptr, nullptr));
}

// RegEnumValueA takes the name capacity in characters with the terminator: a name of 259
// characters fits 260, one of 260 does not. A name that does not fit is still written, cut to
// capacity - 1 characters, and its size is left as it was; the data is delivered all the same.
TEST_F(Registry, ValueNameFitsWhenShorterThanTheCapacity) {
  SetBytes(std::string(259, 'a'), REG_SZ, std::string("data", 5));
  SetBytes(std::string(260, 'b'), REG_SZ, std::string("more", 5));
  struct Row {
    size_t length;
    LONG status;
  } rows[] = {{259, ERROR_SUCCESS}, {260, ERROR_MORE_DATA}};
  for (DWORD index = 0; index < 2; ++index) {
    const Row& row = rows[index];
    char name[300];
    memset(name, 0x5A, sizeof name);
    char data[16];
    memset(data, 0x5A, sizeof data);
    DWORD nameSize = 260, dataSize = sizeof data, type = 0;
    EXPECT_EQ(row.status,
              RegEnumValueA(scratch, index, name, &nameSize, nullptr, &type, (BYTE*)data, &dataSize))
        << "name of " << row.length;
    EXPECT_EQ(row.status == ERROR_SUCCESS ? 259u : 260u, nameSize) << "name of " << row.length;
    EXPECT_EQ(259u, strlen(name)) << "name of " << row.length;
    EXPECT_EQ(0x5A, name[260]) << "name of " << row.length;
    EXPECT_EQ((DWORD)REG_SZ, type) << "name of " << row.length;
    EXPECT_EQ(5u, dataSize) << "name of " << row.length;
    EXPECT_STREQ(index == 0 ? "data" : "more", data) << "name of " << row.length;
  }
}

// Data fits when it is not longer than the capacity. Data that does not fit is not written, nor
// is the name; the size needed is reported.
TEST_F(Registry, DataFitsUpToTheCapacity) {
  const std::string q259(259, 'q'), q260(260, 'q'), q261(261, 'q');
  struct Row {
    const char* name;
    DWORD type;
    std::string bytes;
    LONG status;
  } rows[] = {
      {"text 259 and zero", REG_SZ, q259 + std::string(1, '\0'), ERROR_SUCCESS},
      {"text 260 without zero", REG_SZ, q260 + "!", ERROR_SUCCESS},  // "!" keeps the zero off
      {"text 260 and zero", REG_SZ, q260 + std::string(1, '\0'), ERROR_MORE_DATA},
      {"binary 260", REG_BINARY, q260, ERROR_SUCCESS},
      {"binary 261", REG_BINARY, q261, ERROR_MORE_DATA},
  };
  for (const Row& row : rows) {
    std::string stored = row.bytes;
    if (stored.back() == '!') stored.pop_back();
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(scratch, row.name, 0, row.type,
                                            (const BYTE*)row.bytes.data(), (DWORD)stored.size()))
        << row.name;
  }
  for (const Row& row : rows) {
    DWORD index = IndexOfValue(row.name);
    std::string stored = row.bytes;
    if (stored.back() == '!') stored.pop_back();
    char name[300] = {};
    unsigned char data[300];
    memset(data, 0x5A, sizeof data);
    DWORD nameSize = 260, dataSize = 260;
    EXPECT_EQ(row.status, RegEnumValueA(scratch, index, name, &nameSize, nullptr, nullptr, data, &dataSize))
        << row.name;
    EXPECT_EQ(stored.size(), dataSize) << row.name;
    EXPECT_EQ(0x5A, data[260]) << row.name << ": written past the capacity";
    if (row.status == ERROR_SUCCESS) {
      EXPECT_EQ(stored, std::string((const char*)data, dataSize)) << row.name;
      EXPECT_STREQ(row.name, name);
    } else {
      EXPECT_EQ(0x5A, data[0]) << row.name;
      EXPECT_STREQ("", name) << row.name;
      EXPECT_EQ(260u, nameSize) << row.name;
    }
  }
}

TEST_F(Registry, TextWrittenWithItsTerminatorIsStoredWithIt) {
  const char text[] = "00000407";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(scratch, "1", 0, REG_SZ, (const BYTE*)text, sizeof text));
  char data[32];
  memset(data, 0x5A, sizeof data);
  DWORD type = 0, size = sizeof data;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(scratch, "1", nullptr, &type, (BYTE*)data, &size));
  EXPECT_EQ((DWORD)REG_SZ, type);
  EXPECT_EQ(9u, size);
  EXPECT_EQ(0, memcmp(text, data, 9));
  EXPECT_EQ(0x5A, data[9]);
}

// A text can be stored without its terminator, as long as the byte after the given size is not
// zero: when it is, the platform stores the terminator anyway.
TEST_F(Registry, TextStoredWithoutTerminatorReadsAsTextFromAZeroedBuffer) {
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(scratch, "cut", 0, REG_SZ, (const BYTE*)"hellox", 5));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(scratch, "grown", 0, REG_SZ, (const BYTE*)"hello", 5));
  DWORD size = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(scratch, "cut", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(5u, size);
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(scratch, "grown", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(6u, size);

  DWORD cut = IndexOfValue("cut");
  char name[16];
  char data[16] = {};
  DWORD nameSize = sizeof name;
  size = sizeof data;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(scratch, cut, name, &nameSize, nullptr, nullptr, (BYTE*)data, &size));
  EXPECT_EQ(5u, size);
  EXPECT_STREQ("hello", data);

  // With room to spare the platform adds the terminator itself; with none it writes none.
  struct Row {
    DWORD capacity;
    char afterText;
  } rows[] = {{16, 0}, {6, 0}, {5, 0x5A}};
  for (const Row& row : rows) {
    memset(data, 0x5A, sizeof data);
    nameSize = sizeof name;
    size = row.capacity;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(scratch, cut, name, &nameSize, nullptr, nullptr, (BYTE*)data, &size))
        << "capacity " << row.capacity;
    EXPECT_EQ(5u, size) << "capacity " << row.capacity;
    EXPECT_EQ(row.afterText, data[5]) << "capacity " << row.capacity;
  }
}

TEST_F(Registry, KeyWithSubkeysCannotBeDeleted) {
  CreateKey("parent\\child");
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(scratch, "parent"));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(scratch, "parent\\child", 0, KEY_READ, &key));
  RegCloseKey(key);

  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch, "parent\\child"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(scratch, "parent\\child"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch, "parent"));
  EXPECT_EQ(std::vector<std::string>{}, SubkeyNames());
}

// The empty name deletes the key behind the handle itself; the handle stays to be closed.
TEST_F(Registry, EmptyNameDeletesTheKeyOfTheHandle) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(scratch, "doomed", 0, (LPSTR) "", 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, ""));
  EXPECT_EQ(std::vector<std::string>{}, SubkeyNames());
  DWORD count = 0;
  EXPECT_EQ(ERROR_KEY_DELETED, RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr,
                                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(key, "v", 0, REG_SZ, (const BYTE*)"a", 2));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
}

TEST_F(Registry, QueryInfoCountsSubkeysAndValues) {
  CreateKey("one");
  CreateKey("two\\below");
  SetBytes("a", REG_SZ, std::string("1", 2));
  SetBytes("b", REG_DWORD, std::string("\1\0\0\0", 4));
  SetBytes("c", REG_BINARY, "");
  DWORD subkeys = 77, values = 77;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(scratch, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                            nullptr, &values, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(2u, subkeys);
  EXPECT_EQ(3u, values);
  subkeys = 77;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(scratch, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(2u, subkeys);

  HKEY empty;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(scratch, "one", 0, KEY_READ, &empty));
  values = subkeys = 77;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(empty, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                            nullptr, &values, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(0u, subkeys);
  EXPECT_EQ(0u, values);
  RegCloseKey(empty);
}

// A key opened for reading cannot take values. (Wine still creates subkeys through it, where
// Windows asks for KEY_CREATE_SUB_KEY on the handle: the program never relies on that, and
// the stand-in follows Windows there.)
TEST_F(Registry, ReadHandleCannotSetValues) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, ScratchPath, 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(key, "v", 0, REG_SZ, (const BYTE*)"a", 2));
  RegCloseKey(key);
}

}  // namespace
