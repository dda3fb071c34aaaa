// Text for files and streams outside the program: the system's narrow code
// page, and UTF-8.
#pragma once

#include <string>

#include "base/Text.h"

namespace Platform {

// `text` in the system's narrow code page (Windows: the ANSI code page;
// POSIX: the locale's character set). A character the code page lacks
// becomes its default character (on POSIX exactly one "?", a lone surrogate
// too; a byte carried from a name that is not UTF-8 goes out as that byte).
std::string ToNarrow(TextView text);

// `text` in UTF-8, always valid: a lone surrogate (on POSIX also a byte
// carried from a name that is not UTF-8) becomes U+FFFD.
std::string ToUtf8(TextView text);

}  // namespace Platform
