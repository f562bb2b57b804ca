// The yardstick of the start-up figures: the smallest program of the same toolchain that shows
// one message box. Whatever the uninstaller needs beyond this until its first box is its own.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxA(nullptr, "Minimal", "Minimal", MB_OK | MB_ICONEXCLAMATION);
  return 0;
}
