// The directory walk: roots, subfolders and the files of each folder.
#include "modules/ScanDir.h"

#include <algorithm>

#include "Process.h"
#include "modules/LPS.h"

namespace ScanDir {

FolderList Folders;
FileList FoundFiles;
FolderList PendingFolders;
KeyedTable IncludeExtensions;
KeyedTable ExcludeExtensions;
KeyedTable IncludeFolderWords;
KeyedTable ExcludeFolderWords;
Text CurrentRoot;
void (*FolderListed)(const Text& folder, int64_t files) = nullptr;

namespace {

// The folders on the current path of descent, to keep a link that leads
// back into its own tree from being walked again and again.
std::vector<Platform::FolderId> descent;

const Text kAllEntries = u"*.*";

Text SearchPattern(const Text& folder) {
  Text pattern = folder;
  if (pattern.empty() || pattern.back() != Platform::kSeparator) pattern += Platform::kSeparator;
  return pattern + kAllEntries;
}

template <class Record>
void FillDates(Record& record, const Platform::DirEntry& entry) {
  record.Created = DateOfStamp(entry.created);
  record.Modified = DateOfStamp(entry.lastWrite);
  record.Accessed = DateOfStamp(entry.lastAccess);
}

// Replaces every CR LF pair by "|".
Text JoinLines(const Text& roots) {
  Text joined;
  joined.reserve(roots.size());
  for (size_t i = 0; i < roots.size(); ++i) {
    if (roots[i] == u'\r' && i + 1 < roots.size() && roots[i + 1] == u'\n') {
      joined += u'|';
      ++i;
    } else {
      joined += roots[i];
    }
  }
  return joined;
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
    if (search.Open(root, true) == Platform::SearchStatus::kOpened && search.Next(entry)) {
      FillDates(record, entry);
    }
  }
  if (flags & WithAttributes) {
    uint32_t attributes = 0;
    record.Attributes = Platform::FileAttributes(root, attributes) ? attributes : -1;
  }
  return record;
}

// Adds a record for the file `entry` of `folder` to `found` when the
// extension lists admit it.
bool AddFile(FileList& found, const Text& folder, const Platform::DirEntry& entry, const Text& extensions,
             int64_t flags, const Text& skipExtensions) {
  if (!extensions.empty() || !skipExtensions.empty()) {
    if (!extensions.empty() && !NameListed(IncludeExtensions, entry.name)) return false;
    if (!skipExtensions.empty() && NameListed(ExcludeExtensions, entry.name)) return false;
  }
  FileRecord& record = found.AddFile(folder, entry.name);
  record.Size = static_cast<int64_t>(entry.size);
  if (flags & WithDepth) record.Depth = DepthOf(folder) + DepthOf(entry.name);
  if (flags & WithDates) FillDates(record, entry);
  if (flags & WithAttributes) record.Attributes = entry.attributes;
  return true;
}

// Adds a record for the subfolder `entry`, whose path is `sub`, to `pending`.
void AddFolder(FolderList& pending, const Text& sub, const Platform::DirEntry& entry, int64_t flags) {
  FolderRecord& record = pending.emplace_back();
  record.Path = sub;
  if (flags & WithDepth) record.Depth = DepthOf(sub);
  if (flags & WithDates) FillDates(record, entry);
  if (flags & WithAttributes) record.Attributes = entry.attributes;
}

// Says once for `folder` that its files carry the date 0, their time stamps
// being unreadable.
void WarnUnreadTimes(const Text& folder) {
  Platform::ShowDiagnostic(ProgramFile + u": The time stamps of the files in '" + folder +
                           u"' could not be read; they are counted with the date 0.");
}

void Walk(FolderList& pending, const Text& folder, int64_t levels, int64_t flags, const Text& folderWords,
          const Text& skipFolderWords) {
  Platform::DirSearch search;
  if (search.Open(SearchPattern(folder), (flags & WithDates) != 0) != Platform::SearchStatus::kOpened) {
    return;
  }
  const int64_t rootDepth = DepthOf(CurrentRoot);
  Platform::DirEntry entry;
  while (search.Next(entry)) {
    if (!entry.IsDirectory() || entry.name == u"." || entry.name == u"..") continue;
    Text sub = folder + entry.name + Platform::kSeparator;
    if (!skipFolderWords.empty() && PathMatches(sub, ExcludeFolderWords)) continue;
    if (folderWords.empty() || PathMatches(sub, IncludeFolderWords)) AddFolder(pending, sub, entry, flags);
    // The level below the root: 1 for a direct subfolder.
    const int64_t level = DepthOf(sub) - rootDepth;
    if (levels != AllLevels && level >= levels) continue;
    // A walk with a limit ends by itself and reaches what the limit says,
    // links back included; only an unlimited one is kept out of loops.
    Platform::FolderId id;
    const bool known = levels == AllLevels && Platform::FolderIdentity(sub, id);
    if (known && LeadsBack(descent, id)) continue;
    if (known) descent.push_back(id);
    Walk(pending, sub, levels, flags, folderWords, skipFolderWords);
    if (known) descent.pop_back();
  }
}

// The scan of one root in a single pass: each folder's search delivers its
// files and its subfolders at once, so no entry is looked at twice. The
// records come out as a walk followed by a listing of each gathered folder
// would make them: depth first, pre-order, siblings in delivery order.
struct RootScan {
  FolderList& results;
  int64_t levels, flags, fileSort;
  const Text &include, &exclude, &folderWords, &skipFolderWords;
  int64_t total = 0;  // file records made
};

void VisitFolder(RootScan& scan, const Text& folder, int64_t level, bool recorded, bool mayDescend);

// Moves the files found for the pending record `index` into a new result.
void AddResult(RootScan& scan, size_t index, int64_t n) {
  FolderRecord& folder = scan.results.emplace_back();
  const FolderRecord& pending = PendingFolders[index];
  folder.Path = pending.Path;
  folder.FileCount = n;
  folder.Depth = (scan.flags & WithDepth) ? DepthOf(folder.Path) : 0;
  folder.Created = pending.Created;
  folder.Modified = pending.Modified;
  folder.Accessed = pending.Accessed;
  folder.Attributes = pending.Attributes;
  if (FolderListed != nullptr) FolderListed(folder.Path, n);
  if (FoundFiles.empty()) return;
  scan.total += n;
  if (scan.flags & SortFiles) SortRecords(FoundFiles, scan.fileSort);
  folder.Files.Append(std::move(FoundFiles));  // the records and their names move, nothing is copied
}

void VisitSubfolder(RootScan& scan, const Text& folder, const Platform::DirEntry& entry, int64_t level) {
  Text sub = folder + entry.name + Platform::kSeparator;
  if (!scan.skipFolderWords.empty() && PathMatches(sub, ExcludeFolderWords)) return;
  const bool recorded = scan.folderWords.empty() || PathMatches(sub, IncludeFolderWords);
  if (recorded) AddFolder(PendingFolders, sub, entry, scan.flags);
  const bool below = scan.levels == AllLevels || level < scan.levels;
  // A walk with a limit ends by itself and reaches what the limit says,
  // links back included; only an unlimited one is kept out of loops.
  Platform::FolderId id;
  const bool known = scan.levels == AllLevels && Platform::FolderIdentity(sub, id);
  if (known && LeadsBack(descent, id)) return VisitFolder(scan, sub, level, recorded, false);
  if (known) descent.push_back(id);
  VisitFolder(scan, sub, level, recorded, below);
  if (known) descent.pop_back();
}

// Lists `folder` (at `level` below the root), adds its result when it is
// `recorded` (its pending record is the last one), then visits its
// subfolders when `mayDescend`.
void VisitFolder(RootScan& scan, const Text& folder, int64_t level, bool recorded, bool mayDescend) {
  const size_t index = PendingFolders.size() - 1;
  const bool listFiles = recorded && !(scan.flags & FoldersOnly);
  std::vector<Platform::DirEntry> subfolders;
  int64_t n = 0;
  bool unreadTimes = false;
  Platform::DirSearch search;
  if ((mayDescend || listFiles) &&
      search.Open(SearchPattern(folder), (scan.flags & WithDates) != 0) == Platform::SearchStatus::kOpened) {
    Platform::DirEntry entry;
    while (search.Next(entry)) {
      if (!entry.IsDirectory()) {
        if (listFiles && AddFile(FoundFiles, folder, entry, scan.include, scan.flags, scan.exclude)) ++n;
        unreadTimes = unreadTimes || entry.lastWrite == Platform::kTimeUnread;
      } else if (mayDescend && entry.name != u"." && entry.name != u"..") {
        subfolders.push_back(std::move(entry));
      }
    }
  }
  search.Close();  // one search open at a time, whatever the depth
  // Such files are counted with the date 0; the user hears why, once.
  if (unreadTimes && listFiles && (scan.flags & WithDates)) WarnUnreadTimes(folder);
  if (recorded) AddResult(scan, index, n);
  for (const Platform::DirEntry& sub : subfolders) VisitSubfolder(scan, folder, sub, level + 1);
}

}  // namespace

