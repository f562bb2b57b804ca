// The entry point and the program's frame: display resources, WOW64 detection, the steps of a
// run in their fixed order, and the one-time release of what was set up.
#include <string.h>

#include "app/app.h"
#include "ui/ui.h"

HINSTANCE AppInstance = nullptr;
int ShowCommand = 0;
HWND StatusWindowHandle = nullptr;
HDC DisplayDC = nullptr;
int ScreenWidth = 0;
int ScreenHeight = 0;
bool UsePalette = false;
HPALETTE AppPalette = nullptr;
HPALETTE PreviousPalette = nullptr;
HCURSOR CurrentCursor = nullptr;
HCURSOR BusyCursor = nullptr;
bool IsWow64 = false;
bool ShutdownDone = false;

namespace {

// The program's 256-colour logical palette: the 20 colours the system reserves and a few
// greys and accents at fixed places, the 216-colour cube (levels 0, 51, ..., 255 per component)
// everywhere else. Built at compile time; it lives in the program's read-only data.
struct PaletteTable {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[256];
};

struct Rgb {
  BYTE red, green, blue;
};

constexpr Rgb FixedLow[10] = {{0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                              {0, 0, 128},   {128, 0, 128},   {0, 128, 128},   {192, 192, 192},
                              {192, 220, 192}, {212, 208, 200}};
constexpr Rgb FixedMiddle[15] = {{22, 22, 22},    {28, 28, 28},    {34, 34, 34},
                                 {41, 41, 41},    {85, 85, 85},    {77, 77, 77},
                                 {66, 66, 66},    {57, 57, 57},    {255, 124, 128},
                                 {255, 80, 80},   {214, 0, 147},   {204, 236, 255},
                                 {239, 214, 198}, {231, 231, 214}, {173, 169, 144}};
constexpr Rgb FixedHigh[23] = {{165, 0, 33},    {95, 95, 95},    {119, 119, 119},
                               {134, 134, 134}, {150, 150, 150}, {203, 203, 203},
                               {178, 178, 178}, {215, 215, 215}, {221, 221, 221},
                               {227, 227, 227}, {234, 234, 234}, {241, 241, 241},
                               {248, 248, 248}, {255, 251, 240}, {29, 54, 82},
                               {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
                               {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                               {0, 255, 255},   {255, 255, 255}};

// The eight cube corners already stand at positions 0 and 249-255.
constexpr bool IsCubeCorner(int red, int green, int blue) {
  return (red == 0 || red == 255) && (green == 0 || green == 255) && (blue == 0 || blue == 255);
}

constexpr PaletteTable MakePaletteTable() {
  PaletteTable table{0x300, 256, {}};
  int position = 0;
  auto put = [&table](int at, int red, int green, int blue) {
    table.palPalEntry[at] = PALETTEENTRY{(BYTE)red, (BYTE)green, (BYTE)blue, 0};
  };
  for (const Rgb& c : FixedLow) put(position++, c.red, c.green, c.blue);
  int cubeSlot = 10;  // cube colours go to 10-13, then 29-232
  for (int red = 0; red <= 255; red += 51) {
    for (int green = 0; green <= 255; green += 51) {
      for (int blue = 0; blue <= 255; blue += 51) {
        if (IsCubeCorner(red, green, blue)) continue;
        put(cubeSlot, red, green, blue);
        cubeSlot = cubeSlot == 13 ? 29 : cubeSlot + 1;
      }
    }
  }
  position = 14;
  for (const Rgb& c : FixedMiddle) put(position++, c.red, c.green, c.blue);
  position = 233;
  for (const Rgb& c : FixedHigh) put(position++, c.red, c.green, c.blue);
  return table;
}

constexpr PaletteTable AppPaletteTable = MakePaletteTable();

typedef BOOL(WINAPI* IsWow64ProcessFunction)(HANDLE process, PBOOL wow64);
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD directoryFlags);

// The program runs elevated from TEMP, where other files may lie beside it: before anything
// can load a library, limit the search to the system directory. Looked up at run time because
// Windows 7 without its 2011 loader update lacks the function; there the default order stays.
void RestrictLibrarySearch() {
  FARPROC function = GetProcAddress(GetModuleHandleA("kernel32"), "SetDefaultDllDirectories");
  if (function == nullptr) return;
  reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(function))(
      LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void PrepareDisplay() {
  CurrentCursor = LoadCursorA(nullptr, IDC_APPSTARTING);
  BusyCursor = LoadCursorA(nullptr, IDC_WAIT);
  DisplayDC = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  SetMapMode(DisplayDC, MM_TEXT);
  ScreenWidth = GetDeviceCaps(DisplayDC, HORZRES);
  ScreenHeight = GetDeviceCaps(DisplayDC, VERTRES);
  int colourDepth = GetDeviceCaps(DisplayDC, PLANES) * GetDeviceCaps(DisplayDC, BITSPIXEL);
  UsePalette = colourDepth <= 8;
  if (UsePalette) {
    AppPalette = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&AppPaletteTable));
    PreviousPalette = SelectPalette(DisplayDC, AppPalette, TRUE);
    RealizePalette(DisplayDC);
  }
}

}  // namespace

bool DetectWow64() {
  FARPROC function = GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process");
  if (function == nullptr) return false;
  BOOL wow64 = FALSE;
  reinterpret_cast<IsWow64ProcessFunction>(reinterpret_cast<void*>(function))(GetCurrentProcess(),
                                                                             &wow64);
  return wow64 != FALSE;
}

void ShutdownApp() {
  if (ShutdownDone) return;
  ShutdownDone = true;
  if (UsePalette) {
    if (PreviousPalette != nullptr) {
      SelectPalette(DisplayDC, PreviousPalette, TRUE);
      RealizePalette(DisplayDC);
      PreviousPalette = nullptr;
    }
    if (AppPalette != nullptr) {
      DeleteObject(AppPalette);
      AppPalette = nullptr;
    }
  }
  DeleteDC(DisplayDC);
  DisplayDC = nullptr;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  RestrictLibrarySearch();
  StatusWindowHandle = nullptr;
  SetLastError(ERROR_SUCCESS);
  PrepareDisplay();
  IsWow64 = DetectWow64();
  AppInstance = instance;
  ShowCommand = showCommand;
  InitEnvironment();
  if (CheckStartAndRelocate()) {
    // Goes on without a window when it cannot be created: the boxes then have no owner.
    CreateStatusWindow();
    RunUninstall();
  }
  ShutdownApp();
  return 0;
}
