#include "Chart.h"

#include <algorithm>

#include "Calendar.h"
#include "Constants.h"
#include "Process.h"
#include "ReportFile.h"

namespace {

// The picture, in pixels. Coordinates are computed in thousandths of a
// pixel as integers and written by Milli, so no floating-point formatting
// can make two builds differ.
constexpr int64_t kWidth = 1280, kHeight = 600;
constexpr int64_t kPlotLeft = 90, kPlotTop = 80, kPlotWidth = 1130, kPlotHeight = 450;
constexpr int64_t kBaseline = kPlotTop + kPlotHeight;
constexpr int64_t kMaxGridSteps = 5;  // gridlines above 0
constexpr int64_t kMaxXLabels = 6;
constexpr int64_t kMaxBarWidth = 60;
constexpr size_t kMaxBarText = 48;    // code units of a text in a bar's title
constexpr size_t kMaxLabelText = 20;  // ... in an x label
constexpr size_t kMaxFolderText = 80;

// a * b / c for 0 <= a <= c and b a length in thousandths: split so that
// no product grows beyond c * b (safe for counts up to 8e12 files).
int64_t MulDiv(int64_t a, int64_t b, int64_t c) { return a / c * b + a % c * b / c; }

// Digits of a count (no locale is asked, so no grouping can creep in).
std::string Decimal(int64_t value) {
  std::string digits;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  return value < 0 ? "-" + digits : digits;
}

const char* const kDot = " \xC2\xB7 ";  // " · " in UTF-8, whatever the compiler's character set

// A length in thousandths written as a decimal: 12345 -> "12.345", 500 -> "0.5".
std::string Milli(int64_t milli) {
  std::string text = milli < 0 ? "-" : "";
  const int64_t magnitude = milli < 0 ? -milli : milli;
  text += Decimal(magnitude / 1000);
  int64_t fraction = magnitude % 1000;
  if (fraction == 0) return text;
  std::string digits = {char('0' + fraction / 100), char('0' + fraction / 10 % 10),
                        char('0' + fraction % 10)};
  while (digits.back() == '0') digits.pop_back();
  return text + "." + digits;
}

// Whether XML 1.0 admits the unit in a document (surrogates are left to
// the UTF-8 conversion, which pairs them or makes them U+FFFD).
bool XmlAllows(char16_t unit) {
  if (unit < 0x20) return unit == u'\t' || unit == u'\n' || unit == u'\r';
  return unit != 0xFFFE && unit != 0xFFFF;
}

// At most `limit` code units of `text`, never ending inside a surrogate
// pair; a shortened text ends in "…" (`keepEnd`: the start is cut instead).
Text Shortened(TextView text, size_t limit, bool keepEnd = false) {
  if (text.size() <= limit) return Text(text);
  if (keepEnd) {
    size_t cut = text.size() - limit;
    if (text[cut] >= 0xDC00 && text[cut] <= 0xDFFF && text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF)
      ++cut;
    return u"\u2026" + Text(text.substr(cut));
  }
  size_t cut = limit;
  if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF && text[cut] >= 0xDC00 && text[cut] <= 0xDFFF) --cut;
  return Text(text.substr(0, cut)) + u"\u2026";
}

std::string Files(int64_t count) { return Decimal(count) + (count == 1 ? " file" : " files"); }

std::string KindWord(DateKind kind) {
  switch (kind) {
    case DateKind::kModified: return "last-written";
    case DateKind::kAccessed: return "last-accessed";
    case DateKind::kCreated: break;
  }
  return "created";
}

}  // namespace

std::string XmlText(TextView text) {
  Text escaped;
  escaped.reserve(text.size());
  for (char16_t unit : text) {
    switch (unit) {
      case u'&': escaped += u"&amp;"; break;
      case u'<': escaped += u"&lt;"; break;
      case u'>': escaped += u"&gt;"; break;
      case u'"': escaped += u"&quot;"; break;
      case u'\'': escaped += u"&apos;"; break;
      default: escaped += XmlAllows(unit) ? unit : u'\uFFFD';
    }
  }
  // A lone surrogate, such as a byte of a name that is not UTF-8, shows U+FFFD.
  return ValidUtf8FromText(escaped);
}

size_t ChartBinSize(size_t texts) {
  return texts <= kChartMaxBars ? 1 : (texts + kChartMaxBars - 1) / kChartMaxBars;
}

