// winsim core: the call record, failure injection, resets, the last-error code and the heap.
#include <stdlib.h>
#include <string.h>

#include <set>
#include <vector>

#include "winsim/internal.h"

namespace winsim {
namespace {

struct Failure {
  std::string function;
  std::string subject;
  uint32_t error;
  int remaining;  // < 0: unlimited
  int skip;       // matching calls still to let through
};

std::vector<std::string>& CallRecord() {
  static std::vector<std::string> calls;
  return calls;
}

std::vector<Failure>& Failures() {
  static std::vector<Failure> failures;
  return failures;
}

std::vector<void (*)()>& ResetHooks() {
  static std::vector<void (*)()> hooks;
  return hooks;
}

std::set<void*>& HeapBlocks() {
  static std::set<void*> blocks;
  return blocks;
}

DWORD LastError = 0;

}  // namespace

namespace detail {

void Record(const std::string& function, const std::string& arguments) {
  CallRecord().push_back(function + "(" + arguments + ")");
}

bool Injected(const std::string& function, const std::string& subject, uint32_t* error) {
  for (Failure& failure : Failures()) {
    if (failure.function != function || failure.remaining == 0) continue;
    if (failure.subject != "*" && Folded(failure.subject) != Folded(subject)) continue;
    if (failure.skip > 0) {
      --failure.skip;
      continue;
    }
    if (failure.remaining > 0) --failure.remaining;
    *error = failure.error;
    return true;
  }
  return false;
}

ResetHook::ResetHook(void (*reset)()) { ResetHooks().push_back(reset); }

std::string HandleText(const void* handle) {
  char text[32];
  snprintf(text, sizeof text, "0x%lx", (unsigned long)(uintptr_t)handle);
  return text;
}

std::string Folded(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
  }
  return folded;
}

}  // namespace detail

void Reset() {
  CallRecord().clear();
  Failures().clear();
  LastError = 0;
  for (void* block : HeapBlocks()) free(block);
  HeapBlocks().clear();
  for (void (*reset)() : ResetHooks()) reset();
}

const std::vector<std::string>& Calls() { return CallRecord(); }

std::vector<std::string> CallsNamed(const std::string& function) {
  std::vector<std::string> lines;
  for (const std::string& line : CallRecord()) {
    if (line.compare(0, function.size() + 1, function + "(") == 0) lines.push_back(line);
  }
  return lines;
}

void ClearCalls() { CallRecord().clear(); }

void FailCall(const std::string& function, const std::string& subject, uint32_t error,
              int times, int skip) {
  Failures().push_back(Failure{function, subject, error, times, skip});
}

size_t LiveHeapBlocks() { return HeapBlocks().size(); }

}  // namespace winsim

// ---- kernel32: last error and heap ------------------------------------------------------------

DWORD WINAPI GetLastError(void) { return winsim::LastError; }

void WINAPI SetLastError(DWORD errorCode) { winsim::LastError = errorCode; }

HANDLE WINAPI GetProcessHeap(void) { return (HANDLE)(uintptr_t)0x7000; }

LPVOID WINAPI HeapAlloc(HANDLE, DWORD flags, size_t bytes) {
  uint32_t error;
  if (winsim::detail::Injected("HeapAlloc", std::to_string(bytes), &error)) return nullptr;
  void* block = (flags & HEAP_ZERO_MEMORY) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
  if (block) winsim::HeapBlocks().insert(block);
  return block;
}

BOOL WINAPI HeapFree(HANDLE, DWORD, LPVOID memory) {
  if (!memory) return TRUE;
  if (winsim::HeapBlocks().erase(memory) == 0) return FALSE;
  free(memory);
  return TRUE;
}
