// Camera video in streams of elements or packets: Matroska and WebM (the
// segment's DateUTC) and the MPEG-2 transport streams of AVCHD camcorders
// (.mts, .m2ts: the recording date the H.264 stream carries, MDPM).
#pragma once

#include <cstddef>

#include "taken/Findings.h"
#include "taken/Source.h"

namespace TakenDate {

// Which of these formats the first `size` bytes announce.
bool IsMatroska(const unsigned char* head, size_t size);
bool IsTransportStream(const unsigned char* head, size_t size);

// Offer the dates of such a file: Matroska its DateUTC (Rank::kFormat,
// UTC), a transport stream the MDPM date of its first video access unit
// (Rank::kFormat, wall clock).
void FromMatroska(Source& source, Findings& found);
void FromTransportStream(Source& source, Findings& found);

}  // namespace TakenDate
