// The command-line splitter and the start-up checks over arbitrary command lines: the input
// bytes become the UTF-16 command line, the program splits it, checks the key and relocates
// itself. The split is compared with a plain model of the rules (tokens end at a blank, a
// quoted token at the closing quote; the first token is the program's path), and each outcome
// with what the program must leave behind: a refusal is one box and nothing else, an accepted
// key is a copy in TEMP that was started, or the window title of the copy already there.
//
// Input: the first byte chooses the platform (bit 0: the module runs from TEMP, bit 1: TEMP
// written in other letter cases, bit 2: WOW64); every further byte is one UTF-16 unit, except
//   0xFE hi lo     the unit hi * 256 + lo
//   0xFF n c       the unit c, n + 1 times (long tokens from short inputs)
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "files/files.h"
#include "winsim/control.h"

namespace {

const char InstalledExe[] = "C:\\Program Files\\R7-Tastatur\\Uninstall_Quillmap.exe";
const char InstalledContents[] = "MZ installed uninstaller";
const char TempCopy[] = "C:\\Users\\Tester\\AppData\\Local\\Temp\\Uninstall_Quillmap.exe";
const char TempCopyOtherCase[] = "c:\\users\\TESTER\\appdata\\LOCAL\\temp\\Uninstall_Quillmap.exe";

void Require(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "startup_fuzz: invariant broken: %s\n", what);
  abort();
}

std::u16string Decode(const uint8_t* data, size_t size) {
  std::u16string line;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFE && i + 2 < size) {
      line += (char16_t)(data[i + 1] << 8 | data[i + 2]);
      i += 2;
    } else if (data[i] == 0xFF && i + 2 < size) {
      line.append((size_t)data[i + 1] + 1, (char16_t)data[i + 2]);
      i += 2;
    } else {
      line += (char16_t)data[i];
    }
  }
  return line;
}

std::u16string Narrowed(const std::string& text) {
  std::u16string wide;
  for (unsigned char c : text) wide += (char16_t)c;
  return wide;
}

// The tokens as the rules give them: at most the program path and 30 arguments.
std::vector<std::u16string> Tokens(std::u16string line) {
  line = line.substr(0, line.find(u'\0'));  // the program sees the line up to its first zero
  std::vector<std::u16string> tokens;
  size_t at = 0;
  while (at < line.size() && tokens.size() < 1 + (size_t)MaxArgs) {
    std::u16string token;
    if (line[at] == u'"') {
      size_t end = line.find(u'"', at + 1);
      token = line.substr(at + 1, end == std::u16string::npos ? std::u16string::npos : end - at - 1);
      at = end == std::u16string::npos ? line.size() : end + 1;
    } else {
      size_t end = line.find(u' ', at);
      if (end == std::u16string::npos) end = line.size();
      token = line.substr(at, end - at);
      at = end;
    }
    while (at < line.size() && line[at] == u' ') ++at;
    tokens.push_back(token);
  }
  return tokens;
}

