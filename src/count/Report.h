// The report: the lines of the counts, "text count", written to a file or
// handed on.
#pragma once

#include <string>

#include "base/Outcome.h"
#include "base/Text.h"
#include "count/DateCounts.h"
#include "io/ReportFile.h"

// The report step: sorts `counts` and writes "<reportName>.txt" in the
// current folder, one line "text count" with CR LF per entry, in the narrow
// code page. The report is written to a temporary file beside it and then
// moved over the name, so a report that cannot be written leaves an earlier
// file untouched (unless it had to be written in place).
Outcome<WriteStatus> WriteReport(const Text& reportName, DateCountList& counts);

// Hands the bytes of the report for `counts` (which must be sorted) to
// `out` a few lines at a time, its lines ended by `lineEnd` (the report
// file's CR LF; standard output takes LF).
void RenderReport(const DateCountList& counts, TextView lineEnd, const ByteSink& out);

// The same bytes all at once, with CR LF.
std::string ReportBytes(const DateCountList& counts);
