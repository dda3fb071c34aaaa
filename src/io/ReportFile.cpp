#include "io/ReportFile.h"

#include <algorithm>

#include "base/Paths.h"
#include "platform/Platform.h"

namespace {

using Mode = Platform::OutputFile::Mode;
using Share = Platform::OutputFile::Share;
using Platform::Failure;

Text failureReason;

// Notes why a write failed (before anything else can change the system's
// last error) and returns false.
bool Failed(Failure failure = Failure::kLastCall) {
  failureReason = Platform::FailureText(failure);
  return false;
}

// The same for a whole write that did not happen.
WriteOutcome NotWritten(Failure failure = Failure::kLastCall) {
  Failed(failure);
  return WriteOutcome::kNotWritten;
}

// Hands bytes to a file in blocks of 4096.
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
  // Writes what is left; false if any write failed.
  bool Finish() {
    if (used_ != 0) Drain();
    return ok_;
  }

 private:
  static constexpr size_t kBlock = 4096;
  void Drain() {
    ok_ = ok_ && file_.Write(block_, used_);
    used_ = 0;
  }
  Platform::OutputFile& file_;
  char block_[kBlock];
  size_t used_ = 0;
  bool ok_ = true;
};

// Writes what `produce` makes to the open `file`, cuts the file off behind
// it, makes it durable and closes it; false when any of that fails.
bool WriteAndClose(Platform::OutputFile& file, const std::function<void(const ByteSink&)>& produce) {
  BlockWriter out(file);
  produce([&out](std::string_view bytes) { out(bytes); });
  bool ok = out.Finish();
  ok = ok && file.EndHere();
  if (!ok) Failed();
  ok = (file.Flush() || Failed()) && ok;
  return (file.Close() || Failed()) && ok;
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
  // when the folder takes no new files, kFailed for any other failure.
  Made Create(const Text& target) {
    constexpr int kAttempts = 64;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      name_ = TemporaryName(target, attempt);
      if (file.Open(name_, Mode::kCreateNew, Share::kNone)) {
        Platform::DeleteOnInterrupt(name_);
        return Made::kMade;
      }
      Failed();
      const Platform::OutputFile::Failure failure = file.LastFailure();
      if (failure == Platform::OutputFile::Failure::kExists) continue;
      if (failure != Platform::OutputFile::Failure::kRefused) return Made::kFailed;
      // Refused where a file of that name stands: taken (Windows refuses a
      // name that a folder or a file being deleted holds). Else the folder
      // takes no files.
      uint32_t attributes = 0;
      if (!Platform::FileAttributes(name_, attributes)) return Made::kRefused;
    }
    return Made::kFailed;
  }
  // Moves the written and closed file over `target`; false when that fails.
  bool MoveOver(const Text& target) {
    moved_ = Platform::MoveReplacing(name_, target) || Failed();
    if (moved_) Platform::ForgetOnInterrupt();  // the name is the report's now
    return moved_;
  }

  Platform::OutputFile file;

 private:
  Text name_;
  bool moved_ = false;
};

// Writes the file where it is: its links, owner and settings stay, but a
// failure leaves it incomplete. Every byte is made before the first is
// written: memory running out then leaves the old file whole.
WriteOutcome WriteInPlace(const Text& target, const std::function<void(const ByteSink&)>& produce) {
  std::string bytes;
  produce([&bytes](std::string_view more) { bytes.append(more); });
  Platform::OutputFile file;
  // Opened without truncation (Windows refuses to truncate a hidden or
  // system file unless asked with those attributes); what is left of the
  // old content is cut off at the end.
  if (!file.Open(target, Mode::kOpenAlways, Share::kNone)) return NotWritten();
  const auto all = [&bytes](const ByteSink& out) { out(bytes); };
  return WriteAndClose(file, all) ? WriteOutcome::kWritten : WriteOutcome::kLeftIncomplete;
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

const Text& WriteFailureReason() { return failureReason; }

WriteOutcome WriteFileReplacing(const Text& fileName, const std::function<void(const ByteSink&)>& produce) {
  Text target;
  Platform::FileFacts facts;
  if (!Platform::FinalPath(fileName, target) || !Platform::QueryFile(target, facts)) {
    return NotWritten();
  }
  // What stands there and cannot be asked about, or a link that cannot be
  // followed, counts as an earlier file left as it was.
  if (facts.exists && facts.folder) return NotWritten(Failure::kIsFolder);
  if (facts.exists && facts.readOnly) return NotWritten(Failure::kReadOnly);
  // Another name of the same file would keep the old content after a move.
  if (facts.exists && facts.links > 1) return WriteInPlace(target, produce);

  const WriteOutcome notWritten = facts.exists ? WriteOutcome::kNotWritten : WriteOutcome::kNotMade;
  TemporaryFile temporary;
  switch (temporary.Create(target)) {
    case TemporaryFile::Made::kMade: break;
    case TemporaryFile::Made::kRefused: return facts.exists ? WriteInPlace(target, produce) : notWritten;
    case TemporaryFile::Made::kFailed: return notWritten;
  }
  if (facts.exists && !temporary.file.CopySettingsFrom(target)) {
    temporary.file.Discard();
    return WriteInPlace(target, produce);
  }
  const bool ok = WriteAndClose(temporary.file, produce) && temporary.MoveOver(target);
  return ok ? WriteOutcome::kWritten : notWritten;
}
