// Test control of winsim: windows, painting, message boxes and the system's error texts.
// Included by winsim/control.h.
//
// Fault subjects (winsim::FailCall):
//   MessageBoxA       the caption                  returns 0 with the injected error
//   RegisterClassExA  the class name               returns 0
//   CreateWindowExA   the class name               returns null
//   LoadIconA         the resource name, or the    returns null
//                     decimal id of a system icon
//   FormatMessageA    the message id in decimal    returns 0
//
// The stand-in window manager, as the program meets it (the same as Wine's in the order of
// the messages that matter; see tests/contract/window_paint_test.cpp):
// - CreateWindowExA sends WM_NCCREATE and WM_CREATE (lParam 0: no CREATESTRUCT). A new window
//   is invalid as a whole, with its background to erase.
// - ShowWindow that makes a window visible erases its background at once (WM_ERASEBKGND) but
//   does not paint it; ResizeWindow does the same for a visible window of a CS_HREDRAW or
//   CS_VREDRAW class. InvalidateRect only marks the window.
// - UpdateWindow sends WM_PAINT to the window procedure at once when the window is visible
//   and invalid; BeginPaint first sends WM_ERASEBKGND when erasing is still pending, and
//   validates the window.
// - DefWindowProcA: WM_ERASEBKGND fills the client area with the class brush (see Erasures)
//   and returns 1 (0 without a brush); WM_NCCREATE returns TRUE; WM_CLOSE destroys the window,
//   which sends WM_DESTROY and WM_NCDESTROY; everything else returns 0.
// - Windows with a caption and a sizing frame have a client area 8 pixels narrower and 27
//   pixels lower than the window, as under Wine; others have a client area of the window's size.
// - MessageBoxA is modal: before it returns, every visible invalid window is painted, as the
//   box's own message loop would do on the platform.
#pragma once

#include "winsim/control.h"

namespace winsim {

// ---- Window classes and windows ----------------------------------------------------------------
struct ClassRecord {
  WNDCLASSEXA fields;     // as registered; fields.lpszClassName and lpszMenuName point into
  std::string className;  // these copies
  std::string menuName;
};
// Every RegisterClassExA call that succeeded, in order.
const std::vector<ClassRecord>& RegisteredClasses();

struct MessageRecord {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result;
};

struct WindowRecord {
  HWND handle;
  DWORD exStyle;
  std::string className;
  std::string title;
  DWORD style;
  int x, y, width, height;
  HWND parent;  // the owner of a top-level window
  HMENU menu;
  HINSTANCE instance;
  LPVOID param;
  bool visible;
  bool invalid;        // has an update region
  bool erasePending;   // the update region's background is still to be erased
  bool destroyed;
  int lastShowCommand;  // -1 before the first ShowWindow
  std::vector<MessageRecord> messages;  // what the window procedure received, in order
};
// Every window created, in order of creation.
const std::vector<WindowRecord>& Windows();
const WindowRecord* FindWindowRecord(HWND window);  // null for an unknown handle

// Calls the window procedure as the system would send a message; the call is logged with the
// window's messages. Returns the procedure's result (0 for an unknown window).
LRESULT SendToWindow(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// The user resizes the window: new size, then the window is invalidated with erasing when its
// class has CS_HREDRAW or CS_VREDRAW. Nothing is painted until something updates it.
void ResizeWindow(HWND window, int width, int height);

// ---- Painting ---------------------------------------------------------------------------------
struct DrawnText {
  HWND window;         // the window of the device context (null for other contexts)
  std::string text;    // the bytes drawn (length -1: up to the terminator)
  RECT rect;
  UINT format;
  int backgroundMode;  // the context's mode when the text was drawn (OPAQUE by default)
  bool inPaint;        // drawn between BeginPaint and EndPaint
};
const std::vector<DrawnText>& DrawnTexts();

struct Erasure {
  HWND window;
  HBRUSH brush;  // the class brush that filled the client area
  RECT rect;
};
const std::vector<Erasure>& Erasures();

// Device contexts taken with GetDC and not given back with ReleaseDC, and paint contexts
// between BeginPaint and EndPaint.
int LiveWindowDeviceContexts();

// ---- Icons -------------------------------------------------------------------------------------
// The icon resources of the program's module (GetModuleHandleA(nullptr)); names match without
// regard to case. Default: "aaProgramIcon" alone.
void SetIconResources(const std::vector<std::string>& names);
HICON ResourceIcon(const std::string& name);  // the handle LoadIconA gives for that resource
HICON SystemIcon(int id);                     // the handle LoadIconA gives for a system icon
HBRUSH StockBrush(int object);                // what GetStockObject gives for a stock brush

// ---- Message boxes -----------------------------------------------------------------------------
struct MessageBoxRecord {
  HWND owner;
  std::string text;  // the exact bytes
  std::string caption;
  UINT style;
  int result;  // what the box returned
};
// Every MessageBoxA call, in order (also those that failed, with result 0).
const std::vector<MessageBoxRecord>& MessageBoxes();

// Answers for the next boxes, first in first out. Without a queued answer a box returns its
// default button, as if the user pressed Enter: IDOK for MB_OK, IDYES for MB_YESNO (IDNO with
// MB_DEFBUTTON2), IDOK for MB_OKCANCEL (IDCANCEL with MB_DEFBUTTON2).
void QueueMessageBoxAnswer(int answer);
size_t PendingMessageBoxAnswers();

// ---- System error texts ------------------------------------------------------------------------
// FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM ...) takes its texts from a small table of the
// German system's messages, each ending in CR LF as on the platform; a code without an entry
// fails with ERROR_MR_MID_NOT_FOUND. A text with an insert (%1, the default table's 193) fails
// with ERROR_INVALID_PARAMETER without FORMAT_MESSAGE_IGNORE_INSERTS, as on the platform.
const char* SystemMessage(DWORD code);  // the table's text, or null
void SetSystemMessage(DWORD code, const std::string& text);  // adds or replaces an entry
void RemoveSystemMessage(DWORD code);
// Buffers that FormatMessageA allocated and LocalFree has not released.
size_t LiveLocalBlocks();

}  // namespace winsim
