// The layout configuration snapshot: the user's Preload and Substitutes lists and the machine's
// German keyboard layouts, read once before anything is changed.
#include <stdarg.h>
#include <string.h>

#include "app/app.h"
#include "layouts/layouts.h"
#include "registry/registry.h"
#include "ui/ui.h"

PreloadEntry PreloadList[MaxPreloadEntries];
uint32_t PreloadCount;
InstalledLayout LayoutCatalog[MaxInstalledLayouts];
uint32_t LayoutCount;
int32_t TargetIndex = -1;
char LayoutErrorText[1000];

namespace {

const char PreloadPath[] = "Keyboard Layout\\Preload";
const char SubstitutesPath[] = "Keyboard Layout\\Substitutes";
const char LayoutsPath[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts";

// The language part of a layout key for German in Germany, Switzerland, Austria, Liechtenstein.
const char* const GermanLanguages[] = {"0407", "0807", "0C07", "1407"};

const char UserKeyFailedText[] = "Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\%s";
const char OutOfMemoryText[] = "Nicht genug Speicher für die Liste der Tastaturbelegungen.";
const char UnreadableValueText[] =
    "Der Registry-Key HKEY_CURRENT_USER\\%s enthält einen Wert, den die Deinstallation nicht als Text lesen kann.\n"
    "Sie würde ihn beim Neuschreiben des Keys verlieren; es wurde nichts geändert.";

// The rewrite replaces the user's Preload and Substitutes keys whole and writes texts back: a
// value that cannot be read, or is not a text (REG_SZ), would be lost or changed. Such a value
// stops the load before anything is changed.
bool ReadUserValue(HKEY key, DWORD index, const char* path) {
  if (RegistryEnumValue(key, index) && ValueType == REG_SZ) return true;
  SetLayoutError(UnreadableValueText, path);
  return false;
}

bool IsGermanLayoutKey(const char* name) {
  if (strlen(name) < 8) return false;
  for (const char* language : GermanLanguages) {
    if (memcmp(name + 4, language, 4) == 0) return true;
  }
  return false;
}

bool ReadPreload() {
  HKEY preload = RegistryOpenKey(HKEY_CURRENT_USER, PreloadPath);
  if (preload == nullptr) {
    SetLayoutError(UserKeyFailedText, PreloadPath);
    return false;
  }
  bool result = true;
  DWORD count = RegistryCountValues(preload);
  for (DWORD index = 0; index < count; ++index) {
    if (!ReadUserValue(preload, index, PreloadPath)) {
      result = false;
      break;
    }
    // A longer list cannot be rewritten without losing the entries behind the hundredth: the
    // uninstall must refuse before it changes anything.
    if (PreloadCount >= CountOf(PreloadList)) {
      SetLayoutError(
          "Die Liste der Tastaturbelegungen (HKEY_CURRENT_USER\\%s) hat mehr als %d Einträge.\n"
          "So viele kann die Deinstallation nicht bearbeiten; es wurde nichts geändert.",
          PreloadPath, (int)CountOf(PreloadList));
      result = false;
      break;
    }
    PreloadEntry& entry = PreloadList[PreloadCount];
    entry.name = HeapText(ValueName);
    entry.layout = HeapText(ValueData);
    if (entry.name == nullptr || entry.layout == nullptr) {
      SetLayoutError(OutOfMemoryText);
      result = false;
      break;
    }
    entry.number = ParseDecimal(entry.name);
    char rendered[16];
    FormatInto(rendered, sizeof rendered, "%d", entry.number);
    entry.canonical = strcmp(rendered, entry.name) == 0;
    ++PreloadCount;
  }
  RegCloseKey(preload);
  return result;
}

bool ReadSubstitutes() {
  HKEY substitutes = RegistryOpenKey(HKEY_CURRENT_USER, SubstitutesPath);
  if (substitutes == nullptr) {
    SetLayoutError(UserKeyFailedText, SubstitutesPath);
    return false;
  }
  bool result = true;
  DWORD count = RegistryCountValues(substitutes);
  for (DWORD index = 0; index < count && result; ++index) {
    if (!ReadUserValue(substitutes, index, SubstitutesPath)) {
      result = false;
      break;
    }
    for (uint32_t i = 0; i < PreloadCount; ++i) {
      if (strcmp(PreloadList[i].layout, ValueName) != 0) continue;
      PreloadList[i].substitute = HeapText(ValueData);
      if (PreloadList[i].substitute == nullptr) {
        SetLayoutError(OutOfMemoryText);
        result = false;
      }
      break;
    }
  }
  RegCloseKey(substitutes);
  return result;
}

// Reads the "Layout File" of the catalogue entry at LayoutCount from its subkey.
bool ReadLayoutFile(HKEY layouts, InstalledLayout& entry) {
  HKEY layout = RegistryOpenKey(layouts, entry.key);
  if (layout == nullptr) {
    SetLayoutError("Fehler beim Öffnen des Registry-Subkeys %s - %s", LayoutsPath, entry.key);
    return false;
  }
  bool result = true;
  DWORD count = RegistryCountValues(layout);
  for (DWORD index = 0; index < count; ++index) {
    if (!RegistryEnumValue(layout, index) || strcmp(ValueName, "Layout File") != 0) continue;
    entry.layoutFile = HeapText(ValueData);
    if (entry.layoutFile == nullptr) {
      SetLayoutError(OutOfMemoryText);
      result = false;
      break;
    }
  }
  RegCloseKey(layout);
  return result;
}

bool ReadMachineLayouts() {
  HKEY layouts = RegistryOpenKey(HKEY_LOCAL_MACHINE, LayoutsPath);
  if (layouts == nullptr) {
    SetLayoutError("Fehler beim Öffnen des Registry-Keys HKEY_LOCAL_MACHINE\\%s", LayoutsPath);
    return false;
  }
  bool result = true;
  DWORD count = RegistryCountSubkeys(layouts);
  for (DWORD index = 0; index < count; ++index) {
    if (!RegistryEnumSubkey(layouts, index) || !IsGermanLayoutKey(SubkeyName)) continue;
    if (LayoutCount >= CountOf(LayoutCatalog)) {
      SetLayoutError(
          "Unter HKEY_LOCAL_MACHINE\\%s sind mehr als %d deutsche Tastaturbelegungen eingetragen.\n"
          "So viele kann die Deinstallation nicht bearbeiten; es wurde nichts geändert.",
          LayoutsPath, (int)CountOf(LayoutCatalog));
      result = false;
      break;
    }
    if (SameIgnoringAsciiCase(TargetLayoutKey, SubkeyName)) TargetIndex = (int32_t)LayoutCount;
    InstalledLayout& entry = LayoutCatalog[LayoutCount];
    entry.key = HeapText(SubkeyName);
    if (entry.key == nullptr) {
      SetLayoutError(OutOfMemoryText);
      result = false;
      break;
    }
    if (!ReadLayoutFile(layouts, entry)) {
      result = false;
      break;
    }
    ++LayoutCount;
  }
  RegCloseKey(layouts);
  return result;
}

}  // namespace

void SetLayoutError(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  FormatText(LayoutErrorText, sizeof LayoutErrorText, format, arguments);
  va_end(arguments);
}

const char* HeapText(const char* text) {
  size_t size = strlen(text) + 1;
  char* copy = (char*)HeapAlloc(GetProcessHeap(), 0, size);
  if (copy != nullptr) memcpy(copy, text, size);
  return copy;
}

bool IsStandardLayoutKey(const char* key) {
  return key != nullptr && strlen(key) == 8 && memcmp(key, "00000", 5) == 0;
}

// Skips leading blanks, takes one minus sign, then every digit up to the end; other characters
// are passed over. The value wraps in 32 bits.
int32_t ParseDecimal(const char* text) {
  while (*text == ' ') ++text;
  bool negative = *text == '-';
  if (negative) ++text;
  uint32_t value = 0;
  for (; *text != 0; ++text) {
    if (*text >= '0' && *text <= '9') value = value * 10 + (uint32_t)(*text - '0');
  }
  return (int32_t)(negative ? 0u - value : value);
}

// Only the first failure is reported: what was read before it stays but is not used.
bool LoadLayoutConfiguration() {
  memset(PreloadList, 0, sizeof PreloadList);
  PreloadCount = 0;
  memset(LayoutCatalog, 0, sizeof LayoutCatalog);
  LayoutCount = 0;
  memset(NewPreloadList, 0, sizeof NewPreloadList);
  newpreloadcount = 0;
  memset(NewSubstituteList, 0, sizeof NewSubstituteList);
  NewSubstituteCount = 0;
  TargetIndex = -1;
  TargetNotInPreload = false;
  return ReadPreload() && ReadSubstitutes() && ReadMachineLayouts();
}
