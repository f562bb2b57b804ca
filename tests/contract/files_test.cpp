// What the file services rely on about the platform's file calls: what a search finds, which
// error each failed copy, deletion and removal gives, what a copy does to attributes, and how
// the folder calls report a buffer that is too small.
#include <gtest/gtest.h>
#include <string.h>

#include <functional>
#include <string>

#include "scratch_folder.h"
#include "win32.h"

namespace {

class FileCalls : public ScratchFolder {};

TEST_F(FileCalls, FindFirstFileAFindsFoldersAndFilesWhateverTheirAttributes) {
  MakeFolder("Sub Folder");
  MakeFile("locked.dll", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  struct Row {
    const char* name;
    DWORD attribute;
    const char* foundName;
  } rows[] = {
      {"Sub Folder", FILE_ATTRIBUTE_DIRECTORY, "Sub Folder"},
      {"SUB FOLDER", FILE_ATTRIBUTE_DIRECTORY, "Sub Folder"},
      {"locked.dll", FILE_ATTRIBUTE_HIDDEN, "locked.dll"},
  };
  for (const Row& row : rows) {
    std::string path = Folder() + "\\" + row.name;
    WIN32_FIND_DATAA data;
    memset(&data, 0, sizeof data);
    HANDLE search = FindFirstFileA(path.c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, search) << row.name << ", error " << GetLastError();
    EXPECT_NE(0u, data.dwFileAttributes & row.attribute) << row.name << ", attributes 0x" << std::hex << data.dwFileAttributes;
    EXPECT_STREQ(row.foundName, data.cFileName) << row.name;
    EXPECT_TRUE(FindClose(search)) << row.name;
  }
}

TEST_F(FileCalls, FindFirstFileAFindsNothingAndSaysWhy) {
  MakeFolder("dir");
  struct Row {
    const char* what;
    std::string path;
    DWORD error;
  } rows[] = {
      {"missing file", Folder() + "\\nothing.txt", ERROR_FILE_NOT_FOUND},
      {"missing folder on the way", Folder() + "\\nowhere\\nothing.txt", ERROR_PATH_NOT_FOUND},
      {"empty path", "", ERROR_PATH_NOT_FOUND},
      {"folder with a trailing backslash", Folder() + "\\dir\\", ERROR_FILE_NOT_FOUND},
  };
  for (const Row& row : rows) {
    WIN32_FIND_DATAA data;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA(row.path.c_str(), &data)) << row.what;
    EXPECT_EQ(row.error, GetLastError()) << row.what;
  }
}

TEST_F(FileCalls, DeleteFileAFailsOnReadOnlyFilesFoldersAndFilesInUse) {
  std::string readOnly = MakeFile("read-only.dll", "x", FILE_ATTRIBUTE_READONLY);
  std::string folder = MakeFolder("folder");
  std::string open = MakeFile("open.dll", "x");
  HANDLE holder = CreateFileA(open.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  struct Row {
    const char* what;
    std::string path;
    DWORD error;
  } rows[] = {
      {"read-only file", readOnly, ERROR_ACCESS_DENIED},
      {"folder", folder, ERROR_ACCESS_DENIED},
      {"file held open without delete sharing", open, ERROR_SHARING_VIOLATION},
      {"missing file", Folder() + "\\gone.dll", ERROR_FILE_NOT_FOUND},
      {"missing folder on the way", Folder() + "\\gone\\gone.dll", ERROR_PATH_NOT_FOUND},
  };
  for (const Row& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileA(row.path.c_str())) << row.what;
    EXPECT_EQ(row.error, GetLastError()) << row.what;
  }
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(readOnly.c_str()));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(open.c_str()));
  CloseHandle(holder);

  EXPECT_TRUE(DeleteFileA(open.c_str())) << "once closed, error " << GetLastError();
  ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileA(readOnly.c_str())) << "once writable, error " << GetLastError();
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(readOnly.c_str()));
}

TEST_F(FileCalls, CopyFileAReplacesAnExistingTargetUnlessToldNotTo) {
  std::string source = MakeFile("new.exe", "new contents");
  std::string target = MakeFile("old.exe", "old");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CopyFileA(source.c_str(), target.c_str(), TRUE));
  EXPECT_EQ((DWORD)ERROR_FILE_EXISTS, GetLastError());
  EXPECT_EQ("old", ReadWholeFile(target));

  EXPECT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << "error " << GetLastError();
  EXPECT_EQ("new contents", ReadWholeFile(target));
  EXPECT_EQ("new contents", ReadWholeFile(source));
}

