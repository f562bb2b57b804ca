// Times RegistryDeleteTree on a tree of 10,000 keys under HKEY_CURRENT_USER, against the
// platform's own `reg delete /f` (a process, as a person would run it) and RegDeleteTreeA (the
// same work without a process start) on the same tree. One line per round:
//   round N: RegistryDeleteTree X ms, reg delete /f Y ms, RegDeleteTreeA Z ms
#include <windows.h>
#include <stdio.h>

#include "registry/registry.h"

namespace {

const char BenchKey[] = "Software\\QuillmapBench";
const int Children = 100;
const int GrandChildren = 99;  // 100 + 100 * 99 = 10,000 keys below "tree"

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * (double)counter.QuadPart / (double)frequency.QuadPart;
}

bool BuildTree() {
  HKEY tree = RegistryCreateKey(HKEY_CURRENT_USER, "Software\\QuillmapBench\\tree");
  if (tree == nullptr) return false;
  for (int i = 0; i < Children; ++i) {
    char child[32];
    wsprintfA(child, "child%03d", i);
    HKEY childKey = RegistryCreateKey(tree, child);
    if (childKey == nullptr) return false;
    RegistrySetString(childKey, "value", child);
    for (int j = 0; j < GrandChildren; ++j) {
      char name[32];
      wsprintfA(name, "leaf%03d", j);
      HKEY leaf = RegistryCreateKey(childKey, name);
      if (leaf == nullptr) return false;
      RegistrySetString(leaf, "value", name);
      RegCloseKey(leaf);
    }
    RegCloseKey(childKey);
  }
  RegCloseKey(tree);
  return true;
}

bool TreeGone() {
  HKEY key = RegistryOpenKey(HKEY_CURRENT_USER, "Software\\QuillmapBench\\tree");
  if (key == nullptr) return true;
  RegCloseKey(key);
  return false;
}

double TimeRegistryDeleteTree() {
  HKEY parent = RegistryOpenKey(HKEY_CURRENT_USER, BenchKey);
  double start = Now();
  bool deleted = RegistryDeleteTree(parent, "tree");
  double elapsed = Now() - start;
  RegCloseKey(parent);
  return deleted && TreeGone() ? elapsed : -1;
}

double TimeRegDelete() {
  char commandLine[] = "reg.exe delete HKCU\\Software\\QuillmapBench\\tree /f";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  PROCESS_INFORMATION process = {};
  double start = Now();
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  double elapsed = Now() - start;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return TreeGone() ? elapsed : -1;
}

double TimeRegDeleteTreeA() {
  double start = Now();
  LONG status = RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QuillmapBench\\tree");
  double elapsed = Now() - start;
  return status == ERROR_SUCCESS && TreeGone() ? elapsed : -1;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 5;
  int status = 0;
  for (int round = 1; round <= rounds; ++round) {
    double ours = -1, reg = -1, api = -1;
    if (BuildTree()) ours = TimeRegistryDeleteTree();
    if (BuildTree()) reg = TimeRegDelete();
    if (BuildTree()) api = TimeRegDeleteTreeA();
    printf("round %d: RegistryDeleteTree %.1f ms, reg delete /f %.1f ms, RegDeleteTreeA %.1f ms\n", round, ours,
           reg, api);
    fflush(stdout);
    if (ours < 0 || reg < 0 || api < 0) status = 1;
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, BenchKey);
  return status;
}
