// Photoshop's metadata: the image resource blocks that carry Exif, XMP and
// IPTC (JPEG APP13, PSD), and PSD files.
#pragma once

#include <cstdint>

#include "taken/Findings.h"
#include "taken/Source.h"

namespace TakenDate {

// Offers the dates of the image resource blocks ("8BIM") in the `length`
// bytes at `start`: Exif (0x0422), XMP (0x0424) and IPTC (0x0404).
void FromResources(Source& source, uint64_t start, uint64_t length, Findings& found);

// Offers the dates of a Photoshop file ("8BPS", PSD and PSB): those of its
// image resources section.
void FromPsd(Source& source, Findings& found);

}  // namespace TakenDate
