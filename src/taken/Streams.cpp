// Camera video in streams: Matroska's elements, MPEG-2 transport packets.
#include "taken/Streams.h"

#include <algorithm>
#include <cstring>

#include "base/Calendar.h"
#include "taken/DateText.h"

namespace TakenDate {

namespace {

// Matroska's element IDs, their length marks kept.
constexpr uint32_t kEbmlHeader = 0x1A45DFA3;
constexpr uint32_t kSegment = 0x18538067;
constexpr uint32_t kSeekHead = 0x114D9B74;
constexpr uint32_t kSeek = 0x4DBB;
constexpr uint32_t kSeekId = 0x53AB;
constexpr uint32_t kSeekPosition = 0x53AC;
constexpr uint32_t kInfo = 0x1549A966;
constexpr uint32_t kDateUtc = 0x4461;
constexpr uint32_t kCluster = 0x1F43B675;
// DateUTC counts nanoseconds from 2001-01-01 00:00:00 UTC.
constexpr int64_t kMatroskaEpoch = Calendar::SecondsFromFields(2001, 1, 1, 0, 0, 0);

// The transport stream's packets: 188 bytes from a sync byte; in the
// M2TS of AVCHD each behind a 4-byte time stamp.
constexpr size_t kPacket = 188;
constexpr unsigned char kSync = 0x47;
// How much of the video stream's first access unit is searched: its
// parameter sets and SEI messages come before the picture data.
constexpr size_t kMostStream = 2048;
// A user-data SEI message of this UUID and "MDPM" holds the camcorder's
// recording date: a count, then entries of a tag and 4 bytes.
constexpr unsigned char kMdpm[20] = {0x17, 0xEE, 0x8C, 0x60, 0xF8, 0x4D, 0x11, 0xD9, 0x8C, 0xD6,
                                     0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66, 'M',  'D',  'P',  'M'};
constexpr unsigned kMdpmYearMonth = 0x18;  // the zone, the year in two bytes, the month
constexpr unsigned kMdpmDayTime = 0x19;    // the day, hours, minutes, seconds

// An EBML element: its ID, where its data starts and how long it is (an
// element of unknown size runs to the end of its parent).
struct Element {
  uint32_t id = 0;
  uint64_t body = 0, size = 0;
  bool unknown = false;
};

// The length of an EBML number its first byte announces (1 + its leading zeros), 0 for 0.
unsigned LengthOf(unsigned char first) {
  unsigned length = 1;
  for (unsigned char mark = 0x80; mark != 0 && (first & mark) == 0; mark >>= 1) ++length;
  return length > 8 ? 0 : length;
}

// The element at `pos` inside a parent that ends at `end`.
bool ElementAt(Source& source, uint64_t pos, uint64_t end, Element& element) {
  size_t got = 0;
  const unsigned char* p =
      pos < end ? source.Upto(pos, static_cast<size_t>(std::min<uint64_t>(end - pos, 12)), got) : nullptr;
  if (p == nullptr) return false;
  const unsigned idLength = LengthOf(p[0]);
  if (idLength == 0 || idLength > 4 || got <= idLength) return false;
  const unsigned sizeLength = LengthOf(p[idLength]);
  if (sizeLength == 0 || got < idLength + sizeLength) return false;
  element.id = 0;
  for (unsigned i = 0; i < idLength; ++i) element.id = element.id << 8 | p[i];
  uint64_t size = p[idLength] & (0xFF >> sizeLength);
  for (unsigned i = 1; i < sizeLength; ++i) size = size << 8 | p[idLength + i];
  element.body = pos + idLength + sizeLength;
  element.unknown = size == (uint64_t{1} << (7 * sizeLength)) - 1;  // every bit of the size set
  if (element.unknown) size = end - element.body;
  if (!Fits(element.body, size, end)) return false;
  element.size = size;
  return true;
}

// The unsigned or signed big-endian number of an element of 1 to 8 bytes.
bool NumberOf(Source& source, const Element& element, bool isSigned, uint64_t& value) {
  const unsigned char* p = element.size >= 1 && element.size <= 8
                               ? source.At(element.body, static_cast<size_t>(element.size))
                               : nullptr;
  if (p == nullptr) return false;
  value = isSigned && (p[0] & 0x80) != 0 ? UINT64_MAX : 0;
  for (uint64_t i = 0; i < element.size; ++i) value = value << 8 | p[i];
  return true;
}

// The Info element: its DateUTC; 0, what a writer that knew no time leaves, is none.
void FromInfo(Source& source, const Element& info, Findings& found) {
  Element child;
  uint64_t pos = info.body;
  for (int step = 0; step < kMostSteps && ElementAt(source, pos, info.body + info.size, child); ++step) {
    uint64_t value = 0;
    if (child.id == kDateUtc && NumberOf(source, child, true, value) && value != 0) {
      const auto nanoseconds = static_cast<int64_t>(value);
      // Whole seconds, rounded down also before 2001.
      const int64_t seconds = nanoseconds / 1000000000 - (nanoseconds % 1000000000 < 0 ? 1 : 0);
      found.Offer(Rank::kFormat, Utc(kMatroskaEpoch + seconds));
      return;
    }
    pos = child.body + child.size;
  }
}

// Where the seek head says the Info element lies (counted from the
// segment's data), or 0.
uint64_t InfoPosition(Source& source, const Element& seekHead) {
  Element seek, field;
  uint64_t pos = seekHead.body;
  for (int step = 0; step < kMostSteps && ElementAt(source, pos, seekHead.body + seekHead.size, seek);
       ++step) {
    pos = seek.body + seek.size;
    if (seek.id != kSeek) continue;
    bool isInfo = false;
    uint64_t position = 0, at = seek.body;
    for (int k = 0; k < 4 && ElementAt(source, at, seek.body + seek.size, field); ++k) {
      uint64_t value = 0;
      if (field.id == kSeekId && NumberOf(source, field, false, value)) isInfo = value == kInfo;
      if (field.id == kSeekPosition && NumberOf(source, field, false, value)) position = value;
      at = field.body + field.size;
    }
    if (isInfo) return position;
  }
  return 0;
}

// The bytes of an MDPM record from `p` to `end`, as the SEI message
// carries them: behind two zero bytes a 3 only keeps a start code out.
struct Unescaped {
  const unsigned char* p;
  const unsigned char* end;
  int zeros = 0;

