// POSIX only: the look-ahead of a walk. A walk lists a folder, holds it, and
// then opens the subfolders it enters with OpenIn one after the other, in
// the order it named them when it held the folder. So that the helper
// threads always have names to stat, the subfolders after the one asked
// for are opened, listed and their stat calls started ahead of time (a few
// folders, a few batches of names). OpenIn takes a folder opened ahead when
// its parent and name match; the ones passed over are given up. A subfolder
// that cannot be opened ahead is opened by OpenIn itself, the plain way, so
// that its failure is the one the plain way meets. Everything here is the
// program thread's own.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/Listing.h"

namespace Platform::posix {

class WalkAhead {
 public:
  // Remembers the subfolders of the held folder `parent` (a descriptor)
  // that the walk will ask for, in their order, and how they are searched
  // (`flags`, `takenOf` as for DirSearch::Open); the folders opened ahead
  // for the other held ones are given up.
  void Begin(int parent, unsigned flags, const TakenTest* takenOf, std::vector<std::string> names);

  // The search of `name` in `parent` opened ahead, or nullptr: then OpenIn
  // opens it. TopUp opens the next ones after it.
  std::unique_ptr<SearchState> Take(int parent, const std::string& name, unsigned flags,
                                    const TakenTest* takenOf);

  // Opens the subfolders after the one just taken, up to the bounds.
  void TopUp();

  // The held folder `parent` closes: its subfolders are not asked for.
  void Forget(int parent);

 private:
  static constexpr size_t kFolders = 3;        // folders opened ahead at most
  static constexpr size_t kNames = 2048;       // names in their batches, about
  static constexpr size_t kSearchAhead = 256;  // names passed over to find one asked for

  struct Ahead {
    size_t index;                        // in `names`
    std::unique_ptr<SearchState> state;  // nullptr: could not be opened
  };
  struct Context {
    int parent;
    unsigned flags;  // the searches' kSearch* bits
    const TakenTest* takenOf;
    std::vector<std::string> names;
    size_t next = 0;  // the first of `names` not opened ahead
    std::vector<Ahead> ahead;
  };

  static void GiveUp(Context& c);
  static std::unique_ptr<SearchState> OpenAhead(const Context& c, const std::string& name);

  std::vector<Context> contexts_;  // one for each held folder with subfolders, innermost last
  Context* active_ = nullptr;      // the one OpenIn took from last
};

// The look-ahead of the program thread's walks.
WalkAhead& TheWalkAhead();

}  // namespace Platform::posix
