// The taken-date reader's formats, each on made-up files: where its date
// stands, and what it falls back to when that is missing or broken.
#include <gtest/gtest.h>

#include "taken/TakenBuilders.h"

namespace {

using namespace TakenTest;

const Moment kOriginal = Wall(2018, 9, 26, 10, 11, 12), kDigitized = Wall(2017, 3, 4, 5, 6, 7),
             kDateTime = Wall(2016, 2, 29, 23, 59, 59), kXmpDate = Wall(2015, 6, 9, 20, 9, 27),
             kIptcDate = Wall(2014, 10, 29, 6, 27, 51), kOwn = Wall(2013, 3, 10, 15, 4, 43);
const Bytes kAll = Tiff(kLittle, {DateTime("2016:02:29 23:59:59"), Original("2018:09:26 10:11:12"),
                                  Digitized("2017:03:04 05:06:07")});
const Bytes kNoOriginal = Tiff(kBig, {DateTime("2016:02:29 23:59:59"), Digitized("2017:03:04 05:06:07")});
const Bytes kOnlyDateTime = Tiff(kLittle, {DateTime("2016:02:29 23:59:59")});
const Bytes kXmpCreate = Xmp({{"xmp:CreateDate", "2015-06-09T20:09:27+02:00"}});
const Bytes kIptcDated = Iptc({{55, "20141029"}, {60, "062751-0500"}});

// A TIFF structure whose first IFD holds `entries` (tag, type, data), their
// data behind the IFD (CR3's CMT2 is one, with the Exif IFD's tags).
struct Entry {
  uint16_t tag, type;
  Bytes data;
};
Bytes FlatTiff(const std::vector<Entry>& entries) {
  Bytes ifd = N(entries.size(), 2, true), data;
  const size_t dataAt = 8 + 2 + 12 * entries.size() + 4;
  for (const Entry& e : entries) {
    const size_t count = e.type == 4 ? e.data.size() / 4 : e.data.size();
    ifd = Cat(
        {ifd, N(e.tag, 2, true), N(e.type, 2, true), N(count, 4, true), N(dataAt + data.size(), 4, true)});
    data = Cat({data, e.data, Bytes(e.data.size() % 2)});
  }
  return Cat({B({"II*\0", 4}), N(8, 4, true), ifd, N(0, 4), data});
}
Entry Ascii(uint16_t tag, std::string_view text) { return {tag, 2, Cat({B(text), Bytes(1)})}; }

// Photoshop's resources in a PSD, with Exif, XMP and IPTC.
Bytes Psd(const Bytes& resources) {
  return Cat({B("8BPS"), N(1, 2), Bytes(6), N(3, 2), N(8, 4), N(8, 4), N(8, 2), N(3, 2), N(0, 4),
              N(resources.size(), 4), resources, N(0, 4)});
}
TEST(TakenDateFormats, StillPicturesCarryXmpAndIptcBesideTheirExif) {
  const Bytes compressedXmp = Cat({B({"XML:com.adobe.xmp\0\1\0\0\0", 22}), kXmpCreate});
  ExpectAll({
      {"jpeg xmp attribute", JpegOf({XmpApp1(kXmpCreate)}), kXmpDate},
      {"jpeg xmp element", JpegOf({XmpApp1(Xmp({{"<exif:DateTimeOriginal", " 2015-06-09T20:09:27 "}}))}),
       kXmpDate},
      {"jpeg iptc", JpegOf({IptcApp13(kIptcDated)}), kIptcDate},
      {"jpeg iptc without a time", JpegOf({IptcApp13(Iptc({{55, "20141029"}})), ExifApp1(kOnlyDateTime)}),
       kDateTime},
      {"jpeg iptc extended size",
       JpegOf(
           {IptcApp13(Cat({N(0x1C0237, 3), N(0x8002, 2), N(8, 2), B("20141029"), Iptc({{60, "062751"}})}))}),
       kIptcDate},
      {"png itxt xmp", PngOf({Chunk("iTXt", Cat({B({"XML:com.adobe.xmp\0\0\0en\0\0", 24}), kXmpCreate}))}),
       kXmpDate},
      {"png compressed itxt is not read", PngOf({Chunk("iTXt", compressedXmp), Chunk("eXIf", kOnlyDateTime)}),
       kDateTime},
      {"webp xmp chunk", Riff("WEBP", Cat({RiffChunk("VP8X", Bytes(10)), RiffChunk("XMP ", kXmpCreate)})),
       kXmpDate},
      {"tiff tag 700 xmp", FlatTiff({Ascii(0x0132, "2016:02:29 23:59:59"), {0x02BC, 1, kXmpCreate}}),
       kXmpDate},
      {"tiff tag 33723 iptc",
       FlatTiff({Ascii(0x0132, "2016:02:29 23:59:59"), {0x83BB, 4, Cat({kIptcDated, Bytes(3)})}}), kIptcDate},
      {"xmp sidecar", kXmpCreate, kXmpDate},
      {"xmp sidecar with a byte-order mark", Cat({B("\xEF\xBB\xBF\n  <x:xmpmeta>"), kXmpCreate}), kXmpDate},
      {"xml declaration then xmp", Cat({B("<?xml version=\"1.0\"?>\n"), kXmpCreate}), kXmpDate},
      {"psd exif", Psd(Cat({Resource(0x0404, Iptc({{5, "title"}})), Resource(0x0422, kAll)})), kOriginal},
      {"psd xmp over exif's datetime",
       Psd(Cat({Resource(0x0422, kOnlyDateTime), Resource(0x0424, kXmpCreate)})), kXmpDate},
      {"psd iptc", Psd(Cat({Resource(0x0404, kIptcDated), Resource(0x0422, kNoOriginal)})), kIptcDate},
      {"psd resources cut short", Cut(Psd(Resource(0x0422, kAll)), 40), kNone},
      {"xml that is no xmp", B("<?xml version=\"1.0\"?><svg xmp:CreateDate=\"2015-06-09T20:09:27\"/>"),
       kNone},
  });
}

// GIMP's XCF: a colour map property (with the wrong length old versions
// wrote), then the parasites.
Bytes Xcf(const std::vector<std::pair<std::string, Bytes>>& parasites) {
  Bytes list;
  for (const auto& [name, data] : parasites) {
    list = Cat({list, N(name.size() + 1, 4), B(name), Bytes(1), N(1, 4), N(data.size(), 4), data});
  }
  return Cat({B({"gimp xcf v011\0", 14}), N(8, 4), N(8, 4), N(2, 4), N(150, 4), N(1, 4), N(5, 4), N(1, 4),
              Bytes(3), N(21, 4), N(list.size(), 4), list, N(0, 8)});
}
Bytes Ue7(uint64_t value) {
  Bytes out = N(value & 0x7F, 1);
  for (value >>= 7; value != 0; value >>= 7)
    out.insert(out.begin(), static_cast<unsigned char>(0x80 | (value & 0x7F)));
  return out;
}
Bytes Bpg(const std::vector<std::pair<int, Bytes>>& extensions) {
  Bytes data;
  for (const auto& [tag, bytes] : extensions) data = Cat({data, Ue7(tag), Ue7(bytes.size()), bytes});
  return Cat({B("BPG\xFB"), N(0x0008, 2), Ue7(8), Ue7(8), Ue7(0), Ue7(data.size()), data});
}

TEST(TakenDateFormats, ImageProgramsKeepTheCamerasMetadata) {
  const Bytes exifBlock = Cat({B({"Exif\0\0", 6}), kNoOriginal});
  const Bytes gimpList = B(
      "<?xml version='1.0' encoding='UTF-8'?>\n<metadata>\n  <tag name=\"Exif.Image.DateTime\">2016:02:29 "
      "23:59:59</tag>\n  <tag name=\"Exif.Photo.DateTimeOriginal\">2018:09:26 10:11:12</tag>\n</metadata>\n");
  const std::string miffHeader = "id=ImageMagick  version=1.0\nclass=DirectClass  colors=0  matte=False\n";
  ExpectAll({
      {"xcf exif parasite", Xcf({{"icc-profile", Bytes(5)}, {"exif-data", exifBlock}}), kDigitized},
      {"xcf gimp metadata list", Xcf({{"gimp-image-metadata", gimpList}}), kOriginal},
      {"xcf xmp and iptc",
       Xcf({{"iptc-data", kIptcDated}, {"gimp-metadata", Cat({B("GIMP_XMP_1"), kXmpCreate})}}), kXmpDate},
      {"bpg exif", Bpg({{2, Bytes(3)}, {1, kAll}}), kOriginal},
      {"bpg xmp beats exif's digitized", Bpg({{1, exifBlock}, {3, kXmpCreate}}), kXmpDate},
      {"bpg without extensions", Cat({B("BPG\xFB"), N(0, 2), Ue7(8), Ue7(8), Ue7(0)}), kNone},
      {"miff profiles",
       Cat({B(miffHeader + "profile=icc\nprofile=exif\nexif:DateTime={2016:02:29 23:59:59}\n\f\n:\x1A"),
            N(3, 4), Bytes(3), N(kAll.size() + 6, 4), B({"Exif\0\0", 6}), kAll}),
       kOriginal},
      {"miff profiles of an older writer",
       Cat({B(miffHeader + "profile:iptc=" + std::to_string(kIptcDated.size()) +
              "\nprofile:exif=" + std::to_string(kNoOriginal.size()) + "\n:\x1A"),
            kIptcDated, kNoOriginal}),
       kIptcDate},
      {"miff header without its end", B(miffHeader + "profile=exif\n"), kNone},
  });
}

Bytes Utf16(std::string_view text) {
  Bytes out;
  for (char c : text) out = Cat({out, N(static_cast<unsigned char>(c), 2, true)});
  return Cat({out, N(0, 2)});
}

// Raw files: a RAF with its JPEG, an MRW with its TIFF block, an X3F with
// its directory at the end, a CRW with its heaps.
Bytes Raf(const Bytes& jpeg) {
  return Cat({B("FUJIFILMCCD-RAW 0201FF392201"), Bytes(56), N(100, 4), N(jpeg.size(), 4), Bytes(8), jpeg});
}
Bytes Mrw(const Bytes& tiff) {
  const Bytes blocks = Cat({B({"\0PRD", 4}), N(8, 4), Bytes(8), B({"\0TTW", 4}), N(tiff.size(), 4), tiff});
  return Cat({B({"\0MRM", 4}), N(blocks.size(), 4), blocks, Bytes(16)});
}
Bytes X3f(const Bytes& jpeg, std::string_view time) {
  const Bytes image = Cat({B("SECi"), N(0x20000, 4, true), N(2, 4, true), N(18, 4, true), Bytes(12), jpeg});
  const Bytes chars = Cat({Utf16("ISO"), Utf16("100"), Utf16("TIME"), Utf16(time)});
  const Bytes properties =
      Cat({B("SECp"), N(0x20000, 4, true), N(2, 4, true), Bytes(8), N(chars.size() / 2, 4, true),
           N(0, 4, true), N(4, 4, true), N(8, 4, true), N(13, 4, true), chars});
  const size_t imageAt = 40, propertiesAt = imageAt + image.size(),
               directoryAt = propertiesAt + properties.size();
  const Bytes directory =
      Cat({B("SECd"), N(0x20000, 4, true), N(2, 4, true), N(imageAt, 4, true), N(image.size(), 4, true),
           B("IMA2"), N(propertiesAt, 4, true), N(properties.size(), 4, true), B("PROP")});
  return Cat(
      {B("FOVb"), N(0x20002, 4, true), Bytes(32), image, properties, directory, N(directoryAt, 4, true)});
}
// A heap: the records' data, the table (a count, records of a tag, a size
// and an offset), the table's offset.
Bytes CiffHeap(const std::vector<std::pair<uint16_t, Bytes>>& records) {
  Bytes data, table = N(records.size(), 2, true);
  for (const auto& [tag, bytes] : records) {
    table = Cat({table, N(tag, 2, true), N(bytes.size(), 4, true), N(data.size(), 4, true)});
    data = Cat({data, bytes});
  }
  return Cat({data, table, N(data.size(), 4, true)});
}
Bytes Crw(const Bytes& root) {
  return Cat({B("II"), N(26, 4, true), B("HEAPCCDR"), N(0x10002, 4, true), Bytes(8), root});
}

TEST(TakenDateFormats, RawFilesThatAreNoTiff) {
  const Bytes time = Cat({N(1068485966, 4, true), Bytes(8)});  // 2003-11-10 17:39:26
  const Bytes images = CiffHeap({{0x5803, {}}, {0x180E, time}});
  ExpectAll({
      {"raf", Raf(Jpeg(kAll)), kOriginal},
      {"raf with its jpeg offset past the end", Cut(Raf(Jpeg(kAll)), 99), kNone},
      {"mrw", Mrw(kNoOriginal), kDigitized},
      {"x3f properties", X3f({}, "978309395"), Wall(2001, 1, 1, 0, 36, 35)},
      {"x3f jpeg's exif over the properties", X3f(Jpeg(kAll), "978309395"), kOriginal},
      {"x3f time that is no number", X3f(Jpeg(kOnlyDateTime), "97830939x"), kDateTime},
      {"x3f cut before its directory", Cut(X3f({}, "978309395"), 200), kNone},
      {"crw", Crw(CiffHeap({{0x300A, images}})), Wall(2003, 11, 10, 17, 39, 26)},
      {"crw heap nested deeper", Crw(CiffHeap({{0x2804, CiffHeap({{0x300A, images}})}})),
       Wall(2003, 11, 10, 17, 39, 26)},
      {"crw time in a record of its own", Crw(CiffHeap({{0x180E | 0x4000, time}})), kNone},
      {"crw time zero", Crw(CiffHeap({{0x180E, Bytes(12)}})), kNone},
  });
}

// Movies: a phone's creation date, XMP, Canon's CMT boxes beside the movie header.
Bytes Keys(std::string_view key, std::string_view value) {
  const Bytes keys = FullBox(
      "keys", 0, Cat({N(2, 4), N(8 + 9, 4), B("mdtaother.key"), N(8 + key.size(), 4), B("mdta"), B(key)}));
  const Bytes item = Box(
      "ilst", Cat({Box(std::string_view("\0\0\0\1", 4), Box("data", Cat({N(1, 4), N(0, 4), B("x")}))),
                   Box(std::string_view("\0\0\0\2", 4), Box("data", Cat({N(1, 4), N(0, 4), B(value)})))}));
  return Box("meta", Cat({FullBox("hdlr", 0, Cat({N(0, 4), B("mdta"), Bytes(13)})), keys, item}));
}
Bytes Mp4(const Bytes& moov, const Bytes& after = {}) {
  return Cat({Box("ftyp", B("qt  \0\0\0\0qt  ")), Box("mdat", Bytes(64)), Box("moov", moov), after});
}
const unsigned char kXmpUuid[] = {0xBE, 0x7A, 0xCF, 0xCB, 0x97, 0xA9, 0x42, 0xE8,
                                  0x9C, 0x71, 0x99, 0x94, 0x91, 0xE3, 0xAF, 0xAC};
const unsigned char kCanonUuid[] = {0x85, 0xC0, 0xB6, 0x87, 0x82, 0x0F, 0x11, 0xE0,
                                    0x81, 0x11, 0xF4, 0xCE, 0x46, 0x2B, 0x6A, 0x48};
Bytes Uuid(const unsigned char* uuid, const Bytes& body) {
  return Box("uuid", Cat({Bytes(uuid, uuid + 16), body}));
}
Bytes Cr3(const Bytes& cmt1, const Bytes& cmt2, const Bytes& mvhd) {
  return Cat({Box("ftyp", B("crx \0\0\0\1crx isom")),
              Box("moov", Cat({Uuid(kCanonUuid,
                                    Cat({Box("CNCV", B("CanonCR3")), Box("CMT1", cmt1), Box("CMT2", cmt2)})),
                               mvhd})),
              Box("mdat", Bytes(16))});
}
Bytes HeifXmp(const Bytes& tiff, const Bytes& xmp) {
  const Bytes item = Cat({N(6, 4), B({"Exif\0\0", 6}), tiff});
  const Bytes infe = Cat(
      {FullBox("infe", 2, Cat({N(1, 2), N(0, 2), B("Exif")})),
       FullBox("infe", 2,
               Cat({N(2, 2), N(0, 2), B({"mime", 4}), B({"XMP\0", 4}), B({"application/rdf+xml\0", 20})}))});
  const Bytes iloc =
      FullBox("iloc", 1,
              Cat({N(0x4400, 2), N(2, 2), N(1, 2), N(1, 2), N(0, 2), N(1, 2), N(0, 4), N(item.size(), 4),
                   N(2, 2), N(1, 2), N(0, 2), N(1, 2), N(item.size(), 4), N(xmp.size(), 4)}));
  return Cat({Box("ftyp", B("heic\0\0\0\0mif1heic")),
              FullBox("meta", 0,
                      Cat({FullBox("iinf", 0, Cat({N(2, 2), infe})), iloc, Box("idat", Cat({item, xmp}))}))});
}

TEST(TakenDateFormats, MoviesAndCanonRawsOfBoxes) {
  const Bytes mvhd = Mvhd(0, kFrom1904 + 1537956672);  // 2018-09-26 10:11:12 UTC
  const Moment header{Kind::kUtc, 1537956672};
  const Bytes cmt2Digitized = FlatTiff({Ascii(0x9004, "2017:03:04 05:06:07")});
  ExpectAll({
      {"phone's clock over the movie header",
       Mp4(Cat({mvhd, Keys("com.apple.quicktime.creationdate", "2019-06-01T12:00:00+0200")})),
       Wall(2019, 6, 1, 12, 0, 0)},
      {"phone's date without a time",
       Mp4(Cat({mvhd, Keys("com.apple.quicktime.creationdate", "2019-06-01")})), header},
      {"another key's value", Mp4(Cat({mvhd, Keys("com.apple.quicktime.make", "2019-06-01T12:00:00")})),
       header},
      {"xmp box at the top", Mp4(mvhd, Uuid(kXmpUuid, kXmpCreate)), kXmpDate},
      {"xmp in the user data", Mp4(Cat({mvhd, Box("udta", Box("XMP_", kXmpCreate))})), kXmpDate},
      {"cr3 exif, not the movie header",
       Cr3(kOnlyDateTime, FlatTiff({Ascii(0x9003, "2018:09:26 10:11:12")}), mvhd), kOriginal},
      {"cr3 movie header over digitized", Cr3(kOnlyDateTime, cmt2Digitized, mvhd), header},
      {"cr3 digitized without a movie header", Cr3(kOnlyDateTime, cmt2Digitized, {}), kDigitized},
      {"heif xmp item over exif's digitized", HeifXmp(kNoOriginal, kXmpCreate), kXmpDate},
      {"heif exif original over its xmp", HeifXmp(kAll, kXmpCreate), kOriginal},
  });
}

}  // namespace

