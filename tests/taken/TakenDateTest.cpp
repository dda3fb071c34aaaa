#include <gtest/gtest.h>

#include "base/Conventions.h"
#include "support/TestSupport.h"
#include "taken/TakenBuilders.h"

namespace {

using namespace TakenTest;

TEST(TakenDate, EachFormatTakesOriginalThenDigitizedThenDateTime) {
  const Moment original = Wall(2018, 9, 26, 10, 11, 12), digitized = Wall(2017, 3, 4, 5, 6, 7),
               dateTime = Wall(2016, 2, 29, 23, 59, 59);
  const Bytes all = Tiff(kLittle, {DateTime("2016:02:29 23:59:59"), Original("2018:09:26 10:11:12"),
                                   Digitized("2017:03:04 05:06:07")});
  const Bytes noOriginal = Tiff(kBig, {DateTime("2016:02:29 23:59:59"), Digitized("2017:03:04 05:06:07")});
  const Bytes onlyDateTime = Tiff(kLittle, {DateTime("2016:02:29 23:59:59")});
  const Bytes none = Tiff(kBig, {});
  auto raw = [&](std::string_view mark) { return Cat({B(mark), Bytes(all.begin() + 4, all.end())}); };
  const std::vector<Case> cases = {
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
      {"mvhd before 1970", Movie(Mvhd(0, kFrom1904 - 1)), Moment{Kind::kUtc, -1}},
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
  ExpectAll(cases);
}

TEST(TakenDate, TheFirstValidDateInRankOrderCounts) {
  const Moment original = Wall(2018, 9, 26, 10, 11, 12), dateTime = Wall(2016, 2, 29, 23, 59, 59),
               xmp = Wall(2015, 6, 9, 20, 9, 27), iptc = Wall(2014, 10, 29, 6, 27, 51);
  const Bytes all = ExifApp1(Tiff(kLittle, {DateTime("2016:02:29 23:59:59"), Original("2018:09:26 10:11:12"),
                                            Digitized("2017:03:04 05:06:07")}));
  const Bytes noOriginal =
      ExifApp1(Tiff(kBig, {DateTime("2016:02:29 23:59:59"), Digitized("2017:03:04 05:06:07")}));
  const Bytes onlyDateTime = ExifApp1(Tiff(kLittle, {DateTime("2016:02:29 23:59:59")}));
  const Bytes badOriginal =
      ExifApp1(Tiff(kLittle, {DateTime("2016:02:29 23:59:59"), Original("2018:02:30 10:11:12")}));
  auto xmpOf = [](std::vector<std::pair<std::string, std::string>> properties) {
    return XmpApp1(Xmp(properties));
  };
  const Bytes xmpCreate = xmpOf({{"xmp:CreateDate", "2015-06-09T20:09:27"}});
  const Bytes iptcDated = IptcApp13(Iptc({{55, "20141029"}, {60, "062751-0500"}}));
  ExpectAll({
      {"exif original over all", JpegOf({xmpCreate, iptcDated, all}), original},
      {"xmp over digitized and datetime", JpegOf({noOriginal, xmpCreate}), xmp},
      {"xmp over datetime", JpegOf({onlyDateTime, xmpCreate}), xmp},
      {"xmp's original over its other dates",
       JpegOf({xmpOf({{"xmp:CreateDate", "2001-01-01T00:00:00"},
                      {"photoshop:DateCreated", "2002-02-02T00:00:00"},
                      {"<exif:DateTimeOriginal", "2015-06-09T20:09:27.25+02:00"}})}),
       xmp},
      {"xmp's photoshop date over its create date",
       JpegOf({xmpOf(
           {{"xmp:CreateDate", "2001-01-01T00:00:00"}, {"photoshop:DateCreated", "2015-06-09T20:09:27Z"}})}),
       xmp},
      {"xmp's date alone gives way",
       JpegOf({xmpOf({{"photoshop:DateCreated", "2015-06-09"}, {"xmp:CreateDate", "2015-06-09T20:09:27"}})}),
       xmp},
      {"xmp's invalid original gives way",
       JpegOf({xmpOf(
           {{"exif:DateTimeOriginal", "2015-13-09T20:09:27"}, {"xmp:CreateDate", "2015-06-09T20:09:27"}})}),
       xmp},
      {"xmp minutes without seconds", JpegOf({xmpOf({{"xmp:CreateDate", "2015-06-09T20:09+01:00"}})}),
       Wall(2015, 6, 9, 20, 9, 0)},
      {"xmp name inside another word",
       JpegOf({xmpOf({{"myxmp:CreateDate", "2015-06-09T20:09:27"}}), onlyDateTime}), dateTime},
      {"iptc over digitized", JpegOf({noOriginal, iptcDated}), iptc},
      {"xmp over iptc", JpegOf({iptcDated, xmpCreate}), xmp},
      {"unreadable original gives the next valid date", JpegOf({badOriginal, xmpCreate}), xmp},
      {"unreadable original, then datetime", JpegOf({badOriginal}), dateTime},
  });
}

TEST(TakenDate, AnIfdNearTheLastOffsetIsReadWhereItLies) {
  // IFD0 at 0xFFFFFFFE: its count in the last two bytes below 4 GiB, its
  // entries above. Summed in 32 bits the entries would wrap to offset 0,
  // where a DateTime entry of another date waits (the second "entry" there).
  const Bytes header = Cat({B({"II*\0", 4}), N(0xFFFFFFFE, 4, true), Bytes(4), N(0x0132, 2, true),
                            N(2, 2, true), N(20, 4, true), N(100, 4, true)});
  const Bytes entries = Cat({N(0x0100, 2, true), N(3, 2, true), N(1, 4, true), N(8, 4, true),
                             N(0x0132, 2, true), N(2, 2, true), N(20, 4, true), N(200, 4, true), N(0, 4)});
  File file{{{0, header},
             {100, B({"1999:01:01 00:00:00\0", 20})},
             {200, B({"2020:02:02 02:02:02\0", 20})},
             {0xFFFFFFFE, N(2, 2, true)},
             {0x100000000, entries}},
            0x100000000 + entries.size()};
  EXPECT_EQ(file.Read(), Wall(2020, 2, 2, 2, 2, 2));
  EXPECT_LE(file.asked, 16u * 1024);
}

TEST(TakenDate, AJpegsOriginalEndsTheRead) {
  // Behind the Exif segment lie an XMP and a Photoshop segment whose reads
  // would fail: a DateTimeOriginal found first leaves them unread.
  const Bytes exif = ExifApp1(Tiff(kLittle, {Original("2018:09:26 10:11:12")}));
  const Bytes rest = Cat({XmpApp1(Xmp({{"xmp:CreateDate", "2015-06-09T20:09:27"}})),
                          IptcApp13(Iptc({{55, "20141029"}, {60, "062751"}}))});
  const Bytes filler = Segment(0xE2, Bytes(20000));
  const Bytes jpeg = JpegOf({exif, filler, rest});
  File file = Whole(jpeg);
  file.failFrom = 2 + 18 + exif.size() + filler.size();
  EXPECT_EQ(file.Read(), Wall(2018, 9, 26, 10, 11, 12));
  const Bytes noOriginal = ExifApp1(Tiff(kLittle, {DateTime("2016:02:29 23:59:59")}));
  file = Whole(JpegOf({noOriginal, filler, rest}));
  EXPECT_EQ(file.Read(), Wall(2015, 6, 9, 20, 9, 27));
  file.failFrom = 2 + 18 + noOriginal.size() + filler.size();
  EXPECT_EQ(file.Read(), kNone);  // the XMP behind would have counted
}

TEST(TakenDate, BadDateTextsAndOffsetsFallBackToTheNextCandidate) {
  const Moment fallback = Wall(2000, 1, 1, 0, 0, 0);
  const struct {
    std::string_view text;
    Moment expected;
  } texts[] = {
      {"2018:09:26 10:11:12", Wall(2018, 9, 26, 10, 11, 12)},  // no NUL
      {"2018:09:26 10:11:12   ", Wall(2018, 9, 26, 10, 11, 12)},
      {{"1970:01:01 00:00:00\0", 20}, fallback},  // a clock never set
      {{"1970:01:01 00:00:01\0", 20}, Wall(1970, 1, 1, 0, 0, 1)},
      {{"2038:01:19 03:14:08\0", 20}, Wall(2038, 1, 19, 3, 14, 8)},
      {{"1969:12:31 23:59:59\0", 20}, Wall(1969, 12, 31, 23, 59, 59)},
      {{"1965:07:04 12:00:00\0", 20}, Wall(1965, 7, 4, 12, 0, 0)},
      {{"1601:01:01 00:00:00\0", 20}, Moment{Kind::kWallClock, Calendar::kFirstSecond}},
      {{"1600:12:31 23:59:59\0", 20}, fallback},
      {{"9999:12:31 23:59:59\0", 20}, Moment{Kind::kWallClock, Calendar::kLastSecond}},
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
      {u"raf-exif.raf", Wall(2018, 9, 26, 10, 11, 12)},
      {u"mrw-ttw.mrw", Wall(2008, 7, 6, 5, 4, 3)},
      {u"x3f-time.x3f", Wall(2007, 6, 5, 4, 3, 2)},
      {u"crw-time.crw", Wall(2006, 5, 4, 3, 2, 1)},
      {u"xcf-exif.xcf", Wall(2005, 4, 3, 2, 1, 0)},
      {u"bpg-xmp.bpg", Wall(2004, 3, 2, 11, 22, 33)},
      {u"xmp-sidecar.xmp", Wall(2003, 2, 1, 0, 59, 58)},
      {u"jpeg-iptc.jpg", Wall(2002, 1, 30, 23, 59, 57)},
      {u"jpeg-xmp.jpg", Wall(2001, 12, 29, 22, 58, 56)},
      {u"psd-exif.psd", Wall(2000, 11, 28, 21, 57, 55)},
      {u"miff-exif.miff", Wall(2018, 9, 26, 10, 11, 12)},
      {u"avi-idit.avi", Wall(2010, 3, 10, 15, 4, 43)},
      {u"asf-created.wmv", Utc(2012, 5, 6, 7, 8, 9)},
      {u"dv-recorded.dv", Wall(2013, 6, 7, 8, 9, 10)},
      {u"mkv-dateutc.mkv", Utc(2011, 4, 5, 6, 7, 8)},
      {u"m2ts-mdpm.mts", Wall(2009, 10, 11, 12, 13, 14)},
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
