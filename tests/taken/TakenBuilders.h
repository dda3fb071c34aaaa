// Made-up files for the taken-date reader's tests: byte builders for the
// formats' structures, and files served through ReadAt.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Calendar.h"
#include "taken/TakenDate.h"

namespace TakenDate {
inline void PrintTo(const Moment& m, std::ostream* os) {
  *os << "{kind " << int(m.kind) << ", " << m.seconds << "}";
}
}  // namespace TakenDate

namespace TakenTest {

using TakenDate::Kind;
using TakenDate::Moment;
using Bytes = std::vector<unsigned char>;

inline Moment Wall(int y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s) {
  return {Kind::kWallClock, Calendar::SecondsFromFields(y, mo, d, h, mi, s)};
}
inline Moment Utc(int y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s) {
  return {Kind::kUtc, Calendar::SecondsFromFields(y, mo, d, h, mi, s)};
}
const Moment kNone{};

// Text, numbers of a given width and order, and concatenation.
inline Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }
inline Bytes N(uint64_t value, int width, bool little = false) {
  Bytes out(width);
  for (int i = 0; i < width; ++i)
    out[little ? i : width - 1 - i] = static_cast<unsigned char>(value >> (8 * i));
  return out;
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
inline Bytes Cut(Bytes bytes, size_t keep) {
  bytes.resize(keep);
  return bytes;
}

// ISO media boxes.
inline Bytes Box(std::string_view type, const Bytes& body) {
  return Cat({N(8 + body.size(), 4), B(type), body});
}
inline Bytes LargeBox(std::string_view type, const Bytes& body) {  // size 1: the size follows in 64 bits
  return Cat({N(1, 4), B(type), N(16 + body.size(), 8), body});
}
inline Bytes FullBox(std::string_view type, int version, const Bytes& body) {
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
inline Bytes Tiff(bool little, const std::vector<Tag>& tags) {
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
inline Tag Original(const std::string& text) { return {0x9003, text + '\0'}; }
inline Tag Digitized(const std::string& text) { return {0x9004, text + '\0'}; }
inline Tag DateTime(const std::string& text) { return {0x0132, text + '\0'}; }

// An XMP packet with the given properties, each as an attribute of the
// description ("exif:DateTimeOriginal", "...") or, named with a leading
// '<', as an element.
inline Bytes Xmp(const std::vector<std::pair<std::string, std::string>>& properties) {
  std::string attributes, elements;
  for (const auto& [name, value] : properties) {
    if (name[0] == '<') {
      elements += "  " + name + ">" + value + "</" + name.substr(1) + ">\n";
    } else {
      attributes += "\n   " + name + "=\"" + value + "\"";
    }
  }
  return B(
      "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
      "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
      " <rdf:Description rdf:about=\"\"" +
      attributes + ">\n" + elements + " </rdf:Description>\n</rdf:RDF></x:xmpmeta>\n<?xpacket end=\"w\"?>");
}

// IPTC datasets of record 2 (55 DateCreated, 60 TimeCreated, ...) and a
// Photoshop image resource block.
inline Bytes Iptc(const std::vector<std::pair<int, std::string>>& datasets) {
  Bytes out;
  for (const auto& [number, value] : datasets)
    out = Cat({out, N(0x1C02, 2), N(number, 1), N(value.size(), 2), B(value)});
  return out;
}
inline Bytes Resource(uint16_t id, const Bytes& data) {
  return Cat({B("8BIM"), N(id, 2), N(0, 2), N(data.size(), 4), data, Bytes(data.size() % 2)});
}

// JPEG: segments between the start of image and the scan.
inline Bytes Segment(unsigned marker, const Bytes& data) {
  return Cat({N(0xFF00 | marker, 2), N(data.size() + 2, 2), data});
}
inline Bytes JpegOf(std::initializer_list<Bytes> segments) {
  Bytes out = Cat({N(0xFFD8, 2), Segment(0xE0, B({"JFIF\0\1\1\0\0\1\0\1\0\0", 14}))});
  for (const Bytes& s : segments) out = Cat({out, s});
  return Cat({out, N(0xFFDA0008, 4), Bytes(6), N(0xFFD9, 2)});
}
inline Bytes ExifApp1(const Bytes& tiff) { return Segment(0xE1, Cat({B({"Exif\0\0", 6}), tiff})); }
inline Bytes XmpApp1(const Bytes& xmp) {
  return Segment(0xE1, Cat({B({"http://ns.adobe.com/xap/1.0/\0", 29}), xmp}));
}
inline Bytes IptcApp13(const Bytes& iptc) {
  return Segment(0xED, Cat({B({"Photoshop 3.0\0", 14}), Resource(0x0404, iptc)}));
}
inline Bytes Jpeg(const Bytes& tiff) { return JpegOf({ExifApp1(tiff)}); }

inline Bytes Chunk(std::string_view type, const Bytes& data) {
  return Cat({N(data.size(), 4), B(type), data, N(0, 4)});
}
inline Bytes PngOf(std::initializer_list<Bytes> chunks) {
  Bytes out = Cat({B("\x89PNG\r\n\x1A\n"), Chunk("IHDR", Bytes(13))});
  for (const Bytes& c : chunks) out = Cat({out, c});
  return Cat({out, Chunk("IEND", {})});
}
inline Bytes Png(const Bytes& tiff) { return PngOf({Chunk("eXIf", tiff)}); }
// A RIFF file of `form` (WEBP, AVI ) holding `chunks` ("TYPE" and data each).
inline Bytes RiffChunk(std::string_view type, const Bytes& data) {
  return Cat({B(type), N(data.size(), 4, true), data, Bytes(data.size() % 2)});
}
inline Bytes Riff(std::string_view form, const Bytes& chunks) {
  return Cat({B("RIFF"), N(4 + chunks.size(), 4, true), B(form), chunks});
}
inline Bytes Webp(const Bytes& exif) {
  // An odd-sized chunk before the Exif, padded to an even size.
  return Riff("WEBP",
              Cat({RiffChunk("VP8X", Bytes(10)), RiffChunk("ICCP", Bytes(3)), RiffChunk("EXIF", exif)}));
}

// A HEIF picture whose Exif item (ID 2) lies in an mdat box behind the meta
// box (method 0) or in the meta box's idat (method 1).
inline Bytes Heif(const Bytes& tiff, int method) {
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
inline Bytes Mvhd(int version, uint64_t created) {
  return FullBox("mvhd", version, Cat({N(created, version == 1 ? 8 : 4), Bytes(version == 1 ? 20 : 12)}));
}
inline Bytes Movie(const Bytes& mvhd) {
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
inline File Whole(const Bytes& bytes) { return File{{{0, bytes}}, bytes.size()}; }

inline Moment ReadBytes(const Bytes& bytes) {
  Bytes scratch(TakenDate::kScratchBytes, 0xA5);
  return TakenDate::ReadBytes(bytes.data(), bytes.size(), scratch.data());
}

struct Case {
  const char* name;
  Bytes file;
  Moment expected;
};

// Every case read from memory and through ReadAt: the same answer.
inline void ExpectAll(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(ReadBytes(c.file), c.expected) << c.name;
    File file = Whole(c.file);
    EXPECT_EQ(file.Read(), c.expected) << c.name;
    EXPECT_LE(file.asked, TakenDate::kMostBytes) << c.name;
  }
}

}  // namespace TakenTest
