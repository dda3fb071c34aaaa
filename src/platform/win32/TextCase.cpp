// Letter case on Windows: the system's own mapping.
#include "platform/TextCase.h"

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

}  // namespace Platform
