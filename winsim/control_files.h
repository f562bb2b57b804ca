// Test control of winsim: files, folders and started programs. Included by winsim/control.h.
//
// The file system is an in-memory tree of drive paths ("C:\Dir\File.txt"). Names compare
// without regard to the case of A-Z, '/' counts as '\', and a path without a drive ("x.txt",
// "\x.txt") names nothing that exists. After Reset() it holds exactly the standard folders,
// all empty: C:\Windows, C:\Windows\system32, C:\Windows\SysWOW64, C:\Program Files,
// C:\Users\Tester\Desktop and C:\Users\Tester\AppData\Local\Temp.
//
// The error codes are those Wine gives (Debian 12, Wine 8.0), with one exception taken from
// the platform's documentation: copying onto an existing read-only or hidden file fails with
// ERROR_ACCESS_DENIED (Wine lets it succeed).
//   missing file 2, missing folder on the way 3, a folder where a file is expected (delete,
//   copy, open) 5, deleting a read-only file 5, a file in use 32, copy onto an existing
//   target with fail-if-exists 80, removing a folder that is not empty 145, removing a file
//   as a folder 267, creating a folder that exists 183, starting a file that is not a program
//   (its contents do not begin with "MZ") 193.
//
// Fault subjects for winsim::FailCall, checked before the call does anything:
//   FindFirstFileA, DeleteFileA, RemoveDirectoryA, CreateDirectoryA, SetFileAttributesA,
//   CreateFileA, MoveFileExA: the path as passed (MoveFileExA: the existing file's path);
//   CopyFileA: the target path;
//   GetTempPathA, GetSystemDirectoryA, GetSystemWow64DirectoryA, GetWindowsDirectoryA,
//   Wow64DisableWow64FsRedirection, Wow64RevertWow64FsRedirection, SHGetMalloc: "*";
//   SHGetSpecialFolderLocation, SHGetPathFromIDListA: the CSIDL in decimal ("38", "16");
//   CreateProcessA: the application name (or the command line when there is none).
// A failing HRESULT call returns the injected code when it has the high bit set, else E_FAIL.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "winsim/control.h"

namespace winsim {

// ---- Files -------------------------------------------------------------------------------------
// Creates the file (replacing one of that name) or folder, and every missing folder above it.
// Test helpers act on the real tree: WOW64 redirection does not apply to them.
void AddFile(const std::string& path, const std::string& contents = "",
             uint32_t attributes = FILE_ATTRIBUTE_ARCHIVE);
void AddFolder(const std::string& path, uint32_t attributes = 0);
bool Exists(const std::string& path);
bool IsFolder(const std::string& path);
// As GetFileAttributesA reports them (FILE_ATTRIBUTE_DIRECTORY for folders, NORMAL for a file
// with none); INVALID_FILE_ATTRIBUTES when nothing is there.
uint32_t Attributes(const std::string& path);
std::string Contents(const std::string& path);  // empty when there is no such file
// Another process holds the file open without sharing: opening, overwriting and deleting it
// fail with ERROR_SHARING_VIOLATION.
void SetFileInUse(const std::string& path, bool inUse);
// The process's current directory (default C:\Windows\system32); SetCurrentDirectoryA sets it,
// as a process started in a folder has it. That folder cannot be removed: RemoveDirectoryA
// fails with ERROR_SHARING_VIOLATION, as under Wine.
std::string CurrentDirectory();
// Paths given to MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT), in call order.
const std::vector<std::string>& PendingDeletes();
// Every open kernel handle as "<kind> <path>": kinds file, search, process, thread.
std::vector<std::string> OpenHandles();

// ---- Folders -----------------------------------------------------------------------------------
// What the platform calls report; any length (also beyond 259 characters). The setters do not
// create the folders: AddFolder does. Defaults: "C:\Users\Tester\AppData\Local\Temp\",
// "C:\Windows\system32", "C:\Windows\SysWOW64", "C:\Windows". Without WOW64,
// GetSystemWow64DirectoryA fails with ERROR_CALL_NOT_IMPLEMENTED.
void SetTempPath(const std::string& path);
void SetSystemDirectory(const std::string& path);
void SetSystemWow64Directory(const std::string& path);
void SetWindowsDirectory(const std::string& path);

// The shell's special folders by CSIDL; an empty path removes the folder (the shell then
// answers E_INVALIDARG). Defaults: CSIDL_PROGRAM_FILES "C:\Program Files",
// CSIDL_DESKTOPDIRECTORY "C:\Users\Tester\Desktop". SHGetPathFromIDListA fails and delivers
// an empty text for a path of MAX_PATH characters or more.
void SetSpecialFolder(int csidl, const std::string& path);
// How the program used the shell's allocator.
struct ShellAllocatorUse {
  int taken = 0;        // successful SHGetMalloc calls
  int released = 0;     // IMalloc::Release calls
  int liveLists = 0;    // item-identifier lists handed out and not freed
  int strayFrees = 0;   // IMalloc::Free of memory the allocator never handed out (or twice)
};
ShellAllocatorUse ShellAllocator();

// Under WOW64 (winsim::SetWow64), while redirection is on, the system directory and all below
// it is the SysWOW64 directory for every file call of the program.
bool FsRedirectionDisabled();
// What the last successful Wow64DisableWow64FsRedirection handed out; null before.
const void* FsRedirectionValueHandedOut();

// ---- Started programs ----------------------------------------------------------------------
struct ProcessStart {
  bool hasApplicationName;
  std::string applicationName;
  bool hasCommandLine;
  std::string commandLine;  // what the child's GetCommandLine returns
  bool processAttributes;   // security attributes given
  bool threadAttributes;
  bool inheritHandles;
  uint32_t creationFlags;
  bool ownEnvironment;
  bool hasCurrentDirectory;
  std::string currentDirectory;
  uint32_t startupInfoSize;  // STARTUPINFOA::cb
  bool started;              // false when CreateProcessA failed
};
const std::vector<ProcessStart>& ProcessStarts();

// What a started program does, in place of running it: called at its start with the program's
// path and its command line; its result is the exit code. The program has ended when
// CreateProcessA returns. A program without a stand-in ends at once with exit code 0.
typedef uint32_t (*ProgramStandIn)(const std::string& program, const std::string& commandLine);
void SetProgramStandIn(const std::string& program, ProgramStandIn standIn);

}  // namespace winsim
