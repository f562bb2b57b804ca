// The box driver: starts the program under test, watches the desktop while it runs, and answers
// its message boxes from a script, the way a person would click them.
//
//   boxdriver.exe --transcript FILE --program PATH [--args TEXT] [--cwd DIR]
//                 [--answers yes,no,ok,...] [--auto] [--watch-only] [--window-class NAME]
//                 [--hold PATH]... [--screenshot FILE.bmp] [--timeout-ms N]
//
// The program is started with the command line: PATH in double quotes, and, when --args is
// given, one blank and TEXT unchanged. The driver runs until every process whose file name is
// that of PATH has ended (the program may start copies of itself), or until the time-out, after
// which it ends those processes.
//
// Transcript: one JSON object per line, written as it happens. Texts are the window texts in
// Windows-1252, each byte written as one character (bytes >= 0x80 as \u00XX), so that a reader
// gets the exact bytes back with latin-1.
//   {"kind":"start", "commandLine":...}
//   {"kind":"process", "pid":N, "image":..., "role":"started"|"child"}
//   {"kind":"window", "class":..., "title":..., "rect":[left,top,right,bottom], "role":...}
//   {"kind":"box", "caption":..., "text":..., "owner":CLASS|"none", "icon":KIND,
//    "buttons":[...], "answer":..., "role":..., "seen":MS}   (MS: milliseconds from the start
//    of the program until the box was first seen)
//   {"kind":"exit", "pid":N, "code":N}
//   {"kind":"end", "reason":"processes ended"|"timeout"}
// KIND is information, exclamation, question, error, none, or unknown; it is found by comparing
// the icon on screen with the system's icons drawn by the driver itself, because under Wine icon
// handles of another process can be neither compared nor read.
//
// Answers: --answers gives one answer per box in order; a box for which the script has no
// answer, or whose buttons do not fit the answer, gets the cautious default (No, or OK) and the
// transcript says so. --auto answers Yes and OK to everything. --watch-only answers nothing
// (a person clicks) and only records.
//
// --hold PATH opens that file before the program starts, without FILE_SHARE_DELETE, and keeps it
// open to the end, so that deleting it fails as when another program uses it. WOW64 file-system
// redirection is off for the open, so that a path in system32 means the native folder.
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

struct Options {
  std::string transcript, program, args, cwd, windowClass, screenshot;
  bool hasArgs = false, autoAnswer = false, watchOnly = false;
  std::vector<std::string> answers, holds;
  DWORD timeoutMs = 60000;
};

FILE* Transcript = nullptr;

// ---- Texts ---------------------------------------------------------------------------------

std::string ToCp1252(const wchar_t* text) {
  int size = WideCharToMultiByte(1252, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string result(size, '\0');
  WideCharToMultiByte(1252, 0, text, -1, &result[0], size, nullptr, nullptr);
  result.resize(size - 1);
  return result;
}

// The title of a top-level window. For a window of another process the system hands out the
// stored title without sending WM_GETTEXT, so a program that is busy and pumps no messages does
// not hold the driver up.
std::string WindowTitle(HWND window) {
  wchar_t text[1024] = {0};
  GetWindowTextW(window, text, sizeof text / sizeof text[0]);
  return ToCp1252(text);
}

// The text of a control of a message box: asked with WM_GETTEXT, which the box's modal loop
// answers.
std::string ControlText(HWND control) {
  wchar_t text[8192] = {0};
  SendMessageTimeoutW(control, WM_GETTEXT, sizeof text / sizeof text[0], (LPARAM)text,
                      SMTO_ABORTIFHUNG, 2000, nullptr);
  text[sizeof text / sizeof text[0] - 1] = 0;
  return ToCp1252(text);
}

std::string ClassName(HWND window) {
  wchar_t name[256] = {0};
  GetClassNameW(window, name, sizeof name / sizeof name[0]);
  return ToCp1252(name);
}

std::string Json(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += (char)c;
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += (char)c;
    }
  }
  return out + "\"";
}

