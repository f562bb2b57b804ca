// Text helpers shared by the modules.
#include "app/app.h"

namespace {

char FoldedAscii(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

}  // namespace

bool SameIgnoringAsciiCase(const char* a, const char* b, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (FoldedAscii(a[i]) != FoldedAscii(b[i])) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

const char* FileNamePart(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != 0; ++p) {
    if (*p == ':' || *p == '/' || *p == '\\') name = p + 1;
  }
  return name;
}
