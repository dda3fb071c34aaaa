// What the program shows its user on Windows: message boxes, standard
// output when a parent gave it one, and the debugger output.
#include "platform/Messages.h"

#include "platform/win32/Common.h"

namespace Platform {

using win32::W;

void ShowFatalMessage(const Text& text, const Text& caption) {
  // Owned by the foreground window only when that window is one of ours.
  HWND owner = ::GetForegroundWindow();
  DWORD ownerProcess = 0;
  if (owner != nullptr) ::GetWindowThreadProcessId(owner, &ownerProcess);
  if (ownerProcess != ::GetCurrentProcessId()) owner = nullptr;
  ::MessageBoxW(owner, W(text), W(caption), MB_ICONSTOP | MB_OK);
}

void ShowInformation(const Text& text, const Text& caption) {
  ::MessageBoxW(nullptr, W(text), W(caption), MB_ICONINFORMATION | MB_OK);
}

Done WriteStandardOutput(std::string_view bytes) {
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  if (out == nullptr || out == INVALID_HANDLE_VALUE)
    return FailedFor(win32::SystemMessage(ERROR_INVALID_HANDLE));
  if (!::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    return FailedFor(win32::SystemMessage(::GetLastError()));
  return written == bytes.size() ? Succeeded() : FailedFor(win32::SystemMessage(ERROR_WRITE_FAULT));
}

// The windowless program has no console: what POSIX says on standard error
// goes to its log.
bool HasConsole() { return false; }
void ShowDiagnostic(const Text&) {}

// The windowless program has no terminal for a progress line.
int ProgressColumns() { return 0; }
void ShowProgress(const Text&) {}
void ClearProgress() {}

void DebugOutput(const Text& line) { ::OutputDebugStringW(W(line)); }

}  // namespace Platform
