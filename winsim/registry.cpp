// winsim: the registry. An in-memory tree under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE with
// handles that must be closed, the enumeration order and the buffer rules that Wine shows (see
// tests/contract/registry_test.cpp), and failures injected per call and key path.
#include <stdio.h>
#include <string.h>

#include <map>
#include <memory>

#include "winsim/internal.h"

namespace winsim {
namespace {

struct Value {
  std::string name;
  DWORD type;
  std::string data;
};

struct Key {
  std::string name;
  std::string path;       // "HKCU\\Keyboard Layout\\Preload", as created
  Key* parent = nullptr;  // null for a root and once the key is deleted
  bool deleted = false;
  std::vector<std::shared_ptr<Key>> subkeys;  // in enumeration order
  std::vector<Value> values;                  // in enumeration order
};

struct Handle {
  std::shared_ptr<Key> key;  // keeps a deleted key alive while a handle refers to it
  REGSAM access;
};

std::shared_ptr<Key> CurrentUser;
std::shared_ptr<Key> LocalMachine;
std::map<uintptr_t, Handle> Handles;  // ordered by value, so by opening order
uintptr_t NextHandle = 0x1000;

// Wine accepts key names of up to 256 characters; a longer one is an invalid parameter.
const size_t MaxKeyNameLength = 256;

std::shared_ptr<Key> NewRoot(const char* name) {
  std::shared_ptr<Key> root = std::make_shared<Key>();
  root->name = name;
  root->path = name;
  return root;
}

void ResetRegistry() {
  CurrentUser = NewRoot("HKCU");
  LocalMachine = NewRoot("HKLM");
  Handles.clear();
  NextHandle = 0x1000;
}
detail::ResetHook Hook(&ResetRegistry);

// ---- Names -------------------------------------------------------------------------------------

// Windows-1252 bytes 0x80-0x9F as UTF-16 code units; the unassigned ones stay as they are.
const char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The code unit a name character is compared by: the platform stores names in UTF-16 and
// compares them folded to lower case.
char16_t FoldedUnit(char c) {
  unsigned char byte = (unsigned char)c;
  char16_t unit = (byte >= 0x80 && byte < 0xA0) ? Cp1252High[byte - 0x80] : byte;
  if (unit >= u'A' && unit <= u'Z') return (char16_t)(unit + 0x20);
  if (unit >= 0xC0 && unit <= 0xDE && unit != 0xD7) return (char16_t)(unit + 0x20);
  switch (unit) {
    case 0x0152: return 0x0153;
    case 0x0160: return 0x0161;
    case 0x017D: return 0x017E;
    case 0x0178: return 0x00FF;
    default: return unit;
  }
}

int CompareNames(const std::string& a, const std::string& b) {
  size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    char16_t x = FoldedUnit(a[i]), y = FoldedUnit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

Key* FindSubkey(Key* key, const std::string& name) {
  for (const std::shared_ptr<Key>& subkey : key->subkeys) {
    if (CompareNames(subkey->name, name) == 0) return subkey.get();
  }
  return nullptr;
}

Key* AddSubkey(Key* key, const std::string& name) {
  std::shared_ptr<Key> subkey = std::make_shared<Key>();
  subkey->name = name;
  subkey->path = key->path + "\\" + name;
  subkey->parent = key;
  auto place = key->subkeys.begin();
  while (place != key->subkeys.end() && CompareNames((*place)->name, name) < 0) ++place;
  key->subkeys.insert(place, subkey);
  return subkey.get();
}

Value* FindValue(Key* key, const std::string& name) {
  for (Value& value : key->values) {
    if (CompareNames(value.name, name) == 0) return &value;
  }
  return nullptr;
}

void StoreValue(Key* key, const std::string& name, DWORD type, const std::string& data) {
  if (Value* value = FindValue(key, name)) {
    value->type = type;
    value->data = data;  // the value keeps the case of its first name
    return;
  }
  auto place = key->values.begin();
  while (place != key->values.end() && CompareNames(place->name, name) < 0) ++place;
  key->values.insert(place, Value{name, type, data});
}

void MarkDeleted(Key* key) {
  for (const std::shared_ptr<Key>& subkey : key->subkeys) MarkDeleted(subkey.get());
  key->subkeys.clear();
  key->deleted = true;
  key->parent = nullptr;
}

void Detach(Key* key) {
  Key* parent = key->parent;
  for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it) {
    if (it->get() == key) {
      std::shared_ptr<Key> keep = *it;  // alive for any handle still open on it
      parent->subkeys.erase(it);
      MarkDeleted(keep.get());
      return;
    }
  }
}

// A name given to a call, split at its backslashes; empty parts are dropped as the platform
// does ("a\\\\b" and "a\\" are fine), a leading backslash is refused.
struct ParsedName {
  std::vector<std::string> parts;
  LSTATUS status = ERROR_SUCCESS;
};

ParsedName Parse(LPCSTR name) {
  ParsedName parsed;
  if (name == nullptr) return parsed;
  if (name[0] == '\\') parsed.status = ERROR_BAD_PATHNAME;
  std::string part;
  for (const char* p = name;; ++p) {
    if (*p == '\\' || *p == 0) {
      if (part.size() > MaxKeyNameLength) parsed.status = ERROR_INVALID_PARAMETER;
      if (!part.empty()) parsed.parts.push_back(part);
      part.clear();
      if (*p == 0) break;
    } else {
      part += *p;
    }
  }
  return parsed;
}

std::string JoinedPath(const std::string& base, const std::vector<std::string>& parts) {
  std::string path = base;
  for (const std::string& part : parts) path += "\\" + part;
  return path;
}

// ---- Handles -----------------------------------------------------------------------------------

Key* RootOf(HKEY key) {
  if (key == HKEY_CURRENT_USER) return CurrentUser.get();
  if (key == HKEY_LOCAL_MACHINE) return LocalMachine.get();
  return nullptr;
}

// The key behind a handle and the access it was opened with; null for an unknown handle.
Key* Lookup(HKEY handle, REGSAM* access) {
  if (Key* root = RootOf(handle)) {
    *access = KEY_ALL_ACCESS;
    return root;
  }
  auto it = Handles.find((uintptr_t)handle);
  if (it == Handles.end()) return nullptr;
  *access = it->second.access;
  return it->second.key.get();
}

std::shared_ptr<Key> Shared(Key* key) {
  if (key == CurrentUser.get()) return CurrentUser;
  if (key == LocalMachine.get()) return LocalMachine;
  for (const std::shared_ptr<Key>& sibling : key->parent->subkeys) {
    if (sibling.get() == key) return sibling;
  }
  return nullptr;
}

HKEY NewHandle(Key* key, REGSAM access) {
  uintptr_t value = NextHandle;
  NextHandle += 4;
  Handles[value] = Handle{Shared(key), access};
  return (HKEY)value;
}

std::string PathOf(HKEY handle, Key* key) { return key ? key->path : detail::HandleText(handle); }

std::string Hex(DWORD value) {
  char text[16];
  snprintf(text, sizeof text, "0x%x", (unsigned)value);
  return text;
}

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Copies a value's data out as the platform does: a string stored without its terminating zero
// gets one when the buffer has room for it (the reported size stays that of the stored data).
void CopyData(const Value& value, LPBYTE data, DWORD capacity) {
  memcpy(data, value.data.data(), value.data.size());
  size_t size = value.data.size();
  if (IsStringType(value.type) && size > 0 && value.data[size - 1] != 0 && size < capacity) {
    data[size] = 0;
  }
}

// Common start of every call on an open key: records it and reports the injected failure, an
// unknown handle, a deleted key or missing access rights.
LSTATUS Begin(const char* function, Key* key, const std::string& subject,
              const std::string& details, REGSAM access, REGSAM needed) {
  detail::Record(function, details.empty() ? subject : subject + ", " + details);
  uint32_t error;
  if (detail::Injected(function, subject, &error)) return (LSTATUS)error;
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  if (key->deleted) return ERROR_KEY_DELETED;
  if ((access & needed) != needed) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

// ---- Staging -----------------------------------------------------------------------------------

Key* StagedKey(const std::string& path, bool create) {
  ParsedName parsed = Parse(path.c_str());
  if (parsed.parts.empty()) return nullptr;
  const std::string root = detail::Folded(parsed.parts[0]);
  Key* key = nullptr;
  if (root == "hkcu" || root == "hkey_current_user") key = CurrentUser.get();
  if (root == "hklm" || root == "hkey_local_machine") key = LocalMachine.get();
  for (size_t i = 1; key != nullptr && i < parsed.parts.size(); ++i) {
    Key* next = FindSubkey(key, parsed.parts[i]);
    if (next == nullptr && create) next = AddSubkey(key, parsed.parts[i]);
    key = next;
  }
  return key;
}

}  // namespace

void CreateRegistryKey(const std::string& path) { StagedKey(path, true); }

void SetRegistryValue(const std::string& path, const std::string& name, DWORD type,
                      const std::string& bytes) {
  if (Key* key = StagedKey(path, true)) StoreValue(key, name, type, bytes);
}

void SetRegistryString(const std::string& path, const std::string& name, const std::string& text) {
  SetRegistryValue(path, name, REG_SZ, text + std::string(1, '\0'));
}

void RemoveRegistryKey(const std::string& path) {
  Key* key = StagedKey(path, false);
  if (key != nullptr && key->parent != nullptr) Detach(key);
}

bool KeyExists(const std::string& path) { return StagedKey(path, false) != nullptr; }

std::vector<std::string> RegistrySubkeys(const std::string& path) {
  std::vector<std::string> names;
  if (Key* key = StagedKey(path, false)) {
    for (const std::shared_ptr<Key>& subkey : key->subkeys) names.push_back(subkey->name);
  }
  return names;
}

std::vector<RegistryValue> RegistryValues(const std::string& path) {
  std::vector<RegistryValue> values;
  if (Key* key = StagedKey(path, false)) {
    for (const Value& value : key->values) values.push_back({value.name, value.type, value.data});
  }
  return values;
}

std::vector<std::pair<std::string, std::string>> RegistryStrings(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> strings;
  for (const RegistryValue& value : RegistryValues(path)) {
    strings.push_back({value.name, std::string(value.data.c_str())});
  }
  return strings;
}

std::vector<std::string> OpenKeyHandles() {
  std::vector<std::string> paths;
  for (const auto& entry : Handles) paths.push_back(entry.second.key->path);
  return paths;
}

}  // namespace winsim

// ---- advapi32 ----------------------------------------------------------------------------------

using namespace winsim;

LSTATUS WINAPI RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
  REGSAM parentAccess;
  Key* key = Lookup(parent, &parentAccess);
  ParsedName name = Parse(subKey);
  *result = nullptr;
  LSTATUS status = Begin("RegOpenKeyExA", key, JoinedPath(PathOf(parent, key), name.parts),
                         Hex(access), 0, 0);
  if (status != ERROR_SUCCESS) return status;
  if (name.status != ERROR_SUCCESS) return name.status;
  for (const std::string& part : name.parts) {
    key = FindSubkey(key, part);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  }
  *result = NewHandle(key, access);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExA(HKEY parent, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access,
                               LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
  REGSAM parentAccess;
  Key* key = Lookup(parent, &parentAccess);
  ParsedName name = Parse(subKey);
  *result = nullptr;
  // The platform wants KEY_CREATE_SUB_KEY on the parent's handle, as its documentation says;
  // Wine does not check it, so a program tested only there could pass a read-only handle.
  LSTATUS status = Begin("RegCreateKeyExA", key, JoinedPath(PathOf(parent, key), name.parts),
                         Hex(access), parentAccess, KEY_CREATE_SUB_KEY);
  if (status != ERROR_SUCCESS) return status;
  if (name.status != ERROR_SUCCESS) return name.status;
  DWORD how = REG_OPENED_EXISTING_KEY;
  for (const std::string& part : name.parts) {
    Key* next = FindSubkey(key, part);
    if (next == nullptr) {
      next = AddSubkey(key, part);
      how = REG_CREATED_NEW_KEY;
    }
    key = next;
  }
  if (disposition) *disposition = how;
  *result = NewHandle(key, access);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY handle) {
  REGSAM access;
  Key* key = Lookup(handle, &access);
  detail::Record("RegCloseKey", PathOf(handle, key));
  uint32_t error;
  if (detail::Injected("RegCloseKey", PathOf(handle, key), &error)) return (LSTATUS)error;
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  Handles.erase((uintptr_t)handle);  // closing a root is accepted and changes nothing
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteKeyA(HKEY parent, LPCSTR subKey) {
  REGSAM access;
  Key* key = Lookup(parent, &access);
  ParsedName name = Parse(subKey);
  // Deleting needs no rights of the parent's handle: the platform opens the key itself.
  LSTATUS status =
      Begin("RegDeleteKeyA", key, JoinedPath(PathOf(parent, key), name.parts), "", 0, 0);
  if (status != ERROR_SUCCESS) return status;
  if (name.status != ERROR_SUCCESS) return name.status;
  for (const std::string& part : name.parts) {
    key = FindSubkey(key, part);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  }
  // An empty name deletes the key of the handle itself.
  if (key->parent == nullptr || !key->subkeys.empty()) return ERROR_ACCESS_DENIED;
  Detach(key);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryInfoKeyA(HKEY handle, LPSTR keyClass, LPDWORD classSize, LPDWORD,
                                LPDWORD subKeys, LPDWORD maxSubKeyLen, LPDWORD maxClassLen,
                                LPDWORD values, LPDWORD maxValueNameLen, LPDWORD maxValueLen,
                                LPDWORD securityDescriptorSize, PFILETIME lastWriteTime) {
  REGSAM access;
  Key* key = Lookup(handle, &access);
  LSTATUS status =
      Begin("RegQueryInfoKeyA", key, PathOf(handle, key), "", access, KEY_QUERY_VALUE);
  if (status != ERROR_SUCCESS) return status;
  if (keyClass && classSize && *classSize > 0) keyClass[0] = 0;
  if (classSize) *classSize = 0;
  if (subKeys) *subKeys = (DWORD)key->subkeys.size();
  if (values) *values = (DWORD)key->values.size();
  DWORD longestKey = 0, longestName = 0, longestData = 0;
  for (const std::shared_ptr<Key>& subkey : key->subkeys) {
    if (subkey->name.size() > longestKey) longestKey = (DWORD)subkey->name.size();
  }
  for (const Value& value : key->values) {
    if (value.name.size() > longestName) longestName = (DWORD)value.name.size();
    if (value.data.size() > longestData) longestData = (DWORD)value.data.size();
  }
  if (maxSubKeyLen) *maxSubKeyLen = longestKey;
  if (maxClassLen) *maxClassLen = 0;
  if (maxValueNameLen) *maxValueNameLen = longestName;
  if (maxValueLen) *maxValueLen = longestData;
  if (securityDescriptorSize) *securityDescriptorSize = 0;
  if (lastWriteTime) *lastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

// Capacities are in characters with the terminating zero: a name fits when it is shorter than
// the capacity. A name that does not fit leaves the buffer and its size untouched.
LSTATUS WINAPI RegEnumKeyExA(HKEY handle, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD,
                             LPSTR keyClass, LPDWORD classSize, PFILETIME lastWriteTime) {
  REGSAM access;
  Key* key = Lookup(handle, &access);
  LSTATUS status = Begin("RegEnumKeyExA", key, PathOf(handle, key) + "#" + std::to_string(index),
                         "", access, KEY_ENUMERATE_SUB_KEYS);
  if (status != ERROR_SUCCESS) return status;
  if (index >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  const std::string& found = key->subkeys[index]->name;
  if (nameSize == nullptr || name == nullptr) return ERROR_INVALID_PARAMETER;
  if (found.size() + 1 > *nameSize) return ERROR_MORE_DATA;
  memcpy(name, found.c_str(), found.size() + 1);
  *nameSize = (DWORD)found.size();
  if (keyClass && classSize && *classSize > 0) keyClass[0] = 0;
  if (classSize) *classSize = 0;
  if (lastWriteTime) *lastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

// As Wine does it: data that does not fit is reported first (its size in *dataSize, the name
// not written); then a name that does not fit is written cut to the capacity, with the data
// already delivered, and its size left as it was.
LSTATUS WINAPI RegEnumValueA(HKEY handle, DWORD index, LPSTR valueName, LPDWORD valueNameSize,
                             LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  REGSAM access;
  Key* key = Lookup(handle, &access);
  LSTATUS status = Begin("RegEnumValueA", key, PathOf(handle, key) + "#" + std::to_string(index),
                         "", access, KEY_QUERY_VALUE);
  if (status != ERROR_SUCCESS) return status;
  if (index >= key->values.size()) return ERROR_NO_MORE_ITEMS;
  if (valueName == nullptr || valueNameSize == nullptr) return ERROR_INVALID_PARAMETER;
  const Value& value = key->values[index];
  if (type) *type = value.type;
  if (dataSize) {
    DWORD capacity = *dataSize;
    *dataSize = (DWORD)value.data.size();
    if (data) {
      if (value.data.size() > capacity) return ERROR_MORE_DATA;
      CopyData(value, data, capacity);
    }
  }
  if (value.name.size() + 1 > *valueNameSize) {
    if (*valueNameSize > 0) {
      memcpy(valueName, value.name.data(), *valueNameSize - 1);
      valueName[*valueNameSize - 1] = 0;
    }
    return ERROR_MORE_DATA;
  }
  memcpy(valueName, value.name.c_str(), value.name.size() + 1);
  *valueNameSize = (DWORD)value.name.size();
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY handle, LPCSTR valueName, DWORD, DWORD type, const BYTE* data,
                              DWORD size) {
  REGSAM access;
  Key* key = Lookup(handle, &access);
  std::string name = valueName ? valueName : "";
  // The platform stores a text given without its terminating zero with it, when the byte right
  // after the given size is that zero.
  if (data && IsStringType(type) && size > 0 && data[size - 1] != 0 && data[size] == 0) ++size;
  std::string bytes = data ? std::string((const char*)data, size) : std::string();
  std::string shown = IsStringType(type) ? "\"" + std::string(bytes.c_str()) + "\"" : "-";
  LSTATUS status = Begin("RegSetValueExA", key, PathOf(handle, key) + "\\" + name,
                         std::to_string(type) + ", " + shown + ", " + std::to_string(size),
                         access, KEY_SET_VALUE);
  if (status != ERROR_SUCCESS) return status;
  StoreValue(key, name, type, bytes);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY handle, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                                LPDWORD size) {
  REGSAM access;
  Key* key = Lookup(handle, &access);
  std::string name = valueName ? valueName : "";
  LSTATUS status = Begin("RegQueryValueExA", key, PathOf(handle, key) + "\\" + name, "", access,
                         KEY_QUERY_VALUE);
  if (status != ERROR_SUCCESS) return status;
  const Value* value = FindValue(key, name);
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  if (type) *type = value->type;
  if (size == nullptr) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  DWORD capacity = *size;
  *size = (DWORD)value->data.size();
  if (data == nullptr) return ERROR_SUCCESS;
  if (value->data.size() > capacity) return ERROR_MORE_DATA;
  CopyData(*value, data, capacity);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY handle, LPCSTR valueName) {
  REGSAM access;
  Key* key = Lookup(handle, &access);
  std::string name = valueName ? valueName : "";
  LSTATUS status = Begin("RegDeleteValueA", key, PathOf(handle, key) + "\\" + name, "", access,
                         KEY_SET_VALUE);
  if (status != ERROR_SUCCESS) return status;
  for (auto it = key->values.begin(); it != key->values.end(); ++it) {
    if (CompareNames(it->name, name) == 0) {
      key->values.erase(it);
      return ERROR_SUCCESS;
    }
  }
  return ERROR_FILE_NOT_FOUND;
}
