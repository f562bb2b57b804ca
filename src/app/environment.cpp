// The process environment: the command line split by the program's own rules, and the
// program's own name, the caption of every box and the status window's class name.
#include <string.h>

#include "app/app.h"

char Args[MaxArgs][ArgSize];
int ArgCount = -1;
char ProgramName[260];

namespace {

const int WideSlotSize = 260;  // UTF-16 units, terminator included

WCHAR WideArgs[MaxArgs][WideSlotSize];
WCHAR WideProgramPath[WideSlotSize];
char ModulePath[260];

// Copies one token, starting at `text`, into `slot`, and returns where scanning goes on.
// A token longer than the slot is cut there while the scan still runs on to the token's end;
// such an argument does not fit its narrow slot either and becomes the empty text.
const WCHAR* CopyToken(const WCHAR* text, WCHAR (&slot)[WideSlotSize]) {
  size_t length = 0;
  auto take = [&](WCHAR c) {
    if (length + 1 < WideSlotSize) slot[length++] = c;
  };
  if (*text == u'"') {
    ++text;
    while (*text != 0 && *text != u'"') take(*text++);
    if (*text == u'"') ++text;
  } else {
    while (*text != 0 && *text != u' ') take(*text++);
  }
  slot[length] = 0;
  return text;
}

void SplitCommandLine(const WCHAR* text) {
  memset(Args, 0, sizeof Args);
  memset(WideArgs, 0, sizeof WideArgs);
  memset(WideProgramPath, 0, sizeof WideProgramPath);
  ArgCount = -1;
  if (text == nullptr) return;
  while (*text != 0 && ArgCount < MaxArgs) {
    text = CopyToken(text, ArgCount == -1 ? WideProgramPath : WideArgs[ArgCount]);
    while (*text == u' ') ++text;
    ++ArgCount;
  }
  for (int i = 0; i < ArgCount; ++i) {
    // 259 bytes including the terminator; a text that does not fit gives 0: the empty text.
    int length = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, WideArgs[i], -1, Args[i],
                                     ArgSize - 1, nullptr, nullptr);
    Args[i][length] = 0;
  }
}

void DeriveProgramName() {
  memset(ModulePath, 0, sizeof ModulePath);
  memset(ProgramName, 0, sizeof ProgramName);
  if (GetModuleFileNameA(AppInstance, ModulePath, sizeof ModulePath) == 0) ModulePath[0] = 0;
  ModulePath[sizeof ModulePath - 1] = 0;
  strncpy(ProgramName, FileNamePart(ModulePath), sizeof ProgramName - 1);
  for (size_t i = strlen(ProgramName); i > 1; --i) {
    if (ProgramName[i - 1] == '.') {
      ProgramName[i - 1] = 0;
      break;
    }
  }
}

}  // namespace

void InitEnvironment() {
  SplitCommandLine(GetCommandLineW());
  DeriveProgramName();
}