// Offsets and lengths of 32 bits that add up past 4 GiB, in sparse files:
// added in 32 bits they would wrap to the first bytes of the file and give
// the date that stands there, or none, instead of the one they lead to.
TEST(TakenDateFormats, OffsetsThatAddUpPastFourGibAreFollowedThere) {
  constexpr uint64_t k4G = uint64_t{1} << 32;
  const Bytes oldDate = B({"1999:01:01 00:00:00\0", 20}), newDate = B({"2020:02:02 02:02:02\0", 20});
  auto entry = [](uint32_t tag, uint32_t type, uint32_t count, uint32_t value) {
    return Cat({N(tag, 2, true), N(type, 2, true), N(count, 4, true), N(value, 4, true)});
  };
  // IFD0 at 0xFFFFFFFE, its entries cut off by the end of the file; at
  // offset 12, where its second entry would wrap to, a DateTime entry waits.
  const Bytes lastIfd = Cat({B({"II*\0", 4}), N(0xFFFFFFFE, 4, true), Bytes(4), entry(0x0132, 2, 20, 100)});
  const Bytes exifIfdFar = Cat({B({"II*\0", 4}), N(8, 4, true), N(2, 2, true), entry(0x0132, 2, 20, 100),
                                entry(0x8769, 4, 1, 0xFFFFFFFE), N(0, 4)});
  const Bytes raf = Cat({B("FUJIFILMCCD-RAW 0201FF392201"), Bytes(56), N(0xFFFFFFF0, 4), N(0x1000, 4)});
  const Bytes xcfList = Cat({N(10, 4), B({"exif-data\0", 10}), N(1, 4), N(kAll.size(), 4), kAll});
  const Bytes ciffTable = Cat({N(1, 2, true), N(0x180E, 2, true), N(12, 4, true), N(0, 4, true)});
  const uint64_t ciffAt = 26 + uint64_t{0xFFFFFFF0};
  const struct {
    const char* name;
    File file;
    Moment expected;
  } cases[] = {
      {"tiff ifd0 cut at 4 GiB", {{{0, lastIfd}, {100, oldDate}, {0xFFFFFFFE, N(2, 2, true)}}, k4G}, kNone},
      {"tiff exif ifd at 0xFFFFFFFE",
       {{{0, exifIfdFar},
         {100, oldDate},
         {200, newDate},
         {0xFFFFFFFE, N(1, 2, true)},
         {k4G, entry(0x9003, 2, 20, 200)}},
        k4G + 12},
       Wall(2020, 2, 2, 2, 2, 2)},
      {"raf jpeg across 4 GiB",
       {{{0, raf}, {0xFFFFFFF0, Jpeg(kAll)}}, 0xFFFFFFF0 + Jpeg(kAll).size()},
       kOriginal},
      {"psd colour data of almost 4 GiB",
       {{{0, Cat({B("8BPS"), N(1, 2), Bytes(20), N(0xFFFFFFF0, 4)})},
         {30 + uint64_t{0xFFFFFFF0}, Cat({N(Resource(0x0422, kAll).size(), 4), Resource(0x0422, kAll)})}},
        k4G + 512},
       kOriginal},
      {"xcf property of almost 4 GiB",
       {{{0, Cat({B({"gimp xcf v011\0", 14}), N(8, 4), N(8, 4), N(0, 4), N(150, 4), N(22, 4),
                  N(0xFFFFFFF8, 4)})},
         {30 + k4G, Cat({N(21, 4), N(xcfList.size(), 4), xcfList, N(0, 8)})}},
        30 + k4G + 512},
       kOriginal},
      {"crw heap table past 4 GiB",
       {{{0, Crw({})},
         {26, N(1068485966, 4, true)},
         {ciffAt, ciffTable},
         {ciffAt + 12, N(0xFFFFFFF0, 4, true)}},
        ciffAt + 16},
       Wall(2003, 11, 10, 17, 39, 26)},
  };
  for (auto c : cases) {
    EXPECT_EQ(c.file.Read(), c.expected) << c.name;
    EXPECT_LE(c.file.asked, TakenDate::kMostBytes) << c.name;
  }
}
