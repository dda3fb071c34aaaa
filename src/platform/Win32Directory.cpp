// Directory search and path queries on Windows: FindFirstFileExW and its
// kin, a folder's identity, attributes, full paths and drive types.
#include <utility>

#include "Paths.h"
#include "platform/Win32Common.h"

namespace Platform {

using win32::FromW;
using win32::TicksOf;
using win32::W;

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
  state_->folder = Paths::FolderOf(pathAndPattern);
  return SearchStatus::kOpened;
}

// A subfolder is searched by its whole path: Windows takes paths of any
// length in their long form.
SearchStatus DirSearch::OpenIn(const HeldFolder& parent, const Text& name, bool withTimes) {
  return Open(Paths::Join(Paths::Join(parent.path_, name), u"*.*"), withTimes);
}

bool DirSearch::Hold(HeldFolder& folder, const std::vector<Text>&) const {
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
  path_ = Paths::AsFolder(path);
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

}  // namespace Platform
