// The x axis of a chart: its slots, their labels, and whether it is time.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "chart/Chart.h"
#include "count/Counting.h"
#include "base/Text.h"

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
