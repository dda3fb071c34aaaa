#include "io/ReportFile.h"

#include <algorithm>

#include "base/Paths.h"
#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Search.h"

namespace {

using Mode = Platform::OutputFile::Mode;
using Share = Platform::OutputFile::Share;
using Opening = Platform::OutputFile::Opening;
using Written = Outcome<WriteStatus>;

// Hands bytes to a file in blocks of 4096; the first failed write is kept.
class BlockWriter {
 public:
  explicit BlockWriter(Platform::OutputFile& file) : file_(file) {}

  void operator()(std::string_view bytes) {
    for (size_t pos = 0; pos < bytes.size();) {
      const size_t take = std::min(bytes.size() - pos, kBlock - used_);
      std::copy_n(bytes.data() + pos, take, block_ + used_);
      used_ += take, pos += take;
      if (used_ == kBlock) Drain();
    }
  }
  // Writes what is left: the first failure, if any write failed.
  Done Finish() {
    if (used_ != 0) Drain();
    return done_;
  }

 private:
  static constexpr size_t kBlock = 4096;
  void Drain() {
    if (done_.status) done_ = file_.Write(block_, used_);
    used_ = 0;
  }
  Platform::OutputFile& file_;
  char block_[kBlock];
  size_t used_ = 0;
  Done done_ = Succeeded();
};

// Writes what `produce` makes to the open `file`, cuts the file off behind
// it, makes it durable and closes it: the first of these that fails.
Done WriteAndClose(Platform::OutputFile& file, const std::function<void(const ByteSink&)>& produce) {
  BlockWriter out(file);
  produce([&out](std::string_view bytes) { out(bytes); });
  Done done = out.Finish();
  if (done.status) done = file.EndHere();
  if (done.status) done = file.Flush();
  const Done closed = file.Close();
  return done.status ? closed : done;
}

// A temporary file beside the file it is to replace; deleted unless it was
// moved into place, on every way out of the writer, exceptions and signals
// included.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() {
    Platform::ForgetOnInterrupt();
    if (!moved_) file.Discard();
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  enum class Made { kMade, kRefused, kFailed };
  // Creates it beside `target`, passing over names that are taken. kRefused
  // when the folder takes no new files, kFailed for any other failure; the
  // reason is the system's.
  Outcome<Made> Create(const Text& target) {
    constexpr int kAttempts = 64;
    Text reason;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      name_ = TemporaryName(target, attempt);
      // Made so that an interruption deletes it from the moment it exists.
      Outcome<Opening> opened = file.Open(name_, Mode::kCreateTemporary, Share::kNone);
      if (opened.status == Opening::kOpened) return {Made::kMade, Text()};
      reason = std::move(opened.reason);
      if (opened.status == Opening::kExists) continue;
      if (opened.status != Opening::kRefused) return {Made::kFailed, reason};
      // Refused where a file of that name stands: taken (Windows refuses a
      // name that a folder or a file being deleted holds). Else the folder
      // takes no files.
      uint32_t attributes = 0;
      if (!Platform::FileAttributes(name_, attributes)) return {Made::kRefused, reason};
    }
    return {Made::kFailed, reason};
  }
  // Moves the written and closed file over `target`.
  Done MoveOver(const Text& target) {
    Done done = Platform::MoveReplacing(name_, target);
    moved_ = done.status;
    if (moved_) Platform::ForgetOnInterrupt();  // the name is the report's now
    return done;
  }

  Platform::OutputFile file;

 private:
  Text name_;
  bool moved_ = false;
};

// Writes the file where it is: its links, owner and settings stay, but a
// failure leaves it incomplete. Every byte is made before the first is
// written: memory running out then leaves the old file whole.
Written WriteInPlace(const Text& target, const std::function<void(const ByteSink&)>& produce) {
  std::string bytes;
  produce([&bytes](std::string_view more) { bytes.append(more); });
  Platform::OutputFile file;
  // Opened without truncation (Windows refuses to truncate a hidden or
  // system file unless asked with those attributes); what is left of the
  // old content is cut off at the end.
  Outcome<Opening> opened = file.Open(target, Mode::kOpenAlways, Share::kNone);
  if (opened.status != Opening::kOpened) return {WriteStatus::kNotWritten, std::move(opened.reason)};
  const auto all = [&bytes](const ByteSink& out) { out(bytes); };
  Done done = WriteAndClose(file, all);
  return {done.status ? WriteStatus::kWritten : WriteStatus::kLeftIncomplete, std::move(done.reason)};
}

}  // namespace

