// The start-up checks of the key and the relocation into TEMP, through WinMain as Windows runs
// the program: refusals, the copy and its start, and the copy that goes on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "files/files.h"
#include "support/case_name.h"
#include "winsim/control.h"

namespace {

const char InstalledExe[] = "C:\\Program Files\\R7-Tastatur\\Uninstall_Quillmap.exe";
const char TempFolder[] = "C:\\Users\\Tester\\AppData\\Local\\Temp\\";
const char TempCopy[] = "C:\\Users\\Tester\\AppData\\Local\\Temp\\Uninstall_Quillmap.exe";
const char Caption[] = "Uninstall_Quillmap";

// Windows-1252 bytes below 0x80 and from 0xA0 on are the same numbers in UTF-16.
std::u16string Wide(const std::string& text) {
  std::u16string wide;
  for (unsigned char c : text) wide += (char16_t)c;
  return wide;
}

class StartUp : public ::testing::Test {
 protected:
  void SetUp() override {
    ShutdownDone = false;
    winsim::AddFile(InstalledExe, "MZ installed uninstaller");
    winsim::SetModuleFileName(InstalledExe);
  }

  int Run(const std::string& arguments, const std::string& module = InstalledExe) {
    winsim::SetModuleFileName(module);
    winsim::SetCommandLine(Wide("\"" + module + "\"" + (arguments.empty() ? "" : " " + arguments)));
    return WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
  }
};

struct Refusal {
  const char* what;
  std::string arguments;
  std::string text;
};

class KeyRefusal : public StartUp, public ::testing::WithParamInterface<Refusal> {};

TEST_P(KeyRefusal, OneUnownedWarningAndNothingElse) {
  const Refusal& r = GetParam();
  EXPECT_EQ(0, Run(r.arguments));
  ASSERT_EQ(1u, winsim::MessageBoxes().size());
  const winsim::MessageBoxRecord& box = winsim::MessageBoxes()[0];
  EXPECT_EQ(r.text, box.text);
  EXPECT_EQ(Caption, box.caption);
  EXPECT_EQ(0x30u, box.style);
  EXPECT_EQ(nullptr, box.owner);
  EXPECT_FALSE(winsim::Exists(TempCopy));
  EXPECT_TRUE(winsim::ProcessStarts().empty());
  EXPECT_TRUE(winsim::Windows().empty());
  EXPECT_TRUE(winsim::CallsNamed("Wow64DisableWow64FsRedirection").empty());
  EXPECT_TRUE(ShutdownDone);
}

const char NoKey[] = "Deinstallationsprogramm nicht mit g\xFCltigem Registry-Key die Tastatur aufgerufen (Angabe fehlt)";
const char BadLength[] = "Deinstallationsprogramm nicht mit g\xFCltigem Registry-Key die Tastatur aufgerufen (L\xE4nge nicht 8 Zeichen):\n";
const char NotGerman[] =
    "Deinstallationsprogramm nicht mit g\xFCltigem Registry-Key die Tastatur aufgerufen (endet nicht in \"0407\", also kein deutsches Layout):\n";
const char Standard[] =
    "Deinstallationsprogramm nicht mit g\xFCltigem Registry-Key die Tastatur aufgerufen (Schl\xFCssel f\xFCr Standardtastatur: nicht deinstallierbar):\n";

INSTANTIATE_TEST_SUITE_P(
    Table, KeyRefusal,
    ::testing::Values(Refusal{"no argument", "", NoKey},
                      Refusal{"two arguments", "a0010407 a0020407", NoKey},
                      Refusal{"four characters", "0407", std::string(BadLength) + "0407"},
                      Refusal{"nine characters", "a00010407", std::string(BadLength) + "a00010407"},
                      Refusal{"argument too long for its slot", std::string(296, 'k') + "0407", BadLength},
                      Refusal{"English layout", "00000409", std::string(NotGerman) + "00000409"},
                      Refusal{"lower-case language part", "a0010c07", std::string(NotGerman) + "a0010c07"},
                      Refusal{"tab inside the key shown as a line break", "a001\t407", std::string(NotGerman) + "a001\r\n407"},
                      Refusal{"standard German layout", "00000407", std::string(Standard) + "00000407"}),
    CaseName<::testing::TestParamInfo<Refusal>>);

TEST_F(StartUp, RelaunchesACopyInTempAndEndsWithoutAWindow) {
  winsim::AddFile(TempCopy, "an older copy");
  EXPECT_EQ(0, Run("a0010407"));
  EXPECT_EQ("MZ installed uninstaller", winsim::Contents(TempCopy));
  EXPECT_EQ((uint32_t)FILE_ATTRIBUTE_ARCHIVE, winsim::Attributes(TempCopy));
  ASSERT_EQ(1u, winsim::ProcessStarts().size());
  const winsim::ProcessStart& start = winsim::ProcessStarts()[0];
  EXPECT_EQ(TempCopy, start.applicationName);
  EXPECT_EQ(std::string("\"") + TempCopy + "\" a0010407", start.commandLine);
  EXPECT_FALSE(start.hasCurrentDirectory);
  EXPECT_TRUE(winsim::MessageBoxes().empty());
  EXPECT_TRUE(winsim::Windows().empty());
  EXPECT_TRUE(winsim::OpenHandles().empty());
  EXPECT_TRUE(ShutdownDone);
}

TEST_F(StartUp, AcceptsAnyEightCharactersEndingInTheGermanLanguage) {
  for (const char* key : {"a0010407", "A0010407", "xyzw0407", "\xE4\xF6\xFC\xDF" "0407"}) {
    winsim::Reset();
    SetUp();
    EXPECT_EQ(0, Run(key));
    EXPECT_TRUE(winsim::MessageBoxes().empty()) << key;
    ASSERT_EQ(1u, winsim::ProcessStarts().size()) << key;
    EXPECT_EQ(std::string("\"") + TempCopy + "\" " + key, winsim::ProcessStarts()[0].commandLine);
  }
}

TEST_F(StartUp, RedirectionIsRestoredOnceOnEveryWayOut) {
  struct Way {
    const char* what;
    void (*inject)();
    size_t boxes;
  };
  const Way ways[] = {
      {"relaunched", [] {}, 0},
      {"copy failed", [] { winsim::FailCall("CopyFileA", TempCopy, ERROR_ACCESS_DENIED); }, 2},
      {"start failed", [] { winsim::FailCall("CreateProcessA", TempCopy, ERROR_ACCESS_DENIED); }, 2},
  };
  for (const Way& way : ways) {
    winsim::Reset();
    SetUp();
    winsim::SetWow64(true);
    way.inject();
    EXPECT_EQ(0, Run("a0010407"));
    EXPECT_EQ(1u, winsim::CallsNamed("Wow64DisableWow64FsRedirection").size()) << way.what;
    EXPECT_EQ(1u, winsim::CallsNamed("Wow64RevertWow64FsRedirection").size()) << way.what;
    EXPECT_FALSE(winsim::FsRedirectionDisabled()) << way.what;
    EXPECT_EQ(way.boxes, winsim::MessageBoxes().size()) << way.what;
  }
}

TEST_F(StartUp, FailedCopyShowsTheCopyReportThenItsOwnWarning) {
  winsim::FailCall("CopyFileA", TempCopy, ERROR_ACCESS_DENIED);
  EXPECT_EQ(0, Run("a0010407"));
  ASSERT_EQ(2u, winsim::MessageBoxes().size());
  const winsim::MessageBoxRecord& report = winsim::MessageBoxes()[0];
  EXPECT_EQ("Tastaturtreiber-Deinstallation", report.caption);
  EXPECT_EQ(0, report.text.find(std::string("Kopieren einer Datei fehlgeschlagen.\n\nQuelle: ") + InstalledExe +
                                "\nZiel: " + TempCopy + "\n\nFehlercode 5"));
  const winsim::MessageBoxRecord& own = winsim::MessageBoxes()[1];
  EXPECT_EQ(Caption, own.caption);
  EXPECT_EQ(0x30u, own.style);
  EXPECT_EQ(
      "Deinstallationsprogramm kann nicht in ein tempor\xE4res Verzeichnis kopiert werden, um sein Original l\xF6schen zu "
      "k\xF6nnen",
      own.text);
  EXPECT_TRUE(winsim::ProcessStarts().empty());
}

TEST_F(StartUp, FailedStartShowsTheLaunchReportThenItsOwnWarning) {
  winsim::FailCall("CreateProcessA", TempCopy, ERROR_ACCESS_DENIED);
  EXPECT_EQ(0, Run("a0010407"));
  ASSERT_EQ(2u, winsim::MessageBoxes().size());
  EXPECT_EQ(0, winsim::MessageBoxes()[0].text.find(std::string("Folgender Programmstart konnte nicht durchgef\xFChrt "
                                                               "werden:\nDatei: ") +
                                                   TempCopy + "\nAusf\xFChren in: <NULL>\nParameter: a0010407\n\nFehlercode 5"));
  EXPECT_EQ(
      "Deinstallationsprogramm kann Kopie im tempor\xE4ren Verzeichnis nicht starten, um sein Original l\xF6schen zu "
      "k\xF6nnen",
      winsim::MessageBoxes()[1].text);
  EXPECT_TRUE(winsim::OpenHandles().empty());
}

TEST_F(StartUp, TempTooLongForTheCopysNameIsReportedLikeAFailedCopy) {
  std::string longTemp = "C:\\" + std::string(246, 't') + "\\";  // 250 characters
  winsim::AddFolder(longTemp);
  winsim::SetTempPath(longTemp);
  EXPECT_EQ(0, Run("a0010407"));
  ASSERT_EQ(1u, winsim::MessageBoxes().size());
  EXPECT_EQ(0, winsim::MessageBoxes()[0].text.find("Deinstallationsprogramm kann nicht in ein tempor\xE4res Verzeichnis"));
  EXPECT_TRUE(winsim::CallsNamed("CopyFileA").empty());
  EXPECT_TRUE(winsim::ProcessStarts().empty());
}

TEST_F(StartUp, TheCopyInTempGoesOnWithItsTitleAndRedirectionStillOff) {
  winsim::SetWow64(true);
  IsWow64 = true;
  // The module path and TEMP differ only in the case of letters.
  winsim::SetModuleFileName("c:\\users\\TESTER\\appdata\\local\\temp\\Uninstall_Quillmap.exe");
  winsim::SetCommandLine(u"\"c:\\users\\TESTER\\appdata\\local\\temp\\Uninstall_Quillmap.exe\" a0010407");
  InitEnvironment();
  EXPECT_TRUE(CheckStartAndRelocate());
  EXPECT_STREQ("a0010407", TargetLayoutKey);
  EXPECT_STREQ("Uninstall_Quillmap V1.06 - Tastaturtreiber-Deinstallation", WindowTitle);
  EXPECT_EQ(TempFolder, winsim::CurrentDirectory());
  EXPECT_TRUE(winsim::CallsNamed("CopyFileA").empty());
  EXPECT_TRUE(winsim::ProcessStarts().empty());
  EXPECT_TRUE(winsim::FsRedirectionDisabled());
  EXPECT_TRUE(winsim::CallsNamed("Wow64RevertWow64FsRedirection").empty());
  RestoreFsRedirection();
  IsWow64 = false;
}

TEST_F(StartUp, LongProgramNameCutsTheTitleInsideItsBuffer) {
  std::string name(240, 'n');
  winsim::AddFolder("C:\\T");
  winsim::SetTempPath("C:\\T\\");
  winsim::SetModuleFileName("C:\\T\\" + name + ".exe");
  winsim::SetCommandLine(Wide("\"C:\\T\\" + name + ".exe\" a0010407"));
  InitEnvironment();
  EXPECT_TRUE(CheckStartAndRelocate());
  EXPECT_EQ(259u, strlen(WindowTitle));
  EXPECT_EQ(0, std::string(WindowTitle).find(name + " V1.06 - Tastatur"));
}

// The installed program and its copy split their command lines by the same rules: the copy must
// find the key it was started with, whole and alone, whatever characters the key holds.
struct Relaunch {
  const char* what;
  std::string argument;     // as Windows passes it to the installed program
  std::string key;          // what both processes take as the key
  std::string parameters;   // what follows the copy's quoted path on its command line
};

class KeyReachesTheCopy : public StartUp, public ::testing::WithParamInterface<Relaunch> {};

TEST_P(KeyReachesTheCopy, AsTheOneArgument) {
  const Relaunch& r = GetParam();
  EXPECT_EQ(0, Run(r.argument));
  EXPECT_TRUE(winsim::MessageBoxes().empty());
  ASSERT_EQ(1u, winsim::ProcessStarts().size());
  const std::string commandLine = winsim::ProcessStarts()[0].commandLine;
  EXPECT_EQ(std::string("\"") + TempCopy + "\" " + r.parameters, commandLine);

  winsim::Reset();
  winsim::SetModuleFileName(TempCopy);
  winsim::SetCommandLine(Wide(commandLine));
  InitEnvironment();
  EXPECT_EQ(1, ArgCount);
  EXPECT_TRUE(CheckStartAndRelocate());
  EXPECT_EQ(r.key, TargetLayoutKey);
  EXPECT_TRUE(winsim::MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeyReachesTheCopy,
    ::testing::Values(Relaunch{"plain key", "a0010407", "a0010407", "a0010407"},
                      Relaunch{"quoted key goes unquoted", "\"a0010407\"", "a0010407", "a0010407"},
                      Relaunch{"quote inside the key", "a0\"10407", "a0\"10407", "a0\"10407"},
                      Relaunch{"blank inside the key goes quoted", "\"a 010407\"", "a 010407", "\"a 010407\""},
                      Relaunch{"leading blank goes quoted", "\" abc0407\"", " abc0407", "\" abc0407\""}),
    CaseName<::testing::TestParamInfo<Relaunch>>);

}  // namespace
