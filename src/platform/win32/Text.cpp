// Text services on Windows: case mapping and the code-page conversions.
#include <string>

#include "platform/win32/Common.h"

namespace Platform {

Text ToUpper(TextView text) {
  Text out(text);
  if (!out.empty()) ::CharUpperBuffW(reinterpret_cast<wchar_t*>(out.data()), static_cast<DWORD>(out.size()));
  return out;
}

Text ToLower(TextView text) {
  Text out(text);
  if (!out.empty()) ::CharLowerBuffW(reinterpret_cast<wchar_t*>(out.data()), static_cast<DWORD>(out.size()));
  return out;
}

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
