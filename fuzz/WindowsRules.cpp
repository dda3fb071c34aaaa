// A stand-in for the platform layer with the Windows conventions, so that
// the long-path rules, which only apply where "\\?\" prefixes exist, are
// fuzzed on Linux. The file system is empty: every query finds nothing, and
// the searches it is asked for are recorded.
#include "WindowsRules.h"

#include "base/Conventions.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Search.h"
#include "platform/TextCase.h"

namespace Platform {

extern const char16_t kSeparator = u'\\';
extern const char16_t* const kNameSeparators = u"\\/";
extern const char16_t* const kSwitchPrefix = u"/";
extern const bool kSlashSwitches = true;
extern const bool kLongPathPrefixes = true;
extern const bool kWindowsPaths = true;
extern const bool kWindowsConventions = true;

std::vector<Text> SearchedPatterns;

namespace {

Text MapAscii(TextView text, char16_t from, char16_t to) {
  Text out(text);
  for (char16_t& c : out) {
    if (c >= from && c <= to) c = static_cast<char16_t>(c ^ 0x20);
  }
  return out;
}

}  // namespace

Text ToUpper(TextView text) { return MapAscii(text, u'a', u'z'); }
Text ToLower(TextView text) { return MapAscii(text, u'A', u'Z'); }

bool EnvironmentEntries(std::vector<Text>&) { return false; }

DirSearch::~DirSearch() { Close(); }
Outcome<SearchStatus> DirSearch::Open(const Text& pathAndPattern, unsigned, const TakenTest*) {
  SearchedPatterns.push_back(pathAndPattern);
  return {SearchStatus::kFailed, u"not found"};
}
bool DirSearch::Next(DirEntry&) { return false; }
void DirSearch::Close() {}

bool FileAttributes(const Text&, uint32_t&) { return false; }
Text FullPath(const Text&) { return Text(); }  // unknown: a path without its drive stays as it is
bool StatPath(const Text&, bool&, uint64_t&) { return false; }
uint32_t DriveType(const Text&) { return 1; }

}  // namespace Platform
