// The folder search on Windows: FindFirstFileExW and its kin, a folder's
// identity, and the taken dates of its files.
#include "platform/Search.h"

#include <cstdint>
#include <memory>
#include <utility>

#include "base/Paths.h"
#include "platform/win32/Common.h"

namespace Platform {

using win32::FromW;
using win32::W;

struct SearchState {
  HANDLE handle = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data{};
  bool pending = false;                // `data` holds the first entry, not yet delivered
  bool follow = false;                 // subfolders are entered through links
  bool targets = false;                // a link to a file is dated by its file
  Text folder;                         // the path searched, up to its last separator
  bool taken = false;                  // the files' taken dates are read
  const TakenTest* takenOf = nullptr;  // ... of the files it admits (null: all)
  // Links to folders on another volume are told (otherFileSystem): the
  // volume serial of the folder searched, once a link asks for it.
  bool fileSystems = false;
  enum class Volume { kUnasked, kKnown, kUnknown } volume = Volume::kUnasked;
  DWORD serial = 0;
};

namespace {

// A time stamp beyond what a signed file time holds (past the year 30828)
// becomes the last one it holds, past every date as well.
inline FileTime TicksOf(const FILETIME& time) {
  const uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return ticks > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<FileTime>(ticks);
}

// The status of a search that failed to start for `error`, and why.
Outcome<SearchStatus> Failed(DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return {SearchStatus::kNoMatch, Text()};
  const bool exhausted = error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NO_SYSTEM_RESOURCES;
  return {exhausted ? SearchStatus::kNoHandles : SearchStatus::kFailed, win32::SystemMessage(error)};
}

bool IsLink(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The facts of what `path` names, links followed, opened with `flags` and
// no access but to its attributes; false when it cannot be reached.
bool FileInformation(const Text& path, DWORD flags, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE handle =
      ::CreateFileW(W(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
  ::CloseHandle(handle);
  return ok;
}

// The times of the file a link `path` names; false when it cannot be reached.
bool TargetTimes(const Text& path, WIN32_FIND_DATAW& data) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!FileInformation(path, FILE_ATTRIBUTE_NORMAL, info)) return false;
  data.ftCreationTime = info.ftCreationTime;
  data.ftLastWriteTime = info.ftLastWriteTime;
  data.ftLastAccessTime = info.ftLastAccessTime;
  data.nFileSizeHigh = info.nFileSizeHigh;
  data.nFileSizeLow = info.nFileSizeLow;
  return true;
}

// The volume serial of what `path` names, links followed; false when it
// cannot be reached.
bool VolumeSerial(const Text& path, DWORD& serial) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!FileInformation(path, FILE_FLAG_BACKUP_SEMANTICS, info)) return false;
  serial = info.dwVolumeSerialNumber;
  return true;
}

// Whether the entry `name` of the search `s`, a reparse point with the
// folder bit that the search enters (it follows links), leads to another
// volume than the folder searched. A folder that is no reparse point lies
// on the volume of its parent: only a reparse point (a mount point, a
// junction, a symbolic link) leads elsewhere, so only these are opened.
bool OnOtherVolume(SearchState& s, const Text& name) {
  if (s.volume == SearchState::Volume::kUnasked) {
    s.volume = VolumeSerial(s.folder, s.serial) ? SearchState::Volume::kKnown : SearchState::Volume::kUnknown;
  }
  DWORD serial = 0;
  return s.volume == SearchState::Volume::kKnown && VolumeSerial(Paths::Join(s.folder, name), serial) &&
         serial != s.serial;
}

int64_t ReadFromFile(void* context, uint64_t offset, unsigned char* out, size_t size) {
  OVERLAPPED at{};  // the place to read from; the handle itself is not overlapped
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (::ReadFile(*static_cast<HANDLE*>(context), out, static_cast<DWORD>(size), &got, &at)) return got;
  return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

// The attributes of a file whose data is elsewhere: a placeholder of a
// cloud folder, or an offline file. Opening it would fetch it.
constexpr DWORD kRecallOnOpen = 0x40000;         // FILE_ATTRIBUTE_RECALL_ON_OPEN
constexpr DWORD kRecallOnDataAccess = 0x400000;  // FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS
constexpr DWORD kDataElsewhere = FILE_ATTRIBUTE_OFFLINE | kRecallOnOpen | kRecallOnDataAccess;

// Opens `path` to read, letting others read, write and delete it meanwhile.
// Where the rights allow writing its attributes, the handle's reads leave
// its last-access time as it was (a time of all ones); where not, it is
// opened to read only, and the system may set that time as for any read.
HANDLE OpenToRead(const Text& path) {
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;
  HANDLE file = ::CreateFileW(W(path), GENERIC_READ | FILE_WRITE_ATTRIBUTES, kShare, nullptr, OPEN_EXISTING,
                              kFlags, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return ::CreateFileW(W(path), GENERIC_READ, kShare, nullptr, OPEN_EXISTING, kFlags, nullptr);
  FILETIME unchanged{0xFFFFFFFF, 0xFFFFFFFF};
  ::SetFileTime(file, nullptr, &unchanged, nullptr);
  return file;
}

// When the file `path` was taken, from its metadata, through one open
// (OpenToRead); how it went into `read`. The searches run on the program
// thread, and share one scratch buffer.
TakenDate::Moment ReadTaken(const Text& path, TakenRead& read) {
  static const std::unique_ptr<unsigned char[]> scratch =
      std::make_unique_for_overwrite<unsigned char[]>(TakenDate::kScratchBytes);
  HANDLE file = OpenToRead(path);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    const bool exhausted = error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NO_SYSTEM_RESOURCES;
    read = exhausted ? TakenRead::kNoHandles : TakenRead::kFailed;
    return {};
  }
  const TakenDate::Moment taken = TakenDate::Read(&ReadFromFile, &file, scratch.get());
  ::CloseHandle(file);
  read = TakenRead::kRead;
  return taken;
}

// The taken date of the entry just found in `s`: not through a link unless
// links are dated by their files, not of a file the search's test leaves
// out, and not of one whose data is elsewhere.
void TakeDate(const SearchState& s, DirEntry& entry) {
  const DWORD attributes = s.data.dwFileAttributes;
  entry.taken = {};
  entry.takenRead = TakenRead::kNotRead;
  const bool file = (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  if (!s.taken || !file || (IsLink(attributes) && !s.targets)) return;
  if (s.takenOf != nullptr && !(*s.takenOf)(entry.name)) return;
  if ((attributes & kDataElsewhere) != 0) {
    entry.takenRead = TakenRead::kPlaceholder;
    return;
  }
  entry.taken = ReadTaken(Paths::Join(s.folder, entry.name), entry.takenRead);
}

}  // namespace

DirSearch::~DirSearch() { Close(); }

void DirSearch::Close() {
  if (state_ == nullptr) return;
  if (state_->handle != INVALID_HANDLE_VALUE) ::FindClose(state_->handle);
  delete state_;
  state_ = nullptr;
}

Outcome<SearchStatus> DirSearch::Open(const Text& pathAndPattern, unsigned flags, const TakenTest* takenOf) {
  Close();
  listingFailure_.clear();
  state_ = new SearchState;
  state_->follow = (flags & kSearchFollow) != 0;
  state_->targets = (flags & kSearchTargets) != 0;
  state_->taken = (flags & kSearchTaken) != 0;
  state_->fileSystems = (flags & kSearchFileSystems) != 0;
  state_->takenOf = takenOf;
  // The basic information level skips the short names, which nothing here
  // reads; the large fetch asks for many entries per call.
  state_->handle = ::FindFirstFileExW(W(pathAndPattern), FindExInfoBasic, &state_->data,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (state_->handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    Close();
    return Failed(error);
  }
  state_->pending = true;
  state_->folder = Paths::FolderOf(pathAndPattern);
  return {SearchStatus::kOpened, Text()};
}

// A subfolder is searched by its whole path: Windows takes paths of any
// length in their long form. Without following links, one that has become
// a reparse point since its parent was listed is not entered.
Outcome<SearchStatus> DirSearch::OpenIn(const HeldFolder& parent, const Text& name, unsigned flags,
                                        const TakenTest* takenOf) {
  const Text folder = Paths::Join(parent.path_, name);
  if ((flags & kSearchFollow) == 0 && IsLink(::GetFileAttributesW(W(folder)))) {
    Close();
    listingFailure_.clear();
    return {SearchStatus::kFailed, u"a link has taken the folder's place"};
  }
  return Open(Paths::Join(folder, u"*.*"), flags, takenOf);
}

bool DirSearch::Hold(HeldFolder& folder, const std::vector<Text>&) const {
  if (state_ == nullptr || state_->folder.empty()) return false;
  folder.path_ = state_->folder;
  folder.followed_ = state_->follow;
  return true;
}

bool DirSearch::Identity(FolderId& id) const {
  if (state_ == nullptr || state_->folder.empty()) return false;
  // Backup semantics let CreateFileW open a folder. A link is followed to
  // the folder it names.
  BY_HANDLE_FILE_INFORMATION info;
  if (!FileInformation(state_->folder, FILE_FLAG_BACKUP_SEMANTICS, info)) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

HeldFolder::HeldFolder(HeldFolder&& other) noexcept
    : path_(std::move(other.path_)), followed_(other.followed_) {
  other.path_.clear();
}

HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
  path_ = std::move(other.path_);
  followed_ = other.followed_;
  other.path_.clear();
  return *this;
}

Done HeldFolder::Open(const Text& path) {
  const DWORD attributes = ::GetFileAttributesW(W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return FailedFor(win32::SystemMessage(::GetLastError()));
  // Held again by its path, it must still be a folder, and not a link that
  // has taken its place (unless the walk follows links).
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (IsLink(attributes) && !followed_)) {
    return FailedFor(u"another folder or a link has taken its place");
  }
  path_ = Paths::AsFolder(path);
  return Succeeded();
}

void HeldFolder::Close() { path_.clear(); }

bool DirSearch::Next(DirEntry& entry) {
  if (state_ == nullptr) return false;
  if (state_->pending) {
    state_->pending = false;
  } else if (!::FindNextFileW(state_->handle, &state_->data)) {
    // The end of the listing, or a failure to read it further.
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES) listingFailure_ = win32::SystemMessage(error);
    return false;
  }
  WIN32_FIND_DATAW& d = state_->data;
  entry.name.assign(reinterpret_cast<const char16_t*>(d.cFileName));
  entry.attributes = d.dwFileAttributes;
  // A link to a file may be dated by its file.
  if (state_->targets && IsLink(d.dwFileAttributes) && (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    TargetTimes(Paths::Join(state_->folder, entry.name), d);
  entry.size = (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
  entry.lastWrite = TicksOf(d.ftLastWriteTime);
  entry.lastAccess = TicksOf(d.ftLastAccessTime);
  // A creation time of 0 is none recorded: the last write stands in, as
  // where a file system keeps no creation time.
  const FileTime created = TicksOf(d.ftCreationTime);
  entry.created = created == 0 ? entry.lastWrite : created;
  const bool file = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  entry.otherFileSystem = state_->fileSystems && state_->follow && !file && IsLink(d.dwFileAttributes) &&
                          entry.name != u"." && entry.name != u".." && OnOtherVolume(*state_, entry.name);
  TakeDate(*state_, entry);
  return true;
}

void DirSearch::ReadTakenAgain(DirEntry& entry) const {
  if (state_ != nullptr) entry.taken = ReadTaken(Paths::Join(state_->folder, entry.name), entry.takenRead);
}

size_t FoldersToHold() { return SIZE_MAX; }  // a held folder is its path: no handle is kept

}  // namespace Platform
