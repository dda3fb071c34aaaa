// Camera video in containers of fixed layout: AVI (its IDIT chunk and XMP),
// ASF/WMV (the file properties' creation date) and raw DV (the recording
// date and time packs of its first frame).
#pragma once

#include <cstddef>

#include "taken/Findings.h"
#include "taken/Source.h"

namespace TakenDate {

// Which of these formats the first `size` bytes announce.
bool IsAvi(const unsigned char* head, size_t size);
bool IsAsf(const unsigned char* head, size_t size);
bool IsDv(const unsigned char* head, size_t size);

// Offer the dates of such a file: an AVI its XMP (the _PMX chunk) and its
// IDIT date (Rank::kFormat, wall clock); an ASF file its creation date
// (Rank::kFormat, UTC); a DV file its recording date (Rank::kFormat, wall
// clock).
void FromAvi(Source& source, Findings& found);
void FromAsf(Source& source, Findings& found);
void FromDv(Source& source, Findings& found);

}  // namespace TakenDate
