// What the program launch relies on about CreateProcessA: the child sees the command line
// exactly as it was passed, the program is the application name (blanks in its path
// included), and a start that fails says why.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "child/echo_args.h"
#include "scratch_folder.h"
#include "win32.h"
#ifndef _WIN32
#include "winsim/control.h"
#endif

namespace {

#ifndef _WIN32
uint32_t EchoStandIn(const std::string& program, const std::string& commandLine) {
  return WriteEcho(program, commandLine) ? 0 : 1;
}
#endif

class ProcessStart : public ScratchFolder {
 protected:
  // Puts the echo helper into the scratch folder under a name with a blank. On Windows it is
  // the helper built beside the tests; on the host, winsim runs the same echo in its place.
  std::string StageEchoProgram() {
    std::string program = Path("echo args.exe");
    Path("echo args.exe.txt");
#ifdef _WIN32
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    EXPECT_TRUE(length > 0 && length < sizeof self);
    std::string helper(self);
    helper = helper.substr(0, helper.find_last_of('\\') + 1) + "echo_args.exe";
    EXPECT_TRUE(CopyFileA(helper.c_str(), program.c_str(), FALSE)) << helper << ", error " << GetLastError();
#else
    EXPECT_TRUE(WriteWholeFile(program, "MZ"));
    winsim::SetProgramStandIn(program, &EchoStandIn);
#endif
    return program;
  }
};

TEST_F(ProcessStart, TheChildSeesTheCommandLineExactlyAsPassed) {
  std::string program = StageEchoProgram();
  const char* parameterRows[] = {"a0010407", "a  \"b c\" d", "Gr\xF6\xDF" "e \\ \"", ""};
  for (const char* parameters : parameterRows) {
    std::string line = "\"" + program + "\" " + parameters;
    char commandLine[1024];
    snprintf(commandLine, sizeof commandLine, "%s", line.c_str());
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    ASSERT_TRUE(CreateProcessA(program.c_str(), commandLine, nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &process))
        << parameters << ", error " << GetLastError();
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 20000)) << parameters;
    DWORD exitCode = 0xdeadbeef;
    EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &exitCode));
    EXPECT_EQ(0u, exitCode) << parameters;
    EXPECT_TRUE(CloseHandle(process.hThread));
    EXPECT_TRUE(CloseHandle(process.hProcess));
    EXPECT_EQ(line, ReadWholeFile(program + ".txt")) << parameters;
  }
}

TEST_F(ProcessStart, FailsWithoutAProgramAndSaysWhy) {
  std::string text = MakeFile("readme.exe", "not a program");
  struct Row {
    const char* what;
    std::string program;
    DWORD error;
  } rows[] = {
      {"missing program", Folder() + "\\missing.exe", ERROR_FILE_NOT_FOUND},
      {"missing folder", Folder() + "\\missing\\missing.exe", ERROR_PATH_NOT_FOUND},
      {"not a program", text, ERROR_BAD_EXE_FORMAT},
  };
  for (const Row& row : rows) {
    char commandLine[MAX_PATH + 16];
    snprintf(commandLine, sizeof commandLine, "\"%s\" a0010407", row.program.c_str());
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateProcessA(row.program.c_str(), commandLine, nullptr, nullptr, TRUE, 0,
                                nullptr, nullptr, &startup, &process))
        << row.what;
    EXPECT_EQ(row.error, GetLastError()) << row.what;
    EXPECT_EQ(nullptr, process.hProcess) << row.what;
    EXPECT_EQ(nullptr, process.hThread) << row.what;
  }
}

}  // namespace
