// The uninstaller's core: its entry point and lifetime, the process environment, the start-up
// checks with the self-relocation into TEMP, and the uninstall sequence.
#pragma once

#include <stdint.h>

#include "win32.h"

// ---- Product constants -------------------------------------------------------------------------
extern const char LayoutDisplayName[];   // "Deutsch (R7-Belegung V1.06)"
extern const char DriverBaseName[];      // "Quillmap"
extern const char DriverFileName[];      // "Quillmap.DLL"
extern const char DiagramName[];         // "Tastaturbelegung R7 Schaubild"
extern const char UninstallerFileName[]; // "Uninstall_Quillmap.exe"
extern const char UninstallEntryName[];  // "Tastaturbelegung Deutsch (R7-Belegung V1.06)"
extern const char ProductVersionText[];  // "1.06"

// ---- Lifetime: process-wide state set up by WinMain ------------------------------------------
extern HINSTANCE AppInstance;
extern int ShowCommand;
extern HWND StatusWindowHandle;  // null until the status window exists; owns every message box
extern HDC DisplayDC;
extern int ScreenWidth;
extern int ScreenHeight;
extern bool UsePalette;  // the display has at most 8 bits per pixel
extern HPALETTE AppPalette;
extern HPALETTE PreviousPalette;
extern HCURSOR CurrentCursor;
extern HCURSOR BusyCursor;
extern bool IsWow64;  // a 32-bit process on 64-bit Windows
extern bool ShutdownDone;

// True when this is a 32-bit process running on 64-bit Windows.
bool DetectWow64();
// Releases the display resources; only the first call does anything.
void ShutdownApp();

// ---- Process environment -----------------------------------------------------------------------
const int MaxArgs = 30;
const int ArgSize = 260;
extern char Args[MaxArgs][ArgSize];  // arguments after the program path, Windows-1252
extern int ArgCount;                 // 0..30; -1 when not even a program path was found
extern char ProgramName[260];        // module file name without folder and extension

// Splits the command line into Args/ArgCount and derives ProgramName. Called once.
void InitEnvironment();

// ---- Text helpers shared by the modules ----------------------------------------------------
// Compares up to the terminator, or the first `length` bytes; A-Z and a-z compare equal, no
// other letter is folded (as the platform compares keys and file names in this program).
bool SameIgnoringAsciiCase(const char* a, const char* b, size_t length = (size_t)-1);
// The file name part of a path: what follows its last colon, slash or backslash.
const char* FileNamePart(const char* path);

// ---- Start-up checks and the uninstall ---------------------------------------------------------
extern char TargetLayoutKey[260];  // the eight-character key, set after the start-up checks
extern char WindowTitle[260];      // the status window's title, set in the copy running in TEMP

// Validates the key and makes sure the program runs from TEMP: true to go on with the
// uninstall, false to end (refused, relocated, or the relocation failed).
bool CheckStartAndRelocate();
// The uninstall itself, run in the TEMP copy with the status window open.
void RunUninstall();
