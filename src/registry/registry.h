// Registry services: a thin layer over the registry functions through which all registry work
// passes, recursive key deletion, and the removal of the product's Uninstall entry.
//
// A key handle returned here belongs to the caller, who closes it with RegCloseKey. The
// enumeration operations write into the shared buffers below, overwritten by the next call:
// copy out what you keep before the next enumeration anywhere.
#pragma once

#include "win32.h"

extern char SubkeyName[260];  // filled by RegistryEnumSubkey
extern char ValueName[260];   // filled by RegistryEnumValue
// Filled by RegistryEnumValue: up to 260 bytes of data; the extra byte stays zero, so the data
// always reads as a terminated text.
extern char ValueData[261];
extern DWORD ValueType;  // filled by RegistryEnumValue: the value's type (REG_SZ, REG_DWORD, ...)

HKEY RegistryOpenKey(HKEY parent, const char* name);           // KEY_READ; null on failure
HKEY RegistryOpenKeyAllAccess(HKEY parent, const char* name);  // KEY_ALL_ACCESS; null on failure
HKEY RegistryCreateKey(HKEY parent, const char* name);         // opens or creates; null on failure
bool RegistrySetString(HKEY key, const char* name, const char* text);  // REG_SZ with terminator
DWORD RegistryCountSubkeys(HKEY key);                          // 0 when the query fails
DWORD RegistryCountValues(HKEY key);                           // 0 when the query fails
bool RegistryEnumSubkey(HKEY key, DWORD index);                // into SubkeyName
bool RegistryEnumValue(HKEY key, DWORD index);                 // into ValueName and ValueData
// Deletes parent\name with everything below it; what can be deleted is deleted in any case.
bool RegistryDeleteTree(HKEY parent, const char* name);

// Deletes the product's entry in the list of installed programs; false only when the Uninstall
// key itself cannot be opened.
bool RemoveUninstallEntry(const char* entryName);
