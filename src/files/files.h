// File system services: the existence test, reported copy and delete operations, the system
// and product folders with WOW64 file-system redirection, the desktop shortcut, and starting
// another program.
#pragma once

#include <stddef.h>

#include "win32.h"

// The one find-data record every existence test fills; nothing reads its fields.
extern WIN32_FIND_DATAA FileInfo;

bool FindFileInfo(const char* path, WIN32_FIND_DATAA* info);

// Ends a directory path (in a buffer of pathSize bytes) with a backslash; returns path. A path
// with no room left for it is emptied.
char* AppendBackslash(char* path, size_t pathSize);
// Appends text to path (a buffer of pathSize bytes) when it fits whole; otherwise leaves path
// as it was and returns false. Never a cut path that names another file.
bool AppendText(char* path, size_t pathSize, const char* text);
bool CopyFileReported(const char* source, const char* target);  // replaces an existing target
bool DeleteFileReported(const char* path);  // true when the file is gone, or was never there
bool RemoveDirectoryReported(const char* path);

// Each folder is empty when the platform did not deliver it or it does not fit its buffer with
// what is appended to it; a caller skips the files of an empty folder.
extern char SystemDir[260];       // the system directory, with a trailing backslash
extern char SystemWow64Dir[260];  // under WOW64 the SysWOW64 directory with backslash; else empty
extern char InstallDir[260];      // Program Files\R7-Tastatur, without a trailing backslash
extern PVOID FsRedirectionOldValue;

// Fills the three folders; under WOW64 also switches file-system redirection off.
void LocateSystemFolders();
void RestoreFsRedirection();
bool LookupSpecialFolder(char* path, int csidl);  // path: a 260-byte buffer
bool DeleteShortcut(HWND owner, const char* name);

// Starts "program" parameters, without waiting; reports a failure in a box.
bool LaunchProgram(const char* program, const char* parameters);
