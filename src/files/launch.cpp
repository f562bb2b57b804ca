// Starting another program: the copy in TEMP, with the layout key as its one argument.
#include <string.h>

#include "files/files.h"
#include "ui/ui.h"

// The new process inherits this one's working directory and environment, and is not waited
// for; its handles are closed at once. A command line that would not fit its buffer starts
// nothing, rather than a program with cut parameters, and is reported like a failed start.
bool LaunchProgram(const char* program, const char* parameters) {
  char commandLine[32768];
  memset(commandLine, 0, sizeof commandLine);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof process);

  SetStatusText("Aufruf von %s ...", parameters);
  bool fits = AppendText(commandLine, sizeof commandLine, "\"") &&
              AppendText(commandLine, sizeof commandLine, program) &&
              AppendText(commandLine, sizeof commandLine, "\" ") &&
              AppendText(commandLine, sizeof commandLine, parameters);
  bool started = false;
  if (fits) {
    started = CreateProcessA(program, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &startup, &process) != FALSE;
  } else {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
  }
  if (!started) {
    LastErrorText();
    ShowWarning("Folgender Programmstart konnte nicht durchgeführt werden:\nDatei: %s\nAusführen in: %s\nParameter: %s\n\n%s",
                program, "<NULL>", parameters, ErrorText);
    return false;
  }
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return true;
}
