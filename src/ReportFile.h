// Writing a whole file so that a reader never sees it half-written and a
// failure leaves an earlier file of that name as it was.
#pragma once

#include <functional>
#include <string_view>

#include "Text.h"

// Takes the bytes of a file as they are produced.
using ByteSink = std::function<void(std::string_view bytes)>;

// Writes `fileName` with the bytes that `produce` hands to its sink. They go
// to a temporary file beside it (through one 4096-byte buffer), which is made
// durable and then moved over the name. Returns false when the file could not
// be written; an earlier file of that name is then left as it was and no
// temporary file remains.
bool WriteFileReplacing(const Text& fileName, const std::function<void(const ByteSink&)>& produce);
