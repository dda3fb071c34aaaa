// POSIX only: the look-ahead of a walk (WalkAhead.h).
#include "platform/posix/WalkAhead.h"

#include <fcntl.h>

#include <new>
#include <utility>

#include "platform/posix/Folders.h"

namespace Platform::posix {

void WalkAhead::Begin(int parent, unsigned flags, const TakenTest* takenOf, std::vector<std::string> names) {
  if (names.empty()) return;
  Forget(parent);
  for (Context& context : contexts_) GiveUp(context);
  active_ = nullptr;  // the vector may move
  contexts_.push_back(Context{parent, flags, takenOf, std::move(names), 0, {}});
}

std::unique_ptr<SearchState> WalkAhead::Take(int parent, const std::string& name, unsigned flags,
                                             const TakenTest* takenOf) {
  active_ = nullptr;
  Context* found = nullptr;
  for (Context& context : contexts_) {
    if (context.parent == parent) {
      found = &context;
    } else {
      GiveUp(context);
    }
  }
  if (found == nullptr || found->flags != flags || found->takenOf != takenOf) return nullptr;
  active_ = found;
  Context& c = *found;
  for (size_t k = 0; k < c.ahead.size(); ++k) {
    if (c.names[c.ahead[k].index] != name) continue;
    std::unique_ptr<SearchState> state = std::move(c.ahead[k].state);
    c.ahead.erase(c.ahead.begin(), c.ahead.begin() + static_cast<std::ptrdiff_t>(k) + 1);
    return state;  // nullptr: one that could not be opened ahead
  }
  // Not opened ahead: start after it, when it comes soon.
  GiveUp(c);
  for (size_t i = c.next; i < c.names.size() && i < c.next + kSearchAhead; ++i) {
    if (c.names[i] == name) {
      c.next = i + 1;
      break;
    }
  }
  return nullptr;
}

void WalkAhead::TopUp() {
  if (active_ == nullptr) return;
  Context& c = *active_;
  size_t names = 0;
  for (const Ahead& ahead : c.ahead) {
    if (ahead.state == nullptr) continue;
    for (const StatBatch& batch : ahead.state->batches) names += batch.Size();
  }
  while (c.ahead.size() < kFolders && names < kNames && c.next < c.names.size()) {
    const size_t index = c.next++;
    std::unique_ptr<SearchState> state = OpenAhead(c, c.names[index]);
    if (state != nullptr) {
      for (const StatBatch& batch : state->batches) names += batch.Size();
    }
    c.ahead.push_back(Ahead{index, std::move(state)});
  }
}

void WalkAhead::Forget(int parent) {
  for (size_t i = 0; i < contexts_.size(); ++i) {
    if (contexts_[i].parent != parent) continue;
    contexts_.erase(contexts_.begin() + static_cast<std::ptrdiff_t>(i));
    active_ = nullptr;  // the vector moved
    return;
  }
}

// Gives up the folders opened ahead for `c` (their batches are cancelled
// before their folders close); they are opened again when asked for.
void WalkAhead::GiveUp(Context& c) {
  if (c.ahead.empty()) return;
  c.next = c.ahead.front().index;
  c.ahead.clear();
}

std::unique_ptr<SearchState> WalkAhead::OpenAhead(const Context& c, const std::string& name) {
  const int fd = OpenSubfolder(c.parent, name, (c.flags & kSearchFollow) != 0);
  if (fd < 0) return nullptr;
  std::unique_ptr<SearchState> state(new (std::nothrow) SearchState);
  if (state != nullptr) state->dir = ::fdopendir(fd);
  if (state == nullptr || state->dir == nullptr) {
    ::close(fd);
    return nullptr;
  }
  state->SetFlags(c.flags);
  state->takenOf = c.takenOf;
  state->pattern = "*";
  state->matchAll = true;
  Prime(*state);
  return state;
}

WalkAhead& TheWalkAhead() {
  static WalkAhead walkAhead;
  return walkAhead;
}

}  // namespace Platform::posix
