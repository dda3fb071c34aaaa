// Questions about paths on Windows: attributes, what a path names, whether
// a folder can be listed, full paths and drive types.
#include "platform/FileSystem.h"

#include <string>
#include <utility>

#include "base/Paths.h"
#include "platform/Search.h"
#include "platform/win32/Common.h"

namespace Platform {

using win32::FromW;
using win32::W;

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

Done CanList(const Text& path) {
  const DWORD attributes = ::GetFileAttributesW(W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return FailedFor(win32::SystemMessage(::GetLastError()));
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return FailedFor(win32::SystemMessage(ERROR_DIRECTORY));
  // Searched the way the walk searches it, so the answer is the one it got.
  DirSearch search;
  Outcome<SearchStatus> opening = search.Open(Paths::Join(path, u"*.*"), 0);
  return opening.reason.empty() ? Succeeded() : FailedFor(std::move(opening.reason));
}

Text FullPath(const Text& path) {
  const DWORD size = ::GetFullPathNameW(W(path), 0, nullptr, nullptr);
  if (size == 0) return Text();
  std::wstring buffer(size, L'\0');
  const DWORD n = ::GetFullPathNameW(W(path), size, buffer.data(), nullptr);
  return n > 0 && n < size ? FromW(buffer.data(), n) : Text();
}

bool FolderIdentity(const Text& path, FolderId& id) {
  // Backup semantics let CreateFileW open a folder; a link is followed.
  HANDLE handle =
      ::CreateFileW(W(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(handle, &info) != 0 &&
                  (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  ::CloseHandle(handle);
  if (!ok) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

uint32_t DriveType(const Text& root) { return ::GetDriveTypeW(W(root)); }

}  // namespace Platform
