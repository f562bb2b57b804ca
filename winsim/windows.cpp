// winsim: window classes, windows and their messages, painting, icons and message boxes.
// The window manager is synchronous: a message "sent" here is a direct call of the window
// procedure, logged with the window. See winsim/control_windows.h for what the tests see.
#include <string.h>

#include <deque>
#include <map>

#include "winsim/internal.h"

namespace winsim {
namespace {

struct WindowState {
  WNDPROC procedure;
  size_t classIndex;
  int clientWidth;
  int clientHeight;
};

struct DeviceContext {
  HWND window;
  bool fromGetDC;  // false: a paint context of BeginPaint
};

std::vector<ClassRecord> Classes;
std::vector<WindowRecord> WindowList;
std::vector<WindowState> WindowStates;  // parallel to WindowList
std::vector<DrawnText> Drawn;
std::vector<Erasure> ErasureList;
std::map<HDC, DeviceContext> WindowDcs;
std::map<HDC, int> BackgroundModes;
std::vector<std::string> IconNames;
std::vector<MessageBoxRecord> Boxes;
std::deque<int> Answers;
uintptr_t NextWindowDc = 1;

void ResetWindows() {
  Classes.clear();
  WindowList.clear();
  WindowStates.clear();
  Drawn.clear();
  ErasureList.clear();
  WindowDcs.clear();
  BackgroundModes.clear();
  IconNames = {"aaProgramIcon"};
  Boxes.clear();
  Answers.clear();
  NextWindowDc = 1;
}
detail::ResetHook Hook(&ResetWindows);

HWND HandleOf(size_t index) { return (HWND)(uintptr_t)(0x30000 + 2 * (index + 1)); }

// Index of a live or destroyed window; -1 for anything else.
long IndexOf(HWND window) {
  uintptr_t value = (uintptr_t)window;
  if (value < 0x30002 || (value & 1) != 0) return -1;
  size_t index = (value - 0x30000) / 2 - 1;
  return index < WindowList.size() ? (long)index : -1;
}

long LiveIndexOf(HWND window) {
  long index = IndexOf(window);
  return index >= 0 && !WindowList[(size_t)index].destroyed ? index : -1;
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  snprintf(text, sizeof text, "0x%0*X", digits, (unsigned)value);
  return text;
}

LRESULT Send(size_t index, UINT message, WPARAM wParam, LPARAM lParam) {
  if (WindowList[index].destroyed) return 0;
  WindowList[index].messages.push_back(MessageRecord{message, wParam, lParam, 0});
  size_t logged = WindowList[index].messages.size() - 1;
  // The procedure may create windows or send messages itself: look the records up again.
  LRESULT result = WindowStates[index].procedure(HandleOf(index), message, wParam, lParam);
  WindowList[index].messages[logged].result = result;
  return result;
}

RECT ClientRect(size_t index) {
  return RECT{0, 0, WindowStates[index].clientWidth, WindowStates[index].clientHeight};
}

void SetSize(size_t index, int width, int height) {
  WindowList[index].width = width;
  WindowList[index].height = height;
  DWORD framed = WS_CAPTION | WS_THICKFRAME;
  bool hasFrame = (WindowList[index].style & framed) == framed;
  int clientWidth = hasFrame ? width - 8 : width;
  int clientHeight = hasFrame ? height - 27 : height;
  WindowStates[index].clientWidth = clientWidth > 0 ? clientWidth : 0;
  WindowStates[index].clientHeight = clientHeight > 0 ? clientHeight : 0;
}

void Destroy(size_t index) {
  if (WindowList[index].destroyed) return;
  Send(index, WM_DESTROY, 0, 0);
  Send(index, WM_NCDESTROY, 0, 0);
  WindowList[index].destroyed = true;
  WindowList[index].visible = false;
}

// The background is erased at once, outside of any WM_PAINT, when a window is shown or resized.
// A procedure that leaves it (result 0) gets fErase in its next BeginPaint.
void EraseNow(size_t index) {
  if (!WindowList[index].erasePending) return;
  HDC dc = (HDC)(uintptr_t)(0x40000 + NextWindowDc++);
  WindowDcs[dc] = DeviceContext{HandleOf(index), true};
  WindowList[index].erasePending = Send(index, WM_ERASEBKGND, (WPARAM)dc, 0) == 0;
  WindowDcs.erase(dc);
  BackgroundModes.erase(dc);
}

// What the modal loop of a message box does for the windows behind it.
void PaintInvalidWindows() {
  for (size_t index = 0; index < WindowList.size(); ++index) {
    const WindowRecord& window = WindowList[index];
    if (!window.destroyed && window.visible && window.invalid) Send(index, WM_PAINT, 0, 0);
  }
}

int DefaultAnswer(UINT style) {
  UINT buttons = style & MB_TYPEMASK;
  UINT defaultButton = style & MB_DEFMASK;
  switch (buttons) {
    case MB_OKCANCEL: return defaultButton == MB_DEFBUTTON2 ? IDCANCEL : IDOK;
    case MB_YESNO: return defaultButton == MB_DEFBUTTON2 ? IDNO : IDYES;
    case MB_YESNOCANCEL:
      if (defaultButton == MB_DEFBUTTON2) return IDNO;
      return defaultButton == MB_DEFBUTTON3 ? IDCANCEL : IDYES;
    default: return IDOK;
  }
}

long IconIndex(const std::string& name) {
  for (size_t i = 0; i < IconNames.size(); ++i) {
    if (detail::Folded(IconNames[i]) == detail::Folded(name)) return (long)i;
  }
  return -1;
}

}  // namespace

const std::vector<ClassRecord>& RegisteredClasses() { return Classes; }
const std::vector<WindowRecord>& Windows() { return WindowList; }

const WindowRecord* FindWindowRecord(HWND window) {
  long index = IndexOf(window);
  return index < 0 ? nullptr : &WindowList[(size_t)index];
}

LRESULT SendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  long index = LiveIndexOf(window);
  return index < 0 ? 0 : Send((size_t)index, message, wParam, lParam);
}

