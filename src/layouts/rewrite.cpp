// The rewrite of the user's Preload and Substitutes lists without the layout being removed:
// first computed in memory, then written over the old keys.
#include <string.h>

#include "app/app.h"
#include "layouts/layouts.h"
#include "registry/registry.h"
#include "ui/ui.h"

PreloadEntry NewPreloadList[MaxPreloadEntries];
uint32_t newpreloadcount;
SubstituteEntry NewSubstituteList[MaxPreloadEntries];
uint32_t NewSubstituteCount;
bool TargetNotInPreload;

namespace {

const char KeyboardLayoutPath[] = "Keyboard Layout";
const char DeleteFailedText[] = "Warnung:\nFehler beim Löschen des Registry-Keys %s - %s";
const char RecreateFailedText[] = "Warnung:\nFehler beim Wiedererstellen des Registry-Keys %s - %s";
// A value that cannot be written is an entry lost from the user's list: it is reported, and the
// other values are still written.
const char WriteFailedText[] = "Warnung:\nFehler beim Schreiben des Registry-Werts %s\\%s - %s";

// Numbers from 0 to this one are carried over; entries numbered otherwise are dropped.
const int32_t LastNumber = 201;
// Where entries with a non-standard layout and an irregular name go: behind the regular ones.
const int32_t IrregularNumber = 200;

struct Positions {
  int32_t target;     // the last entry served by the target layout
  int32_t standard;   // the last entry whose layout is a standard layout key
  int32_t firstPlain; // the first entry without substitute
};

Positions FindPositions() {
  Positions found = {-1, -1, -1};
  for (uint32_t i = 0; i < PreloadCount; ++i) {
    const PreloadEntry& entry = PreloadList[i];
    if (entry.substitute != nullptr && SameIgnoringAsciiCase(entry.substitute, TargetLayoutKey)) {
      found.target = (int32_t)i;
    }
    if (IsStandardLayoutKey(entry.layout)) found.standard = (int32_t)i;
    if (entry.substitute == nullptr && found.firstPlain == -1) found.firstPlain = (int32_t)i;
  }
  return found;
}

void MarkEntries(int32_t target) {
  for (uint32_t i = 0; i < PreloadCount; ++i) {
    PreloadEntry& entry = PreloadList[i];
    if (IsStandardLayoutKey(entry.layout) || IsStandardLayoutKey(entry.substitute)) {
      entry.standard = true;
    } else if (!entry.canonical) {
      entry.number = IrregularNumber;
    }
  }
  // The removed layout led the list: the standard layouts move to the front.
  if (PreloadList[target].number == 1) {
    int32_t next = 1;
    for (uint32_t i = 0; i < PreloadCount; ++i) {
      if (PreloadList[i].standard) PreloadList[i].number = next++;
    }
  }
}

// Hands out the new positions in number order and the substitute ids that go with them. At most
// PreloadCount - 1 (99) entries are carried over, so the new lists never fill up; the bounds are
// checked all the same. The id serial stays below 100, so "d%03lx0407" always has 8 characters.
bool CarryOver(const Positions& at) {
  // The entry that inherits the standard layout's name when every entry is substituted.
  int32_t holder = at.standard;
  if (at.target == at.standard && at.firstPlain == -1) holder = at.target > 0 ? at.target - 1 : 1;
  uint32_t carried = 0;
  DWORD serial = 1;
  for (int32_t number = 0; number <= LastNumber; ++number) {
    for (uint32_t i = 0; i < PreloadCount; ++i) {
      PreloadEntry& entry = PreloadList[i];
      if ((int32_t)i == at.target || entry.number != number) continue;
      if (carried >= CountOf(NewPreloadList)) return false;
      entry.newPosition = (int32_t)++carried;
      if (entry.substitute == nullptr) {
        entry.newLayout = entry.layout;
        continue;
      }
      const char* id;
      if ((int32_t)i == holder && at.firstPlain == -1) {
        id = PreloadList[at.standard].layout;
      } else {
        char text[16];
        FormatInto(text, sizeof text, "d%03lx0407", serial++);
        id = HeapText(text);
        if (id == nullptr) return false;
      }
      if (NewSubstituteCount >= CountOf(NewSubstituteList)) return false;
      NewSubstituteList[NewSubstituteCount++] = SubstituteEntry{id, entry.substitute};
      entry.newLayout = id;
    }
  }
  newpreloadcount = carried;
  return true;
}

// The plain entries first, then the substituted ones; each group in order of the new position.
bool BuildNewPreloadList() {
  uint32_t count = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (uint32_t position = 1; position <= newpreloadcount; ++position) {
      for (uint32_t i = 0; i < PreloadCount; ++i) {
        const PreloadEntry& entry = PreloadList[i];
        if (entry.newPosition != (int32_t)position || (entry.substitute != nullptr) != (pass == 1)) {
          continue;
        }
        char name[16];
        FormatInto(name, sizeof name, "%d", entry.newPosition);
        if (count >= CountOf(NewPreloadList)) return false;
        NewPreloadList[count].name = HeapText(name);
        NewPreloadList[count].layout = entry.newLayout;
        if (NewPreloadList[count].name == nullptr) return false;
        ++count;
      }
    }
  }
  return true;
}

