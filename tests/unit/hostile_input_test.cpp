// Hostile input through the whole program, one table per source: the command line, the registry
// and the folders the platform reports. Each row starts the installed program as Windows would
// and, when it starts its copy in TEMP, that copy with the command line it was given. A row ends
// in a clear refusal or in the documented behaviour, with the boxes and the machine afterwards
// as its table says. Under the sanitizers of the host build a read or write past a buffer stops
// the row. Whatever the row, nothing of the user's is lost: the user's Preload and Substitutes
// are rewritten correctly or left as they were, no file of the user's is deleted or changed, and
// every file call names a path that begins with a drive.
#include <gtest/gtest.h>

#include <ctype.h>
#include <stdio.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "support/case_name.h"
#include "support/installation.h"
#include "winsim/control.h"

namespace {

using namespace installation;

typedef std::vector<std::pair<std::string, std::string>> Values;  // name, data

// ---- Boxes -------------------------------------------------------------------------------------

struct Box {
  UINT style;
  std::string text;  // the whole text; for a report that ends in a system text, up to its code line
  std::string caption = Caption;
  bool prefix = false;
};

Box Warning(const std::string& text) { return {0x30, text}; }
Box Info(const std::string& text) { return {0x40, text}; }
Box Question(const std::string& text) { return {0x24, text}; }

Box Confirmation() { return Question(std::string("Soll folgender Tastatur-Treiber deinstalliert werden?\n\n") + Layout); }
Box Done() { return Info(std::string("Folgender Tastatur-Treiber wurde deinstalliert:\n") + Layout); }

const char Refused[] = "Deinstallationsprogramm nicht mit gültigem Registry-Key die Tastatur aufgerufen ";
Box NoKey() { return Warning(std::string(Refused) + "(Angabe fehlt)"); }
Box BadLength(const std::string& shown) { return Warning(std::string(Refused) + "(Länge nicht 8 Zeichen):\n" + shown); }
Box NotGerman(const std::string& shown) {
  return Warning(std::string(Refused) + "(endet nicht in \"0407\", also kein deutsches Layout):\n" + shown);
}
Box NotInstalled(const std::string& shown) {
  return Warning(std::string("Der Registry-Key des zu deinstallierenden Tastaturtreibers wurde nicht gefunden.\nTreiber: ") +
                 Layout + "Key: " + shown + "\nDLL: Quillmap.DLL");
}
Box NoCopy(const std::string& caption = Caption) {
  return {0x30,
          "Deinstallationsprogramm kann nicht in ein temporäres Verzeichnis kopiert werden, um sein Original löschen "
          "zu können",
          caption};
}
// The folders' texts as the box shows them: the system folder with its backslash, the product
// folder without one; empty when the platform did not deliver them or they were too long.
Box FoldersUnknown(const std::string& system, const std::string& programs) {
  return Warning("Die Ordner der Installation konnten nicht ermittelt werden (nicht vorhanden oder zu lang).\nAus "
                 "Sicherheitsgründen wird daher die Deinstallation jetzt nicht durchgeführt.\nSystemordner: " +
                 system + "\nProgrammordner: " + programs);
}
Box FileReport(const std::string& firstLine, const std::string& path, int code) {
  return {0x30, firstLine + "\n" + path + "\n\nFehlercode " + std::to_string(code), FileCaption, true};
}
Box CannotRead(const std::string& key) {
  return Warning("Der Registry-Key HKEY_CURRENT_USER\\" + key +
                 " enthält einen Wert, den die Deinstallation nicht als Text lesen kann.\nSie würde ihn beim "
                 "Neuschreiben des Keys verlieren; es wurde nichts geändert.");
}

// ---- What a row leaves -------------------------------------------------------------------------

struct After {
  bool uninstalled;  // false: nothing anywhere has changed
  bool relaunched;   // the installed program started its copy in TEMP
  // When uninstalled: the user's lists afterwards, the staged files of the product that are
  // still there, and whether the machine's layout key is still there.
  Values preload;
  Values substitutes;
  std::vector<std::string> remains;
  bool targetKey;
};

After Unchanged(bool relaunched) { return {false, relaunched, {}, {}, {}, false}; }
After Uninstalled(const Values& preload = {{"1", "00000407"}}, const Values& substitutes = {},
                  const std::vector<std::string>& remains = {}, bool targetKey = false) {
  return {true, true, preload, substitutes, remains, targetKey};
}

struct Row {
  const char* what;
  std::u16string commandLine;
  std::function<void()> arrange;  // on top of the staged installation
  std::vector<Box> boxes;
  After after;
  std::vector<int> answers = {};            // for the boxes in order; a box without one takes its default
  std::vector<std::string> userFiles = {};  // staged for the row as the user's; every one must stay
  std::string module = InstalledExe;        // the file Windows starts
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.what; }

// ---- Staging -----------------------------------------------------------------------------------

// The quoted path of the installed program and the given arguments.
std::u16string Installed(const std::u16string& arguments) {
  std::u16string line = u"\"";
  for (const char* c = InstalledExe; *c != 0; ++c) line += (char16_t)*c;
  return line + u"\" " + arguments;
}

std::u16string Repeated(const std::u16string& text, int times) {
  std::u16string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// `start` filled up to `length` characters with `fill`.
std::string Long(const std::string& start, size_t length, char fill) {
  return start + std::string(length - start.size(), fill);
}

// A file of the user's beside the product: a cut or relative path would reach it.
const char UsersText[] = "MZ, the user's";  // a program: started by mistake, it would run
void AddUsersFile(const std::string& path) { winsim::AddFile(path, UsersText); }

const std::vector<std::string> UsersFilesEverywhere = {
    "C:\\Windows\\system32\\KBDGR.DLL", "C:\\Windows\\SysWOW64\\KBDGR.DLL", "C:\\Users\\Tester\\Desktop\\Brief.LNK",
    "C:\\Users\\Tester\\AppData\\Local\\Temp\\other.tmp", "C:\\Program Files\\Other\\Other.exe"};

// ---- Inspection --------------------------------------------------------------------------------

// CreateProcessA hands the child its command line through the ANSI code page. The lines here
// hold only characters that are the same number in Windows-1252 and UTF-16.
std::u16string Widened(const std::string& narrow, const char* what) {
  std::u16string wide;
  for (unsigned char c : narrow) {
    if (c >= 0x80 && c < 0xA0) ADD_FAILURE() << what << ": byte " << (int)c << " in the copy's command line";
    wide += (char16_t)c;
  }
  return wide;
}

// The registry as text without the keys below the given paths.
std::string RegistryStateWithout(const std::vector<std::string>& paths) {
  std::string all = RegistryState(), kept;
  size_t at = 0;
  while (at < all.size()) {
    size_t end = all.find('\n', at);
    if (end == std::string::npos) end = all.size();
    std::string line = all.substr(at, end + 1 - at);
    bool dropped = false;
    for (const std::string& path : paths) {
      dropped = dropped || line.compare(0, path.size() + 3, path + " : ") == 0 ||
                line.compare(0, path.size() + 1, path + "\\") == 0;
    }
    if (!dropped) kept += line;
    at = end + 1;
  }
  return kept;
}

// The keys an uninstall changes.
const std::vector<std::string> ChangedKeys = {Preload, Substitutes, TargetKey, Entry};

std::map<std::string, std::string> AsMap(const Values& values) { return {values.begin(), values.end()}; }

bool BeginsWithDrive(const std::string& path) {
  return path.size() >= 3 && isalpha((unsigned char)path[0]) && path[1] == ':' && path[2] == '\\';
}

// Every path the program handed to a file call; CopyFileA names two.
std::vector<std::string> FilePathsUsed() {
  std::vector<std::string> paths;
  const char* const functions[] = {"FindFirstFileA(",  "DeleteFileA(", "RemoveDirectoryA(", "CopyFileA(",
                                   "MoveFileExA(", "SetFileAttributesA(", "CreateProcessA("};
  for (const std::string& call : winsim::Calls()) {
    for (const char* function : functions) {
      std::string name = function;
      if (call.compare(0, name.size(), name) != 0) continue;
      std::string arguments = call.substr(name.size());
      paths.push_back(arguments.substr(0, arguments.find(", ")));
      if (name == "CopyFileA(") {
        std::string rest = arguments.substr(arguments.find(", ") + 2);
        paths.push_back(rest.substr(0, rest.find(", ")));
      }
    }
  }
  return paths;
}

// ---- The run -----------------------------------------------------------------------------------

class HostileInput : public ::testing::TestWithParam<Row> {
 protected:
  // The installed program as Windows starts it; then the copy it started, if any, with the
  // command line it was given.
  void RunAsWindows(const Row& row) {
    EXPECT_EQ(0, RunProgram(row.module, row.commandLine)) << row.what;
    if (winsim::ProcessStarts().empty() || !winsim::ProcessStarts()[0].started) return;
    winsim::ProcessStart copy = winsim::ProcessStarts()[0];
    EXPECT_EQ(0, RunProgram(copy.applicationName, Widened(copy.commandLine, row.what))) << row.what;
  }

  void ExpectBoxes(const Row& row) {
    const std::vector<winsim::MessageBoxRecord>& shown = winsim::MessageBoxes();
    std::string texts;
    for (const winsim::MessageBoxRecord& box : shown) texts += "\n[" + box.text + "]";
    ASSERT_EQ(row.boxes.size(), shown.size()) << row.what << ", boxes shown:" << texts;
    for (size_t i = 0; i < shown.size(); ++i) {
      const Box& expected = row.boxes[i];
      EXPECT_EQ(expected.style, shown[i].style) << row.what << ", box " << i;
      EXPECT_EQ(expected.caption, shown[i].caption) << row.what << ", box " << i;
      std::string text = expected.prefix ? shown[i].text.substr(0, expected.text.size()) : shown[i].text;
      EXPECT_EQ(expected.text, text) << row.what << ", box " << i;
    }
  }
};

TEST_P(HostileInput, EndsInARefusalOrTheDocumentedBehaviour) {
  const Row& row = GetParam();
  const char* what = row.what;
  Stage();
  for (const std::string& file : UsersFilesEverywhere) AddUsersFile(file);
  for (const std::string& file : row.userFiles) AddUsersFile(file);
  if (row.arrange) row.arrange();
  winsim::SetWow64(true);

  const std::string registryBefore = RegistryState();
  const std::string otherKeysBefore = RegistryStateWithout(ChangedKeys);
  std::map<std::string, std::string> productBefore;
  for (const std::string& file : StagedFiles()) productBefore[file] = winsim::Contents(file);
  for (int answer : row.answers) winsim::QueueMessageBoxAnswer(answer);
  winsim::ClearCalls();

  RunAsWindows(row);

  ExpectBoxes(row);
  EXPECT_EQ(0u, winsim::PendingMessageBoxAnswers()) << what;
  const After& after = row.after;
  ASSERT_EQ(after.relaunched ? 1u : 0u, winsim::ProcessStarts().size()) << what;

  if (!after.uninstalled) {
    EXPECT_EQ(registryBefore, RegistryState()) << what;
    for (const auto& file : productBefore) {
      EXPECT_TRUE(winsim::Exists(file.first)) << what << ": " << file.first;
      EXPECT_EQ(file.second, winsim::Contents(file.first)) << what << ": " << file.first;
    }
    EXPECT_TRUE(winsim::PendingDeletes().empty()) << what;
  } else {
    auto remains = [&after](const std::string& file) {
      for (const std::string& kept : after.remains)
        if (kept == file) return true;
      return false;
    };
    for (const std::string& file : StagedFiles()) {
      if (file == TempCopy) continue;
      EXPECT_EQ(remains(file), winsim::Exists(file)) << what << ": " << file;
    }
    const std::string copy = winsim::ProcessStarts()[0].applicationName;
    EXPECT_TRUE(winsim::Exists(copy)) << what;
    EXPECT_EQ(std::vector<std::string>{copy}, winsim::PendingDeletes()) << what;
    EXPECT_EQ(AsMap(after.preload), AsMap(winsim::RegistryStrings(Preload))) << what;
    EXPECT_EQ(AsMap(after.substitutes), AsMap(winsim::RegistryStrings(Substitutes))) << what;
    EXPECT_EQ(after.targetKey, winsim::KeyExists(TargetKey)) << what;
    EXPECT_FALSE(winsim::KeyExists(Entry)) << what;
    // Every other key and value, the user's and the machine's, as it was.
    EXPECT_EQ(otherKeysBefore, RegistryStateWithout(ChangedKeys)) << what;
  }

  for (const std::string& file : UsersFilesEverywhere) EXPECT_EQ(UsersText, winsim::Contents(file)) << what << ": " << file;
  for (const std::string& file : row.userFiles) EXPECT_EQ(UsersText, winsim::Contents(file)) << what << ": " << file;
  for (const std::string& path : FilePathsUsed()) EXPECT_TRUE(BeginsWithDrive(path)) << what << ": " << path;
  EXPECT_EQ(winsim::CallsNamed("Wow64DisableWow64FsRedirection").size(),
            winsim::CallsNamed("Wow64RevertWow64FsRedirection").size())
      << what;
  EXPECT_FALSE(winsim::FsRedirectionDisabled()) << what;
  EXPECT_TRUE(winsim::OpenHandles().empty()) << what;
  EXPECT_TRUE(winsim::OpenKeyHandles().empty()) << what;
}

// ---- Command line --------------------------------------------------------------------------------
// The key is split from the wide command line by the program's own rules and converted to
// Windows-1252; characters outside it become '?' or the platform's look-alike. A key that
// passes the checks is handed to the copy in TEMP unquoted, as the one parameter.

std::vector<Row> CommandLineRows() {
  const std::u16string loneSurrogate(1, (char16_t)0xD83D);
  return {
      {"argument of 300 characters", Installed(std::u16string(296, u'k') + u"0407"), nullptr, {BadLength("")},
       Unchanged(false)},
      {"35 arguments", Installed(Repeated(u"a0010407 ", 35)), nullptr, {NoKey()}, Unchanged(false)},
      {"35 arguments of 300 characters each", Installed(Repeated(std::u16string(300, u'x') + u" ", 35)), nullptr,
       {NoKey()}, Unchanged(false)},
      {"program path of 300 characters", u"\"C:\\" + std::u16string(292, u'p') + u".exe\" a0010407", nullptr,
       {Confirmation(), Done()}, Uninstalled()},
      // A quote that is not closed runs to the end of the line.
      {"key after an unbalanced quote", Installed(u"\"a0010407"), nullptr, {Confirmation(), Done()}, Uninstalled()},
      {"program path with an unbalanced quote swallows the key",
       u"\"C:\\Program Files\\R7-Tastatur\\Uninstall_Quillmap.exe a0010407", nullptr, {NoKey()}, Unchanged(false)},
      {"lone quote after the key is an empty second argument", Installed(u"a0010407 \""), nullptr, {NoKey()},
       Unchanged(false)},
      // Eight characters ending in 0407 pass; the relaunch quotes them, so the copy finds the
      // same key (not installed here).
      {"quoted key with a blank inside", Installed(u"\"a0 10407\""), nullptr, {NotInstalled("a0 10407")},
       Unchanged(true)},
      {"CJK character", Installed(u"中0010407"), nullptr, {NotInstalled("?0010407")}, Unchanged(true)},
      {"emoji: each half of the surrogate pair a character", Installed(u"😀010407"), nullptr,
       {NotInstalled("??010407")}, Unchanged(true)},
      {"U+FFFF", Installed(u"\uFFFF0010407"), nullptr, {NotInstalled("?0010407")}, Unchanged(true)},
      {"lone surrogate", Installed(loneSurrogate + u"0010407"), nullptr, {NotInstalled("?0010407")}, Unchanged(true)},
      // The platform's best fit makes the full-width a the installed key; the driver check and
      // the question still stand before anything is removed.
      {"full-width letter becomes its look-alike", Installed(u"ａ0010407"), nullptr, {Confirmation(), Done()},
       Uninstalled()},
      {"tab inside the language part", Installed(u"a001\t407"), nullptr, {NotGerman("a001\r\n407")}, Unchanged(false)},
      {"tab in an eight-character key ending in 0407", Installed(u"a\t010407"), nullptr,
       {NotInstalled("a\r\n010407")}, Unchanged(true)},
      // A key is found only among the names the registry enumerates, and no name holds a backslash.
      {"key naming a path below the layouts key", Installed(u"a\\010407"),
       [] { winsim::SetRegistryString(std::string(Layouts) + "\\a\\010407", "Layout File", "Quillmap.DLL"); },
       {NotInstalled("a\\010407")}, Unchanged(true)},
      {"format conversions in the key are shown as they are", Installed(u"%s%s0407"), nullptr,
       {NotInstalled("%s%s0407")}, Unchanged(true)},
      {"empty command line", u"", nullptr, {NoKey()}, Unchanged(false)},
      {"command line of only blanks", u"     ", nullptr, {NoKey()}, Unchanged(false)},
  };
}

INSTANTIATE_TEST_SUITE_P(CommandLine, HostileInput, ::testing::ValuesIn(CommandLineRows()),
                         CaseName<::testing::TestParamInfo<Row>>);

// ---- Registry ------------------------------------------------------------------------------------
// The platform limits key names to 255 characters (Wine: 256), so a longer key cannot exist
// there; the stand-in's staging bypasses the limit so that the 260-byte enumeration buffers meet
// names of 259 and 260 characters, as a damaged hive could hold them. Value names have no such
// limit. The user's Preload and Substitutes keys are replaced whole by the rewrite: a value in
// them that the program cannot read as a text refuses the uninstall before anything changes,
// as it would otherwise be lost.

std::string MachineKey(const std::string& name) { return std::string(Layouts) + "\\" + name; }

std::string LayoutKeyId(int number) {
  char id[16];
  snprintf(id, sizeof id, "b%03x0407", number);
  return id;
}

// The user's list: 00000407, the target through d0010407, then b0030407 ... up to `count`.
void StagePreloadOf(int count) {
  winsim::RemoveRegistryKey(Preload);
  winsim::SetRegistryString(Preload, "1", "00000407");
  winsim::SetRegistryString(Preload, "2", "d0010407");
  for (int n = 3; n <= count; ++n) winsim::SetRegistryString(Preload, std::to_string(n), LayoutKeyId(n));
}

Values PreloadOf(int count) {
  Values values = {{"1", "00000407"}};
  for (int n = 3; n <= count; ++n) values.push_back({std::to_string(n - 1), LayoutKeyId(n)});
  return values;
}

const char LayoutsPath[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts";

Box OtherDriver(const std::string& file) {
  return Warning(std::string("Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält eine andere "
                             "Treiberdatei-Angabe als zum Zeitpunkt der Installation.\nAus Sicherheitsgründen wird "
                             "daher die Deinstallation jetzt nicht durchgeführt.\nTreiber: ") +
                 Layout + "Key: a0010407\nDLL bei Installation: Quillmap.DLL\nDLL jetzt: " + file);
}

std::vector<Row> RegistryRows() {
  const std::string german256 = Long("a0020407", 256, 'x'), german259 = Long("a0020407", 259, 'x'),
                    german260 = Long("a0020407", 260, 'x');
  const std::string name259 = Long("v", 259, 'v'), name260 = Long("v", 260, 'v');
  const std::string text260(260, 'z');
  const Box layoutKeyNotDeleted =
      Warning(std::string("Warnung:\nFehler beim Löschen des Registry-Keys ") + LayoutsPath + " - a0010407");
  const Box noDriverEntry = Warning(
      std::string("Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält keine Treiberdatei-Angabe.\nTreiber: ") +
      Layout + "Key: a0010407\nDLL: Quillmap.DLL");
  const Box preloadNotReplaced =
      Info(std::string("Warnung bei Deinstallation von ") + Layout +
           ":\nProblem bei Registry-Key-Update:\n  Warnung:\nFehler beim Löschen des Registry-Keys Keyboard Layout - Preload");
  const std::u16string key = Installed(u"a0010407");
  const Values untouchedPreload = {{"1", "00000407"}, {"2", "d0010407"}};
  return {
      // Machine layout keys.
      {"German machine key of 256 characters, the platform's longest", key,
       [=] { winsim::SetRegistryString(MachineKey(german256), "Layout File", "other.dll"); },
       {Confirmation(), Done()}, Uninstalled()},
      {"German machine key of 259 characters cannot be opened", key,
       [=] { winsim::SetRegistryString(MachineKey(german259), "Layout File", "other.dll"); },
       {Warning(std::string("Fehler beim Öffnen des Registry-Subkeys ") + LayoutsPath + " - " + german259)},
       Unchanged(true)},
      {"German machine key of 260 characters does not fit and is passed over", key,
       [=] { winsim::SetRegistryString(MachineKey(german260), "Layout File", "other.dll"); },
       {Confirmation(), Done()}, Uninstalled()},
      {"subkey of 256 characters below the layout key goes with it", key,
       [] { winsim::SetRegistryString(std::string(TargetKey) + "\\" + Long("s", 256, 's'), "v", "x"); },
       {Confirmation(), Done()}, Uninstalled()},
      {"subkey of 259 characters below the layout key keeps it", key,
       [] { winsim::SetRegistryString(std::string(TargetKey) + "\\" + Long("s", 259, 's'), "v", "x"); },
       {Confirmation(), layoutKeyNotDeleted, Done()}, Uninstalled({{"1", "00000407"}}, {}, {}, true)},
      {"subkey of 260 characters below the layout key keeps it", key,
       [] { winsim::SetRegistryString(std::string(TargetKey) + "\\" + Long("s", 260, 's'), "v", "x"); },
       {Confirmation(), layoutKeyNotDeleted, Done()}, Uninstalled({{"1", "00000407"}}, {}, {}, true)},
      // Substitutes stays too: the surviving Preload still names its old substitute ids.
      {"subkey of 260 characters below Preload leaves Preload and Substitutes as they were", key,
       [] { winsim::CreateRegistryKey(std::string(Preload) + "\\" + Long("s", 260, 's')); },
       {Confirmation(), preloadNotReplaced, Done()}, Uninstalled(untouchedPreload, {{"d0010407", "a0010407"}})},

      // Preload values.
      {"Preload value name of 259 characters is renumbered", key,
       [=] { winsim::SetRegistryString(Preload, name259, "a0050407"); },
       {Confirmation(), Done()}, Uninstalled({{"1", "00000407"}, {"2", "a0050407"}})},
      {"Preload value name of 260 characters", key, [=] { winsim::SetRegistryString(Preload, name260, "a0050407"); },
       {CannotRead("Keyboard Layout\\Preload")}, Unchanged(true)},
      {"Preload data of 260 bytes without terminator is kept whole", key,
       [=] { winsim::SetRegistryValue(Preload, "3", REG_SZ, text260); },
       {Confirmation(), Done()}, Uninstalled({{"1", "00000407"}, {"2", text260}})},
      {"Preload data of 261 bytes", key, [=] { winsim::SetRegistryString(Preload, "3", text260); },
       {CannotRead("Keyboard Layout\\Preload")}, Unchanged(true)},
      {"Preload value of type REG_DWORD", key,
       [] { winsim::SetRegistryValue(Preload, "3", REG_DWORD, std::string("\x07\x04\x00\x00", 4)); },
       {CannotRead("Keyboard Layout\\Preload")}, Unchanged(true)},
      {"Preload value of type REG_BINARY", key,
       [] { winsim::SetRegistryValue(Preload, "3", REG_BINARY, "00000409"); },
       {CannotRead("Keyboard Layout\\Preload")}, Unchanged(true)},
      {"Preload value of type REG_MULTI_SZ", key,
       [] { winsim::SetRegistryValue(Preload, "3", REG_MULTI_SZ, std::string("00000409\0a0050407\0\0", 19)); },
       {CannotRead("Keyboard Layout\\Preload")}, Unchanged(true)},
      {"100 Preload values", key, [] { StagePreloadOf(100); }, {Confirmation(), Done()}, Uninstalled(PreloadOf(100))},
      {"101 Preload values", key, [] { StagePreloadOf(101); },
       {Warning("Die Liste der Tastaturbelegungen (HKEY_CURRENT_USER\\Keyboard Layout\\Preload) hat mehr als 100 "
                "Einträge.\nSo viele kann die Deinstallation nicht bearbeiten; es wurde nichts geändert.")},
       Unchanged(true)},

      // Substitutes values.
      {"Substitutes data of 260 bytes without terminator is kept whole", key,
       [=] {
         winsim::SetRegistryString(Preload, "3", "d0020407");
         winsim::SetRegistryValue(Substitutes, "d0020407", REG_SZ, text260);
       },
       {Confirmation(), Done()}, Uninstalled({{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", text260}})},
      {"Substitutes value name of 259 characters gets a fresh id", key,
       [=] {
         winsim::SetRegistryString(Preload, "3", name259);
         winsim::SetRegistryString(Substitutes, name259, "a0050407");
       },
       {Confirmation(), Done()}, Uninstalled({{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", "a0050407"}})},
      {"Substitutes value name of 260 characters", key,
       [=] { winsim::SetRegistryString(Substitutes, name260, "a0050407"); },
       {CannotRead("Keyboard Layout\\Substitutes")}, Unchanged(true)},
      {"Substitutes value of type REG_BINARY", key,
       [] {
         winsim::SetRegistryString(Preload, "3", "d0020407");
         winsim::SetRegistryValue(Substitutes, "d0020407", REG_BINARY, "a0050407");
       },
       {CannotRead("Keyboard Layout\\Substitutes")}, Unchanged(true)},

      // The layout's "Layout File".
      {"Layout File of 260 bytes without terminator is another driver", key,
       [] { winsim::SetRegistryValue(TargetKey, "Layout File", REG_SZ, std::string(260, 'f')); },
       {OtherDriver(std::string(260, 'f'))}, Unchanged(true)},
      {"Layout File of 260 bytes, the driver's name and zeros", key,
       [] {
         std::string padded = "Quillmap.DLL";
         padded.resize(260, '\0');
         winsim::SetRegistryValue(TargetKey, "Layout File", REG_SZ, padded);
       },
       {Confirmation(), Done()}, Uninstalled()},
      {"Layout File of 261 bytes reads as none", key,
       [] { winsim::SetRegistryString(TargetKey, "Layout File", std::string(260, 'f')); }, {noDriverEntry},
       Unchanged(true)},
      // The type of "Layout File" is not looked at: bytes that read as the driver's name are it.
      {"Layout File as binary bytes of the driver's name", key,
       [] { winsim::SetRegistryValue(TargetKey, "Layout File", REG_BINARY, "Quillmap.DLL"); },
       {Confirmation(), Done()}, Uninstalled()},
      {"101 German layouts", key,
       [] {
         for (int n = 1; n <= 101; ++n) winsim::SetRegistryString(MachineKey(LayoutKeyId(n)), "Layout File", "other.dll");
       },
       {Warning(std::string("Unter HKEY_LOCAL_MACHINE\\") + LayoutsPath +
                " sind mehr als 100 deutsche Tastaturbelegungen eingetragen.\nSo viele kann die Deinstallation nicht "
                "bearbeiten; es wurde nichts geändert.")},
       Unchanged(true)},
  };
}

INSTANTIATE_TEST_SUITE_P(Registry, HostileInput, ::testing::ValuesIn(RegistryRows()),
                         CaseName<::testing::TestParamInfo<Row>>);

// ---- Folders ---------------------------------------------------------------------------------------
// A folder that the platform does not deliver, or that is too long for what is appended to it,
// is left empty and its files are passed over: never a cut path, never one without a drive.
// The files of the staged installation in the default folders are then not where the platform
// says, and stay. A file of the user's lies at each path that cutting would produce.

std::string CutToPathLimit(const std::string& path) { return path.substr(0, 259); }

std::vector<Row> FolderRows() {
  const std::string temp250 = Long("C:\\t", 249, 't') + "\\";
  const std::string temp259 = Long("C:\\t", 259, 't');
  const std::string temp300 = Long("C:\\t", 299, 't') + "\\";
  const std::string tempFitting = Long("C:\\t", 236, 't') + "\\";  // the copy's path has 259 characters
  const std::string deepModule = Long("C:\\d", 253, 'd') + "\\Uninstall_Quillmap.exe";
  const std::string longPrograms = Long("C:\\p", 249, 'p');
  const std::string longWindows = Long("C:\\w", 249, 'w');
  const std::string programs230 = Long("C:\\p", 230, 'p');
  const std::string folder242 = programs230 + "\\R7-Tastatur";
  const std::string longSystem = Long("C:\\s", 250, 's');
  const std::string longWow64 = Long("C:\\y", 250, 'y');
  const std::string longDesktop = Long("C:\\e", 230, 'e');
  const std::u16string key = Installed(u"a0010407");
  const std::vector<std::string> productFolder = {ProductFolder, ProductFile(0), ProductFile(1), ProductFile(2)};
  const Values uninstalledPreload = {{"1", "00000407"}};
  return {
      {"TEMP of 250 characters leaves no room for the copy's name", key,
       [=] {
         winsim::AddFolder(temp250);
         winsim::SetTempPath(temp250);
       },
       {NoCopy()}, Unchanged(false)},
      // The platform ends TEMP in a backslash; a path with no room left for one names no folder.
      {"TEMP of 259 characters without its backslash", key,
       [=] {
         winsim::AddFolder(temp259);
         winsim::SetTempPath(temp259);
       },
       {NoCopy()}, Unchanged(false)},
      {"TEMP beyond the path limit", key,
       [=] {
         winsim::AddFolder(temp300);
         winsim::SetTempPath(temp300);
       },
       {NoCopy()}, Unchanged(false)},
      {"TEMP not delivered", key, [] { winsim::FailCall("GetTempPathA", "*", ERROR_ACCESS_DENIED); }, {NoCopy()},
       Unchanged(false)},
      {"TEMP leaving the copy's path exactly 259 characters", key,
       [=] {
         winsim::AddFolder(tempFitting);
         winsim::SetTempPath(tempFitting);
       },
       {Confirmation(), Done()}, Uninstalled()},
      // The platform cuts a module path beyond its buffer; the cut path names another file. The
      // boxes' caption is the name that the cut path ends in.
      {"program file deeper than the path limit", key, [=] { winsim::AddFile(deepModule, "MZ"); },
       {NoCopy(CutToPathLimit(deepModule).substr(254))}, Unchanged(false), {}, {CutToPathLimit(deepModule)},
       deepModule},
      // Folders the platform does not deliver, or that cannot hold the product's names, would
      // leave files behind that the final box calls removed: refused before the question.
      {"Program Files too long for the product folder", key,
       [=] {
         winsim::AddFolder(longPrograms);
         winsim::SetSpecialFolder(CSIDL_PROGRAM_FILES, longPrograms);
       },
       {FoldersUnknown(SystemFolder, "")}, Unchanged(true), {},
       {CutToPathLimit(longPrograms + "\\R7-Tastatur")}},
      {"Program Files unknown and the Windows folder too long", key,
       [=] {
         winsim::FailCall("SHGetSpecialFolderLocation", "38", (uint32_t)E_FAIL);
         winsim::AddFolder(longWindows);
         winsim::SetWindowsDirectory(longWindows);
       },
       {FoldersUnknown(SystemFolder, "")}, Unchanged(true), {}, {longWindows + "\\Programme"}},
      {"product folder fits, its file names do not", key,
       [=] {
         winsim::AddFolder(folder242);
         winsim::SetSpecialFolder(CSIDL_PROGRAM_FILES, programs230);
       },
       {Confirmation(), FileReport("Folgendes Verzeichnis kann nicht gelöscht werden:", folder242, 145),
        Info(std::string("Warnung bei Deinstallation von ") + Layout +
             ":\nFolgendes Hilfsverzeichnis konnte nicht entfernt werden (möglicherweise ist es nicht leer):\n  " +
             folder242),
        Done()},
       Uninstalled(uninstalledPreload, {}, productFolder), {},
       {CutToPathLimit(folder242 + "\\Uninstall_Quillmap.exe"),
        CutToPathLimit(folder242 + "\\Tastaturbelegung R7 Schaubild.pdf")}},
      {"system folder too long for the driver's name", key,
       [=] {
         winsim::AddFolder(longSystem);
         winsim::SetSystemDirectory(longSystem);
       },
       {FoldersUnknown(longSystem + "\\", ProductFolder)}, Unchanged(true), {},
       {CutToPathLimit(longSystem + "\\Quillmap.DLL")}},
      {"system folder not delivered", key, [] { winsim::FailCall("GetSystemDirectoryA", "*", ERROR_ACCESS_DENIED); },
       {FoldersUnknown("", ProductFolder)}, Unchanged(true)},
      {"SysWOW64 folder too long for the driver's name", key,
       [=] {
         winsim::AddFolder(longWow64);
         winsim::SetSystemWow64Directory(longWow64);
       },
       {FoldersUnknown(SystemFolder, ProductFolder)}, Unchanged(true), {},
       {CutToPathLimit(longWow64 + "\\Quillmap.DLL")}},
      {"desktop too long for the shortcut's name", key,
       [=] {
         winsim::AddFolder(longDesktop);
         winsim::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, longDesktop);
       },
       {Confirmation(), Done()}, Uninstalled(uninstalledPreload, {}, {Shortcut}), {},
       {CutToPathLimit(longDesktop + "\\Tastaturbelegung R7 Schaubild.LNK")}},
  };
}

INSTANTIATE_TEST_SUITE_P(Folders, HostileInput, ::testing::ValuesIn(FolderRows()),
                         CaseName<::testing::TestParamInfo<Row>>);

}  // namespace
