// What the command-line splitter relies on about WideCharToMultiByte with CP_ACP: Windows-1252
// bytes for German text, and failure (0) when the text with its terminator does not fit.
#include <gtest/gtest.h>
#include <string.h>

#include "win32.h"

TEST(WideCharToMultiByte, ConvertsGermanTextToWindows1252) {
  const WCHAR wide[] = {u'L', 0x00E4, u'n', u'g', u'e', 0x00DF, 0x20AC, 0};
  char narrow[16];
  memset(narrow, 0x5A, sizeof narrow);
  int written = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, wide, -1, narrow, 15, nullptr, nullptr);
  EXPECT_EQ(8, written);  // the terminator is counted
  EXPECT_STREQ("L\xE4nge\xDF\x80", narrow);
}

// A command line may hold anything: each half of a surrogate pair, U+FFFF and CJK become '?',
// while a full-width letter becomes its ASCII look-alike (no WC_NO_BEST_FIT_CHARS).
TEST(WideCharToMultiByte, CharactersOutsideTheCodePage) {
  struct Row {
    const char* what;
    WCHAR wide[4];
    const char* narrow;
  } rows[] = {{"surrogate pair", {0xD83D, 0xDE00, u'x', 0}, "??x"},
              {"lone high surrogate", {0xD83D, u'x', 0, 0}, "?x"},
              {"U+FFFF", {0xFFFF, u'x', 0, 0}, "?x"},
              {"CJK", {0x4E2D, u'x', 0, 0}, "?x"},
              {"full-width a and 0", {0xFF41, 0xFF10, 0, 0}, "a0"}};
  for (const Row& row : rows) {
    char narrow[16];
    memset(narrow, 0x5A, sizeof narrow);
    int written = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, row.wide, -1, narrow, 15, nullptr, nullptr);
    EXPECT_EQ((int)strlen(row.narrow) + 1, written) << row.what;
    EXPECT_STREQ(row.narrow, narrow) << row.what;
  }
}

TEST(WideCharToMultiByte, FailsWhenTheTextDoesNotFit) {
  WCHAR wide[301];
  for (int i = 0; i < 300; ++i) wide[i] = u'x';
  wide[300] = 0;
  char narrow[260];
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, wide, -1, narrow, 259, nullptr, nullptr));
  EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
}

TEST(WideCharToMultiByte, ExactFitWithTerminatorSucceeds) {
  WCHAR wide[259];
  for (int i = 0; i < 258; ++i) wide[i] = u'k';
  wide[258] = 0;
  char narrow[260];
  EXPECT_EQ(259, WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, wide, -1, narrow, 259, nullptr, nullptr));
  EXPECT_EQ(258u, strlen(narrow));
}