// Milliseconds since the program was started, for the timings of tools/bench.
LARGE_INTEGER LaunchCounter;

double SinceLaunch() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return 1000.0 * (double)(now.QuadPart - LaunchCounter.QuadPart) / (double)frequency.QuadPart;
}

void Record(const std::string& line) {
  fputs(line.c_str(), Transcript);
  fputc('\n', Transcript);
  fflush(Transcript);
}

// ---- Processes -------------------------------------------------------------------------------

struct Watched {
  DWORD pid;
  HANDLE handle;
  bool ended;
};

std::vector<Watched> Processes;
DWORD StartedPid = 0;

const char* BaseName(const std::string& path) {
  const char* name = path.c_str();
  for (const char* p = name; *p; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  return name;
}

std::string ImagePath(HANDLE process) {
  wchar_t path[MAX_PATH * 2] = {0};
  DWORD size = sizeof path / sizeof path[0];
  if (!QueryFullProcessImageNameW(process, 0, path, &size)) return std::string();
  return ToCp1252(path);
}

const char* Role(DWORD pid) {
  if (pid == StartedPid) return "started";
  for (const Watched& w : Processes)
    if (w.pid == pid) return "child";
  return "other";
}

void Watch(DWORD pid, HANDLE handle) {
  for (const Watched& w : Processes)
    if (w.pid == pid) return;
  if (handle == nullptr)
    handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
  if (handle == nullptr) return;
  Processes.push_back({pid, handle, false});
  Record("{\"kind\":\"process\",\"pid\":" + std::to_string(pid) + ",\"image\":" +
         Json(ImagePath(handle)) + ",\"role\":\"" + Role(pid) + "\"}");
}

// Notes the ends of the watched processes, then looks for new processes of the program's file
// name; true while any of them runs. The search comes after the ends, so that a copy started
// just before its parent ended is found before the driver concludes that all have ended.
bool PollProcesses(const char* exeName) {
  for (Watched& w : Processes) {
    if (w.ended || WaitForSingleObject(w.handle, 0) != WAIT_OBJECT_0) continue;
    DWORD code = 0;
    GetExitCodeProcess(w.handle, &code);
    w.ended = true;
    Record("{\"kind\":\"exit\",\"pid\":" + std::to_string(w.pid) + ",\"code\":" +
           std::to_string(code) + ",\"role\":\"" + Role(w.pid) + "\"}");
  }
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
      if (lstrcmpiA(entry.szExeFile, exeName) == 0) Watch(entry.th32ProcessID, nullptr);
    CloseHandle(snapshot);
  }
  for (const Watched& w : Processes)
    if (!w.ended) return true;
  return false;
}

void EndProcesses() {
  for (Watched& w : Processes) {
    if (w.ended) continue;
    HANDLE killer = OpenProcess(PROCESS_TERMINATE, FALSE, w.pid);
    if (killer != nullptr) {
      TerminateProcess(killer, 0xDEAD);
      CloseHandle(killer);
    }
  }
}

// ---- Screen ----------------------------------------------------------------------------------

// A top-down 32-bit capture of a screen rectangle, or of an icon drawn by the driver.
struct Pixels {
  int width = 0, height = 0;
  std::vector<DWORD> data;
};

