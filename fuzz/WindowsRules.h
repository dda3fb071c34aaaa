// What the Windows-rules stand-in of the platform layer records.
#pragma once

#include <vector>

#include "base/Text.h"

namespace Platform {

// The path and pattern of every folder search started, in order.
extern std::vector<Text> SearchedPatterns;

}  // namespace Platform
