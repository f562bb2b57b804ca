// winsim: the in-memory file system and the file calls of kernel32.
#include <stdio.h>
#include <string.h>

#include <map>

#include "winsim/internal.h"

namespace winsim {
namespace {

const uint32_t KeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

struct Entry {
  std::string name;  // the last part of the path, in the case it was created with
  bool folder = false;
  uint32_t attributes = 0;  // only KeptAttributes
  std::string contents;
  bool inUse = false;
};

// Keyed by the folded path without a trailing separator ("c:", "c:\windows").
std::map<std::string, Entry> Tree;
std::vector<std::string> Pending;

// A path taken apart. Not valid: empty, or not of the form "X:\...".
struct ParsedPath {
  bool valid = false;
  bool empty = true;
  bool root = false;                // the drive itself
  bool trailingSeparator = false;  // "C:\Dir\"
  std::string key;
  std::string parentKey;
  std::string name;
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

ParsedPath Parse(const char* path, bool redirect) {
  ParsedPath parsed;
  if (path == nullptr) return parsed;
  size_t length = strlen(path);
  parsed.empty = length == 0;
  bool hasDrive = length >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                  path[1] == ':' && IsSeparator(path[2]);
  if (!hasDrive) return parsed;
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 3; i <= length; ++i) {
    if (i == length || IsSeparator(path[i])) {
      if (part == "..") {
        if (!parts.empty()) parts.pop_back();
      } else if (!part.empty() && part != ".") {
        parts.push_back(part);
      }
      part.clear();
    } else {
      part += path[i];
    }
  }
  parsed.valid = true;
  parsed.trailingSeparator = IsSeparator(path[length - 1]) && length > 3;
  std::string key = detail::Folded(std::string(path, 2));
  for (const std::string& p : parts) key += "\\" + detail::Folded(p);
  if (redirect) key = detail::RedirectedKey(key);
  parsed.key = key;
  parsed.root = parts.empty();
  if (!parsed.root) {
    parsed.parentKey = key.substr(0, key.rfind('\\'));
    parsed.name = parts.back();
  }
  return parsed;
}

Entry* Find(const std::string& key) {
  auto found = Tree.find(key);
  return found == Tree.end() ? nullptr : &found->second;
}

bool FolderExists(const std::string& key) {
  Entry* entry = Find(key);
  return entry != nullptr && entry->folder;
}

// The error for a path where nothing is: 2 when its folder exists, else 3.
DWORD MissingError(const ParsedPath& path) {
  if (!path.valid) return path.empty ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
  return FolderExists(path.parentKey) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

bool HasChildren(const std::string& key) {
  auto first = Tree.lower_bound(key + "\\");
  return first != Tree.end() && first->first.compare(0, key.size() + 1, key + "\\") == 0;
}

// Creates the folders of `key` that are missing; `path` is the same path as named by the test.
void AddFoldersFor(const std::string& path) {
  ParsedPath parsed = Parse(path.c_str(), false);
  if (!parsed.valid) return;
  Tree[parsed.key.substr(0, 2)].folder = true;
  size_t start = 3;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    std::string prefix = path.substr(0, end);
    ParsedPath step = Parse(prefix.c_str(), false);
    if (!step.root && Find(step.key) == nullptr) {
      Entry& entry = Tree[step.key];
      entry.name = step.name;
      entry.folder = true;
    }
    start = end + 1;
  }
}

// Whether a new opening with this access and sharing would clash with the handles already open
// on the file, or with another process that holds it.
bool SharingClash(const std::string& key, const Entry& entry, uint32_t access, uint32_t share) {
  if (entry.inUse) return true;
  for (const detail::KernelObject* object : detail::OpenObjects()) {
    if (object->kind != detail::ObjectKind::File || object->key != key) continue;
    if ((access & GENERIC_READ) && !(object->share & FILE_SHARE_READ)) return true;
    if ((access & GENERIC_WRITE) && !(object->share & FILE_SHARE_WRITE)) return true;
    if ((object->access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return true;
    if ((object->access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return true;
  }
  return false;
}

bool DeleteClash(const std::string& key, const Entry& entry) {
  if (entry.inUse) return true;
  for (const detail::KernelObject* object : detail::OpenObjects()) {
    if (object->kind == detail::ObjectKind::File && object->key == key &&
        !(object->share & FILE_SHARE_DELETE))
      return true;
  }
  return false;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// '*' any run of characters, '?' one character; names compare folded.
bool Matches(const char* pattern, const char* name) {
  if (*pattern == 0) return *name == 0;
  if (*pattern == '*') return Matches(pattern + 1, name) || (*name != 0 && Matches(pattern, name + 1));
  if (*name == 0) return false;
  if (*pattern != '?' && *pattern != *name) return false;
  return Matches(pattern + 1, name + 1);
}

void FillFindData(const Entry& entry, WIN32_FIND_DATAA* data) {
  memset(data, 0, sizeof *data);
  data->dwFileAttributes = entry.folder ? (entry.attributes | FILE_ATTRIBUTE_DIRECTORY)
                                        : (entry.attributes ? entry.attributes : FILE_ATTRIBUTE_NORMAL);
  data->nFileSizeLow = (DWORD)entry.contents.size();
  snprintf(data->cFileName, sizeof data->cFileName, "%s", entry.name.c_str());
}

// The process's current directory, as given and as a key of the tree. A folder that is some
// process's current directory cannot be removed (the platform holds it open).
std::string CurrentDirectoryText;
std::string CurrentDirectoryKey;

void ResetFiles() {
  Tree.clear();
  Pending.clear();
  CurrentDirectoryText = "C:\\Windows\\system32";
  CurrentDirectoryKey = Parse(CurrentDirectoryText.c_str(), false).key;
  detail::ResetFolders();
  for (const std::string& folder : detail::StandardFolders()) AddFoldersFor(folder);
}
detail::ResetHook Hook(&ResetFiles);

}  // namespace

namespace detail {

std::string FileKey(const char* path, bool redirect) {
  ParsedPath parsed = Parse(path, redirect);
  return parsed.valid ? parsed.key : std::string();
}

uint32_t ProgramFileError(const char* path) {
  ParsedPath parsed = Parse(path, true);
  Entry* entry = Find(parsed.key);
  if (!parsed.valid || entry == nullptr) return MissingError(parsed);
  if (entry->folder) return ERROR_ACCESS_DENIED;
  if (entry->inUse) return ERROR_SHARING_VIOLATION;
  if (entry->contents.compare(0, 2, "MZ") != 0) return ERROR_BAD_EXE_FORMAT;
  return 0;
}

}  // namespace detail

void AddFile(const std::string& path, const std::string& contents, uint32_t attributes) {
  ParsedPath parsed = Parse(path.c_str(), false);
  if (!parsed.valid || parsed.root) return;
  AddFoldersFor(path.substr(0, path.find_last_of("\\/") + 1));
  Entry& entry = Tree[parsed.key];
  entry = Entry();
  entry.name = parsed.name;
  entry.attributes = attributes & KeptAttributes;
  entry.contents = contents;
}

void AddFolder(const std::string& path, uint32_t attributes) {
  AddFoldersFor(path);
  Entry* entry = Find(Parse(path.c_str(), false).key);
  if (entry != nullptr) entry->attributes = attributes & KeptAttributes;
}

bool Exists(const std::string& path) { return Find(Parse(path.c_str(), false).key) != nullptr; }

bool IsFolder(const std::string& path) { return FolderExists(Parse(path.c_str(), false).key); }

uint32_t Attributes(const std::string& path) {
  Entry* entry = Find(Parse(path.c_str(), false).key);
  if (entry == nullptr) return INVALID_FILE_ATTRIBUTES;
  if (entry->folder) return entry->attributes | FILE_ATTRIBUTE_DIRECTORY;
  return entry->attributes ? entry->attributes : FILE_ATTRIBUTE_NORMAL;
}

std::string Contents(const std::string& path) {
  Entry* entry = Find(Parse(path.c_str(), false).key);
  return entry == nullptr ? std::string() : entry->contents;
}

void SetFileInUse(const std::string& path, bool inUse) {
  Entry* entry = Find(Parse(path.c_str(), false).key);
  if (entry != nullptr) entry->inUse = inUse;
}

const std::vector<std::string>& PendingDeletes() { return Pending; }

}  // namespace winsim

using namespace winsim;

namespace {

std::string Text(const char* text) { return text ? text : "NULL"; }

}  // namespace

// ---- Searches -----------------------------------------------------------------------------------

// Wildcards (* and ?) are allowed in the last part of the path only.
HANDLE WINAPI FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData) {
  detail::Record("FindFirstFileA", Text(fileName));
  uint32_t error;
  if (detail::Injected("FindFirstFileA", Text(fileName), &error)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  ParsedPath path = Parse(fileName, true);
  if (!path.valid || path.root || path.trailingSeparator) {
    SetLastError(path.empty ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!FolderExists(path.parentKey)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const Entry* found = nullptr;
  std::string pattern = detail::Folded(path.name);
  for (auto it = Tree.lower_bound(path.parentKey + "\\"); it != Tree.end(); ++it) {
    const std::string& key = it->first;
    if (key.compare(0, path.parentKey.size() + 1, path.parentKey + "\\") != 0) break;
    std::string name = key.substr(path.parentKey.size() + 1);
    if (name.find('\\') != std::string::npos) continue;
    if (Matches(pattern.c_str(), name.c_str())) {
      found = &it->second;
      break;
    }
  }
  if (found == nullptr) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  FillFindData(*found, findData);
  detail::KernelObject search{detail::ObjectKind::Search, path.key, Text(fileName)};
  return detail::OpenObject(search);
}

BOOL WINAPI FindClose(HANDLE findFile) {
  detail::Record("FindClose", detail::HandleText(findFile));
  detail::KernelObject* object = detail::FindObject(findFile);
  if (object == nullptr || object->kind != detail::ObjectKind::Search)
    return Fail(ERROR_INVALID_HANDLE);
  detail::CloseObject(findFile);
  return TRUE;
}

// ---- Attributes -----------------------------------------------------------------------------------

BOOL WINAPI SetFileAttributesA(LPCSTR fileName, DWORD attributes) {
  char flags[16];
  snprintf(flags, sizeof flags, "0x%x", (unsigned)attributes);
  detail::Record("SetFileAttributesA", Text(fileName) + ", " + flags);
  uint32_t error;
  if (detail::Injected("SetFileAttributesA", Text(fileName), &error)) return Fail(error);
  ParsedPath path = Parse(fileName, true);
  Entry* entry = Find(path.key);
  if (!path.valid || entry == nullptr) return Fail(MissingError(path));
  entry->attributes = attributes & KeptAttributes;
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR fileName) {
  ParsedPath path = Parse(fileName, true);
  Entry* entry = Find(path.key);
  if (!path.valid || entry == nullptr) {
    SetLastError(MissingError(path));
    return INVALID_FILE_ATTRIBUTES;
  }
  if (entry->folder) return entry->attributes | FILE_ATTRIBUTE_DIRECTORY;
  return entry->attributes ? entry->attributes : FILE_ATTRIBUTE_NORMAL;
}

// ---- Copy, delete, folders ------------------------------------------------------------------------

// The copy takes the source's attributes and the archive attribute, as on the platform.
BOOL WINAPI CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists) {
  detail::Record("CopyFileA",
                 Text(existingFileName) + ", " + Text(newFileName) + ", " + std::to_string(failIfExists));
  uint32_t error;
  if (detail::Injected("CopyFileA", Text(newFileName), &error)) return Fail(error);
  ParsedPath source = Parse(existingFileName, true);
  Entry* from = Find(source.key);
  if (!source.valid || from == nullptr) return Fail(MissingError(source));
  if (from->folder) return Fail(ERROR_ACCESS_DENIED);
  if (SharingClash(source.key, *from, GENERIC_READ, FILE_SHARE_READ)) return Fail(ERROR_SHARING_VIOLATION);
  ParsedPath target = Parse(newFileName, true);
  if (!target.valid || target.root) return Fail(ERROR_PATH_NOT_FOUND);
  if (!FolderExists(target.parentKey)) return Fail(ERROR_PATH_NOT_FOUND);
  Entry* to = Find(target.key);
  if (to != nullptr) {
    if (failIfExists) return Fail(ERROR_FILE_EXISTS);
    if (to->folder) return Fail(ERROR_ACCESS_DENIED);
    if (to->attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) return Fail(ERROR_ACCESS_DENIED);
    if (SharingClash(target.key, *to, GENERIC_WRITE, 0)) return Fail(ERROR_SHARING_VIOLATION);
  }
  if (to == from) return Fail(ERROR_SHARING_VIOLATION);
  Entry copy = *from;
  copy.name = to != nullptr ? to->name : target.name;
  copy.attributes = from->attributes | FILE_ATTRIBUTE_ARCHIVE;
  copy.inUse = false;
  Tree[target.key] = copy;
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR fileName) {
  detail::Record("DeleteFileA", Text(fileName));
  uint32_t error;
  if (detail::Injected("DeleteFileA", Text(fileName), &error)) return Fail(error);
  ParsedPath path = Parse(fileName, true);
  Entry* entry = Find(path.key);
  if (!path.valid || entry == nullptr) return Fail(MissingError(path));
  if (entry->folder) return Fail(ERROR_ACCESS_DENIED);
  if (entry->attributes & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED);
  if (DeleteClash(path.key, *entry)) return Fail(ERROR_SHARING_VIOLATION);
  Tree.erase(path.key);
  return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES) {
  detail::Record("CreateDirectoryA", Text(pathName));
  uint32_t error;
  if (detail::Injected("CreateDirectoryA", Text(pathName), &error)) return Fail(error);
  ParsedPath path = Parse(pathName, true);
  if (!path.valid) return Fail(ERROR_PATH_NOT_FOUND);
  if (Find(path.key) != nullptr) return Fail(ERROR_ALREADY_EXISTS);
  if (!FolderExists(path.parentKey)) return Fail(ERROR_PATH_NOT_FOUND);
  Entry& entry = Tree[path.key];
  entry.name = path.name;
  entry.folder = true;
  return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR pathName) {
  detail::Record("RemoveDirectoryA", Text(pathName));
  uint32_t error;
  if (detail::Injected("RemoveDirectoryA", Text(pathName), &error)) return Fail(error);
  ParsedPath path = Parse(pathName, true);
  Entry* entry = Find(path.key);
  if (!path.valid || entry == nullptr) return Fail(MissingError(path));
  if (!entry->folder) return Fail(ERROR_DIRECTORY);
  if (path.root || (entry->attributes & FILE_ATTRIBUTE_READONLY)) return Fail(ERROR_ACCESS_DENIED);
  if (HasChildren(path.key)) return Fail(ERROR_DIR_NOT_EMPTY);
  if (path.key == CurrentDirectoryKey) return Fail(ERROR_SHARING_VIOLATION);
  Tree.erase(path.key);
  return TRUE;
}

// With MOVEFILE_DELAY_UNTIL_REBOOT and no new name the path is only noted (PendingDeletes);
// otherwise a file is renamed at once.
BOOL WINAPI MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
  char flagText[16];
  snprintf(flagText, sizeof flagText, "0x%x", (unsigned)flags);
  detail::Record("MoveFileExA", Text(existingFileName) + ", " + Text(newFileName) + ", " + flagText);
  uint32_t error;
  if (detail::Injected("MoveFileExA", Text(existingFileName), &error)) return Fail(error);
  if (existingFileName == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
    if (newFileName != nullptr) return Fail(ERROR_INVALID_PARAMETER);
    Pending.push_back(existingFileName);
    return TRUE;
  }
  ParsedPath source = Parse(existingFileName, true);
  Entry* from = Find(source.key);
  if (!source.valid || from == nullptr) return Fail(MissingError(source));
  if (from->folder || DeleteClash(source.key, *from)) return Fail(ERROR_ACCESS_DENIED);
  ParsedPath target = Parse(newFileName, true);
  if (!target.valid || target.root || !FolderExists(target.parentKey)) return Fail(ERROR_PATH_NOT_FOUND);
  Entry* to = Find(target.key);
  if (to != nullptr && to != from) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS);
    if (to->folder || (to->attributes & FILE_ATTRIBUTE_READONLY)) return Fail(ERROR_ACCESS_DENIED);
  }
  Entry moved = *from;
  moved.name = target.name;
  Tree.erase(source.key);
  Tree[target.key] = moved;
  return TRUE;
}

// ---- Open files ---------------------------------------------------------------------------------

// CREATE_NEW, CREATE_ALWAYS and OPEN_EXISTING; the sharing of every open handle is honoured.
HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                          DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
  detail::Record("CreateFileA", Text(fileName));
  uint32_t error;
  if (detail::Injected("CreateFileA", Text(fileName), &error)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  ParsedPath path = Parse(fileName, true);
  auto failed = [](DWORD code) {
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
  };
  if (!path.valid || path.root) return failed(ERROR_PATH_NOT_FOUND);
  if (!FolderExists(path.parentKey)) return failed(ERROR_PATH_NOT_FOUND);
  Entry* entry = Find(path.key);
  if (entry != nullptr && entry->folder) return failed(ERROR_ACCESS_DENIED);
  DWORD result = ERROR_SUCCESS;
  switch (creationDisposition) {
    case CREATE_NEW:
      if (entry != nullptr) return failed(ERROR_FILE_EXISTS);
      break;
    case CREATE_ALWAYS:
      if (entry != nullptr) {
        if (entry->attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) return failed(ERROR_ACCESS_DENIED);
        if (SharingClash(path.key, *entry, access, shareMode)) return failed(ERROR_SHARING_VIOLATION);
        result = ERROR_ALREADY_EXISTS;
      }
      break;
    case OPEN_EXISTING:
      if (entry == nullptr) return failed(ERROR_FILE_NOT_FOUND);
      if ((access & GENERIC_WRITE) && (entry->attributes & FILE_ATTRIBUTE_READONLY)) return failed(ERROR_ACCESS_DENIED);
      if (SharingClash(path.key, *entry, access, shareMode)) return failed(ERROR_SHARING_VIOLATION);
      break;
    default:
      return failed(ERROR_INVALID_PARAMETER);
  }
  if (creationDisposition != OPEN_EXISTING) {
    Entry created;
    created.name = entry != nullptr ? entry->name : path.name;
    created.attributes = (flagsAndAttributes & KeptAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    Tree[path.key] = created;
  }
  detail::KernelObject file{detail::ObjectKind::File, path.key, Text(fileName)};
  file.access = access;
  file.share = shareMode;
  SetLastError(result);
  return detail::OpenObject(file);
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, void*) {
  if (bytesWritten) *bytesWritten = 0;
  detail::KernelObject* object = detail::FindObject(file);
  if (object == nullptr || object->kind != detail::ObjectKind::File) return Fail(ERROR_INVALID_HANDLE);
  if (!(object->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
  Entry* entry = Find(object->key);
  if (entry == nullptr) return Fail(ERROR_INVALID_HANDLE);
  std::string& contents = entry->contents;
  if (contents.size() < object->position) contents.resize(object->position);
  contents.replace(object->position, bytesToWrite, (const char*)buffer, bytesToWrite);
  object->position += bytesToWrite;
  if (bytesWritten) *bytesWritten = bytesToWrite;
  return TRUE;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, void*) {
  if (bytesRead) *bytesRead = 0;
  detail::KernelObject* object = detail::FindObject(file);
  if (object == nullptr || object->kind != detail::ObjectKind::File) return Fail(ERROR_INVALID_HANDLE);
  if (!(object->access & GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED);
  Entry* entry = Find(object->key);
  if (entry == nullptr) return Fail(ERROR_INVALID_HANDLE);
  size_t available = entry->contents.size() > object->position ? entry->contents.size() - object->position : 0;
  size_t count = available < bytesToRead ? available : bytesToRead;
  memcpy(buffer, entry->contents.data() + object->position, count);
  object->position += count;
  if (bytesRead) *bytesRead = (DWORD)count;
  return TRUE;
}

// Subject "*"; the folder must exist.
BOOL WINAPI SetCurrentDirectoryA(LPCSTR pathName) {
  detail::Record("SetCurrentDirectoryA", Text(pathName));
  uint32_t error;
  if (detail::Injected("SetCurrentDirectoryA", "*", &error)) return Fail(error);
  ParsedPath path = Parse(pathName, true);
  Entry* entry = Find(path.key);
  if (!path.valid || entry == nullptr) return Fail(MissingError(path));
  if (!entry->folder) return Fail(ERROR_DIRECTORY);
  CurrentDirectoryText = pathName;
  CurrentDirectoryKey = path.key;
  return TRUE;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  DWORD length = (DWORD)CurrentDirectoryText.size();
  if (buffer == nullptr || size <= length) return length + 1;
  memcpy(buffer, CurrentDirectoryText.c_str(), length + 1);
  return length;
}

namespace winsim {
std::string CurrentDirectory() { return CurrentDirectoryText; }
}  // namespace winsim
