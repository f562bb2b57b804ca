// winsim: the folders kernel32 reports, WOW64 file-system redirection, and the shell's special
// folders with its task allocator.
#include <stdlib.h>
#include <string.h>

#include <map>
#include <set>

#include "winsim/internal.h"

namespace winsim {
namespace {

std::string TempPath;
std::string SystemDirectory;
std::string SystemWow64Directory;
std::string WindowsDirectory;
std::map<int, std::string> SpecialFolders;
bool RedirectionOff = false;
PVOID HandedOut = nullptr;

// The values Wow64DisableWow64FsRedirection hands out: the state before the call.
PVOID const WasEnabled = (PVOID)(uintptr_t)0x64640000;
PVOID const WasDisabled = (PVOID)(uintptr_t)0x64640001;

// The shell's task allocator: one object for the process, counted rather than freed.
class ShellMalloc final : public IMalloc {
 public:
  void* Alloc(size_t bytes) override {
    void* memory = malloc(bytes ? bytes : 1);
    live.insert(memory);
    return memory;
  }
  void Free(void* memory) override {
    std::string what = "?";
    auto list = lists.find(memory);
    if (list != lists.end()) what = std::to_string(list->second);
    detail::Record("IMalloc::Free", what);
    if (memory == nullptr) return;
    if (live.erase(memory) == 0) {
      ++use.strayFrees;
      return;
    }
    lists.erase(memory);
    free(memory);
  }
  DWORD Release() override {
    detail::Record("IMalloc::Release", "");
    ++use.released;
    return 1;
  }
  void Reset() {
    for (void* memory : live) free(memory);
    live.clear();
    lists.clear();
    use = ShellAllocatorUse();
  }

  std::set<void*> live;
  std::map<void*, int> lists;  // item-identifier lists handed out, with their CSIDL
  ShellAllocatorUse use;
};
ShellMalloc Allocator;

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

// Copies `value` into a buffer of `size` characters, as the folder calls of kernel32 do: the
// length on success, the size needed (terminator included) when it does not fit, which leaves
// the buffer untouched.
UINT Deliver(const std::string& value, LPSTR buffer, UINT size) {
  if (value.size() + 1 > size) return (UINT)(value.size() + 1);
  memcpy(buffer, value.c_str(), value.size() + 1);
  return (UINT)value.size();
}

}  // namespace

namespace detail {

void ResetFolders() {
  TempPath = "C:\\Users\\Tester\\AppData\\Local\\Temp\\";
  SystemDirectory = "C:\\Windows\\system32";
  SystemWow64Directory = "C:\\Windows\\SysWOW64";
  WindowsDirectory = "C:\\Windows";
  SpecialFolders.clear();
  SpecialFolders[CSIDL_PROGRAM_FILES] = "C:\\Program Files";
  SpecialFolders[CSIDL_DESKTOPDIRECTORY] = "C:\\Users\\Tester\\Desktop";
  RedirectionOff = false;
  HandedOut = nullptr;
  Allocator.Reset();
}

std::vector<std::string> StandardFolders() {
  return {"C:\\Windows\\system32", "C:\\Windows\\SysWOW64", "C:\\Program Files",
          "C:\\Users\\Tester\\Desktop", "C:\\Users\\Tester\\AppData\\Local\\Temp"};
}

std::string RedirectedKey(const std::string& key) {
  if (!Wow64Process() || RedirectionOff) return key;
  std::string system = Folded(WithoutTrailingSeparator(SystemDirectory));
  if (key.compare(0, system.size(), system) != 0) return key;
  if (key.size() > system.size() && key[system.size()] != '\\') return key;
  return Folded(WithoutTrailingSeparator(SystemWow64Directory)) + key.substr(system.size());
}

}  // namespace detail

void SetTempPath(const std::string& path) { TempPath = path; }
void SetSystemDirectory(const std::string& path) { SystemDirectory = path; }
void SetSystemWow64Directory(const std::string& path) { SystemWow64Directory = path; }
void SetWindowsDirectory(const std::string& path) { WindowsDirectory = path; }

void SetSpecialFolder(int csidl, const std::string& path) {
  if (path.empty()) {
    SpecialFolders.erase(csidl);
  } else {
    SpecialFolders[csidl] = path;
  }
}

ShellAllocatorUse ShellAllocator() {
  ShellAllocatorUse use = Allocator.use;
  use.liveLists = (int)Allocator.lists.size();
  return use;
}

bool FsRedirectionDisabled() { return RedirectionOff; }
const void* FsRedirectionValueHandedOut() { return HandedOut; }

}  // namespace winsim

