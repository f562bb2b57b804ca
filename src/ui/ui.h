// What the user sees: message texts and the four kinds of message box, and the status window
// with its one line of text.
#pragma once

#include <stdarg.h>
#include <stddef.h>

#include "win32.h"

extern char ErrorText[2048];     // the last system error as text, built by LastErrorText
extern char MessageText[32000];  // the text of the last box shown
extern char StatusLine[501];     // the status window's current line

// Formats into dest (destSize bytes, always terminated) with the conversion %s; see ui/messages.cpp.
// A text that does not fit is cut at the end of dest; the result is the number of characters
// stored.
int FormatText(char* dest, size_t destSize, const char* format, va_list args);
// FormatText with the values given directly.
int FormatInto(char* dest, size_t destSize, const char* format, ...);
// Turns the thread's last error into ErrorText; call it right after the failing call.
WORD LastErrorText();
// Copies source to dest (destSize bytes), each control character but CR and LF becoming CR LF.
// What does not fit is left out, never half of a CR LF pair; dest is always terminated.
void ControlCharsToLineBreaks(char* dest, size_t destSize, const char* source);

int ShowMessageBox(const char* text, const char* caption, UINT style);
int ShowInfo(const char* format, ...);
int AskYesNo(const char* format, ...);  // IDYES (6) or IDNO (7); 0 when no box could be shown
int ShowWarning(const char* format, ...);
int ShowWarningTitled(const char* caption, const char* format, ...);

bool CreateStatusWindow();
LRESULT CALLBACK StatusWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sets the status line, repaints the window at once and shows the wait cursor.
void SetStatusText(const char* format, ...);
