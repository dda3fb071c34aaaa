// The scanner's records: Scan and its two parts, the walk of the folders
// and the listing of one folder's files, as sinks of the walk.
#include "scan/records/Scan.h"

#include <algorithm>

#include "base/Conventions.h"
#include "base/Paths.h"
#include "dates/DateValue.h"
#include "platform/FileSystem.h"
#include "scan/Filters.h"
#include "scan/State.h"
#include "scan/records/Sort.h"

namespace ScanDir {

FolderList Folders;
FileList FoundFiles;
FolderList PendingFolders;

namespace {

template <class Record>
void FillDates(Record& record, const Platform::DirEntry& entry) {
  record.Created = DateOfStamp(entry.created);
  record.Modified = DateOfStamp(entry.lastWrite);
  record.Accessed = DateOfStamp(entry.lastAccess);
}

FolderRecord RootRecord(const Text& root, int64_t flags) {
  FolderRecord record;
  record.Path = root;
  if (flags & WithDepth) record.Depth = DepthOf(root);
  if (flags & WithDates) {
    // A search for a path that ends in a separator finds nothing, so a root
    // carries the dates 0.
    Platform::DirSearch search;
    Platform::DirEntry entry;
    if (search.Open(root, Platform::kSearchTimes).status == Platform::SearchStatus::kOpened &&
        search.Next(entry)) {
      FillDates(record, entry);
    }
  }
  if (flags & WithAttributes) {
    uint32_t attributes = 0;
    record.Attributes = Platform::FileAttributes(root, attributes) ? attributes : -1;
  }
  return record;
}

// Adds a record for the file `entry` of `folder` to `found`.
void AddFile(FileList& found, const Text& folder, const Platform::DirEntry& entry, int64_t flags) {
  FileRecord& record = found.AddFile(folder, entry.name);
  record.Size = static_cast<int64_t>(entry.size);
  if (flags & WithDepth) record.Depth = DepthOf(folder) + DepthOf(entry.name);
  if (flags & WithDates) FillDates(record, entry);
  if (flags & WithAttributes) record.Attributes = entry.attributes;
  if (flags & WithTaken) record.Taken = DateOfTaken(entry);
}

// Adds a record for the subfolder `entry`, whose path is `sub`, to `pending`.
void AddFolder(FolderList& pending, const Text& sub, const Platform::DirEntry& entry, int64_t flags) {
  FolderRecord& record = pending.emplace_back();
  record.Path = sub;
  if (flags & WithDepth) record.Depth = DepthOf(sub);
  if (flags & WithDates) FillDates(record, entry);
  if (flags & WithAttributes) record.Attributes = entry.attributes;
}

// Makes the records of Scan: each admitted folder's gathered in
// `pending`, and with `results` a result for it holding its files.
class RecordSink : public Sink {
 public:
  RecordSink(FolderList& pending, FileList* files, FolderList* results, int64_t flags, int64_t fileSort,
             std::vector<UnreadFolder>* unread = nullptr)
      : pending_(pending),
        files_(files),
        results_(results),
        flags_(flags),
        fileSort_(fileSort),
        unread_(unread) {}

  void Root(const Text&) override { pending_.clear(); }

  void Folder(const Text& path, const Platform::DirEntry* entry) override {
    if (entry == nullptr) {
      pending_.push_back(RootRecord(path, flags_));
    } else {
      AddFolder(pending_, path, *entry, flags_);
    }
  }

  void File(const Text& folder, const Platform::DirEntry& entry) override {
    if (files_ != nullptr) AddFile(*files_, folder, entry, flags_);
  }

  void Unread(const UnreadFolder& folder) override {
    if (unread_ != nullptr) unread_->push_back(folder);
  }

  // Moves the files found for the folder into a new result.
  void FolderDone(const Text&, int64_t n) override {
    if (results_ == nullptr) return;
    FolderRecord& folder = results_->emplace_back();
    const FolderRecord& source = pending_.back();
    folder.Path = source.Path;
    folder.FileCount = n;
    folder.Depth = (flags_ & WithDepth) ? DepthOf(folder.Path) : 0;
    folder.Created = source.Created;
    folder.Modified = source.Modified;
    folder.Accessed = source.Accessed;
    folder.Attributes = source.Attributes;
    if (files_ == nullptr || files_->empty()) return;
    if (flags_ & SortFiles) SortRecords(*files_, fileSort_);
    folder.Files.Append(std::move(*files_));  // the records and their names move, nothing is copied
  }

 private:
  FolderList& pending_;
  FileList* files_;
  FolderList* results_;
  const int64_t flags_, fileSort_;
  std::vector<UnreadFolder>* unread_;
};

}  // namespace

int64_t DepthOf(TextView path) { return static_cast<int64_t>(CountUnits(path, Platform::kSeparator)); }

bool Reset() {
  ResetState();
  FoundFiles.clear();
  PendingFolders.clear();
  Folders.clear();
  return true;
}

int64_t WalkFolders(FolderList& pending, const Text& folder, int64_t levels, int64_t flags,
                    const Text& folderWords, const Text& skipFolderWords) {
  WalkRules rules(levels, flags | FoldersOnly);
  rules.folderWords = folderWords;
  rules.skipFolderWords = skipFolderWords;
  RecordSink sink(pending, nullptr, nullptr, flags, 0);
  WalkBelow(folder, false, rules, sink);
  return static_cast<int64_t>(pending.size());
}

int64_t ListFiles(FileList& found, const Text& folder, const Text& extensions, int64_t flags,
                  const Text& skipExtensions) {
  WalkRules rules(0, flags & ~FoldersOnly);
  rules.extensions = extensions;
  rules.skipExtensions = skipExtensions;
  FolderList pending;
  RecordSink sink(pending, &found, nullptr, flags, 0);
  return WalkBelow(folder, true, rules, sink);
}

int64_t Scan(FolderList& results, const Text& roots, const Text& extensions, int64_t levels, int64_t flags,
             int64_t folderSort, int64_t fileSort, const Text& skipExtensions, const Text& folderWords,
             const Text& skipFolderWords, std::vector<UnreadFolder>* unread) {
  WalkRules rules(levels, flags);
  rules.extensions = PrepareExtensions(extensions);
  rules.skipExtensions = PrepareExtensions(skipExtensions);
  rules.folderWords = folderWords;
  rules.skipFolderWords = skipFolderWords;
  RecordSink sink(PendingFolders, (flags & FoldersOnly) ? nullptr : &FoundFiles, &results, flags, fileSort,
                  unread);
  int64_t fields = 0;
  const int64_t total = Walk(roots, rules, sink, &fields);
  if (flags & SortFolders) SortRecords(results, folderSort);

  const auto records = static_cast<int64_t>(results.size());
  if (flags & ReturnFileCount) return total;
  if (flags & FoldersOnly) return records - fields;
  return records + total - fields;
}

}  // namespace ScanDir
