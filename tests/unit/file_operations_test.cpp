// The existence test and the reported file operations: what each leaves on disk, in the status
// line and in warning boxes.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "files/files.h"
#include "support/case_name.h"
#include "ui/ui.h"
#include "winsim/control.h"

namespace {

const char Caption[] = "Tastaturtreiber-Deinstallation";
const UINT WarningStyle = MB_OK | MB_ICONEXCLAMATION;

// The line LastErrorText makes of a code the system has a text for.
std::string SystemError(DWORD code) {
  return "Fehlercode " + std::to_string(code) + ":\n" + winsim::SystemMessage(code);
}

// ---- AppendBackslash and AppendText -------------------------------------------------------------

struct BackslashCase {
  const char* what;
  std::string path;
  size_t bufferSize;
  std::string expected;
};

class AppendBackslashCases : public ::testing::TestWithParam<BackslashCase> {};

// The buffer is a heap block of exactly bufferSize bytes: a write past it stops the test.
TEST_P(AppendBackslashCases, EndsTheFolderPathWithinItsBuffer) {
  const BackslashCase& c = GetParam();
  std::vector<char> buffer(c.bufferSize, 0);
  memcpy(buffer.data(), c.path.c_str(), c.path.size() + 1);
  EXPECT_EQ(buffer.data(), AppendBackslash(buffer.data(), buffer.size()));
  EXPECT_EQ(c.expected, std::string(buffer.data()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, AppendBackslashCases,
    ::testing::Values(
        BackslashCase{"empty path", "", 260, "\\"},
        BackslashCase{"folder", "C:\\Dir", 260, "C:\\Dir\\"},
        BackslashCase{"ends in a backslash", "C:\\Dir\\", 260, "C:\\Dir\\"},
        BackslashCase{"ends in a slash", "C:\\Dir/", 260, "C:\\Dir/"},
        BackslashCase{"drive root", "C:\\", 260, "C:\\"},
        BackslashCase{"room for exactly one more", std::string(258, 'd'), 260, std::string(258, 'd') + "\\"},
        BackslashCase{"no room left is emptied", std::string(259, 'd'), 260, ""},
        BackslashCase{"full but already ended", std::string(258, 'd') + "\\", 260, std::string(258, 'd') + "\\"}),
    CaseName<::testing::TestParamInfo<BackslashCase>>);

TEST(AppendText, AppendsOnlyWhatFitsWhole) {
  std::vector<char> buffer(10, 0);
  memcpy(buffer.data(), "C:\\x\\", 6);
  EXPECT_TRUE(AppendText(buffer.data(), buffer.size(), "abcd"));  // 9 characters and terminator
  EXPECT_STREQ("C:\\x\\abcd", buffer.data());
  EXPECT_FALSE(AppendText(buffer.data(), buffer.size(), "e"));
  EXPECT_STREQ("C:\\x\\abcd", buffer.data()) << "left as it was";
}

// ---- FindFileInfo -------------------------------------------------------------------------------

struct LookupCase {
  const char* what;
  const char* path;
  bool found;
};

class FindFileInfoCases : public ::testing::TestWithParam<LookupCase> {
 protected:
  void SetUp() override {
    winsim::AddFile("C:\\Windows\\system32\\Quillmap.DLL", "MZ");
    winsim::AddFile("C:\\Windows\\system32\\locked.dll", "MZ",
                    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    winsim::AddFolder("C:\\Program Files\\R7-Tastatur");
  }
};

TEST_P(FindFileInfoCases, AnswersWhetherAnEntryIsThereAndKeepsNoSearchOpen) {
  const LookupCase& c = GetParam();
  StatusLine[0] = 0;
  EXPECT_EQ(c.found, FindFileInfo(c.path, &FileInfo));
  EXPECT_TRUE(winsim::OpenHandles().empty());
  EXPECT_TRUE(winsim::MessageBoxes().empty());
  EXPECT_STREQ("", StatusLine);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FindFileInfoCases,
    ::testing::Values(
        LookupCase{"existing file", "C:\\Windows\\system32\\Quillmap.DLL", true},
        LookupCase{"other case of letters", "c:\\WINDOWS\\System32\\quillmap.dll", true},
        LookupCase{"read-only hidden system file", "C:\\Windows\\system32\\locked.dll", true},
        LookupCase{"folder", "C:\\Program Files\\R7-Tastatur", true},
        LookupCase{"missing file", "C:\\Windows\\system32\\missing.dll", false},
        LookupCase{"missing folder", "C:\\Windows\\nowhere\\Quillmap.DLL", false},
        LookupCase{"empty path", "", false}),
    CaseName<::testing::TestParamInfo<LookupCase>>);

// ---- The reported operations --------------------------------------------------------------------

class ReportedOperations : public ::testing::Test {
 protected:
  void SetUp() override { StatusLine[0] = 0; }
};

TEST_F(ReportedOperations, DeletingAMissingFileCountsAsDoneAndShowsNothing) {
  EXPECT_TRUE(DeleteFileReported("C:\\Windows\\system32\\Quillmap.DLL"));
  EXPECT_TRUE(DeleteFileReported("C:\\nowhere\\Quillmap.DLL"));
  EXPECT_STREQ("", StatusLine);
  EXPECT_TRUE(winsim::MessageBoxes().empty());
  EXPECT_TRUE(winsim::CallsNamed("DeleteFileA").empty());
}

TEST_F(ReportedOperations, DeletingAnExistingFileShowsWhatIsDeleted) {
  const char path[] = "C:\\Program Files\\R7-Tastatur\\Tastaturbelegung R7 Schaubild.pdf";
  winsim::AddFile(path, "%PDF");
  EXPECT_TRUE(DeleteFileReported(path));
  EXPECT_FALSE(winsim::Exists(path));
  EXPECT_EQ(std::string("L\xF6sche ") + path + " ...", StatusLine);
  EXPECT_TRUE(winsim::MessageBoxes().empty());
  EXPECT_TRUE(winsim::OpenHandles().empty());
}

struct DeleteFailure {
  const char* what;
  uint32_t attributes;
  bool inUse;
  bool folder;
  DWORD error;
};

class DeleteFailures : public ::testing::TestWithParam<DeleteFailure> {};

// The file stays as it was; the warning names it and gives the system's reason.
TEST_P(DeleteFailures, ShowTheStatusThenTheWarningAndReturnFalse) {
  const DeleteFailure& c = GetParam();
  const std::string path = "C:\\Windows\\system32\\Quillmap.DLL";
  StatusLine[0] = 0;
  if (c.folder) {
    winsim::AddFolder(path);
  } else {
    winsim::AddFile(path, "MZ", c.attributes);
    winsim::SetFileInUse(path, c.inUse);
  }
  EXPECT_FALSE(DeleteFileReported(path.c_str()));

  EXPECT_TRUE(winsim::Exists(path));
  EXPECT_EQ("L\xF6sche " + path + " ...", StatusLine);
  ASSERT_EQ(1u, winsim::MessageBoxes().size());
  const winsim::MessageBoxRecord& box = winsim::MessageBoxes()[0];
  EXPECT_EQ(Caption, box.caption);
  EXPECT_EQ(WarningStyle, box.style);
  EXPECT_EQ("Folgende Datei kann nicht gel\xF6scht werden:\n" + path + "\n\n" + SystemError(c.error), box.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeleteFailures,
    ::testing::Values(
        DeleteFailure{"read-only file", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, false, false, ERROR_ACCESS_DENIED},
        DeleteFailure{"file in use", FILE_ATTRIBUTE_ARCHIVE, true, false, ERROR_SHARING_VIOLATION},
        DeleteFailure{"folder under the file's name", 0, false, true, ERROR_ACCESS_DENIED}),
    CaseName<::testing::TestParamInfo<DeleteFailure>>);

TEST_F(ReportedOperations, CopyReplacesTheTargetAndLeavesItOnlyTheArchiveAttribute) {
  const char source[] = "C:\\Program Files\\R7-Tastatur\\Uninstall_Quillmap.exe";
  const char target[] = "C:\\Users\\Tester\\AppData\\Local\\Temp\\Uninstall_Quillmap.exe";
  const uint32_t sourceAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  winsim::AddFile(source, "MZ new", sourceAttributes);
  winsim::AddFile(target, "MZ old copy");

  EXPECT_TRUE(CopyFileReported(source, target));
  EXPECT_EQ("MZ new", winsim::Contents(target));
  EXPECT_EQ((uint32_t)FILE_ATTRIBUTE_ARCHIVE, winsim::Attributes(target));
  EXPECT_EQ(sourceAttributes, winsim::Attributes(source)) << "the source is not touched";
  EXPECT_EQ(std::vector<std::string>{std::string("CopyFileA(") + source + ", " + target + ", 0)"},
            winsim::CallsNamed("CopyFileA"));
  EXPECT_TRUE(winsim::MessageBoxes().empty());
  EXPECT_STREQ("", StatusLine) << "a copy shows no status text";
}

TEST_F(ReportedOperations, CopyIntoAMissingFolderWarnsWithBothPaths) {
  const char source[] = "C:\\Program Files\\R7-Tastatur\\Uninstall_Quillmap.exe";
  const char target[] = "C:\\Users\\Tester\\AppData\\Local\\Gone\\Uninstall_Quillmap.exe";
  winsim::AddFile(source, "MZ");

  EXPECT_FALSE(CopyFileReported(source, target));
  EXPECT_FALSE(winsim::Exists(target));
  EXPECT_TRUE(winsim::CallsNamed("SetFileAttributesA").empty());
  ASSERT_EQ(1u, winsim::MessageBoxes().size());
  const winsim::MessageBoxRecord& box = winsim::MessageBoxes()[0];
  EXPECT_EQ(Caption, box.caption);
  EXPECT_EQ(WarningStyle, box.style);
  EXPECT_EQ(std::string("Kopieren einer Datei fehlgeschlagen.\n\nQuelle: ") + source + "\nZiel: " + target +
                "\n\n" + SystemError(ERROR_PATH_NOT_FOUND),
            box.text);
  EXPECT_STREQ("", StatusLine);
}

TEST_F(ReportedOperations, RemovingAnEmptyFolderShowsWhatIsRemoved) {
  const char folder[] = "C:\\Program Files\\R7-Tastatur";
  winsim::AddFolder(folder);
  EXPECT_TRUE(RemoveDirectoryReported(folder));
  EXPECT_FALSE(winsim::Exists(folder));
  EXPECT_EQ(std::string("L\xF6sche Verzeichnis ") + folder + " ...", StatusLine);
  EXPECT_TRUE(winsim::MessageBoxes().empty());
}

struct RemoveFailure {
  const char* what;
  bool holdsAFile;
  DWORD error;
};

class RemoveFailures : public ::testing::TestWithParam<RemoveFailure> {};

TEST_P(RemoveFailures, ShowTheStatusThenTheWarningAndReturnFalse) {
  const RemoveFailure& c = GetParam();
  const std::string folder = "C:\\Program Files\\R7-Tastatur";
  StatusLine[0] = 0;
  if (c.holdsAFile) winsim::AddFile(folder + "\\Notizen.txt", "mine");
  EXPECT_FALSE(RemoveDirectoryReported(folder.c_str()));

  if (c.holdsAFile) {
    EXPECT_EQ("mine", winsim::Contents(folder + "\\Notizen.txt"));
  }
  EXPECT_EQ("L\xF6sche Verzeichnis " + folder + " ...", StatusLine);
  ASSERT_EQ(1u, winsim::MessageBoxes().size());
  const winsim::MessageBoxRecord& box = winsim::MessageBoxes()[0];
  EXPECT_EQ(Caption, box.caption);
  EXPECT_EQ(WarningStyle, box.style);
  EXPECT_EQ("Folgendes Verzeichnis kann nicht gel\xF6scht werden:\n" + folder + "\n\n" + SystemError(c.error),
            box.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RemoveFailures,
    ::testing::Values(RemoveFailure{"folder holding a file", true, ERROR_DIR_NOT_EMPTY},
                      RemoveFailure{"missing folder", false, ERROR_FILE_NOT_FOUND}),
    CaseName<::testing::TestParamInfo<RemoveFailure>>);

}  // namespace
