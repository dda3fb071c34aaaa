// Letter case by the platform's Unicode case mapping.
#pragma once

#include "base/Text.h"

namespace Platform {

// Upper- and lower-cased copies, one code point at a time (lengths never
// change).
Text ToUpper(TextView text);
Text ToLower(TextView text);

}  // namespace Platform
