#include "dates/DateKind.h"

bool ParseDateKind(TextView value, DateKind& kind) {
  const Text word = AsciiLower(value);
  if (word == u"c" || word == u"created") {
    kind = DateKind::kCreated;
  } else if (word == u"m" || word == u"modified") {
    kind = DateKind::kModified;
  } else if (word == u"a" || word == u"accessed") {
    kind = DateKind::kAccessed;
  } else if (word == u"t" || word == u"taken") {
    kind = DateKind::kTaken;
  } else {
    return false;
  }
  return true;
}
