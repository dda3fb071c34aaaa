// The x axis of a chart. When the mask reads as a calendar (the year, then
// the month, and so on down without a gap) the axis is time, with one slot
// per unit and empty slots for the units without files; otherwise it has
// one bar per date text, or per bin of neighbouring texts when there are
// very many.
#include "chart/ChartAxis.h"

#include <algorithm>

#include "base/Calendar.h"
#include "base/Constants.h"
#include "dates/DateValue.h"
#include "dates/Mask.h"
#include "dates/Unit.h"

namespace {

constexpr int64_t kMaxXLabels = 6;  // labels on the x axis at most

// The number of fields of a calendar mask (1: the year only, ... 6: down to
// the second), 0 for any other mask.
int CalendarFields(const std::vector<MaskPiece>& pieces) {
  bool seen[6] = {};
  int tokens = 0;
  bool shortYear = false;
  for (const MaskPiece& piece : pieces) {
    if (piece.field < 0) continue;
    if (seen[piece.field]) return 0;  // a field twice reads as no calendar
    seen[piece.field] = true;
    shortYear = shortYear || piece.shortYear;
    ++tokens;
  }
  // In any order, but from the year down without a gap.
  int fields = 0;
  while (fields < 6 && seen[fields]) ++fields;
  if (fields != tokens) return 0;
  return fields == 1 && shortYear ? 0 : fields;
}

TimeUnit UnitOfFields(int fields) { return static_cast<TimeUnit>(6 - fields); }

}  // namespace

std::optional<TimeUnit> CalendarUnit(TextView renderMask) {
  const int fields = CalendarFields(MaskPieces(renderMask));
  if (fields == 0) return std::nullopt;
  return UnitOfFields(fields);
}

namespace {

std::optional<int64_t> ReadPieces(const std::vector<MaskPiece>& pieces, TextView text) {
  int value[6] = {0, 1, 1, 0, 0, 0};
  size_t at = 0;
  for (const MaskPiece& piece : pieces) {
    if (piece.field < 0) {
      if (at >= text.size() || text[at] != piece.literal) return std::nullopt;
      ++at;
      continue;
    }
    if (text.size() - at < piece.digits) return std::nullopt;
    int number = 0;
    for (size_t k = 0; k < piece.digits; ++k, ++at) {
      if (text[at] < u'0' || text[at] > u'9') return std::nullopt;
      number = number * 10 + (text[at] - u'0');
    }
    if (piece.shortYear) number += number < 70 ? 2000 : 1900;
    value[piece.field] = number;
  }
  if (at != text.size()) return std::nullopt;
  const int64_t date = MakeDate(value[0], value[1], value[2], value[3], value[4], value[5]);
  if (date == Dates::None) return std::nullopt;
  return date;
}

}  // namespace

std::optional<int64_t> ReadDate(TextView renderMask, TextView text) {
  const std::vector<MaskPiece> pieces = MaskPieces(renderMask);
  if (CalendarFields(pieces) == 0) return std::nullopt;
  return ReadPieces(pieces, text);
}

