// The Windows program itself: a 64-bit executable for the windowed subsystem
// that needs no DLLs but the system's own, with its manifest and version
// information.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>

#include "support/TestSupport.h"

namespace {

class PeImage {
 public:
  explicit PeImage(std::string bytes) : bytes_(std::move(bytes)) {}

  template <class T>
  T Read(size_t offset) const {
    T value{};
    if (offset + sizeof(T) <= bytes_.size()) std::memcpy(&value, bytes_.data() + offset, sizeof(T));
    return value;
  }
  size_t Header() const { return Read<uint32_t>(0x3C); }
  size_t Optional() const { return Header() + 24; }
  // The file offset of a relative virtual address, through the section table.
  size_t OffsetOf(uint32_t rva) const {
    const size_t sections = Optional() + Read<uint16_t>(Header() + 20);
    for (uint16_t i = 0; i < Read<uint16_t>(Header() + 6); ++i) {
      const size_t s = sections + i * 40u;
      const uint32_t start = Read<uint32_t>(s + 12), size = Read<uint32_t>(s + 8);
      if (rva >= start && rva < start + size) return rva - start + Read<uint32_t>(s + 20);
    }
    return 0;
  }
  std::string StringAt(size_t offset) const {
    return std::string(bytes_.c_str() + std::min(offset, bytes_.size()));
  }
  // The data of the resource `type`/`id` in its first language, or "".
  std::string Resource(uint32_t type, uint32_t id) const {
    const size_t root = OffsetOf(Read<uint32_t>(Optional() + 112 + 2 * 8));  // data directory 2
    if (root == 0) return std::string();
    const uint32_t typeEntry = Entry(root, 0, type), idEntry = Entry(root, typeEntry, id);
    if (typeEntry == 0 || idEntry == 0) return std::string();
    const uint32_t language = Read<uint32_t>(root + (idEntry & 0x7FFFFFFF) + 16 + 4);  // first entry
    if ((language & 0x80000000) != 0) return std::string();                            // not a data entry
    const size_t data = root + language;
    const size_t start = OffsetOf(Read<uint32_t>(data));
    return bytes_.substr(std::min(start, bytes_.size()), Read<uint32_t>(data + 4));
  }
  std::set<std::string> ImportedDlls() const {
    std::set<std::string> dlls;
    const uint32_t importRva = Read<uint32_t>(Optional() + 112 + 8);  // data directory 1
    for (size_t d = OffsetOf(importRva); d != 0 && Read<uint32_t>(d + 12) != 0; d += 20) {
      std::string name = StringAt(OffsetOf(Read<uint32_t>(d + 12)));
      std::transform(name.begin(), name.end(), name.begin(), [](char c) { return std::toupper(c); });
      dlls.insert(name);
    }
    return dlls;
  }

 private:
  // The subdirectory offset of the entry `id` in the resource directory at
  // `root` + (`directory` without its subdirectory bit), or 0.
  uint32_t Entry(size_t root, uint32_t directory, uint32_t id) const {
    const size_t table = root + (directory & 0x7FFFFFFF);
    const size_t count = Read<uint16_t>(table + 12) + Read<uint16_t>(table + 14);
    for (size_t i = 0; i < count; ++i) {
      const size_t entry = table + 16 + i * 8;
      const uint32_t target = Read<uint32_t>(entry + 4);
      if (Read<uint32_t>(entry) == id && (target & 0x80000000) != 0) return target;
    }
    return 0;
  }

  std::string bytes_;
};

TEST(Executable, IsA64BitWindowedProgramUsingSystemDllsOnly) {
  const PeImage image(TestSupport::ReadBytes(TestSupport::ProgramPath()));
  ASSERT_EQ(image.Read<uint32_t>(image.Header()), 0x00004550u);  // "PE\0\0"
  EXPECT_EQ(image.Read<uint16_t>(image.Header() + 4), 0x8664);   // x86-64
  EXPECT_EQ(image.Read<uint16_t>(image.Optional()), 0x20B);      // PE32+
  EXPECT_EQ(image.Read<uint16_t>(image.Optional() + 68), 2);     // the windowed subsystem
  const std::set<std::string> dlls = image.ImportedDlls();
  EXPECT_FALSE(dlls.empty());
  const std::set<std::string> system{"KERNEL32.DLL", "USER32.DLL",  "MSVCRT.DLL", "ADVAPI32.DLL",
                                     "NTDLL.DLL",    "SHELL32.DLL", "OLE32.DLL"};
  for (const std::string& dll : dlls) EXPECT_TRUE(system.count(dll)) << dll << " is not a system DLL";
}

// The application manifest (resource 1 of type 24): runs with the rights of
// its caller, knows Windows 7 to 11, takes long paths, and leaves the code
// page as the system sets it.
TEST(Executable, CarriesTheApplicationManifest) {
  const PeImage image(TestSupport::ReadBytes(TestSupport::ProgramPath()));
  const std::string manifest = image.Resource(24, 1);
  ASSERT_NE(manifest.find("<assembly"), std::string::npos) << manifest;
  for (const char* piece :
       {"level=\"asInvoker\"", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", ">true</longPathAware>"}) {
    EXPECT_NE(manifest.find(piece), std::string::npos) << piece;
  }
  EXPECT_EQ(manifest.find("activeCodePage"), std::string::npos);
}

std::wstring VersionString(const std::vector<char>& info, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!::VerQueryValueW(info.data(), path.c_str(), &value, &length) || length == 0) return L"<missing>";
  return std::wstring(static_cast<const wchar_t*>(value), length - 1);  // without the closing null
}

// The file's properties, read back the way Windows reads them.
TEST(Executable, VersionInformationCarriesTheProjectsVersion) {
  const Text program = TestSupport::ProgramPath();
  const wchar_t* path = reinterpret_cast<const wchar_t*>(program.c_str());
  const DWORD size = ::GetFileVersionInfoSizeW(path, nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(path, 0, size, info.data()));

  const std::wstring version(DATEMILL_VERSION, DATEMILL_VERSION + sizeof(DATEMILL_VERSION) - 1);
  EXPECT_EQ(VersionString(info, L"FileVersion"), version);
  EXPECT_EQ(VersionString(info, L"ProductVersion"), version);
  EXPECT_EQ(VersionString(info, L"ProductName"), L"Datemill");
  EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"Datemill.exe");
  EXPECT_EQ(VersionString(info, L"FileDescription"), L"Datemill: counts the files of folders by date");
  EXPECT_NE(VersionString(info, L"LegalCopyright").find(L"MIT License"), std::wstring::npos);

  // The numeric form: "2018.09.26" is 2018.9.26.0.
  unsigned major = 0, minor = 0, patch = 0;
  char dot = 0;
  std::istringstream(DATEMILL_VERSION) >> major >> dot >> minor >> dot >> patch;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, (major << 16) | minor);
  EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
  EXPECT_EQ(fixed->dwProductVersionMS, (major << 16) | minor);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

}  // namespace
