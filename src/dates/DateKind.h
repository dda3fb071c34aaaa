// Which time stamp of a file is counted, and the words that choose it.
#pragma once

#include "base/Text.h"

enum class DateKind {
  kCreated,
  kModified,
  kAccessed,
  kTaken,  // when a picture or video was taken, from its metadata; else the last write
};

// The date value: c, m, a or t, or the words created, modified, accessed
// and taken, in any letter case. False for anything else, the empty value included.
bool ParseDateKind(TextView value, DateKind& kind);
