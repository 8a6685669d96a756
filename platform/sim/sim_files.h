// The file, folder and profile calls of one simulated process, over the
// machine's FileSystem: paths resolved against the process (current folder,
// WOW64 redirection), file and finder handles in the process's handle table,
// results and last errors as Windows gives them.
#pragma once

#include <string>

#include "platform/win_constants.h"
#include "platform/win_types.h"

namespace sim {

class SimProcess;
class FileSystem;

class SimFiles {
 public:
  explicit SimFiles(SimProcess& process);

  win::UINT GetWindowsDirectoryA(char* buffer, win::UINT size);
  win::UINT GetSystemDirectoryA(char* buffer, win::UINT size);
  win::DWORD GetCurrentDirectoryA(win::DWORD size, char* buffer);
  win::UINT CallGetSystemWow64DirectoryA(win::FARPROC getSystemWow64DirectoryA, char* buffer,
                                         win::UINT size);

  win::BOOL CreateDirectoryA(const char* path, const win::SECURITY_ATTRIBUTES* attributes);
  win::BOOL RemoveDirectoryA(const char* path);
  win::BOOL DeleteFileA(const char* path);
  win::BOOL CopyFileA(const char* source, const char* destination, win::BOOL failIfExists);
  win::BOOL MoveFileA(const char* source, const char* destination);
  win::DWORD GetFileAttributesA(const char* path);
  win::BOOL SetFileAttributesA(const char* path, win::DWORD attributes);
  win::HANDLE FindFirstFileA(const char* pattern, win::WIN32_FIND_DATAA* data);
  win::BOOL FindNextFileA(win::HANDLE find, win::WIN32_FIND_DATAA* data);
  win::BOOL FindClose(win::HANDLE find);
  win::HANDLE CreateFileA(const char* path, win::DWORD access, win::DWORD shareMode,
                          const win::SECURITY_ATTRIBUTES* attributes, win::DWORD disposition,
                          win::DWORD flags, win::HANDLE templateFile);
  win::DWORD SetFilePointer(win::HANDLE file, win::LONG distance, win::LONG* distanceHigh,
                            win::DWORD method);
  win::BOOL WriteFile(win::HANDLE file, const void* data, win::DWORD size, win::DWORD* written);
  win::BOOL ReadFile(win::HANDLE file, void* data, win::DWORD size, win::DWORD* read);
  win::DWORD GetPrivateProfileStringA(const char* section, const char* key,
                                      const char* defaultValue, char* buffer, win::DWORD size,
                                      const char* fileName);

 private:
  FileSystem& fs();
  std::string Resolve(const char* path) const;

  SimProcess& process_;
};

}  // namespace sim
