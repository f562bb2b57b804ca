// The echo helper, a child program of the process contract tests (Windows only): see echo_args.h.
#include "echo_args.h"

int main() {
  char program[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
  if (length == 0 || length >= sizeof program) return 2;
  return WriteEcho(program, GetCommandLineA()) ? 0 : 1;
}
