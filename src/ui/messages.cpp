// Message texts and message boxes: the one formatter of the program, the text of the last
// system error, and the four kinds of box, all owned by the status window once it exists.
//
// Texts that do not fit their buffer are cut at the buffer's end and stay terminated; nothing
// is ever written past a buffer. The program's own texts stay far below every size here:
// - FormatText: a copied format (no %, or the fallback for an empty result) is cut at destSize;
//   a formatted result is cut at the platform's 1024 bytes and then, if smaller, at destSize.
// - ErrorText: a system message longer than what remains after the code line is cut.
// - MessageText: the line-break expansion stops before the first byte or CR LF pair that would
//   not fit with the terminator; a pair is never split.
#include <string.h>

#include "app/app.h"
#include "ui/ui.h"

char ErrorText[2048] = "";
char MessageText[32000] = "";

namespace {

const char MissingFormatText[] = "<INTERNER FEHLER: Formatstring fehlt>";

// wvsprintfA writes at most this many bytes, terminator included.
const size_t PlatformFormatLimit = 1024;

// Copies text into dest, cut at the end of dest; returns the number of characters stored.
int CopyBounded(char* dest, size_t destSize, const char* text) {
  size_t length = strlen(text);
  if (length >= destSize) length = destSize - 1;
  memcpy(dest, text, length);
  dest[length] = 0;
  return (int)length;
}

int ShowFormatted(const char* caption, UINT style, const char* format, va_list args) {
  char formatted[5500];
  FormatText(formatted, sizeof formatted, format, args);
  ControlCharsToLineBreaks(MessageText, sizeof MessageText, formatted);
  return ShowMessageBox(MessageText, caption, style);
}

}  // namespace

int FormatText(char* dest, size_t destSize, const char* format, va_list args) {
  if (dest == nullptr || destSize == 0) return 0;
  if (format == nullptr) return CopyBounded(dest, destSize, MissingFormatText);
  if (strchr(format, '%') == nullptr) return CopyBounded(dest, destSize, format);

  // wvsprintfA knows no destination size; it gets a buffer of its own full limit, so that a
  // smaller destination is never overrun.
  char formatted[PlatformFormatLimit];
  // Its count is not used: for a cut result it is one more than the characters stored (Wine).
  wvsprintfA(formatted, format, args);
  formatted[sizeof formatted - 1] = 0;
  if (formatted[0] == 0) return CopyBounded(dest, destSize, format);
  return CopyBounded(dest, destSize, formatted);
}

WORD LastErrorText() {
  DWORD code = GetLastError();
  char* systemText = nullptr;
  DWORD systemLength =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&systemText, 0, nullptr);

  LONG signedCode = (LONG)code;
  size_t length;
  if (signedCode >= -65534 && signedCode <= 65535)
    length = (size_t)FormatInto(ErrorText, sizeof ErrorText, "Fehlercode %d", (int)signedCode);
  else
    length = (size_t)FormatInto(ErrorText, sizeof ErrorText, "Fehlercode %08lX", code);

  if (systemLength != 0 && systemText != nullptr) {
    length += (size_t)CopyBounded(ErrorText + length, sizeof ErrorText - length, ":\n");
    CopyBounded(ErrorText + length, sizeof ErrorText - length, systemText);
    LocalFree(systemText);
  }
  return (WORD)(code & 0xFFFF);
}

void ControlCharsToLineBreaks(char* dest, size_t destSize, const char* source) {
  if (dest == nullptr || destSize == 0) return;
  size_t used = 0;
  for (const unsigned char* p = (const unsigned char*)source; *p != 0; ++p) {
    bool control = *p <= 0x1F && *p != '\n' && *p != '\r';
    size_t needed = control ? 2 : 1;
    if (used + needed >= destSize) break;  // leaves room for the terminator
    if (control) {
      dest[used++] = '\r';
      dest[used++] = '\n';
    } else {
      dest[used++] = (char)*p;
    }
  }
  dest[used] = 0;
}

int ShowMessageBox(const char* text, const char* caption, UINT style) {
  return MessageBoxA(StatusWindowHandle, text, caption, style);
}

int ShowInfo(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = ShowFormatted(ProgramName, MB_OK | MB_ICONINFORMATION, format, args);
  va_end(args);
  return result;
}

int AskYesNo(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = ShowFormatted(ProgramName, MB_YESNO | MB_ICONQUESTION, format, args);
  va_end(args);
  return result;
}

int ShowWarning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = ShowFormatted(ProgramName, MB_OK | MB_ICONEXCLAMATION, format, args);
  va_end(args);
  return result;
}

int ShowWarningTitled(const char* caption, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = ShowFormatted(caption, MB_OK | MB_ICONEXCLAMATION, format, args);
  va_end(args);
  return result;
}

int FormatInto(char* dest, size_t destSize, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int length = FormatText(dest, destSize, format, args);
  va_end(args);
  return length;
}