// False when the old Preload key could not be deleted: its values are still there.
bool WritePreload(HKEY layouts) {
  if (!RegistryDeleteTree(layouts, "Preload")) {
    SetLayoutError(DeleteFailedText, KeyboardLayoutPath, "Preload");
    return false;
  }
  HKEY preload = RegistryCreateKey(layouts, "Preload");
  if (preload == nullptr) {
    SetLayoutError(RecreateFailedText, KeyboardLayoutPath, "Preload");
    return true;
  }
  for (uint32_t i = 0; i < newpreloadcount; ++i) {
    if (!RegistrySetString(preload, NewPreloadList[i].name, NewPreloadList[i].layout)) {
      SetLayoutError(WriteFailedText, KeyboardLayoutPath, "Preload", NewPreloadList[i].name);
    }
  }
  RegCloseKey(preload);
  return true;
}

void WriteSubstitutes(HKEY layouts) {
  if (!RegistryDeleteTree(layouts, "Substitutes")) {
    SetLayoutError(DeleteFailedText, KeyboardLayoutPath, "Substitutes");
    return;
  }
  HKEY substitutes = RegistryCreateKey(layouts, "Substitutes");
  if (substitutes == nullptr) {
    SetLayoutError(RecreateFailedText, KeyboardLayoutPath, "Substitutes");
    return;
  }
  // Substitutes of standard layout keys first.
  for (int pass = 0; pass < 2; ++pass) {
    for (uint32_t i = 0; i < NewSubstituteCount; ++i) {
      const SubstituteEntry& entry = NewSubstituteList[i];
      if (IsStandardLayoutKey(entry.name) != (pass == 0)) continue;
      if (!RegistrySetString(substitutes, entry.name, entry.layout)) {
        SetLayoutError(WriteFailedText, KeyboardLayoutPath, "Substitutes", entry.name);
      }
    }
  }
  RegCloseKey(substitutes);
}

}  // namespace

bool RemoveTargetFromPreload() {
  if (TargetIndex == -1) {
    SetLayoutError("Schlüssel nicht vorhanden");
    return false;
  }
  if (IsStandardLayoutKey(TargetLayoutKey)) {
    SetLayoutError("Standard-Layout kann nicht entfernt werden");
    return false;
  }
  Positions at = FindPositions();
  if (at.target == -1) {
    TargetNotInPreload = true;
    return true;
  }
  MarkEntries(at.target);
  if (!CarryOver(at) || !BuildNewPreloadList()) {
    // Only when memory is short: nothing is to be written.
    SetLayoutError("INTERNER FEHLER: die neue Liste der Tastaturbelegungen kann nicht gebildet werden!");
    newpreloadcount = 0;
    NewSubstituteCount = 0;
    return false;
  }
  return true;
}

bool WriteLayoutLists() {
  if (TargetNotInPreload) return true;
  if (newpreloadcount == 0) {
    SetLayoutError("INTERNER FEHLER: newpreloadcount ist 0!");
    return false;
  }
  LayoutErrorText[0] = 0;
  // Preload and Substitutes are created again below this handle, which needs the right to
  // create subkeys: a read-only handle would leave the user without both lists.
  HKEY layouts = RegistryOpenKeyAllAccess(HKEY_CURRENT_USER, KeyboardLayoutPath);
  if (layouts == nullptr) {
    SetLayoutError("Warnung:\nFehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\%s",
                   KeyboardLayoutPath);
    return false;
  }
  // Substitutes is rewritten also when Preload could not be created again or written. But when
  // the old Preload could not even be deleted, its entries still name the old substitute ids,
  // and new Substitutes would tie them to other layouts: then Substitutes stays as it is.
  if (WritePreload(layouts)) WriteSubstitutes(layouts);
  RegCloseKey(layouts);
  return LayoutErrorText[0] == 0;
}
