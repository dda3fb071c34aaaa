// POSIX only: helpers that the POSIX platform files share: the system's
// reasons, path bytes, file times and complete writes.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "base/Calendar.h"
#include "base/Outcome.h"
#include "platform/Clock.h"

namespace Platform::posix {

// The system's words for the errno value `error` ("Permission denied").
inline Text ReasonOf(int error) {
  return TextFromUtf8(std::strerror(error));  // NOLINT(concurrency-mt-unsafe): one thread asks
}

// The failure of the call that has just failed, for its errno.
inline Done FailedNow() { return FailedFor(ReasonOf(errno)); }

// A path as the bytes the system calls take.
inline std::string PathBytes(const Text& path) { return Utf8FromText(path); }

// A POSIX time stamp as a file time. A time beyond what a file time holds
// (after the year 30828, or as far before 1601) becomes the nearest one it
// holds, which converts to no date in range either; kTimeUnread is never
// made.
inline FileTime TicksOf(int64_t seconds, uint32_t nanoseconds) {
  constexpr int64_t kEpochSeconds = Calendar::kUnixEpochTicks / Calendar::kTicksPerSecond;
  constexpr int64_t kLast = INT64_MAX / Calendar::kTicksPerSecond - kEpochSeconds - 1;
  constexpr int64_t kFirst = (INT64_MIN + 1) / Calendar::kTicksPerSecond - kEpochSeconds + 1;
  if (seconds > kLast) return INT64_MAX;
  if (seconds < kFirst) return INT64_MIN + 1;
  return (seconds + kEpochSeconds) * Calendar::kTicksPerSecond + nanoseconds % 1000000000 / 100;
}

// A file descriptor, closed at the end of its holder's life.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// Writes all of `size` bytes, going on after short writes and signals.
inline bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace Platform::posix
