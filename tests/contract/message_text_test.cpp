// What the message texts rely on: wvsprintfA's conversions and its 1024-byte limit, and the
// system's error texts from FormatMessageA, which end in CR LF and are released with LocalFree.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "win32.h"

namespace {

int Format(char* output, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int length = wvsprintfA(output, format, args);
  va_end(args);
  return length;
}

std::string Formatted(const char* format, ...) {
  char output[1024];
  va_list args;
  va_start(args, format);
  wvsprintfA(output, format, args);
  va_end(args);
  return output;
}

// A buffer larger than the platform's limit, filled with a canary byte, to see where the
// formatter stops writing.
struct Canary {
  char bytes[1400];
  Canary() { memset(bytes, 0x5A, sizeof bytes); }
  size_t Untouched(size_t from) const {
    size_t count = 0;
    for (size_t i = from; i < sizeof bytes && bytes[i] == 0x5A; ++i) ++count;
    return count;
  }
};

TEST(WvsprintfA, FormatsTheConversionsTheProgramUses) {
  EXPECT_EQ("L\xF6sche C:\\a b\\x.dll ...", Formatted("L\xF6sche %s ...", "C:\\a b\\x.dll"));
  EXPECT_EQ("", Formatted("%s", ""));
  EXPECT_EQ("Fehlercode -65534", Formatted("Fehlercode %d", -65534));
  EXPECT_EQ("Fehlercode 65535", Formatted("Fehlercode %d", 65535));
  EXPECT_EQ("Fehlercode FFFF0001", Formatted("Fehlercode %08lX", (DWORD)0xFFFF0001));
  EXPECT_EQ("Fehlercode 00010000", Formatted("Fehlercode %08lX", (DWORD)0x10000));
  EXPECT_EQ("100% x", Formatted("100%% %s", "x"));
}

TEST(WvsprintfA, ReturnsTheLengthWithoutTerminator) {
  char output[1024];
  EXPECT_EQ(14, Format(output, "L\xF6sche %s ...", "x.d"));
  EXPECT_EQ(0, Format(output, "%s", ""));
}

// A result that fills the 1024 bytes is cut to 1023 characters and terminated; the count
// returned is then 1024, one more than the characters stored.
TEST(WvsprintfA, CutsALongResultAt1023CharactersAndTerminatesIt) {
  std::string value(1500, 'v');
  struct Case {
    const char* what;
    const char* format;
  };
  const Case cases[] = {{"long value", "%s"}, {"prefix and long value", "ab %s cd"}};
  for (const Case& c : cases) {
    Canary out;
    int length = Format(out.bytes, c.format, value.c_str());
    EXPECT_EQ(1024, length) << c.what;
    EXPECT_EQ(0, out.bytes[1023]) << c.what;
    EXPECT_EQ(1023u, strlen(out.bytes)) << c.what;
    EXPECT_EQ(sizeof out.bytes - 1024, out.Untouched(1024)) << c.what << ": wrote past 1024 bytes";
  }
}

TEST(WvsprintfA, CountAtTheLimit) {
  struct Case {
    size_t characters;
    int count;
  };
  for (Case c : {Case{1022, 1022}, Case{1023, 1024}}) {
    std::string value(c.characters, 'w');
    Canary out;
    EXPECT_EQ(c.count, Format(out.bytes, "%s", value.c_str())) << c.characters << " characters";
    EXPECT_EQ(value, std::string(out.bytes)) << c.characters << " characters";
    EXPECT_EQ(sizeof out.bytes - 1024, out.Untouched(1024)) << c.characters << " characters";
  }
}

TEST(WvsprintfA, ALongFormatWithoutConversionIsCutToo) {
  std::string format(1200, 'f');
  Canary out;
  EXPECT_EQ(1024, Format(out.bytes, format.c_str()));
  EXPECT_EQ(1023u, strlen(out.bytes));
}

DWORD SystemText(DWORD code, char** text) {
  *text = nullptr;
  return FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)text, 0, nullptr);
}

TEST(FormatMessageA, SystemTextsEndInCrLf) {
  for (DWORD code : {0u, 2u, 3u, 5u, 32u, 145u}) {
    char* text = nullptr;
    DWORD length = SystemText(code, &text);
    ASSERT_NE(0u, length) << "code " << code;
    ASSERT_NE(nullptr, text) << "code " << code;
    EXPECT_EQ(strlen(text), length) << "code " << code;
    ASSERT_GE(length, 3u) << "code " << code;
    EXPECT_EQ('\r', text[length - 2]) << "code " << code;
    EXPECT_EQ('\n', text[length - 1]) << "code " << code;
    EXPECT_EQ(nullptr, LocalFree(text)) << "code " << code;
  }
}

TEST(FormatMessageA, ACodeWithoutTextFails) {
  char* text;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0u, SystemText(0x20001234, &text));
  EXPECT_EQ((DWORD)ERROR_MR_MID_NOT_FOUND, GetLastError());
}

// Without FORMAT_MESSAGE_IGNORE_INSERTS and without arguments, a text with an insert ("%1 ist
// keine zulässige Win32-Anwendung.") is not delivered.
TEST(FormatMessageA, ATextWithAnInsertFailsWithoutArguments) {
  char* text;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0u, SystemText(ERROR_BAD_EXE_FORMAT, &text));
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
}

}  // namespace
