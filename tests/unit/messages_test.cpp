// Message texts and boxes: the formatter, the text of the last system error, the line breaks
// for stray control characters, and the four kinds of box with their owner.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "support/case_name.h"
#include "ui/ui.h"
#include "winsim/control.h"

namespace {

const char Canary = 0x5A;

int Format(char* dest, size_t destSize, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int length = FormatText(dest, destSize, format, args);
  va_end(args);
  return length;
}

// A destination of `size` bytes inside a larger buffer filled with a canary byte.
struct Guarded {
  explicit Guarded(size_t size) : size(size), bytes(size + 64, Canary) {}
  char* dest() { return bytes.data(); }
  std::string text() const { return std::string(bytes.data()); }
  bool untouchedPastEnd() const {
    for (size_t i = size; i < bytes.size(); ++i) {
      if (bytes[i] != Canary) return false;
    }
    return true;
  }
  size_t size;
  std::vector<char> bytes;
};

// ---- FormatText ---------------------------------------------------------------------------------

struct FormatCase {
  const char* what;
  const char* format;  // formatted with one %s value
  std::string value;
  size_t destSize;
  std::string expected;
};

class FormatTextCases : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTextCases, StoresTheTextAndReturnsItsLength) {
  const FormatCase& c = GetParam();
  Guarded out(c.destSize);
  int length = Format(out.dest(), out.size, c.format, c.value.c_str());
  EXPECT_EQ(c.expected, out.text());
  EXPECT_EQ((int)c.expected.size(), length);
  EXPECT_TRUE(out.untouchedPastEnd());
}

const std::string LongPath = "C:\\" + std::string(1100, 'p');
const std::string LongFormat = std::string(3000, 'f');

INSTANTIATE_TEST_SUITE_P(
    FormatText, FormatTextCases,
    ::testing::Values(
        FormatCase{"value in place of %s", "L\xF6sche %s ...", "C:\\Windows\\system32\\Quillmap.DLL", 5500,
                   "L\xF6sche C:\\Windows\\system32\\Quillmap.DLL ..."},
        FormatCase{"empty format gives empty text", "", "unused", 5500, ""},
        FormatCase{"empty result gives the format itself", "%s", "", 5500, "%s"},
        FormatCase{"blank result is not empty", " %s", "", 5500, " "},
        FormatCase{"value with a percent sign stays a value", "Schl\xFCssel %s", "100%s", 5500,
                   "Schl\xFCssel 100%s"},
        FormatCase{"long result cut after 1023 characters", "L\xF6sche %s ...", LongPath, 5500,
                   ("L\xF6sche " + LongPath).substr(0, 1023)},
        FormatCase{"long result cut to a smaller destination", "L\xF6sche %s ...", LongPath, 40,
                   ("L\xF6sche " + LongPath).substr(0, 39)},
        FormatCase{"short result cut to a tiny destination", "ab %s", "cdef", 4, "ab "},
        FormatCase{"format without % copied whole beyond 1024", LongFormat.c_str(), "unused", 5500,
                   LongFormat},
        FormatCase{"format without % cut to its destination", LongFormat.c_str(), "unused", 501,
                   LongFormat.substr(0, 500)},
        FormatCase{"fallback format cut to its destination", "%s", "", 2, "%"}),
    CaseName<::testing::TestParamInfo<FormatCase>>);

TEST(FormatText, NullFormatGivesTheInternalErrorText) {
  Guarded out(100);
  int length = Format(out.dest(), out.size, nullptr);
  EXPECT_EQ("<INTERNER FEHLER: Formatstring fehlt>", out.text());
  EXPECT_EQ(37, length);

  Guarded tiny(10);
  EXPECT_EQ(9, Format(tiny.dest(), tiny.size, nullptr));
  EXPECT_EQ("<INTERNER", tiny.text());
  EXPECT_TRUE(tiny.untouchedPastEnd());
}

