// The existence test: the program's only way of asking whether a file or folder is there.
#include "files/files.h"

WIN32_FIND_DATAA FileInfo;

// Whatever the search finds counts, folders and hidden, system or read-only files included;
// every failure of the search (missing, access denied, malformed or empty path) is "not there".
bool FindFileInfo(const char* path, WIN32_FIND_DATAA* info) {
  HANDLE search = FindFirstFileA(path, info);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}
