// Stages an installation of the layout as its installer leaves it, from inside a running Wine
// prefix, so that the timing rounds need no restart of the prefix between uninstalls:
//   stage.exe UNINSTALLER.EXE
// The driver in the native system directory (and, on 64-bit Windows, in SysWOW64), the layout
// key a0010407 with its "Layout File", the user's Preload and Substitutes, the desktop shortcut,
// the product folder with its three files, and the Uninstall entry in the 32-bit view.
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

namespace {

bool SetString(HKEY root, const char* path, const char* name, const char* text) {
  HKEY key;
  if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) return false;
  LONG status = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)lstrlenA(text) + 1);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool WriteFileText(const char* path, const char* text) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, text, (DWORD)lstrlenA(text), &written, nullptr);
  CloseHandle(file);
  return ok != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: stage.exe UNINSTALLER.EXE\n");
    return 2;
  }
  bool ok = true;
  char path[MAX_PATH];

  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  PVOID redirection = nullptr;
  if (wow64) Wow64DisableWow64FsRedirection(&redirection);
  GetSystemDirectoryA(path, MAX_PATH);
  lstrcatA(path, "\\Quillmap.DLL");
  ok &= WriteFileText(path, "MZ layout driver");
  if (wow64) {
    GetSystemWow64DirectoryA(path, MAX_PATH);
    lstrcatA(path, "\\Quillmap.DLL");
    ok &= WriteFileText(path, "MZ layout driver, 32-bit");
    Wow64RevertWow64FsRedirection(redirection);
  }

  const char layout[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts\\a0010407";
  ok &= SetString(HKEY_LOCAL_MACHINE, layout, "Layout File", "Quillmap.DLL");
  ok &= SetString(HKEY_LOCAL_MACHINE, layout, "Layout Text", "Deutsch (R7-Belegung V1.06)");
  ok &= SetString(HKEY_CURRENT_USER, "Keyboard Layout\\Preload", "1", "00000407");
  ok &= SetString(HKEY_CURRENT_USER, "Keyboard Layout\\Preload", "2", "d0010407");
  ok &= SetString(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes", "d0010407", "a0010407");

  ok &= SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOPDIRECTORY, TRUE) != FALSE;
  lstrcatA(path, "\\Tastaturbelegung R7 Schaubild.LNK");
  ok &= WriteFileText(path, "shortcut");

  char folder[MAX_PATH];
  ok &= SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE) != FALSE;
  lstrcatA(folder, "\\R7-Tastatur");
  CreateDirectoryA(folder, nullptr);
  wsprintfA(path, "%s\\Uninstall_Quillmap.exe", folder);
  ok &= CopyFileA(argv[1], path, FALSE) != FALSE;
  wsprintfA(path, "%s\\Tastaturbelegung R7 Schaubild.pdf", folder);
  ok &= WriteFileText(path, "%PDF-1.4");
  wsprintfA(path, "%s\\Tastaturbelegung R7 Schaubild.ico", folder);
  ok &= WriteFileText(path, "icon");

  ok &= SetString(HKEY_LOCAL_MACHINE,
                  "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tastaturbelegung Deutsch (R7-Belegung V1.06)",
                  "DisplayName", "Tastaturbelegung Deutsch (R7-Belegung V1.06)");
  if (!ok) fprintf(stderr, "stage.exe: the installation could not be staged whole\n");
  return ok ? 0 : 1;
}
