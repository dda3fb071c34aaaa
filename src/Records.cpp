// Record paths in pieces, and the name store of a file list.
#include "Records.h"

#include <cstring>
#include <utility>

RecordPath::RecordPath(const RecordPath& other) {
  if (other.nameSize_ & kOwned) {
    Own(other.name());
  } else {
    folder_ = other.folder_, name_ = other.name_;
    folderSize_ = other.folderSize_, nameSize_ = other.nameSize_;
  }
}

RecordPath::RecordPath(RecordPath&& other) noexcept
    : folder_(other.folder_), name_(other.name_), folderSize_(other.folderSize_), nameSize_(other.nameSize_) {
  other.folder_ = other.name_ = nullptr;
  other.folderSize_ = other.nameSize_ = 0;
}

RecordPath& RecordPath::operator=(const RecordPath& other) {
  if (this != &other) *this = RecordPath(other);
  return *this;
}

RecordPath& RecordPath::operator=(RecordPath&& other) noexcept {
  if (this == &other) return *this;
  Free();
  folder_ = std::exchange(other.folder_, nullptr);
  name_ = std::exchange(other.name_, nullptr);
  folderSize_ = std::exchange(other.folderSize_, 0);
  nameSize_ = std::exchange(other.nameSize_, 0);
  return *this;
}

RecordPath RecordPath::Pieces(TextView folder, TextView name) {
  RecordPath path;
  path.folder_ = folder.data(), path.folderSize_ = static_cast<uint32_t>(folder.size());
  path.name_ = name.data(), path.nameSize_ = static_cast<uint32_t>(name.size());
  return path;
}

void RecordPath::Own(TextView path) {
  if (path.empty()) return;
  auto* block = new char16_t[path.size()];
  std::memcpy(block, path.data(), path.size() * sizeof(char16_t));
  name_ = block;
  nameSize_ = static_cast<uint32_t>(path.size()) | kOwned;
}

void RecordPath::Free() {
  if (nameSize_ & kOwned) delete[] name_;
  name_ = nullptr;
  nameSize_ = 0;
}

Text RecordPath::str() const {
  Text text;
  text.reserve(size());
  return text.append(folder()).append(name());
}

bool RecordPath::ends_with(TextView tail) const {
  if (tail.size() > size()) return false;
  const size_t start = size() - tail.size();
  for (size_t i = 0; i < tail.size(); ++i) {
    if ((*this)[start + i] != tail[i]) return false;
  }
  return true;
}

int RecordPath::Compare(const RecordPath& other) const {
  // Files of one folder share its piece: only the names differ.
  if (folder_ == other.folder_ && folderSize_ == other.folderSize_) {
    const int c = name().compare(other.name());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return Compare(other, [](char16_t unit) { return unit; });
}

TextView NameStore::Keep(TextView text) {
  if (capacity_ - used_ < text.size()) {
    // Blocks of 64K units keep the overhead per block small; a longer
    // text gets a block of its own size.
    capacity_ = std::max<size_t>(size_t{1} << 16, text.size());
    blocks_.push_back(std::make_unique<char16_t[]>(capacity_));
    used_ = 0;
  }
  char16_t* at = blocks_.back().get() + used_;
  std::memcpy(at, text.data(), text.size() * sizeof(char16_t));
  used_ += text.size();
  return {at, text.size()};
}

void FileList::clear() {
  records_.clear();
  stores_.clear();
  lastFolder_ = TextView();
}

FileRecord& FileList::AddFile(TextView folder, TextView name) {
  // A list another list shares its names with gets a store of its own, so
  // nothing it adds shows in the other.
  if (stores_.empty() || stores_.back().use_count() > 1) {
    stores_.push_back(std::make_shared<NameStore>());
    lastFolder_ = TextView();
  }
  NameStore& store = *stores_.back();
  if (lastFolder_.data() == nullptr || lastFolder_ != folder) lastFolder_ = store.Keep(folder);
  FileRecord& record = records_.emplace_back();
  record.Path = RecordPath::Pieces(lastFolder_, store.Keep(name));
  return record;
}

void FileList::Append(FileList&& other) {
  if (&other == this) return;
  if (records_.empty()) {
    records_ = std::move(other.records_);  // takes the records where they are
  } else {
    for (FileRecord& record : other.records_) records_.push_back(std::move(record));
  }
  stores_.insert(stores_.end(), other.stores_.begin(), other.stores_.end());
  // The last store may now be shared: AddFile starts a new one then.
  lastFolder_ = TextView();
  other.clear();
}
