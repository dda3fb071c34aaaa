// The platform services on Windows, through the Win32 API. Text is passed to
// the W functions as it is: wchar_t is UTF-16 here.
#include <windows.h>

#include "platform/LocalTimeCache.h"
#include "platform/Platform.h"

namespace Platform {

extern const char16_t kSeparator = u'\\';
extern const char16_t* const kNameSeparators = u"\\/";
extern const char16_t* const kSwitchPrefix = u"/";
extern const bool kSlashSwitches = true;
extern const bool kLongPathPrefixes = true;

namespace {

const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
Text FromW(const wchar_t* text) { return Text(reinterpret_cast<const char16_t*>(text)); }
Text FromW(const wchar_t* text, size_t size) { return Text(reinterpret_cast<const char16_t*>(text), size); }

FileTime TicksOf(const FILETIME& time) {
  return static_cast<FileTime>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

// ---- Process ----------------------------------------------------------------

void SetArguments(int, char**) {}

Text CommandLine() { return FromW(::GetCommandLineW()); }

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

CalendarTime LocalNow() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  CalendarTime result;
  result.year = now.wYear;
  result.month = now.wMonth;
  result.day = now.wDay;
  result.hour = now.wHour;
  result.minute = now.wMinute;
  result.second = now.wSecond;
  return result;
}

void EndProcess(uint32_t status) { ::ExitProcess(status); }

void ShowFatalMessage(const Text& text, const Text& caption) {
  // Owned by the foreground window only when that window is one of ours.
  HWND owner = ::GetForegroundWindow();
  DWORD ownerProcess = 0;
  if (owner != nullptr) ::GetWindowThreadProcessId(owner, &ownerProcess);
  if (ownerProcess != ::GetCurrentProcessId()) owner = nullptr;
  ::MessageBoxW(owner, W(text), W(caption), MB_ICONSTOP | MB_OK);
}

void DebugOutput(const Text& line) { ::OutputDebugStringW(W(line)); }

uint32_t ProcessId() { return ::GetCurrentProcessId(); }

// ---- File system ------------------------------------------------------------

struct DirSearch::State {
  HANDLE handle = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data{};
  bool pending = false;  // `data` holds the first entry, not yet delivered
};

DirSearch::~DirSearch() { Close(); }

void DirSearch::Close() {
  if (state_ == nullptr) return;
  if (state_->handle != INVALID_HANDLE_VALUE) ::FindClose(state_->handle);
  delete state_;
  state_ = nullptr;
}

SearchStatus DirSearch::Open(const Text& pathAndPattern, bool) {
  Close();
  state_ = new State;
  // The basic information level skips the short names, which nothing here
  // reads; the large fetch asks for many entries per call.
  state_->handle = ::FindFirstFileExW(W(pathAndPattern), FindExInfoBasic, &state_->data,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (state_->handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    Close();
    return (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) ? SearchStatus::kNoMatch
                                                                           : SearchStatus::kFailed;
  }
  state_->pending = true;
  return SearchStatus::kOpened;
}

bool DirSearch::Next(DirEntry& entry) {
  if (state_ == nullptr) return false;
  if (state_->pending) {
    state_->pending = false;
  } else if (!::FindNextFileW(state_->handle, &state_->data)) {
    return false;
  }
  const WIN32_FIND_DATAW& d = state_->data;
  entry.name.assign(reinterpret_cast<const char16_t*>(d.cFileName));
  entry.attributes = d.dwFileAttributes;
  entry.size = (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
  entry.created = TicksOf(d.ftCreationTime);
  entry.lastWrite = TicksOf(d.ftLastWriteTime);
  entry.lastAccess = TicksOf(d.ftLastAccessTime);
  return true;
}

bool FileAttributes(const Text& path, uint32_t& attributes) {
  const DWORD value = ::GetFileAttributesW(W(path));
  if (value == INVALID_FILE_ATTRIBUTES) return false;
  attributes = value;
  return true;
}

bool StatPath(const Text& path, bool& isDirectory, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) return false;
  isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  size = isDirectory ? 0 : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

uint32_t DriveType(const Text& root) { return ::GetDriveTypeW(W(root)); }

// A Windows listing carries every entry's time stamps, so there are none
// that could not be read.
void WarnUnreadTimes(const Text&, const Text&) {}

bool FolderIdentity(const Text& path, FolderId& id) {
  // Backup semantics let CreateFileW open a folder; no access is needed to
  // read its identity.
  HANDLE handle =
      ::CreateFileW(W(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
  ::CloseHandle(handle);
  if (!ok) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

namespace {

int64_t SecondsOf(const SYSTEMTIME& t) {
  return Calendar::SecondsFromFields(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

// The offset of local time at a UTC second. SystemTimeToTzSpecificLocalTime
// applies the daylight-saving rule of the time stamp's own date, which
// FileTimeToLocalFileTime does not. (Its Ex form would end the process under
// some Windows emulations, where it is missing.)
bool WindowsOffsetAt(int64_t utc, int64_t& offset) {
  const int64_t ticks = (utc * Calendar::kTicksPerSecond) + Calendar::kUnixEpochTicks;
  if (ticks < 0) return false;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  SYSTEMTIME universal, local;
  if (!::FileTimeToSystemTime(&time, &universal)) return false;
  if (!::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) return false;
  offset = SecondsOf(local) - SecondsOf(universal);
  return true;
}

}  // namespace

bool LocalSeconds(FileTime time, int64_t& local) {
  static LocalTimeCache<bool (*)(int64_t, int64_t&)> cache(WindowsOffsetAt);
  return cache.LocalSeconds(time, local);
}

// ---- Text -------------------------------------------------------------------

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

// ---- Files ------------------------------------------------------------------

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Open(const Text& path, Mode mode, Share share) {
  Close();
  DWORD disposition = CREATE_NEW;
  switch (mode) {
    case Mode::kCreateNew: disposition = CREATE_NEW; break;
    case Mode::kCreateAlways: disposition = CREATE_ALWAYS; break;
    case Mode::kTruncateExisting: disposition = TRUNCATE_EXISTING; break;
    case Mode::kOpenAlways: disposition = OPEN_ALWAYS; break;
  }
  const DWORD shareMode = share == Share::kRead ? FILE_SHARE_READ : 0;
  HANDLE handle = ::CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, shareMode, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(handle);
  return true;
}

bool OutputFile::SeekToEnd() {
  LARGE_INTEGER zero{};
  return IsOpen() && ::SetFilePointerEx(AsHandle(handle_), zero, nullptr, FILE_END) != 0;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (!IsOpen()) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(AsHandle(handle_), bytes, chunk, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

bool OutputFile::Flush() { return IsOpen() && ::FlushFileBuffers(AsHandle(handle_)) != 0; }

bool OutputFile::Close() {
  if (!IsOpen()) return true;
  HANDLE handle = AsHandle(handle_);
  handle_ = kInvalid;
  return ::CloseHandle(handle) != 0;
}

bool MoveReplacing(const Text& source, const Text& target) {
  return ::MoveFileExW(W(source), W(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const Text& path) { return ::DeleteFileW(W(path)) != 0; }

}  // namespace Platform
