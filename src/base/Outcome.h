// What an operation came to, and when it failed, why. Every service whose
// failure the user is told returns one: its status and the reason in the
// system's own words ("Permission denied", "No space left on device"),
// taken right after the call that failed, so that nothing in between can
// change it. Queries that only answer yes or no (does it exist, is it a
// folder) answer with a plain bool.
#pragma once

#include <utility>

#include "base/Text.h"

template <class Status>
struct Outcome {
  Status status{};
  Text reason;  // why it failed; "" when it did not, or the system gave no reason
};

// The outcome of an operation that works or fails: `status` true when it
// worked.
using Done = Outcome<bool>;

inline Done Succeeded() { return Done{true, Text()}; }
inline Done FailedFor(Text reason) { return Done{false, std::move(reason)}; }
