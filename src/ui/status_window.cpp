// The status window: one white, centred top-level window with one line of text that says what
// the uninstaller is doing. The program runs no message loop, so every status change repaints
// the window at once; the message boxes' own loops keep it painted while they are open.
//
// A status text longer than StatusLine's 500 characters is cut there (FormatText's bound).
#include "app/app.h"
#include "ui/ui.h"

char StatusLine[501] = "";

namespace {

const DWORD StatusWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

void RegisterStatusWindowClass() {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = StatusWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = AppInstance;
  windowClass.hIcon = LoadIconA(AppInstance, "aaProgramIcon");
  if (windowClass.hIcon == nullptr) windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = nullptr;  // the window procedure sets the cursor itself
  windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = ProgramName;
  windowClass.hIconSm = LoadIconA(AppInstance, "aaProgramSmallIcon");
  if (windowClass.hIconSm == nullptr) windowClass.hIconSm = windowClass.hIcon;
  RegisterClassExA(&windowClass);
}

// The background is white already: the default handling of WM_ERASEBKGND paints the class
// brush whenever the window was invalidated with erasing.
void OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SetBkMode(dc, TRANSPARENT);
  RECT client;
  GetClientRect(window, &client);
  DrawTextA(dc, StatusLine, -1, &client, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  EndPaint(window, &paint);
}

// Maps the program's palette into the system palette in the foreground and has the window
// repainted with it.
void RealizeAppPalette(HWND window, bool updateColors) {
  HDC dc = GetDC(window);
  SelectPalette(dc, AppPalette, FALSE);
  RealizePalette(dc);
  if (updateColors) UpdateColors(dc);
  InvalidateRect(window, nullptr, TRUE);
  ReleaseDC(window, dc);
}

LRESULT OnQueryNewPalette(HWND window) {
  if (!UsePalette || AppPalette == nullptr) return 0;
  RealizeAppPalette(window, false);
  return 1;
}

// wParam is the window that changed the system palette; a change of our own making needs no
// second realization.
LRESULT OnPaletteChanged(HWND window, WPARAM wParam, LPARAM lParam) {
  if (UsePalette && AppPalette != nullptr && (HWND)wParam != window)
    RealizeAppPalette(window, true);
  return DefWindowProcA(window, WM_PALETTECHANGED, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK StatusWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      ShutdownApp();
      return 0;
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_MOUSEMOVE:
      SetCursor(CurrentCursor);
      return 0;
    case WM_QUERYNEWPALETTE:
      return OnQueryNewPalette(window);
    case WM_PALETTECHANGED:
      return OnPaletteChanged(window, wParam, lParam);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool CreateStatusWindow() {
  RegisterStatusWindowClass();
  int width = ScreenWidth / 4;
  int height = ScreenHeight / 6;
  int x = (ScreenWidth - width) / 2;
  int y = (ScreenHeight - height) / 2;
  StatusWindowHandle = CreateWindowExA(0, ProgramName, WindowTitle, StatusWindowStyle, x, y, width,
                                       height, nullptr, nullptr, AppInstance, nullptr);
  if (StatusWindowHandle != nullptr) {
    ShowWindow(StatusWindowHandle, ShowCommand);
    UpdateWindow(StatusWindowHandle);  // painted before the uninstall starts
  }
  return true;
}

void SetStatusText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatText(StatusLine, sizeof StatusLine, format, args);
  va_end(args);
  if (StatusWindowHandle != nullptr) {
    // No message loop runs while the program works: paint now, not when a WM_PAINT comes.
    InvalidateRect(StatusWindowHandle, nullptr, TRUE);
    UpdateWindow(StatusWindowHandle);
  }
  CurrentCursor = BusyCursor;
  SetCursor(BusyCursor);
}
