// Writing files on Windows: output files opened, written, made durable,
// closed, moved over the files they replace or deleted, what replacing a
// file must respect of the one it replaces, and the interruptions.
#include "platform/Files.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "platform/win32/Common.h"

namespace Platform {

using win32::AsHandle;
using win32::FromW;
using win32::W;

namespace {

// The temporary file to delete on an interruption, made before it is
// published; the console's handler runs on a thread of its own, and waits
// under the lock while a temporary file is being made.
std::atomic<wchar_t*> pendingDelete{nullptr};
SRWLOCK making = SRWLOCK_INIT;

BOOL WINAPI DeleteAndEnd(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
      event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
    return FALSE;
  ::AcquireSRWLockExclusive(&making);
  // Still open, it is marked for deletion and goes when the process ends.
  if (wchar_t* path = pendingDelete.exchange(nullptr)) ::DeleteFileW(path);
  ::ReleaseSRWLockExclusive(&making);
  return FALSE;  // the default handler ends the process
}

// A copy of `path` for the handler.
wchar_t* HandlerCopy(const Text& path) {
  auto* copy = new wchar_t[path.size() + 1];
  std::copy(path.begin(), path.end(), copy);
  copy[path.size()] = L'\0';
  return copy;
}

// Marks the open file `handle` to be deleted when its last handle closes,
// or takes the mark back; false when the system refuses.
bool MarkForDeletion(HANDLE handle, bool marked) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = marked ? TRUE : FALSE;
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &info, sizeof(info)) != 0;
}

}  // namespace

void PrepareFileWrites() { ::SetConsoleCtrlHandler(&DeleteAndEnd, TRUE); }

void ForgetOnInterrupt() { delete[] pendingDelete.exchange(nullptr); }

Done FinalPath(const Text& path, Text& final) {
  // Asked of every existing file, not only of reparse points: Wine shows a
  // POSIX symbolic link as a plain file but opens the file it names.
  HANDLE handle =
      ::CreateFileW(W(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  final = path;
  if (handle == INVALID_HANDLE_VALUE) {
    // Nothing there (or a folder), unless it is a link whose file cannot be
    // reached: that one cannot be followed.
    const DWORD error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(W(path));
    const bool followed =
        attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    return followed ? Succeeded() : FailedFor(win32::SystemMessage(error));
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
  return Succeeded();
}

Done QueryFile(const Text& path, FileFacts& facts) {
  const DWORD attributes = ::GetFileAttributesW(W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    facts.exists = false;
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
               ? Succeeded()
               : FailedFor(win32::SystemMessage(error));
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
  return Succeeded();
}

namespace {

// Refused: the folder (or the medium) takes no new files from this process.
// Everything else is a failure of its own, which writing in place instead
// would only make worse.
OutputFile::Opening FailureOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return OutputFile::Opening::kExists;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD: return OutputFile::Opening::kRefused;
    default: return OutputFile::Opening::kOther;
  }
}

}  // namespace

Outcome<OutputFile::Opening> OutputFile::Open(const Text& path, Mode mode, Share share) {
  CloseQuietly();
  marked_ = false;
  // The path's UTF-16 units with their terminating zero, for Discard.
  name_.assign(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(char16_t));
  DWORD disposition = CREATE_NEW;
  switch (mode) {
    case Mode::kCreateNew:
    case Mode::kCreateTemporary: disposition = CREATE_NEW; break;
    case Mode::kCreateAlways: disposition = CREATE_ALWAYS; break;
    case Mode::kTruncateExisting: disposition = TRUNCATE_EXISTING; break;
    case Mode::kOpenAlways: disposition = OPEN_ALWAYS; break;
  }
  const DWORD shareMode = share == Share::kRead ? FILE_SHARE_READ : 0;
  const bool temporary = mode == Mode::kCreateTemporary;
  // A temporary file is marked for deletion while it is open, so that the
  // end of the process, however it comes (a kill, the end of the session),
  // takes it along; the handler waits until it is made and named.
  std::unique_ptr<wchar_t[]> copy(temporary ? HandlerCopy(path) : nullptr);
  if (temporary) ::AcquireSRWLockExclusive(&making);
  HANDLE handle = ::CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE | (temporary ? DELETE : 0), shareMode,
                                nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = ::GetLastError();
  if (handle != INVALID_HANDLE_VALUE && temporary) {
    marked_ = MarkForDeletion(handle, true);
    delete[] pendingDelete.exchange(copy.release());
  }
  if (temporary) ::ReleaseSRWLockExclusive(&making);
  if (handle == INVALID_HANDLE_VALUE) {
    name_.clear();  // not this process's file to delete
    return {FailureOf(error), win32::SystemMessage(error)};
  }
  handle_ = reinterpret_cast<intptr_t>(handle);
  return {Opening::kOpened, Text()};
}

namespace {

// Succeeded when `ok`, else the failure the last error tells.
Done DoneIf(bool ok) { return ok ? Succeeded() : FailedFor(win32::SystemMessage(::GetLastError())); }

}  // namespace

Done OutputFile::SeekToEnd() {
  LARGE_INTEGER zero{};
  return DoneIf(IsOpen() && ::SetFilePointerEx(AsHandle(handle_), zero, nullptr, FILE_END) != 0);
}

Done OutputFile::Write(const void* data, size_t size) {
  if (!IsOpen()) return FailedFor(win32::SystemMessage(ERROR_INVALID_HANDLE));
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(AsHandle(handle_), bytes, chunk, &written, nullptr)) return DoneIf(false);
    if (written == 0) return FailedFor(win32::SystemMessage(ERROR_WRITE_FAULT));
    bytes += written;
    size -= written;
  }
  return Succeeded();
}