void ResizeWindow(HWND window, int width, int height) {
  long index = LiveIndexOf(window);
  if (index < 0) return;
  SetSize((size_t)index, width, height);
  WindowRecord& record = WindowList[(size_t)index];
  Send((size_t)index, WM_SIZE, 0,
       (LPARAM)((WindowStates[(size_t)index].clientHeight << 16) |
                (WindowStates[(size_t)index].clientWidth & 0xFFFF)));
  UINT classStyle = Classes[WindowStates[(size_t)index].classIndex].fields.style;
  if (classStyle & (CS_HREDRAW | CS_VREDRAW)) {
    record.invalid = true;
    record.erasePending = true;
    if (record.visible) EraseNow((size_t)index);
  }
}

const std::vector<DrawnText>& DrawnTexts() { return Drawn; }
const std::vector<Erasure>& Erasures() { return ErasureList; }
int LiveWindowDeviceContexts() { return (int)WindowDcs.size(); }

void SetIconResources(const std::vector<std::string>& names) { IconNames = names; }

HICON ResourceIcon(const std::string& name) {
  long index = IconIndex(name);
  return index < 0 ? nullptr : (HICON)(uintptr_t)(0x60000 + 2 * index);
}

HICON SystemIcon(int id) { return (HICON)(uintptr_t)(0x70000 + id); }
HBRUSH StockBrush(int object) { return (HBRUSH)(uintptr_t)(0x8000 + object); }

const std::vector<MessageBoxRecord>& MessageBoxes() { return Boxes; }
void QueueMessageBoxAnswer(int answer) { Answers.push_back(answer); }
size_t PendingMessageBoxAnswers() { return Answers.size(); }

}  // namespace winsim

using namespace winsim;

