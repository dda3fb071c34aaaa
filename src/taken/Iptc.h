// IPTC records: the date and time a news or agency photo was created, as
// JPEG's Photoshop segment, TIFF, PSD and the image programs' formats keep
// them.
#pragma once

#include <cstdint>

#include "taken/Findings.h"
#include "taken/Source.h"

namespace TakenDate {

// Offers the IPTC date of the records in the `length` bytes at `start`:
// DateCreated (2:55) with TimeCreated (2:60), as written (Rank::kIptc).
void FromIptc(Source& source, uint64_t start, uint64_t length, Findings& found);

}  // namespace TakenDate
