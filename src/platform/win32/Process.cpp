// The process on Windows: the conventions, the command line, the program's
// own path, the environment, the log's folders, the exit, and the system's
// words for an error.
#include "platform/Process.h"

#include <string>
#include <vector>

#include "base/Conventions.h"
#include "base/Paths.h"
#include "platform/win32/Common.h"

namespace Platform {

using win32::FromW;
using win32::W;

extern const char16_t kSeparator = u'\\';
extern const char16_t* const kNameSeparators = u"\\/";
extern const char16_t* const kSwitchPrefix = u"/";
extern const bool kSlashSwitches = true;
extern const bool kNamesIgnoreCase = true;
extern const bool kLongPathPrefixes = true;
extern const bool kWindowsPaths = true;
extern const bool kWindowsConventions = true;
extern const bool kRootLists = true;

void SetArguments(int, char**) {}

Text CommandLine() { return FromW(::GetCommandLineW()); }

// Windows hands over one line, which the program splits by its own rules.
bool ArgumentList(std::vector<Text>&) { return false; }

Text ModulePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return Text();
    // A full buffer means the path may have been cut: try a larger one.
    if (n < buffer.size()) return FromW(buffer.data(), n);
    if (buffer.size() >= 32768) return Text();
    buffer.resize(buffer.size() * 2);
  }
}

bool EnvironmentEntries(std::vector<Text>& entries) {
  wchar_t* block = ::GetEnvironmentStringsW();
  if (block == nullptr) return false;
  for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
    entries.push_back(FromW(entry));
  }
  ::FreeEnvironmentStringsW(block);
  return true;
}

void EndProcess(uint32_t status) { ::ExitProcess(status); }

uint32_t ProcessId() { return ::GetCurrentProcessId(); }

bool ProcessRunning(uint32_t id) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (process == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;  // else: no such process
  // A process that has ended stays as long as a handle to it does.
  DWORD code = 0;
  const bool running = ::GetExitCodeProcess(process, &code) == 0 || code == STILL_ACTIVE;
  ::CloseHandle(process);
  return running;
}

std::vector<Text> LogFolders(const Text& programFolder) {
  std::vector<Text> folders{programFolder};
  std::wstring buffer(MAX_PATH, L'\0');
  DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n >= buffer.size()) {
    buffer.resize(n);
    n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
  }
  if (n == 0 || n >= buffer.size()) return folders;
  folders.push_back(Paths::AsFolder(Paths::Join(FromW(buffer.data(), n), u"Datemill")));
  return folders;
}

Text win32::SystemMessage(DWORD error) {
  wchar_t* message = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  Text text = n > 0 ? FromW(message, n) : Text();
  if (message != nullptr) ::LocalFree(message);
  // The system's sentence ends in a full stop and CR LF.
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u'.'))
    text.pop_back();
  return text;
}

}  // namespace Platform
