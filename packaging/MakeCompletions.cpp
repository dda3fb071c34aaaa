// Writes the shell completions of the POSIX program into a folder, made
// from its switch table: datemill (bash), _datemill (zsh), datemill.fish.
//   make_completions FOLDER
#include <fstream>
#include <iostream>
#include <string>

#include "app/Completions.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_completions FOLDER\n";
    return 2;
  }
  const std::string folder = argv[1];
  const std::pair<const char*, std::string> files[] = {
      {"/datemill", BashCompletion()}, {"/_datemill", ZshCompletion()}, {"/datemill.fish", FishCompletion()}};
  for (const auto& [name, text] : files) {
    std::ofstream out(folder + name, std::ios::binary);
    if (!(out << text) || !out.flush()) {
      std::cerr << "make_completions: cannot write " << folder << name << "\n";
      return 1;
    }
  }
  return 0;
}
