// POSIX only: the interruptions' handler and what it may touch.
#include "platform/posix/Interrupts.h"

#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/posix/Common.h"

namespace Platform::posix {

namespace {

// A copy of the path's bytes, made before it is published, so that the
// handler only reads it.
std::atomic<char*> pendingDelete{nullptr};
std::atomic<bool> progressShown{false};
void (*madeHook)() = nullptr;

static_assert(std::atomic<char*>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the handler reads them");

constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP};

void EndInterrupted(int signal) {
  const int saved = errno;
  if (char* path = pendingDelete.exchange(nullptr)) ::unlink(path);
  // Back to the line's start, the rest of it erased: as a run's end leaves it.
  if (progressShown.exchange(false)) WriteAll(STDERR_FILENO, "\r\x1b[K", 4);
  // Ended as the signal would have ended it: the shell sees that status.
  (void)::signal(signal, SIG_DFL);
  (void)::raise(signal);
  errno = saved;
}

}  // namespace

void HandleInterrupts() {
  for (int signal : kInterruptions) {
    struct sigaction action {};
    if (::sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
    action = {};
    action.sa_handler = &EndInterrupted;
    sigemptyset(&action.sa_mask);
    // While it runs, the others wait: one of them cleans up once.
    for (int other : kInterruptions) sigaddset(&action.sa_mask, other);
    (void)::sigaction(signal, &action, nullptr);
  }
}

char* HandlerCopy(const std::string& bytes) {
  char* copy = new char[bytes.size() + 1];
  std::memcpy(copy, bytes.c_str(), bytes.size() + 1);
  return copy;
}

void PublishPendingDelete(char* copy) { delete[] pendingDelete.exchange(copy); }

void NoteProgressShown(bool shown) { progressShown.store(shown); }

HeldInterrupts::HeldInterrupts() {
  sigset_t held;
  sigemptyset(&held);
  for (int signal : kInterruptions) sigaddset(&held, signal);
  ::pthread_sigmask(SIG_BLOCK, &held, &before_);
}

HeldInterrupts::~HeldInterrupts() { ::pthread_sigmask(SIG_SETMASK, &before_, nullptr); }

void SetMadeHook(void (*hook)()) { madeHook = hook; }

void RunMadeHook() {
  if (madeHook != nullptr) madeHook();
}

}  // namespace Platform::posix
