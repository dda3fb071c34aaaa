#include "scan/State.h"

namespace ScanDir {

KeyedTable IncludeExtensions;
KeyedTable ExcludeExtensions;
KeyedTable IncludeFolderWords;
KeyedTable ExcludeFolderWords;
Text CurrentRoot;
size_t MostHeldFolders = 256;
void (*FilesListed)(const Text& folder, int64_t files, bool folderDone) = nullptr;
void (*FoldersLeftOut)(const Text& path) = nullptr;

void ResetState() {
  IncludeExtensions.Clear();
  ExcludeExtensions.Clear();
  IncludeFolderWords.Clear();
  ExcludeFolderWords.Clear();
  CurrentRoot.clear();
}

}  // namespace ScanDir