bool LeadsBack(const std::vector<Platform::FolderId>& ancestors, const Platform::FolderId& id) {
  // Some file systems give every folder the index 0 (or none at all): that
  // tells nothing about which folder it is.
  if (id.index == 0) return false;
  return std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end();
}

int64_t DepthOf(TextView path) { return static_cast<int64_t>(CountUnits(path, Platform::kSeparator)); }

bool Reset() {
  IncludeExtensions.Clear();
  ExcludeExtensions.Clear();
  IncludeFolderWords.Clear();
  ExcludeFolderWords.Clear();
  FoundFiles.clear();
  PendingFolders.clear();
  Folders.clear();
  CurrentRoot.clear();
  return true;
}

int64_t DateOfStamp(Platform::FileTime stamp) {
  // The local seconds count the same way as a date value, so a value in
  // range is one (as MakeDate of its calendar fields would give).
  int64_t local = 0;
  if (stamp == Platform::kTimeUnread) return Dates::Unconverted;
  if (!Platform::LocalSeconds(stamp, local)) return Dates::Unconverted;
  return (local < 0 || local > Dates::Latest) ? Dates::OutOfRange : local;
}

int64_t WalkFolders(FolderList& pending, const Text& folder, int64_t levels, int64_t flags,
                    const Text& folderWords, const Text& skipFolderWords) {
  if (levels == 0) return static_cast<int64_t>(pending.size());
  descent.clear();
  Platform::FolderId id;
  if (levels == AllLevels && Platform::FolderIdentity(folder, id)) descent.push_back(id);
  Walk(pending, folder, levels, flags, folderWords, skipFolderWords);
  descent.clear();
  return static_cast<int64_t>(pending.size());
}

