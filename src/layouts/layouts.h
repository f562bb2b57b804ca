// The keyboard layout configuration: a snapshot of the user's Preload and Substitutes lists
// and of the machine's German layouts, and the rewrite of the user's lists without the layout
// being removed.
#pragma once

#include <stdint.h>

#include "win32.h"

// One value of the user's Preload key. Texts are heap copies that live to the end of the run.
struct PreloadEntry {
  const char* name;        // the value name as read ("1", "2", ...)
  const char* layout;      // the value data: a layout key or a substitute id
  const char* substitute;  // the Substitutes data for `layout`; null when there is none
  int32_t number;          // ParseDecimal(name); changed by the rewrite
  bool canonical;          // "%d" of number equals name
  bool standard;           // layout or substitute is a standard layout key (set by the rewrite)
  int32_t newPosition;     // 1-based place in the new Preload list; 0 when not carried over
  const char* newLayout;   // the data written for it in the new Preload list
};

// One German layout of the machine.
struct InstalledLayout {
  const char* key;         // the subkey name, e.g. "a0010407"
  const char* layoutFile;  // its "Layout File"; null when it has none
};

// One value of the new Substitutes key.
struct SubstituteEntry {
  const char* name;    // the substitute id
  const char* layout;  // the layout that serves it
};

const int MaxPreloadEntries = 100;
const int MaxInstalledLayouts = 100;

extern PreloadEntry PreloadList[MaxPreloadEntries];
extern uint32_t PreloadCount;
extern InstalledLayout LayoutCatalog[MaxInstalledLayouts];
extern uint32_t LayoutCount;
extern int32_t TargetIndex;  // index in LayoutCatalog of TargetLayoutKey; -1 when not installed
extern char LayoutErrorText[1000];

extern PreloadEntry NewPreloadList[MaxPreloadEntries];
extern uint32_t newpreloadcount;
extern SubstituteEntry NewSubstituteList[MaxPreloadEntries];
extern uint32_t NewSubstituteCount;
extern bool TargetNotInPreload;

bool LoadLayoutConfiguration();
bool IsStandardLayoutKey(const char* key);
int32_t ParseDecimal(const char* text);
bool RemoveTargetFromPreload();
bool WriteLayoutLists();

// ---- Shared by the snapshot and the rewrite ----------------------------------------------------
// LayoutErrorText = the formatted message.
void SetLayoutError(const char* format, ...);
// A copy on the process heap that lives to the end of the run; null when memory is short.
const char* HeapText(const char* text);