TEST_F(FileCalls, CopyFileAFailures) {
  std::string source = MakeFile("source.exe", "x");
  std::string folder = MakeFolder("folder");
  std::string busy = MakeFile("busy.exe", "old");
  HANDLE holder = CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  struct Row {
    const char* what;
    std::string source;
    std::string target;
    DWORD error;
  } rows[] = {
      {"target folder missing", source, Folder() + "\\missing\\copy.exe", ERROR_PATH_NOT_FOUND},
      {"source missing", Folder() + "\\missing.exe", Folder() + "\\copy.exe", ERROR_FILE_NOT_FOUND},
      {"target is a folder", source, folder, ERROR_ACCESS_DENIED},
      {"source is a folder", folder, Folder() + "\\copy.exe", ERROR_ACCESS_DENIED},
      {"target held open by another", source, busy, ERROR_SHARING_VIOLATION},
  };
  for (const Row& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyFileA(row.source.c_str(), row.target.c_str(), FALSE)) << row.what;
    EXPECT_EQ(row.error, GetLastError()) << row.what;
  }
  CloseHandle(holder);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((Folder() + "\\copy.exe").c_str()));
}

// The copy keeps the source's attributes; only SetFileAttributesA leaves archive alone.
TEST_F(FileCalls, CopyFileAKeepsTheSourceAttributesUntilTheyAreSet) {
  const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  std::string source = MakeFile("source.exe", "x", kept);
  std::string target = Path("copy.exe");
  ASSERT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << "error " << GetLastError();
  EXPECT_EQ(kept | FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA(target.c_str()));

  EXPECT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA(target.c_str()));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetFileAttributesA(Path("missing.exe").c_str(), FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(FileCalls, RemoveDirectoryARemovesOnlyEmptyFolders) {
  std::string full = MakeFolder("full");
  MakeFile("full\\user.txt", "mine");
  std::string file = MakeFile("file.txt", "x");
  std::string empty = MakeFolder("empty");
  struct Row {
    const char* what;
    std::string path;
    DWORD error;
  } rows[] = {
      {"folder holding a file", full, ERROR_DIR_NOT_EMPTY},
      {"missing folder", Folder() + "\\missing", ERROR_FILE_NOT_FOUND},
      {"missing folder on the way", Folder() + "\\missing\\sub", ERROR_PATH_NOT_FOUND},
      {"a file", file, ERROR_DIRECTORY},
  };
  for (const Row& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(RemoveDirectoryA(row.path.c_str())) << row.what;
    EXPECT_EQ(row.error, GetLastError()) << row.what;
  }
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((full + "\\user.txt").c_str()));
  EXPECT_TRUE(RemoveDirectoryA(empty.c_str())) << "error " << GetLastError();
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(empty.c_str()));
}

TEST_F(FileCalls, CreateDirectoryAFailsWhereSomethingIsOrTheParentIsMissing) {
  MakeFolder("dir");
  MakeFile("file", "x");
  struct Row {
    const char* what;
    std::string path;
    DWORD error;
  } rows[] = {
      {"existing folder", Folder() + "\\dir", ERROR_ALREADY_EXISTS},
      {"existing file", Folder() + "\\file", ERROR_ALREADY_EXISTS},
      {"missing parent", Folder() + "\\missing\\dir", ERROR_PATH_NOT_FOUND},
  };
  for (const Row& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateDirectoryA(row.path.c_str(), nullptr)) << row.what;
    EXPECT_EQ(row.error, GetLastError()) << row.what;
  }
}

// ---- Folders ---------------------------------------------------------------------------------

TEST(TempPath, EndsInABackslashAndNamesAFolder) {
  char temp[MAX_PATH];
  DWORD length = GetTempPathA(sizeof temp, temp);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, sizeof temp);
  EXPECT_EQ(length, strlen(temp));
  EXPECT_EQ('\\', temp[length - 1]) << temp;
  DWORD attributes = GetFileAttributesA(temp);
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes) << temp;
  EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_DIRECTORY) << temp;
}

