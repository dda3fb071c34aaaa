// Helpers that the POSIX platform files share: path bytes, file times and
// complete writes.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "Calendar.h"
#include "platform/Platform.h"

namespace Platform::posix {

// A path as the bytes the system calls take.
inline std::string PathBytes(const Text& path) { return Utf8FromText(path); }

// A POSIX time stamp as a file time.
inline FileTime TicksOf(int64_t seconds, uint32_t nanoseconds) {
  return (seconds + Calendar::kUnixEpochTicks / Calendar::kTicksPerSecond) * Calendar::kTicksPerSecond +
         nanoseconds / 100;
}

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
