// The whole uninstall in the copy running from TEMP, over a staged installation: the safety
// checks, the question, the removal in its order, and every failure on the way, with the boxes
// shown and what is left on the machine afterwards.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "support/installation.h"
#include "winsim/control.h"

namespace {

using namespace installation;

struct Box {
  UINT style;
  std::string caption;
  std::string text;  // the whole text; for a report that ends in a system text, up to its code line
  bool prefix = false;
};

Box Confirmation() {
  return {0x24, Caption, std::string("Soll folgender Tastatur-Treiber deinstalliert werden?\n\n") + Layout};
}
Box Done() { return {0x40, Caption, std::string("Folgender Tastatur-Treiber wurde deinstalliert:\n") + Layout}; }
Box FileReport(const std::string& firstLine, const std::string& path, int code) {
  return {0x30, FileCaption, firstLine + "\n" + path + "\n\nFehlercode " + std::to_string(code), true};
}

class Uninstall : public ::testing::Test {
 protected:
  void SetUp() override { Stage(); }

  void Run() {
    EXPECT_EQ(0, RunProgram(TempCopy, u"\"C:\\Users\\Tester\\AppData\\Local\\Temp\\Uninstall_Quillmap.exe\" a0010407"));
  }

  void ExpectBoxes(const std::vector<Box>& expected, const char* what) {
    const std::vector<winsim::MessageBoxRecord>& boxes = winsim::MessageBoxes();
    ASSERT_EQ(expected.size(), boxes.size()) << what;
    for (size_t i = 0; i < boxes.size(); ++i) {
      EXPECT_EQ(expected[i].style, boxes[i].style) << what << ", box " << i;
      EXPECT_EQ(expected[i].caption, boxes[i].caption) << what << ", box " << i;
      if (expected[i].prefix)
        EXPECT_EQ(expected[i].text, boxes[i].text.substr(0, expected[i].text.size())) << what << ", box " << i;
      else
        EXPECT_EQ(expected[i].text, boxes[i].text) << what << ", box " << i;
      EXPECT_NE(nullptr, boxes[i].owner) << what << ", box " << i;
      EXPECT_EQ(StatusWindowHandle, boxes[i].owner) << what << ", box " << i;
    }
  }