using namespace winsim;

// ---- kernel32: folders ----------------------------------------------------------------------------

DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer) {
  detail::Record("GetTempPathA", std::to_string(size));
  uint32_t error;
  if (detail::Injected("GetTempPathA", "*", &error)) {
    SetLastError(error);
    return 0;
  }
  return Deliver(TempPath, buffer, size);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
  detail::Record("GetSystemDirectoryA", std::to_string(size));
  uint32_t error;
  if (detail::Injected("GetSystemDirectoryA", "*", &error)) {
    SetLastError(error);
    return 0;
  }
  return Deliver(SystemDirectory, buffer, size);
}

UINT WINAPI GetSystemWow64DirectoryA(LPSTR buffer, UINT size) {
  detail::Record("GetSystemWow64DirectoryA", std::to_string(size));
  uint32_t error;
  if (detail::Injected("GetSystemWow64DirectoryA", "*", &error)) {
    SetLastError(error);
    return 0;
  }
  if (!detail::Wow64Process()) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  return Deliver(SystemWow64Directory, buffer, size);
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  detail::Record("GetWindowsDirectoryA", std::to_string(size));
  uint32_t error;
  if (detail::Injected("GetWindowsDirectoryA", "*", &error)) {
    SetLastError(error);
    return 0;
  }
  return Deliver(WindowsDirectory, buffer, size);
}

// ---- kernel32: WOW64 redirection --------------------------------------------------------------

// Only a WOW64 process can switch redirection; elsewhere both calls fail.
BOOL WINAPI Wow64DisableWow64FsRedirection(PVOID* oldValue) {
  detail::Record("Wow64DisableWow64FsRedirection", "");
  uint32_t error;
  if (detail::Injected("Wow64DisableWow64FsRedirection", "*", &error)) {
    SetLastError(error);
    return FALSE;
  }
  if (!detail::Wow64Process()) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  *oldValue = HandedOut = RedirectionOff ? WasDisabled : WasEnabled;
  RedirectionOff = true;
  return TRUE;
}

// Goes back to the state that the value of Wow64DisableWow64FsRedirection stands for.
BOOL WINAPI Wow64RevertWow64FsRedirection(PVOID oldValue) {
  detail::Record("Wow64RevertWow64FsRedirection", detail::HandleText(oldValue));
  uint32_t error;
  if (detail::Injected("Wow64RevertWow64FsRedirection", "*", &error)) {
    SetLastError(error);
    return FALSE;
  }
  if (!detail::Wow64Process()) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  RedirectionOff = oldValue == WasDisabled;
  return TRUE;
}

// ---- shell32 ------------------------------------------------------------------------------------

namespace {

HRESULT InjectedResult(uint32_t error) { return (error & 0x80000000u) ? (HRESULT)error : E_FAIL; }

}  // namespace

HRESULT WINAPI SHGetMalloc(LPMALLOC* allocator) {
  detail::Record("SHGetMalloc", "");
  uint32_t error;
  if (detail::Injected("SHGetMalloc", "*", &error)) {
    *allocator = nullptr;
    return InjectedResult(error);
  }
  ++Allocator.use.taken;
  *allocator = &Allocator;
  return S_OK;
}

HRESULT WINAPI SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* list) {
  detail::Record("SHGetSpecialFolderLocation", detail::HandleText(owner) + ", " + std::to_string(folder));
  *list = nullptr;
  uint32_t error;
  if (detail::Injected("SHGetSpecialFolderLocation", std::to_string(folder), &error))
    return InjectedResult(error);
  if (SpecialFolders.find(folder) == SpecialFolders.end()) return E_INVALIDARG;
  void* memory = Allocator.Alloc(sizeof(ITEMIDLIST) + sizeof(WORD));
  memset(memory, 0, sizeof(ITEMIDLIST) + sizeof(WORD));
  Allocator.lists[memory] = folder;
  *list = (LPITEMIDLIST)memory;
  return S_OK;
}

// `path` is a buffer of MAX_PATH bytes.
BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path) {
  auto found = Allocator.lists.find((void*)list);
  int folder = found == Allocator.lists.end() ? -1 : found->second;
  detail::Record("SHGetPathFromIDListA", std::to_string(folder));
  path[0] = 0;
  uint32_t error;
  if (detail::Injected("SHGetPathFromIDListA", std::to_string(folder), &error)) return FALSE;
  auto special = SpecialFolders.find(folder);
  if (special == SpecialFolders.end() || special->second.size() >= MAX_PATH) return FALSE;
  memcpy(path, special->second.c_str(), special->second.size() + 1);
  return TRUE;
}
