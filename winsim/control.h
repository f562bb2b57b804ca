// Test control of winsim: how a test sets up the stand-in platform and inspects what the
// program did to it. Everything here is host-only and never seen by the program.
//
// Every test starts from winsim::Reset(): an empty registry and file system, no windows, no
// recorded calls, no injected failures, and the defaults of each area below.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "winsim/winsim.h"

namespace winsim {

// Back to the defaults of every area.
void Reset();

// ---- Call record -------------------------------------------------------------------------------
// Each stand-in call that the program's behaviour is judged by appends one line
// "Name(arguments)" to the record, in call order, e.g. "SelectPalette(dc1, pal1, 1)".
const std::vector<std::string>& Calls();
std::vector<std::string> CallsNamed(const std::string& function);  // only lines of that function
void ClearCalls();

// ---- Failure injection -------------------------------------------------------------------------
// After `skip` matching calls have gone through, the next `times` calls of `function` whose
// subject matches `subject` fail with `error` (times < 0: every such call). The subject of
// each function is documented with its area (for registry calls the full key path, for file
// calls the path, ...); "*" matches any subject.
void FailCall(const std::string& function, const std::string& subject, uint32_t error,
              int times = -1, int skip = 0);

// ---- Heap -------------------------------------------------------------------------------------
// Blocks from HeapAlloc live until Reset(), like the process heap until the process ends.
// FailCall("HeapAlloc", "<size in bytes>", 0) makes such allocations return null.
size_t LiveHeapBlocks();

// ---- Process and module ------------------------------------------------------------------------
void SetCommandLine(const std::u16string& commandLine);  // what GetCommandLineW returns
void SetModuleFileName(const std::string& path);         // what GetModuleFileNameA returns
// 64-bit Windows running this 32-bit process (IsWow64Process answers true), and whether
// kernel32 exports IsWow64Process at all (absent on very old systems).
void SetWow64(bool isWow64);
void SetIsWow64ProcessExported(bool exported);
// Whether kernel32 exports SetDefaultDllDirectories (absent on Windows 7 without KB2533623).
void SetDefaultDllDirectoriesExported(bool exported);
uint32_t DefaultDllDirectoriesFlags();  // what the program passed; 0 when never called

// ---- Display -----------------------------------------------------------------------------------
struct Display {
  int width = 1920;
  int height = 1080;
  int bitsPerPixel = 32;
  int planes = 1;
};
void SetDisplay(const Display& display);
// The palettes that CreatePalette received, in order, as (red, green, blue, flags) entries.
struct PaletteRecord {
  uint16_t version;
  std::vector<PALETTEENTRY> entries;
  bool deleted;
};
const std::vector<PaletteRecord>& Palettes();
// Handles created and not yet released.
int LiveDeviceContexts();
// The cursor most recently set with SetCursor, and the system cursors by id.
HCURSOR CurrentCursor();
HCURSOR SystemCursor(int id);

}  // namespace winsim

// Each area adds its own controls.
#include "winsim/control_files.h"
#include "winsim/control_registry.h"
#include "winsim/control_windows.h"
