#include "count/Counting.h"

#include <algorithm>

#include "dates/Mask.h"
#include "io/ReportFile.h"
#include "platform/Platform.h"

DateCountList DateCounts;

DateKind DateKindFromText(TextView kind) {
  if (kind == u"m") return DateKind::kModified;
  if (kind == u"a") return DateKind::kAccessed;
  if (kind == u"t") return DateKind::kTaken;
  return DateKind::kCreated;
}

namespace {

int64_t DateOf(const FileRecord& file, DateKind kind) {
  switch (kind) {
    case DateKind::kModified: return file.Modified;
    case DateKind::kAccessed: return file.Accessed;
    case DateKind::kTaken: return file.Taken;
    case DateKind::kCreated: break;
  }
  return file.Created;
}

Platform::FileTime StampOf(const Platform::DirEntry& entry, DateKind kind) {
  switch (kind) {
    case DateKind::kModified: return entry.lastWrite;
    case DateKind::kAccessed: return entry.lastAccess;
    case DateKind::kTaken:
    case DateKind::kCreated: break;
  }
  return entry.created;
}

}  // namespace

void DateCounter::File(const Text&, const Platform::DirEntry& entry) {
  bool recorded = true;
  const int64_t date = kind_ == DateKind::kTaken ? ScanDir::DateOfTaken(entry, &recorded)
                                                 : ScanDir::DateOfStamp(StampOf(entry, kind_));
  untaken_ += recorded ? 0 : 1;
  RenderDateTo(mask_, date, text_);
  counts_.Add(text_);
}

void CountDates(const FolderList& folders, TextView mask, DateKind kind, DateCountList& counts) {
  Text text;
  for (const FolderRecord& folder : folders) {
    for (const FileRecord& file : folder.Files) {
      RenderDateTo(mask, DateOf(file, kind), text);
      counts.Add(text);
    }
  }
}

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

WriteOutcome WriteReport(const Text& reportName, DateCountList& counts) {
  counts.Sort();
  return WriteFileReplacing(reportName + u".txt",
                            [&counts](const ByteSink& out) { RenderReport(counts, u"\r\n", out); });
}
