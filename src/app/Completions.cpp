#include "app/Completions.h"

#include "cli/Switches.h"

namespace {

// Help text on one line, its "{-}" the POSIX prefix, with the characters
// `escape` lists behind a backslash.
std::string Summary(TextView help, std::string_view escape) {
  std::string line;
  for (char16_t unit : help) {
    if (escape.find(static_cast<char>(unit)) != std::string_view::npos) line += '\\';
    line += unit == u'\n' ? ' ' : static_cast<char>(unit);
  }
  for (size_t at = line.find("{-}"); at != std::string::npos; at = line.find("{-}"))
    line.replace(at, 3, "--");
  return line;
}

// `text` for inside a single-quoted shell word: each "'" ends the word,
// comes escaped, and opens it again.
std::string SingleQuoted(const std::string& text) {
  std::string quoted;
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted;
}

// The POSIX switches, in the table's order.
std::vector<const Switches::Switch*> PosixSwitches() {
  std::vector<const Switches::Switch*> entries;
  for (const Switches::Switch& entry : Switches::All()) {
    if (Switches::Exists(entry, false)) entries.push_back(&entry);
  }
  return entries;
}

}  // namespace

std::string BashCompletion() {
  std::string names, values;
  for (const Switches::Switch* entry : PosixSwitches()) {
    names += " --" + Utf8FromText(entry->name);
    if (entry->letter != 0) names += " -" + std::string(1, static_cast<char>(entry->letter));
    if (!entry->TakesValue()) continue;
    // What follows a switch that takes a value: its choices, a folder, or
    // nothing to offer.
    values += "    --" + Utf8FromText(entry->name) + ") ";
    values += entry->folderValue       ? "COMPREPLY=($(compgen -d -- \"$cur\"))"
              : entry->choices.empty() ? "COMPREPLY=()"
                                       : "COMPREPLY=($(compgen -W '" +
                                             Utf8FromText(Switches::ChoiceWords(*entry)) + "' -- \"$cur\"))";
    values += "; return ;;\n";
  }
  return "# bash completion for datemill, made from its switch table.\n"
         "_datemill() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} i\n"
         "  # \"--date=m\" comes as three words: \"--date\", \"=\" and \"m\".\n"
         "  if [[ $cur == = ]]; then prev=${COMP_WORDS[COMP_CWORD-1]} cur=;\n"
         "  elif [[ $prev == = ]]; then prev=${COMP_WORDS[COMP_CWORD-2]}; fi\n"
         "  # After \"--\" every word is a folder.\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    [[ ${COMP_WORDS[i]} == -- ]] && { COMPREPLY=($(compgen -d -- \"$cur\")); return; }\n"
         "  done\n"
         "  case $prev in\n" +
         values +
         "  esac\n"
         "  if [[ $cur == -* ]]; then\n"
         "    COMPREPLY=($(compgen -W '" +
         names.substr(1) +
         " --' -- \"$cur\"))\n"
         "  else\n"
         "    COMPREPLY=($(compgen -d -- \"$cur\"))\n"
         "  fi\n"
         "}\n"
         "complete -o filenames -F _datemill datemill\n";
}

std::string ZshCompletion() {
  std::string options;  // _arguments' description of each switch
  for (const Switches::Switch* entry : PosixSwitches()) {
    const std::string name = "--" + Utf8FromText(entry->name),
                      help = SingleQuoted(Summary(entry->help, "[]:\\"));
    if (entry->letter != 0) {
      const std::string letter = "-" + std::string(1, static_cast<char>(entry->letter));
      options += "  '(" + letter + " " + name + ")'{" + letter + "," + name + "}'[" + help + "]' \\\n";
      continue;
    }
    if (!entry->TakesValue()) {
      options += "  '" + name + "[" + help + "]' \\\n";
      continue;
    }
    const std::string what = entry->folderValue ? "_files -/"
                             : entry->choices.empty()
                                 ? " "
                                 : "(" + Utf8FromText(Switches::ChoiceWords(*entry)) + ")";
    options += "  '" + name + "=[" + help + "]:" + Utf8FromText(entry->value) + ":" + what + "' \\\n";
  }
  return "#compdef datemill\n"
         "# zsh completion for datemill, made from its switch table.\n"
         "_arguments -S \\\n" +
         options + "  '*:folder:_files -/'\n";
}

std::string FishCompletion() {
  std::string lines =
      "# fish completion for datemill, made from its switch table.\n"
      "complete -c datemill -f -a '(__fish_complete_directories)'\n";
  for (const Switches::Switch* entry : PosixSwitches()) {
    const std::string head = "complete -c datemill -l " + Utf8FromText(entry->name);
    // Each value on a line of its own, with its own description; the
    // switch's line comes last, as fish describes the switch by it.
    for (const Switches::Choice& choice : entry->choices) {
      lines +=
          head + " -x -a '" + Utf8FromText(choice.value) + "' -d '" + Summary(choice.help, "'\\") + "'\n";
    }
    std::string line = head;
    if (entry->letter != 0) line += " -s " + std::string(1, static_cast<char>(entry->letter));
    if (entry->folderValue) {
      line += " -x -a '(__fish_complete_directories)'";
    } else if (entry->TakesValue()) {
      line += " -x";
    }
    lines += line + " -d '" + Summary(entry->help, "'\\") + "'\n";
  }
  return lines;
}
