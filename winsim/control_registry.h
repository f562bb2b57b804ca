// Test control of winsim: registry. Included by winsim/control.h.
#pragma once

#include "winsim/control.h"

namespace winsim {}  // namespace winsim
