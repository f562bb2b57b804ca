// The system folders, the product folder and WOW64 redirection; the shell's special folders and
// the desktop shortcut.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "files/files.h"
#include "support/case_name.h"
#include "ui/ui.h"
#include "winsim/control.h"

namespace {

// Every folder starts out holding a canary text, so that a test sees what was written.
class SystemFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    IsWow64 = false;
    FsRedirectionOldValue = nullptr;
    for (char* folder : {SystemDir, SystemWow64Dir, InstallDir}) snprintf(folder, 260, "%s", "untouched");
  }
  void TearDown() override { IsWow64 = false; }

  void RunAsWow64() {
    winsim::SetWow64(true);
    IsWow64 = true;
    SystemWow64Dir[0] = 0;
  }
};

TEST_F(SystemFolders, WithoutWow64NoRedirectionCallIsMade) {
  SystemWow64Dir[0] = 0;
  LocateSystemFolders();
  RestoreFsRedirection();
  EXPECT_STREQ("C:\\Windows\\system32\\", SystemDir);
  EXPECT_STREQ("", SystemWow64Dir);
  EXPECT_STREQ("C:\\Program Files\\R7-Tastatur", InstallDir);
  EXPECT_TRUE(winsim::CallsNamed("Wow64DisableWow64FsRedirection").empty());
  EXPECT_TRUE(winsim::CallsNamed("Wow64RevertWow64FsRedirection").empty());
  EXPECT_TRUE(winsim::CallsNamed("GetSystemWow64DirectoryA").empty());
}

TEST_F(SystemFolders, WithoutWow64TheSysWow64FolderIsNotTouched) {
  LocateSystemFolders();
  EXPECT_STREQ("untouched", SystemWow64Dir);
}

// Redirection goes off before the folders are asked for, once, and comes back with the value
// that switching it off handed out.
TEST_F(SystemFolders, UnderWow64RedirectionIsSwitchedOffOnceAndRevertedOnce) {
  RunAsWow64();
  LocateSystemFolders();
  EXPECT_TRUE(winsim::FsRedirectionDisabled());
  EXPECT_STREQ("C:\\Windows\\system32\\", SystemDir);
  EXPECT_STREQ("C:\\Windows\\SysWOW64\\", SystemWow64Dir);
  EXPECT_STREQ("C:\\Program Files\\R7-Tastatur", InstallDir);
  ASSERT_GE(winsim::Calls().size(), 2u);
  EXPECT_EQ("Wow64DisableWow64FsRedirection()", winsim::Calls()[0]);
  EXPECT_EQ("GetSystemDirectoryA(260)", winsim::Calls()[1]);
  const void* handedOut = winsim::FsRedirectionValueHandedOut();
  ASSERT_NE(nullptr, handedOut);

  RestoreFsRedirection();
  EXPECT_FALSE(winsim::FsRedirectionDisabled());
  EXPECT_EQ(1u, winsim::CallsNamed("Wow64DisableWow64FsRedirection").size());
  char expected[64];
  snprintf(expected, sizeof expected, "Wow64RevertWow64FsRedirection(0x%lx)", (unsigned long)(uintptr_t)handedOut);
  EXPECT_EQ(std::vector<std::string>{expected}, winsim::CallsNamed("Wow64RevertWow64FsRedirection"));
}

TEST_F(SystemFolders, UnderWow64SystemDirReachesTheNativeFolderUntilRedirectionReturns) {
  RunAsWow64();
  winsim::AddFile("C:\\Windows\\system32\\Quillmap.DLL", "MZ native");
  LocateSystemFolders();
  std::string driver = std::string(SystemDir) + "Quillmap.DLL";
  EXPECT_TRUE(FindFileInfo(driver.c_str(), &FileInfo));
  RestoreFsRedirection();
  EXPECT_FALSE(FindFileInfo(driver.c_str(), &FileInfo)) << "SysWOW64 holds no driver";
}

struct FolderCase {
  const char* what;
  std::string systemDirectory;
  std::string wow64Directory;
  std::string programFiles;
  std::string windowsDirectory;  // used when the shell does not know Program Files
  bool shellKnowsProgramFiles;
  std::string systemDir;
  std::string systemWow64Dir;
  std::string installDir;
};

class FolderCases : public SystemFolders, public ::testing::WithParamInterface<FolderCase> {};