TEST(FormatText, ZeroSizedDestinationReceivesNothing) {
  Guarded out(0);
  EXPECT_EQ(0, Format(out.dest(), 0, "L\xF6sche %s ...", "x"));
  EXPECT_EQ(0, Format(out.dest(), 0, "ohne Prozent"));
  EXPECT_TRUE(out.untouchedPastEnd());
}

// ---- LastErrorText ------------------------------------------------------------------------------

struct ErrorCase {
  const char* what;
  int64_t code;  // taken as its 32-bit pattern
  std::string expected;
  WORD result;
};

class LastErrorTextCases : public ::testing::TestWithParam<ErrorCase> {
 protected:
  void SetUp() override {
    winsim::SetSystemMessage(5, "Zugriff verweigert\r\n");
    winsim::SetSystemMessage(0x80070005, "Zugriff verweigert (COM)\r\n");
    winsim::RemoveSystemMessage(1234);
  }
};

TEST_P(LastErrorTextCases, CodeLineThenSystemText) {
  const ErrorCase& c = GetParam();
  memset(ErrorText, Canary, sizeof ErrorText);
  SetLastError((DWORD)(uint32_t)c.code);
  EXPECT_EQ(c.result, LastErrorText());
  EXPECT_EQ(c.expected, std::string(ErrorText));
  EXPECT_EQ(0u, winsim::LiveLocalBlocks()) << "the system's buffer was not released";
}

INSTANTIATE_TEST_SUITE_P(
    LastErrorText, LastErrorTextCases,
    ::testing::Values(
        ErrorCase{"5 with its system text", 5, "Fehlercode 5:\nZugriff verweigert\r\n", 5},
        ErrorCase{"code without system text", 1234, "Fehlercode 1234", 1234},
        ErrorCase{"65535 still decimal", 65535, "Fehlercode 65535", 0xFFFF},
        ErrorCase{"65536 hexadecimal", 65536, "Fehlercode 00010000", 0},
        ErrorCase{"minus 1 decimal", -1, "Fehlercode -1", 0xFFFF},
        ErrorCase{"minus 65534 still decimal", -65534, "Fehlercode -65534", 0x0002},
        ErrorCase{"minus 65535 hexadecimal", -65535, "Fehlercode FFFF0001", 0x0001},
        ErrorCase{"HRESULT hexadecimal with text", 0x80070005,
                  "Fehlercode 80070005:\nZugriff verweigert (COM)\r\n", 0x0005},
        ErrorCase{"insert text not delivered", 193, "Fehlercode 193", 193}),
    CaseName<::testing::TestParamInfo<ErrorCase>>);

TEST(LastErrorText, AsksTheSystemInTheUsersLanguageForItsOwnBuffer) {
  SetLastError(5);
  LastErrorText();
  EXPECT_EQ(std::vector<std::string>{"FormatMessageA(0x1100, 5, 0x400)"},
            winsim::CallsNamed("FormatMessageA"));
  EXPECT_EQ(1u, winsim::CallsNamed("LocalFree").size());
}

TEST(LastErrorText, ALongSystemTextIsCutAtTheEndOfErrorText) {
  std::string longText(3000, 'm');
  winsim::SetSystemMessage(32, longText + "\r\n");
  SetLastError(32);
  LastErrorText();
  std::string expected = ("Fehlercode 32:\n" + longText).substr(0, sizeof ErrorText - 1);
  EXPECT_EQ(expected, std::string(ErrorText));
  EXPECT_EQ(0u, winsim::LiveLocalBlocks());
}

TEST(LastErrorText, TheNextCallReplacesTheWholeText) {
  winsim::SetSystemMessage(5, "Zugriff verweigert\r\n");
  winsim::RemoveSystemMessage(1234);
  SetLastError(5);
  LastErrorText();
  SetLastError(1234);
  LastErrorText();
  EXPECT_STREQ("Fehlercode 1234", ErrorText);
}

