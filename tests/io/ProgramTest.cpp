#include <gtest/gtest.h>

#include "base/Conventions.h"
#include "io/Program.h"
#include "platform/Process.h"

namespace {

TEST(Program, SplitsTheProgramPathAfterTheLastSeparator) {
  struct Case {
    const char16_t *path, *folder, *file;
  };
  // The platform's separators: on POSIX a "\\" is part of a name.
  const bool windows = Platform::kWindowsConventions;
  const Case cases[] = {{u"C:\\Tools\\Datemill.exe", windows ? u"C:\\Tools\\" : u"",
                         windows ? u"Datemill.exe" : u"C:\\Tools\\Datemill.exe"},
                        {u"\\\\?\\C:\\a/b\\c.exe", windows ? u"\\\\?\\C:\\a/b\\" : u"\\\\?\\C:\\a/",
                         windows ? u"c.exe" : u"b\\c.exe"},
                        {u"/usr/bin/datemill", u"/usr/bin/", u"datemill"},
                        {u"bare", u"", u"bare"}};
  for (const Case& c : cases) {
    Text folder, file;
    SplitProgramPath(c.path, folder, file);
    EXPECT_EQ(folder, c.folder);
    EXPECT_EQ(file, c.file);
  }
}

TEST(Program, StartUpValuesComeFromTheTestProgramsOwnPath) {
  InitProcessContext();
  EXPECT_EQ(Version, u"" DATEMILL_VERSION);  // the project's version, from the build
  EXPECT_EQ(ProgramFolder + ProgramFile, Platform::ModulePath());
  EXPECT_TRUE(ProgramFile.starts_with(u"datemill_tests")) << Utf8FromText(ProgramFile);
}

TEST(ProgramDeath, EndProgramExitsWithTheLowBitsOfExitCode) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ExitCode = 7;
  EXPECT_EXIT(EndProgram(), testing::ExitedWithCode(7), "");
  ExitCode = 0;
}

}  // namespace