namespace {

// The mask without the tokens finer than `unit`, and without the literal
// text that stands next to one of them: "dd.mm.yyyy" by month is
// "mm.yyyy", "yyyy-mm-dd hh:ii" by day "yyyy-mm-dd". The whole mask for its
// finest unit, so that all its literals stay.
Text MaskThrough(TextView mask, const std::vector<MaskPiece>& pieces, TimeUnit unit) {
  const int keep = 5 - static_cast<int>(unit);
  const auto dropped = [&](size_t i) { return pieces[i].field > keep; };
  Text out;
  size_t start = 0;  // where the current piece starts in the mask
  for (size_t i = 0; i < pieces.size(); start = pieces[i++].end) {
    if (pieces[i].field >= 0) {
      if (!dropped(i)) out += mask.substr(start, pieces[i].end - start);
      continue;
    }
    // A literal goes with a token beside its run that is dropped.
    size_t before = i, after = i;
    while (before > 0 && pieces[before - 1].field < 0) --before;
    while (after < pieces.size() && pieces[after].field < 0) ++after;
    const bool nextToDropped =
        (before > 0 && dropped(before - 1)) || (after < pieces.size() && dropped(after));
    if (!nextToDropped) out += mask.substr(start, pieces[i].end - start);
  }
  return out;
}

// The round boundaries labels may stand on: every `step`th `unit`. Days
// count from the 1st of the month and stop short of its end, so that no
// two labels come closer than the step.
struct LabelStep {
  TimeUnit unit;
  int step;
};
constexpr LabelStep kLabelSteps[] = {
    {TimeUnit::kSecond, 1},  {TimeUnit::kSecond, 2},  {TimeUnit::kSecond, 5},  {TimeUnit::kSecond, 10},
    {TimeUnit::kSecond, 15}, {TimeUnit::kSecond, 30}, {TimeUnit::kMinute, 1},  {TimeUnit::kMinute, 2},
    {TimeUnit::kMinute, 5},  {TimeUnit::kMinute, 10}, {TimeUnit::kMinute, 15}, {TimeUnit::kMinute, 30},
    {TimeUnit::kHour, 1},    {TimeUnit::kHour, 2},    {TimeUnit::kHour, 3},    {TimeUnit::kHour, 6},
    {TimeUnit::kHour, 12},   {TimeUnit::kDay, 1},     {TimeUnit::kDay, 2},     {TimeUnit::kDay, 5},
    {TimeUnit::kDay, 10},    {TimeUnit::kDay, 15},    {TimeUnit::kMonth, 1},   {TimeUnit::kMonth, 2},
    {TimeUnit::kMonth, 3},   {TimeUnit::kMonth, 6},   {TimeUnit::kYear, 1},    {TimeUnit::kYear, 2},
    {TimeUnit::kYear, 5},    {TimeUnit::kYear, 10},   {TimeUnit::kYear, 20},   {TimeUnit::kYear, 50}};

bool OnBoundary(const Calendar::Fields& f, LabelStep at) {
  const auto step = static_cast<unsigned>(at.step);
  const unsigned finer[] = {f.second, f.minute, f.hour, f.day - 1, f.month - 1};
  for (int k = 0; k < static_cast<int>(at.unit); ++k) {
    if (finer[k] != 0) return false;
  }
  switch (at.unit) {
    case TimeUnit::kDay: return f.day % step == 1 % step && (step == 1 || f.day + step <= 32);
    case TimeUnit::kYear: return f.year % at.step == 0;
    default: return finer[static_cast<int>(at.unit)] % step == 0;
  }
}

// Labels on the finest round boundaries of which at most kMaxXLabels fall
// on the axis; the label of a boundary shows its date down to its unit
// (an hour down to its minute when the mask has minutes: "14:00").
void TimeLabels(ChartAxis& axis, TextView mask, const std::vector<MaskPiece>& pieces, int fields) {
  const size_t slots = axis.bars.size();
  std::vector<Calendar::Fields> starts(slots);
  for (size_t s = 0; s < slots; ++s) {
    starts[s] = Calendar::FieldsFromSeconds(UnitStart(axis.firstSlot + static_cast<int64_t>(s), axis.unit));
  }
  for (const LabelStep& step : kLabelSteps) {
    if (step.unit < axis.unit) continue;
    std::vector<size_t> at;
    for (size_t s = 0; s < slots; ++s) {
      if (OnBoundary(starts[s], step)) at.push_back(s);
    }
    if (at.size() > static_cast<size_t>(kMaxXLabels)) continue;
    if (at.empty()) at.push_back(0);
    TimeUnit shown = step.unit;
    if (shown == TimeUnit::kHour && fields >= 5) shown = TimeUnit::kMinute;
    const Text labelMask = MaskThrough(mask, pieces, shown);
    for (size_t s : at) {
      axis.labels.emplace_back(
          s, RenderDate(labelMask, UnitStart(axis.firstSlot + static_cast<int64_t>(s), axis.unit)));
    }
    return;
  }
}

// The time axis of `counts`, or false when the mask is no calendar or no
// text reads as a date. Texts that do not read as a date stay off the axis
// and the subtitle says so.
bool TimeAxis(const CountsView& counts, TextView mask, ChartAxis& axis) {
  const std::vector<MaskPiece> pieces = MaskPieces(mask);
  const int fields = CalendarFields(pieces);
  if (fields == 0) return false;
  std::vector<std::optional<int64_t>> dates(counts.size());
  int64_t earliest = Dates::Last, latest = Dates::First, offFiles = 0;
  size_t offTexts = 0, firstOff = 0;
  for (size_t i = 0; i < counts.size(); ++i) {
    dates[i] = ReadPieces(pieces, counts.TextAt(i));
    if (!dates[i]) {
      if (offTexts++ == 0) firstOff = i;
      offFiles += counts.CountAt(i);
      continue;
    }
    earliest = std::min(earliest, *dates[i]);
    latest = std::max(latest, *dates[i]);
  }
  if (offTexts == counts.size()) return false;
  axis.time = true;
  axis.unit = UnitOfFields(fields);
  while (UnitNumber(latest, axis.unit) - UnitNumber(earliest, axis.unit) >= kChartMaxSlots &&
         axis.unit != TimeUnit::kYear)
    axis.unit = static_cast<TimeUnit>(static_cast<int>(axis.unit) + 1);
  axis.firstSlot = UnitNumber(earliest, axis.unit);
  axis.bars.resize(static_cast<size_t>(UnitNumber(latest, axis.unit) - axis.firstSlot + 1));
  for (size_t i = 0; i < counts.size(); ++i) {
    if (!dates[i]) continue;
    ChartAxis::Bar& bar = axis.bars[static_cast<size_t>(UnitNumber(*dates[i], axis.unit) - axis.firstSlot)];
    if (bar.texts == 0 || *dates[i] < *dates[bar.first]) bar.first = i;
    if (bar.texts == 0 || *dates[i] > *dates[bar.last]) bar.last = i;
    ++bar.texts;
    bar.count += counts.CountAt(i);
  }
  axis.slotMask = MaskThrough(mask, pieces, axis.unit);
  axis.offTexts = offTexts;
  axis.offFiles = offFiles;
  axis.firstOff = firstOff;
  TimeLabels(axis, mask, pieces, fields);
  return true;
}

// One bar per text, or per bin of neighbouring texts past kChartMaxBars;
// labels every so many bars from the first, as many as fit.
ChartAxis TextAxis(const CountsView& counts) {
  ChartAxis axis;
  const size_t bin = ChartBinSize(counts.size());
  axis.bars.reserve((counts.size() + bin - 1) / bin);
  for (size_t i = 0; i < counts.size(); ++i) {
    if (i % bin == 0) axis.bars.push_back(ChartAxis::Bar{i, i, 0, 0});
    axis.bars.back().last = i;
    ++axis.bars.back().texts;
    axis.bars.back().count += counts.CountAt(i);
  }
  axis.binSize = bin;
  const size_t every = (axis.bars.size() + kMaxXLabels - 1) / kMaxXLabels;
  for (size_t b = 0; b < axis.bars.size(); b += every)
    axis.labels.emplace_back(b, counts.TextAt(axis.bars[b].first));
  return axis;
}

}  // namespace

size_t ChartBinSize(size_t texts) {
  return texts <= kChartMaxBars ? 1 : (texts + kChartMaxBars - 1) / kChartMaxBars;
}

ChartAxis MakeChartAxis(const CountsView& counts, TextView renderMask) {
  ChartAxis axis;
  if (!TimeAxis(counts, renderMask, axis)) axis = TextAxis(counts);
  return axis;
}

Text ChartAxis::SlotLabel(size_t bar) const {
  return RenderDate(slotMask, UnitStart(firstSlot + static_cast<int64_t>(bar), unit));
}

const char* UnitWord(TimeUnit unit) {
  static const char* const kWords[] = {"second", "minute", "hour", "day", "month", "year"};
  return kWords[static_cast<int>(unit)];
}
