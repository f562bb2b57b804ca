// What the echo helper does when started: it writes the command line it sees, byte for byte,
// into a file named like the program with ".txt" appended. The process contract tests read it.
#pragma once

#include <string>

#include "win32.h"

inline bool WriteEcho(const std::string& program, const std::string& commandLine) {
  std::string echo = program + ".txt";
  HANDLE file = CreateFileA(echo.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, commandLine.data(), (DWORD)commandLine.size(), &written, nullptr);
  CloseHandle(file);
  return ok && written == commandLine.size();
}
