// winsim: programs started by the process. A started program runs to its end inside
// CreateProcessA, through the stand-in a test registered for it.
#include <map>

#include "winsim/internal.h"

namespace winsim {
namespace {

std::vector<ProcessStart> Starts;
std::map<std::string, ProgramStandIn> StandIns;  // by folded path
DWORD NextProcessId = 0x1000;

void ResetLaunch() {
  Starts.clear();
  StandIns.clear();
  NextProcessId = 0x1000;
}
detail::ResetHook Hook(&ResetLaunch);

// Without an application name the program is the first token of the command line.
std::string ProgramOf(LPCSTR applicationName, LPCSTR commandLine) {
  if (applicationName != nullptr) return applicationName;
  if (commandLine == nullptr) return std::string();
  std::string line = commandLine;
  if (!line.empty() && line[0] == '"') {
    size_t end = line.find('"', 1);
    return line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
  }
  return line.substr(0, line.find(' '));
}

}  // namespace

const std::vector<ProcessStart>& ProcessStarts() { return Starts; }

void SetProgramStandIn(const std::string& program, ProgramStandIn standIn) {
  StandIns[detail::FileKey(program.c_str(), false)] = standIn;
}

}  // namespace winsim

using namespace winsim;

BOOL WINAPI CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                           LPSECURITY_ATTRIBUTES processAttributes,
                           LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                           DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                           LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION processInformation) {
  ProcessStart start;
  start.hasApplicationName = applicationName != nullptr;
  start.applicationName = applicationName ? applicationName : "";
  start.hasCommandLine = commandLine != nullptr;
  start.commandLine = commandLine ? commandLine : start.applicationName;
  start.processAttributes = processAttributes != nullptr;
  start.threadAttributes = threadAttributes != nullptr;
  start.inheritHandles = inheritHandles != FALSE;
  start.creationFlags = creationFlags;
  start.ownEnvironment = environment != nullptr;
  start.hasCurrentDirectory = currentDirectory != nullptr;
  start.currentDirectory = currentDirectory ? currentDirectory : "";
  start.startupInfoSize = startupInfo ? startupInfo->cb : 0;
  start.started = false;
  detail::Record("CreateProcessA", (applicationName ? applicationName : "NULL") + std::string(", ") +
                                       (commandLine ? commandLine : "NULL"));

  std::string program = ProgramOf(applicationName, commandLine);
  uint32_t error;
  bool failed = detail::Injected("CreateProcessA", applicationName ? applicationName : start.commandLine, &error);
  if (!failed) {
    error = detail::ProgramFileError(program.c_str());
    failed = error != 0;
  }
  if (failed) {
    Starts.push_back(start);
    SetLastError(error);
    return FALSE;
  }
  start.started = true;
  Starts.push_back(start);

  uint32_t exitCode = 0;
  auto standIn = StandIns.find(detail::FileKey(program.c_str(), true));
  if (standIn != StandIns.end()) exitCode = standIn->second(program, start.commandLine);

  detail::KernelObject process{detail::ObjectKind::Process, detail::FileKey(program.c_str(), true), program};
  process.exitCode = exitCode;
  detail::KernelObject thread{detail::ObjectKind::Thread, process.key, program};
  processInformation->hProcess = detail::OpenObject(process);
  processInformation->hThread = detail::OpenObject(thread);
  processInformation->dwProcessId = NextProcessId;
  processInformation->dwThreadId = NextProcessId + 4;
  NextProcessId += 8;
  return TRUE;
}

// Every started program has already ended.
DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD) {
  detail::KernelObject* found = detail::FindObject(object);
  if (found == nullptr || (found->kind != detail::ObjectKind::Process &&
                           found->kind != detail::ObjectKind::Thread)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0xFFFFFFFF;  // WAIT_FAILED
  }
  return WAIT_OBJECT_0;
}

BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  detail::KernelObject* found = detail::FindObject(process);
  if (found == nullptr || found->kind != detail::ObjectKind::Process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *exitCode = found->exitCode;
  return TRUE;
}