namespace {

// One piece of a rendering mask, read as RenderDate reads it: a token
// (`field` 0 for the year, 1 the month, ... 5 the second) or one literal
// unit. `end` is where the piece ends in the mask.
struct Piece {
  int field = -1;  // -1: a literal
  size_t digits = 0;
  bool shortYear = false;
  char16_t literal = 0;
  size_t end = 0;
};

bool TokenAt(TextView mask, size_t pos, std::u16string_view token) {
  if (mask.size() - pos < token.size()) return false;
  for (size_t i = 0; i < token.size(); ++i) {
    if (AsciiLowerUnit(mask[pos + i]) != token[i]) return false;
  }
  return true;
}

std::vector<Piece> Pieces(TextView mask) {
  struct Token {
    std::u16string_view name;
    int field;
  };
  static constexpr Token kTokens[] = {{u"yyyy", 0}, {u"yy", 0}, {u"mm", 1}, {u"dd", 2},
                                      {u"hh", 3},   {u"ii", 4}, {u"ss", 5}};
  std::vector<Piece> pieces;
  for (size_t i = 0; i < mask.size(); ++i) {
    Piece piece{-1, 0, false, mask[i], i + 1};
    if (mask[i] == u'%' && i + 1 < mask.size()) {
      for (const Token& token : kTokens) {
        if (!TokenAt(mask, i + 1, token.name)) continue;
        i += token.name.size();
        piece = Piece{token.field, token.name.size() == 4 ? 4u : 2u, token.name == u"yy", 0, i + 1};
        break;
      }
    }
    pieces.push_back(piece);
  }
  return pieces;
}

// The number of fields of a calendar mask (1: the year only, ... 6: down to
// the second), 0 for any other mask.
int CalendarFields(const std::vector<Piece>& pieces) {
  int fields = 0;
  bool shortYear = false;
  for (const Piece& piece : pieces) {
    if (piece.field < 0) continue;
    if (piece.field != fields) return 0;
    shortYear = shortYear || piece.shortYear;
    ++fields;
  }
  return fields == 1 && shortYear ? 0 : fields;
}

TimeUnit UnitOfFields(int fields) { return static_cast<TimeUnit>(6 - fields); }

}  // namespace

std::optional<TimeUnit> CalendarUnit(TextView renderMask) {
  const int fields = CalendarFields(Pieces(renderMask));
  if (fields == 0) return std::nullopt;
  return UnitOfFields(fields);
}

