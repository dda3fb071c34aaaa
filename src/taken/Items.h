// The items of a HEIF or AVIF picture: its Exif item and its XMP item,
// found through the meta box's item info and item location boxes.
#pragma once

#include "taken/BoxWalk.h"
#include "taken/Findings.h"
#include "taken/Source.h"

namespace TakenDate {

// Offers the dates of the Exif and XMP items of the meta box `meta`.
void FromItems(Source& source, const Box& meta, Findings& found);

}  // namespace TakenDate