  int Next() {
    if (p < end && zeros >= 2 && *p == 3) ++p, zeros = 0;
    if (p >= end) return -1;
    zeros = *p == 0 ? zeros + 1 : 0;
    return *p++;
  }
};

// The MDPM date in `size` bytes of a video stream, or kNone.
Moment FromMdpm(const unsigned char* stream, size_t size) {
  const auto* at = std::search(stream, stream + size, kMdpm, kMdpm + sizeof kMdpm);
  if (at == stream + size) return {};
  Unescaped bytes{at + sizeof kMdpm, stream + size};
  const int count = bytes.Next();
  int yearMonth[4] = {-1, -1, -1, -1}, dayTime[4] = {-1, -1, -1, -1};
  for (int i = 0; i < count; ++i) {
    const int tag = bytes.Next();
    int data[4];
    for (int& d : data) d = bytes.Next();
    if (data[3] < 0) break;  // cut short
    int* keep = tag == kMdpmYearMonth && yearMonth[0] < 0 ? yearMonth
                : tag == kMdpmDayTime && dayTime[0] < 0   ? dayTime
                                                          : nullptr;
    if (keep != nullptr) std::copy(data, data + 4, keep);
  }
  if (yearMonth[0] < 0 || dayTime[0] < 0) return {};
  const auto bcd = [](int byte) { return Bcd(static_cast<unsigned char>(byte)); };
  const int high = bcd(yearMonth[1]), low = bcd(yearMonth[2]);
  return WallClock(high < 0 || low < 0 ? -1 : high * 100 + low, bcd(yearMonth[3]), bcd(dayTime[0]),
                   bcd(dayTime[1]), bcd(dayTime[2]), bcd(dayTime[3]));
}

// Where the first packet's sync byte stands (0, or 4 in M2TS) and how far
// apart the packets are; false when the bytes are no transport stream: at
// least two packets' sync bytes, every one within `size`.
bool PacketLayout(const unsigned char* head, size_t size, size_t& first, size_t& stride) {
  for (const size_t start : {size_t{4}, size_t{0}}) {
    const size_t step = kPacket + start;
    int syncs = 0;
    for (size_t at = start; at < size && syncs < 3 && head[at] == kSync; at += step) ++syncs;
    if (syncs >= 2 && (syncs == 3 || start + syncs * step >= size)) {
      first = start, stride = step;
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsMatroska(const unsigned char* head, size_t size) { return size >= 4 && Be32(head) == kEbmlHeader; }

bool IsTransportStream(const unsigned char* head, size_t size) {
  size_t first = 0, stride = 0;
  return PacketLayout(head, size, first, stride);
}

void FromMatroska(Source& source, Findings& found) {
  Element header, segment, child;
  if (!ElementAt(source, 0, kToEndOfFile, header) || header.id != kEbmlHeader ||
      !ElementAt(source, header.body + header.size, kToEndOfFile, segment) || segment.id != kSegment) {
    return;
  }
  // The Info element mostly stands before the first cluster; where it does
  // not, the seek head says where.
  const uint64_t end = segment.body + segment.size;
  uint64_t pos = segment.body, info = 0;
  for (int step = 0; step < kMostSteps && ElementAt(source, pos, end, child); ++step) {
    if (child.id == kInfo) return FromInfo(source, child, found);
    if (child.id == kSeekHead && info == 0) info = InfoPosition(source, child);
    if (child.id == kCluster || child.unknown) break;
    pos = child.body + child.size;
  }
  if (info != 0 && Fits(segment.body, info, end) && ElementAt(source, segment.body + info, end, child) &&
      child.id == kInfo) {
    FromInfo(source, child, found);
  }
}

void FromTransportStream(Source& source, Findings& found) {
  size_t size = 0, first = 0, stride = 0;
  const unsigned char* head = source.Upto(0, kWindowBytes, size);
  if (head == nullptr || !PacketLayout(head, size, first, stride)) return;
  // The payload of the video stream's packets, from the start of its first
  // PES packet (00 00 01, a stream ID of 0xE0 to 0xEF) to the next.
  unsigned char stream[kMostStream];
  size_t have = 0;
  int video = -1;
  for (int i = 0; i < kMostSteps && have < kMostStream; ++i) {
    const unsigned char* p = source.At(first + uint64_t(i) * stride, kPacket);
    if (p == nullptr || p[0] != kSync) break;
    const int pid = (p[1] & 0x1F) << 8 | p[2];
    const bool starts = (p[1] & 0x40) != 0;
    const unsigned control = p[3] >> 4 & 3;  // 1: payload, 2: adaptation field, 3: both
    size_t payload = (control & 2) != 0 ? 5 + size_t{p[4]} : 4;
    if ((control & 1) == 0 || payload >= kPacket) continue;
    if (video < 0) {
      const unsigned char* pes = p + payload;
      if (!starts || kPacket - payload < 9 || pes[0] != 0 || pes[1] != 0 || pes[2] != 1 ||
          (pes[3] & 0xF0) != 0xE0)
        continue;
      payload += 9 + size_t{pes[8]};  // the PES header
      if (payload > kPacket) continue;
      video = pid;
    } else if (pid != video) {
      continue;
    } else if (starts) {
      break;
    }
    const size_t take = std::min(kPacket - payload, kMostStream - have);
    std::memcpy(stream + have, p + payload, take);
    have += take;
  }
  found.Offer(Rank::kFormat, FromMdpm(stream, have));
}

}  // namespace TakenDate
