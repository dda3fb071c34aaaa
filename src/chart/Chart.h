// The chart beside a report: an SVG bar chart of the same date counts,
// drawn with integer arithmetic only so that every build writes the same
// bytes for the same counts. When the mask reads as a calendar (the year,
// then the month, and so on down without a gap) the x axis is time, with one
// slot per unit and empty slots for the units without files; otherwise it
// has one bar per date text (or per bin of neighbouring texts when there are
// very many).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "count/Counting.h"
#include "base/Text.h"

// What the chart's title says besides the counts.
struct ChartFacts {
  Text folder;  // the folder as named on the command line
  DateKind kind = DateKind::kCreated;
  Text mask;                  // the date mask before translation, e.g. "yyyy-mm-dd"
  int64_t foldersBefore = 0;  // earlier folders of the run whose counts are included
  Text renderMask;            // the mask the texts were rendered with, e.g. "%yyyy-%mm-%dd"
};

// The units of a time axis, finest first.
enum class TimeUnit { kSecond, kMinute, kHour, kDay, kMonth, kYear };

// A time axis has one slot per unit of the mask's finest token; past this
// many, the slots merge into the next coarser unit until they fit.
constexpr int64_t kChartMaxSlots = 1000;

// The finest unit of a rendering mask (as RenderDate takes it) whose tokens
// run from the year down without a gap and in that order, any literals
// between them: %yyyy or %yy, then %mm, %dd, %hh, %ii, %ss. nullopt for any
// other mask, and for %yy alone, whose "00" also stands for an unknown date.
std::optional<TimeUnit> CalendarUnit(TextView renderMask);

// The date value of `text` read back through such a mask, the fields it
// lacks at their start ("2018-09" is 2018-09-01 00:00:00; "yy" 70-99 is
// 19yy, 00-38 is 20yy); nullopt when the mask is no calendar or `text` is
// not its rendering of a valid date, such as the zeros of an unknown date.
std::optional<int64_t> ReadDate(TextView renderMask, TextView text);

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
std::string ChartSvg(const CountsView& counts, const ChartFacts& facts);

// `text` in UTF-8 with "&", "<", ">", '"' and "'" escaped, as above.
std::string XmlText(TextView text);

// Writes the chart of `counts` (sorted) to `fileName` as WriteFileReplacing
// does.
WriteOutcome WriteChart(const Text& fileName, const DateCountList& counts, const ChartFacts& facts);
