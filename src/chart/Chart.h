// The chart beside a report: an SVG bar chart of the same date counts,
// drawn with integer arithmetic only so that every build writes the same
// bytes for the same counts. When the mask reads as a calendar (the year,
// then the month, and so on down without a gap) the x axis is time, with one
// slot per unit and empty slots for the units without files; otherwise it
// has one bar per date text (or per bin of neighbouring texts when there are
// very many).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Text.h"
#include "count/DateCounts.h"
#include "dates/DateKind.h"
#include "io/ReportFile.h"

// What the chart's title says besides the counts.
struct ChartFacts {
  Text folder;  // the folder as named on the command line
  DateKind kind = DateKind::kCreated;
  Text mask;                  // the date mask before translation, e.g. "yyyy-mm-dd"
  int64_t foldersBefore = 0;  // earlier folders of the run whose counts are included
  Text renderMask;            // the mask the texts were rendered with, e.g. "%yyyy-%mm-%dd"
};

// The chart of `counts` (sorted by text) as a self-contained SVG 1.1
// document in UTF-8: no scripts, no external fonts or images. Names and
// texts are XML-escaped; a code unit that cannot be written as UTF-8 (a lone
// surrogate, such as the bytes of a name that is not UTF-8) or that XML
// forbids shows as U+FFFD.
std::string ChartSvg(const CountsView& counts, const ChartFacts& facts);

// `text` in UTF-8 with "&", "<", ">", '"' and "'" escaped, as above.
std::string XmlText(TextView text);

// Writes the chart of `counts` (sorted) to `fileName` as WriteFileReplacing
// does.
Outcome<WriteStatus> WriteChart(const Text& fileName, const DateCountList& counts, const ChartFacts& facts);
