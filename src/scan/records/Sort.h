// Sorting of scan results by a sort word (the Sort* bits of base/Constants.h).
#pragma once

#include <cstdint>

#include "scan/records/Records.h"

namespace ScanDir {

// Sorts by a sort word (stable: equal keys keep their order either way).
void SortRecords(FileList& files, int64_t sortWord);
void SortRecords(FolderList& folders, int64_t sortWord);

}  // namespace ScanDir
