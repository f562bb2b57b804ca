// A stand-in program with known boxes, for checking the box driver itself: it behaves like the
// uninstaller in miniature. Started without arguments it starts a copy of itself (argument
// "copy") and ends with 0; the copy shows an exclamation box without owner, opens a window of
// class "SampleStatus", asks a Yes/No question owned by that window, reports the answer in an
// information box and ends with the answer's code (6 for Yes, 7 for No).
#include <windows.h>

#include <string.h>

namespace {

const char Caption[] = "sampleboxes";

LRESULT CALLBACK SampleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

int StartCopy() {
  char path[MAX_PATH] = {0};
  GetModuleFileNameA(nullptr, path, sizeof path);
  char commandLine[MAX_PATH + 16] = {0};
  lstrcpynA(commandLine, "\"", sizeof commandLine);
  lstrcatA(commandLine, path);
  lstrcatA(commandLine, "\" copy");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return 1;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

int RunCopy(HINSTANCE instance) {
  // Windows-1252 bytes above 0x7F, a quote, a tab and a line feed: the transcript keeps them all.
  MessageBoxA(nullptr, "Länge äöüß € – \"zitiert\"\tTab\nZeile 2", Caption,
              MB_OK | MB_ICONEXCLAMATION);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = SampleWindowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  windowClass.lpszClassName = "SampleStatus";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "SampleStatus", "Sample V1 - Titel", WS_OVERLAPPEDWINDOW, 720,
                                450, 480, 180, nullptr, nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  int answer = MessageBoxA(window, "Weiter?", Caption, MB_YESNO | MB_ICONQUESTION);
  MessageBoxA(window, answer == IDYES ? "Ja" : "Nein", Caption, MB_OK | MB_ICONINFORMATION);
  return answer;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  if (strcmp(commandLine, "copy") == 0) return RunCopy(instance);
  return StartCopy();
}
