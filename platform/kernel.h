// Kernel services: files, folders, profile files, version information,
// run-time binding, time, message texts, commands, processes and threads.
#pragma once

#include <string>

#include "platform/win_constants.h"
#include "platform/win_types.h"

namespace win {

using THREAD_START_ROUTINE = DWORD (*)(void* parameter);

class Kernel {
 public:
  virtual ~Kernel() = default;

  // Last error of the calling thread.
  virtual DWORD GetLastError() = 0;
  virtual void SetLastError(DWORD code) = 0;

  // Folders of the system and of the process.
  virtual UINT GetWindowsDirectoryA(char* buffer, UINT size) = 0;
  virtual UINT GetSystemDirectoryA(char* buffer, UINT size) = 0;
  virtual DWORD GetCurrentDirectoryA(DWORD size, char* buffer) = 0;

  // Folders and files.
  virtual BOOL CreateDirectoryA(const char* path, const SECURITY_ATTRIBUTES* attributes) = 0;
  virtual BOOL RemoveDirectoryA(const char* path) = 0;
  virtual BOOL DeleteFileA(const char* path) = 0;
  virtual BOOL CopyFileA(const char* source, const char* destination, BOOL failIfExists) = 0;
  virtual BOOL MoveFileA(const char* source, const char* destination) = 0;
  virtual DWORD GetFileAttributesA(const char* path) = 0;
  virtual BOOL SetFileAttributesA(const char* path, DWORD attributes) = 0;
  virtual HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) = 0;
  virtual BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data) = 0;
  virtual BOOL FindClose(HANDLE find) = 0;
  virtual HANDLE CreateFileA(const char* path, DWORD access, DWORD shareMode,
                             const SECURITY_ATTRIBUTES* attributes, DWORD disposition,
                             DWORD flags, HANDLE templateFile) = 0;
  virtual DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) = 0;
  virtual BOOL WriteFile(HANDLE file, const void* data, DWORD size, DWORD* written) = 0;
  virtual BOOL ReadFile(HANDLE file, void* data, DWORD size, DWORD* read) = 0;
  virtual BOOL CloseHandle(HANDLE handle) = 0;

  // Profile (INI) files.
  virtual DWORD GetPrivateProfileStringA(const char* section, const char* key,
                                         const char* defaultValue, char* buffer, DWORD size,
                                         const char* fileName) = 0;

  // Version information and run-time binding.
  virtual BOOL GetVersionExA(OSVERSIONINFOEXA* info) = 0;
  virtual HMODULE GetModuleHandleA(const char* moduleName) = 0;
  virtual FARPROC GetProcAddress(HMODULE module, const char* procName) = 0;
  virtual DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) = 0;
  virtual HANDLE GetCurrentProcess() = 0;
  // Calls through functions bound with GetProcAddress under these names.
  virtual BOOL CallIsWow64Process(FARPROC isWow64Process, HANDLE process, BOOL* wow64) = 0;
  virtual UINT CallGetSystemWow64DirectoryA(FARPROC getSystemWow64DirectoryA, char* buffer,
                                            UINT size) = 0;

  // Time.
  virtual void GetLocalTime(SYSTEMTIME* time) = 0;
  virtual void Sleep(DWORD milliseconds) = 0;

  // System message text for an error code. Stands for FormatMessageA with
  // FORMAT_MESSAGE_ALLOCATE_BUFFER: the text arrives in `text` instead of a
  // LocalAlloc'ed buffer. Returns its length, 0 when the system has none.
  virtual DWORD FormatMessageA(DWORD flags, DWORD messageId, DWORD languageId,
                               std::string* text) = 0;

  // Commands, processes and threads.
  virtual UINT WinExec(const char* commandLine, UINT show) = 0;
  virtual BOOL CreateProcessA(const char* applicationName, char* commandLine,
                              BOOL inheritHandles, DWORD creationFlags,
                              const STARTUPINFOA* startupInfo,
                              PROCESS_INFORMATION* processInformation) = 0;
  virtual DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) = 0;
  virtual BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode) = 0;
  [[noreturn]] virtual void ExitProcess(UINT exitCode) = 0;
  virtual HANDLE CreateThread(THREAD_START_ROUTINE start, void* parameter, DWORD* threadId) = 0;

  // Resources of the program file.
  virtual int LoadStringA(UINT id, char* buffer, int size) = 0;
};

}  // namespace win
