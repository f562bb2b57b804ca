// winsim: wvsprintfA, the platform's small formatter, for the conversions the program uses:
// %s %c %d %i %u %x %X with the flags '-' and '0', a width, a precision and the size prefix 'l'.
// Like the platform's, it writes at most 1024 bytes including the terminator.
#include <stdio.h>
#include <string.h>

#include <string>

#include "winsim/internal.h"

namespace {

const size_t PlatformLimit = 1024;

std::string Padded(std::string text, bool left, char fill, int width) {
  if (width > 0 && (int)text.size() < width) {
    std::string padding((size_t)width - text.size(), fill);
    if (left) return text + std::string((size_t)width - text.size(), ' ');
    if (fill == '0' && !text.empty() && text[0] == '-') return "-" + padding + text.substr(1);
    return padding + text;
  }
  return text;
}

}  // namespace

int WINAPI wvsprintfA(LPSTR output, LPCSTR format, va_list arguments) {
  std::string result;
  const char* p = format;
  while (*p != 0) {
    if (*p != '%') {
      result += *p++;
      continue;
    }
    ++p;
    bool left = false;
    char fill = ' ';
    for (; *p == '-' || *p == '0' || *p == '#'; ++p) {
      if (*p == '-') left = true;
      if (*p == '0') fill = '0';
    }
    int width = 0;
    while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
    int precision = -1;
    if (*p == '.') {
      ++p;
      precision = 0;
      while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
    }
    while (*p == 'l' || *p == 'h') ++p;
    char text[64];
    switch (*p) {
      case 's': {
        const char* s = va_arg(arguments, const char*);
        std::string value = s ? s : "(null)";
        if (precision >= 0 && (size_t)precision < value.size()) value.resize((size_t)precision);
        result += Padded(value, left, ' ', width);
        break;
      }
      case 'c':
        result += Padded(std::string(1, (char)va_arg(arguments, int)), left, ' ', width);
        break;
      case 'd':
      case 'i':
        snprintf(text, sizeof text, "%d", (int)va_arg(arguments, int32_t));
        result += Padded(text, left, fill, width);
        break;
      case 'u':
        snprintf(text, sizeof text, "%u", (unsigned)va_arg(arguments, uint32_t));
        result += Padded(text, left, fill, width);
        break;
      case 'x':
      case 'X':
        snprintf(text, sizeof text, *p == 'x' ? "%x" : "%X", (unsigned)va_arg(arguments, uint32_t));
        result += Padded(text, left, fill, width);
        break;
      case 0:
        --p;  // a lone % at the end
        break;
      default:
        result += *p;  // "%%" and unknown conversions give the character itself
        break;
    }
    ++p;
  }
  if (result.size() > PlatformLimit - 1) result.resize(PlatformLimit - 1);
  memcpy(output, result.c_str(), result.size() + 1);
  return (int)result.size();
}
