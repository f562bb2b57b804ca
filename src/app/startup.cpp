// The start-up checks and the self-relocation into TEMP.
//
// The installed uninstaller must be deletable by the uninstall, so it never does the work
// itself: it validates the key, copies itself into TEMP, starts the copy with the same key and
// ends. Only the copy, recognised by running from TEMP, goes on to the status window.
#include <string.h>

#include "app/app.h"
#include "files/files.h"
#include "ui/ui.h"

char TargetLayoutKey[260];
char WindowTitle[260];

namespace {

bool KeyIsAcceptable() {
  if (ArgCount != 1) {
    ShowWarning("Deinstallationsprogramm nicht mit gültigem Registry-Key die Tastatur aufgerufen (Angabe fehlt)");
    return false;
  }
  strncpy(TargetLayoutKey, Args[0], sizeof TargetLayoutKey - 1);
  TargetLayoutKey[sizeof TargetLayoutKey - 1] = 0;
  if (strlen(TargetLayoutKey) != 8) {
    ShowWarning("Deinstallationsprogramm nicht mit gültigem Registry-Key die Tastatur aufgerufen (Länge nicht 8 Zeichen):\n%s",
                TargetLayoutKey);
    return false;
  }
  if (memcmp(TargetLayoutKey + 4, "0407", 4) != 0) {
    ShowWarning("Deinstallationsprogramm nicht mit gültigem Registry-Key die Tastatur aufgerufen (endet nicht in \"0407\", also kein deutsches Layout):\n%s",
                TargetLayoutKey);
    return false;
  }
  if (strcmp(TargetLayoutKey, "00000407") == 0) {
    ShowWarning("Deinstallationsprogramm nicht mit gültigem Registry-Key die Tastatur aufgerufen (Schlüssel für Standardtastatur: nicht deinstallierbar):\n%s",
                TargetLayoutKey);
    return false;
  }
  return true;
}

}  // namespace

bool CheckStartAndRelocate() {
  if (!KeyIsAcceptable()) return false;
  LocateSystemFolders();

  char tempPath[260];
  char modulePath[260];
  memset(tempPath, 0, sizeof tempPath);
  memset(modulePath, 0, sizeof modulePath);
  DWORD tempLength = GetTempPathA(sizeof tempPath, tempPath);
  // A TEMP path the platform could not deliver whole would make "\" or a cut folder the target.
  // One with no room left for its backslash is emptied by AppendBackslash, and an empty TEMP
  // path is the beginning of every module path.
  bool tempKnown = tempLength > 0 && tempLength < sizeof tempPath;
  if (tempKnown) tempKnown = AppendBackslash(tempPath, sizeof tempPath)[0] != 0;
  // The platform cuts a module path longer than the buffer; the cut path names another file.
  DWORD moduleLength = GetModuleFileNameA(AppInstance, modulePath, sizeof modulePath);
  modulePath[sizeof modulePath - 1] = 0;
  bool moduleKnown = moduleLength > 0 && moduleLength < sizeof modulePath;

  if (tempKnown && moduleKnown && SameIgnoringAsciiCase(modulePath, tempPath, strlen(tempPath))) {
    // The copy inherits the working directory of whoever started the installed uninstaller,
    // often the product folder itself (a double click there). A process's working directory
    // cannot be removed, so the copy works from TEMP instead.
    SetCurrentDirectoryA(tempPath);
    FormatInto(WindowTitle, sizeof WindowTitle, "%s V%s - Tastaturtreiber-Deinstallation", ProgramName,
               ProductVersionText);
    return true;
  }

  // The copy keeps the module's own file name. When TEMP plus that name does not fit a path, or
  // either is not known whole, there is nothing to copy or no place to copy to: that is
  // reported like a failed copy.
  bool copyPathFits = tempKnown && moduleKnown && AppendText(tempPath, sizeof tempPath, FileNamePart(modulePath));
  if (!copyPathFits || !CopyFileReported(modulePath, tempPath)) {
    ShowWarning("Deinstallationsprogramm kann nicht in ein temporäres Verzeichnis kopiert werden, um sein Original löschen zu können");
    RestoreFsRedirection();
    return false;
  }
  // The copy splits its command line at blanks: a key with a blank in it reaches the copy as
  // one argument only in quotes. Other keys go as they are.
  char parameters[sizeof TargetLayoutKey + 2];
  FormatInto(parameters, sizeof parameters, strchr(TargetLayoutKey, ' ') != nullptr ? "\"%s\"" : "%s", TargetLayoutKey);
  if (!LaunchProgram(tempPath, parameters)) {
    ShowWarning("Deinstallationsprogramm kann Kopie im temporären Verzeichnis nicht starten, um sein Original löschen zu können");
    RestoreFsRedirection();
    return false;
  }
  RestoreFsRedirection();
  return false;
}