// Run under WOW64, so that all three folders are filled. The folder buffers are globals that
// AddressSanitizer guards: a write past any of them stops the test.
TEST_P(FolderCases, FillsEachFolderOrLeavesItEmpty) {
  const FolderCase& c = GetParam();
  RunAsWow64();
  winsim::SetSystemDirectory(c.systemDirectory);
  winsim::SetSystemWow64Directory(c.wow64Directory);
  winsim::SetSpecialFolder(CSIDL_PROGRAM_FILES, c.programFiles);
  winsim::SetWindowsDirectory(c.windowsDirectory);
  if (!c.shellKnowsProgramFiles) winsim::FailCall("SHGetSpecialFolderLocation", "38", (uint32_t)E_FAIL);

  LocateSystemFolders();
  EXPECT_EQ(c.systemDir, SystemDir);
  EXPECT_EQ(c.systemWow64Dir, SystemWow64Dir);
  EXPECT_EQ(c.installDir, InstallDir);
  winsim::ShellAllocatorUse shell = winsim::ShellAllocator();
  EXPECT_EQ(1, shell.taken);
  EXPECT_EQ(1, shell.released);
  EXPECT_EQ(0, shell.liveLists);
  EXPECT_EQ(0, shell.strayFrees);
}

std::string Long(const std::string& start, size_t length) {
  return start + std::string(length - start.size(), 'x');
}

INSTANTIATE_TEST_SUITE_P(
    Table, FolderCases,
    ::testing::Values(
        FolderCase{"usual folders", "C:\\WINDOWS\\system32", "C:\\WINDOWS\\SysWOW64", "C:\\Programme", "C:\\WINDOWS",
                   true, "C:\\WINDOWS\\system32\\", "C:\\WINDOWS\\SysWOW64\\", "C:\\Programme\\R7-Tastatur"},
        FolderCase{"drive roots", "D:\\", "E:\\", "F:\\", "C:\\WINDOWS", true, "D:\\", "E:\\", "F:\\R7-Tastatur"},
        FolderCase{"Programme under the Windows folder", "C:\\W\\system32", "C:\\W\\SysWOW64", "C:\\Programme",
                   "C:\\WINNT", false, "C:\\W\\system32\\", "C:\\W\\SysWOW64\\", "C:\\WINNT\\Programme\\R7-Tastatur"},
        FolderCase{"Programme under a Windows folder at the root", "C:\\W\\system32", "C:\\W\\SysWOW64",
                   "C:\\Programme", "C:\\", false, "C:\\W\\system32\\", "C:\\W\\SysWOW64\\",
                   "C:\\Programme\\R7-Tastatur"},
        FolderCase{"258 characters take the backslash", Long("C:\\S", 258), Long("C:\\W", 258), "C:\\P",
                   "C:\\WINDOWS", true, Long("C:\\S", 258) + "\\", Long("C:\\W", 258) + "\\", "C:\\P\\R7-Tastatur"},
        FolderCase{"259 characters leave no room for the backslash", Long("C:\\S", 259), Long("C:\\W", 259), "C:\\P",
                   "C:\\WINDOWS", true, "", "", "C:\\P\\R7-Tastatur"},
        FolderCase{"folders beyond the path limit", Long("C:\\S", 300), Long("C:\\W", 300), "C:\\P", "C:\\WINDOWS",
                   true, "", "", "C:\\P\\R7-Tastatur"},
        FolderCase{"product folder fits exactly", "C:\\S", "C:\\W", Long("C:\\P", 247), "C:\\WINDOWS", true,
                   "C:\\S\\", "C:\\W\\", Long("C:\\P", 247) + "\\R7-Tastatur"},
        FolderCase{"product folder one too long", "C:\\S", "C:\\W", Long("C:\\P", 248), "C:\\WINDOWS", true,
                   "C:\\S\\", "C:\\W\\", ""},
        FolderCase{"shell gives no path for Program Files", "C:\\S", "C:\\W", Long("C:\\P", 260), "C:\\WINDOWS",
                   true, "C:\\S\\", "C:\\W\\", ""},
        FolderCase{"fallback fits exactly", "C:\\S", "C:\\W", "", Long("C:\\V", 237), false, "C:\\S\\", "C:\\W\\",
                   Long("C:\\V", 237) + "\\Programme\\R7-Tastatur"},
        FolderCase{"fallback one too long", "C:\\S", "C:\\W", "", Long("C:\\V", 238), false, "C:\\S\\", "C:\\W\\",
                   ""},
        FolderCase{"Windows folder beyond the path limit", "C:\\S", "C:\\W", "", Long("C:\\V", 400), false,
                   "C:\\S\\", "C:\\W\\", ""}),
    CaseName<::testing::TestParamInfo<FolderCase>>);

