// Camera raw files that are no TIFF: Fujifilm RAF (an embedded JPEG),
// Minolta MRW (a TIFF block), Sigma X3F (its properties and embedded
// JPEG) and Canon CRW (CIFF heaps).
#pragma once

#include <cstddef>

#include "taken/Findings.h"
#include "taken/Source.h"

namespace TakenDate {

// Which of these formats the first `size` bytes announce.
bool IsRaf(const unsigned char* head, size_t size);
bool IsMrw(const unsigned char* head, size_t size);
bool IsX3f(const unsigned char* head, size_t size);
bool IsCrw(const unsigned char* head, size_t size);

// Offer the dates of such a file: RAF and MRW their Exif; X3F the Exif of
// its embedded JPEG and its TIME property (Rank::kFormat), CRW its
// captured time (Rank::kFormat), both wall clock. X3F and CRW read the
// directory at the end of the file.
void FromRaf(Source& source, Findings& found);
void FromMrw(Source& source, Findings& found);
void FromX3f(Source& source, Findings& found);
void FromCrw(Source& source, Findings& found);

}  // namespace TakenDate
