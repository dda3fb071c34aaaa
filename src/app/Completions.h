// Shell completions for the POSIX program, made from the switch table: the
// switch names, the values of those that offer choices (--date), and
// folders for folder arguments and for --out.
#pragma once

#include <string>
#include <vector>

// The completion script of bash (for bash-completion's completions folder).
std::string BashCompletion();

// The completion function of zsh ("_datemill", for its vendor completions).
std::string ZshCompletion();

// The completions of fish (for its vendor_completions.d).
std::string FishCompletion();
