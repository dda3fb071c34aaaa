// Named constants shared by the modules: option bits, sort words, argument
// kinds, result codes, sentinels and the program's message texts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/Calendar.h"

namespace ScanDir {

// Flags of ScanDir::Scan (other bits are ignored).
constexpr int64_t ReturnFileCount = 1;    // the result is the number of file records made
constexpr int64_t FoldersOnly = 2;        // folder records only, no file is listed
constexpr int64_t SortFolders = 4;        // sort the whole result list by FolderSort
constexpr int64_t SortFiles = 8;          // sort each folder's files by FileSort
constexpr int64_t WithDepth = 16;         // fill Depth
constexpr int64_t WithDates = 32;         // fill Created, Modified and Accessed
constexpr int64_t WithAttributes = 64;    // fill Attributes
constexpr int64_t SkipFolderLinks = 128;  // a walk neither enters nor records links to folders
// A link to a file is dated by its file (a dangling one by itself).
constexpr int64_t DateLinksByTarget = 256;
// Fill Taken: when a picture or video file was taken.
constexpr int64_t WithTaken = 512;

// Sort words (other bits are ignored).
constexpr int64_t SortAscending = 1;  // wins over SortDescending
constexpr int64_t SortDescending = 2;
constexpr int64_t SortNoCase = 4;  // text keys ignore A-Z case
constexpr int64_t SortByPath = 8;
constexpr int64_t SortByDepth = 16;
constexpr int64_t SortByCreated = 32;
constexpr int64_t SortByModified = 64;
constexpr int64_t SortByAccessed = 128;
constexpr int64_t SortBySize = 256;       // files only
constexpr int64_t SortByFileCount = 512;  // folders only

// `Levels` value that walks without limit.
constexpr int64_t AllLevels = -1;

}  // namespace ScanDir

namespace LPS {

constexpr int64_t FlagLongForm = 1;   // put the path into long form first
constexpr int64_t FlagExpandEnv = 2;  // expand %NAME% references first

// Results of LPS::ProbePath besides a file size (0 or more).
constexpr int64_t NotFound = -1;
constexpr int64_t IsAFolder = -2;

// Paths this long or longer are looked up through their parent's listing.
constexpr size_t LongPathThreshold = 260;

}  // namespace LPS

namespace Args {

// Kinds of a stored parameter.
enum Kind : int8_t {
  Unnamed = 0,         // a value without switch prefix
  NamedWithValue = 1,  // "/name=value" or "--name=value"
  NamedFlag = 2,       // "/name" or "--name"
};

// Result codes of Args::Parse, judged by Args::Report.
constexpr int ResultOk = 1;
constexpr int ResultRecoverable = 0;
constexpr int ErrNoArguments = -1;
constexpr int ErrRequiredMissing = -2;
constexpr int ErrMalformedQuotes = -3;
// Command-line faults the driver finds in switch values (Report is given the
// message, so the box shows only "[Args::] " and that message).
constexpr int ErrBadDepth = -4;     // depth is neither a whole number from 0 up nor "all"
constexpr int ErrNoOutFolder = -5;  // the folder of out does not exist
constexpr int ErrBadSwitch = -6;    // a switch the program does not know, or a date value it does not

}  // namespace Args

namespace Dates {

// The first and the last valid date value: 1601-01-01 00:00:00 and
// 9999-12-31 23:59:59.
constexpr int64_t First = Calendar::kFirstSecond;
constexpr int64_t Last = Calendar::kLastSecond;
// No date: a time outside First .. Last, a time stamp the platform cannot
// convert or could not read. Every field renders as zeros; no real second
// has this value.
constexpr int64_t None = INT64_MIN;

}  // namespace Dates

// Exit statuses of a normal run.
constexpr int64_t ExitSuccess = 0;
constexpr int64_t ExitReportFailed = 1;
constexpr int64_t ExitFolderUnread = 1;  // a subfolder of a walk could not be listed
