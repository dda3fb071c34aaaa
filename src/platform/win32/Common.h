// What the Win32 files of the platform layer share: text passed to the W
// functions as it is (wchar_t is UTF-16 here), file times and handles.
#pragma once

#include <windows.h>

#include "base/Text.h"
#include "platform/Clock.h"

namespace Platform::win32 {

inline const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline Text FromW(const wchar_t* text) { return Text(reinterpret_cast<const char16_t*>(text)); }
inline Text FromW(const wchar_t* text, size_t size) {
  return Text(reinterpret_cast<const char16_t*>(text), size);
}

// A time stamp beyond what a signed file time holds (past the year 30828)
// becomes the last one it holds, past every date as well.
inline FileTime TicksOf(const FILETIME& time) {
  const uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return ticks > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<FileTime>(ticks);
}

inline HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// The system's sentence for an error code, without its full stop.
Text SystemMessage(DWORD error);

}  // namespace Platform::win32
