// POSIX only: how the process ends when SIGINT, SIGTERM or SIGHUP comes:
// the temporary file it names is deleted and the progress line cleared,
// as the end of a run would, and then the process ends as the signal ends
// it. The handler does nothing but async-signal-safe calls on what the
// program thread has published before.
#pragma once

#include <signal.h>

#include <string>

namespace Platform::posix {

// Installs the handler for each of the signals, unless the process was
// started with it ignored (nohup, a background job).
void HandleInterrupts();

// A copy of a path's bytes for PublishPendingDelete (new[]; it may throw,
// before anything is published).
char* HandlerCopy(const std::string& bytes);
// Names the file `copy` (from HandlerCopy, taken over) to delete on an
// interruption, in place of the one before, which is freed; nullptr names
// none. Only the program thread calls.
void PublishPendingDelete(char* copy);

// Whether a progress line stands on standard error, for the handler to
// clear: set before one is drawn, cleared after it is erased.
void NoteProgressShown(bool shown);

// Holds the interruptions off while it lives (a signal that comes meanwhile
// waits, then is handled), so that what is made under it is published
// before any handler runs.
class HeldInterrupts {
 public:
  HeldInterrupts();
  ~HeldInterrupts();
  HeldInterrupts(const HeldInterrupts&) = delete;
  HeldInterrupts& operator=(const HeldInterrupts&) = delete;

 private:
  sigset_t before_;
};

// Calls `hook` right after a temporary file is made, before it is named
// for deletion (tests send a signal there); nullptr: nothing.
void SetMadeHook(void (*hook)());
void RunMadeHook();

}  // namespace Platform::posix
