#include "chart/Chart.h"

#include <algorithm>

#include "base/Constants.h"
#include "chart/ChartAxis.h"
#include "io/ReportFile.h"

namespace {

// The picture, in pixels. Coordinates are computed in thousandths of a
// pixel as integers and written by Milli, so no floating-point formatting
// can make two builds differ.
constexpr int64_t kWidth = 1280, kHeight = 600;
constexpr int64_t kPlotLeft = 90, kPlotTop = 80, kPlotWidth = 1130, kPlotHeight = 450;
constexpr int64_t kBaseline = kPlotTop + kPlotHeight;
constexpr int64_t kMaxGridSteps = 5;  // gridlines above 0
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
    case DateKind::kTaken: return "taken";
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

namespace {

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

// What the subtitle says about the axis: its unit and the texts off a time
// axis, or how many texts share a bar.
std::string AxisDetail(const CountsView& counts, const ChartAxis& axis) {
  if (!axis.time) {
    return axis.binSize > 1
               ? std::string(kDot) + Decimal(static_cast<int64_t>(axis.binSize)) + " texts per bar"
               : std::string();
  }
  std::string detail = std::string(kDot) + "by " + UnitWord(axis.unit);
  if (axis.offTexts == 0) return detail;
  detail += std::string(kDot) + Files(axis.offFiles) + " off the axis (" +
            XmlText(Shortened(counts.TextAt(axis.firstOff), kMaxLabelText));
  if (axis.offTexts > 1) {
    detail += " and " + Decimal(static_cast<int64_t>(axis.offTexts - 1)) +
              (axis.offTexts == 2 ? " more text" : " more texts");
  }
  return detail + ")";
}

void Head(std::string& svg, const CountsView& counts, const ChartFacts& facts, const ChartAxis& axis) {
  int64_t total = 0;
  for (size_t i = 0; i < counts.size(); ++i) total += counts.CountAt(i);
  const std::string heading =
      "Files by " + KindWord(facts.kind) + " date: " + XmlText(Shortened(facts.folder, kMaxFolderText, true));
  std::string detail = "mask " + XmlText(Shortened(facts.mask, kMaxBarText)) + kDot + Files(total) + kDot +
                       Decimal(static_cast<int64_t>(counts.size())) +
                       (counts.size() == 1 ? " date text" : " date texts") + AxisDetail(counts, axis);
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
void BarTitle(std::string& svg, const CountsView& counts, const ChartAxis& axis, size_t b) {
  const ChartAxis::Bar& bar = axis.bars[b];
  svg += "<title>";
  if (bar.texts == 1) {
    svg += XmlText(Shortened(counts.TextAt(bar.first), kMaxBarText));
  } else if (axis.time) {
    svg += XmlText(Shortened(axis.SlotLabel(b), kMaxBarText)) + " (" +
           Decimal(static_cast<int64_t>(bar.texts)) + " texts)";
  } else {
    svg += XmlText(Shortened(counts.TextAt(bar.first), kMaxBarText)) + " to " +
           XmlText(Shortened(counts.TextAt(bar.last), kMaxBarText)) + " (" +
           Decimal(static_cast<int64_t>(bar.texts)) + " texts)";
  }
  svg += ": " + Files(bar.count) + "</title>";
}

// The bars; an empty slot of a time axis gets none.
void BarRects(std::string& svg, const CountsView& counts, const ChartAxis& axis, const Scale& scale) {
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

void XLabels(std::string& svg, const ChartAxis& axis, const Scale& scale) {
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

std::string ChartSvg(const CountsView& counts, const ChartFacts& facts) {
  const ChartAxis axis = MakeChartAxis(counts, facts.renderMask);
  int64_t highest = 1;
  for (const ChartAxis::Bar& bar : axis.bars) highest = std::max(highest, bar.count);
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

Outcome<WriteStatus> WriteChart(const Text& fileName, const DateCountList& counts, const ChartFacts& facts) {
  const std::string svg = ChartSvg(counts, facts);
  return WriteFileReplacing(fileName, [&svg](const ByteSink& out) { out(svg); });
}