void CheckSplit(const std::u16string& line) {
  Require(ArgCount >= -1 && ArgCount <= MaxArgs, "ArgCount within -1..30");
  for (int i = 0; i < MaxArgs; ++i) {
    Require(memchr(Args[i], 0, ArgSize - 1) != nullptr, "argument slot terminated within 259 bytes");
    if (i < ArgCount) continue;
    for (char c : Args[i]) Require(c == 0, "slots from ArgCount on are all zero");
  }
  Require(memchr(ProgramName, 0, sizeof ProgramName) != nullptr, "ProgramName terminated");
  Require(strcmp(ProgramName, "Uninstall_Quillmap") == 0, "ProgramName is the module's name without extension");

  std::vector<std::u16string> tokens = Tokens(line);
  Require(ArgCount == (int)tokens.size() - 1, "ArgCount is the number of tokens after the program path");
  for (int i = 0; i < ArgCount; ++i) {
    const std::u16string& token = tokens[(size_t)i + 1];
    const size_t length = strlen(Args[i]);
    // A token that does not fit the 259 bytes of its slot with its terminator is the empty text.
    if (token.size() > ArgSize - 2) {
      Require(length == 0, "an argument too long for its slot is empty");
      continue;
    }
    Require(length == token.size(), "every UTF-16 unit of an argument is one Windows-1252 byte");
    for (size_t k = 0; k < length; ++k) {
      char16_t unit = token[k];
      if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        Require((unsigned char)Args[i][k] == unit, "Latin-1 units of an argument kept as they are");
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool inTemp = (data[0] & 1) != 0;
  const bool otherCase = (data[0] & 2) != 0;
  const bool wow64 = (data[0] & 4) != 0;
  const std::u16string line = Decode(data + 1, size - 1);

  winsim::Reset();
  winsim::SetWow64(wow64);
  IsWow64 = wow64;
  AppInstance = nullptr;
  StatusWindowHandle = nullptr;
  FsRedirectionOldValue = nullptr;
  memset(TargetLayoutKey, 0, sizeof TargetLayoutKey);
  memset(WindowTitle, 0, sizeof WindowTitle);
  // The state a previous run left: the splitter must overwrite all of it.
  memset(Args, 'x', sizeof Args);
  memset(ProgramName, 'x', sizeof ProgramName);
  ArgCount = 12345;

  const std::string module = !inTemp ? InstalledExe : otherCase ? TempCopyOtherCase : TempCopy;
  winsim::AddFile(module, InstalledContents);
  winsim::SetModuleFileName(module);
  winsim::SetCommandLine(line);

  InitEnvironment();
  CheckSplit(line);
  const bool goOn = CheckStartAndRelocate();

  const bool accepted = ArgCount == 1 && strlen(Args[0]) == 8 && memcmp(Args[0] + 4, "0407", 4) == 0 &&
                        strcmp(Args[0], "00000407") != 0;
  const auto& boxes = winsim::MessageBoxes();
  Require(winsim::OpenHandles().empty(), "no kernel handle left open");
  if (!accepted) {
    Require(!goOn, "a refused key ends the run");
    Require(boxes.size() == 1, "a refusal is exactly one message box");
    Require(boxes[0].caption == ProgramName && boxes[0].owner == nullptr, "the refusal is the program's own unowned box");
    Require(winsim::CallsNamed("CopyFileA").empty() && winsim::ProcessStarts().empty(), "a refusal copies and starts nothing");
    Require(winsim::CallsNamed("Wow64DisableWow64FsRedirection").empty(), "a refusal leaves redirection alone");
    Require(WindowTitle[0] == 0, "a refusal sets no window title");
    return 0;
  }

  Require(strlen(TargetLayoutKey) == 8, "the accepted key has 8 characters");
  Require(memcmp(TargetLayoutKey + 4, "0407", 4) == 0, "the accepted key ends in 0407");
  Require(strcmp(TargetLayoutKey, "00000407") != 0, "the standard layout is never accepted");
  Require(strcmp(TargetLayoutKey, Args[0]) == 0, "the accepted key is the argument");
  Require(boxes.empty(), "an accepted key in a healthy platform shows no box");
  if (inTemp) {
    const std::string title = std::string(ProgramName) + " V1.06 - Tastaturtreiber-Deinstallation";
    Require(goOn, "the copy in TEMP goes on");
    Require(title == WindowTitle, "the copy in TEMP sets its window title");
    Require(winsim::CallsNamed("CopyFileA").empty() && winsim::ProcessStarts().empty(), "the copy in TEMP copies and starts nothing");
    Require(winsim::FsRedirectionDisabled() == wow64, "the copy in TEMP keeps redirection off under WOW64");
  } else {
    Require(!goOn, "the installed program ends after starting its copy");
    Require(WindowTitle[0] == 0, "the installed program sets no window title");
    Require(winsim::Contents(TempCopy) == InstalledContents, "the copy in TEMP is the installed program");
    Require(winsim::ProcessStarts().size() == 1 && winsim::ProcessStarts()[0].started, "the copy is started once");
    const std::string program = std::string("\"") + TempCopy + "\" ";
    Require(winsim::ProcessStarts()[0].applicationName == TempCopy &&
                winsim::ProcessStarts()[0].commandLine.compare(0, program.size(), program) == 0,
            "the copy is started with its quoted path first");
    // The copy splits its command line by the same rules and must find the key again, alone.
    const std::vector<std::u16string> copyTokens = Tokens(Narrowed(winsim::ProcessStarts()[0].commandLine));
    Require(copyTokens.size() == 2 && copyTokens[1] == Narrowed(TargetLayoutKey),
            "the copy finds exactly one argument, the key");
    Require(!winsim::FsRedirectionDisabled(), "redirection is restored before the program ends");
  }
  return 0;
}
