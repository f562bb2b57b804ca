// What the areas of winsim share among themselves; never included by the program or tests.
#pragma once

#include <stdint.h>

#include <string>

#include "winsim/control.h"

namespace winsim {
namespace detail {

// Appends "function(arguments)" to the call record.
void Record(const std::string& function, const std::string& arguments);

// True when an injected failure matches this call; *error receives its code. Consumes one use.
bool Injected(const std::string& function, const std::string& subject, uint32_t* error);

// Registers an area's own reset; called by winsim::Reset() in registration order.
struct ResetHook {
  explicit ResetHook(void (*reset)());
};

// "0x1a2b": a handle or pointer for the call record.
std::string HandleText(const void* handle);

// Lower-case ASCII copy (names of keys and files compare without regard to A-Z case).
std::string Folded(const std::string& text);

}  // namespace detail
}  // namespace winsim
