// Files made of boxes: each top-level box as it comes.
#include "taken/Boxes.h"

#include <initializer_list>

#include "taken/BoxWalk.h"
#include "taken/Items.h"
#include "taken/Movie.h"
#include "taken/Xmp.h"

namespace TakenDate {

namespace {

// The type of the top-level uuid box that holds an XMP packet.
constexpr unsigned char kXmpUuid[16] = {0xBE, 0x7A, 0xCF, 0xCB, 0x97, 0xA9, 0x42, 0xE8,
                                        0x9C, 0x71, 0x99, 0x94, 0x91, 0xE3, 0xAF, 0xAC};

}  // namespace

bool IsBoxFile(const unsigned char* head) {
  const uint32_t type = Be32(head + 4);
  // QuickTime files may start with any of their top-level boxes, not only ftyp.
  for (uint32_t first :
       {FourCc("ftyp"), FourCc("moov"), FourCc("mdat"), FourCc("free"), FourCc("skip"), FourCc("wide")}) {
    if (type == first) return true;
  }
  return false;
}

void FromBoxes(Source& source, Findings& found) {
  // Each box as it comes: a HEIF picture's meta box (before its media data)
  // or a CR3's movie box may hold the best date there is, and then the walk
  // ends there.
  bool meta = false, moov = false;
  Box box;
  uint64_t pos = 0;
  for (int step = 0;
       step < kMostSteps && !found.Settled(Rank::kExifOriginal) && BoxAt(source, pos, kToEndOfFile, box);
       ++step) {
    if (box.type == FourCc("meta") && !meta) {
      meta = true;
      FromItems(source, box, found);
    } else if (box.type == FourCc("moov") && !moov) {
      moov = true;
      FromMovie(source, box, found);
    } else if (IsUuid(source, box, kXmpUuid)) {
      FromXmp(source, box.body, box.end - box.body, found);
    }
    pos = box.end;
  }
}

}  // namespace TakenDate
