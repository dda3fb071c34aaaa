// The x axis of a chart: its slots, their labels, and whether it is time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "count/DateCounts.h"
#include "dates/Unit.h"

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
// 19yy, 00-69 is 20yy); nullopt when the mask is no calendar or `text` is
// not its rendering of a valid date, such as the zeros of an unknown date.
std::optional<int64_t> ReadDate(TextView renderMask, TextView text);

// Up to this many texts get a bar each; more are grouped into equal bins of
// neighbouring texts (the last bin may hold fewer) so there are at most this
// many bars, which keeps a chart of a million texts well under 2 MB.
constexpr size_t kChartMaxBars = 2000;

// The number of neighbouring texts that share one bar for `texts` texts.
size_t ChartBinSize(size_t texts);

struct ChartAxis {
  // One slot: the texts [first, last] of the sorted counts (on a time axis,
  // the first and the last in time), how many, and their sum.
  struct Bar {
    size_t first = 0, last = 0, texts = 0;
    int64_t count = 0;
  };

  std::vector<Bar> bars;                        // empty slots of a time axis included
  std::vector<std::pair<size_t, Text>> labels;  // the slots that get a label, and the label
  // A time axis: its unit, the unit number of slot 0, the mask that renders
  // a slot's start, and the texts that read as no date (how many, their
  // files, the first of them), which stay off it.
  bool time = false;
  TimeUnit unit = TimeUnit::kDay;
  int64_t firstSlot = 0;
  Text slotMask;
  size_t offTexts = 0, firstOff = 0;
  int64_t offFiles = 0;
  // A text axis: the neighbouring texts that share a bar.
  size_t binSize = 1;

  // The start of a time axis's slot `bar`, rendered as a label.
  Text SlotLabel(size_t bar) const;
};

// The axis of `counts` (sorted by text) for texts rendered through
// `renderMask`: time when the mask is a calendar (CalendarUnit) and some
// text reads as a date, else one bar per text or per bin of texts.
ChartAxis MakeChartAxis(const CountsView& counts, TextView renderMask);

// "second", "minute", ... "year".
const char* UnitWord(TimeUnit unit);
