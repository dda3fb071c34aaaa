// Shared by the folder search, its POSIX and Windows layers and its
// callers: what an entry of a folder carries, and the bits that say what a
// search delivers.
#pragma once

#include <cstdint>
#include <functional>

#include "base/Text.h"
#include "platform/Clock.h"
#include "taken/TakenDate.h"

namespace Platform {

// Attribute bits of the 32-bit attribute word (the Windows values; the POSIX
// layer synthesises them).
constexpr uint32_t kAttrReadOnly = 0x1;
constexpr uint32_t kAttrHidden = 0x2;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrNormal = 0x80;
constexpr uint32_t kAttrReparsePoint = 0x400;

// How a search read a file's taken date (kSearchTaken).
enum class TakenRead : uint8_t {
  kNotRead,      // not asked for: no file, or one the search's taken test leaves out
  kRead,         // read: `taken` is what the file records, perhaps none
  kNoHandles,    // not opened: no descriptor or handle to spare in this process or the system
  kFailed,       // it could not be opened or read
  kPlaceholder,  // not opened: a placeholder of a cloud folder, which opening would fetch (Windows)
};

// One entry of a folder search.
struct DirEntry {
  Text name;
  uint32_t attributes = 0;
  uint64_t size = 0;
  FileTime created = 0, lastWrite = 0, lastAccess = 0;  // filled when asked for
  TakenDate::Moment taken;  // with kSearchTaken: when a picture or video file was taken
  // With kSearchFileSystems: a folder, or a link to one, that leads to
  // another file system than the folder listed (POSIX: another device;
  // Windows: another volume serial, told of reparse points only with
  // kSearchFollow, as a search enters none without). False where that is
  // not known, and for "." and "..".
  bool otherFileSystem = false;
  TakenRead takenRead = TakenRead::kNotRead;

  bool IsDirectory() const { return (attributes & kAttrDirectory) != 0; }
};

// Identity of a folder: volume and index (POSIX: device and inode; Windows:
// volume serial and file index). An index of 0 means unknown.
struct FolderId {
  uint64_t volume = 0, index = 0;
  bool operator==(const FolderId&) const = default;
};

// What a search delivers and how it opens folders, as bits.
constexpr unsigned kSearchTimes = 1;    // each entry's three time stamps (else they may stay 0)
constexpr unsigned kSearchFollow = 2;   // a subfolder is opened through a link in its place
constexpr unsigned kSearchTargets = 4;  // a link to a file is dated by its file (a dangling one by itself)
constexpr unsigned kSearchTaken = 8;    // each file's taken date, read from its metadata (TakenDate)
constexpr unsigned kSearchFileSystems = 16;  // whether a folder lies on another file system (otherFileSystem)
// With kSearchTimes, the one stamp the caller dates by, where it needs no
// other: the system may then be asked for that one only (the others may
// stay as it leaves them). A creation time that is not recorded is still
// the last write.
constexpr unsigned kSearchOnlyCreated = 32;
constexpr unsigned kSearchOnlyWritten = 64;
constexpr unsigned kSearchOnlyAccessed = 128;
constexpr unsigned kSearchOnlyStamp = kSearchOnlyCreated | kSearchOnlyWritten | kSearchOnlyAccessed;

// Which files' taken dates a search reads (kSearchTaken): those whose names
// it admits, asked on the program thread before a file is opened. Null:
// every file's.
using TakenTest = std::function<bool(TextView name)>;

}  // namespace Platform
