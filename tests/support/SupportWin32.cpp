// Test helpers that need Win32 calls: file times and starting the program,
// whose whole 32-bit exit status a Windows parent can read.
#include <windows.h>

#include "platform/Clock.h"
#include "platform/Process.h"
#include "platform/TextCase.h"
#include "support/TestSupport.h"

namespace TestSupport {

namespace {

const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

FILETIME FileTimeOf(Platform::FileTime stamp) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(stamp & 0xFFFFFFFF);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(stamp) >> 32);
  return time;
}

Text Quoted(const Text& arg) {
  return (arg.empty() || arg.find(u' ') != Text::npos) ? u"\"" + arg + u"\"" : arg;
}

// The current environment block with `env` added (replacing same names).
std::vector<wchar_t> EnvironmentBlock(const std::vector<std::pair<Text, Text>>& env) {
  std::vector<Text> entries;
  Platform::EnvironmentEntries(entries);
  for (const auto& [name, value] : env) {
    std::erase_if(entries, [&](const Text& e) {
      return e.size() > name.size() && e[name.size()] == u'=' &&
             Platform::ToUpper(e.substr(0, name.size())) == Platform::ToUpper(name);
    });
    entries.push_back(name + u"=" + value);
  }
  std::vector<wchar_t> block;
  for (const Text& e : entries) {
    block.insert(block.end(), e.begin(), e.end());
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

}  // namespace

namespace {

// Runs a program of the system under Wine ("/bin/ln") in `folder` and waits
// until `done` says its work shows: Wine does not wait for such a program.
template <class Done>
void RunSystemTool(const Text& tool, const Text& args, const Text& folder, Done done) {
  Text line = tool + u" " + args;
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const Text program = u"Z:" + tool;  // the system's root is drive Z:
  std::vector<wchar_t> path(program.begin(), program.end());
  for (wchar_t& unit : path) unit = unit == L'/' ? L'\\' : unit;
  path.push_back(L'\0');
  const Text where = folder.starts_with(u"\\\\?\\") ? folder.substr(4) : folder;
  ASSERT_TRUE(::CreateProcessW(path.data(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, W(where),
                               &startup, &process))
      << Show(line);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  for (int i = 0; i < 500 && !done(); ++i) ::Sleep(10);
  ASSERT_TRUE(done()) << Show(line);
}

Text FolderOf(const Text& path) { return path.substr(0, path.find_last_of(u"\\/")); }
Text NameOf(const Text& path) { return path.substr(path.find_last_of(u"\\/") + 1); }

}  // namespace

bool SystemLocalTime(Platform::FileTime stamp, Platform::CalendarTime& local) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(stamp) & 0xFFFFFFFF);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(stamp) >> 32);
  SYSTEMTIME universal, fields;
  TIME_ZONE_INFORMATION zone;
  if (!::FileTimeToSystemTime(&time, &universal)) return false;
  if (!::GetTimeZoneInformationForYear(universal.wYear, nullptr, &zone)) return false;
  if (!::SystemTimeToTzSpecificLocalTime(&zone, &universal, &fields)) return false;
  local = {fields.wYear, fields.wMonth, fields.wDay, fields.wHour, fields.wMinute, fields.wSecond};
  return true;
}

void MakeFolderLink(const Text& target, const Text& link) {
  // Listed even while its folder is still to be made.
  RunSystemTool(u"/bin/ln", u"-s " + target + u" " + NameOf(link), FolderOf(link), [&] {
    WIN32_FIND_DATAW entry;
    HANDLE search = ::FindFirstFileW(W(link), &entry);
    if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
    return search != INVALID_HANDLE_VALUE;
  });
}

ScopedTmpfs::ScopedTmpfs(const Text&) : refused_("no file system is mounted in a folder here") {}

ScopedTmpfs::~ScopedTmpfs() = default;

Text MakeUnlistableFolder(const Text& folder) {
  const Text odd = folder + u"\\q?x";
  RunSystemTool(u"/bin/mkdir", u"q?x", folder, [&] {
    WIN32_FIND_DATAW entry;
    HANDLE search = ::FindFirstFileW(W(folder + u"\\q*x"), &entry);
    if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
    return search != INVALID_HANDLE_VALUE;
  });
  return odd;
}

