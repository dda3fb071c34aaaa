// The directory walk: roots, subfolders and the files of each folder,
// handed to a sink as they are listed.
#include "scan/Walk.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "base/Conventions.h"
#include "base/Paths.h"
#include "scan/Filters.h"
#include "scan/LPS.h"
#include "scan/State.h"

namespace ScanDir {

namespace {

const Text kAllEntries = u"*.*";

Text SearchPattern(const Text& folder) { return Paths::Join(folder, kAllEntries); }

// Why a folder's files count with no date.
constexpr TextView kUnreadTimes =
    u"the time stamps of its files cannot be read; they count with no date (all zeros)";

bool IsFolderLink(const Platform::DirEntry& entry) {
  return entry.IsDirectory() && (entry.attributes & Platform::kAttrReparsePoint) != 0;
}

// Whether the extension lists admit the file `name`.
bool Admitted(const WalkRules& rules, TextView name) {
  if (!rules.extensions.empty() && !NameListed(IncludeExtensions, name)) return false;
  return rules.skipExtensions.empty() || !NameListed(ExcludeExtensions, name);
}

// A subfolder the walk comes to: it is admitted (the sink hears of it), or
// opened (for its files or its own subfolders), or both.
struct Child {
  Platform::DirEntry entry;
  bool admitted = false;
  bool opened = false;
  std::optional<LeftOut> leftOut;  // neither, and why, when the walk would have entered it
};

// A folder of the walk whose subfolders are still to come.
struct Frame {
  Text path;  // with its separator
  int64_t level = 0;
  std::vector<Child> subfolders;
  size_t next = 0;              // the next of `subfolders` to visit
  Platform::HeldFolder folder;  // open, unless there was no room
};

// The walk below one root.
class Walker {
 public:
  Walker(const WalkRules& rules, Sink& sink)
      : rules_(rules),
        sink_(sink),
        flags_((rules.withTimes ? Platform::kSearchTimes | rules.onlyStamp : 0) |
               (rules.followLinks ? Platform::kSearchFollow : 0) |
               (rules.linkTargets ? Platform::kSearchTargets : 0) |
               (rules.taken ? Platform::kSearchTaken : 0) |
               (rules.oneFileSystem ? Platform::kSearchFileSystems : 0)),
        mostHeld_(std::min(MostHeldFolders, Platform::FoldersToHold())),
        takenOf_([&rules](TextView name) { return Admitted(rules, name); }) {}

  // Walks from `root` (with its separator), which the sink has heard of
  // when it is `admitted`; the number of files handed on.
  int64_t Run(const Text& root, bool admitted) {
    Platform::DirSearch search;
    if (rules_.levels != 0 || (admitted && rules_.files)) {
      search.Open(SearchPattern(root), FlagsFor(admitted), &takenOf_);
      Platform::FolderId id;
      if (rules_.followLinks && search.Identity(id)) FirstEntry(entered_, id);
    }
    Visit(search, root, 0, admitted);
    while (!stack_.empty()) Step();
    return total_;
  }

 private:
  // The flags of the search of a folder, which reads taken dates only
  // where its files are counted (`admitted`), and then only of the files
  // the extension lists admit (takenOf_).
  unsigned FlagsFor(bool admitted) const { return admitted ? flags_ : flags_ & ~Platform::kSearchTaken; }

  // Any levels but 0 reach the root's subfolders (below -1 those only).
  bool MayDescend(int64_t level) const {
    return rules_.levels == AllLevels || level < rules_.levels || (level == 0 && rules_.levels != 0);
  }

  // The one rule of which subfolders the walk enters: what it does with
  // the subfolder `entry` of `folder` (at `level`). False when nothing:
  // "." and "..", a link to a folder unless links are followed, a folder
  // below the levels, one left out (`child.leftOut` says why: its name is
  // one to skip, or it lies on another file system than its folder, so
  // than the root's, as the walk enters no other), one whose path has a
  // word to skip, and one that is neither admitted nor opened. Which of
  // them the walk opens it tells the search when it holds `folder`, so that
  // the search may open the same ones ahead; that a real folder was entered
  // before (following links) is only known once it is open.
  bool Enters(const Text& folder, int64_t level, const Platform::DirEntry& entry, Child& child) const {
    child.leftOut.reset();
    if (!entry.IsDirectory() || entry.name == u"." || entry.name == u"..") return false;
    if (!MayDescend(level) || (!rules_.followLinks && IsFolderLink(entry))) return false;
    if (rules_.skipNames.Matches(entry.name)) {
      child.leftOut = LeftOut::kNamed;
    } else if (rules_.oneFileSystem && entry.otherFileSystem) {
      child.leftOut = LeftOut::kOtherFileSystem;
    }
    if (child.leftOut) return false;
    const Text sub = Paths::AsFolder(Paths::Join(folder, entry.name));
    if (!rules_.skipFolderWords.empty() && PathMatches(sub, ExcludeFolderWords)) return false;
    child.admitted = rules_.folderWords.empty() || PathMatches(sub, IncludeFolderWords);
    child.opened = MayDescend(level + 1) || (child.admitted && rules_.files);
    return child.admitted || child.opened;
  }

