#include "count/Report.h"

#include "base/Text.h"
#include "platform/CodePage.h"

// Hands the report bytes of `counts` to `out`, converting to the narrow code
// page a few lines at a time (whole lines, so no character is split).
void RenderReport(const DateCountList& counts, TextView lineEnd, const ByteSink& out) {
  Text lines, text;
  for (size_t i = 0; i < counts.Size(); ++i) {
    counts.TextAt(i, text);
    lines += text;
    lines += u' ';
    lines += DecimalText(counts.CountAt(i));
    lines += lineEnd;
    if (lines.size() >= 2048) {
      out(Platform::ToNarrow(lines));
      lines.clear();
    }
  }
  if (!lines.empty()) out(Platform::ToNarrow(lines));
}

std::string ReportBytes(const DateCountList& counts) {
  std::string bytes;
  RenderReport(counts, u"\r\n", [&bytes](std::string_view more) { bytes += more; });
  return bytes;
}

Outcome<WriteStatus> WriteReport(const Text& reportName, DateCountList& counts) {
  counts.Sort();
  return WriteFileReplacing(reportName + u".txt",
                            [&counts](const ByteSink& out) { RenderReport(counts, u"\r\n", out); });
}
