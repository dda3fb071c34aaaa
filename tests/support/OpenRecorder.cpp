// A stand-in for the program that opens files: it appends its one argument
// and a line end to the file named by DATEMILL_OPEN_RECORD and ends with the
// status in DATEMILL_OPEN_STATUS (0 when unset). The end-to-end tests put it
// on PATH as xdg-open (POSIX) or name it in DATEMILL_OPENER (Windows).
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const char* record = std::getenv("DATEMILL_OPEN_RECORD");
  if (argc != 2 || record == nullptr) return 64;
  std::FILE* file = std::fopen(record, "ab");
  if (file == nullptr) return 65;
  std::fprintf(file, "%s\n", argv[1]);
  if (std::fclose(file) != 0) return 66;
  const char* status = std::getenv("DATEMILL_OPEN_STATUS");
  return status == nullptr ? 0 : std::atoi(status);
}