// A folder the platform did not deliver stays empty: never a lone backslash, which would name
// the root of the current drive.
TEST_F(SystemFolders, FoldersThePlatformDoesNotDeliverStayEmpty) {
  RunAsWow64();
  winsim::FailCall("GetSystemDirectoryA", "*", ERROR_NOT_ENOUGH_MEMORY);
  winsim::FailCall("GetSystemWow64DirectoryA", "*", ERROR_NOT_ENOUGH_MEMORY);
  winsim::FailCall("SHGetSpecialFolderLocation", "38", (uint32_t)E_FAIL);
  winsim::FailCall("GetWindowsDirectoryA", "*", ERROR_NOT_ENOUGH_MEMORY);
  LocateSystemFolders();
  EXPECT_STREQ("", SystemDir);
  EXPECT_STREQ("", SystemWow64Dir);
  EXPECT_STREQ("", InstallDir);
}

// ---- LookupSpecialFolder ------------------------------------------------------------------------

TEST(LookupSpecialFolder, GivesTheShellsPathAndReturnsTheList) {
  char path[260];
  memset(path, 'Z', sizeof path);
  EXPECT_TRUE(LookupSpecialFolder(path, CSIDL_PROGRAM_FILES));
  EXPECT_STREQ("C:\\Program Files", path);
  EXPECT_EQ(std::vector<std::string>{"SHGetSpecialFolderLocation(0x0, 38)"},
            winsim::CallsNamed("SHGetSpecialFolderLocation"));
  winsim::ShellAllocatorUse shell = winsim::ShellAllocator();
  EXPECT_EQ(1, shell.taken);
  EXPECT_EQ(1, shell.released);
  EXPECT_EQ(0, shell.liveLists);
}

TEST(LookupSpecialFolder, AFailedLookupIsFalseWithAnEmptyPathAndTheAllocatorReleased) {
  winsim::FailCall("SHGetSpecialFolderLocation", "38", (uint32_t)E_FAIL);
  char path[260];
  memset(path, 'Z', sizeof path);
  EXPECT_FALSE(LookupSpecialFolder(path, CSIDL_PROGRAM_FILES));
  EXPECT_STREQ("", path);
  EXPECT_TRUE(winsim::CallsNamed("IMalloc::Free").empty());
  winsim::ShellAllocatorUse shell = winsim::ShellAllocator();
  EXPECT_EQ(1, shell.taken);
  EXPECT_EQ(1, shell.released);
}

// Without the shell's allocator the list could not be given back: no lookup is made.
TEST(LookupSpecialFolder, WithoutTheAllocatorNothingIsLookedUp) {
  winsim::FailCall("SHGetMalloc", "*", (uint32_t)E_FAIL);
  char path[260];
  memset(path, 'Z', sizeof path);
  EXPECT_FALSE(LookupSpecialFolder(path, CSIDL_PROGRAM_FILES));
  EXPECT_STREQ("", path);
  EXPECT_TRUE(winsim::CallsNamed("SHGetSpecialFolderLocation").empty());
}

// ---- DeleteShortcut -------------------------------------------------------------------------------

class DeleteShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override { StatusLine[0] = 0; }
  const HWND owner = (HWND)(uintptr_t)0x4242;
  const std::string desktop = "C:\\Users\\Tester\\Desktop";
  const std::string shortcut = desktop + "\\Tastaturbelegung R7 Schaubild.LNK";

  void ExpectShellAllocatorBalanced() {
    winsim::ShellAllocatorUse shell = winsim::ShellAllocator();
    EXPECT_EQ(1, shell.taken);
    EXPECT_EQ(1, shell.released);
    EXPECT_EQ(0, shell.liveLists);
    EXPECT_EQ(0, shell.strayFrees);
  }
};

