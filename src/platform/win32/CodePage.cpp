// The code pages on Windows: the ANSI code page and UTF-8.
#include "platform/CodePage.h"

#include <string>

#include "platform/win32/Common.h"

namespace Platform {

namespace {

std::string Convert(UINT codePage, TextView text) {
  if (text.empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int size = ::WideCharToMultiByte(codePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(codePage, 0, wide, length, out.data(), size, nullptr, nullptr);
  return out;
}

}  // namespace

std::string ToNarrow(TextView text) { return Convert(CP_ACP, text); }

std::string ToUtf8(TextView text) { return Convert(CP_UTF8, text); }

}  // namespace Platform
