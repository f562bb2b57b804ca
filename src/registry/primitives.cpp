// The registry primitives: every registry call of the program passes through here. Results are
// reduced to a null handle, false or a zero count; the caller words its own message.
#include <string.h>

#include "registry/registry.h"

char SubkeyName[260];
char ValueName[260];
char ValueData[261];
DWORD ValueType;

HKEY RegistryOpenKey(HKEY parent, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

HKEY RegistryOpenKeyAllAccess(HKEY parent, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

HKEY RegistryCreateKey(HKEY parent, const char* name) {
  HKEY key = nullptr;
  char noClass[] = "";
  if (RegCreateKeyExA(parent, name, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

bool RegistrySetString(HKEY key, const char* name, const char* text) {
  return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)(strlen(text) + 1)) ==
         ERROR_SUCCESS;
}

DWORD RegistryCountSubkeys(HKEY key) {
  DWORD count = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  return count;
}

DWORD RegistryCountValues(HKEY key) {
  DWORD count = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  return count;
}

bool RegistryEnumSubkey(HKEY key, DWORD index) {
  DWORD size = sizeof SubkeyName;
  return RegEnumKeyExA(key, index, SubkeyName, &size, nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

// ValueData has one byte more than the capacity handed to the platform, so that data of the
// full 260 bytes without a terminating zero still reads as a text.
bool RegistryEnumValue(HKEY key, DWORD index) {
  memset(ValueName, 0, sizeof ValueName);
  memset(ValueData, 0, sizeof ValueData);
  ValueType = REG_NONE;
  DWORD nameSize = sizeof ValueName;
  DWORD dataSize = sizeof ValueData - 1;
  return RegEnumValueA(key, index, ValueName, &nameSize, nullptr, &ValueType, (BYTE*)ValueData,
                       &dataSize) == ERROR_SUCCESS;
}

bool RegistryDeleteTree(HKEY parent, const char* name) {
  // The platform takes the empty name for the parent itself.
  if (name == nullptr || name[0] == 0) return false;
  HKEY key = RegistryOpenKeyAllAccess(parent, name);
  if (key == nullptr) return false;
  bool result = true;
  // Highest index first: deleting a subkey never moves one not yet visited.
  for (DWORD index = RegistryCountSubkeys(key); index-- > 0;) {
    if (!RegistryEnumSubkey(key, index)) {
      result = false;
      continue;
    }
    char subkey[260];  // the recursion overwrites SubkeyName
    memcpy(subkey, SubkeyName, sizeof subkey);
    subkey[sizeof subkey - 1] = 0;
    if (!RegistryDeleteTree(key, subkey)) result = false;
  }
  RegCloseKey(key);
  if (RegDeleteKeyA(parent, name) != ERROR_SUCCESS) result = false;
  return result;
}
