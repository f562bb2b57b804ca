// Test control of winsim: windows. Included by winsim/control.h.
#pragma once

#include "winsim/control.h"

namespace winsim {}  // namespace winsim
