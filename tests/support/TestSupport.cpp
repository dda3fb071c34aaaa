#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Calendar.h"
#include "base/Conventions.h"
#include "io/Program.h"
#include "platform/Clock.h"
#include "platform/Process.h"

namespace fs = std::filesystem;

namespace TestSupport {

namespace {

// POSIX paths are bytes: going through them keeps names that are not UTF-8.
#ifdef _WIN32
fs::path FsPath(const Text& path) { return fs::path(path); }
Text FromFs(const fs::path& path) { return path.u16string(); }
#else
fs::path FsPath(const Text& path) { return fs::path(Utf8FromText(path)); }
Text FromFs(const fs::path& path) { return TextFromUtf8(path.native()); }
#endif

std::atomic<int> counter{0};

}  // namespace

Text Join(const Text& folder, const Text& name) {
  Text joined = folder;
  if (joined.empty() || joined.back() != Platform::kSeparator) joined += Platform::kSeparator;
  return joined + name;
}

ScopedTempDir::ScopedTempDir() {
  // Process ids repeat (under Wine they are small), so a name another run
  // left behind is passed over rather than reused.
  const Text stem = u"dm-" + DecimalText(Platform::ProcessId()) + u"-" + DecimalText(counter++);
  for (int attempt = 0;; ++attempt) {
    path_ = Join(TempRoot(), attempt == 0 ? stem : stem + u"-" + DecimalText(attempt));
    if (fs::create_directory(FsPath(path_))) break;
  }
}

ScopedTempDir::~ScopedTempDir() { RemoveAll(path_); }

ScopedCurrentDir::ScopedCurrentDir(const Text& folder) : previous_(FromFs(fs::current_path())) {
  fs::current_path(FsPath(folder));
}

ScopedCurrentDir::~ScopedCurrentDir() { fs::current_path(FsPath(previous_)); }

Text TempRoot() {
#ifdef _WIN32
  return FromFs(fs::current_path());
#else
  return FromFs(fs::temp_directory_path());
#endif
}

void MakeDirs(const Text& path) { fs::create_directories(FsPath(path)); }

void WriteBytes(const Text& path, const std::string& bytes) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << Show(path);
}

std::string ReadBytes(const Text& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const Text& path) {
  std::error_code error;
  return fs::exists(FsPath(path), error);
}

std::vector<Text> Listing(const Text& folder) {
  std::vector<Text> names;
  for (const auto& entry : fs::directory_iterator(FsPath(folder))) {
    names.push_back(FromFs(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

Platform::FileTime UtcStamp(int year, int month, int day, int hour, int minute, int second) {
  const int64_t seconds = Calendar::SecondsFromFields(year, month, day, hour, minute, second);
  return seconds * Calendar::kTicksPerSecond + Calendar::kUnixEpochTicks;
}

void MakeFile(const Text& path, const std::string& bytes, Platform::FileTime written) {
  WriteBytes(path, bytes);
  SetTimes(path, written, written);
}

std::vector<Text> RecordPaths(const FolderList& folders) {
  std::vector<Text> paths;
  for (const FolderRecord& folder : folders) {
    paths.push_back(folder.Path);
    for (const FileRecord& file : folder.Files) paths.push_back(file.Path);
  }
  return paths;
}

std::string Show(const Text& text) { return Utf8FromText(text); }

testing::AssertionResult FitsABox(const Text& text) {
  constexpr size_t kMostLines = 30, kMostColumns = 50;
  size_t lines = 0;
  for (size_t start = 0; start < text.size(); ++lines) {
    const size_t end = std::min(text.find(u'\n', start), text.size());
    TextView line = TextView(text).substr(start, end - start);
    if (line.ends_with(u'\r')) line.remove_suffix(1);
    if (line.size() > kMostColumns) {
      return testing::AssertionFailure()
             << "line " << lines + 1 << " holds " << line.size() << " characters: " << Show(Text(line));
    }
    if (line.find(u"  ") != TextView::npos) {
      return testing::AssertionFailure()
             << "line " << lines + 1 << " holds a run of spaces: " << Show(Text(line));
    }
    start = end + 1;
  }
  if (lines > kMostLines) return testing::AssertionFailure() << "the text has " << lines << " lines";
  return testing::AssertionSuccess() << lines << " lines";
}

std::string SeedFile(const Text& name) {
  Text folder, file;
  SplitProgramPath(Platform::ModulePath(), folder, file);
  return ReadBytes(folder + u"taken-corpus" + Platform::kSeparator + name);
}

Text ProgramPath() {
  Text folder, file;
  SplitProgramPath(Platform::ModulePath(), folder, file);
#ifdef _WIN32
  return folder + u"Datemill.exe";
#else
  return folder + u"datemill";
#endif
}

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

Text LogInto(const Text& folder) {
  if (Platform::kWindowsConventions) {
    ProgramFolder = folder + Platform::kSeparator;
    return Join(folder, u"Log.txt");
  }
  SetEnvironment("XDG_STATE_HOME", folder);
  return Join(Join(folder, u"datemill"), u"Log.txt");
}

}  // namespace TestSupport
