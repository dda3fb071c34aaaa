// Record paths in pieces, and the file lists of a scan.
#include "scan/records/Records.h"

#include <algorithm>
#include <cstring>
#include <utility>

RecordPath::RecordPath(const RecordPath& other) {
  if (other.nameSize_ & kOwned) {
    Own(TextView(static_cast<const char16_t*>(other.name_), other.NameSize()));
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

RecordPath RecordPath::Pieces(StoredText folder, StoredText name) {
  RecordPath path;
  path.folder_ = folder.data, path.folderSize_ = folder.size | (folder.narrow ? kFolderNarrow : 0);
  path.name_ = name.data, path.nameSize_ = name.size | (name.narrow ? kNarrow : 0);
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
  if (nameSize_ & kOwned) delete[] static_cast<const char16_t*>(name_);
  name_ = nullptr;
  nameSize_ = 0;
}

Text RecordPath::str() const {
  Text text;
  text.reserve(size());
  for (size_t i = 0; i < size(); ++i) text += (*this)[i];
  return text;
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
  size_t i = (folder_ == other.folder_ && folderSize_ == other.folderSize_) ? FolderSize() : 0;
  const size_t n = std::min(size(), other.size());
  for (; i < n; ++i) {
    const char16_t x = (*this)[i], y = other[i];
    if (x != y) return x < y ? -1 : 1;
  }
  return size() == other.size() ? 0 : (size() < other.size() ? -1 : 1);
}

namespace {

bool SameText(const StoredText& stored, TextView text) {
  if (stored.size != text.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (stored[i] != text[i]) return false;
  }
  return true;
}

}  // namespace

FileList::FileList(const FileList& other)
    : records_(other.records_ ? std::make_unique<Records>(*other.records_) : nullptr),
      stores_(other.stores_),
      lastFolder_(other.lastFolder_) {}

FileList& FileList::operator=(const FileList& other) {
  if (this != &other) *this = FileList(other);
  return *this;
}

FileList::Records& FileList::NoRecords() {
  static Records none;
  return none;
}

FileList::Records& FileList::Grown() {
  if (!records_) records_ = std::make_unique<Records>();
  return *records_;
}

void FileList::clear() {
  records_.reset();
  stores_.clear();
  lastFolder_ = StoredText();
}

FileRecord& FileList::AddFile(TextView folder, TextView name) {
  // A store shared with another list is added to all the same: kept texts
  // never move or change, so neither list sees the other's.
  if (stores_.empty()) {
    stores_.push_back(std::make_shared<NameStore>());
    lastFolder_ = StoredText();
  }
  NameStore& store = *stores_.back();
  if (lastFolder_.data == nullptr || !SameText(lastFolder_, folder)) lastFolder_ = store.Keep(folder);
  FileRecord& record = Grown().emplace_back();
  record.Path = RecordPath::Pieces(lastFolder_, store.Keep(name));
  return record;
}

void FileList::Append(FileList&& other) {
  if (&other == this) return;
  if (empty()) {
    records_ = std::move(other.records_);  // takes the records where they are
  } else {
    for (FileRecord& record : other) records_->push_back(std::move(record));
  }
  stores_.insert(stores_.end(), other.stores_.begin(), other.stores_.end());
  lastFolder_ = StoredText();
  // `other` goes on in its last store, which this list now shares: the
  // files of a walk's folders, moved on one by one, fill one store.
  std::shared_ptr<NameStore> last = other.stores_.empty() ? nullptr : other.stores_.back();
  other.clear();
  if (last) other.stores_.push_back(std::move(last));
}