namespace {

// Removes a tree given in long form, which reaches beyond 260 characters.
// A link is removed itself, by the system (Wine would remove the folder it
// names), and not entered.
void RemoveLongTree(const Text& path) {
  WIN32_FIND_DATAW entry;
  HANDLE search = ::FindFirstFileW(W(path + u"\\*"), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const Text name(reinterpret_cast<const char16_t*>(entry.cFileName));
      if (name == u"." || name == u"..") continue;
      const Text child = path + u"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RunSystemTool(u"/bin/rm", u"-f " + name, path,
                      [&] { return ::GetFileAttributesW(W(child)) == INVALID_FILE_ATTRIBUTES; });
      } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveLongTree(child);
      } else {
        ::SetFileAttributesW(W(child), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(W(child));
      }
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(W(path));
}

}  // namespace

// Made and removed on the system's side: Wine takes long to open a deep
// path, once per level.
Text MakeChain(const Text& top, int levels, const Text& bottom) {
  wchar_t current[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, current);
  const Text here(reinterpret_cast<const char16_t*>(current));
  Text path = top;
  for (int i = 0; i < levels; ++i) path += u"/d";
  path += u"/" + bottom;
  Text windowsPath = path;
  for (char16_t& unit : windowsPath) unit = unit == u'/' ? u'\\' : unit;
  const Text file = u"\\\\?\\" + here + u"\\" + windowsPath + u"\\f";
  RunSystemTool(u"/bin/mkdir", u"-p " + path, here, [&] {
    return ::GetFileAttributesW(W(file.substr(0, file.size() - 2))) != INVALID_FILE_ATTRIBUTES;
  });
  WriteBytes(file);
  return windowsPath;
}

void RemoveChain(const Text& top, int, const Text&) {
  wchar_t current[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, current);
  const Text here(reinterpret_cast<const char16_t*>(current));
  RunSystemTool(u"/bin/rm", u"-rf " + top, here,
                [&] { return ::GetFileAttributesW(W(here + u"\\" + top)) == INVALID_FILE_ATTRIBUTES; });
}

void RemoveAll(const Text& path) { RemoveLongTree(path.starts_with(u"\\\\?\\") ? path : u"\\\\?\\" + path); }

void SetTimes(const Text& path, Platform::FileTime lastWrite, Platform::FileTime lastAccess) {
  HANDLE file = ::CreateFileW(W(path), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << Show(path);
  const FILETIME write = FileTimeOf(lastWrite), access = FileTimeOf(lastAccess);
  EXPECT_TRUE(::SetFileTime(file, nullptr, &access, &write));
  ::CloseHandle(file);
}

RunResult Run(const Text& program, const std::vector<Text>& args, const Text& folder,
              const std::vector<std::pair<Text, Text>>& env) {
  Text line = u"\"" + program + u"\"";
  for (const Text& arg : args) line += u" " + Quoted(arg);
  std::vector<wchar_t> lineBuffer(line.begin(), line.end());
  lineBuffer.push_back(L'\0');
  std::vector<wchar_t> block = EnvironmentBlock(env);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  RunResult result;
  // Wine now and then refuses to start a process on a loaded machine with
  // ERROR_INTERNAL_ERROR; a second try starts it.
  bool started = false;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    started = ::CreateProcessW(W(program), lineBuffer.data(), nullptr, nullptr, FALSE,
                               CREATE_UNICODE_ENVIRONMENT, block.data(), W(folder), &startup, &process) != 0;
    if (!started && ::GetLastError() != ERROR_INTERNAL_ERROR) break;
    if (!started) ::Sleep(200);
  }
  if (!started) {
    ADD_FAILURE() << "CreateProcessW failed: " << ::GetLastError();
    return result;
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  result.status = code;
  return result;
}

void SetEnvironment(const char* name, const Text& value) {
  ::SetEnvironmentVariableW(W(FromAscii(name)), W(value));
}

}  // namespace TestSupport