// A folder that does not fit is not delivered at all: the result is the size needed, the
// terminator counted, and the buffer is left as it was.
TEST(FolderCalls, ReportTheSizeNeededAndLeaveATooSmallBufferAlone) {
  struct Row {
    const char* what;
    std::function<DWORD(char*, DWORD)> call;
  } rows[] = {
      {"GetTempPathA", [](char* buffer, DWORD size) { return GetTempPathA(size, buffer); }},
      {"GetSystemDirectoryA", [](char* buffer, DWORD size) { return (DWORD)GetSystemDirectoryA(buffer, size); }},
      {"GetWindowsDirectoryA", [](char* buffer, DWORD size) { return (DWORD)GetWindowsDirectoryA(buffer, size); }},
  };
  for (const Row& row : rows) {
    char full[MAX_PATH];
    DWORD length = row.call(full, sizeof full);
    ASSERT_GT(length, 4u) << row.what;
    ASSERT_LT(length, sizeof full) << row.what;
    EXPECT_EQ(length, strlen(full)) << row.what;

    char small[8];
    memset(small, 'Z', sizeof small);
    EXPECT_EQ(length + 1, row.call(small, 4)) << row.what;
    for (char c : small) EXPECT_EQ('Z', c) << row.what;

    char exact[MAX_PATH];
    EXPECT_EQ(length + 1, row.call(exact, length)) << row.what << ": no room for the terminator";
    EXPECT_EQ(length, row.call(exact, length + 1)) << row.what;
    EXPECT_STREQ(full, exact) << row.what;
  }
}

// The shell hands out a list from its allocator; the path has no trailing backslash.
TEST(ShellFolders, ResolveToExistingFoldersWithoutATrailingBackslash) {
  LPMALLOC allocator = nullptr;
  ASSERT_EQ(S_OK, SHGetMalloc(&allocator));
  for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAM_FILES}) {
    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, csidl, &list)) << "CSIDL " << csidl;
    ASSERT_NE(nullptr, list);
    char path[MAX_PATH];
    memset(path, 0, sizeof path);
    EXPECT_TRUE(SHGetPathFromIDListA(list, path)) << "CSIDL " << csidl;
    allocator->Free(list);
    size_t length = strlen(path);
    ASSERT_GT(length, 3u) << "CSIDL " << csidl;
    EXPECT_NE('\\', path[length - 1]) << path;
    DWORD attributes = GetFileAttributesA(path);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes) << path;
    EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_DIRECTORY) << path;
  }
  LPITEMIDLIST list = (LPITEMIDLIST)(uintptr_t)1;
  EXPECT_EQ(E_INVALIDARG, SHGetSpecialFolderLocation(nullptr, 0x7777, &list));
  EXPECT_EQ(nullptr, list);
  allocator->Release();
}

// ---- WOW64 file-system redirection -------------------------------------------------------------

bool RunsUnderWow64() {
  typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, PBOOL);
  FARPROC function = GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process");
  if (function == nullptr) return false;
  BOOL wow64 = FALSE;
  reinterpret_cast<IsWow64ProcessFunction>(reinterpret_cast<void*>(function))(GetCurrentProcess(), &wow64);
  return wow64 != FALSE;
}

// With redirection off, the system directory is the native one: a file made there is not seen
// once redirection is back on (the process then sees SysWOW64 under that name).
TEST(Wow64Redirection, SwitchesTheSystemDirectoryBetweenNativeAndSysWow64) {
  PVOID oldValue = nullptr;
  if (!RunsUnderWow64()) {
    EXPECT_FALSE(Wow64DisableWow64FsRedirection(&oldValue)) << "only a WOW64 process can switch";
    return;
  }
  char system[MAX_PATH];
  UINT length = GetSystemDirectoryA(system, sizeof system);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, sizeof system);
  std::string probe = std::string(system) + "\\quillmap-contract.tmp";

  ASSERT_TRUE(Wow64DisableWow64FsRedirection(&oldValue));
  ASSERT_TRUE(WriteWholeFile(probe, "native")) << probe;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(probe.c_str(), &data);
  EXPECT_NE(INVALID_HANDLE_VALUE, search) << "seen with redirection off";
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  ASSERT_TRUE(Wow64RevertWow64FsRedirection(oldValue));

  SetLastError(0xdeadbeef);
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA(probe.c_str(), &data)) << "redirected to SysWOW64";
  EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());

  ASSERT_TRUE(Wow64DisableWow64FsRedirection(&oldValue));
  EXPECT_TRUE(DeleteFileA(probe.c_str())) << "error " << GetLastError();
  EXPECT_TRUE(Wow64RevertWow64FsRedirection(oldValue));
}

}  // namespace