  // Lists `folder` (at `level` below the root) from its opened `search`:
  // when it is `admitted` its files go to the sink, and its subfolders are
  // stacked.
  void Visit(Platform::DirSearch& search, const Text& folder, int64_t level, bool admitted) {
    const bool listFiles = admitted && rules_.files;
    Frame frame;
    Child child;
    int64_t n = 0, told = 0;
    bool unreadTimes = false;
    Platform::DirEntry entry;
    while (search.Next(entry)) {
      if (!entry.IsDirectory()) {  // hidden, system, read-only and links to files are files too
        if (listFiles && Admitted(rules_, entry.name)) {
          if (entry.takenRead == Platform::TakenRead::kNoHandles) ReadTakenAgain(search, entry);
          sink_.File(folder, entry);
          ++n;
        } else if (listFiles) {
          sink_.Skipped(folder, entry);
        }
        if (FilesListed != nullptr && n - told == FilesPerTelling) {
          FilesListed(folder, n - told, false);
          told = n;
        }
        unreadTimes = unreadTimes || entry.lastWrite == Platform::kTimeUnread;
      } else if (Enters(folder, level, entry, child)) {
        child.entry = std::move(entry);
        frame.subfolders.push_back(std::move(child));
      } else if (child.leftOut) {
        LeaveOut(Paths::AsFolder(Paths::Join(folder, entry.name)), *child.leftOut);
      } else if (!MayDescend(level) && entry.name != u"." && entry.name != u".." &&
                 (rules_.followLinks || !IsFolderLink(entry))) {
        sink_.BeyondDepth(folder, entry);
      }
    }
    // A listing that failed before its end: its files so far count. (A
    // search that failed to start is told by its opener.)
    const Done listed = search.Listed();
    if (!listed.status) sink_.Unread({folder, listed.reason});
    if (!frame.subfolders.empty()) Hold(search, frame);
    search.Close();
    // Such files are counted with no date; the user hears why, once.
    if (unreadTimes && listFiles && rules_.withTimes) sink_.Unread({folder, Text(kUnreadTimes)});
    total_ += n;
    if (admitted) sink_.FolderDone(folder, n);
    if (admitted && FilesListed != nullptr) FilesListed(folder, n - told, true);
    if (frame.subfolders.empty()) return;
    frame.path = folder;
    frame.level = level;
    stack_.push_back(std::move(frame));
  }

  // Tells of the subfolder `path` left out.
  void LeaveOut(const Text& path, LeftOut why) {
    sink_.FolderLeftOut(path, why);
    if (FoldersLeftOut != nullptr) FoldersLeftOut(path);
  }

  // Visits the next subfolder of the innermost folder with subfolders to come.
  void Step() {
    Frame& top = stack_.back();
    const Child child = std::move(top.subfolders[top.next++]);
    const int64_t level = top.level + 1;
    const Text sub = Paths::AsFolder(Paths::Join(top.path, child.entry.name));
    const bool last = top.next == top.subfolders.size();
    Platform::DirSearch search;
    if (child.opened) {
      const Outcome<Platform::SearchStatus> opening = OpenSub(top, child, search);
      Platform::FolderId id;
      if (rules_.followLinks && search.Identity(id) && !FirstEntry(entered_, id)) return EndIfDone(last);
      if (opening.status == Platform::SearchStatus::kFailed ||
          opening.status == Platform::SearchStatus::kNoHandles)
        sink_.Unread({sub, opening.reason});
    }
    EndIfDone(last);  // `top` is gone now when it was its last subfolder
    if (child.admitted) sink_.Folder(sub, &child.entry);
    Visit(search, sub, level, child.admitted);
  }

