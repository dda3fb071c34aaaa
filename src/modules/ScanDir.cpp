// The directory walk: roots, subfolders and the files of each folder.
#include "modules/ScanDir.h"

#include <algorithm>

#include "Paths.h"
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
void (*FilesListed)(const Text& folder, int64_t files, bool folderDone) = nullptr;

std::vector<Text> UnreadFolders;
size_t MostHeldFolders = 256;

namespace {

const Text kAllEntries = u"*.*";

Text SearchPattern(const Text& folder) { return Paths::Join(folder, kAllEntries); }

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

bool IsFolderLink(const Platform::DirEntry& entry) {
  return entry.IsDirectory() && (entry.attributes & Platform::kAttrReparsePoint) != 0;
}

// A subfolder the walk comes to: it gets a record, or is opened (for its
// files or its own subfolders), or both.
struct Child {
  Platform::DirEntry entry;
  bool recorded = false;
  bool opened = false;
};

// A folder of the walk whose subfolders are still to come.
struct Frame {
  Text path;  // with its separator
  int64_t level = 0;
  std::vector<Child> subfolders;
  size_t next = 0;              // the next of `subfolders` to visit
  Platform::HeldFolder folder;  // open, unless there was no room
};

// The walk below one root, the one every operation of the module makes.
// Each folder's record goes to `pending` (when admitted); its files, when
// `files` is given, to `files`, and with `results` both go on to a result.
class Walk {
 public:
  Walk(int64_t levels, int64_t flags, const Text& include, const Text& exclude, const Text& folderWords,
       const Text& skipFolderWords)
      : levels_(levels),
        flags_(flags),
        include_(include),
        exclude_(exclude),
        folderWords_(folderWords),
        skipFolderWords_(skipFolderWords) {}

  FolderList* pending = &PendingFolders;
  FileList* files = nullptr;
  FolderList* results = nullptr;
  int64_t fileSort = 0;
  int64_t total = 0;  // file records made

  // Walks from `root` (with its separator), whose pending record, when
  // `recorded`, is the last one of `pending`.
  void Run(const Text& root, bool recorded) {
    Platform::DirSearch search;
    if (levels_ != 0 || (recorded && files != nullptr)) {
      search.Open(SearchPattern(root), WithTimes());
      Platform::FolderId id;
      if (followLinks_ && search.Identity(id)) FirstEntry(entered_, id);
    }
    Visit(search, root, 0, recorded);
    while (!stack_.empty()) Step();
  }

 private:
  bool WithTimes() const { return (flags_ & WithDates) != 0; }
  // Any levels but 0 reach the root's subfolders (below -1 those only).
  bool MayDescend(int64_t level) const {
    return levels_ == AllLevels || level < levels_ || (level == 0 && levels_ != 0);
  }

  // The one rule of which subfolders the walk enters: what it does with
  // the subfolder `entry` of `folder` (at `level`). False when nothing:
  // "." and "..", a link to a folder unless links are followed, a folder
  // below the levels, one whose path has a word to skip, and one that gets
  // neither a record nor an opening. Which of them the walk opens it tells
  // the search when it holds `folder`, so that the search may open the
  // same ones ahead; that a real folder was entered before (following
  // links) is only known once it is open.
  bool Enters(const Text& folder, int64_t level, const Platform::DirEntry& entry, Child& child) const {
    if (!entry.IsDirectory() || entry.name == u"." || entry.name == u"..") return false;
    if (!MayDescend(level) || (!followLinks_ && IsFolderLink(entry))) return false;
    const Text sub = Paths::AsFolder(Paths::Join(folder, entry.name));
    if (!skipFolderWords_.empty() && PathMatches(sub, ExcludeFolderWords)) return false;
    child.recorded = folderWords_.empty() || PathMatches(sub, IncludeFolderWords);
    child.opened = MayDescend(level + 1) || (child.recorded && files != nullptr);
    return child.recorded || child.opened;
  }

  // Lists `folder` (at `level` below the root) from its opened `search`,
  // adds its result when it is `recorded`, and stacks its subfolders.
  void Visit(Platform::DirSearch& search, const Text& folder, int64_t level, bool recorded) {
    const size_t index = pending->size() - 1;
    const bool listFiles = recorded && files != nullptr;
    Frame frame;
    Child child;
    int64_t n = 0, told = 0;
    bool unreadTimes = false;
    Platform::DirEntry entry;
    while (search.Next(entry)) {
      if (!entry.IsDirectory()) {  // hidden, system, read-only and links to files are files too
        if (listFiles && AddFile(*files, folder, entry, include_, flags_, exclude_)) ++n;
        if (FilesListed != nullptr && n - told == FilesPerTelling) {
          FilesListed(folder, n - told, false);
          told = n;
        }
        unreadTimes = unreadTimes || entry.lastWrite == Platform::kTimeUnread;
      } else if (Enters(folder, level, entry, child)) {
        child.entry = std::move(entry);
        frame.subfolders.push_back(std::move(child));
      }
    }
    if (!frame.subfolders.empty()) Hold(search, frame);
    search.Close();
    // Such files are counted with the date 0; the user hears why, once.
    if (unreadTimes && listFiles && WithTimes()) WarnUnreadTimes(folder);
    if (recorded) AddResult(index, n);
    if (recorded && FilesListed != nullptr) FilesListed(folder, n - told, true);
    if (frame.subfolders.empty()) return;
    frame.path = folder;
    frame.level = level;
    stack_.push_back(std::move(frame));
  }