TEST_F(DeleteShortcutTest, DeletesTheNamedShortcutOnTheUsersDesktop) {
  winsim::AddFile(shortcut, "link");
  winsim::AddFile(desktop + "\\Tastaturbelegung R7 Schaubild.pdf", "keep");
  EXPECT_TRUE(DeleteShortcut(owner, "Tastaturbelegung R7 Schaubild"));
  EXPECT_FALSE(winsim::Exists(shortcut));
  EXPECT_TRUE(winsim::Exists(desktop + "\\Tastaturbelegung R7 Schaubild.pdf"));
  EXPECT_EQ(std::vector<std::string>{"DeleteFileA(" + shortcut + ")"}, winsim::CallsNamed("DeleteFileA"));
  EXPECT_EQ(std::vector<std::string>{"SHGetSpecialFolderLocation(0x4242, 16)"},
            winsim::CallsNamed("SHGetSpecialFolderLocation"));
  ExpectShellAllocatorBalanced();
}

TEST_F(DeleteShortcutTest, ADesktopAtADriveRootGetsNoSecondBackslash) {
  winsim::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, "D:\\");
  winsim::AddFile("D:\\Tastaturbelegung R7 Schaubild.LNK", "link");
  EXPECT_TRUE(DeleteShortcut(owner, "Tastaturbelegung R7 Schaubild"));
  EXPECT_EQ(std::vector<std::string>{"DeleteFileA(D:\\Tastaturbelegung R7 Schaubild.LNK)"},
            winsim::CallsNamed("DeleteFileA"));
}

TEST_F(DeleteShortcutTest, AMissingShortcutIsFalseAndShowsNothing) {
  EXPECT_FALSE(DeleteShortcut(owner, "Tastaturbelegung R7 Schaubild"));
  EXPECT_EQ(std::vector<std::string>{"DeleteFileA(" + shortcut + ")"}, winsim::CallsNamed("DeleteFileA"));
  EXPECT_TRUE(winsim::MessageBoxes().empty());
  EXPECT_STREQ("", StatusLine);
  ExpectShellAllocatorBalanced();
}

TEST_F(DeleteShortcutTest, AFailedShellLookupIsFalseAndDeletesNothing) {
  winsim::AddFile(shortcut, "link");
  winsim::FailCall("SHGetSpecialFolderLocation", "16", (uint32_t)E_FAIL);
  EXPECT_FALSE(DeleteShortcut(owner, "Tastaturbelegung R7 Schaubild"));
  EXPECT_TRUE(winsim::Exists(shortcut));
  EXPECT_TRUE(winsim::CallsNamed("DeleteFileA").empty());
  EXPECT_TRUE(winsim::MessageBoxes().empty());
  ExpectShellAllocatorBalanced();
}

// Without a desktop path, or when the shortcut's path would not fit, nothing is deleted: the
// bare name would be a file in the current folder, a cut one another file.
TEST_F(DeleteShortcutTest, NoDesktopPathOrNoRoomMeansNothingIsDeleted) {
  struct Row {
    const char* what;
    std::string desktopPath;
    bool pathDelivered;
  } rows[] = {
      {"the shell gives no path", desktop, false},
      {"desktop beyond the path limit", Long("C:\\D", 260), true},
      {"name one character too long", Long("C:\\D", 259 - 34 + 1), true},
  };
  for (const Row& row : rows) {
    winsim::Reset();
    winsim::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, row.desktopPath);
    if (!row.pathDelivered) winsim::FailCall("SHGetPathFromIDListA", "16", 0);
    EXPECT_FALSE(DeleteShortcut(owner, "Tastaturbelegung R7 Schaubild")) << row.what;
    EXPECT_TRUE(winsim::CallsNamed("DeleteFileA").empty()) << row.what;
    EXPECT_EQ(0, winsim::ShellAllocator().liveLists) << row.what;
    EXPECT_EQ(1, winsim::ShellAllocator().released) << row.what;
  }
  // One character shorter fits: 225 + backslash + 29 + 4 = 259 characters.
  winsim::Reset();
  std::string fits = Long("C:\\D", 259 - 34);
  winsim::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, fits);
  EXPECT_FALSE(DeleteShortcut(owner, "Tastaturbelegung R7 Schaubild"));
  EXPECT_EQ(std::vector<std::string>{"DeleteFileA(" + fits + "\\Tastaturbelegung R7 Schaubild.LNK)"},
            winsim::CallsNamed("DeleteFileA"));
}

}  // namespace
