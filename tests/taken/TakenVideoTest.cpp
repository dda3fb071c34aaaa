// Camera video on made-up files: AVI, ASF, DV, Matroska and AVCHD's
// transport streams, where each keeps its date and what falls back.
#include <gtest/gtest.h>

#include "taken/TakenBuilders.h"

namespace {

using namespace TakenTest;

const Moment kRecorded = Wall(2013, 3, 10, 15, 4, 43), kXmpDate = Wall(2015, 6, 9, 20, 9, 27);
const Moment kRecordedUtc{Kind::kUtc, Calendar::SecondsFromFields(2013, 3, 10, 15, 4, 43)};
const Bytes kXmpCreate = Xmp({{"xmp:CreateDate", "2015-06-09T20:09:27"}});

// An AVI: its header list (with `header` at its end), the movie data, `after`.
Bytes Avi(const Bytes& header, const Bytes& after = {}) {
  const Bytes hdrl =
      RiffChunk("LIST", Cat({B("hdrl"), RiffChunk("avih", Bytes(56)),
                             RiffChunk("LIST", Cat({B("strl"), RiffChunk("strh", Bytes(56))})), header}));
  return Riff("AVI ",
              Cat({hdrl, RiffChunk("LIST", Cat({B("movi"), RiffChunk("00dc", Bytes(1001))})), after}));
}
Bytes Idit(std::string_view text) { return RiffChunk("IDIT", B(text)); }

// An ASF header: another object, then the file properties with `ticks`
// (100 ns since 1601) and `flags`.
const Bytes kAsfHeader = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                          0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Bytes kAsfFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                  0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
Bytes Asf(uint64_t ticks, uint32_t flags) {
  const Bytes other = Cat({Bytes(16, 0x11), N(24 + 10, 8, true), Bytes(10)});
  const Bytes properties = Cat({kAsfFileProperties, N(104, 8, true), Bytes(16), N(5000, 8, true),
                                N(ticks, 8, true), Bytes(32), N(flags, 4, true), Bytes(12)});
  return Cat({kAsfHeader, N(30 + other.size() + properties.size(), 8, true), N(2, 4, true), N(0x0201, 2),
              other, properties, Bytes(50)});
}
uint64_t Ticks(int64_t seconds) { return uint64_t(seconds + 11644473600) * 10000000; }

// A DV frame of `sequences` sequences: in each, a header block, two subcode
// blocks of 6 packs and three auxiliary blocks of 15 packs (unset packs
// are all ones); `subcode` and `auxiliary` packs go into sequence `at`.
Bytes Dv(bool pal, const std::vector<Bytes>& subcode, const std::vector<Bytes>& auxiliary, int sequences = 1,
         int at = 0) {
  Bytes out;
  for (int s = 0; s < sequences; ++s) {
    Bytes sequence = Cat({N(0x1F0700, 3), N(pal ? 0xBF : 0x3F, 1), Bytes(76, 0xFF)});
    for (int b = 0; b < 2; ++b) {
      Bytes block = N(0x3F0700 | b, 3);
      for (size_t k = 0; k < 6; ++k) {
        const size_t i = b * 6 + k;
        block = Cat({block, N(0x8000 | i, 2), N(0xFF, 1),
                     s == at && i < subcode.size() ? subcode[i] : Bytes(5, 0xFF)});
      }
      sequence = Cat({sequence, block, Bytes(29, 0xFF)});
    }
    for (int b = 0; b < 3; ++b) {
      Bytes block = N(0x5F0700 | b, 3);
      for (size_t k = 0; k < 15; ++k) {
        const size_t i = b * 15 + k;
        block = Cat({block, s == at && i < auxiliary.size() ? auxiliary[i] : Bytes(5, 0xFF)});
      }
      sequence = Cat({sequence, block, Bytes(2, 0xFF)});
    }
    out = Cat({out, sequence, Bytes(150 * 80 - sequence.size(), 0x90)});
  }
  return out;
}
Bytes DvDate(int day, int month, int year) {  // BCD, with the pack's other bits set
  auto bcd = [](int v) { return uint64_t(v / 10 * 16 + v % 10); };
  return Cat({N(0x62FF, 2), N(0xC0 | bcd(day), 1), N(0xE0 | bcd(month), 1), N(bcd(year % 100), 1)});
}
Bytes DvTime(int hour, int minute, int second) {
  auto bcd = [](int v) { return uint64_t(v / 10 * 16 + v % 10); };
  return Cat({N(0x63FF, 2), N(0x80 | bcd(second), 1), N(0x80 | bcd(minute), 1), N(0xC0 | bcd(hour), 1)});
}

// Matroska: elements of an ID and an 8-byte size (or an unknown one).
Bytes Element(uint32_t id, const Bytes& body, bool unknownSize = false) {
  const int idBytes = id > 0xFFFFFF ? 4 : id > 0xFFFF ? 3 : id > 0xFF ? 2 : 1;
  return Cat({N(id, idBytes), N(1, 1), unknownSize ? Bytes(7, 0xFF) : N(body.size(), 7), body});
}
Bytes Matroska(const Bytes& segment, bool unknownSize = false) {
  return Cat(
      {Element(0x1A45DFA3, Element(0x4282, B("matroska"))), Element(0x18538067, segment, unknownSize)});
}
Bytes Info(int64_t nanoseconds) {
  return Element(0x1549A966,
                 Cat({Element(0x2AD7B1, N(1000000, 3)), Element(0x4461, N(uint64_t(nanoseconds), 8))}));
}
constexpr int64_t k2001 = 978307200;
const int64_t kRecordedNs = (kRecordedUtc.seconds - k2001) * 1000000000 + 250000000;

// Transport packets: 4 header bytes, stuffing in an adaptation field, the
// payload; in M2TS behind a 4-byte time stamp.
Bytes Packet(int pid, bool start, const Bytes& payload, bool m2ts = true) {
  Bytes out = Cat({m2ts ? N(0x1234, 4) : Bytes(), N(0x47, 1), N((start ? 0x4000 : 0) | pid, 2)});
  if (payload.size() >= 184) return Cat({out, N(0x10, 1), Cut(payload, 184)});
  const size_t stuffing = 183 - payload.size();
  return Cat({out, N(0x30, 1), N(stuffing, 1),
              stuffing > 0 ? Cat({N(0, 1), Bytes(stuffing - 1, 0xFF)}) : Bytes(), payload});
}
const Bytes kMdpmUuid = {0x17, 0xEE, 0x8C, 0x60, 0xF8, 0x4D, 0x11, 0xD9,
                         0x8C, 0xD6, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66};
// The start of a video PES packet: its header, then an access unit's
// delimiter, parameter set and SEI with the MDPM `entries` (escaped as given).
Bytes VideoStart(const Bytes& entries) {
  const Bytes sei = Cat({kMdpmUuid, B("MDPM"), entries});
  return Cat({N(0x000001E0, 4), N(0, 2), N(0x808005, 3), Bytes(5, 0x21), N(0x0000000109F0, 6),
              N(0x0000000167640028, 8), Bytes(12, 0xAC), N(0x0000000106, 5), N(5, 1), N(sei.size(), 1), sei,
              N(0x80, 1)});
}
const Bytes kMdpmEntries = Cat({N(3, 1), N(0x1802201303, 5), N(0x7000000000, 5), N(0x1910150443, 5)});
Bytes Mts(const Bytes& video, bool m2ts = true) {
  return Cat({Packet(0, true, Bytes(20, 0), m2ts), Packet(0x100, true, Bytes(30, 0), m2ts),
              Packet(0x1100, true, Cat({N(0x000001C0, 4), Bytes(60, 0x55)}), m2ts),
              Packet(0x1011, true, video, m2ts), Packet(0x1011, false, Bytes(184, 0x77), m2ts)});
}

TEST(TakenDateFormats, CameraVideoOfFixedLayout) {
  ExpectAll({
      {"avi idit", Avi(Idit({"Sun Mar 10 15:04:43 2013\n\0", 26})), kRecorded},
      {"avi idit, day blank-padded", Avi(Idit("Sun Mar  3 15:04:43 2013")), Wall(2013, 3, 3, 15, 4, 43)},
      {"avi idit as an exif date", Avi(Idit({"2013:03:10 15:04:43\0", 20})), kRecorded},
      {"avi idit with slashes", Avi(Idit("2013/03/10 15:04:43")), kRecorded},
      {"avi idit at the top", Riff("AVI ", Cat({RiffChunk("JUNK", Bytes(3)), Idit("2013-03-10 15:04:43")})),
       kRecorded},
      {"avi idit of no month", Avi(Idit("Sun Mrz 10 15:04:43 2013")), kNone},
      {"avi idit with more text", Avi(Idit("Sun Mar 10 15:04:43 2013 local")), kNone},
      {"avi xmp behind the movie data over idit",
       Avi(Idit("Sun Mar 10 15:04:43 2013"), RiffChunk("_PMX", kXmpCreate)), kXmpDate},
      {"avi cut in its header list", Cut(Avi(Idit("Sun Mar 10 15:04:43 2013")), 100), kNone},
      {"asf", Asf(Ticks(kRecordedUtc.seconds) + 4567, 2), kRecordedUtc},
      {"asf of a broadcast", Asf(Ticks(kRecordedUtc.seconds), 1), kNone},
      {"asf creation date 0", Asf(0, 2), kNone},
      {"asf cut in its file properties", Cut(Asf(Ticks(kRecordedUtc.seconds), 2), 100), kNone},
      {"dv auxiliary packs", Dv(true, {}, {Bytes(5, 0x60), DvDate(10, 3, 13), DvTime(15, 4, 43)}), kRecorded},
      {"dv subcode packs", Dv(false, {DvTime(15, 4, 43), DvDate(10, 3, 13)}, {}), kRecorded},
      {"dv auxiliary over subcode",
       Dv(true, {DvDate(1, 1, 1), DvTime(1, 1, 1)}, {DvDate(10, 3, 13), DvTime(15, 4, 43)}), kRecorded},
      {"dv of 1999", Dv(true, {}, {DvDate(31, 12, 99), DvTime(23, 59, 59)}), Wall(1999, 12, 31, 23, 59, 59)},
      {"dv packs in a later sequence", Dv(true, {}, {DvDate(10, 3, 13), DvTime(15, 4, 43)}, 3, 2), kRecorded},
      {"dv date without a time", Dv(true, {}, {DvDate(10, 3, 13)}), kNone},
      {"dv unset packs", Dv(true, {}, {}), kNone},
  });
}

TEST(TakenDateFormats, CameraVideoStreams) {
  const Bytes info = Info(kRecordedNs);
  const Bytes seekHead = Element(
      0x114D9B74, Element(0x4DBB, Cat({Element(0x53AB, N(0x1549A966, 4)), Element(0x53AC, N(0, 8))})));
  const Bytes cluster = Element(0x1F43B675, Bytes(40, 0x42));
  auto seekTo = [&](uint64_t position) {
    return Element(
        0x114D9B74,
        Element(0x4DBB, Cat({Element(0x53AB, N(0x1549A966, 4)), Element(0x53AC, N(position, 8))})));
  };
  const Bytes split = VideoStart(kMdpmEntries);
  ExpectAll({
      {"matroska", Matroska(Cat({seekHead, Element(0xEC, Bytes(9)), info, cluster})), kRecordedUtc},
      {"matroska info behind a cluster",
       Matroska(Cat({seekTo(seekHead.size() + cluster.size()), cluster, info})), kRecordedUtc},
      {"matroska of unknown size", Matroska(Cat({info, cluster}), true), kRecordedUtc},
      {"matroska before 2001", Matroska(Info(-1)), Moment{Kind::kUtc, k2001 - 1}},
      {"matroska date 0", Matroska(Info(0)), kNone},
      {"matroska without a date", Matroska(Element(0x1549A966, Element(0x2AD7B1, N(1000000, 3)))), kNone},
      {"matroska seek head pointing nowhere", Matroska(Cat({seekTo(5000), cluster, info})), kNone},
      {"m2ts", Mts(VideoStart(kMdpmEntries)), kRecorded},
      {"ts of 188-byte packets", Mts(VideoStart(kMdpmEntries), false), kRecorded},
      {"mdpm split over two packets",
       Cat({Packet(0x1011, true, Cut(split, 55)),
            Packet(0x1011, false, Bytes(split.begin() + 55, split.end())), Packet(0, true, Bytes(4))}),
       kRecorded},
      {"mdpm with an escaped zero run",
       Mts(VideoStart(Cat({N(2, 1), N(0x1802201303, 5), N(0x191000000300, 6)}))), Wall(2013, 3, 10, 0, 0, 0)},
      {"mdpm without the day", Mts(VideoStart(Cat({N(1, 1), N(0x1802201303, 5)}))), kNone},
      {"mdpm cut short", Mts(VideoStart(Cat({N(3, 1), N(0x1802201303, 5), N(0x191015, 3)}))), kNone},
      {"ts without video",
       Cat({Packet(0, true, Bytes(20)), Packet(0x100, true, Bytes(30)), Packet(0x100, true, {})}), kNone},
  });
}

}  // namespace