int64_t ListFiles(FileList& found, const Text& folder, const Text& extensions, int64_t flags,
                  const Text& skipExtensions) {
  Platform::DirSearch search;
  if (search.Open(SearchPattern(folder), (flags & WithDates) != 0) != Platform::SearchStatus::kOpened) {
    return 0;
  }
  int64_t count = 0;
  bool unreadTimes = false;
  Platform::DirEntry entry;
  while (search.Next(entry)) {
    if (entry.IsDirectory()) continue;  // hidden, system, read-only and links are files too
    count += AddFile(found, folder, entry, extensions, flags, skipExtensions) ? 1 : 0;
    unreadTimes = unreadTimes || entry.lastWrite == Platform::kTimeUnread;
  }
  // Such files are counted with the date 0; the user hears why, once.
  if (unreadTimes && (flags & WithDates)) WarnUnreadTimes(folder);
  return count;
}

int64_t Scan(FolderList& results, const Text& roots, const Text& extensions, int64_t levels, int64_t flags,
             int64_t folderSort, int64_t fileSort, const Text& skipExtensions, const Text& folderWords,
             const Text& skipFolderWords) {
  // Where "|" and CR LF may stand in names (POSIX), the value is one root.
  const Text fields = Platform::kRootLists ? JoinLines(roots) : roots;
  const Text include = PrepareExtensions(extensions);
  const Text exclude = PrepareExtensions(skipExtensions);
  ParseFilterList(IncludeExtensions, include);
  ParseFilterList(ExcludeExtensions, exclude);
  ParseFilterList(IncludeFolderWords, folderWords);
  ParseFilterList(ExcludeFolderWords, skipFolderWords);

  const int64_t fieldCount = Platform::kRootLists ? static_cast<int64_t>(CountUnits(fields, u'|')) + 1 : 1;
  int64_t total = 0;
  size_t start = 0;
  for (int64_t i = 0; i < fieldCount; ++i) {
    const size_t end = Platform::kRootLists ? fields.find(u'|', start) : Text::npos;
    const Text field = fields.substr(start, end - start);
    start = end + 1;

    Text root = LPS::ToLongPath(field, LPS::FlagExpandEnv);
    if (!LPS::IsFolder(root, 0)) continue;
    if (root.back() != Platform::kSeparator) root += Platform::kSeparator;
    PendingFolders.clear();
    CurrentRoot = root;
    const bool recorded = folderWords.empty() || PathMatches(root, IncludeFolderWords);
    if (recorded) PendingFolders.push_back(RootRecord(root, flags));
    RootScan scan{results, levels, flags, fileSort, include, exclude, folderWords, skipFolderWords};
    descent.clear();
    Platform::FolderId id;
    if (levels == AllLevels && Platform::FolderIdentity(root, id)) descent.push_back(id);
    VisitFolder(scan, root, 0, recorded, levels != 0);
    descent.clear();
    total += scan.total;
  }
  if (flags & SortFolders) SortRecords(results, folderSort);

  const auto records = static_cast<int64_t>(results.size());
  if (flags & ReturnFileCount) return total;
  if (flags & FoldersOnly) return records - fieldCount;
  return records + total - fieldCount;
}

}  // namespace ScanDir
