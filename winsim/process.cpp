// winsim: the process itself (command line, module, WOW64, run-time lookups), text conversion,
// and the display resources the program holds (device context, palette, cursors).
#include <string.h>

#include <map>

#include "winsim/internal.h"

namespace winsim {
namespace {

std::u16string CommandLine;
std::string ModuleFileName;
bool Wow64 = false;
bool IsWow64ProcessExported = true;
bool DllDirectoriesExported = true;
uint32_t DllDirectoriesFlags = 0;
Display Screen;
std::vector<PaletteRecord> PaletteList;
std::map<HDC, HPALETTE> SelectedPalette;
int NextDc = 1;
int LiveDcs = 0;
HCURSOR Cursor = nullptr;

const HMODULE Kernel32Module = (HMODULE)(uintptr_t)0x7c800000;
const HMODULE ProgramModule = (HMODULE)(uintptr_t)0x00400000;
const HPALETTE StockPalette = (HPALETTE)(uintptr_t)0x5000;

void ResetProcess() {
  CommandLine = u"\"C:\\Program Files\\R7-Tastatur\\Uninstall_Quillmap.exe\" a0010407";
  ModuleFileName = "C:\\Program Files\\R7-Tastatur\\Uninstall_Quillmap.exe";
  Wow64 = false;
  IsWow64ProcessExported = true;
  DllDirectoriesExported = true;
  DllDirectoriesFlags = 0;
  Screen = Display();
  PaletteList.clear();
  SelectedPalette.clear();
  NextDc = 1;
  LiveDcs = 0;
  Cursor = nullptr;
}
detail::ResetHook Hook(&ResetProcess);

BOOL WINAPI IsWow64ProcessStandIn(HANDLE, PBOOL wow64) {
  detail::Record("IsWow64Process", "");
  *wow64 = Wow64 ? TRUE : FALSE;
  return TRUE;
}

BOOL WINAPI SetDefaultDllDirectoriesStandIn(DWORD flags) {
  detail::Record("SetDefaultDllDirectories", std::to_string(flags));
  DllDirectoriesFlags = flags;
  return TRUE;
}

// Windows-1252 bytes 0x80-0x9F; 0 where the code page has no character.
const char16_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Without WC_NO_BEST_FIT_CHARS the platform maps some characters outside the code page to a
// look-alike; of those only the full-width forms of ASCII (U+FF01-U+FF5E) are modelled here.
// Every other such UTF-16 unit, each half of a surrogate pair included, becomes '?'.
char NarrowFromWide(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return (char)c;
  for (int i = 0; i < 32; ++i) {
    if (Cp1252High[i] != 0 && Cp1252High[i] == c) return (char)(0x80 + i);
  }
  if (c >= 0xFF01 && c <= 0xFF5E) return (char)(c - 0xFF01 + 0x21);
  return '?';
}

}  // namespace

namespace detail {
bool Wow64Process() { return Wow64; }
}  // namespace detail

void SetCommandLine(const std::u16string& commandLine) { CommandLine = commandLine; }
void SetModuleFileName(const std::string& path) { ModuleFileName = path; }
void SetWow64(bool isWow64) { Wow64 = isWow64; }
void SetIsWow64ProcessExported(bool exported) { IsWow64ProcessExported = exported; }
void SetDefaultDllDirectoriesExported(bool exported) { DllDirectoriesExported = exported; }
uint32_t DefaultDllDirectoriesFlags() { return DllDirectoriesFlags; }
void SetDisplay(const Display& display) { Screen = display; }
const std::vector<PaletteRecord>& Palettes() { return PaletteList; }
int LiveDeviceContexts() { return LiveDcs; }
HCURSOR CurrentCursor() { return Cursor; }
HCURSOR SystemCursor(int id) { return (HCURSOR)(uintptr_t)(0x10000 + id); }

}  // namespace winsim

using namespace winsim;

// ---- Process and module -------------------------------------------------------------------------

LPWSTR WINAPI GetCommandLineW(void) { return (LPWSTR)CommandLine.c_str(); }