  // Every path out of the uninstall restores redirection once, releases what it took and
  // leaves no handle open.
  void ExpectCleanEnd(const char* what) {
    EXPECT_EQ(1u, winsim::CallsNamed("Wow64DisableWow64FsRedirection").size()) << what;
    EXPECT_EQ(1u, winsim::CallsNamed("Wow64RevertWow64FsRedirection").size()) << what;
    EXPECT_TRUE(winsim::OpenHandles().empty()) << what;
    EXPECT_TRUE(winsim::OpenKeyHandles().empty()) << what;
    EXPECT_TRUE(ShutdownDone) << what;
  }
};

// ---- Refusals and stops before anything changes ----------------------------------------------

struct Stop {
  const char* what;
  std::function<void()> arrange;
  std::vector<int> answers;
  std::vector<Box> boxes;
};

TEST_F(Uninstall, StopsBeforeAnyChange) {
  const std::string treiber = std::string("Treiber: ") + Layout + "Key: a0010407\n";
  const Stop stops[] = {
      {"user's Substitutes key cannot be read",
       [] { winsim::FailCall("RegOpenKeyExA", Substitutes, ERROR_ACCESS_DENIED); },
       {},
       {{0x30, Caption, "Fehler beim \xD6" "ffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Substitutes"}}},
      {"key not installed",
       [] { winsim::RemoveRegistryKey(TargetKey); },
       {},
       {{0x30, Caption,
         "Der Registry-Key des zu deinstallierenden Tastaturtreibers wurde nicht gefunden.\n" + treiber + "DLL: Quillmap.DLL"}}},
      {"layout key without Layout File",
       [] {
         winsim::RemoveRegistryKey(TargetKey);
         winsim::SetRegistryString(TargetKey, "Layout Text", Layout);
       },
       {},
       {{0x30, Caption,
         "Der Registry-Key des zu deinstallierenden Tastaturtreibers enth\xE4lt keine Treiberdatei-Angabe.\n" + treiber +
             "DLL: Quillmap.DLL"}}},
      {"another driver in Layout File",
       [] { winsim::SetRegistryString(TargetKey, "Layout File", "kbdother.dll"); },
       {},
       {{0x30, Caption,
         "Der Registry-Key des zu deinstallierenden Tastaturtreibers enth\xE4lt eine andere Treiberdatei-Angabe als zum "
         "Zeitpunkt der Installation.\nAus Sicherheitsgr\xFCnden wird daher die Deinstallation jetzt nicht durchgef\xFChrt.\n" +
             treiber + "DLL bei Installation: Quillmap.DLL\nDLL jetzt: kbdother.dll"}}},
      {"the user's only layout",
       [] {
         winsim::RemoveRegistryKey(Preload);
         winsim::SetRegistryString(Preload, "1", "d0010407");
       },
       {},
       {{0x30, Caption,
         "In den Windows-Spracheinstellungen ist die zu deinstallierende Tastaturbelegung derzeit als einzig ausw\xE4hlbare "
         "Belegung hinterlegt.\nBitte W\xE4hlen Sie dort erst eine andere Tastaturbelegung, bevor Sie die hier gew\xE4hlte "
         "deinstallieren."}}},
      {"No at the confirmation", [] {}, {IDNO}, {Confirmation(), {0x40, Caption, "Deinstallation abgebrochen."}}},
      {"driver file in use",
       [] { winsim::SetFileInUse(SystemDriver, true); },
       {},
       {Confirmation(), FileReport("Folgende Datei kann nicht gel\xF6scht werden:", SystemDriver, 32),
        {0x40, Caption,
         std::string("Fehler bei Deinstallation von ") + Layout +
             ":\nFolgende Treiberdatei konnte nicht gel\xF6scht werden:\n  " + SystemDriver}}},
      {"driver file missing, answered No",
       [] { DeleteFileA(SystemDriver); },
       {IDYES, IDNO},
       {Confirmation(),
        {0x24, Caption,
         std::string("Problem bei Deinstallation von ") + Layout + ":\nTreiberdatei nicht (mehr) vorhanden:\n  " +
             SystemDriver + "\n\nTrotzdem fortfahren?"}}},
  };
  for (const Stop& stop : stops) {
    winsim::Reset();
    SetUp();
    stop.arrange();
    winsim::ClearCalls();
    std::string registryBefore = RegistryState();
    std::vector<std::string> filesBefore;
    for (const std::string& file : StagedFiles())
      if (winsim::Exists(file)) filesBefore.push_back(file);
    for (int answer : stop.answers) winsim::QueueMessageBoxAnswer(answer);
    winsim::SetWow64(true);
    Run();
    ExpectBoxes(stop.boxes, stop.what);
    EXPECT_EQ(registryBefore, RegistryState()) << stop.what;
    for (const std::string& file : filesBefore) EXPECT_TRUE(winsim::Exists(file)) << stop.what << ": " << file;
    EXPECT_TRUE(winsim::PendingDeletes().empty()) << stop.what;
    ExpectCleanEnd(stop.what);
  }
}

// ---- Runs that go on to the end --------------------------------------------------------------

// What a run leaves of the staged installation; by default a complete uninstall leaves nothing
// but the TEMP copy, scheduled for deletion at the next restart.
struct Remains {
  std::vector<std::string> files;
  bool targetKey = false;
  bool preloadUntouched = false;
  bool entry = false;
  bool scheduled = true;
};

struct GoesOn {
  const char* what;
  std::function<void()> arrange;
  std::vector<int> answers;
  std::vector<Box> boxes;
  Remains remains;
  bool wow64 = true;
};

Box Info(const std::string& text) { return {0x40, Caption, text}; }
Box Warning(const std::string& text) { return {0x30, Caption, text}; }
std::string Von() { return std::string(" bei Deinstallation von ") + Layout + ":\n"; }

TEST_F(Uninstall, GoesOnToTheEnd) {
  const std::string pdf = ProductFile(1);
  const GoesOn runs[] = {
      {"complete run on 64-bit Windows", [] {}, {}, {Confirmation(), Done()}, {}},
      {"complete run on 32-bit Windows leaves SysWOW64 alone", [] {}, {}, {Confirmation(), Done()}, {{Wow64Driver}}, false},
      {"Layout File in small letters", [] { winsim::SetRegistryString(TargetKey, "Layout File", "quillmap.dll"); }, {},
       {Confirmation(), Done()}, {}},
      {"driver file missing, answered Yes", [] { DeleteFileA(SystemDriver); }, {IDYES, IDYES},
       {Confirmation(),
        {0x24, Caption,
         "Problem" + Von() + "Treiberdatei nicht (mehr) vorhanden:\n  " + SystemDriver + "\n\nTrotzdem fortfahren?"},
        Done()},
       {}},
      {"SysWOW64 copy missing", [] { DeleteFileA(Wow64Driver); }, {}, {Confirmation(), Done()}, {}},
      {"SysWOW64 copy in use", [] { winsim::SetFileInUse(Wow64Driver, true); }, {}, {Confirmation(), Done()},
       {{Wow64Driver}}},
      {"user lists cannot be rewritten",
       [] { winsim::FailCall("RegDeleteKeyA", Preload, ERROR_ACCESS_DENIED); },
       {},
       {Confirmation(),
        Info("Warnung" + Von() +
             "Problem bei Registry-Key-Update:\n  Warnung:\nFehler beim L\xF6schen des Registry-Keys Keyboard Layout - Preload"),
        Done()},
       {{}, false, true}},
      {"Keyboard Layouts key cannot be opened for the deletion",
       [] { winsim::FailCall("RegOpenKeyExA", Layouts, ERROR_ACCESS_DENIED, -1, 1); },
       {},
       {Confirmation(),
        Warning("Warnung:\nFehler beim \xD6" "ffnen des Registry-Keys HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Keyboard Layouts"),
        Done()},
       {{}, true}},
      {"machine layout key cannot be deleted",
       [] { winsim::FailCall("RegDeleteKeyA", TargetKey, ERROR_ACCESS_DENIED); },
       {},
       {Confirmation(),
        Warning("Warnung:\nFehler beim L\xF6schen des Registry-Keys System\\CurrentControlSet\\Control\\Keyboard Layouts - a0010407"),
        Done()},
       {{}, true}},
      {"shortcut missing", [] { DeleteFileA(Shortcut); }, {}, {Confirmation(), Done()}, {}},
      {"started with the product folder as working directory", [] { SetCurrentDirectoryA(ProductFolder); }, {},
       {Confirmation(), Done()}, {}},
      {"auxiliary file in use",
       [&pdf] { winsim::SetFileInUse(pdf, true); },
       {},
       {Confirmation(), FileReport("Folgende Datei kann nicht gel\xF6scht werden:", pdf, 32),
        Info("Warnung" + Von() + "Folgende Hilfsdatei konnte nicht gel\xF6scht werden:\n  " + pdf),
        FileReport("Folgendes Verzeichnis kann nicht gel\xF6scht werden:", ProductFolder, 145),
        Info("Warnung" + Von() +
             "Folgendes Hilfsverzeichnis konnte nicht entfernt werden (m\xF6glicherweise ist es nicht leer):\n  " +
             ProductFolder),
        Done()},
       {{pdf, ProductFolder}}},
      {"a file of the user's in the product folder",
       [] { winsim::AddFile(std::string(ProductFolder) + "\\notes.txt", "mine"); },
       {},
       {Confirmation(), FileReport("Folgendes Verzeichnis kann nicht gel\xF6scht werden:", ProductFolder, 145),
        Info("Warnung" + Von() +
             "Folgendes Hilfsverzeichnis konnte nicht entfernt werden (m\xF6glicherweise ist es nicht leer):\n  " +
             ProductFolder),
        Done()},
       {{std::string(ProductFolder) + "\\notes.txt", ProductFolder}}},
      {"Uninstall entry cannot be deleted", [] { winsim::FailCall("RegDeleteKeyA", Entry, ERROR_ACCESS_DENIED); }, {},
       {Confirmation(), Done()}, {{}, false, false, true}},
      {"Uninstall key cannot be opened", [] { winsim::FailCall("RegCreateKeyExA", UninstallKey, ERROR_ACCESS_DENIED); }, {},
       {Confirmation(), Done()}, {{}, false, false, true}},
      {"self-deletion cannot be scheduled", [] { winsim::FailCall("MoveFileExA", TempCopy, ERROR_ACCESS_DENIED); }, {},
       {Confirmation(), Done()}, {{}, false, false, false, false}},
  };
  for (const GoesOn& run : runs) {
    winsim::Reset();
    SetUp();
    run.arrange();  // before WOW64 is switched on, so that no redirection applies to it
    winsim::SetWow64(run.wow64);
    winsim::ClearCalls();
    for (int answer : run.answers) winsim::QueueMessageBoxAnswer(answer);
    Run();
    ExpectBoxes(run.boxes, run.what);

    auto remains = [&run](const std::string& file) {
      for (const std::string& kept : run.remains.files)
        if (kept == file) return true;
      return false;
    };
    for (const std::string& file : StagedFiles()) {
      if (file == TempCopy) continue;
      EXPECT_EQ(remains(file), winsim::Exists(file)) << run.what << ": " << file;
    }
    for (const std::string& kept : run.remains.files) EXPECT_TRUE(winsim::Exists(kept)) << run.what << ": " << kept;
    EXPECT_TRUE(winsim::Exists(TempCopy)) << run.what;
    EXPECT_EQ(run.remains.scheduled ? std::vector<std::string>{TempCopy} : std::vector<std::string>{},
              winsim::PendingDeletes())
        << run.what;

    EXPECT_EQ(run.remains.targetKey, winsim::KeyExists(TargetKey)) << run.what;
    EXPECT_TRUE(winsim::KeyExists(Layouts + std::string("\\00000407"))) << run.what;
    using Strings = std::vector<std::pair<std::string, std::string>>;
    const Strings preload =
        run.remains.preloadUntouched ? Strings{{"1", "00000407"}, {"2", "d0010407"}} : Strings{{"1", "00000407"}};
    EXPECT_EQ(preload, winsim::RegistryStrings(Preload))
        << run.what;
    // A Preload that could not be replaced keeps its Substitutes.
    const Strings substitutes = run.remains.preloadUntouched ? Strings{{"d0010407", "a0010407"}} : Strings{};
    EXPECT_TRUE(winsim::KeyExists(Substitutes)) << run.what;
    EXPECT_EQ(substitutes, winsim::RegistryStrings(Substitutes)) << run.what;
    EXPECT_EQ(run.remains.entry, winsim::KeyExists(Entry)) << run.what;
    EXPECT_TRUE(winsim::KeyExists(UninstallKey + std::string("\\Other Program"))) << run.what;
    EXPECT_EQ(run.wow64 ? 1u : 0u, winsim::CallsNamed("Wow64RevertWow64FsRedirection").size()) << run.what;
    EXPECT_TRUE(winsim::OpenHandles().empty()) << run.what;
    EXPECT_TRUE(winsim::OpenKeyHandles().empty()) << run.what;
  }
}

// The removal runs in its fixed order, each deletion announced in the status line first.
TEST_F(Uninstall, RemovesInOrder) {
  winsim::SetWow64(true);
  Run();
  std::vector<std::string> steps;
  for (const std::string& call : winsim::Calls()) {
    for (const char* name : {"DeleteFileA(", "RemoveDirectoryA(", "RegDeleteKeyA(", "Sleep(", "MoveFileExA(", "RegSetValueExA("}) {
      if (call.compare(0, strlen(name), name) == 0) steps.push_back(call);
    }
  }
  const std::vector<std::string> expected = {
      std::string("DeleteFileA(") + SystemDriver,
      "Sleep(100",
      std::string("DeleteFileA(") + Wow64Driver,
      std::string("RegDeleteKeyA(") + Preload,
      std::string("RegSetValueExA(") + Preload + "\\1",
      std::string("RegDeleteKeyA(") + Substitutes,
      std::string("RegDeleteKeyA(") + TargetKey,
      std::string("DeleteFileA(") + Shortcut,
      "DeleteFileA(" + ProductFile(0),
      "DeleteFileA(" + ProductFile(1),
      "DeleteFileA(" + ProductFile(2),
      std::string("RemoveDirectoryA(") + ProductFolder,
      std::string("RegDeleteKeyA(") + Entry + "\\Details",
      std::string("RegDeleteKeyA(") + Entry,
      std::string("MoveFileExA(") + TempCopy,
  };
  ASSERT_EQ(expected.size(), steps.size()) << ::testing::PrintToString(steps);
  for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(0u, steps[i].find(expected[i])) << steps[i];

  // The status window: the title, the class and the last line it showed.
  ASSERT_FALSE(winsim::Windows().empty());
  EXPECT_EQ("Uninstall_Quillmap", winsim::Windows()[0].className);
  EXPECT_EQ("Uninstall_Quillmap V1.06 - Tastaturtreiber-Deinstallation", winsim::Windows()[0].title);
  EXPECT_EQ(std::string("L\xF6sche Verzeichnis ") + ProductFolder + " ...", winsim::DrawnTexts().back().text);
  EXPECT_EQ(winsim::SystemCursor(32514), winsim::CurrentCursor());
}

}  // namespace
