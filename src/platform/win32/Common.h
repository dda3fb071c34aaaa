// What the Win32 files of the platform layer share: text passed to the W
// functions as it is (wchar_t is UTF-16 here), file times and handles.
#pragma once

#include <windows.h>

#include "base/Text.h"

namespace Platform::win32 {

inline const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline Text FromW(const wchar_t* text) { return Text(reinterpret_cast<const char16_t*>(text)); }
inline Text FromW(const wchar_t* text, size_t size) {
  return Text(reinterpret_cast<const char16_t*>(text), size);
}

inline HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// The system's sentence for an error code, without its full stop.
Text SystemMessage(DWORD error);

}  // namespace Platform::win32