// Subject: "*". Like the platform, a name that does not fit is cut and terminated, and the
// result is then the buffer size.
DWORD WINAPI GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size) {
  uint32_t error;
  if (detail::Injected("GetModuleFileNameA", "*", &error)) {
    SetLastError(error);
    return 0;
  }
  if (size == 0) return 0;
  size_t length = ModuleFileName.size();
  if (length >= size) {
    memcpy(fileName, ModuleFileName.data(), size - 1);
    fileName[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  memcpy(fileName, ModuleFileName.c_str(), length + 1);
  return (DWORD)length;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  if (moduleName == nullptr) return ProgramModule;
  if (detail::Folded(moduleName) == "kernel32" || detail::Folded(moduleName) == "kernel32.dll")
    return Kernel32Module;
  SetLastError(126);  // module not found
  return nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
  detail::Record("GetProcAddress", detail::HandleText(module) + ", " + procName);
  if (module == Kernel32Module) {
    if (strcmp(procName, "IsWow64Process") == 0 && IsWow64ProcessExported)
      return (FARPROC)(void*)&IsWow64ProcessStandIn;
    if (strcmp(procName, "SetDefaultDllDirectories") == 0 && DllDirectoriesExported)
      return (FARPROC)(void*)&SetDefaultDllDirectoriesStandIn;
  }
  SetLastError(127);  // procedure not found
  return nullptr;
}

HANDLE WINAPI GetCurrentProcess(void) { return (HANDLE)(intptr_t)-1; }

// ---- Text -------------------------------------------------------------------------------------

// CP_ACP is Windows-1252, as on a German system. Characters outside it become '?' or their
// best fit (NarrowFromWide). Composition (WC_COMPOSITECHECK) is not modelled. A result
// that does not fit the given size fails with ERROR_INSUFFICIENT_BUFFER and returns 0.
int WINAPI WideCharToMultiByte(UINT, DWORD, LPCWSTR wideText, int wideLength, LPSTR narrowText,
                               int narrowSize, LPCSTR, PBOOL usedDefaultChar) {
  if (wideText == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length = 0;
  if (wideLength < 0) {
    while (wideText[length] != 0) ++length;
    ++length;  // the terminator is converted too
  } else {
    length = (size_t)wideLength;
  }
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  if (narrowSize == 0) return (int)length;
  if (length > (size_t)narrowSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  for (size_t i = 0; i < length; ++i) {
    narrowText[i] = NarrowFromWide(wideText[i]);
    if (narrowText[i] == '?' && wideText[i] != u'?' && usedDefaultChar) *usedDefaultChar = TRUE;
  }
  return (int)length;
}

// ---- Display resources --------------------------------------------------------------------------

HDC WINAPI CreateDCA(LPCSTR driver, LPCSTR, LPCSTR, const void*) {
  detail::Record("CreateDCA", driver ? driver : "NULL");
  ++LiveDcs;
  return (HDC)(uintptr_t)(0x1000 + NextDc++);
}

BOOL WINAPI DeleteDC(HDC dc) {
  detail::Record("DeleteDC", detail::HandleText(dc));
  if (dc == nullptr) return FALSE;
  --LiveDcs;
  return TRUE;
}

int WINAPI SetMapMode(HDC dc, int mode) {
  detail::Record("SetMapMode", detail::HandleText(dc) + ", " + std::to_string(mode));
  return MM_TEXT;
}

int WINAPI GetDeviceCaps(HDC, int index) {
  switch (index) {
    case HORZRES: return Screen.width;
    case VERTRES: return Screen.height;
    case BITSPIXEL: return Screen.bitsPerPixel;
    case PLANES: return Screen.planes;
    default: return 0;
  }
}

HPALETTE WINAPI CreatePalette(const LOGPALETTE* palette) {
  PaletteRecord record;
  record.version = palette->palVersion;
  record.entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  record.deleted = false;
  PaletteList.push_back(record);
  HPALETTE handle = (HPALETTE)(uintptr_t)(0x2000 + PaletteList.size());
  detail::Record("CreatePalette", detail::HandleText(handle));
  return handle;
}

HPALETTE WINAPI SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground) {
  detail::Record("SelectPalette", detail::HandleText(dc) + ", " + detail::HandleText(palette) +
                                      ", " + std::to_string(forceBackground));
  auto found = SelectedPalette.find(dc);
  HPALETTE previous = found == SelectedPalette.end() ? StockPalette : found->second;
  SelectedPalette[dc] = palette;
  return previous;
}

UINT WINAPI RealizePalette(HDC dc) {
  detail::Record("RealizePalette", detail::HandleText(dc));
  return 0;
}

BOOL WINAPI UpdateColors(HDC dc) {
  detail::Record("UpdateColors", detail::HandleText(dc));
  return TRUE;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
  detail::Record("DeleteObject", detail::HandleText(object));
  uintptr_t id = (uintptr_t)object;
  if (id > 0x2000 && id <= 0x2000 + PaletteList.size()) PaletteList[id - 0x2001].deleted = true;
  return object != nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  uintptr_t id = (uintptr_t)name;
  detail::Record("LoadCursorA", detail::HandleText(instance) + ", " + std::to_string(id));
  if (instance != nullptr || id > 0xFFFF) return nullptr;
  return SystemCursor((int)id);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
  detail::Record("SetCursor", detail::HandleText(cursor));
  HCURSOR previous = Cursor;
  Cursor = cursor;
  return previous;
}

// The wait is recorded, not slept: tests run at full speed.
void WINAPI Sleep(DWORD milliseconds) { detail::Record("Sleep", std::to_string(milliseconds)); }
