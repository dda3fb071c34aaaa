// Datemill counts the files of folders by date. Process entry: start-up, the
// run, and the end of the process with the exit status.
#include "app/Driver.h"
#include "io/Program.h"
#include "platform/Process.h"

namespace {

[[noreturn]] void Run() {
  StartUp();
  Main();
  EndProgram();
}

}  // namespace

#ifdef _WIN32
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { Run(); }
#else
int main(int argc, char** argv) {
  Platform::SetArguments(argc, argv);
  Run();
}
#endif
