// The Windows program itself: a 64-bit executable for the windowed subsystem
// that needs no DLLs but the system's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

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
  const std::set<std::string> system{"KERNEL32.DLL", "USER32.DLL", "MSVCRT.DLL", "ADVAPI32.DLL", "NTDLL.DLL"};
  for (const std::string& dll : dlls) EXPECT_TRUE(system.count(dll)) << dll << " is not a system DLL";
}

}  // namespace
