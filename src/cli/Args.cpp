#include "cli/Args.h"

#include <algorithm>

#include "base/Conventions.h"
#include "cli/Envs.h"
#include "cli/Switches.h"
#include "io/Dbg.h"
#include "io/Program.h"
#include "platform/Messages.h"
#include "platform/Process.h"
#include "platform/TextCase.h"

namespace Args {

std::vector<Argument> Arguments;
std::vector<Text> UnnamedValues;
std::vector<Text> CutValues;

namespace {

bool parsed = false;

// Position of `needle` in `hay` with both sides upper-cased, or npos.
size_t FindNoCase(const Text& hay, const Text& needle, size_t from = 0) {
  return Platform::ToUpper(hay).find(Platform::ToUpper(needle), from);
}

bool EndsWithNoCase(TextView text, const Text& tail) {
  return text.size() >= tail.size() &&
         Platform::ToUpper(text.substr(text.size() - tail.size())) == Platform::ToUpper(tail);
}

}  // namespace

std::vector<Text> SplitLine(const Text& line, size_t* firstEnd, size_t* firstContentEnd) {
  std::vector<Text> tokens;
  size_t i = 0;
  const size_t n = line.size();
  while (true) {
    while (i < n && line[i] == u' ') ++i;
    if (i >= n) break;
    Text token;
    size_t contentEnd;
    if (line[i] == u'"') {
      // A quoted token ends at its closing quote, whatever follows it.
      const size_t close = line.find(u'"', i + 1);
      contentEnd = close == Text::npos ? n : close;
      token = line.substr(i + 1, contentEnd - i - 1);
      i = close == Text::npos ? n : close + 1;
    } else {
      bool quoted = false;
      for (; i < n && (quoted || line[i] != u' '); ++i) {
        if (line[i] == u'"')
          quoted = !quoted;
        else
          token += line[i];
      }
      contentEnd = i;
      if (i < n) ++i;  // the ending space
    }
    if (tokens.empty()) {
      if (firstEnd != nullptr) *firstEnd = i;
      if (firstContentEnd != nullptr) *firstContentEnd = contentEnd;
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

Text CutProgramName(const Text& line, const Text& programFile) {
  size_t firstEnd = 0, contentEnd = 0;
  const std::vector<Text> tokens = SplitLine(line, &firstEnd, &contentEnd);
  if (tokens.size() <= 1) return Text();

  // The name may also occur earlier, in a folder on the program's path: when
  // it ends the first token, that occurrence is the one to cut at.
  size_t pos = Text::npos;
  if (!programFile.empty()) {
    if (EndsWithNoCase(TextView(line).substr(0, contentEnd), programFile)) {
      pos = contentEnd - programFile.size();
    } else {
      pos = FindNoCase(line, programFile);
    }
  }
  if (pos == Text::npos) return TrimSpaces(TextView(line).substr(firstEnd));

  // Drop the name, its closing quote when the line starts with one, and one
  // further character.
  const auto length = static_cast<int64_t>(line.size());
  const int64_t dropped = static_cast<int64_t>(pos + programFile.size()) + 1 + (line[0] == u'"' ? 1 : 0);
  const int64_t keep = std::clamp<int64_t>(length - dropped, 0, length);
  return TrimSpaces(TextView(line).substr(static_cast<size_t>(length - keep)));
}

bool IsSwitch(TextView parameter) { return Switches::IsSwitch(parameter, Platform::kSlashSwitches); }

namespace {

// Stores one parameter (its quotes already dealt with) as the next record,
// telling switches as the platform `windows` says.
void StoreParameter(const Text& p, bool windows) {
  Argument& arg = Arguments.emplace_back();
  if (!Switches::IsSwitch(p, windows)) {
    arg.name = Envs::Expand(p);
    arg.kind = Unnamed;
    return;
  }
  const size_t eq = p.find(u'=');
  if (eq == Text::npos) {
    arg.name = p;
    arg.kind = NamedFlag;
    return;
  }
  // On the Windows command line a value ends at its next "="; the rest is
  // dropped, and kept to be told. On POSIX the value is all after the first
  // "=", as "--name value" gives it.
  const size_t second = windows ? p.find(u'=', eq + 1) : Text::npos;
  arg.name = p.substr(0, eq);
  arg.value = Envs::Expand(p.substr(eq + 1, second == Text::npos ? Text::npos : second - eq - 1));
  if (second != Text::npos) {
    CutValues.push_back(u"the value of '" + arg.name + u"' ends at its second '=': it is '" + arg.value +
                        u"', and '" + p.substr(second) + u"' is ignored");
  }
  arg.kind = NamedWithValue;
}

}  // namespace

int TokenizeLine(const Text& line, const Text& programFile) {
  const std::vector<Text> tokens = SplitLine(line);
  if (tokens.size() <= 1) return ErrNoArguments;
  if (CountUnits(CutProgramName(line, programFile), u'"') % 2 != 0) return ErrMalformedQuotes;
  for (size_t i = 1; i < tokens.size(); ++i) StoreParameter(tokens[i], Platform::kSlashSwitches);
  return Arguments.empty() ? ResultRecoverable : ResultOk;
}

namespace {

// Whether `p` is a switch written without "=" that takes a value, which
// then comes as the next parameter ("--ext jpg").
bool WantsNextValue(const Text& p) {
  const Switches::Switch* entry = Switches::Find(p, false);
  return entry != nullptr && entry->TakesValue() && p.find(u'=') == Text::npos;
}

}  // namespace

int TokenizeArguments(const std::vector<Text>& parameters) {
  if (parameters.empty()) return ErrNoArguments;
  size_t i = 0;
  for (; i < parameters.size() && parameters[i] != Switches::kEndOfSwitches; ++i) {
    const Text& p = parameters[i];
    if (WantsNextValue(p) && i + 1 < parameters.size()) {
      Arguments.push_back(Argument{p, Envs::Expand(parameters[++i]), NamedWithValue});
    } else {
      StoreParameter(p, false);
    }
  }
  if (i < parameters.size()) Arguments.push_back(Argument{parameters[i++], Text(), NamedFlag});
  // After "--" every parameter is a folder, taken exactly as it is: any
  // name can be given there, "%HOME%" too.
  for (; i < parameters.size(); ++i) Arguments.push_back(Argument{parameters[i], Text(), Unnamed});
  return Arguments.empty() ? ResultRecoverable : ResultOk;
}

Text JoinArguments(const std::vector<Text>& parameters) {
  Text line;
  for (size_t i = 0; i < parameters.size(); ++i) {
    if (i > 0) line += u' ';
    line += parameters[i];
  }
  return line;
}

// Where the system hands over the parameters one by one (POSIX), they are
// taken as they are: the shell has already dealt with quotes, so a '"' is
// an ordinary character there, and no program name needs cutting off.
Text RawCommandLine() {
  std::vector<Text> parameters;
  if (Platform::ArgumentList(parameters)) return JoinArguments(parameters);
  return CutProgramName(Platform::CommandLine(), ProgramFile);
}

int Tokenize() {
  std::vector<Text> parameters;
  if (Platform::ArgumentList(parameters)) return TokenizeArguments(parameters);
  return TokenizeLine(Platform::CommandLine(), ProgramFile);
}

int Parse() {
  if (parsed) return ResultOk;
  parsed = true;  // set first: a parse that failed is not run again
  Envs::Load();
  return Tokenize();
}

namespace {

const Argument* FirstMatch(const Text& name) {
  const Text wanted = Platform::ToUpper(name);
  for (const Argument& arg : Arguments) {
    if (arg.name.size() == wanted.size() && Platform::ToUpper(arg.name) == wanted) return &arg;
  }
  return nullptr;
}

}  // namespace

int HasNamed(const Text& name) { return FirstMatch(name) != nullptr ? 1 : 0; }

Text NamedValue(const Text& name) {
  const Argument* match = FirstMatch(name);
  return match != nullptr ? match->value : Text();
}

int64_t CopyByKind(std::vector<Text>& target, int8_t kind) {
  target.clear();
  for (const Argument& arg : Arguments) {
    if (arg.kind == kind) target.push_back(arg.name);
  }
  return static_cast<int64_t>(target.size());
}

namespace {

// What someone who started the program without arguments (by a double
// click, say) is to do, in lines a box shows unwrapped.
Text WhatToGive(const Text& program) {
  Text text = u"Give the folders to count:\r\n" + program + u" FOLDER...\r\n";
  text +=
      u"or, once it is installed, right-click a folder\r\n"
      u"in Explorer and choose \"Count files by date\".\r\n";
  return text + program + u" /? lists the switches, and README.md\r\nbeside " + program + u" tells more.";
}

}  // namespace

Text ReportText(int code, const Text& message, const Text& rawLine, const Text& program) {
  const Text prefix = u"[Args::] ";
  if (code == ResultRecoverable) {
    return message.empty() ? prefix + u"Recoverable error - No custom message given..." : prefix + message;
  }
  if (!message.empty()) return prefix + message;
  Text text = prefix + u"Command line: '" + rawLine + u"'\r\n\r\n";
  if (code == ErrNoArguments)
    text = prefix + u"No command line arguments given...\r\n\r\n" + WhatToGive(program);
  else if (code == ErrRequiredMissing)
    text += u"A required command line argument was missing...";
  else if (code == ErrMalformedQuotes)
    text += u"Malformed double quotes in command line...";
  return text + u"\r\n\r\nTerminating now!";
}

Text FaultLines(int code, const Text& message, const Text& program) {
  const Text hint = u"\nTry '" + program + u" --help' for more information.";
  if (!message.empty()) return program + u": " + message + hint;
  switch (code) {
    case ErrNoArguments: return u"Usage: " + program + u" [SWITCH]... FOLDER..." + hint;
    case ErrRequiredMissing: return program + u": A required command line argument was missing" + hint;
    case ErrMalformedQuotes: return program + u": Malformed double quotes in command line" + hint;
    default: return program + u": The command line is faulty" + hint;
  }
}

int Report(int code, const Text& message) {
  if (code >= ResultOk) return code;
  if (code == ResultRecoverable) {
    Dbg::Log(Dbg::Stamped(ReportText(code, message, Text(), ProgramFile)));
  } else if (!Platform::kWindowsConventions) {
    Platform::ShowDiagnostic(FaultLines(code, message, ProgramFile));
  } else {
    // The command line is only shown for a negative code without message.
    const Text raw = (message.empty() && code != ErrNoArguments) ? RawCommandLine() : Text();
    Platform::ShowFatalMessage(ReportText(code, message, raw, ProgramFile), ProgramFile);
  }
  ExitCode = code;
  EndProgram();
}

}  // namespace Args