Done OutputFile::EndHere() { return DoneIf(IsOpen() && ::SetEndOfFile(AsHandle(handle_)) != 0); }

Done OutputFile::CopySettingsFrom(const Text& model) {
  const DWORD attributes = ::GetFileAttributesW(W(model));
  if (!IsOpen() || attributes == INVALID_FILE_ATTRIBUTES) return DoneIf(false);
  // The archive attribute says the content has changed since the last
  // backup, which is true of a new report whatever the old one said.
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO info{};  // times of 0 are left as they are
  info.FileAttributes = (attributes & kKept) | FILE_ATTRIBUTE_ARCHIVE;
  return DoneIf(::SetFileInformationByHandle(AsHandle(handle_), FileBasicInfo, &info, sizeof(info)) != 0);
}

Done OutputFile::Flush() { return DoneIf(IsOpen() && ::FlushFileBuffers(AsHandle(handle_)) != 0); }

bool OutputFile::CloseQuietly() noexcept {
  if (!IsOpen()) return true;
  HANDLE handle = AsHandle(handle_);
  handle_ = kInvalid;
  return ::CloseHandle(handle) != 0;
}

Done OutputFile::Close() {
  // Kept: its mark is taken back before it is closed (an interruption
  // from here on deletes it by its name, PrepareFileWrites).
  if (IsOpen() && marked_ && !MarkForDeletion(AsHandle(handle_), false)) return DoneIf(false);
  marked_ = false;
  return DoneIf(CloseQuietly());
}

bool OutputFile::Discard() noexcept {
  CloseQuietly();  // a file still marked goes with its handle
  const auto* name = reinterpret_cast<const wchar_t*>(name_.c_str());
  bool deleted = !name_.empty() && ::DeleteFileW(name) != 0;
  if (!deleted && marked_) deleted = ::GetFileAttributesW(name) == INVALID_FILE_ATTRIBUTES;
  marked_ = false;
  name_.clear();
  return deleted;
}

Done MoveReplacing(const Text& source, const Text& target) {
  return DoneIf(::MoveFileExW(W(source), W(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0);
}

Done RemoveFile(const Text& path) { return DoneIf(::DeleteFileW(W(path)) != 0); }

FileTime StampNow() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return static_cast<FileTime>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

bool MakeFolder(const Text& path) { return ::CreateDirectoryW(W(path), nullptr) != 0; }

bool MakeFolders(const Text& path) {
  // Each folder from the top down; the ones that exist (and "C:") refuse.
  for (size_t at = path.find_first_of(u"\\/", 1); at != Text::npos; at = path.find_first_of(u"\\/", at + 1)) {
    ::CreateDirectoryW(W(path.substr(0, at)), nullptr);
  }
  ::CreateDirectoryW(W(path), nullptr);
  const DWORD attributes = ::GetFileAttributesW(W(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Windows itself refuses both with "Access is denied".
Text RefusalReason(Refusal) { return win32::SystemMessage(ERROR_ACCESS_DENIED); }

}  // namespace Platform