namespace {

std::optional<int64_t> ReadPieces(const std::vector<Piece>& pieces, TextView text) {
  int value[6] = {0, 1, 1, 0, 0, 0};
  size_t at = 0;
  for (const Piece& piece : pieces) {
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
  if (date == Dates::OutOfRange) return std::nullopt;
  return date;
}

}  // namespace

std::optional<int64_t> ReadDate(TextView renderMask, TextView text) {
  const std::vector<Piece> pieces = Pieces(renderMask);
  if (CalendarFields(pieces) == 0) return std::nullopt;
  return ReadPieces(pieces, text);
}

namespace {

// One slot of the x axis: the texts [first, last] of the sorted counts (on
// a time axis, the first and the last in time), how many, and their sum.
struct Bar {
  size_t first = 0, last = 0, texts = 0;
  int64_t count = 0;
};

// What the x axis holds: its slots (empty ones included), the slots that
// get a label and the labels, and what the subtitle says about the axis.
struct Axis {
  std::vector<Bar> bars;
  std::vector<std::pair<size_t, Text>> labels;
  std::string detail;
  // A time axis: its unit, the unit number of slot 0, and the mask that
  // renders a slot's start as its label.
  bool time = false;
  TimeUnit unit = TimeUnit::kDay;
  int64_t firstSlot = 0;
  Text slotMask;
};

constexpr int64_t SecondsOf(TimeUnit unit) {
  switch (unit) {
    case TimeUnit::kSecond: return 1;
    case TimeUnit::kMinute: return 60;
    case TimeUnit::kHour: return 3600;
    default: return Calendar::kSecondsPerDay;
  }
}

// The number of the unit that holds `date`, counted from 1970's.
int64_t SlotOf(int64_t date, TimeUnit unit) {
  if (unit < TimeUnit::kMonth) return date / SecondsOf(unit);
  const Calendar::Fields f = Calendar::FieldsFromSeconds(date);
  return unit == TimeUnit::kYear ? f.year - 1970 : (f.year - 1970) * 12 + f.month - 1;
}

// The date value where unit number `slot` starts.
int64_t SlotStart(int64_t slot, TimeUnit unit) {
  if (unit < TimeUnit::kMonth) return slot * SecondsOf(unit);
  if (unit == TimeUnit::kYear) return Calendar::SecondsFromFields(1970 + slot, 1, 1, 0, 0, 0);
  return Calendar::SecondsFromFields(1970 + slot / 12, static_cast<unsigned>(slot % 12 + 1), 1, 0, 0, 0);
}

const char* UnitWord(TimeUnit unit) {
  static const char* const kWords[] = {"second", "minute", "hour", "day", "month", "year"};
  return kWords[static_cast<int>(unit)];
}

// The mask up to the end of the token of `unit` (the whole mask for its
// finest unit, so that literals after the last token stay).
Text MaskThrough(TextView mask, const std::vector<Piece>& pieces, TimeUnit unit) {
  const int field = 5 - static_cast<int>(unit);
  bool finer = false;
  size_t end = 0;
  for (const Piece& piece : pieces) {
    if (piece.field == field) end = piece.end;
    finer = finer || piece.field > field;
  }
  return Text(finer ? mask.substr(0, end) : mask);
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
void TimeLabels(Axis& axis, TextView mask, const std::vector<Piece>& pieces, int fields) {
  const size_t slots = axis.bars.size();
  std::vector<Calendar::Fields> starts(slots);
  for (size_t s = 0; s < slots; ++s) {
    starts[s] = Calendar::FieldsFromSeconds(SlotStart(axis.firstSlot + static_cast<int64_t>(s), axis.unit));
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
          s, RenderDate(labelMask, SlotStart(axis.firstSlot + static_cast<int64_t>(s), axis.unit)));
    }
    return;
  }
}

// The time axis of `counts`, or false when the mask is no calendar or no
// text reads as a date. Texts that do not read as a date stay off the axis
// and the subtitle says so.
bool TimeAxis(const std::vector<DateCount>& counts, TextView mask, Axis& axis) {
  const std::vector<Piece> pieces = Pieces(mask);
  const int fields = CalendarFields(pieces);
  if (fields == 0) return false;
  std::vector<std::optional<int64_t>> dates(counts.size());
  int64_t earliest = Dates::Latest, latest = 0, offFiles = 0;
  size_t offTexts = 0, firstOff = 0;
  for (size_t i = 0; i < counts.size(); ++i) {
    dates[i] = ReadPieces(pieces, counts[i].DateText);
    if (!dates[i]) {
      if (offTexts++ == 0) firstOff = i;
      offFiles += counts[i].Count;
      continue;
    }
    earliest = std::min(earliest, *dates[i]);
    latest = std::max(latest, *dates[i]);
  }
  if (offTexts == counts.size()) return false;
  axis.time = true;
  axis.unit = UnitOfFields(fields);
  while (SlotOf(latest, axis.unit) - SlotOf(earliest, axis.unit) >= kChartMaxSlots &&
         axis.unit != TimeUnit::kYear)
    axis.unit = static_cast<TimeUnit>(static_cast<int>(axis.unit) + 1);
  axis.firstSlot = SlotOf(earliest, axis.unit);
  axis.bars.resize(static_cast<size_t>(SlotOf(latest, axis.unit) - axis.firstSlot + 1));
  for (size_t i = 0; i < counts.size(); ++i) {
    if (!dates[i]) continue;
    Bar& bar = axis.bars[static_cast<size_t>(SlotOf(*dates[i], axis.unit) - axis.firstSlot)];
    if (bar.texts == 0 || *dates[i] < *dates[bar.first]) bar.first = i;
    if (bar.texts == 0 || *dates[i] > *dates[bar.last]) bar.last = i;
    ++bar.texts;
    bar.count += counts[i].Count;
  }
  axis.slotMask = MaskThrough(mask, pieces, axis.unit);
  axis.detail = std::string(kDot) + "by " + UnitWord(axis.unit);
  if (offTexts > 0) {
    axis.detail += std::string(kDot) + Files(offFiles) + " off the axis (" +
                   XmlText(Shortened(counts[firstOff].DateText, kMaxLabelText));
    if (offTexts > 1) {
      axis.detail += " and " + Decimal(static_cast<int64_t>(offTexts - 1)) +
                     (offTexts == 2 ? " more text" : " more texts");
    }
    axis.detail += ")";
  }
  TimeLabels(axis, mask, pieces, fields);
  return true;
}

// One bar per text, or per bin of neighbouring texts past kChartMaxBars;
// labels every so many bars from the first, as many as fit.
Axis TextAxis(const std::vector<DateCount>& counts) {
  Axis axis;
  const size_t bin = ChartBinSize(counts.size());
  axis.bars.reserve((counts.size() + bin - 1) / bin);
  for (size_t i = 0; i < counts.size(); ++i) {
    if (i % bin == 0) axis.bars.push_back(Bar{i, i, 0, 0});
    axis.bars.back().last = i;
    ++axis.bars.back().texts;
    axis.bars.back().count += counts[i].Count;
  }
  if (bin > 1) axis.detail = std::string(kDot) + Decimal(static_cast<int64_t>(bin)) + " texts per bar";
  const size_t every = (axis.bars.size() + kMaxXLabels - 1) / kMaxXLabels;
  for (size_t b = 0; b < axis.bars.size(); b += every)
    axis.labels.emplace_back(b, counts[axis.bars[b].first].DateText);
  return axis;
}

// The gridline step: 1, 2 or 5 times a power of ten, the smallest that
// needs at most kMaxGridSteps steps to reach `highest`.
int64_t GridStep(int64_t highest) {
  for (int64_t power = 1;; power *= 10) {
    for (int64_t factor : {1, 2, 5}) {
      const int64_t step = factor * power;
      if ((highest + step - 1) / step <= kMaxGridSteps) return step;
    }
  }
}

// Where things go: x of a slot's edge and y of a count, in thousandths.
struct Scale {
  size_t bars = 0;
  int64_t top = 1;  // the count at the top of the plot
  int64_t SlotX(size_t bar) const {
    return kPlotLeft * 1000 +
           MulDiv(static_cast<int64_t>(bar), kPlotWidth * 1000, static_cast<int64_t>(bars));
  }
  int64_t Y(int64_t count) const { return kBaseline * 1000 - MulDiv(count, kPlotHeight * 1000, top); }
};

void Head(std::string& svg, const std::vector<DateCount>& counts, const ChartFacts& facts, const Axis& axis) {
  int64_t total = 0;
  for (const DateCount& entry : counts) total += entry.Count;
  const std::string heading =
      "Files by " + KindWord(facts.kind) + " date: " + XmlText(Shortened(facts.folder, kMaxFolderText, true));
  std::string detail = "mask " + XmlText(Shortened(facts.mask, kMaxBarText)) + kDot + Files(total) + kDot +
                       Decimal(static_cast<int64_t>(counts.size())) +
                       (counts.size() == 1 ? " date text" : " date texts") + axis.detail;
  if (facts.foldersBefore > 0) {
    detail += std::string(kDot) + "with the counts of " + Decimal(facts.foldersBefore) +
              (facts.foldersBefore == 1 ? " earlier folder" : " earlier folders");
  }
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + Decimal(kWidth) +
         "\" height=\"" + Decimal(kHeight) + "\" viewBox=\"0 0 " + Decimal(kWidth) + " " + Decimal(kHeight) +
         "\" font-family=\"sans-serif\">\n";
  svg += "<title>" + heading + "</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  svg += "<text x=\"" + Decimal(kPlotLeft) + "\" y=\"32\" font-size=\"18\" font-weight=\"bold\">" + heading +
         "</text>\n";
  svg += "<text x=\"" + Decimal(kPlotLeft) + "\" y=\"56\" font-size=\"13\" fill=\"#444444\">" + detail +
         "</text>\n";
}

void Grid(std::string& svg, const Scale& scale, int64_t step) {
  svg += "<g stroke=\"#d8d8d8\" stroke-width=\"1\">\n";
  for (int64_t value = 0; value <= scale.top; value += step) {
    const std::string y = Milli(scale.Y(value));
    svg += "<line x1=\"" + Decimal(kPlotLeft) + "\" y1=\"" + y + "\" x2=\"" +
           Decimal(kPlotLeft + kPlotWidth) + "\" y2=\"" + y + "\"/>\n";
  }
  svg += "</g>\n<g font-size=\"12\" fill=\"#444444\" text-anchor=\"end\">\n";
  for (int64_t value = 0; value <= scale.top; value += step) {
    svg += "<text x=\"" + Decimal(kPlotLeft - 8) + "\" y=\"" + Milli(scale.Y(value) + 4000) + "\">" +
           Decimal(value) + "</text>\n";
  }
  svg += "</g>\n";
}

// A bar's tooltip: its text, or the slot's date or the range of texts it
// holds, and its count.
void BarTitle(std::string& svg, const std::vector<DateCount>& counts, const Axis& axis, size_t b) {
  const Bar& bar = axis.bars[b];
  svg += "<title>";
  if (bar.texts == 1) {
    svg += XmlText(Shortened(counts[bar.first].DateText, kMaxBarText));
  } else if (axis.time) {
    svg += XmlText(Shortened(
               RenderDate(axis.slotMask, SlotStart(axis.firstSlot + static_cast<int64_t>(b), axis.unit)),
               kMaxBarText)) +
           " (" + Decimal(static_cast<int64_t>(bar.texts)) + " texts)";
  } else {
    svg += XmlText(Shortened(counts[bar.first].DateText, kMaxBarText)) + " to " +
           XmlText(Shortened(counts[bar.last].DateText, kMaxBarText)) + " (" +
           Decimal(static_cast<int64_t>(bar.texts)) + " texts)";
  }
  svg += ": " + Files(bar.count) + "</title>";
}

// The bars; an empty slot of a time axis gets none.
void BarRects(std::string& svg, const std::vector<DateCount>& counts, const Axis& axis, const Scale& scale) {
  // Bars narrower than a few pixels touch; drawn smoothed, the seams between
  // them would show as a paler colour, so they are drawn pixel-sharp.
  const size_t slots = axis.bars.size();
  const bool dense = slots != 0 && kPlotWidth * 1000 / static_cast<int64_t>(slots) < 3000;
  svg += dense ? "<g fill=\"#3b6ea8\" shape-rendering=\"crispEdges\">\n" : "<g fill=\"#3b6ea8\">\n";
  for (size_t b = 0; b < slots; ++b) {
    if (axis.bars[b].texts == 0) continue;
    const int64_t left = scale.SlotX(b), slot = scale.SlotX(b + 1) - left;
    // Bars a few pixels wide get air between them; few bars stay slim.
    const int64_t width = std::min(slot >= 3000 ? slot - slot / 5 : slot, kMaxBarWidth * 1000);
    const int64_t y = scale.Y(axis.bars[b].count);
    svg += "<rect x=\"" + Milli(left + (slot - width) / 2) + "\" y=\"" + Milli(y) + "\" width=\"" +
           Milli(width) + "\" height=\"" + Milli(kBaseline * 1000 - y) + "\">";
    BarTitle(svg, counts, axis, b);
    svg += "</rect>\n";
  }
  svg += "</g>\n";
}

void XLabels(std::string& svg, const Axis& axis, const Scale& scale) {
  svg += "<g font-size=\"12\" fill=\"#444444\" text-anchor=\"middle\">\n";
  for (const auto& [b, label] : axis.labels) {
    const std::string x = Milli((scale.SlotX(b) + scale.SlotX(b + 1)) / 2);
    svg += "<line x1=\"" + x + "\" y1=\"" + Decimal(kBaseline) + "\" x2=\"" + x + "\" y2=\"" +
           Decimal(kBaseline + 6) + "\" stroke=\"#444444\"/>\n";
    svg += "<text x=\"" + x + "\" y=\"" + Decimal(kBaseline + 22) + "\">" +
           XmlText(Shortened(label, kMaxLabelText)) + "</text>\n";
  }
  svg += "</g>\n";
}

}  // namespace

