// What the areas of winsim share among themselves; never included by the program or tests.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "winsim/control.h"

namespace winsim {
namespace detail {

// Appends "function(arguments)" to the call record.
void Record(const std::string& function, const std::string& arguments);

// True when an injected failure matches this call; *error receives its code. Consumes one use.
bool Injected(const std::string& function, const std::string& subject, uint32_t* error);

// Registers an area's own reset; called by winsim::Reset() in registration order.
struct ResetHook {
  explicit ResetHook(void (*reset)());
};

// "0x1a2b": a handle or pointer for the call record.
std::string HandleText(const void* handle);

// Lower-case ASCII copy (names of keys and files compare without regard to A-Z case).
std::string Folded(const std::string& text);

// True when the process runs as a 32-bit process on 64-bit Windows (winsim::SetWow64).
bool Wow64Process();

// ---- Kernel objects: files, searches, processes and threads share one handle table -------------
enum class ObjectKind { File, Search, Process, Thread };
struct KernelObject {
  ObjectKind kind;
  std::string key;   // files and searches: the folded path; processes: the folded program path
  std::string text;  // the path or program as the caller named it, for OpenHandles()
  uint32_t access = 0;
  uint32_t share = 0;
  size_t position = 0;    // files: where the next read or write starts
  uint32_t exitCode = 0;  // processes
};
HANDLE OpenObject(const KernelObject& object);
KernelObject* FindObject(HANDLE handle);  // null when the handle is not open
void CloseObject(HANDLE handle);
std::vector<const KernelObject*> OpenObjects();

// ---- Files (winsim/files.cpp) -------------------------------------------------------------------
// The folded path; with `redirect`, as the process sees it under WOW64. Empty when not a path.
std::string FileKey(const char* path, bool redirect);
// 0 when `path` names a file that can be started as a program; else the error CreateProcessA
// gives for it.
uint32_t ProgramFileError(const char* path);

// ---- Folders and WOW64 file-system redirection (winsim/folders.cpp) ---------------------------
// Puts the folders back to their defaults; the standard folders that exist after Reset().
void ResetFolders();
std::vector<std::string> StandardFolders();
// A folded path as the process sees it: under WOW64, with redirection on, the system directory
// and everything below it is the SysWOW64 directory.
std::string RedirectedKey(const std::string& key);

}  // namespace detail
}  // namespace winsim
