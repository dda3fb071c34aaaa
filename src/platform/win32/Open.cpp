// Opening a written file with the user's default program on Windows.
#include "platform/Open.h"

#include "platform/win32/Common.h"
// After windows.h (in win32/Common.h): ShellExecuteExW and COM's start.
#include <objbase.h>
#include <shellapi.h>

namespace Platform {

using win32::FromW;
using win32::W;

namespace {

// How long the opener is given to hand the file on.
constexpr DWORD kOpenerWaitMs = 5000;

Text ErrorText(const Text& what, DWORD error) { return what + u" failed with error " + DecimalText(error); }

// The stand-in opener named by DATEMILL_OPENER, started with the path as its
// argument.
Outcome<OpenResult> OpenWithStandIn(const Text& opener, const Text& path) {
  std::wstring line = L"\"" + std::wstring(W(opener)) + L"\" \"" + W(path) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(W(opener), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process)) {
    return {OpenResult::kFailed, ErrorText(u"Starting " + opener, ::GetLastError())};
  }
  Text problem;
  DWORD status = 0;
  const bool ended = ::WaitForSingleObject(process.hProcess, kOpenerWaitMs) == WAIT_OBJECT_0;
  if (ended && (::GetExitCodeProcess(process.hProcess, &status) == 0 || status != 0)) {
    problem = opener + u" ended with status " + DecimalText(status);
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return {problem.empty() ? OpenResult::kOpened : OpenResult::kFailed, problem};
}

}  // namespace

Outcome<OpenResult> OpenWithDefaultProgram(const Text& path) {
  const DWORD size = ::GetEnvironmentVariableW(L"DATEMILL_OPENER", nullptr, 0);
  if (size > 1) {
    std::wstring opener(size, L'\0');
    const DWORD n = ::GetEnvironmentVariableW(L"DATEMILL_OPENER", opener.data(), size);
    return OpenWithStandIn(FromW(opener.data(), n), path);
  }
  // The shell may hand the file to an extension that wants COM; it is
  // started once for this thread and left running until the process ends.
  (void)::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  // NOASYNC: the program ends soon after, which must not cut the shell's
  // work short. NO_UI: a windowless run shows no error box of the shell's.
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpFile = W(path);
  info.nShow = SW_SHOWNORMAL;
  if (::ShellExecuteExW(&info)) return {OpenResult::kOpened, Text()};
  return {OpenResult::kFailed, ErrorText(u"ShellExecuteExW", ::GetLastError())};
}

}  // namespace Platform
