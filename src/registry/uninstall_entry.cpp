// The product's entry in the system's list of installed programs.
#include "registry/registry.h"

bool RemoveUninstallEntry(const char* entryName) {
  // Opened through RegistryCreateKey for all access; a missing Uninstall key is created.
  HKEY uninstall =
      RegistryCreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  if (uninstall == nullptr) return false;
  // An entry that is missing or cannot be deleted changes nothing further.
  RegistryDeleteTree(uninstall, entryName);
  RegCloseKey(uninstall);
  return true;
}
