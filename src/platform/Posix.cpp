// The platform services on Linux and other POSIX systems. Text crosses this
// boundary as UTF-16; file names and the command line are bytes, decoded as
// UTF-8 with invalid bytes carried as U+DC80..U+DCFF so they come back
// unchanged on the way out.
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <wctype.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/LocalTimeCache.h"
#include "platform/Platform.h"

extern char** environ;

namespace Platform {

extern const char16_t kSeparator = u'/';
extern const char16_t* const kNameSeparators = u"/";
extern const char16_t* const kSwitchPrefix = u"--";
extern const bool kSlashSwitches = false;
extern const bool kLongPathPrefixes = false;

namespace {

int savedArgc = 0;
char** savedArgv = nullptr;

std::string PathBytes(const Text& path) { return Utf8FromText(path); }

FileTime TicksOf(int64_t seconds, uint32_t nanoseconds) {
  return (seconds + Calendar::kUnixEpochTicks / Calendar::kTicksPerSecond) * Calendar::kTicksPerSecond +
         nanoseconds / 100;
}

// Writes all of `size` bytes, going on after short writes and signals.
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

// ---- Process ----------------------------------------------------------------

void SetArguments(int argc, char** argv) {
  savedArgc = argc;
  savedArgv = argv;
}

Text CommandLine() {
  // Joined so that the tokenizer gives back the arguments the shell passed:
  // an empty argument or one holding a space is put in double quotes.
  Text line;
  for (int i = 0; i < savedArgc; ++i) {
    const Text arg = TextFromUtf8(savedArgv[i]);
    if (i > 0) line += u' ';
    if (arg.empty() || arg.find(u' ') != Text::npos) {
      line += u'"' + arg + u'"';
    } else {
      line += arg;
    }
  }
  return line;
}

Text ModulePath() {
  std::string buffer(4096, '\0');
  while (true) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) break;
    if (static_cast<size_t>(n) < buffer.size()) return TextFromUtf8(std::string_view(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
  // No /proc: the path the program was started by, made absolute.
  if (savedArgc > 0) {
    if (char* resolved = ::realpath(savedArgv[0], nullptr)) {
      Text path = TextFromUtf8(resolved);
      std::free(resolved);
      return path;
    }
  }
  return Text();
}

bool EnvironmentEntries(std::vector<Text>& entries) {
  if (environ == nullptr) return false;
  for (char** entry = environ; *entry != nullptr; ++entry) entries.push_back(TextFromUtf8(*entry));
  return true;
}

CalendarTime LocalNow() {
  const time_t now = ::time(nullptr);
  struct tm local {};
  CalendarTime result;
  if (::localtime_r(&now, &local) != nullptr) {
    result.year = local.tm_year + 1900;
    result.month = local.tm_mon + 1;
    result.day = local.tm_mday;
    result.hour = local.tm_hour;
    result.minute = local.tm_min;
    result.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second
  }
  return result;
}

void EndProcess(uint32_t status) {
  std::fflush(nullptr);
  // _exit: the records of a large scan need no freeing one by one.
  ::_exit(static_cast<int>(status));
}

void ShowFatalMessage(const Text& text, const Text& caption) {
  std::string message = ToUtf8(caption) + ": ";
  for (char c : ToUtf8(text)) {
    if (c != '\r') message += c;  // CR LF becomes LF
  }
  message += '\n';
  WriteAll(STDERR_FILENO, message.data(), message.size());
}

void DebugOutput(const Text& line) {
  if (std::getenv("DATEMILL_TRACE") == nullptr) return;
  std::string bytes;
  for (char c : ToUtf8(line)) {
    if (c != '\r') bytes += c;
  }
  WriteAll(STDERR_FILENO, bytes.data(), bytes.size());
}

uint32_t ProcessId() { return static_cast<uint32_t>(::getpid()); }

// ---- File system ------------------------------------------------------------

namespace {

struct EntryInfo {
  uint32_t attributes = 0;
  uint64_t size = 0;
  FileTime created = 0, lastWrite = 0, lastAccess = 0;
};

// The attribute word the program expects, made from what POSIX knows.
uint32_t SynthesiseAttributes(std::string_view name, mode_t mode, bool followsToDirectory) {
  uint32_t attributes = 0;
  if (S_ISDIR(mode) || followsToDirectory) attributes |= kAttrDirectory;
  if (!(mode & S_IWUSR) && !S_ISLNK(mode)) attributes |= kAttrReadOnly;
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= kAttrHidden;
  if (S_ISLNK(mode)) attributes |= kAttrReparsePoint;
  if (attributes == 0) attributes = kAttrNormal;
  return attributes;
}

bool IsDirectoryBehind(int dirfd, const char* name) {
  struct stat target {};
  return ::fstatat(dirfd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

// Reads one entry's facts without following a link; a link to a folder still
// counts as a folder. Times only when asked for.
bool ReadEntry(int dirfd, const char* name, bool withTimes, EntryInfo& info) {
  const char* base = std::strrchr(name, '/');
  base = (base != nullptr && base[1] != '\0') ? base + 1 : name;
#ifdef STATX_BASIC_STATS
  static bool haveStatx = true;
  if (haveStatx) {
    struct statx stx {};
    unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE;
    if (withTimes) mask |= STATX_BTIME | STATX_MTIME | STATX_ATIME;
    if (::statx(dirfd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &stx) == 0) {
      const bool link = S_ISLNK(stx.stx_mode);
      info.attributes = SynthesiseAttributes(base, stx.stx_mode, link && IsDirectoryBehind(dirfd, name));
      info.size = stx.stx_size;
      if (withTimes) {
        info.lastWrite = TicksOf(stx.stx_mtime.tv_sec, stx.stx_mtime.tv_nsec);
        info.lastAccess = TicksOf(stx.stx_atime.tv_sec, stx.stx_atime.tv_nsec);
        // File systems without a birth time report none: use the last write.
        info.created = (stx.stx_mask & STATX_BTIME) ? TicksOf(stx.stx_btime.tv_sec, stx.stx_btime.tv_nsec)
                                                    : info.lastWrite;
      }
      return true;
    }
    if (errno != ENOSYS) return false;
    haveStatx = false;
  }
#endif
  struct stat st {};
  if (::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  const bool link = S_ISLNK(st.st_mode);
  info.attributes = SynthesiseAttributes(base, st.st_mode, link && IsDirectoryBehind(dirfd, name));
  info.size = static_cast<uint64_t>(st.st_size);
  if (withTimes) {
    info.lastWrite = TicksOf(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
    info.lastAccess = TicksOf(st.st_atim.tv_sec, static_cast<uint32_t>(st.st_atim.tv_nsec));
    info.created = info.lastWrite;
  }
  return true;
}

// Windows-style wildcard match: "*" any run, "?" any one character.
bool WildcardMatch(const char* pattern, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' || *pattern == *name) {
      ++pattern, ++name;
    } else if (star != nullptr) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

}  // namespace

struct DirSearch::State {
  DIR* dir = nullptr;
  std::string directory;  // for the single-entry form
  std::string pattern;
  bool matchAll = false;
  bool withTimes = false;
  int dotsLeft = 2;      // "." and ".." come first, as on Windows
  bool single = false;   // a search for one named entry
  bool pending = false;  // `held` is the next entry to deliver
  std::string heldName;
  EntryInfo held;
};

DirSearch::~DirSearch() { Close(); }

void DirSearch::Close() {
  if (state_ == nullptr) return;
  if (state_->dir != nullptr) ::closedir(state_->dir);
  delete state_;
  state_ = nullptr;
}

namespace {

// The next entry of the listing that matches, into `name` and `info`.
bool NextMatch(DirSearch::State& s, std::string& name, EntryInfo& info);

}  // namespace

SearchStatus DirSearch::Open(const Text& pathAndPattern, bool withTimes) {
  Close();
  const std::string bytes = PathBytes(pathAndPattern);
  const size_t slash = bytes.rfind('/');
  std::string directory = slash == std::string::npos ? "." : bytes.substr(0, slash == 0 ? 1 : slash);
  std::string pattern = slash == std::string::npos ? bytes : bytes.substr(slash + 1);
  // A path ending in a separator names no entry.
  if (pattern.empty()) return SearchStatus::kNoMatch;

  state_ = new State;
  state_->withTimes = withTimes;
  state_->pattern = pattern;
  if (pattern.find_first_of("*?") == std::string::npos) {
    state_->single = true;
    if (!ReadEntry(AT_FDCWD, bytes.c_str(), withTimes, state_->held)) {
      const int error = errno;
      Close();
      struct stat st {};
      const bool folderThere = ::stat(directory.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      return (error == ENOENT && folderThere) ? SearchStatus::kNoMatch : SearchStatus::kFailed;
    }
    state_->heldName = pattern;
    state_->pending = true;
    return SearchStatus::kOpened;
  }
  state_->matchAll = pattern == "*" || pattern == "*.*";
  state_->dir = ::opendir(directory.c_str());
  if (state_->dir == nullptr) {
    Close();
    return SearchStatus::kFailed;
  }
  if (!NextMatch(*state_, state_->heldName, state_->held)) {
    Close();
    return SearchStatus::kNoMatch;
  }
  state_->pending = true;
  return SearchStatus::kOpened;
}

namespace {

bool NextMatch(DirSearch::State& s, std::string& name, EntryInfo& info) {
  const int fd = ::dirfd(s.dir);
  while (s.dotsLeft > 0) {
    name = s.dotsLeft == 2 ? "." : "..";
    --s.dotsLeft;
    if ((s.matchAll || WildcardMatch(s.pattern.c_str(), name.c_str())) &&
        ReadEntry(fd, name.c_str(), s.withTimes, info)) {
      return true;
    }
  }
  while (const dirent* d = ::readdir(s.dir)) {
    const char* entryName = d->d_name;
    if (std::strcmp(entryName, ".") == 0 || std::strcmp(entryName, "..") == 0) continue;
    if (!s.matchAll && !WildcardMatch(s.pattern.c_str(), entryName)) continue;
    // An entry that vanished since the listing was read is passed over.
    if (!ReadEntry(fd, entryName, s.withTimes, info)) continue;
    name = entryName;
    return true;
  }
  return false;
}

void Deliver(const std::string& name, const EntryInfo& info, DirEntry& entry) {
  AssignFromUtf8(entry.name, name);
  entry.attributes = info.attributes;
  entry.size = info.size;
  entry.created = info.created;
  entry.lastWrite = info.lastWrite;
  entry.lastAccess = info.lastAccess;
}

}  // namespace

bool DirSearch::Next(DirEntry& entry) {
  if (state_ == nullptr) return false;
  if (state_->pending) {
    state_->pending = false;
    Deliver(state_->heldName, state_->held, entry);
    return true;
  }
  if (state_->single || !NextMatch(*state_, state_->heldName, state_->held)) return false;
  Deliver(state_->heldName, state_->held, entry);
  return true;
}

bool FileAttributes(const Text& path, uint32_t& attributes) {
  EntryInfo info;
  if (!ReadEntry(AT_FDCWD, PathBytes(path).c_str(), false, info)) return false;
  attributes = info.attributes;
  return true;
}

bool StatPath(const Text& path, bool& isDirectory, uint64_t& size) {
  struct stat st {};
  if (::stat(PathBytes(path).c_str(), &st) != 0) return false;
  isDirectory = S_ISDIR(st.st_mode);
  size = isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
  return true;
}

uint32_t DriveType(const Text& root) {
  struct stat st {};
  return (::stat(PathBytes(root).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ? 3 : 1;
}

bool FolderIdentity(const Text& path, FolderId& id) {
  struct stat st {};
  if (::stat(PathBytes(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  id.volume = static_cast<uint64_t>(st.st_dev);
  id.index = static_cast<uint64_t>(st.st_ino);
  return true;
}

namespace {

bool PosixOffsetAt(int64_t utc, int64_t& offset) {
  const time_t t = static_cast<time_t>(utc);
  struct tm local {};
  if (::localtime_r(&t, &local) == nullptr) return false;
  offset = local.tm_gmtoff;
  return true;
}

}  // namespace

bool LocalSeconds(FileTime time, int64_t& local) {
  // localtime_r, unlike localtime, does not look at the zone file again on
  // every call; tzset once so the zone is read before the first one.
  static bool zoneRead = (::tzset(), true);
  (void)zoneRead;
  static LocalTimeCache<bool (*)(int64_t, int64_t&)> cache(PosixOffsetAt);
  return cache.LocalSeconds(time, local);
}

// ---- Text -------------------------------------------------------------------

namespace {

// A Unicode locale for case mapping, whatever the user's locale is.
locale_t CaseLocale() {
  static locale_t locale = [] {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      if (locale_t l = ::newlocale(LC_CTYPE_MASK, name, nullptr)) return l;
    }
    return static_cast<locale_t>(nullptr);
  }();
  return locale;
}

template <class Map>
Text MapCase(TextView text, Map map, char16_t asciiFrom, char16_t asciiTo) {
  Text out(text);
  const locale_t locale = CaseLocale();
  for (size_t i = 0; i < out.size(); ++i) {
    const char16_t c = out[i];
    if (c < 0x80) {
      if (c >= asciiFrom && c <= asciiTo) out[i] = static_cast<char16_t>(c ^ 0x20);
      continue;
    }
    if (locale == nullptr) continue;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
      const wint_t cp = 0x10000 + ((wint_t(c) - 0xD800) << 10) + (out[i + 1] - 0xDC00);
      const wint_t mapped = map(cp, locale);
      if (mapped >= 0x10000 && mapped <= 0x10FFFF) {  // stays two units long
        out[i] = static_cast<char16_t>(0xD800 + ((mapped - 0x10000) >> 10));
        out[i + 1] = static_cast<char16_t>(0xDC00 + ((mapped - 0x10000) & 0x3FF));
      }
      ++i;
    } else if (c < 0xD800 || c > 0xDFFF) {
      const wint_t mapped = map(c, locale);
      if (mapped < 0x10000 && (mapped < 0xD800 || mapped > 0xDFFF)) out[i] = static_cast<char16_t>(mapped);
    }
  }
  return out;
}

}  // namespace

Text ToUpper(TextView text) {
  return MapCase(
      text, [](wint_t c, locale_t l) { return ::towupper_l(c, l); }, u'a', u'z');
}

Text ToLower(TextView text) {
  return MapCase(
      text, [](wint_t c, locale_t l) { return ::towlower_l(c, l); }, u'A', u'Z');
}

namespace {

// The character set of the user's locale, as iconv knows it.
const std::string& LocaleCodeset() {
  static const std::string codeset = [] {
    std::string name = "ANSI_X3.4-1968";
    if (locale_t l = ::newlocale(LC_CTYPE_MASK, "", nullptr)) {
      name = ::nl_langinfo_l(CODESET, l);
      ::freelocale(l);
    }
    return name;
  }();
  return codeset;
}

bool IsUtf8(const std::string& codeset) { return codeset == "UTF-8" || codeset == "utf8"; }

}  // namespace

std::string ToNarrow(TextView text) {
  bool ascii = true;
  for (char16_t c : text) ascii = ascii && c < 0x80;
  if (ascii) return std::string(text.begin(), text.end());
  const std::string& codeset = LocaleCodeset();
  if (IsUtf8(codeset)) return Utf8FromText(text);

  // Character by character, so one that the set lacks becomes "?".
  static iconv_t converter = ::iconv_open(codeset.c_str(), "UTF-8");
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t units = (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size()) ? 2 : 1;
    std::string utf8 = Utf8FromText(text.substr(i, units));
    i += units - 1;
    if (utf8.size() == 1 && static_cast<unsigned char>(utf8[0]) < 0x80) {
      out += utf8;
      continue;
    }
    char buffer[16];
    char* in = utf8.data();
    size_t inLeft = utf8.size();
    char* outPtr = buffer;
    size_t outLeft = sizeof(buffer);
    if (converter == reinterpret_cast<iconv_t>(-1) ||
        ::iconv(converter, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
      out += '?';
      if (converter != reinterpret_cast<iconv_t>(-1)) ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
    } else {
      out.append(buffer, outPtr);
    }
  }
  return out;
}

std::string ToUtf8(TextView text) { return Utf8FromText(text); }

// ---- Files ------------------------------------------------------------------

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Open(const Text& path, Mode mode, Share) {
  Close();
  // POSIX has no share modes; the rename that replaces a report keeps
  // readers of the old file from ever seeing a half-written one.
  int flags = O_WRONLY | O_CLOEXEC;
  switch (mode) {
    case Mode::kCreateNew: flags |= O_CREAT | O_EXCL; break;
    case Mode::kCreateAlways: flags |= O_CREAT | O_TRUNC; break;
    case Mode::kTruncateExisting: flags |= O_TRUNC; break;
    case Mode::kOpenAlways: flags |= O_CREAT; break;
  }
  const int fd = ::open(PathBytes(path).c_str(), flags, 0666);
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

bool OutputFile::SeekToEnd() { return IsOpen() && ::lseek(static_cast<int>(handle_), 0, SEEK_END) >= 0; }

bool OutputFile::Write(const void* data, size_t size) {
  return IsOpen() && WriteAll(static_cast<int>(handle_), static_cast<const char*>(data), size);
}

bool OutputFile::Flush() { return IsOpen() && ::fsync(static_cast<int>(handle_)) == 0; }

bool OutputFile::Close() {
  if (!IsOpen()) return true;
  const int fd = static_cast<int>(handle_);
  handle_ = kInvalid;
  return ::close(fd) == 0;
}

bool MoveReplacing(const Text& source, const Text& target) {
  return ::rename(PathBytes(source).c_str(), PathBytes(target).c_str()) == 0;
}

bool RemoveFile(const Text& path) { return ::unlink(PathBytes(path).c_str()) == 0; }

}  // namespace Platform