Text TemporaryName(const Text& target, int attempt) {
  Text name(Paths::FolderOf(target));
  name += u'.';
  const uint32_t pid = Platform::ProcessId();
  for (int shift = 28; shift >= 0; shift -= 4) name += u"0123456789abcdef"[(pid >> shift) & 0xF];
  name += u'-';
  name += u"0123456789abcdef"[(attempt >> 4) & 0xF];
  name += u"0123456789abcdef"[attempt & 0xF];
  return name + u".tmp";
}

namespace {

// The value of a lower-case hexadecimal digit, or -1.
int HexDigit(char16_t unit) {
  if (unit >= u'0' && unit <= u'9') return unit - u'0';
  return unit >= u'a' && unit <= u'f' ? unit - u'a' + 10 : -1;
}

constexpr Platform::FileTime kLeftFor = Platform::FileTime{3600} * 10000000;  // an hour

}  // namespace

bool IsTemporaryName(TextView name, uint32_t& process) {
  // "." 8 digits "-" 2 digits ".tmp", as TemporaryName writes it.
  if (name.size() != 16 || name[0] != u'.' || name[9] != u'-' || name.substr(12) != u".tmp") return false;
  uint32_t id = 0;
  for (size_t i = 1; i < 12; ++i) {
    if (i == 9) continue;
    const int digit = HexDigit(name[i]);
    if (digit < 0) return false;
    if (i < 9) id = id << 4 | static_cast<uint32_t>(digit);
  }
  process = id;
  return true;
}

std::vector<Text> RemoveLeftTemporaries(const Text& folder) {
  std::vector<Text> removed;
  Platform::DirSearch search;
  if (search.Open(Paths::Join(folder, u".*.tmp"), Platform::kSearchTimes).status !=
      Platform::SearchStatus::kOpened)
    return removed;
  const Platform::FileTime before = Platform::StampNow() - kLeftFor;
  Platform::DirEntry entry;
  uint32_t process = 0;
  while (search.Next(entry)) {
    if (entry.IsDirectory() || !IsTemporaryName(entry.name, process)) continue;
    if (entry.lastWrite > before || process == Platform::ProcessId() || Platform::ProcessRunning(process))
      continue;
    if (Platform::RemoveFile(Paths::Join(folder, entry.name)).status) removed.push_back(entry.name);
  }
  return removed;
}

bool IsOwnTemporaryName(TextView name) {
  uint32_t process = 0;
  return IsTemporaryName(name, process);
}

Outcome<WriteStatus> WriteFileReplacing(const Text& fileName,
                                        const std::function<void(const ByteSink&)>& produce) {
  Text target;
  Platform::FileFacts facts;
  // What stands there and cannot be asked about, or a link that cannot be
  // followed, counts as an earlier file left as it was.
  Done asked = Platform::FinalPath(fileName, target);
  if (asked.status) asked = Platform::QueryFile(target, facts);
  if (!asked.status) return {WriteStatus::kNotWritten, std::move(asked.reason)};
  if (facts.exists && facts.folder) {
    return {WriteStatus::kNotWritten, Platform::RefusalReason(Platform::Refusal::kIsFolder)};
  }
  if (facts.exists && facts.readOnly) {
    return {WriteStatus::kNotWritten, Platform::RefusalReason(Platform::Refusal::kReadOnly)};
  }
  // Another name of the same file would keep the old content after a move.
  if (facts.exists && facts.links > 1) return WriteInPlace(target, produce);

  const WriteStatus notWritten = facts.exists ? WriteStatus::kNotWritten : WriteStatus::kNotMade;
  TemporaryFile temporary;
  Outcome<TemporaryFile::Made> made = temporary.Create(target);
  switch (made.status) {
    case TemporaryFile::Made::kMade: break;
    case TemporaryFile::Made::kRefused:
      if (facts.exists) return WriteInPlace(target, produce);
      return {notWritten, std::move(made.reason)};
    case TemporaryFile::Made::kFailed: return {notWritten, std::move(made.reason)};
  }
  if (facts.exists && !temporary.file.CopySettingsFrom(target).status) {
    temporary.file.Discard();
    return WriteInPlace(target, produce);
  }
  Done done = WriteAndClose(temporary.file, produce);
  if (done.status) done = temporary.MoveOver(target);
  return {done.status ? WriteStatus::kWritten : notWritten, std::move(done.reason)};
}