  // Opens the search of the subfolder `child` of `parent` from the parent, which is held again when it was
  // let go (by its path; it must still be the folder it was). When the descriptors run out, the held folders
  // are let go and it is tried once more: no folder is called unreadable for the walk's own descriptors.
  Outcome<Platform::SearchStatus> OpenSub(Frame& parent, const Child& child, Platform::DirSearch& search) {
    Outcome<Platform::SearchStatus> opening{Platform::SearchStatus::kFailed, Text()};
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (!parent.folder.IsOpen()) {
        MakeRoom();
        Done held = parent.folder.Open(parent.path);
        if (!held.status) return {Platform::SearchStatus::kFailed, std::move(held.reason)};
        ++held_;
      }
      opening = search.OpenIn(parent.folder, child.entry.name, FlagsFor(child.admitted), &takenOf_);
      if (opening.status != Platform::SearchStatus::kNoHandles) break;
      LetGo();
    }
    return opening;
  }

  // A file's taken date that found no descriptor to spare is read again
  // once the held folders are let go, as a subfolder's search is (OpenSub).
  void ReadTakenAgain(const Platform::DirSearch& search, Platform::DirEntry& entry) {
    LetGo();
    search.ReadTakenAgain(entry);
  }

  // Lets every held folder go (their descriptors have run out).
  void LetGo() {
    for (Frame& frame : stack_) frame.folder.Close();
    held_ = 0;
    lowest_ = stack_.empty() ? 0 : stack_.size() - 1;
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
  // one when the most are: the walk comes back to it last.
  bool MakeRoom() {
    if (held_ < mostHeld_) return true;
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

  const WalkRules& rules_;
  Sink& sink_;
  const unsigned flags_;   // of the searches
  const size_t mostHeld_;  // folders held at most
  int64_t total_ = 0;      // files handed on
  std::vector<Frame> stack_;
  size_t held_ = 0;    // frames whose folder is open
  size_t lowest_ = 0;  // no frame below this one is held
  EnteredFolders entered_;
  const Platform::TakenTest takenOf_;
};

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

}  // namespace

bool FirstEntry(EnteredFolders& entered, const Platform::FolderId& id) {
  // Some file systems give every folder the index 0 (or none at all): that
  // tells nothing about which folder it is.
  return id.index == 0 || entered.emplace(id.volume, id.index).second;
}

WalkRules::WalkRules(int64_t levels, int64_t flags)
    : levels(levels),
      files((flags & FoldersOnly) == 0),
      withTimes((flags & WithDates) != 0),
      followLinks((flags & SkipFolderLinks) == 0),
      linkTargets((flags & DateLinksByTarget) != 0),
      taken((flags & WithTaken) != 0) {}

int64_t WalkBelow(const Text& folder, bool admitted, const WalkRules& rules, Sink& sink) {
  return Walker(rules, sink).Run(folder, admitted);
}

int64_t Walk(const Text& roots, const WalkRules& rules, Sink& sink, int64_t* fields) {
  // Where "|" and CR LF may stand in names (POSIX), the value is one root.
  const Text joined = Platform::kRootLists ? JoinLines(roots) : roots;
  const int64_t count = Platform::kRootLists ? static_cast<int64_t>(CountUnits(joined, u'|')) + 1 : 1;
  if (fields != nullptr) *fields = count;
  ParseFilterList(IncludeExtensions, rules.extensions);
  ParseFilterList(ExcludeExtensions, rules.skipExtensions);
  ParseFilterList(IncludeFolderWords, rules.folderWords);
  ParseFilterList(ExcludeFolderWords, rules.skipFolderWords);
  int64_t total = 0;
  size_t start = 0;
  for (int64_t i = 0; i < count; ++i) {
    const size_t end = Platform::kRootLists ? joined.find(u'|', start) : Text::npos;
    const Text field = joined.substr(start, end - start);
    start = end + 1;
    // The field is taken as it is: the command line has expanded it once.
    Text root = LPS::ToLongPath(field, 0);
    if (!LPS::IsFolder(root, 0)) continue;
    root = Paths::AsFolder(root);
    CurrentRoot = root;
    sink.Root(root);
    const bool admitted = rules.folderWords.empty() || PathMatches(root, IncludeFolderWords);
    if (admitted) sink.Folder(root, nullptr);
    total += WalkBelow(root, admitted, rules, sink);
  }
  return total;
}

}  // namespace ScanDir
