// The command line: splitting, the program-name cut, tokenizing and the
// queries on the store. Input: the program's file name on the first line,
// one "name=value" environment entry on the second, the command line as the
// rest.
#include <algorithm>
#include <string>

#include "FuzzSupport.h"
#include "base/Constants.h"
#include "cli/Args.h"
#include "cli/Envs.h"
#include "platform/Process.h"
#include "platform/TextCase.h"

namespace {

// The longest text Envs::Expand can make of `text` with the current table.
size_t ExpansionBound(const Text& text, size_t longestValue) {
  return std::max(text.size(), 2 * Envs::kMaxExpandedLength + longestValue);
}

void CheckSplit(const Text& line, const std::vector<Text>& tokens, size_t firstEnd, size_t firstContentEnd) {
  size_t total = 0;
  for (const Text& token : tokens) {
    FUZZ_CHECK(token.find(u'"') == Text::npos);  // quotes are removed
    total += token.size();
  }
  FUZZ_CHECK(total <= line.size());
  if (!tokens.empty()) FUZZ_CHECK(firstContentEnd <= firstEnd && firstEnd <= line.size());
}

// Each stored record is its token, classified and expanded as documented.
void CheckRecords(const std::vector<Text>& tokens, size_t longestValue) {
  FUZZ_CHECK(Args::Arguments.size() == tokens.size() - 1);
  for (size_t i = 0; i < Args::Arguments.size(); ++i) {
    const Args::Argument& arg = Args::Arguments[i];
    const Text& p = tokens[i + 1];
    const size_t eq = p.find(u'=');
    if (!Args::IsSwitch(p)) {
      FUZZ_CHECK(arg.kind == Args::Unnamed && arg.name == Envs::Expand(p) && arg.value.empty());
      FUZZ_CHECK(arg.name.size() <= ExpansionBound(p, longestValue));
    } else if (eq == Text::npos) {
      FUZZ_CHECK(arg.kind == Args::NamedFlag && arg.name == p && arg.value.empty());
    } else {
      FUZZ_CHECK(arg.kind == Args::NamedWithValue && arg.name == p.substr(0, eq));
      FUZZ_CHECK(arg.value.size() <= ExpansionBound(p.substr(eq + 1), longestValue));
      // This build's rule (POSIX): the value is all after the first "=".
      FUZZ_CHECK(arg.value == Envs::Expand(p.substr(eq + 1)));
    }
  }
}

// The queries agree with a plain walk over the store.
void CheckQueries(const Text& probe) {
  for (const Text& name : {probe, Args::Arguments.empty() ? Text() : Args::Arguments.back().name}) {
    const Text wanted = Platform::ToUpper(name);
    auto match = std::find_if(Args::Arguments.begin(), Args::Arguments.end(),
                              [&](const Args::Argument& a) { return Platform::ToUpper(a.name) == wanted; });
    FUZZ_CHECK(Args::HasNamed(name) == (match != Args::Arguments.end() ? 1 : 0));
    FUZZ_CHECK(Args::NamedValue(name) == (match != Args::Arguments.end() ? match->value : Text()));
  }
  for (int8_t kind : {Args::Unnamed, Args::NamedWithValue, Args::NamedFlag}) {
    std::vector<Text> copied{u"stale"};
    const int64_t count = Args::CopyByKind(copied, kind);
    FUZZ_CHECK(count == static_cast<int64_t>(copied.size()));
    size_t next = 0;
    for (const Args::Argument& arg : Args::Arguments) {
      if (arg.kind == kind) FUZZ_CHECK(next < copied.size() && copied[next++] == arg.name);
    }
    FUZZ_CHECK(next == copied.size());
  }
}

// POSIX: each argv element from the second on is one parameter, exactly,
// or a switch and its value when the switch takes the next element as it.
void CheckArgvKept(const Text& programFile, std::string_view lineBytes) {
  std::vector<std::string> args{Utf8FromText(programFile)};
  for (const std::string_view piece :
       Fuzz::Lines(reinterpret_cast<const uint8_t*>(lineBytes.data()), lineBytes.size())) {
    args.emplace_back(piece.substr(0, piece.find('\0')));
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  Envs::Vars.Clear();
  Args::Arguments.clear();
  Platform::SetArguments(static_cast<int>(args.size()), argv.data());
  FUZZ_CHECK(Args::Tokenize() == Args::ResultOk);
  size_t next = 1;  // the argv element the next record stands for
  for (const Args::Argument& arg : Args::Arguments) {
    FUZZ_CHECK(next < args.size());
    const Text given = Fuzz::ToText(args[next++]);
    if (arg.kind == Args::NamedWithValue && given == arg.name) {
      FUZZ_CHECK(given.starts_with(u"-") && next < args.size() && arg.value == Fuzz::ToText(args[next++]));
    } else if (arg.kind == Args::NamedWithValue) {
      FUZZ_CHECK(given.starts_with(arg.name + u"=" + arg.value));
    } else {
      FUZZ_CHECK(arg.name == given);
    }
  }
  FUZZ_CHECK(next == args.size());
  Platform::SetArguments(0, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string_view> fields = Fuzz::Fields(data, size, 3);
  const Text programFile = Fuzz::ToText(fields[0]);
  const Text entry = Fuzz::ToText(fields[1]);
  const Text line = Fuzz::ToText(fields[2]);
  Envs::Vars.Clear();
  Envs::StoreEntries({entry});

  size_t firstEnd = 0, firstContentEnd = 0;
  const std::vector<Text> tokens = Args::SplitLine(line, &firstEnd, &firstContentEnd);
  CheckSplit(line, tokens, firstEnd, firstContentEnd);

  const Text raw = Args::CutProgramName(line, programFile);
  FUZZ_CHECK(line.find(raw) != Text::npos);  // a piece of the line
  FUZZ_CHECK(raw.empty() || (raw.front() != u' ' && raw.back() != u' '));
  if (tokens.size() <= 1) FUZZ_CHECK(raw.empty());

  Args::Arguments.clear();
  Args::CutValues.clear();
  const int code = Args::TokenizeLine(line, programFile);
  // POSIX rules (this build's): a value is all after its first "=", never cut.
  FUZZ_CHECK(Args::CutValues.empty());
  FUZZ_CHECK(code == Args::ResultOk || code == Args::ResultRecoverable || code == Args::ErrNoArguments ||
             code == Args::ErrMalformedQuotes);
  if (tokens.size() <= 1) FUZZ_CHECK(code == Args::ErrNoArguments);
  if (code == Args::ResultOk) CheckRecords(tokens, entry.size());
  if (code != Args::ResultOk) FUZZ_CHECK(Args::Arguments.empty());
  CheckQueries(programFile);
  CheckArgvKept(programFile, fields[2]);
  Args::Arguments.clear();
  Envs::Vars.Clear();
  return 0;
}
