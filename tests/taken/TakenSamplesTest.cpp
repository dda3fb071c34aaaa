// Real files of cameras and programs, kept beside the repository (in
// ../shared/taken-samples) and never in it: the date each gives, read from
// memory and through ReadAt alike. Skipped where the folder is not there.
#include <gtest/gtest.h>

#include "base/Text.h"
#include "support/TestSupport.h"
#include "taken/TakenBuilders.h"

namespace {

using namespace TakenTest;

TEST(TakenDateSamples, RealFilesGiveTheDateTheyHold) {
  const Text folder = TextFromUtf8(DATEMILL_TAKEN_SAMPLES);
  if (!TestSupport::Exists(folder)) GTEST_SKIP() << "no sample files in " << DATEMILL_TAKEN_SAMPLES;
  const struct {
    const char* name;
    Moment expected;
  } samples[] = {
      {"FujiFilm.raf", Wall(2007, 5, 22, 13, 58, 30)},       // Exif of the embedded JPEG
      {"CanonRaw.cr3", Wall(2018, 2, 21, 12, 8, 56)},        // Exif in CMT2, not the movie header
      {"CanonRaw.crw", Wall(2003, 11, 10, 17, 39, 26)},      // CIFF
      {"Minolta.mrw", Wall(2004, 11, 18, 23, 14, 58)},       // Exif of the TTW block
      {"Sigma.x3f", Wall(2001, 1, 1, 0, 36, 35)},            // the header's time
      {"RIFF.avi", Wall(2003, 3, 10, 15, 4, 43)},            // IDIT
      {"Matroska.mkv", Utc(2010, 2, 3, 21, 17, 48)},         // DateUTC
      {"M2TS.mts", Wall(2008, 12, 31, 23, 16, 24)},          // the H.264 stream's MDPM
      {"ASF.wmv", Utc(2004, 10, 28, 17, 23, 34)},            // the file properties' creation date
      {"DV.dv", Wall(2010, 2, 16, 21, 36, 28)},              // the recording date packs
      {"Photoshop.psd", Wall(2005, 7, 18, 8, 27, 14)},       // IFD0 DateTime of resource 0x0422
      {"PhotoMechanic.jpg", Wall(2006, 10, 29, 6, 27, 51)},  // IPTC
      {"XMP.xmp", Wall(2005, 6, 9, 20, 9, 27)},              // XMP exif:DateTimeOriginal
  };
  std::vector<Case> cases;
  for (const auto& sample : samples) {
    const std::string bytes = TestSupport::ReadBytes(TestSupport::Join(folder, FromAscii(sample.name)));
    ASSERT_NE(bytes, "<missing>") << sample.name;
    cases.push_back({sample.name, Bytes(bytes.begin(), bytes.end()), sample.expected});
  }
  ExpectAll(cases);
}

}  // namespace
