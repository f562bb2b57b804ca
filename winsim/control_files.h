// Test control of winsim: files. Included by winsim/control.h.
#pragma once

#include "winsim/control.h"

namespace winsim {}  // namespace winsim
