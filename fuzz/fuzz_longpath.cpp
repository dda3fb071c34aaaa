// Long paths both ways, with the Windows rules (through the stand-in
// platform layer of WindowsRules.cpp). Input: the path as the whole input.
#include "FuzzSupport.h"
#include "WindowsRules.h"
#include "base/Constants.h"
#include "base/Paths.h"
#include "cli/Envs.h"
#include "scan/LPS.h"

namespace {

const Text kPrefix = u"\\\\?\\";

void CheckProbe(const Text& path) {
  for (int64_t flags : {int64_t{0}, LPS::FlagLongForm, LPS::FlagExpandEnv | LPS::FlagLongForm}) {
    Platform::SearchedPatterns.clear();
    const int64_t result = LPS::ProbePath(path, flags);
    FUZZ_CHECK(result == LPS::NotFound || result == LPS::IsAFolder);  // the stand-in holds no file
    // A path of 260 characters or more is only ever looked up in its
    // parent's listing, through its prefixed form.
    const Text prepared(Paths::Trimmed((flags & LPS::FlagLongForm) ? LPS::ToLongPath(path, 0) : path));
    if (prepared.size() >= LPS::LongPathThreshold) {
      for (const Text& pattern : Platform::SearchedPatterns)
        FUZZ_CHECK(pattern.size() <= prepared.size() + 4);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Text path = Fuzz::ToText(std::string_view(reinterpret_cast<const char*>(data), size));
  const Text longForm = LPS::ToLongPath(path, 0);
  FUZZ_CHECK(LPS::ToLongPath(longForm, 0) == longForm);  // idempotent
  FUZZ_CHECK(longForm == path || longForm.starts_with(kPrefix));
  FUZZ_CHECK(LPS::ToLongPath(path, LPS::FlagExpandEnv) == longForm);  // the table is empty
  if (!path.starts_with(kPrefix)) {
    FUZZ_CHECK(LPS::FromLongPath(longForm) == path);  // round trip
    FUZZ_CHECK(LPS::FromLongPath(path) == path);
  }
  const Text shortForm = LPS::FromLongPath(path);
  FUZZ_CHECK(shortForm.size() <= path.size());
  FUZZ_CHECK(LPS::FromLongPath(LPS::ToLongPath(shortForm, 0)) == shortForm || shortForm.starts_with(kPrefix));
  CheckProbe(path);
  return 0;
}