  // Visits the next subfolder of the innermost folder with subfolders to come.
  void Step() {
    Frame& top = stack_.back();
    const Child child = std::move(top.subfolders[top.next++]);
    const Platform::DirEntry& entry = child.entry;
    const int64_t level = top.level + 1;
    const Text sub = Paths::AsFolder(Paths::Join(top.path, entry.name));
    const bool last = top.next == top.subfolders.size();
    const bool recorded = child.recorded;
    Platform::DirSearch search;
    if (child.opened) {
      const Platform::SearchStatus status = OpenSub(top, entry.name, sub, search);
      Platform::FolderId id;
      if (followLinks_ && search.Identity(id) && !FirstEntry(entered_, id)) return EndIfDone(last);
      if (status == Platform::SearchStatus::kFailed) UnreadFolders.push_back(sub);
    }
    EndIfDone(last);  // `top` is gone now when it was its last subfolder
    if (recorded) AddFolder(*pending, sub, entry, flags_);
    Visit(search, sub, level, recorded);
  }

  // Opens the search of the subfolder `name` of `parent`, whose whole path
  // is `sub`: from the parent when it is held (or can be held again), else
  // by the whole path.
  Platform::SearchStatus OpenSub(Frame& parent, const Text& name, const Text& sub,
                                 Platform::DirSearch& search) {
    if (!parent.folder.IsOpen() && MakeRoom() && parent.folder.Open(parent.path)) ++held_;
    if (parent.folder.IsOpen()) return search.OpenIn(parent.folder, name, WithTimes());
    return search.Open(SearchPattern(sub), WithTimes());
  }

  // Holds the folder of `search` open for the subfolders of `frame` to
  // come, telling the search which of them the walk opens.
  void Hold(const Platform::DirSearch& search, Frame& frame) {
    std::vector<Text> opened;
    for (const Child& child : frame.subfolders) {
      if (child.opened) opened.push_back(child.entry.name);
    }
    if (!opened.empty() && MakeRoom() && search.Hold(frame.folder, opened)) ++held_;
  }

  // Whether a folder more may be held, after closing the outermost held
  // one when MostHeldFolders are: the walk comes back to it last.
  bool MakeRoom() {
    if (held_ < MostHeldFolders) return true;
    while (lowest_ < stack_.size() && !stack_[lowest_].folder.IsOpen()) ++lowest_;
    if (lowest_ == stack_.size()) return false;
    stack_[lowest_].folder.Close();
    --held_;
    return true;
  }

  // Ends the innermost folder when its `last` subfolder has been taken.
  void EndIfDone(bool last) {
    if (!last) return;
    if (stack_.back().folder.IsOpen()) --held_;
    stack_.pop_back();
    // The new innermost folder may be held again: it is not below lowest_.
    lowest_ = std::min(lowest_, stack_.empty() ? 0 : stack_.size() - 1);
  }

  // Moves the files found for the pending record `index` into a new result.
  void AddResult(size_t index, int64_t n) {
    total += n;
    if (results == nullptr) return;
    FolderRecord& folder = results->emplace_back();
    const FolderRecord& source = (*pending)[index];
    folder.Path = source.Path;
    folder.FileCount = n;
    folder.Depth = (flags_ & WithDepth) ? DepthOf(folder.Path) : 0;
    folder.Created = source.Created;
    folder.Modified = source.Modified;
    folder.Accessed = source.Accessed;
    folder.Attributes = source.Attributes;
    if (files == nullptr || files->empty()) return;
    if (flags_ & SortFiles) SortRecords(*files, fileSort);
    folder.Files.Append(std::move(*files));  // the records and their names move, nothing is copied
  }

  const int64_t levels_, flags_;
  const Text &include_, &exclude_, &folderWords_, &skipFolderWords_;
  const bool followLinks_ = (flags_ & SkipFolderLinks) == 0;
  std::vector<Frame> stack_;
  size_t held_ = 0;    // frames whose folder is open
  size_t lowest_ = 0;  // no frame below this one is held
  EnteredFolders entered_;
};

}  // namespace

bool FirstEntry(EnteredFolders& entered, const Platform::FolderId& id) {
  // Some file systems give every folder the index 0 (or none at all): that
  // tells nothing about which folder it is.
  return id.index == 0 || entered.emplace(id.volume, id.index).second;
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
  UnreadFolders.clear();
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
  const Text none;
  Walk walk(levels, flags, none, none, folderWords, skipFolderWords);
  walk.pending = &pending;
  walk.Run(folder, false);
  return static_cast<int64_t>(pending.size());
}

int64_t ListFiles(FileList& found, const Text& folder, const Text& extensions, int64_t flags,
                  const Text& skipExtensions) {
  const Text none;
  FolderList pending(1);
  Walk walk(0, flags, extensions, skipExtensions, none, none);
  walk.pending = &pending;
  walk.files = &found;
  walk.Run(folder, true);
  return walk.total;
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

    // The field is taken as it is: the command line has expanded it once.
    Text root = LPS::ToLongPath(field, 0);
    if (!LPS::IsFolder(root, 0)) continue;
    root = Paths::AsFolder(root);
    PendingFolders.clear();
    CurrentRoot = root;
    const bool recorded = folderWords.empty() || PathMatches(root, IncludeFolderWords);
    if (recorded) PendingFolders.push_back(RootRecord(root, flags));
    Walk walk(levels, flags, include, exclude, folderWords, skipFolderWords);
    walk.files = (flags & FoldersOnly) ? nullptr : &FoundFiles;
    walk.results = &results;
    walk.fileSort = fileSort;
    walk.Run(root, recorded);
    total += walk.total;
  }
  if (flags & SortFolders) SortRecords(results, folderSort);

  const auto records = static_cast<int64_t>(results.size());
  if (flags & ReturnFileCount) return total;
  if (flags & FoldersOnly) return records - fieldCount;
  return records + total - fieldCount;
}

}  // namespace ScanDir
