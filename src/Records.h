// The scanner's records: one FolderRecord per admitted folder, holding the
// FileRecords of the files directly inside it. Dates are date values (see
// Process.h); fields the scan was not asked to fill stay 0.
#pragma once

#include <cstdint>
#include <vector>

#include "Text.h"

struct FileRecord {
  Text Path;               // containing folder's Path + the entry's name
  int64_t Size = 0;        // bytes; always filled
  int64_t Depth = 0;       // separators in Path (WithDepth)
  int64_t Created = 0;     // (WithDates)
  int64_t Modified = 0;    // (WithDates)
  int64_t Accessed = 0;    // (WithDates)
  int64_t Attributes = 0;  // the entry's attribute word (WithAttributes)
};

struct FolderRecord {
  Text Path;               // always ends in one separator
  int64_t FileCount = 0;   // records moved into Files
  int64_t Depth = 0;       // separators in Path (WithDepth)
  int64_t Created = 0;     // (WithDates)
  int64_t Modified = 0;    // (WithDates)
  int64_t Accessed = 0;    // (WithDates)
  int64_t Attributes = 0;  // attribute word, -1 for an unreadable root (WithAttributes)
  std::vector<FileRecord> Files;
};

using FileList = std::vector<FileRecord>;
using FolderList = std::vector<FolderRecord>;
