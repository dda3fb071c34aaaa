// The chart beside a report: an SVG bar chart of the same date counts, one
// bar per date text (or per bin of neighbouring texts when there are very
// many), drawn with integer arithmetic only so that every build writes the
// same bytes for the same counts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Counting.h"
#include "Text.h"

// What the chart's title says besides the counts.
struct ChartFacts {
  Text folder;  // the folder as named on the command line
  DateKind kind = DateKind::kCreated;
  Text mask;                  // the date mask before translation, e.g. "yyyy-mm-dd"
  int64_t foldersBefore = 0;  // earlier folders of the run whose counts are included
};

// Up to this many texts get a bar each; more are grouped into equal bins of
// neighbouring texts (the last bin may hold fewer) so there are at most this
// many bars, which keeps a chart of a million texts well under 2 MB.
constexpr size_t kChartMaxBars = 2000;

// The number of neighbouring texts that share one bar for `texts` texts.
size_t ChartBinSize(size_t texts);

// The chart of `counts` (sorted by text) as a self-contained SVG 1.1
// document in UTF-8: no scripts, no external fonts or images. Names and
// texts are XML-escaped; a code unit that cannot be written as UTF-8 (a lone
// surrogate, such as the bytes of a name that is not UTF-8) or that XML
// forbids shows as U+FFFD.
std::string ChartSvg(const std::vector<DateCount>& counts, const ChartFacts& facts);

// `text` in UTF-8 with "&", "<", ">", '"' and "'" escaped, as above.
std::string XmlText(TextView text);

// Writes the chart of `counts` (sorted) to `fileName` as WriteFileReplacing
// does.
WriteOutcome WriteChart(const Text& fileName, const DateCountList& counts, const ChartFacts& facts);
