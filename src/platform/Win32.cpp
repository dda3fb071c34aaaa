// The platform services on Windows, through the Win32 API. Text is passed to
// the W functions as it is: wchar_t is UTF-16 here.
#include <windows.h>
// After windows.h: ShellExecuteExW and COM's start, for opening files.
#include <objbase.h>
#include <shellapi.h>

#include <map>
#include <utility>

#include "platform/LocalTimeCache.h"
#include "platform/Platform.h"

namespace Platform {

extern const char16_t kSeparator = u'\\';
extern const char16_t* const kNameSeparators = u"\\/";
extern const char16_t* const kSwitchPrefix = u"/";
extern const bool kSlashSwitches = true;
extern const bool kNamesIgnoreCase = true;
extern const bool kLongPathPrefixes = true;
extern const bool kWindowsConventions = true;
extern const bool kRootLists = true;

namespace {

const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
Text FromW(const wchar_t* text) { return Text(reinterpret_cast<const char16_t*>(text)); }
Text FromW(const wchar_t* text, size_t size) { return Text(reinterpret_cast<const char16_t*>(text), size); }

// A time stamp beyond what a signed file time holds (past the year 30828)
// becomes the last one it holds, past every date as well.
FileTime TicksOf(const FILETIME& time) {
  const uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return ticks > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<FileTime>(ticks);
}

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

// ---- Process ----------------------------------------------------------------

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

void ShowInformation(const Text& text, const Text& caption) {
  ::MessageBoxW(nullptr, W(text), W(caption), MB_ICONINFORMATION | MB_OK);
}

void ShowDiagnostic(const Text&) {}

// The windowless program has no terminal for a progress line.
int ProgressColumns() { return 0; }
void ShowProgress(const Text&) {}
void ClearProgress() {}

void DebugOutput(const Text& line) { ::OutputDebugStringW(W(line)); }

uint32_t ProcessId() { return ::GetCurrentProcessId(); }

std::vector<Text> LogFolders(const Text& programFolder) {
  std::vector<Text> folders{programFolder};
  std::wstring buffer(MAX_PATH, L'\0');
  DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n >= buffer.size()) {
    buffer.resize(n);
    n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
  }
  if (n == 0 || n >= buffer.size()) return folders;
  Text base = FromW(buffer.data(), n);
  if (base.back() != u'\\') base += u'\\';
  folders.push_back(base + u"Datemill\\");
  return folders;
}

bool MakeFolders(const Text& path) {
  // Each folder from the top down; the ones that exist (and "C:") refuse.
  for (size_t at = path.find_first_of(u"\\/", 1); at != Text::npos; at = path.find_first_of(u"\\/", at + 1)) {
    ::CreateDirectoryW(W(path.substr(0, at)), nullptr);
  }
  ::CreateDirectoryW(W(path), nullptr);
  const DWORD attributes = ::GetFileAttributesW(W(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Text FailureText(Failure failure) {
  const DWORD error = failure == Failure::kLastCall ? ::GetLastError() : ERROR_ACCESS_DENIED;
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

// ---- File system ------------------------------------------------------------

struct DirSearch::State {
  HANDLE handle = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data{};
  bool pending = false;  // `data` holds the first entry, not yet delivered
  Text folder;           // the path searched, up to its last separator
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
  state_->folder = pathAndPattern.substr(0, pathAndPattern.find_last_of(u"\\/") + 1);
  return SearchStatus::kOpened;
}

// A subfolder is searched by its whole path: Windows takes paths of any
// length in their long form.
SearchStatus DirSearch::OpenIn(const HeldFolder& parent, const Text& name, bool withTimes) {
  return Open(parent.path_ + name + u"\\*.*", withTimes);
}

bool DirSearch::Hold(HeldFolder& folder) const {
  if (state_ == nullptr || state_->folder.empty()) return false;
  folder.path_ = state_->folder;
  return true;
}

bool DirSearch::Identity(FolderId& id) const {
  if (state_ == nullptr || state_->folder.empty()) return false;
  // Backup semantics let CreateFileW open a folder; no access is needed to
  // read its identity. A link is followed to the folder it names.
  HANDLE handle = ::CreateFileW(W(state_->folder), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
  ::CloseHandle(handle);
  if (!ok) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

HeldFolder::HeldFolder(HeldFolder&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }

HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
  path_ = std::move(other.path_);
  other.path_.clear();
  return *this;
}

bool HeldFolder::Open(const Text& path) {
  const DWORD attributes = ::GetFileAttributesW(W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  path_ = path;
  if (path_.back() != u'\\') path_ += u'\\';
  return true;
}

void HeldFolder::Close() { path_.clear(); }

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

Text FolderProblem(const Text&) { return Text(); }

Text FullPath(const Text& path) {
  const DWORD size = ::GetFullPathNameW(W(path), 0, nullptr, nullptr);
  if (size == 0) return Text();
  std::wstring buffer(size, L'\0');
  const DWORD n = ::GetFullPathNameW(W(path), size, buffer.data(), nullptr);
  return n > 0 && n < size ? FromW(buffer.data(), n) : Text();
}

uint32_t DriveType(const Text& root) { return ::GetDriveTypeW(W(root)); }

namespace {

int64_t SecondsOf(const SYSTEMTIME& t) {
  return Calendar::SecondsFromFields(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

// The zone's rules for one year, asked once per year: daylight-saving rules
// change over the years (the US rules of 2007, for one), and without them
// SystemTimeToTzSpecificLocalTime applies this year's rules to every stamp.
// Null when the system cannot say; the current rules are used then.
const TIME_ZONE_INFORMATION* ZoneRulesFor(WORD year) {
  struct Rules {
    bool known = false;
    TIME_ZONE_INFORMATION info{};
  };
  static std::map<WORD, Rules> years;
  auto [at, added] = years.try_emplace(year);
  if (added) at->second.known = ::GetTimeZoneInformationForYear(year, nullptr, &at->second.info) != 0;
  return at->second.known ? &at->second.info : nullptr;
}

// The offset of local time at a UTC second, with the rules of that second's
// year. (SystemTimeToTzSpecificLocalTimeEx would end the process under some
// Windows emulations, where it is missing.)
bool WindowsOffsetAt(int64_t utc, int64_t& offset) {
  const int64_t ticks = (utc * Calendar::kTicksPerSecond) + Calendar::kUnixEpochTicks;
  if (ticks < 0) return false;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  SYSTEMTIME universal, local;
  if (!::FileTimeToSystemTime(&time, &universal)) return false;
  if (!::SystemTimeToTzSpecificLocalTime(ZoneRulesFor(universal.wYear), &universal, &local)) return false;
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

void PrepareFileWrites() {}

Text UsableFileName(TextView name) {
  // "C:" names no file but drive C's current folder: "C:.txt" would land
  // there as ".txt".
  const bool drive = name.size() == 2 && name[1] == u':' && AsciiLowerUnit(name[0]) >= u'a' &&
                     AsciiLowerUnit(name[0]) <= u'z';
  if (drive) return Text(1, name[0]);
  Text usable(name);
  for (char16_t& unit : usable) {
    if (unit < 0x20 || TextView(u"<>:\"/\\|?*").find(unit) != TextView::npos) unit = u'_';
  }
  return usable;
}

bool FinalPath(const Text& path, Text& final) {
  // Asked of every existing file, not only of reparse points: Wine shows a
  // POSIX symbolic link as a plain file but opens the file it names.
  HANDLE handle =
      ::CreateFileW(W(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  final = path;
  if (handle == INVALID_HANDLE_VALUE) {
    // Nothing there (or a folder), unless it is a link whose file cannot be
    // reached: that one cannot be followed.
    const DWORD attributes = ::GetFileAttributesW(W(path));
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  }
  std::wstring buffer(MAX_PATH, L'\0');
  constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  DWORD n = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), kFlags);
  if (n >= buffer.size()) {
    buffer.resize(n + 1);
    n = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), kFlags);
  }
  ::CloseHandle(handle);
  // A volume without a drive name keeps the path as given.
  if (n > 0 && n < buffer.size()) final = FromW(buffer.data(), n);
  return true;
}

bool QueryFile(const Text& path, FileFacts& facts) {
  const DWORD attributes = ::GetFileAttributesW(W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    facts.exists = false;
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  facts.exists = true;
  facts.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  facts.links = 1;
  if (!facts.folder && !facts.readOnly) {
    // Whether its access list lets this process write it: ask for write
    // access, sharing everything, so that a file another process holds
    // open only refuses where it shares nothing (a sharing violation, which
    // says nothing about the right to write).
    HANDLE probe =
        ::CreateFileW(W(path), FILE_WRITE_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      ::CloseHandle(probe);
    } else {
      facts.readOnly = ::GetLastError() == ERROR_ACCESS_DENIED;
    }
  }
  HANDLE handle =
      ::CreateFileW(W(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileInformationByHandle(handle, &info)) facts.links = info.nNumberOfLinks;
    ::CloseHandle(handle);
  }
  return true;
}

OutputFile::~OutputFile() { Close(); }

namespace {

// Refused: the folder (or the medium) takes no new files from this process.
// Everything else is a failure of its own, which writing in place instead
// would only make worse.
OutputFile::Failure FailureOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return OutputFile::Failure::kExists;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD: return OutputFile::Failure::kRefused;
    default: return OutputFile::Failure::kOther;
  }
}

}  // namespace

bool OutputFile::Open(const Text& path, Mode mode, Share share) {
  Close();
  failure_ = Failure::kNone;
  // The path's UTF-16 units with their terminating zero, for Discard.
  name_.assign(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(char16_t));
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
  if (handle == INVALID_HANDLE_VALUE) {
    failure_ = FailureOf(::GetLastError());
    name_.clear();  // not this process's file to delete
    return false;
  }
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

bool OutputFile::EndHere() { return IsOpen() && ::SetEndOfFile(AsHandle(handle_)) != 0; }

bool OutputFile::CopySettingsFrom(const Text& model) {
  const DWORD attributes = ::GetFileAttributesW(W(model));
  if (!IsOpen() || attributes == INVALID_FILE_ATTRIBUTES) return false;
  // The archive attribute says the content has changed since the last
  // backup, which is true of a new report whatever the old one said.
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO info{};  // times of 0 are left as they are
  info.FileAttributes = (attributes & kKept) | FILE_ATTRIBUTE_ARCHIVE;
  return ::SetFileInformationByHandle(AsHandle(handle_), FileBasicInfo, &info, sizeof(info)) != 0;
}

bool OutputFile::Flush() { return IsOpen() && ::FlushFileBuffers(AsHandle(handle_)) != 0; }

bool OutputFile::Close() {
  if (!IsOpen()) return true;
  HANDLE handle = AsHandle(handle_);
  handle_ = kInvalid;
  return ::CloseHandle(handle) != 0;
}

bool OutputFile::Discard() noexcept {
  Close();
  const bool deleted = !name_.empty() && ::DeleteFileW(reinterpret_cast<const wchar_t*>(name_.c_str())) != 0;
  name_.clear();
  return deleted;
}

bool MoveReplacing(const Text& source, const Text& target) {
  return ::MoveFileExW(W(source), W(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool MakeFolder(const Text& path) { return ::CreateDirectoryW(W(path), nullptr) != 0; }

// ---- Opening files ----------------------------------------------------------

namespace {

// How long the opener is given to hand the file on.
constexpr DWORD kOpenerWaitMs = 5000;

Text ErrorText(const Text& what, DWORD error) { return what + u" failed with error " + DecimalText(error); }

// The stand-in opener named by DATEMILL_OPENER, started with the path as its
// argument.
OpenResult OpenWithStandIn(const Text& opener, const Text& path, Text& problem) {
  std::wstring line = L"\"" + std::wstring(W(opener)) + L"\" \"" + W(path) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(W(opener), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process)) {
    problem = ErrorText(u"Starting " + opener, ::GetLastError());
    return OpenResult::kFailed;
  }
  DWORD status = 0;
  const bool ended = ::WaitForSingleObject(process.hProcess, kOpenerWaitMs) == WAIT_OBJECT_0;
  if (ended && (::GetExitCodeProcess(process.hProcess, &status) == 0 || status != 0)) {
    problem = opener + u" ended with status " + DecimalText(status);
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return problem.empty() ? OpenResult::kOpened : OpenResult::kFailed;
}

}  // namespace

OpenResult OpenWithDefaultProgram(const Text& path, Text& problem) {
  const DWORD size = ::GetEnvironmentVariableW(L"DATEMILL_OPENER", nullptr, 0);
  if (size > 1) {
    std::wstring opener(size, L'\0');
    const DWORD n = ::GetEnvironmentVariableW(L"DATEMILL_OPENER", opener.data(), size);
    return OpenWithStandIn(FromW(opener.data(), n), path, problem);
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
  if (::ShellExecuteExW(&info)) return OpenResult::kOpened;
  problem = ErrorText(u"ShellExecuteExW", ::GetLastError());
  return OpenResult::kFailed;
}

}  // namespace Platform
