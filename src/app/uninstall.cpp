// The uninstall itself: the safety checks, the one question, and the removal in its fixed
// order. Before the confirmation nothing is changed; after it only the driver file can stop
// the sequence, every later failure is reported and the next step is carried out.
#include <string.h>

#include "app/app.h"
#include "files/files.h"
#include "layouts/layouts.h"
#include "registry/registry.h"
#include "ui/ui.h"

namespace {

const char KeyboardLayoutsPath[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts";

// The auxiliary files in the product folder, in the order they are deleted: the uninstaller
// itself, then the diagram as PDF and as icon.
struct AuxiliaryFile {
  const char* base;
  const char* extension;
};
const AuxiliaryFile AuxiliaryFiles[] = {
    {UninstallerFileName, ""},
    {DiagramName, ".pdf"},
    {DiagramName, ".ico"},
};

// first + second + third into path. False, with path empty, when the whole does not fit: a cut
// path could name another file.
bool JoinPath(char (&path)[260], const char* first, const char* second, const char* third = "") {
  path[0] = 0;
  if (AppendText(path, sizeof path, first) && AppendText(path, sizeof path, second) &&
      AppendText(path, sizeof path, third))
    return true;
  path[0] = 0;
  return false;
}

// A file in a folder the platform did not deliver would be looked up in the current folder.
bool FilePathIn(char (&path)[260], const char* folder, const char* name, const char* extension = "") {
  if (folder[0] == 0) {
    path[0] = 0;
    return false;
  }
  return JoinPath(path, folder, name, extension);
}

// The checks before anything is changed; false after a refusal has been shown.
bool UninstallIsSafe() {
  if (!LoadLayoutConfiguration()) {
    ShowWarning("%s", LayoutErrorText);
    return false;
  }
  if (TargetIndex == -1) {
    ShowWarning("Der Registry-Key des zu deinstallierenden Tastaturtreibers wurde nicht gefunden.\nTreiber: %sKey: %s\nDLL: %s.DLL",
                LayoutDisplayName, TargetLayoutKey, DriverBaseName);
    return false;
  }
  const char* layoutFile = LayoutCatalog[TargetIndex].layoutFile;
  if (layoutFile == nullptr) {
    ShowWarning("Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält keine Treiberdatei-Angabe.\nTreiber: %sKey: %s\nDLL: %s.DLL",
                LayoutDisplayName, TargetLayoutKey, DriverBaseName);
    return false;
  }
  if (!SameIgnoringAsciiCase(layoutFile, DriverFileName)) {
    ShowWarning("Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält eine andere Treiberdatei-Angabe als zum Zeitpunkt der Installation.\nAus Sicherheitsgründen wird daher die Deinstallation jetzt nicht durchgeführt.\nTreiber: %sKey: %s\nDLL bei Installation: %s.DLL\nDLL jetzt: %s",
                LayoutDisplayName, TargetLayoutKey, DriverBaseName, layoutFile);
    return false;
  }
  if (PreloadCount == 1) {
    ShowWarning("In den Windows-Spracheinstellungen ist die zu deinstallierende Tastaturbelegung derzeit als einzig auswählbare Belegung hinterlegt.\nBitte Wählen Sie dort erst eine andere Tastaturbelegung, bevor Sie die hier gewählte deinstallieren.");
    return false;
  }
  // A folder the platform did not deliver, or one too long to hold the driver's name, leaves
  // files behind that the final report would call removed: refuse before anything changes.
  char path[260];
  if (!FilePathIn(path, SystemDir, DriverFileName) || (IsWow64 && !FilePathIn(path, SystemWow64Dir, DriverFileName)) ||
      InstallDir[0] == 0) {
    ShowWarning("Die Ordner der Installation konnten nicht ermittelt werden (nicht vorhanden oder zu lang).\nAus Sicherheitsgründen wird daher die Deinstallation jetzt nicht durchgeführt.\nSystemordner: %s\nProgrammordner: %s",
                SystemDir, InstallDir);
    return false;
  }
  return true;
}

// The driver in the system directory; false when the sequence must stop here.
bool RemoveDriverFile() {
  char path[260];
  FilePathIn(path, SystemDir, DriverFileName);  // known to fit: checked before the question
  if (FindFileInfo(path, &FileInfo)) {
    if (DeleteFileReported(path)) return true;
    ShowInfo("Fehler bei Deinstallation von %s:\nFolgende Treiberdatei konnte nicht gelöscht werden:\n  %s",
             LayoutDisplayName, path);
    return false;
  }
  return AskYesNo("Problem bei Deinstallation von %s:\nTreiberdatei nicht (mehr) vorhanden:\n  %s\n\nTrotzdem fortfahren?",
                  LayoutDisplayName, path) == IDYES;
}

// The second copy that 64-bit Windows keeps for 32-bit programs; removed without a word.
void RemoveWow64DriverFile() {
  if (!IsWow64) return;
  Sleep(100);
  char path[260];
  if (FilePathIn(path, SystemWow64Dir, DriverFileName) && FindFileInfo(path, &FileInfo)) DeleteFileA(path);
}

void RemoveFromUserLists() {
  RemoveTargetFromPreload();
  if (!WriteLayoutLists()) {
    ShowInfo("Warnung bei Deinstallation von %s:\nProblem bei Registry-Key-Update:\n  %s", LayoutDisplayName,
             LayoutErrorText);
  }
}

void RemoveMachineLayoutKey() {
  HKEY layouts = RegistryOpenKey(HKEY_LOCAL_MACHINE, KeyboardLayoutsPath);
  if (layouts == nullptr) {
    ShowWarning("Warnung:\nFehler beim Öffnen des Registry-Keys HKEY_LOCAL_MACHINE\\%s", KeyboardLayoutsPath);
    return;
  }
  bool deleted = RegistryDeleteTree(layouts, TargetLayoutKey);
  RegCloseKey(layouts);
  if (!deleted) {
    ShowWarning("Warnung:\nFehler beim Löschen des Registry-Keys %s - %s", KeyboardLayoutsPath, TargetLayoutKey);
  }
}

void RemoveProductFolder() {
  if (InstallDir[0] == 0) return;
  char folder[260];
  JoinPath(folder, InstallDir, "");
  AppendBackslash(folder, sizeof folder);
  for (const AuxiliaryFile& file : AuxiliaryFiles) {
    char path[260];
    if (!FilePathIn(path, folder, file.base, file.extension)) continue;
    if (FindFileInfo(path, &FileInfo) && !DeleteFileReported(path)) {
      ShowInfo("Warnung bei Deinstallation von %s:\nFolgende Hilfsdatei konnte nicht gelöscht werden:\n  %s",
               LayoutDisplayName, path);
    }
  }
  if (!RemoveDirectoryReported(InstallDir)) {
    ShowInfo("Warnung bei Deinstallation von %s:\nFolgendes Hilfsverzeichnis konnte nicht entfernt werden (möglicherweise ist es nicht leer):\n  %s",
             LayoutDisplayName, InstallDir);
  }
}

// The TEMP copy cannot delete itself while it runs: it goes at the next restart.
void ScheduleSelfDeletion() {
  char modulePath[260];
  memset(modulePath, 0, sizeof modulePath);
  GetModuleFileNameA(GetModuleHandleA(nullptr), modulePath, sizeof modulePath);
  modulePath[sizeof modulePath - 1] = 0;
  MoveFileExA(modulePath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void RemoveEverything() {
  if (!RemoveDriverFile()) return;
  RemoveWow64DriverFile();
  RemoveFromUserLists();
  RemoveMachineLayoutKey();
  DeleteShortcut(StatusWindowHandle, DiagramName);
  RemoveProductFolder();
  RemoveUninstallEntry(UninstallEntryName);
  ShowInfo("Folgender Tastatur-Treiber wurde deinstalliert:\n%s", LayoutDisplayName);
  ScheduleSelfDeletion();
}

}  // namespace

void RunUninstall() {
  if (UninstallIsSafe()) {
    if (AskYesNo("Soll folgender Tastatur-Treiber deinstalliert werden?\n\n%s", LayoutDisplayName) == IDYES) {
      RemoveEverything();
    } else {
      ShowInfo("Deinstallation abgebrochen.");
    }
  }
  RestoreFsRedirection();
}