// ---- Classes and windows ----------------------------------------------------------------------

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
  std::string name = windowClass && windowClass->lpszClassName ? windowClass->lpszClassName : "";
  detail::Record("RegisterClassExA", name);
  uint32_t error;
  if (detail::Injected("RegisterClassExA", name, &error)) {
    SetLastError(error);
    return 0;
  }
  if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) || name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  for (const ClassRecord& known : Classes) {
    if (detail::Folded(known.className) == detail::Folded(name) &&
        known.fields.hInstance == windowClass->hInstance) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);
      return 0;
    }
  }
  ClassRecord record;
  record.fields = *windowClass;
  record.fields.lpszClassName = nullptr;  // the texts are kept in className and menuName
  record.fields.lpszMenuName = nullptr;
  record.className = name;
  if (windowClass->lpszMenuName && !IS_INTRESOURCE(windowClass->lpszMenuName))
    record.menuName = windowClass->lpszMenuName;
  Classes.push_back(record);
  return (ATOM)(0xC000 + Classes.size());
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
  std::string name = className ? className : "";
  detail::Record("CreateWindowExA", name + ", " + (windowName ? windowName : "NULL"));
  uint32_t error;
  if (detail::Injected("CreateWindowExA", name, &error)) {
    SetLastError(error);
    return nullptr;
  }
  size_t classIndex = Classes.size();
  for (size_t i = 0; i < Classes.size(); ++i) {
    if (detail::Folded(Classes[i].className) == detail::Folded(name)) classIndex = i;
  }
  if (classIndex == Classes.size()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return nullptr;
  }
  if (parent != nullptr && LiveIndexOf(parent) < 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  WindowRecord record;
  record.handle = HandleOf(WindowList.size());
  record.exStyle = exStyle;
  record.className = Classes[classIndex].className;
  record.title = windowName ? windowName : "";
  record.style = style;
  record.x = x;
  record.y = y;
  record.parent = parent;
  record.menu = menu;
  record.instance = instance;
  record.param = param;
  record.visible = (style & WS_VISIBLE) != 0;
  record.invalid = true;
  record.erasePending = true;
  record.destroyed = false;
  record.lastShowCommand = -1;
  WindowList.push_back(record);
  WindowStates.push_back(WindowState{Classes[classIndex].fields.lpfnWndProc, classIndex, 0, 0});
  size_t index = WindowList.size() - 1;
  SetSize(index, width, height);
  // No CREATESTRUCT is passed: lParam is 0. A procedure that refuses creation ends it.
  if (Send(index, WM_NCCREATE, 0, 0) == 0 || Send(index, WM_CREATE, 0, 0) == -1) {
    Destroy(index);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return HandleOf(index);
}

BOOL WINAPI ShowWindow(HWND window, int command) {
  detail::Record("ShowWindow", detail::HandleText(window) + ", " + std::to_string(command));
  long index = LiveIndexOf(window);
  if (index < 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  WindowRecord& record = WindowList[(size_t)index];
  bool wasVisible = record.visible;
  record.visible = command != SW_HIDE;
  record.lastShowCommand = command;
  if (!wasVisible && record.visible) EraseNow((size_t)index);
  return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND window) {
  detail::Record("UpdateWindow", detail::HandleText(window));
  long index = LiveIndexOf(window);
  if (index < 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const WindowRecord& record = WindowList[(size_t)index];
  if (record.visible && record.invalid) Send((size_t)index, WM_PAINT, 0, 0);
  return TRUE;
}

// A null window invalidates every window, as on the platform.
BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  std::string area = rect ? std::to_string(rect->left) + " " + std::to_string(rect->top) + " " +
                                std::to_string(rect->right) + " " + std::to_string(rect->bottom)
                          : "NULL";
  detail::Record("InvalidateRect",
                 detail::HandleText(window) + ", " + area + ", " + std::to_string(erase));
  if (window == nullptr) {
    for (WindowRecord& record : WindowList) {
      record.invalid = true;
      record.erasePending = record.erasePending || erase;
    }
    return TRUE;
  }
  long index = LiveIndexOf(window);
  if (index < 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  WindowList[(size_t)index].invalid = true;
  if (erase) WindowList[(size_t)index].erasePending = true;
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
  long index = LiveIndexOf(window);
  if (index < 0 || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = ClientRect((size_t)index);
  return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM) {
  detail::Record("DefWindowProcA", detail::HandleText(window) + ", " + Hex(message, 4));
  long index = LiveIndexOf(window);
  if (index < 0) return 0;
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_ERASEBKGND: {
      HBRUSH brush = Classes[WindowStates[(size_t)index].classIndex].fields.hbrBackground;
      if (brush == nullptr || wParam == 0) return 0;
      ErasureList.push_back(Erasure{window, brush, ClientRect((size_t)index)});
      return 1;
    }
    case WM_CLOSE:
      Destroy((size_t)index);
      return 0;
    default:
      return 0;
  }
}

// ---- Painting ------------------------------------------------------------------------------------

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  detail::Record("BeginPaint", detail::HandleText(window));
  long index = LiveIndexOf(window);
  if (index < 0 || paint == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  HDC dc = (HDC)(uintptr_t)(0x40000 + NextWindowDc++);
  WindowDcs[dc] = DeviceContext{window, false};
  memset(paint, 0, sizeof *paint);
  paint->hdc = dc;
  paint->rcPaint = ClientRect((size_t)index);
  WindowRecord& record = WindowList[(size_t)index];
  record.invalid = false;
  if (record.erasePending) {
    record.erasePending = false;
    LRESULT erased = Send((size_t)index, WM_ERASEBKGND, (WPARAM)dc, 0);
    paint->fErase = erased == 0 ? TRUE : FALSE;  // the background is still to be erased
  }
  return dc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
  detail::Record("EndPaint", detail::HandleText(window));
  if (paint == nullptr) return FALSE;
  auto found = WindowDcs.find(paint->hdc);
  if (found == WindowDcs.end() || found->second.fromGetDC || found->second.window != window)
    return FALSE;
  WindowDcs.erase(found);
  BackgroundModes.erase(paint->hdc);
  return TRUE;
}

HDC WINAPI GetDC(HWND window) {
  detail::Record("GetDC", detail::HandleText(window));
  if (window != nullptr && LiveIndexOf(window) < 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  HDC dc = (HDC)(uintptr_t)(0x40000 + NextWindowDc++);
  WindowDcs[dc] = DeviceContext{window, true};
  return dc;
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
  detail::Record("ReleaseDC", detail::HandleText(window) + ", " + detail::HandleText(dc));
  auto found = WindowDcs.find(dc);
  if (found == WindowDcs.end() || !found->second.fromGetDC || found->second.window != window)
    return 0;
  WindowDcs.erase(found);
  BackgroundModes.erase(dc);
  return 1;
}

int WINAPI SetBkMode(HDC dc, int mode) {
  detail::Record("SetBkMode", detail::HandleText(dc) + ", " + std::to_string(mode));
  if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto found = BackgroundModes.find(dc);
  int previous = found == BackgroundModes.end() ? OPAQUE : found->second;
  BackgroundModes[dc] = mode;
  return previous;
}

// Returns the height of the one line drawn: 16 pixels in the stand-in's default font.
int WINAPI DrawTextA(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format) {
  detail::Record("DrawTextA", detail::HandleText(dc) + ", " + Hex(format, 2));
  if (dc == nullptr || text == nullptr || rect == nullptr) return 0;
  DrawnText drawn;
  auto found = WindowDcs.find(dc);
  drawn.window = found == WindowDcs.end() ? nullptr : found->second.window;
  drawn.inPaint = found != WindowDcs.end() && !found->second.fromGetDC;
  drawn.text = length < 0 ? std::string(text) : std::string(text, (size_t)length);
  drawn.rect = *rect;
  drawn.format = format;
  auto mode = BackgroundModes.find(dc);
  drawn.backgroundMode = mode == BackgroundModes.end() ? OPAQUE : mode->second;
  Drawn.push_back(drawn);
  return 16;
}

HGDIOBJ WINAPI GetStockObject(int object) {
  return object >= 0 && object <= 4 ? (HGDIOBJ)StockBrush(object) : nullptr;
}

// ---- Icons -------------------------------------------------------------------------------------

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  bool byId = IS_INTRESOURCE(name);
  std::string subject = byId ? std::to_string((uintptr_t)name) : std::string(name);
  detail::Record("LoadIconA", detail::HandleText(instance) + ", " + subject);
  uint32_t error;
  if (detail::Injected("LoadIconA", subject, &error)) {
    SetLastError(error);
    return nullptr;
  }
  if (instance == nullptr) {
    uintptr_t id = (uintptr_t)name;
    if (byId && id >= 32512 && id <= 32518) return SystemIcon((int)id);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  if (instance != GetModuleHandleA(nullptr)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  HICON icon = byId ? nullptr : ResourceIcon(subject);
  if (icon == nullptr) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return icon;
}

// ---- Message boxes -----------------------------------------------------------------------------

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  MessageBoxRecord box;
  box.owner = owner;
  box.text = text ? text : "";
  box.caption = caption ? caption : "Fehler";  // the platform's caption when none is given
  box.style = type;
  box.result = 0;
  detail::Record("MessageBoxA", detail::HandleText(owner) + ", " + box.caption + ", " + Hex(type, 2));
  uint32_t error;
  if (detail::Injected("MessageBoxA", box.caption, &error)) {
    SetLastError(error);
  } else if (owner != nullptr && LiveIndexOf(owner) < 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  } else {
    PaintInvalidWindows();
    if (!Answers.empty()) {
      box.result = Answers.front();
      Answers.pop_front();
    } else {
      box.result = DefaultAnswer(type);
    }
  }
  Boxes.push_back(box);
  return box.result;
}
