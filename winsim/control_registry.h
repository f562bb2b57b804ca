// Test control of winsim: registry. Included by winsim/control.h.
//
// The stand-in registry has the roots HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, written "HKCU"
// and "HKLM" in every path below ("HKCU\\Keyboard Layout\\Preload"). Key names compare without
// regard to case, Windows-1252 letters included, and keep the case they were created with.
// Subkeys and values enumerate in the order Wine's registry gives them: sorted by name, letters
// folded to lower case, a name before every longer name that it begins (1, 10, 2, A, b, ...).
// There is no WOW64 registry redirection: a path here is the key the 32-bit program sees.
//
// Call record and failure subjects. Every registry call appends one line whose first argument
// is also the subject that FailCall matches (without regard to case):
//   RegOpenKeyExA(<key path>, <access>)      the key being opened, e.g. "HKCU\\Keyboard Layout"
//   RegCreateKeyExA(<key path>, <access>)    the key being created or opened
//   RegDeleteKeyA(<key path>)                the key being deleted
//   RegCloseKey(<key path>)                  the key behind the handle
//   RegQueryInfoKeyA(<key path>)
//   RegEnumKeyExA(<key path>#<index>)        e.g. "HKCU\\Keyboard Layout\\Preload#2"
//   RegEnumValueA(<key path>#<index>)
//   RegSetValueExA(<key path>\<value name>, <type>, "<text>", <size>)   text: up to the first
//                                            zero byte, shown for string types only
//   RegQueryValueExA(<key path>\<value name>)
//   RegDeleteValueA(<key path>\<value name>)
// A key path is the parent's path and the given name, with empty parts of the name dropped and
// the name's case kept. An injected failure makes the call return the injected code and change
// nothing; RegOpenKeyExA and RegCreateKeyExA then hand back a null key.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "winsim/control.h"

namespace winsim {

// ---- Staging: these neither record calls nor meet injected failures ---------------------------
// Creates the key and every missing key above it.
void CreateRegistryKey(const std::string& path);
// Creates the key when needed and sets the value to these raw bytes.
void SetRegistryValue(const std::string& path, const std::string& name, DWORD type,
                      const std::string& bytes);
// A REG_SZ value stored with its terminating zero, as RegSetValueExA stores a text.
void SetRegistryString(const std::string& path, const std::string& name, const std::string& text);
// Removes the key with everything below it; nothing happens when it does not exist.
void RemoveRegistryKey(const std::string& path);

// ---- Inspection --------------------------------------------------------------------------------
struct RegistryValue {
  std::string name;
  DWORD type;
  std::string data;  // the stored bytes, a string's terminating zero included
};
bool KeyExists(const std::string& path);
// In enumeration order; empty when the key does not exist.
std::vector<std::string> RegistrySubkeys(const std::string& path);
std::vector<RegistryValue> RegistryValues(const std::string& path);
// name and data of each value, the data read as a text up to its first zero byte.
std::vector<std::pair<std::string, std::string>> RegistryStrings(const std::string& path);
// The key paths of the handles opened and not yet closed, in the order they were opened.
std::vector<std::string> OpenKeyHandles();

}  // namespace winsim
