#include "count/Report.h"

#include "base/Text.h"
#include "platform/CodePage.h"

namespace {

// Lines gathered before they are handed on.
constexpr size_t kChunk = 4096;

std::string Decimal(uint64_t value) {
  char digits[24];
  size_t at = sizeof digits;
  do {
    digits[--at] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::string(digits + at, sizeof digits - at);
}

void Txt(const ValueCounts& counts, const ReportStyle& style, const ByteSink& out) {
  const TextView lineEnd = style.toStandardOutput ? u"\n" : u"\r\n";
  Text lines;
  ForEachEntry(counts, style.mask, style.order, [&](const DateEntry& entry) {
    lines += entry.text;
    lines += u' ';
    lines += DecimalText(static_cast<int64_t>(entry.files));
    lines += lineEnd;
    if (lines.size() >= kChunk / 2) {
      out(Platform::ToNarrow(lines));
      lines.clear();
    }
  });
  if (!lines.empty()) out(Platform::ToNarrow(lines));
}

std::string TsvField(TextView text) {
  Text escaped;
  for (char16_t unit : text) {
    switch (unit) {
      case u'\t': escaped += u"\\t"; break;
      case u'\n': escaped += u"\\n"; break;
      case u'\r': escaped += u"\\r"; break;
      case u'\\': escaped += u"\\\\"; break;
      default: escaped += unit;
    }
  }
  return ValidUtf8FromText(escaped);
}

std::string CsvField(TextView text) {
  std::string utf8 = ValidUtf8FromText(text);
  if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
  std::string quoted = "\"";
  for (char c : utf8) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// A table of the entries: a header, then a line per entry.
template <class Field>
void Table(const ValueCounts& counts, const ReportStyle& style, char separator, const char* lineEnd,
           Field field, const ByteSink& out) {
  const std::string sep(1, separator);
  std::string lines = "date" + sep + "files" + sep + "bytes" + lineEnd;
  ForEachEntry(counts, style.mask, style.order, [&](const DateEntry& entry) {
    lines += field(entry.text) + sep + Decimal(entry.files) + sep + Decimal(entry.bytes) + lineEnd;
    if (lines.size() >= kChunk) {
      out(lines);
      lines.clear();
    }
  });
  if (!lines.empty()) out(lines);
}

const char* KindName(DateKind kind) {
  switch (kind) {
    case DateKind::kModified: return "modified";
    case DateKind::kAccessed: return "accessed";
    case DateKind::kTaken: return "taken";
    case DateKind::kCreated: break;
  }
  return "created";
}

void Json(const ValueCounts& counts, const ReportStyle& style, const ByteSink& out) {
  std::string text = "{\"folders\": [";
  for (size_t i = 0; i < style.folders.size(); ++i)
    text += (i > 0 ? ", " : "") + JsonString(style.folders[i]);
  text += "], \"mask\": " + JsonString(style.typedMask) + ", \"date\": \"" + KindName(style.kind) +
          "\", \"entries\": [";
  uint64_t files = 0, bytes = 0, dates = 0;
  ForEachEntry(counts, style.mask, style.order, [&](const DateEntry& entry) {
    text += (dates++ > 0 ? ",\n  " : "\n  ");
    text += "{\"date\": " + JsonString(entry.text) + ", \"files\": " + Decimal(entry.files) +
            ", \"bytes\": " + Decimal(entry.bytes) + "}";
    files += entry.files;
    bytes += entry.bytes;
    if (text.size() >= kChunk) {
      out(text);
      text.clear();
    }
  });
  text += dates > 0 ? "\n], " : "], ";
  text += "\"totals\": {\"files\": " + Decimal(files) + ", \"bytes\": " + Decimal(bytes) +
          ", \"dates\": " + Decimal(dates) + "}}\n";
  out(text);
}

void AppendEscape(std::string& out, unsigned unit) {
  static const char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

}  // namespace

bool ParseReportFormat(TextView word, ReportFormat& format) {
  const Text lower = AsciiLower(word);
  for (const ReportFormat each :
       {ReportFormat::kTxt, ReportFormat::kTsv, ReportFormat::kCsv, ReportFormat::kJson}) {
    if (lower == FormatExtension(each)) {
      format = each;
      return true;
    }
  }
  return false;
}

TextView FormatExtension(ReportFormat format) {
  switch (format) {
    case ReportFormat::kTsv: return u"tsv";
    case ReportFormat::kCsv: return u"csv";
    case ReportFormat::kJson: return u"json";
    case ReportFormat::kTxt: break;
  }
  return u"txt";
}

std::string JsonString(TextView text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF, low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      out += Utf8FromText(text.substr(i, 2));
      ++i;
    } else if (high || low) {
      AppendEscape(out, unit);  // a lone surrogate (a byte of a name that is not UTF-8) stays itself
    } else if (unit == u'"' || unit == u'\\') {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit < 0x20) {
      switch (unit) {
        case u'\n': out += "\\n"; break;
        case u'\r': out += "\\r"; break;
        case u'\t': out += "\\t"; break;
        default: AppendEscape(out, unit);
      }
    } else {
      out += Utf8FromText(text.substr(i, 1));
    }
  }
  return out + "\"";
}

void RenderReport(const ValueCounts& counts, const ReportStyle& style, const ByteSink& out) {
  switch (style.format) {
    case ReportFormat::kTxt: return Txt(counts, style, out);
    case ReportFormat::kTsv: return Table(counts, style, '\t', "\n", TsvField, out);
    case ReportFormat::kCsv: return Table(counts, style, ',', "\r\n", CsvField, out);
    case ReportFormat::kJson: return Json(counts, style, out);
  }
}

std::string ReportBytes(const ValueCounts& counts, const ReportStyle& style) {
  std::string bytes;
  RenderReport(counts, style, [&bytes](std::string_view more) { bytes += more; });
  return bytes;
}

Outcome<WriteStatus> WriteReport(const Text& basePath, ValueCounts& counts, const ReportStyle& style) {
  counts.Settle();
  return WriteFileReplacing(basePath + u"." + Text(FormatExtension(style.format)),
                            [&](const ByteSink& out) { RenderReport(counts, style, out); });
}
