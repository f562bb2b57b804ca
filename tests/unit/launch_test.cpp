// Starting the copy in TEMP: what CreateProcessA is given, the status line, the warning on
// failure, and the handles left behind.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "app/app.h"
#include "files/files.h"
#include "ui/ui.h"
#include "winsim/control.h"

namespace {

const char Copy[] = "C:\\Users\\Tester\\AppData\\Local\\Temp\\Uninstall_Quillmap.exe";

class LaunchProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StatusLine[0] = 0;
    snprintf(ProgramName, sizeof ProgramName, "%s", "Uninstall_Quillmap");
    winsim::AddFile(Copy, "MZ");
  }
};

TEST_F(LaunchProgramTest, StartsTheProgramWithTheQuotedPathABlankAndTheParameters) {
  EXPECT_TRUE(LaunchProgram(Copy, "a0010407"));
  ASSERT_EQ(1u, winsim::ProcessStarts().size());
  const winsim::ProcessStart& start = winsim::ProcessStarts()[0];
  EXPECT_TRUE(start.started);
  EXPECT_TRUE(start.hasApplicationName);
  EXPECT_EQ(Copy, start.applicationName);
  EXPECT_EQ(std::string("\"") + Copy + "\" a0010407", start.commandLine);
  EXPECT_FALSE(start.processAttributes);
  EXPECT_FALSE(start.threadAttributes);
  EXPECT_TRUE(start.inheritHandles);
  EXPECT_EQ(0u, start.creationFlags);
  EXPECT_FALSE(start.ownEnvironment);
  EXPECT_FALSE(start.hasCurrentDirectory) << "the copy starts in this process's folder";
  EXPECT_EQ(sizeof(STARTUPINFOA), start.startupInfoSize) << "68 bytes in the 32-bit program";

  EXPECT_STREQ("Aufruf von a0010407 ...", StatusLine);
  EXPECT_TRUE(winsim::MessageBoxes().empty());
  EXPECT_TRUE(winsim::OpenHandles().empty());
}

TEST_F(LaunchProgramTest, PassesBlanksAndQuotesInThePathAndParametersUnchanged) {
  const char program[] = "C:\\Users\\Tester\\AppData\\Local\\Temp\\R7 Tastatur\\Uninstall Quillmap.exe";
  winsim::AddFile(program, "MZ");
  EXPECT_TRUE(LaunchProgram(program, "a0010407  \"x y\""));
  ASSERT_EQ(1u, winsim::ProcessStarts().size());
  EXPECT_EQ(std::string("\"") + program + "\" a0010407  \"x y\"", winsim::ProcessStarts()[0].commandLine);
}

TEST_F(LaunchProgramTest, AMissingProgramGivesTheWarningWithEverythingPassed) {
  const char missing[] = "C:\\Users\\Tester\\AppData\\Local\\Temp\\Gone.exe";
  EXPECT_FALSE(LaunchProgram(missing, "a0010407"));
  ASSERT_EQ(1u, winsim::MessageBoxes().size());
  const winsim::MessageBoxRecord& box = winsim::MessageBoxes()[0];
  EXPECT_EQ("Uninstall_Quillmap", box.caption);
  EXPECT_EQ((UINT)(MB_OK | MB_ICONEXCLAMATION), box.style);
  EXPECT_EQ(std::string("Folgender Programmstart konnte nicht durchgef\xFChrt werden:\nDatei: ") + missing +
                "\nAusf\xFChren in: <NULL>\nParameter: a0010407\n\nFehlercode 2:\n" +
                winsim::SystemMessage(ERROR_FILE_NOT_FOUND),
            box.text);
  EXPECT_STREQ("Aufruf von a0010407 ...", StatusLine) << "the status text stays";
  EXPECT_TRUE(winsim::OpenHandles().empty());
}

TEST_F(LaunchProgramTest, TheWarningCarriesTheReasonOfThatVeryFailure) {
  winsim::FailCall("CreateProcessA", Copy, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(LaunchProgram(Copy, "a0010407"));
  ASSERT_EQ(1u, winsim::MessageBoxes().size());
  std::string text = winsim::MessageBoxes()[0].text;
  std::string reason = std::string("\n\nFehlercode 5:\n") + winsim::SystemMessage(ERROR_ACCESS_DENIED);
  ASSERT_GE(text.size(), reason.size());
  EXPECT_EQ(reason, text.substr(text.size() - reason.size()));
}

// The command line's buffer holds 32768 bytes: quote, path, quote, blank, parameters and the
// terminator. One byte more starts nothing rather than a program with cut parameters.
TEST_F(LaunchProgramTest, ACommandLineBeyondItsBufferStartsNothing) {
  size_t room = 32768 - 1 - (strlen(Copy) + 3);
  std::string fits(room, 'p');
  EXPECT_TRUE(LaunchProgram(Copy, fits.c_str()));
  ASSERT_EQ(1u, winsim::ProcessStarts().size());
  EXPECT_EQ(32767u, winsim::ProcessStarts()[0].commandLine.size());
  EXPECT_EQ(std::string("\"") + Copy + "\" " + fits, winsim::ProcessStarts()[0].commandLine);

  winsim::Reset();
  winsim::AddFile(Copy, "MZ");
  std::string tooLong(room + 1, 'p');
  EXPECT_FALSE(LaunchProgram(Copy, tooLong.c_str()));
  EXPECT_TRUE(winsim::ProcessStarts().empty());
  ASSERT_EQ(1u, winsim::MessageBoxes().size());
  EXPECT_EQ(0u, winsim::MessageBoxes()[0].text.find(
                    std::string("Folgender Programmstart konnte nicht durchgef\xFChrt werden:\nDatei: ") + Copy +
                    "\nAusf\xFChren in: <NULL>\nParameter: ppp"));
  EXPECT_EQ(0u, std::string(ErrorText).find("Fehlercode 206")) << ErrorText;
  EXPECT_TRUE(winsim::OpenHandles().empty());
}

}  // namespace