// ---- ControlCharsToLineBreaks -------------------------------------------------------------------

struct BreakCase {
  const char* what;
  std::string source;
  std::string expected;
};

class LineBreakCases : public ::testing::TestWithParam<BreakCase> {};

TEST_P(LineBreakCases, ControlCharactersBecomeCrLf) {
  const BreakCase& c = GetParam();
  Guarded out(2 * c.source.size() + 1);
  ControlCharsToLineBreaks(out.dest(), out.size, c.source.c_str());
  EXPECT_EQ(c.expected, out.text());
  EXPECT_TRUE(out.untouchedPastEnd());
}

INSTANTIATE_TEST_SUITE_P(
    ControlCharsToLineBreaks, LineBreakCases,
    ::testing::Values(
        BreakCase{"tab", "Datei\tfehlt", "Datei\r\nfehlt"},
        BreakCase{"line feed stays single", "Zeile 1\nZeile 2", "Zeile 1\nZeile 2"},
        BreakCase{"CR LF stays", "a\r\nb", "a\r\nb"},
        BreakCase{"lone CR stays", "a\rb", "a\rb"},
        BreakCase{"lowest and highest control", std::string("\x01x\x1F"), "\r\nx\r\n"},
        BreakCase{"vertical tab and escape", "a\vb\x1B", "a\r\nb\r\n"},
        BreakCase{"all control characters", "\t\t\t", "\r\n\r\n\r\n"},
        BreakCase{"space and DEL unchanged", "a b\x7F", "a b\x7F"},
        BreakCase{"Windows-1252 letters unchanged", "L\xF6sche \xC4\xD6\xDC\xE4\xFC\xDF \x80\x81\xA0\xFF",
                  "L\xF6sche \xC4\xD6\xDC\xE4\xFC\xDF \x80\x81\xA0\xFF"},
        BreakCase{"empty", "", ""}),
    CaseName<::testing::TestParamInfo<BreakCase>>);

TEST(ControlCharsToLineBreaks, StopsBeforeWhatDoesNotFitAndNeverSplitsAPair) {
  struct Case {
    size_t destSize;
    std::string expected;
  };
  for (const Case& c : {Case{1, ""}, Case{3, "ab"}, Case{4, "ab"}, Case{5, "ab\r\n"},
                        Case{6, "ab\r\nc"}, Case{7, "ab\r\ncd"}}) {
    Guarded out(c.destSize);
    ControlCharsToLineBreaks(out.dest(), out.size, "ab\tcd");
    EXPECT_EQ(c.expected, out.text()) << "size " << c.destSize;
    EXPECT_TRUE(out.untouchedPastEnd()) << "size " << c.destSize;
  }
}

// ---- Message boxes ------------------------------------------------------------------------------

class MessageBoxes : public ::testing::Test {
 protected:
  void SetUp() override {
    snprintf(ProgramName, sizeof ProgramName, "%s", "Uninstall_Quillmap");
    StatusWindowHandle = nullptr;
  }
  void TearDown() override { StatusWindowHandle = nullptr; }

  // A window of its own stands in for the status window as the owner.
  static HWND MakeOwner() {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "Owner";
    RegisterClassExA(&windowClass);
    return CreateWindowExA(0, "Owner", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                           nullptr, nullptr, nullptr);
  }
};

struct BoxKind {
  const char* what;
  int (*show)(const char* value);  // shows the box kind with the format "Text %s" and the value
  const char* caption;
  UINT style;
};

const BoxKind Kinds[] = {
    {"ShowInfo", [](const char* v) { return ShowInfo("Text %s", v); }, "Uninstall_Quillmap", 0x40},
    {"AskYesNo", [](const char* v) { return AskYesNo("Text %s", v); }, "Uninstall_Quillmap", 0x24},
    {"ShowWarning", [](const char* v) { return ShowWarning("Text %s", v); }, "Uninstall_Quillmap", 0x30},
    {"ShowWarningTitled",
     [](const char* v) { return ShowWarningTitled("Tastaturtreiber-Deinstallation", "Text %s", v); },
     "Tastaturtreiber-Deinstallation", 0x30},
};

