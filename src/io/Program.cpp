#include "io/Program.h"

#include "base/Paths.h"
#include "platform/Process.h"

Text ProgramFolder;
Text ProgramFile;
Text Version;
int64_t ExitCode = 0;

void SplitProgramPath(const Text& path, Text& folder, Text& file) {
  folder = Paths::FolderOf(path);
  file = path.substr(folder.size());
}

void InitProcessContext() {
  SplitProgramPath(Platform::ModulePath(), ProgramFolder, ProgramFile);
  // The project's version, given by the build (the same as the packages'
  // and the Windows version resource's).
  Version = u"" DATEMILL_VERSION;
}

void EndProgram() { Platform::EndProcess(static_cast<uint32_t>(ExitCode)); }
