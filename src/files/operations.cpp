// Copying, deleting and removing with their status texts and warning boxes, and the path
// helper that ends a folder path before a file name is appended.
#include <string.h>

#include "files/files.h"
#include "ui/ui.h"

namespace {

const char WarningCaption[] = "Tastaturtreiber-Deinstallation";

}  // namespace

// A path with no room left for the backslash is emptied rather than left without it: a folder
// path lacking its separator would name another file once a name is appended to it.
char* AppendBackslash(char* path, size_t pathSize) {
  size_t length = strnlen(path, pathSize);
  if (length > 0 && (path[length - 1] == '\\' || path[length - 1] == '/')) return path;
  if (length + 2 > pathSize) {
    if (pathSize > 0) path[0] = 0;
    return path;
  }
  path[length] = '\\';
  path[length + 1] = 0;
  return path;
}

bool AppendText(char* path, size_t pathSize, const char* text) {
  size_t length = strnlen(path, pathSize);
  size_t added = strlen(text);
  if (length + added + 1 > pathSize) return false;
  memcpy(path + length, text, added + 1);
  return true;
}

bool CopyFileReported(const char* source, const char* target) {
  if (!CopyFileA(source, target, FALSE)) {
    LastErrorText();
    ShowWarningTitled(WarningCaption, "Kopieren einer Datei fehlgeschlagen.\n\nQuelle: %s\nZiel: %s\n\n%s",
                      source, target, ErrorText);
    return false;
  }
  // The copy carries the source's read-only, hidden and system attributes; it gets none of them.
  SetFileAttributesA(target, FILE_ATTRIBUTE_ARCHIVE);
  return true;
}

// Attributes are left alone: a read-only file is reported, not made writable.
bool DeleteFileReported(const char* path) {
  if (!FindFileInfo(path, &FileInfo)) return true;
  SetStatusText("Lösche %s ...", path);
  if (!DeleteFileA(path)) {
    LastErrorText();
    ShowWarningTitled(WarningCaption, "Folgende Datei kann nicht gelöscht werden:\n%s\n\n%s", path, ErrorText);
    return false;
  }
  return true;
}

bool RemoveDirectoryReported(const char* path) {
  SetStatusText("Lösche Verzeichnis %s ...", path);
  if (!RemoveDirectoryA(path)) {
    LastErrorText();
    ShowWarningTitled(WarningCaption, "Folgendes Verzeichnis kann nicht gelöscht werden:\n%s\n\n%s", path,
                      ErrorText);
    return false;
  }
  return true;
}
