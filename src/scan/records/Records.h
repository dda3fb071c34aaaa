// The scanner's records: one FolderRecord per admitted folder, holding the
// FileRecords of the files directly inside it. Dates are date values (see
// Process.h); fields the scan was not asked to fill stay 0.
//
// A file's Path is its folder's Path and its own name, kept in the name
// store of the list that holds the record: no block of memory per file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <type_traits>
#include <vector>

#include "base/Text.h"
#include "scan/records/NameStore.h"

// A full path in two pieces (folder and name) that live elsewhere, or, when
// assigned as a whole, in a block of its own. Reads like a Text: it compares
// with texts and paths unit by unit and converts to a Text.
class RecordPath {
 public:
  RecordPath() = default;
  RecordPath(TextView path) { Own(path); }  // NOLINT: a path reads as a text
  RecordPath(const Text& path) : RecordPath(TextView(path)) {}
  RecordPath(const char16_t* path) : RecordPath(TextView(path)) {}
  RecordPath(const RecordPath& other);
  RecordPath(RecordPath&& other) noexcept;
  RecordPath& operator=(const RecordPath& other);
  RecordPath& operator=(RecordPath&& other) noexcept;
  ~RecordPath() { Free(); }

  // A path that points at `folder` and `name`, which must outlive it (and
  // every copy of it).
  static RecordPath Pieces(StoredText folder, StoredText name);

  Text folder() const { return Folder().str(); }
  Text name() const { return Name().str(); }
  size_t size() const { return FolderSize() + NameSize(); }
  bool empty() const { return size() == 0; }
  char16_t operator[](size_t i) const { return i < FolderSize() ? Folder()[i] : Name()[i - FolderSize()]; }
  Text str() const;
  operator Text() const { return str(); }  // NOLINT: callers take a record's path as a text

  bool ends_with(TextView tail) const;
  // Compares unit by unit, with `fold` applied to every unit first.
  template <class Fold>
  int Compare(const RecordPath& other, Fold fold) const;
  int Compare(const RecordPath& other) const;

  friend bool operator==(const RecordPath& a, const RecordPath& b) { return a.Compare(b) == 0; }
  friend bool operator<(const RecordPath& a, const RecordPath& b) { return a.Compare(b) < 0; }
  friend bool operator==(const RecordPath& a, const Text& b) { return a == Whole(b); }
  friend bool operator==(const RecordPath& a, const char16_t* b) { return a == Whole(b); }

 private:
  static constexpr uint32_t kOwned = 0x80000000u;         // in nameSize_: name_ is this path's own block
  static constexpr uint32_t kNarrow = 0x40000000u;        // in nameSize_: one byte per unit of the name
  static constexpr uint32_t kFolderNarrow = 0x80000000u;  // in folderSize_
  static RecordPath Whole(TextView text) { return Pieces(StoredText(), StoredText::Of(text)); }
  uint32_t NameSize() const { return nameSize_ & ~(kOwned | kNarrow); }
  uint32_t FolderSize() const { return folderSize_ & ~kFolderNarrow; }
  StoredText Folder() const { return {folder_, FolderSize(), (folderSize_ & kFolderNarrow) != 0}; }
  StoredText Name() const { return {name_, NameSize(), (nameSize_ & kNarrow) != 0}; }
  void Own(TextView path);
  void Free();

  const void* folder_ = nullptr;
  const void* name_ = nullptr;
  uint32_t folderSize_ = 0;
  uint32_t nameSize_ = 0;
};

template <class Fold>
int RecordPath::Compare(const RecordPath& other, Fold fold) const {
  const size_t n = std::min(size(), other.size());
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = fold((*this)[i]), y = fold(other[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return size() == other.size() ? 0 : (size() < other.size() ? -1 : 1);
}

struct FileRecord {
  RecordPath Path;         // containing folder's Path + the entry's name
  int64_t Size = 0;        // bytes; always filled
  int64_t Depth = 0;       // separators in Path (WithDepth)
  int64_t Created = 0;     // (WithDates)
  int64_t Modified = 0;    // (WithDates)
  int64_t Accessed = 0;    // (WithDates)
  int64_t Attributes = 0;  // the entry's attribute word (WithAttributes)
  int64_t Taken = 0;       // when it was taken, else its last write (WithTaken)
};

// The file records of a scan, with the names their paths point at. Copies
// share the names; records moved elsewhere keep pointing into this list's
// names, so move whole lists (or Append) rather than single records. A move
// never throws and copies no record, so a std::vector of folder records
// grows by moving them; an empty list holds no memory.
class FileList {
 public:
  using Records = std::deque<FileRecord>;  // no reallocation: records stay put as the list grows
  using value_type = FileRecord;
  using iterator = Records::iterator;
  using const_iterator = Records::const_iterator;

  FileList() = default;
  FileList(const FileList& other);
  FileList(FileList&& other) noexcept = default;
  FileList& operator=(const FileList& other);
  FileList& operator=(FileList&& other) noexcept = default;
  ~FileList() = default;

  iterator begin() { return Get().begin(); }
  iterator end() { return Get().end(); }
  const_iterator begin() const { return Get().begin(); }
  const_iterator end() const { return Get().end(); }
  size_t size() const { return records_ ? records_->size() : 0; }
  bool empty() const { return size() == 0; }
  FileRecord& operator[](size_t i) { return (*records_)[i]; }
  const FileRecord& operator[](size_t i) const { return (*records_)[i]; }
  FileRecord& at(size_t i) { return Get().at(i); }
  const FileRecord& at(size_t i) const { return Get().at(i); }
  FileRecord& back() { return records_->back(); }
  FileRecord& emplace_back() { return Grown().emplace_back(); }
  void clear();

  // A new record at the end whose Path is `folder` + `name`, both kept in
  // the list's names (a run of files of one folder keeps the folder once).
  FileRecord& AddFile(TextView folder, TextView name);
  // Moves every record of `other` to the end of this list, with its names;
  // `other` is left empty and goes on adding names to its last store.
  void Append(FileList&& other);

 private:
  // The records, or an empty deque that nothing is ever added to while the
  // list has none of its own.
  Records& Get() const { return records_ ? *records_ : NoRecords(); }
  Records& Grown();
  static Records& NoRecords();

  std::unique_ptr<Records> records_;  // a pointer: a deque's own move may allocate and throw
  std::vector<std::shared_ptr<NameStore>> stores_;
  StoredText lastFolder_;  // in stores_.back()
};

struct FolderRecord {
  Text Path;               // always ends in one separator
  int64_t FileCount = 0;   // records moved into Files
  int64_t Depth = 0;       // separators in Path (WithDepth)
  int64_t Created = 0;     // (WithDates)
  int64_t Modified = 0;    // (WithDates)
  int64_t Accessed = 0;    // (WithDates)
  int64_t Attributes = 0;  // attribute word, -1 for an unreadable root (WithAttributes)
  FileList Files;
};

// Growing the folder list moves its records, never copies them.
static_assert(std::is_nothrow_move_constructible_v<FolderRecord>);

using FolderList = std::vector<FolderRecord>;