std::string ChartSvg(const std::vector<DateCount>& counts, const ChartFacts& facts) {
  Axis axis;
  if (!TimeAxis(counts, facts.renderMask, axis)) axis = TextAxis(counts);
  int64_t highest = 1;
  for (const Bar& bar : axis.bars) highest = std::max(highest, bar.count);
  const int64_t step = GridStep(highest);
  const Scale scale{axis.bars.size(), (highest + step - 1) / step * step};

  std::string svg;
  svg.reserve(4096 + axis.bars.size() * 160);
  Head(svg, counts, facts, axis);
  Grid(svg, scale, step);
  BarRects(svg, counts, axis, scale);
  XLabels(svg, axis, scale);
  svg += "<line x1=\"" + Decimal(kPlotLeft) + "\" y1=\"" + Decimal(kBaseline) + "\" x2=\"" +
         Decimal(kPlotLeft + kPlotWidth) + "\" y2=\"" + Decimal(kBaseline) + "\" stroke=\"#444444\"/>\n";
  svg += "</svg>\n";
  return svg;
}

WriteOutcome WriteChart(const Text& fileName, const DateCountList& counts, const ChartFacts& facts) {
  const std::string svg = ChartSvg(counts.Entries(), facts);
  return WriteFileReplacing(fileName, [&svg](const ByteSink& out) { out(svg); });
}
