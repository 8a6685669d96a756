// The kernel services over the real kernel32 calls.
#pragma once

#include "platform/kernel.h"

namespace win32 {

class Win32Kernel : public win::Kernel {
 public:
  win::DWORD GetLastError() override;
  void SetLastError(win::DWORD code) override;

  win::UINT GetWindowsDirectoryA(char* buffer, win::UINT size) override;
  win::UINT GetSystemDirectoryA(char* buffer, win::UINT size) override;
  win::DWORD GetCurrentDirectoryA(win::DWORD size, char* buffer) override;

  win::BOOL CreateDirectoryA(const char* path, const win::SECURITY_ATTRIBUTES* attributes) override;
  win::BOOL RemoveDirectoryA(const char* path) override;
  win::BOOL DeleteFileA(const char* path) override;
  win::BOOL CopyFileA(const char* source, const char* destination, win::BOOL failIfExists) override;
  win::BOOL MoveFileA(const char* source, const char* destination) override;
  win::DWORD GetFileAttributesA(const char* path) override;
  win::BOOL SetFileAttributesA(const char* path, win::DWORD attributes) override;
  win::HANDLE FindFirstFileA(const char* pattern, win::WIN32_FIND_DATAA* data) override;
  win::BOOL FindNextFileA(win::HANDLE find, win::WIN32_FIND_DATAA* data) override;
  win::BOOL FindClose(win::HANDLE find) override;
  win::HANDLE CreateFileA(const char* path, win::DWORD access, win::DWORD shareMode,
                          const win::SECURITY_ATTRIBUTES* attributes, win::DWORD disposition,
                          win::DWORD flags, win::HANDLE templateFile) override;
  win::DWORD SetFilePointer(win::HANDLE file, win::LONG distance, win::LONG* distanceHigh,
                            win::DWORD method) override;
  win::BOOL WriteFile(win::HANDLE file, const void* data, win::DWORD size,
                      win::DWORD* written) override;
  win::BOOL ReadFile(win::HANDLE file, void* data, win::DWORD size, win::DWORD* read) override;
  win::BOOL CloseHandle(win::HANDLE handle) override;

  win::DWORD GetPrivateProfileStringA(const char* section, const char* key,
                                      const char* defaultValue, char* buffer, win::DWORD size,
                                      const char* fileName) override;

  win::BOOL GetVersionExA(win::OSVERSIONINFOEXA* info) override;
  win::HMODULE GetModuleHandleA(const char* moduleName) override;
  win::FARPROC GetProcAddress(win::HMODULE module, const char* procName) override;
  win::DWORD GetModuleFileNameA(win::HMODULE module, char* buffer, win::DWORD size) override;
  win::HANDLE GetCurrentProcess() override;
  win::BOOL CallIsWow64Process(win::FARPROC isWow64Process, win::HANDLE process,
                               win::BOOL* wow64) override;
  win::UINT CallGetSystemWow64DirectoryA(win::FARPROC getSystemWow64DirectoryA, char* buffer,
                                         win::UINT size) override;

  void GetLocalTime(win::SYSTEMTIME* time) override;
  void Sleep(win::DWORD milliseconds) override;

  win::DWORD FormatMessageA(win::DWORD flags, win::DWORD messageId, win::DWORD languageId,
                            std::string* text) override;

  win::UINT WinExec(const char* commandLine, win::UINT show) override;
  win::BOOL CreateProcessA(const char* applicationName, char* commandLine,
                           win::BOOL inheritHandles, win::DWORD creationFlags,
                           const win::STARTUPINFOA* startupInfo,
                           win::PROCESS_INFORMATION* processInformation) override;
  win::DWORD WaitForSingleObject(win::HANDLE handle, win::DWORD milliseconds) override;
  win::BOOL GetExitCodeProcess(win::HANDLE process, win::DWORD* exitCode) override;
  [[noreturn]] void ExitProcess(win::UINT exitCode) override;
  win::HANDLE CreateThread(win::THREAD_START_ROUTINE start, void* parameter,
                           win::DWORD* threadId) override;

  int LoadStringA(win::UINT id, char* buffer, int size) override;
};

}  // namespace win32
