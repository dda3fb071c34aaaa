// The report of a folder: its entries written out in one of the formats,
// to a file or handed on.
//
//   txt   "text count" lines sorted by text, in the narrow code page (the
//         report as it always was); CR LF in a file, LF on standard output
//   tsv   a header "date<TAB>files<TAB>bytes", then a line per entry, LF; a
//         tab, a line break or a backslash in a text is written \t, \n, \r, \\ (two characters each)
//   csv   RFC 4180: a header "date,files,bytes", a field holding a comma, a
//         quote or a line break quoted ("" for a quote), CR LF
//   json  one object: the folders counted, the mask, the date kind, the
//         entries (date, files, bytes) in report order and the totals
// tsv, csv and json are UTF-8 whatever the code page; a byte of a name that
// is not UTF-8 is U+FFFD in tsv and csv, and the escape \udcXX in json
// (the lone surrogate that carries the byte 0xXX).
#pragma once

#include <string>
#include <vector>

#include "base/Outcome.h"
#include "base/Text.h"
#include "count/Entries.h"
#include "count/ValueCounts.h"
#include "dates/DateKind.h"
#include "io/ReportFile.h"

enum class ReportFormat { kTxt, kTsv, kCsv, kJson };

// The format named by `word` (txt, tsv, csv, json; any letter case); false
// for anything else.
bool ParseReportFormat(TextView word, ReportFormat& format);

// The file name extension of the format, without its dot: "txt", "json".
TextView FormatExtension(ReportFormat format);

// How a report is written, and what its json says besides the entries.
struct ReportStyle {
  ReportFormat format = ReportFormat::kTxt;
  TextView mask;  // the rendering mask (with "%" tokens)
  EntryOrder order = EntryOrder::kText;
  bool toStandardOutput = false;       // txt lines end in LF, not CR LF
  std::vector<Text> folders;           // the folders whose counts it holds
  Text typedMask;                      // the mask as the user's switch gave it, for json
  DateKind kind = DateKind::kCreated;  // for json
};

// Hands the bytes of the report of the settled `counts` to `out`, a few
// lines at a time (whole lines, so no character is split).
void RenderReport(const ValueCounts& counts, const ReportStyle& style, const ByteSink& out);

// The same bytes all at once.
std::string ReportBytes(const ValueCounts& counts, const ReportStyle& style);

// Settles `counts` and writes the report to "<basePath>.<extension>" as
// WriteFileReplacing does (a temporary file moved over the name, so a
// report that cannot be written leaves an earlier file as it was).
Outcome<WriteStatus> WriteReport(const Text& basePath, ValueCounts& counts, const ReportStyle& style);

// `text` as a JSON string, quotes included.
std::string JsonString(TextView text);
