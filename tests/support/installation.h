// The product as its installation leaves it on the stand-in platform, starts of the whole
// program over it, and the registry as text to compare a machine before and after a run.
#pragma once

#include <string>
#include <vector>

#include "app/app.h"
#include "ui/ui.h"
#include "winsim/control.h"

namespace installation {

const char SystemDriver[] = "C:\\Windows\\system32\\Quillmap.DLL";
const char Wow64Driver[] = "C:\\Windows\\SysWOW64\\Quillmap.DLL";
const char SystemFolder[] = "C:\\Windows\\system32\\";  // as the program holds it, with its backslash
const char ProductFolder[] = "C:\\Program Files\\R7-Tastatur";
const char ProductFiles[][64] = {"Uninstall_Quillmap.exe", "Tastaturbelegung R7 Schaubild.pdf",
                                 "Tastaturbelegung R7 Schaubild.ico"};
const char InstalledExe[] = "C:\\Program Files\\R7-Tastatur\\Uninstall_Quillmap.exe";
const char Shortcut[] = "C:\\Users\\Tester\\Desktop\\Tastaturbelegung R7 Schaubild.LNK";
const char TempCopy[] = "C:\\Users\\Tester\\AppData\\Local\\Temp\\Uninstall_Quillmap.exe";
const char Layouts[] = "HKLM\\System\\CurrentControlSet\\Control\\Keyboard Layouts";
const char TargetKey[] = "HKLM\\System\\CurrentControlSet\\Control\\Keyboard Layouts\\a0010407";
const char Preload[] = "HKCU\\Keyboard Layout\\Preload";
const char Substitutes[] = "HKCU\\Keyboard Layout\\Substitutes";
const char UninstallKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char Entry[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tastaturbelegung Deutsch (R7-Belegung V1.06)";

const char Layout[] = "Deutsch (R7-Belegung V1.06)";
const char Caption[] = "Uninstall_Quillmap";               // of the program's own boxes
const char FileCaption[] = "Tastaturtreiber-Deinstallation";  // of the file operations' reports

inline std::string ProductFile(int index) { return std::string(ProductFolder) + "\\" + ProductFiles[index]; }

// Every file of the installation, the product folder and the TEMP copy of an earlier run.
inline std::vector<std::string> StagedFiles() {
  std::vector<std::string> files = {SystemDriver, Wow64Driver, Shortcut, TempCopy, ProductFolder};
  for (int i = 0; i < 3; ++i) files.push_back(ProductFile(i));
  return files;
}

// The layout a0010407 with its driver on 64-bit Windows, the second entry of the user's list
// through the substitute d0010407, the desktop shortcut, the product folder and the Uninstall
// entry; beside them the standard German layout and another program's entry.
inline void Stage() {
  for (const std::string& file : StagedFiles()) {
    if (file != ProductFolder) winsim::AddFile(file, "MZ");
  }
  winsim::SetRegistryString(Layouts + std::string("\\00000407"), "Layout File", "KBDGR.DLL");
  winsim::SetRegistryString(TargetKey, "Layout File", "Quillmap.DLL");
  winsim::SetRegistryString(TargetKey, "Layout Text", Layout);
  winsim::SetRegistryString(Preload, "1", "00000407");
  winsim::SetRegistryString(Preload, "2", "d0010407");
  winsim::SetRegistryString(Substitutes, "d0010407", "a0010407");
  winsim::SetRegistryString(Entry, "DisplayName", "Tastaturbelegung Deutsch (R7-Belegung V1.06)");
  winsim::SetRegistryString(Entry + std::string("\\Details"), "Note", "below the entry");
  winsim::SetRegistryString(UninstallKey + std::string("\\Other Program"), "DisplayName", "Other Program");
}

// Every key and value below `path`, one line each, to compare a machine before and after.
inline void DumpRegistry(const std::string& path, std::string& out) {
  for (const winsim::RegistryValue& value : winsim::RegistryValues(path))
    out += path + " : " + value.name + " = " + value.data + "\n";
  for (const std::string& key : winsim::RegistrySubkeys(path)) DumpRegistry(path + "\\" + key, out);
}

inline std::string RegistryState() {
  std::string out;
  DumpRegistry("HKCU", out);
  DumpRegistry("HKLM", out);
  return out;
}

// One start of the program as a new process begins it. What an earlier start in the same test
// left in the program's process-wide state is set back first.
inline int RunProgram(const std::string& module, const std::u16string& commandLine) {
  ShutdownDone = false;
  StatusWindowHandle = nullptr;
  StatusLine[0] = 0;
  winsim::SetModuleFileName(module);
  winsim::SetCommandLine(commandLine);
  return WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace installation