// Runs draw(memory DC, screen DC, pixels) on a fresh 32-bit top-down bitmap of the given size
// and returns what it holds afterwards.
template <typename Draw>
Pixels Render(int width, int height, Draw draw) {
  Pixels result;
  result.width = width;
  result.height = height;
  if (width <= 0 || height <= 0) return result;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  draw(memory, screen, (DWORD*)bits);
  GdiFlush();
  result.data.assign((DWORD*)bits, (DWORD*)bits + width * height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return result;
}

Pixels Capture(const RECT& rect) {
  return Render(rect.right - rect.left, rect.bottom - rect.top, [&rect](HDC memory, HDC screen, DWORD*) {
    BitBlt(memory, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top, SRCCOPY);
  });
}

Pixels DrawReference(HICON icon, int width, int height, DWORD background) {
  return Render(width, height, [=](HDC memory, HDC, DWORD* bits) {
    for (int i = 0; i < width * height; ++i) bits[i] = background;
    DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
  });
}

// Writes the whole screen as a 24-bit BMP file.
bool SaveScreen(const std::string& path) {
  RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  Pixels shot = Capture(screen);
  if (shot.data.empty()) return false;
  int rowSize = (shot.width * 3 + 3) & ~3;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER header = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + rowSize * shot.height;
  header.biSize = sizeof header;
  header.biWidth = shot.width;
  header.biHeight = shot.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  FILE* out = fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  fwrite(&file, sizeof file, 1, out);
  fwrite(&header, sizeof header, 1, out);
  std::vector<unsigned char> row(rowSize);
  for (int y = shot.height - 1; y >= 0; --y) {
    for (int x = 0; x < shot.width; ++x) {
      DWORD p = shot.data[y * shot.width + x];
      row[x * 3] = p & 0xFF;
      row[x * 3 + 1] = (p >> 8) & 0xFF;
      row[x * 3 + 2] = (p >> 16) & 0xFF;
    }
    fwrite(row.data(), 1, rowSize, out);
  }
  return fclose(out) == 0;
}

// ---- Message boxes ---------------------------------------------------------------------------

struct IconKind {
  const char* name;
  LPCWSTR id;
};
const IconKind IconKinds[] = {{"information", (LPCWSTR)IDI_INFORMATION},
                              {"exclamation", (LPCWSTR)IDI_EXCLAMATION},
                              {"question", (LPCWSTR)IDI_QUESTION},
                              {"error", (LPCWSTR)IDI_ERROR}};

BOOL CALLBACK FindIconControl(HWND child, LPARAM found) {
  if (ClassName(child) == "Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
      IsWindowVisible(child)) {
    *(HWND*)found = child;
    return FALSE;
  }
  return TRUE;
}

// Which system icon the box shows. The box may not be painted yet when it first becomes visible,
// so the comparison is repeated for a while until one icon matches every pixel.
std::string IconOf(HWND box) {
  HWND control = nullptr;
  EnumChildWindows(box, FindIconControl, (LPARAM)&control);
  if (control == nullptr || SendMessageW(control, STM_GETICON, 0, 0) == 0) return "none";
  RECT rect;
  GetWindowRect(control, &rect);
  std::string best = "unknown";
  for (int attempt = 0; attempt < 100; ++attempt) {
    Pixels shown = Capture(rect);
    if (shown.data.empty()) return "unknown";
    int bestMismatch = shown.width * shown.height + 1;
    for (const IconKind& kind : IconKinds) {
      HICON icon = LoadIconW(nullptr, kind.id);
      Pixels reference = DrawReference(icon, shown.width, shown.height, shown.data[0]);
      int mismatch = 0;
      for (size_t i = 0; i < shown.data.size(); ++i)
        if ((shown.data[i] & 0xFFFFFF) != (reference.data[i] & 0xFFFFFF)) ++mismatch;
      if (mismatch < bestMismatch) {
        bestMismatch = mismatch;
        best = kind.name;
      }
    }
    if (bestMismatch == 0) return best;
    Sleep(20);
  }
  return "unknown";
}

struct Button {
  int id;
  const char* name;
};
const Button Buttons[] = {{IDOK, "ok"}, {IDCANCEL, "cancel"}, {IDYES, "yes"}, {IDNO, "no"}};

std::vector<HWND> HandledBoxes;
size_t AnswersUsed = 0;
bool ScreenshotTaken = false;

BOOL CALLBACK CollectBoxes(HWND window, LPARAM list) {
  if (IsWindowVisible(window) && ClassName(window) == "#32770")
    ((std::vector<HWND>*)list)->push_back(window);
  return TRUE;
}

bool HasVisibleButton(HWND box) {
  for (const Button& b : Buttons) {
    HWND button = GetDlgItem(box, b.id);
    if (button != nullptr && IsWindowVisible(button)) return true;
  }
  return false;
}

void HandleBox(HWND box, const Options& options, double seen) {
  std::string buttons;
  std::vector<std::string> present;
  for (const Button& b : Buttons) {
    HWND button = GetDlgItem(box, b.id);
    if (button != nullptr && IsWindowVisible(button)) {
      present.push_back(b.name);
      buttons += std::string(buttons.empty() ? "" : ",") + "\"" + b.name + "\"";
    }
  }
  bool question = false;
  for (const std::string& p : present) question |= p == "yes";
  HWND owner = GetWindow(box, GW_OWNER);
  DWORD pid = 0;
  GetWindowThreadProcessId(box, &pid);
  std::string icon = IconOf(box);

  if (!options.screenshot.empty() && !ScreenshotTaken && question) {
    ScreenshotTaken = SaveScreen(options.screenshot);
  }

  std::string answer, note;
  if (options.watchOnly) {
    answer = "person";
  } else {
    if (options.autoAnswer) {
      answer = question ? "yes" : "ok";
    } else if (AnswersUsed < options.answers.size()) {
      answer = options.answers[AnswersUsed++];
    } else {
      note = "no answer left in the script";
    }
    bool fits = false;
    for (const std::string& p : present) fits |= p == answer;
    if (!answer.empty() && !fits) note = "answer '" + answer + "' does not fit the buttons";
    if (!fits) answer = question ? "no" : "ok";
  }
  Record("{\"kind\":\"box\",\"caption\":" + Json(WindowTitle(box)) +
         ",\"text\":" + Json(ControlText(GetDlgItem(box, 0xFFFF))) +
         ",\"owner\":" + Json(owner != nullptr ? ClassName(owner) : "none") +
         ",\"icon\":\"" + icon + "\",\"buttons\":[" + buttons + "],\"answer\":\"" + answer +
         "\",\"role\":\"" + Role(pid) + "\"" + (note.empty() ? "" : ",\"note\":" + Json(note)) +
         ",\"seen\":" + std::to_string(seen) + "}");
  if (options.watchOnly) return;
  for (const Button& b : Buttons)
    if (answer == b.name) PostMessageW(box, WM_COMMAND, MAKEWPARAM(b.id, BN_CLICKED), 0);
}

void PollBoxes(const Options& options) {
  std::vector<HWND> boxes;
  EnumWindows(CollectBoxes, (LPARAM)&boxes);
  // A box stays handled for as long as its window exists: while it closes, Wine may show it
  // again for a moment without its buttons, which is not a new box.
  std::vector<HWND> still;
  for (HWND h : HandledBoxes)
    if (IsWindow(h)) still.push_back(h);
  HandledBoxes = still;
  for (HWND box : boxes) {
    bool handled = false;
    for (HWND h : HandledBoxes) handled |= h == box;
    if (handled || !HasVisibleButton(box)) continue;  // one without buttons is not ready yet
    HandledBoxes.push_back(box);
    HandleBox(box, options, SinceLaunch());
  }
}

// ---- Windows of the program ------------------------------------------------------------------

std::vector<HWND> SeenWindows;

struct WindowSearch {
  const std::string* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindows(HWND window, LPARAM search) {
  WindowSearch* s = (WindowSearch*)search;
  if (IsWindowVisible(window) && ClassName(window) == *s->className) s->found.push_back(window);
  return TRUE;
}

void PollWindows(const Options& options) {
  if (options.windowClass.empty()) return;
  WindowSearch search = {&options.windowClass, {}};
  EnumWindows(CollectWindows, (LPARAM)&search);
  for (HWND window : search.found) {
    bool seen = false;
    for (HWND h : SeenWindows) seen |= h == window;
    if (seen) continue;
    SeenWindows.push_back(window);
    RECT r;
    GetWindowRect(window, &r);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    Record("{\"kind\":\"window\",\"class\":" + Json(ClassName(window)) + ",\"title\":" +
           Json(WindowTitle(window)) + ",\"rect\":[" + std::to_string(r.left) + "," +
           std::to_string(r.top) + "," + std::to_string(r.right) + "," + std::to_string(r.bottom) +
           "],\"role\":\"" + Role(pid) + "\"}");
  }
}

// ---- Start -----------------------------------------------------------------------------------

typedef BOOL(WINAPI* RedirectionFunction)(PVOID*);

std::vector<HANDLE> HoldFiles(const Options& options) {
  std::vector<HANDLE> handles;
  HMODULE kernel = GetModuleHandleA("kernel32");
  RedirectionFunction disable =
      (RedirectionFunction)(void*)GetProcAddress(kernel, "Wow64DisableWow64FsRedirection");
  RedirectionFunction revert =
      (RedirectionFunction)(void*)GetProcAddress(kernel, "Wow64RevertWow64FsRedirection");
  for (const std::string& path : options.holds) {
    PVOID old = nullptr;
    BOOL disabled = disable != nullptr && disable(&old);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD error = GetLastError();
    if (disabled) revert((PVOID*)old);
    Record("{\"kind\":\"hold\",\"path\":" + Json(path) + ",\"error\":" +
           std::to_string(file == INVALID_HANDLE_VALUE ? error : 0) + "}");
    if (file != INVALID_HANDLE_VALUE) handles.push_back(file);
  }
  return handles;
}

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    if (comma > start) items.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    std::string number, list, hold;
    if (a == "--transcript" && value(options.transcript)) continue;
    if (a == "--program" && value(options.program)) continue;
    if (a == "--args" && value(options.args)) {
      options.hasArgs = true;
      continue;
    }
    if (a == "--cwd" && value(options.cwd)) continue;
    if (a == "--window-class" && value(options.windowClass)) continue;
    if (a == "--screenshot" && value(options.screenshot)) continue;
    if (a == "--answers" && value(list)) {
      options.answers = Split(list);
      continue;
    }
    if (a == "--hold" && value(hold)) {
      options.holds.push_back(hold);
      continue;
    }
    if (a == "--timeout-ms" && value(number)) {
      options.timeoutMs = strtoul(number.c_str(), nullptr, 10);
      continue;
    }
    if (a == "--auto") {
      options.autoAnswer = true;
      continue;
    }
    if (a == "--watch-only") {
      options.watchOnly = true;
      continue;
    }
    fprintf(stderr, "boxdriver: unknown or incomplete option %s\n", a.c_str());
    return false;
  }
  return !options.transcript.empty() && !options.program.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    fprintf(stderr, "usage: boxdriver --transcript FILE --program PATH [--args TEXT] ...\n");
    return 2;
  }
  Transcript = fopen(options.transcript.c_str(), "wb");
  if (Transcript == nullptr) {
    fprintf(stderr, "boxdriver: cannot write %s\n", options.transcript.c_str());
    return 2;
  }
  std::vector<HANDLE> held = HoldFiles(options);

  std::string commandLine = "\"" + options.program + "\"";
  if (options.hasArgs) commandLine += " " + options.args;
  Record("{\"kind\":\"start\",\"commandLine\":" + Json(commandLine) + "}");
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  QueryPerformanceCounter(&LaunchCounter);
  if (!CreateProcessA(options.program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      options.cwd.empty() ? nullptr : options.cwd.c_str(), &startup, &process)) {
    Record("{\"kind\":\"end\",\"reason\":\"start failed\",\"error\":" +
           std::to_string(GetLastError()) + "}");
    return 1;
  }
  CloseHandle(process.hThread);
  StartedPid = process.dwProcessId;
  Watch(process.dwProcessId, process.hProcess);

  const char* exeName = BaseName(options.program);
  DWORD start = GetTickCount();
  const char* reason = "processes ended";
  for (;;) {
    PollWindows(options);
    PollBoxes(options);
    if (!PollProcesses(exeName)) break;
    if (GetTickCount() - start > options.timeoutMs) {
      reason = "timeout";
      EndProcesses();
      break;
    }
    Sleep(5);
  }
  Record(std::string("{\"kind\":\"end\",\"reason\":\"") + reason + "\"}");
  for (HANDLE h : held) CloseHandle(h);
  fclose(Transcript);
  return 0;
}
