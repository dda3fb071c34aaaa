// The dates one file offers, ranked: what the formats' readers report, and
// what lets them leave unread what could not change the answer. Shared by
// the reader's files and by no one else.
#pragma once

#include "taken/Moment.h"

namespace TakenDate {

// Where a date was found, best first (the order of TakenDate::Read).
enum class Rank : unsigned {
  kExifOriginal,   // Exif DateTimeOriginal
  kXmp,            // XMP exif:DateTimeOriginal, photoshop:DateCreated, xmp:CreateDate
  kIptc,           // IPTC DateCreated + TimeCreated
  kFormat,         // a format's own capture date
  kPhoneClock,     // QuickTime com.apple.quicktime.creationdate
  kMovieHeader,    // the movie header's creation time
  kExifDigitized,  // Exif DateTimeDigitized
  kExifDateTime,   // IFD0 DateTime
  kNoRank,
};

// The best date offered so far.
class Findings {
 public:
  // Keeps `moment` when it is a date and ranks better than what is kept:
  // of two dates of one rank the first stays.
  void Offer(Rank rank, const Moment& moment) {
    if (moment.kind != Kind::kNone && rank < rank_) rank_ = rank, best_ = moment;
  }

  // Whether a date of `rank` or a better one is kept: then no source of
  // that rank or below can change the answer, and it need not be read.
  bool Settled(Rank rank) const { return rank_ <= rank; }

  Moment Best() const { return best_; }

 private:
  Rank rank_ = Rank::kNoRank;
  Moment best_;
};

}  // namespace TakenDate
