// The system folders and the product folder, WOW64 file-system redirection, the shell's special
// folders and the desktop shortcut.
//
// A folder the platform did not deliver, or one too long for its buffer together with what is
// appended to it, is left empty: never the bare backslash (the root of the current drive) and
// never a cut path, either of which would name files that are not the product's.
#include <string.h>

#include "app/app.h"
#include "files/files.h"

char SystemDir[260];
char SystemWow64Dir[260];
char InstallDir[260];
PVOID FsRedirectionOldValue;

namespace {

const char ProductFolderName[] = "R7-Tastatur";
const char ProgramsFolderName[] = "Programme";  // under the Windows directory, when the shell fails
const char ShortcutExtension[] = ".LNK";

// Fills `folder` by one of kernel32's folder calls and ends it with a backslash; empty when the
// call failed, reported a size beyond the buffer, or left no room for the backslash.
template <size_t N, typename Call>
void FillSystemFolder(char (&folder)[N], Call call) {
  memset(folder, 0, sizeof folder);
  UINT length = call(folder, (UINT)sizeof folder);
  if (length == 0 || length >= sizeof folder) {
    folder[0] = 0;
    return;
  }
  AppendBackslash(folder, sizeof folder);
}

// A backslash unless the path ends in one, then `name`; false when that does not fit.
bool AppendName(char* path, size_t pathSize, const char* name) {
  size_t length = strnlen(path, pathSize);
  if (length == 0 || path[length - 1] != '\\') {
    if (!AppendText(path, pathSize, "\\")) return false;
  }
  if (AppendText(path, pathSize, name)) return true;
  path[length] = 0;
  return false;
}

// The shell's path of a special folder into `path` (MAX_PATH bytes, empty when the shell gives
// none); true when the shell knew the folder. The item list is freed with the shell's allocator.
bool ResolveSpecialFolder(HWND owner, int csidl, char* path) {
  path[0] = 0;
  LPMALLOC allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return false;
  LPITEMIDLIST list = nullptr;
  HRESULT result = SHGetSpecialFolderLocation(owner, csidl, &list);
  if (SUCCEEDED(result)) {
    if (!SHGetPathFromIDListA(list, path)) path[0] = 0;
    allocator->Free(list);
  }
  allocator->Release();
  return SUCCEEDED(result);
}

void LocateInstallDir() {
  memset(InstallDir, 0, sizeof InstallDir);
  if (!LookupSpecialFolder(InstallDir, CSIDL_PROGRAM_FILES)) {
    UINT length = GetWindowsDirectoryA(InstallDir, sizeof InstallDir);
    if (length == 0 || length >= sizeof InstallDir || !AppendName(InstallDir, sizeof InstallDir, ProgramsFolderName)) {
      InstallDir[0] = 0;
      return;
    }
  }
  if (InstallDir[0] == 0) return;  // the shell knew the folder but gave no path
  AppendBackslash(InstallDir, sizeof InstallDir);
  if (InstallDir[0] == 0 || !AppendText(InstallDir, sizeof InstallDir, ProductFolderName)) InstallDir[0] = 0;
}

}  // namespace

// Under WOW64, redirection goes off first, so that SystemDir reaches the native system
// directory for the rest of the run.
void LocateSystemFolders() {
  if (IsWow64) {
    FsRedirectionOldValue = nullptr;
    Wow64DisableWow64FsRedirection(&FsRedirectionOldValue);
  }
  FillSystemFolder(SystemDir, [](char* buffer, UINT size) { return GetSystemDirectoryA(buffer, size); });
  if (IsWow64) {
    FillSystemFolder(SystemWow64Dir, [](char* buffer, UINT size) { return GetSystemWow64DirectoryA(buffer, size); });
  }
  LocateInstallDir();
}

void RestoreFsRedirection() {
  if (IsWow64) Wow64RevertWow64FsRedirection(FsRedirectionOldValue);
}

// No owner window: the folders are looked up before any window of the program exists.
bool LookupSpecialFolder(char* path, int csidl) { return ResolveSpecialFolder(nullptr, csidl, path); }

// No existence test and no message: a missing shortcut is just false. Nothing is deleted when
// the desktop has no path or the shortcut's path would not fit.
bool DeleteShortcut(HWND owner, const char* name) {
  char path[MAX_PATH];
  memset(path, 0, sizeof path);
  if (!ResolveSpecialFolder(owner, CSIDL_DESKTOPDIRECTORY, path) || path[0] == 0) return false;
  if (!AppendName(path, sizeof path, name) || !AppendText(path, sizeof path, ShortcutExtension)) return false;
  return DeleteFileA(path) != FALSE;
}
