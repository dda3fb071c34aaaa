// Camera video in containers of fixed layout: AVI, ASF, DV.
#include "taken/Video.h"

#include <cstring>

#include "base/Calendar.h"
#include "taken/DateText.h"
#include "taken/Xmp.h"

namespace TakenDate {

namespace {

constexpr size_t kMostIdit = 64;  // longer than any date text it holds

// ASF objects are named by GUIDs, as stored (the first three fields little-endian).
constexpr unsigned char kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                          0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr unsigned char kAsfFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                  0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr size_t kAsfFilePropertiesBytes = 104;
constexpr uint32_t kAsfBroadcast = 1;  // a live stream: its creation date is not set

// DV: a frame is 10 (525 lines, 60 Hz) or 12 (625 lines, 50 Hz) sequences
// of 150 blocks of 80 bytes. Blocks 1-2 of a sequence are subcode (6 packs
// each, behind 3 bytes of ID and 3 of each pack's own), blocks 3-5 video
// auxiliary data (15 packs each, behind the 3-byte ID); a pack is 5 bytes.
constexpr size_t kDvBlock = 80;
constexpr size_t kDvSequence = 150 * kDvBlock;
constexpr unsigned kDvRecordingDate = 0x62;
constexpr unsigned kDvRecordingTime = 0x63;

// The date and time packs found so far, of one area (subcode or video
// auxiliary data): the bytes behind each pack's type.
struct DvPacks {
  bool date = false, time = false;
  unsigned char dateBytes[4] = {}, timeBytes[4] = {};

  void Note(const unsigned char* pack) {
    // A pack whose fields are unset is all ones; each is checked when read.
    if (pack[0] == kDvRecordingDate && !date && Bcd(pack[4]) >= 0) {
      date = true;
      std::memcpy(dateBytes, pack + 1, 4);
    } else if (pack[0] == kDvRecordingTime && !time && Bcd(pack[4], 0x3F) >= 0) {
      time = true;
      std::memcpy(timeBytes, pack + 1, 4);
    }
  }

  // Day, month and two-digit year (00-69: 20xx); seconds, minutes, hours.
  Moment Read() const {
    if (!date || !time) return {};
    const int year = Bcd(dateBytes[3]);
    return WallClock(year < 70 ? 2000 + year : 1900 + year, Bcd(dateBytes[2], 0x1F), Bcd(dateBytes[1], 0x3F),
                     Bcd(timeBytes[3], 0x3F), Bcd(timeBytes[2], 0x7F), Bcd(timeBytes[1], 0x7F));
  }
};

// The chunks of an AVI from `pos` to `end`: LIST hdrl is entered, the
// others passed over by their size.
void FromAviChunks(Source& source, uint64_t pos, uint64_t end, bool top, Findings& found) {
  for (int step = 0; step < kMostSteps && Fits(pos, 8, end) && !found.Settled(Rank::kXmp); ++step) {
    const unsigned char* p = source.At(pos, 12);
    if (p == nullptr) p = source.At(pos, 8);
    if (p == nullptr) return;
    const uint32_t type = Be32(p);
    const uint64_t size = Le32(p + 4), body = pos + 8;
    if (!Fits(body, size, end)) return;
    if (type == FourCc("IDIT") && !found.Settled(Rank::kFormat)) {
      const unsigned char* text = size <= kMostIdit ? source.At(body, static_cast<size_t>(size)) : nullptr;
      if (text != nullptr) found.Offer(Rank::kFormat, FromIditText(text, static_cast<size_t>(size)));
    } else if (type == FourCc("_PMX")) {
      FromXmp(source, body, size, found);
    } else if (top && type == FourCc("LIST") && size >= 4 && Be32(p + 8) == FourCc("hdrl")) {
      FromAviChunks(source, body + 4, body + size, false, found);
    }
    pos = body + size + (size & 1);  // chunks are padded to an even size
  }
}

}  // namespace

bool IsAvi(const unsigned char* head, size_t size) {
  return size >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0;
}

bool IsAsf(const unsigned char* head, size_t size) {
  return size >= 30 && std::memcmp(head, kAsfHeader, 16) == 0;
}

bool IsDv(const unsigned char* head, size_t size) {
  // The header block's ID (section 0, sequence 0, block 0), then a subcode block.
  return size >= 2 * kDvBlock && head[0] == 0x1F && head[1] == 0x07 && head[2] == 0x00 &&
         (head[kDvBlock] & 0xE0) == 0x20;
}

void FromAvi(Source& source, Findings& found) {
  const unsigned char* p = source.At(0, 12);
  if (p == nullptr) return;
  FromAviChunks(source, 12, 8 + uint64_t{Le32(p + 4)}, true, found);
}

void FromAsf(Source& source, Findings& found) {
  // The header object: its GUID, size and number of objects, 2 reserved
  // bytes, then the objects, each a GUID and a 64-bit size first.
  const unsigned char* p = source.At(0, 30);
  if (p == nullptr) return;
  const uint64_t end = Le64(p + 16), count = Le32(p + 24);
  uint64_t pos = 30;
  for (uint64_t i = 0; i < count && i < kMostSteps && Fits(pos, 24, end); ++i) {
    p = source.At(pos, 24);
    if (p == nullptr) return;
    const uint64_t size = Le64(p + 16);
    if (size < 24 || !Fits(pos, size, end)) return;
    if (std::memcmp(p, kAsfFileProperties, 16) == 0) {
      // The creation date counts 100 ns from 1601-01-01 UTC; 0 is none.
      const unsigned char* q =
          size >= kAsfFilePropertiesBytes ? source.At(pos, kAsfFilePropertiesBytes) : nullptr;
      if (q == nullptr || (Le32(q + 88) & kAsfBroadcast) != 0) return;
      const uint64_t ticks = Le64(q + 48);
      constexpr int64_t kEpochSeconds = Calendar::kUnixEpochTicks / Calendar::kTicksPerSecond;
      if (ticks != 0) {
        found.Offer(Rank::kFormat,
                    Utc(static_cast<int64_t>(ticks / Calendar::kTicksPerSecond) - kEpochSeconds));
      }
      return;
    }
    pos += size;
  }
}

void FromDv(Source& source, Findings& found) {
  const unsigned char* p = source.At(0, 4);
  if (p == nullptr) return;
  const uint64_t sequences = (p[3] & 0x80) != 0 ? 12 : 10;
  DvPacks subcode, auxiliary;
  for (uint64_t s = 0; s < sequences && !(auxiliary.date && auxiliary.time); ++s) {
    // Blocks 1 to 5: the subcode and the video auxiliary data.
    const unsigned char* blocks = source.At(s * kDvSequence + kDvBlock, 5 * kDvBlock);
    if (blocks == nullptr) break;
    for (size_t b = 0; b < 5; ++b) {
      const unsigned char* block = blocks + b * kDvBlock;
      const unsigned section = block[0] >> 5;
      if (section == 1) {
        for (size_t k = 0; k < 6; ++k) subcode.Note(block + 3 + 8 * k + 3);
      } else if (section == 2) {
        for (size_t k = 0; k < 15; ++k) auxiliary.Note(block + 3 + 5 * k);
      }
    }
  }
  const Moment recorded = auxiliary.Read();
  found.Offer(Rank::kFormat, recorded.kind != Kind::kNone ? recorded : subcode.Read());
}

}  // namespace TakenDate
