// winsim: the system's texts. FormatMessageA and LocalFree for the system's error messages, and
// wvsprintfA, the platform's small formatter, for the conversions the program uses:
// %s %c %d %i %u %x %X with the flags '-' and '0', a width, a precision and the size prefix 'l'.
// Like the platform's, it writes at most 1024 bytes including the terminator.
//
// FormatMessageA knows only FORMAT_MESSAGE_FROM_SYSTEM. Like the platform, a message with an
// insert (%1 ...) fails with ERROR_INVALID_PARAMETER when neither FORMAT_MESSAGE_IGNORE_INSERTS
// nor arguments are given; otherwise inserts are left as they stand.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <set>
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
  // A result that fills the buffer (1023 characters or more) is stored cut to 1023 characters
  // and terminated, and the count returned is then the limit itself, 1024.
  if (result.size() >= PlatformLimit - 1) {
    memcpy(output, result.data(), PlatformLimit - 1);
    output[PlatformLimit - 1] = 0;
    return (int)PlatformLimit;
  }
  memcpy(output, result.c_str(), result.size() + 1);
  return (int)result.size();
}

// ---- System error texts ---------------------------------------------------------------------------

namespace winsim {
namespace {

// The texts of a German system for the codes the program meets, each ending in CR LF.
const std::map<DWORD, std::string>& DefaultSystemMessages() {
  static const std::map<DWORD, std::string> messages = {
      {0, "Der Vorgang wurde erfolgreich beendet.\r\n"},
      {2, "Das System kann die angegebene Datei nicht finden.\r\n"},
      {3, "Das System kann den angegebenen Pfad nicht finden.\r\n"},
      {5, "Zugriff verweigert\r\n"},
      {6, "Das Handle ist ung\xFCltig.\r\n"},
      {8, "Nicht gen\xFCgend Speicher verf\xFCgbar, um diesen Befehl zu verarbeiten.\r\n"},
      {32, "Der Prozess kann nicht auf die Datei zugreifen, da sie von einem anderen Prozess "
           "verwendet wird.\r\n"},
      {80, "Die Datei ist vorhanden.\r\n"},
      {87, "Falscher Parameter.\r\n"},
      {122, "Der an einen Systemaufruf \xFC" "bergebene Datenbereich ist zu klein.\r\n"},
      {145, "Das Verzeichnis ist nicht leer.\r\n"},
      {183, "Eine Datei kann nicht erstellt werden, wenn sie bereits vorhanden ist.\r\n"},
      {193, "%1 ist keine zul\xE4ssige Win32-Anwendung.\r\n"},
      {234, "Weitere Daten sind verf\xFCgbar.\r\n"},
      {259, "Es sind keine weiteren Daten vorhanden.\r\n"},
      {1018, "Unzul\xE4ssiger Vorgang f\xFCr einen zum L\xF6schen markierten "
             "Registrierungsschl\xFCssel.\r\n"},
  };
  return messages;
}

std::map<DWORD, std::string> SystemMessages;

bool HasInsert(const char* text) {
  for (const char* p = strchr(text, '%'); p != nullptr; p = strchr(p + 1, '%')) {
    if (p[1] >= '1' && p[1] <= '9') return true;
  }
  return false;
}
std::set<void*> LocalBlocks;

void ResetSystemMessages() {
  SystemMessages = DefaultSystemMessages();
  for (void* block : LocalBlocks) free(block);
  LocalBlocks.clear();
}
detail::ResetHook SystemMessagesHook(&ResetSystemMessages);

}  // namespace

const char* SystemMessage(DWORD code) {
  auto found = SystemMessages.find(code);
  return found == SystemMessages.end() ? nullptr : found->second.c_str();
}
void SetSystemMessage(DWORD code, const std::string& text) { SystemMessages[code] = text; }
void RemoveSystemMessage(DWORD code) { SystemMessages.erase(code); }
size_t LiveLocalBlocks() { return LocalBlocks.size(); }

}  // namespace winsim

// Only FORMAT_MESSAGE_FROM_SYSTEM is modelled. With FORMAT_MESSAGE_ALLOCATE_BUFFER, `buffer`
// receives a block for LocalFree; otherwise the text and terminator must fit `size` bytes.
DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD languageId,
                            LPSTR buffer, DWORD size, va_list* arguments) {
  char recorded[64];
  snprintf(recorded, sizeof recorded, "0x%X, %u, 0x%X", (unsigned)flags, (unsigned)messageId,
           (unsigned)languageId);
  winsim::detail::Record("FormatMessageA", recorded);
  uint32_t error;
  if (winsim::detail::Injected("FormatMessageA", std::to_string(messageId), &error)) {
    SetLastError(error);
    return 0;
  }
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || buffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char* text = winsim::SystemMessage(messageId);
  if (text == nullptr) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  if ((flags & FORMAT_MESSAGE_IGNORE_INSERTS) == 0 && arguments == nullptr && winsim::HasInsert(text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length = strlen(text);
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    char* block = (char*)malloc(length + 1);
    if (block == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    memcpy(block, text, length + 1);
    winsim::LocalBlocks.insert(block);
    *(char**)buffer = block;
    return (DWORD)length;
  }
  if (length + 1 > size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(buffer, text, length + 1);
  return (DWORD)length;
}

// Returns null when the block was released, the block itself when it is not one of ours.
HLOCAL WINAPI LocalFree(HLOCAL memory) {
  winsim::detail::Record("LocalFree", winsim::detail::HandleText(memory));
  if (memory == nullptr) return nullptr;
  if (winsim::LocalBlocks.erase(memory) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return memory;
  }
  free(memory);
  return nullptr;
}
