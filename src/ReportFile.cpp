#include "ReportFile.h"

#include <algorithm>

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

// Creates a temporary file beside `target`, trying further names while one
// is taken; false when none can be made.
bool CreateTemporary(const Text& target, Platform::OutputFile& file, Text& tempName) {
  constexpr int kAttempts = 64;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    tempName = TemporaryName(target, attempt);
    if (file.Open(tempName, Mode::kCreateNew, Share::kNone)) return true;
    Failed();
    // A name that is free but cannot be created: the folder takes no files.
    uint32_t attributes = 0;
    if (!Platform::FileAttributes(tempName, attributes)) return false;
  }
  return false;
}

// Writes the file where it is: its links, owner and settings stay, but a
// failure leaves it incomplete.
bool WriteInPlace(const Text& target, const std::function<void(const ByteSink&)>& produce) {
  Platform::OutputFile file;
  // Opened without truncation (Windows refuses to truncate a hidden or
  // system file unless asked with those attributes); what is left of the
  // old content is cut off at the end.
  return (file.Open(target, Mode::kOpenAlways, Share::kNone) || Failed()) && WriteAndClose(file, produce);
}

}  // namespace

Text TemporaryName(const Text& target, int attempt) {
  const size_t cut = target.find_last_of(Platform::kNameSeparators);
  Text name = cut == Text::npos ? Text() : target.substr(0, cut + 1);
  name += u'.';
  const uint32_t pid = Platform::ProcessId();
  for (int shift = 28; shift >= 0; shift -= 4) name += u"0123456789abcdef"[(pid >> shift) & 0xF];
  name += u'-';
  name += u"0123456789abcdef"[(attempt >> 4) & 0xF];
  name += u"0123456789abcdef"[attempt & 0xF];
  return name + u".tmp";
}

const Text& WriteFailureReason() { return failureReason; }

bool WriteFileReplacing(const Text& fileName, const std::function<void(const ByteSink&)>& produce) {
  Text target;
  Platform::FileFacts facts;
  if (!Platform::FinalPath(fileName, target) || !Platform::QueryFile(target, facts)) return Failed();
  if (facts.exists && facts.folder) return Failed(Failure::kIsFolder);
  if (facts.exists && facts.readOnly) return Failed(Failure::kReadOnly);
  // Another name of the same file would keep the old content after a move.
  if (facts.exists && facts.links > 1) return WriteInPlace(target, produce);

  Platform::OutputFile file;
  Text tempName;
  if (!CreateTemporary(target, file, tempName)) return facts.exists && WriteInPlace(target, produce);
  if (facts.exists && !file.CopySettingsFrom(target)) {
    file.Close();
    Platform::RemoveFile(tempName);
    return WriteInPlace(target, produce);
  }
  const bool ok = WriteAndClose(file, produce) && (Platform::MoveReplacing(tempName, target) || Failed());
  if (!ok) Platform::RemoveFile(tempName);
  return ok;
}
