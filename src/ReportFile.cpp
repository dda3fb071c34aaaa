#include "ReportFile.h"

#include <algorithm>

#include "Process.h"
#include "platform/Platform.h"

namespace {

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

// Creates a temporary file beside `target`; false when none can be made.
bool CreateTemporary(const Text& target, Platform::OutputFile& file, Text& tempName) {
  const Text stem = target + u"." + DecimalText(Platform::ProcessId());
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempName = stem;
    if (attempt > 0) tempName.append(u"-").append(DecimalText(attempt));
    tempName += u".tmp";
    if (file.Open(tempName, Platform::OutputFile::Mode::kCreateNew, Platform::OutputFile::Share::kNone)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool WriteFileReplacing(const Text& fileName, const std::function<void(const ByteSink&)>& produce) {
  Platform::OutputFile file;
  Text tempName;
  if (!CreateTemporary(fileName, file, tempName)) return false;

  BlockWriter out(file);
  produce([&out](std::string_view bytes) { out(bytes); });
  bool ok = out.Finish();
  ok = file.Flush() && ok;
  ok = file.Close() && ok;
  ok = ok && Platform::MoveReplacing(tempName, fileName);
  if (!ok) Platform::RemoveFile(tempName);
  return ok;
}
