#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/Calendar.h"
#include "base/Conventions.h"
#include "support/TestSupport.h"
#include "taken/TakenDate.h"

namespace TakenDate {
void PrintTo(const Moment& m, std::ostream* os) {
  *os << "{kind " << int(m.kind) << ", " << m.seconds << "}";
}
}  // namespace TakenDate

namespace {

using TakenDate::Kind;
using TakenDate::Moment;
using Bytes = std::vector<unsigned char>;

Moment Wall(int y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s) {
  return {Kind::kWallClock, Calendar::SecondsFromFields(y, mo, d, h, mi, s)};
}
const Moment kNone{};

// Byte builders: text, numbers of a given width and order, and the
// boxes, chunks and segments of the formats around them.
Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }
Bytes N(uint64_t value, int width, bool little = false) {
  Bytes out(width);
  for (int i = 0; i < width; ++i)
    out[little ? i : width - 1 - i] = static_cast<unsigned char>(value >> (8 * i));
  return out;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
Bytes Box(std::string_view type, const Bytes& body) { return Cat({N(8 + body.size(), 4), B(type), body}); }
Bytes LargeBox(std::string_view type, const Bytes& body) {  // size 1: the size follows in 64 bits
  return Cat({N(1, 4), B(type), N(16 + body.size(), 8), body});
}
Bytes Cut(Bytes bytes, size_t keep) {
  bytes.resize(keep);
  return bytes;
}
Bytes FullBox(std::string_view type, int version, const Bytes& body) {
  return Box(type, Cat({N(uint64_t(version) << 24, 4), body}));
}

// A TIFF structure with ASCII entries: tag 0x0132 in IFD0, 0x9003 and 0x9004
// in the Exif IFD; `at` moves a value to another offset.
struct Tag {
  uint16_t tag;
  std::string text;  // stored as given: add the NUL
  uint32_t at = 0;
};
constexpr bool kLittle = true, kBig = false;
Bytes Tiff(bool little, const std::vector<Tag>& tags) {
  std::vector<Tag> first, exif;
  for (const Tag& t : tags) (t.tag == 0x0132 ? first : exif).push_back(t);
  const size_t firstSize = 6 + 12 * (first.size() + !exif.empty()), exifSize = 6 + 12 * exif.size();
  Bytes ifds, data;
  auto entries = [&](const std::vector<Tag>& table, bool pointer) {
    ifds = Cat({ifds, N(table.size() + pointer, 2, little)});
    for (const Tag& t : table) {
      const uint64_t at = t.at != 0 ? t.at : 8 + firstSize + (exif.empty() ? 0 : exifSize) + data.size();
      ifds = Cat({ifds, N(t.tag, 2, little), N(2, 2, little), N(t.text.size(), 4, little), N(at, 4, little)});
      data = Cat({data, B(t.text)});
    }
    if (pointer)
      ifds = Cat({ifds, N(0x8769, 2, little), N(4, 2, little), N(1, 4, little), N(8 + firstSize, 4, little)});
    ifds = Cat({ifds, N(0, 4, little)});
  };
  entries(first, !exif.empty());
  if (!exif.empty()) entries(exif, false);
  return Cat(
      {B(little ? std::string_view("II*\0", 4) : std::string_view("MM\0*", 4)), N(8, 4, little), ifds, data});
}
Tag Original(const std::string& text) { return {0x9003, text + '\0'}; }
Tag Digitized(const std::string& text) { return {0x9004, text + '\0'}; }
Tag DateTime(const std::string& text) { return {0x0132, text + '\0'}; }

Bytes Jpeg(const Bytes& tiff) {
  return Cat({N(0xFFD8FFE0, 4), N(16, 2), B({"JFIF\0\1\1\0\0\1\0\1\0\0", 14}), N(0xFFE1, 2),
              N(tiff.size() + 8, 2), B({"Exif\0\0", 6}), tiff, N(0xFFDA0008, 4), Bytes(6), N(0xFFD9, 2)});
}
Bytes Chunk(std::string_view type, const Bytes& data) {
  return Cat({N(data.size(), 4), B(type), data, N(0, 4)});
}
Bytes Png(const Bytes& tiff) {
  return Cat({B("\x89PNG\r\n\x1A\n"), Chunk("IHDR", Bytes(13)), Chunk("eXIf", tiff), Chunk("IEND", {})});
}
Bytes Webp(const Bytes& exif) {
  // An odd-sized chunk before the Exif, padded to an even size.
  const Bytes chunks = Cat({B("VP8X"), N(10, 4, true), Bytes(10), B("ICCP"), N(3, 4, true), Bytes(4),
                            B("EXIF"), N(exif.size(), 4, true), exif, Bytes(exif.size() % 2)});
  return Cat({B("RIFF"), N(4 + chunks.size(), 4, true), B("WEBP"), chunks});
}
// A HEIF picture whose Exif item (ID 2) lies in an mdat box behind the meta
// box (method 0) or in the meta box's idat (method 1).
Bytes Heif(const Bytes& tiff, int method) {
  const Bytes item = Cat({N(6, 4), B({"Exif\0\0", 6}), tiff});
  auto meta = [&](uint64_t exifAt) {
    const Bytes infe = Cat({FullBox("infe", 2, Cat({N(1, 2), N(0, 2), B("hvc1")})),
                            FullBox("infe", 2, Cat({N(2, 2), N(0, 2), B("Exif")}))});
    const Bytes iloc =
        FullBox("iloc", 1,
                Cat({N(0x4400, 2), N(2, 2), N(1, 2), N(0, 2), N(0, 2), N(1, 2), N(0, 4), N(4, 4), N(2, 2),
                     N(method, 2), N(0, 2), N(1, 2), N(exifAt, 4), N(item.size(), 4)}));
    return FullBox(
        "meta", 0,
        Cat({FullBox("iinf", 0, Cat({N(2, 2), infe})), iloc, method == 1 ? Box("idat", item) : Bytes()}));
  };
  const Bytes ftyp = Box("ftyp", B("heic\0\0\0\0mif1heic"));
  const uint64_t mdatAt = ftyp.size() + meta(0).size();
  if (method == 1) return Cat({ftyp, meta(0), Box("mdat", Bytes(4))});
  return Cat({ftyp, meta(mdatAt + 8), Box("mdat", item)});
}
// A movie whose header records `created` (seconds since 1904) in `version`.
Bytes Mvhd(int version, uint64_t created) {
  return FullBox("mvhd", version, Cat({N(created, version == 1 ? 8 : 4), Bytes(version == 1 ? 20 : 12)}));
}
Bytes Movie(const Bytes& mvhd) {
  return Cat({Box("ftyp", B("isom\0\0\2\0isom")), Box("mdat", Bytes(100)), Box("moov", mvhd)});
}
constexpr uint64_t kFrom1904 = 2082844800;  // 1970-01-01 counted from 1904-01-01

// A file of `size` bytes that holds `pieces` at their offsets and zeros
// elsewhere, read through ReadAt; counts what it is asked for.
struct File {
  std::vector<std::pair<uint64_t, Bytes>> pieces;
  uint64_t size = 0;
  uint64_t failFrom = UINT64_MAX;  // reads at or past this offset fail
  uint64_t asked = 0;

  static int64_t ReadAt(void* context, uint64_t offset, unsigned char* out, size_t size) {
    auto& file = *static_cast<File*>(context);
    file.asked += size;
    EXPECT_LE(offset, UINT64_MAX - size);  // no read runs past the last 64-bit offset
    if (offset >= file.failFrom) return -1;
    const uint64_t count = offset >= file.size ? 0 : std::min<uint64_t>(size, file.size - offset);
    std::memset(out, 0, count);
    for (const auto& [at, bytes] : file.pieces) {
      for (uint64_t i = std::max(at, offset); i < at + bytes.size() && i < offset + count; ++i)
        out[i - offset] = bytes[i - at];
    }
    return static_cast<int64_t>(count);
  }
  Moment Read() {
    Bytes scratch(TakenDate::kScratchBytes);
    return TakenDate::Read(ReadAt, this, scratch.data());
  }
};
File Whole(const Bytes& bytes) { return File{{{0, bytes}}, bytes.size()}; }

Moment ReadBytes(const Bytes& bytes) {
  Bytes scratch(TakenDate::kScratchBytes, 0xA5);
  return TakenDate::ReadBytes(bytes.data(), bytes.size(), scratch.data());
}

struct Case {
  const char* name;
  Bytes file;
  Moment expected;
};

TEST(TakenDate, EachFormatTakesOriginalThenDigitizedThenDateTime) {
  const Moment original = Wall(2018, 9, 26, 10, 11, 12), digitized = Wall(2017, 3, 4, 5, 6, 7),
               dateTime = Wall(2016, 2, 29, 23, 59, 59);
  const Bytes all = Tiff(kLittle, {DateTime("2016:02:29 23:59:59"), Original("2018:09:26 10:11:12"),
                                   Digitized("2017:03:04 05:06:07")});
  const Bytes noOriginal = Tiff(kBig, {DateTime("2016:02:29 23:59:59"), Digitized("2017:03:04 05:06:07")});
  const Bytes onlyDateTime = Tiff(kLittle, {DateTime("2016:02:29 23:59:59")});
  const Bytes none = Tiff(kBig, {});
  auto raw = [&](std::string_view mark) { return Cat({B(mark), Bytes(all.begin() + 4, all.end())}); };
  const Case cases[] = {
      {"jpeg", Jpeg(all), original},
      {"jpeg big-endian", Jpeg(noOriginal), digitized},
      {"jpeg datetime", Jpeg(onlyDateTime), dateTime},
      {"jpeg no dates", Jpeg(none), kNone},
      {"tiff", all, original},
      {"tiff big-endian", noOriginal, digitized},
      {"orf", raw("IIRO"), original},
      {"rw2", raw({"IIU\0", 4}), original},
      {"png", Png(noOriginal), digitized},
      {"png no dates", Png(none), kNone},
      {"webp", Webp(onlyDateTime), dateTime},
      {"webp with Exif prefix", Webp(Cat({B({"Exif\0\0", 6}), all})), original},
      {"heic in mdat", Heif(all, 0), original},
      {"heif in idat", Heif(noOriginal, 1), digitized},
      {"heic no dates", Heif(none, 0), kNone},
      {"mvhd version 0", Movie(Mvhd(0, kFrom1904 + 1537956672)), Moment{Kind::kUtc, 1537956672}},
      {"mvhd version 1", Movie(Mvhd(1, kFrom1904 + 4102444800)), Moment{Kind::kUtc, 4102444800}},
      {"mvhd zero", Movie(Mvhd(0, 0)), kNone},
      {"mvhd before 1970", Movie(Mvhd(0, kFrom1904 - 1)), kNone},
      {"mvhd past year 9999", Movie(Mvhd(1, UINT64_MAX)), kNone},
      {"mvhd version 2", Movie(Mvhd(2, kFrom1904 + 5)), kNone},
      {"moov of size 0 runs to the end",
       Cat({Box("ftyp", B("qt  ")), N(0, 4), B("moov"), Mvhd(0, kFrom1904 + 7)}), Moment{Kind::kUtc, 7}},
      {"moov of size 1", LargeBox("moov", Mvhd(0, kFrom1904 + 9)), Moment{Kind::kUtc, 9}},
      {"jpeg cut in its Exif", Cut(Jpeg(all), 60), kNone},
      {"movie cut in mvhd", Cut(Movie(Mvhd(0, kFrom1904 + 5)), Movie(Mvhd(0, kFrom1904 + 5)).size() - 20),
       kNone},
      {"box ending at the last offsets",
       Cat({Box("ftyp", B("isom")), LargeBox("free", {}), N(1, 4), B("free"), N(UINT64_MAX - 40, 8)}), kNone},
      {"empty", {}, kNone},
      {"text", B("2018:09:26 10:11:12\n"), kNone},
      {"riff that is not webp", Cat({B("RIFF"), N(4, 4, true), B("WAVE")}), kNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadBytes(c.file), c.expected) << c.name;
    File file = Whole(c.file);
    EXPECT_EQ(file.Read(), c.expected) << c.name;
  }
}

TEST(TakenDate, BadDateTextsAndOffsetsFallBackToTheNextCandidate) {
  const Moment fallback = Wall(2000, 1, 1, 0, 0, 0);
  const struct {
    std::string_view text;
    Moment expected;
  } texts[] = {
      {"2018:09:26 10:11:12", Wall(2018, 9, 26, 10, 11, 12)},  // no NUL
      {"2018:09:26 10:11:12   ", Wall(2018, 9, 26, 10, 11, 12)},
      {{"1970:01:01 00:00:00\0", 20}, Wall(1970, 1, 1, 0, 0, 0)},
      {{"2038:01:19 03:14:07\0", 20}, Moment{Kind::kWallClock, 2147483647}},
      {{"2038:01:19 03:14:08\0", 20}, Wall(2038, 1, 19, 3, 14, 8)},
      {{"1969:12:31 23:59:59\0", 20}, fallback},
      {{"0000:00:00 00:00:00\0", 20}, fallback},
      {{"    :  :     :  :  \0", 20}, fallback},
      {{"2018:13:01 00:00:00\0", 20}, fallback},
      {{"2018:02:29 00:00:00\0", 20}, fallback},
      {{"2018:04:31 00:00:00\0", 20}, fallback},
      {{"2018:09:26 24:00:00\0", 20}, fallback},
      {{"2018:09:26 10:60:00\0", 20}, fallback},
      {{"2018-09-26 10:11:12\0", 20}, fallback},
      {"2018:09:26 10:11:12Z", fallback},
      {{"2018:09:26\0", 11}, fallback},
  };
  for (const auto& [text, expected] : texts) {
    for (bool little : {kLittle, kBig}) {
      const Bytes tiff = Tiff(little, {{0x9003, std::string(text)}, DateTime("2000:01:01 00:00:00")});
      EXPECT_EQ(ReadBytes(Jpeg(tiff)), expected) << text;
    }
  }
  // A value, an IFD or the Exif IFD placed outside the structure.
  const Bytes far = Tiff(kLittle, {{0x9003, std::string("2018:09:26 10:11:12\0", 20), 0xFFFFFFF0},
                                   DateTime("2000:01:01 00:00:00")});
  EXPECT_EQ(ReadBytes(Jpeg(far)), fallback);
  Bytes noIfd = Tiff(kLittle, {DateTime("2000:01:01 00:00:00")});
  noIfd[4] = 0xF0;
  EXPECT_EQ(ReadBytes(Jpeg(noIfd)), kNone);
  Bytes noExif = Tiff(kBig, {Original("2018:09:26 10:11:12"), DateTime("2000:01:01 00:00:00")});
  noExif[8 + 2 + 12 + 8] = 0x7F;  // the Exif IFD pointer, IFD0's second entry
  EXPECT_EQ(ReadBytes(Jpeg(noExif)), fallback);
}

TEST(TakenDate, ReadsLittleAndNeverMoreThanTheBudget) {
  const Bytes exif = Tiff(kLittle, {Original("2018:09:26 10:11:12")});
  // A JPEG whose 60 KB segment before the Exif is passed over, not read.
  const Bytes app2 = Cat({N(0xFFE2, 2), N(60000, 2), Bytes(59998)});
  const Bytes jpeg = Jpeg(exif);
  File picture =
      Whole(Cat({Bytes(jpeg.begin(), jpeg.begin() + 2), app2, Bytes(jpeg.begin() + 2, jpeg.end())}));
  EXPECT_EQ(picture.Read(), Wall(2018, 9, 26, 10, 11, 12));
  EXPECT_LE(picture.asked, 16u * 1024);
  // A movie header behind 5 GB of media data declared with a 64-bit size.
  const uint64_t moovAt = 12 + (5ull << 30);
  const Bytes moov = Box("moov", Mvhd(0, kFrom1904 + 1537956672));
  File movie{{{0, Cat({Box("ftyp", B("isom")), N(1, 4), B("mdat"), N(moovAt - 12, 8)})}, {moovAt, moov}},
             moovAt + moov.size()};
  EXPECT_EQ(movie.Read(), (Moment{Kind::kUtc, 1537956672}));
  EXPECT_LE(movie.asked, 16u * 1024);
  // A TIFF whose Exif IFD lies 1 MB away; when reading it fails, the
  // DateTime at hand is no answer either.
  Bytes tiff = Tiff(kBig, {Original("2018:09:26 10:11:12"), DateTime("2000:01:01 00:00:00")});
  const Bytes exifIfd(tiff.begin() + 38, tiff.begin() + 56);  // behind IFD0's 2 entries
  tiff[8 + 2 + 12 + 9] = 0x10;                                // its pointer, now 0x100026
  File far{{{0, tiff}, {0x100026, exifIfd}}, 0x100026 + exifIfd.size()};
  EXPECT_EQ(far.Read(), Wall(2018, 9, 26, 10, 11, 12));
  far.failFrom = 0x100000;
  EXPECT_EQ(far.Read(), kNone);
  // Far-apart chunks each cost a read: the Exif behind 100 of them is past
  // the budget, behind 10 it is found.
  for (int chunks : {10, 100}) {
    Bytes png = B("\x89PNG\r\n\x1A\n");
    for (int i = 0; i < chunks; ++i) png = Cat({png, Chunk("IDAT", Bytes(8000))});
    File file = Whole(Cat({png, Chunk("eXIf", exif), Chunk("IEND", {})}));
    EXPECT_EQ(file.Read(), chunks == 10 ? Wall(2018, 9, 26, 10, 11, 12) : kNone);
    EXPECT_LE(file.asked, TakenDate::kMostBytes);
  }
}

// The real files of the fuzz corpus, made by fuzz/make_taken_corpus.sh and
// copied beside the test programs.
TEST(TakenDate, ReadsTheCorpusFilesMadeByRealWriters) {
  const struct {
    const char16_t* name;
    Moment expected;
  } files[] = {
      {u"jpeg-original.jpg", Wall(2018, 9, 26, 10, 11, 12)},
      {u"jpeg-digitized-be.jpg", Wall(2017, 3, 4, 5, 6, 7)},
      {u"jpeg-datetime.jpg", Wall(2016, 2, 29, 23, 59, 59)},
      {u"jpeg-zero-original.jpg", Wall(2015, 7, 8, 9, 10, 11)},
      {u"jpeg-none.jpg", kNone},
      {u"png-exif.png", Wall(2019, 12, 31, 23, 59, 58)},
      {u"png-none.png", kNone},
      {u"webp-exif-be.webp", Wall(2020, 1, 2, 3, 4, 5)},
      {u"webp-none.webp", kNone},
      {u"heic-exif.heic", Wall(2021, 6, 7, 8, 9, 10)},
      {u"heic-none.heic", kNone},
      {u"avif-exif.avif", Wall(2022, 11, 12, 13, 14, 15)},
      {u"tiff-le.tif", Wall(2023, 4, 5, 6, 7, 8)},
      {u"tiff-be.tif", Wall(2024, 2, 29, 0, 0, 1)},
      {u"mp4-created.mp4", {Kind::kUtc, Calendar::SecondsFromFields(2018, 9, 26, 10, 11, 12)}},
      {u"mp4-none.mp4", kNone},
      {u"mov-created.mov", {Kind::kUtc, 1234567890}},
      {u"3gp-created.3gp", {Kind::kUtc, Calendar::SecondsFromFields(2012, 12, 21, 11, 12, 13)}},
  };
  const Text program = TestSupport::ProgramPath();
  const Text folder =
      program.substr(0, program.find_last_of(Platform::kNameSeparators) + 1) + u"taken-corpus";
  for (const auto& file : files) {
    const std::string bytes = TestSupport::ReadBytes(TestSupport::Join(folder, file.name));
    ASSERT_NE(bytes, "<missing>") << TestSupport::Show(file.name);
    EXPECT_EQ(ReadBytes(Bytes(bytes.begin(), bytes.end())), file.expected) << TestSupport::Show(file.name);
  }
}

}  // namespace