TEST_F(MessageBoxes, EachKindHasItsCaptionStyleAndFormattedText) {
  for (const BoxKind& kind : Kinds) {
    winsim::Reset();
    kind.show("C:\\a\tb.dll");
    ASSERT_EQ(1u, winsim::MessageBoxes().size()) << kind.what;
    const winsim::MessageBoxRecord& box = winsim::MessageBoxes()[0];
    EXPECT_EQ(kind.caption, box.caption) << kind.what;
    EXPECT_EQ(kind.style, box.style) << kind.what;
    EXPECT_EQ("Text C:\\a\r\nb.dll", box.text) << kind.what;
    EXPECT_EQ(box.text, std::string(MessageText)) << kind.what;
  }
}

TEST_F(MessageBoxes, OwnerIsTheStatusWindowOnceItExists) {
  for (const BoxKind& kind : Kinds) {
    winsim::Reset();
    StatusWindowHandle = nullptr;
    kind.show("vorher");
    StatusWindowHandle = MakeOwner();
    ASSERT_NE(nullptr, StatusWindowHandle);
    kind.show("nachher");
    ASSERT_EQ(2u, winsim::MessageBoxes().size()) << kind.what;
    EXPECT_EQ(nullptr, winsim::MessageBoxes()[0].owner) << kind.what;
    EXPECT_EQ(StatusWindowHandle, winsim::MessageBoxes()[1].owner) << kind.what;
  }
}

TEST_F(MessageBoxes, TheBoxResultIsReturned) {
  for (const BoxKind& kind : Kinds) {
    winsim::Reset();
    winsim::QueueMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(IDCANCEL, kind.show("x")) << kind.what;
    winsim::FailCall("MessageBoxA", "*", ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ(0, kind.show("x")) << kind.what << ": a failed box";
  }
}

TEST_F(MessageBoxes, AskYesNoAnswers) {
  winsim::QueueMessageBoxAnswer(IDYES);
  winsim::QueueMessageBoxAnswer(IDNO);
  EXPECT_EQ(6, AskYesNo("Wirklich %s entfernen?", "Deutsch (R7-Belegung V1.06)"));
  EXPECT_EQ(7, AskYesNo("Wirklich %s entfernen?", "Deutsch (R7-Belegung V1.06)"));
  EXPECT_EQ("Wirklich Deutsch (R7-Belegung V1.06) entfernen?", winsim::MessageBoxes()[1].text);
}

TEST_F(MessageBoxes, TextsBeyondTheFormatBufferAreCutBeforeTheLineBreaks) {
  std::string longText(6000, 'x');
  longText[5497] = '\t';
  ShowWarning(longText.c_str());
  // 5499 characters fit the format buffer; its tab becomes CR LF.
  std::string expected = longText.substr(0, 5497) + "\r\n" + longText.substr(5498, 1);
  EXPECT_EQ(expected, winsim::MessageBoxes()[0].text);
}

TEST_F(MessageBoxes, ShowMessageBoxPassesItsArgumentsThrough) {
  StatusWindowHandle = MakeOwner();
  winsim::QueueMessageBoxAnswer(IDNO);
  EXPECT_EQ(IDNO, ShowMessageBox("roh\t%s", "Titel", MB_YESNO | MB_ICONQUESTION));
  const winsim::MessageBoxRecord& box = winsim::MessageBoxes()[0];
  EXPECT_EQ("roh\t%s", box.text);
  EXPECT_EQ("Titel", box.caption);
  EXPECT_EQ(0x24u, box.style);
  EXPECT_EQ(StatusWindowHandle, box.owner);
}

}  // namespace
