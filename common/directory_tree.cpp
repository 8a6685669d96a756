#include "common/directory_tree.h"

namespace {

void ClearReadOnly(win::Kernel& kernel, const std::string& path, win::DWORD attributes) {
  if (attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_READONLY)) {
    kernel.SetFileAttributesA(path.c_str(), attributes & ~win::FILE_ATTRIBUTE_READONLY);
  }
}

std::string WithoutTrailingBackslash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

void DeleteDirectoryTree(win::Kernel& kernel, std::string folder) {
  win::DWORD attributes = kernel.GetFileAttributesA(folder.c_str());
  ClearReadOnly(kernel, folder, attributes);
  if (attributes != win::INVALID_FILE_ATTRIBUTES &&
      (attributes & win::FILE_ATTRIBUTE_REPARSE_POINT)) {
    kernel.RemoveDirectoryA(WithoutTrailingBackslash(folder).c_str());
    return;
  }

  std::string pattern = folder;
  if (pattern.empty() || pattern.back() != '\\') pattern += '\\';
  const std::string base = pattern;
  pattern += "*.*";

  win::WIN32_FIND_DATAA found{};
  win::HANDLE finder = kernel.FindFirstFileA(pattern.c_str(), &found);
  if (finder != win::INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = base + name;
      if (found.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY) {
        DeleteDirectoryTree(kernel, path);  // a link inside is removed as a link there
      } else {
        ClearReadOnly(kernel, path, found.dwFileAttributes);
        kernel.DeleteFileA(path.c_str());
      }
    } while (kernel.FindNextFileA(finder, &found));
    kernel.FindClose(finder);
  }
  kernel.RemoveDirectoryA(base.substr(0, base.size() - 1).c_str());
}
