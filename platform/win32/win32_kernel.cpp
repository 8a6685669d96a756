#include "platform/win32/win32_kernel.h"

#include <windows.h>

#include "platform/win32/win32_casts.h"

namespace win32 {

namespace {

// Our DWORD is uint32_t, Windows' is unsigned long: the same 32 bits.
static_assert(sizeof(win::DWORD) == sizeof(DWORD));
static_assert(sizeof(win::OSVERSIONINFOEXA) == sizeof(OSVERSIONINFOEXA));

LPDWORD RealDwords(win::DWORD* value) { return reinterpret_cast<LPDWORD>(value); }

SECURITY_ATTRIBUTES* ToRealAttributes(const win::SECURITY_ATTRIBUTES* ours,
                                      SECURITY_ATTRIBUTES* storage) {
  if (ours == nullptr) return nullptr;
  storage->nLength = sizeof(SECURITY_ATTRIBUTES);
  storage->lpSecurityDescriptor = ours->lpSecurityDescriptor;
  storage->bInheritHandle = ours->bInheritHandle;
  return storage;
}

void FromRealFindData(const WIN32_FIND_DATAA& real, win::WIN32_FIND_DATAA* ours) {
  ours->dwFileAttributes = real.dwFileAttributes;
  ours->ftCreationTime = {real.ftCreationTime.dwLowDateTime, real.ftCreationTime.dwHighDateTime};
  ours->ftLastAccessTime = {real.ftLastAccessTime.dwLowDateTime,
                            real.ftLastAccessTime.dwHighDateTime};
  ours->ftLastWriteTime = {real.ftLastWriteTime.dwLowDateTime,
                           real.ftLastWriteTime.dwHighDateTime};
  ours->nFileSizeHigh = real.nFileSizeHigh;
  ours->nFileSizeLow = real.nFileSizeLow;
  ours->dwReserved0 = real.dwReserved0;
  ours->dwReserved1 = real.dwReserved1;
  lstrcpynA(ours->cFileName, real.cFileName, sizeof ours->cFileName);
  lstrcpynA(ours->cAlternateFileName, real.cAlternateFileName, sizeof ours->cAlternateFileName);
}

// The platform's thread routines use the default calling convention; a real
// thread starts with WINAPI, so a small record carries the call over.
struct ThreadStart {
  win::THREAD_START_ROUTINE start;
  void* parameter;
};

DWORD WINAPI RunThread(LPVOID record) {
  ThreadStart call = *static_cast<ThreadStart*>(record);
  delete static_cast<ThreadStart*>(record);
  return call.start(call.parameter);
}

}  // namespace

win::DWORD Win32Kernel::GetLastError() { return ::GetLastError(); }
void Win32Kernel::SetLastError(win::DWORD code) { ::SetLastError(code); }

win::UINT Win32Kernel::GetWindowsDirectoryA(char* buffer, win::UINT size) {
  return ::GetWindowsDirectoryA(buffer, size);
}
win::UINT Win32Kernel::GetSystemDirectoryA(char* buffer, win::UINT size) {
  return ::GetSystemDirectoryA(buffer, size);
}
win::DWORD Win32Kernel::GetCurrentDirectoryA(win::DWORD size, char* buffer) {
  return ::GetCurrentDirectoryA(size, buffer);
}

win::BOOL Win32Kernel::CreateDirectoryA(const char* path,
                                        const win::SECURITY_ATTRIBUTES* attributes) {
  SECURITY_ATTRIBUTES storage;
  return ::CreateDirectoryA(path, ToRealAttributes(attributes, &storage));
}
win::BOOL Win32Kernel::RemoveDirectoryA(const char* path) { return ::RemoveDirectoryA(path); }
win::BOOL Win32Kernel::DeleteFileA(const char* path) { return ::DeleteFileA(path); }
win::BOOL Win32Kernel::CopyFileA(const char* source, const char* destination,
                                 win::BOOL failIfExists) {
  return ::CopyFileA(source, destination, failIfExists);
}
win::BOOL Win32Kernel::MoveFileA(const char* source, const char* destination) {
  return ::MoveFileA(source, destination);
}
win::DWORD Win32Kernel::GetFileAttributesA(const char* path) { return ::GetFileAttributesA(path); }
win::BOOL Win32Kernel::SetFileAttributesA(const char* path, win::DWORD attributes) {
  return ::SetFileAttributesA(path, attributes);
}

win::HANDLE Win32Kernel::FindFirstFileA(const char* pattern, win::WIN32_FIND_DATAA* data) {
  WIN32_FIND_DATAA real{};
  HANDLE find = ::FindFirstFileA(pattern, &real);
  if (find != INVALID_HANDLE_VALUE) FromRealFindData(real, data);
  return FromReal(find);
}
win::BOOL Win32Kernel::FindNextFileA(win::HANDLE find, win::WIN32_FIND_DATAA* data) {
  WIN32_FIND_DATAA real{};
  BOOL found = ::FindNextFileA(ToReal<HANDLE>(find), &real);
  if (found) FromRealFindData(real, data);
  return found;
}
win::BOOL Win32Kernel::FindClose(win::HANDLE find) { return ::FindClose(ToReal<HANDLE>(find)); }

win::HANDLE Win32Kernel::CreateFileA(const char* path, win::DWORD access, win::DWORD shareMode,
                                     const win::SECURITY_ATTRIBUTES* attributes,
                                     win::DWORD disposition, win::DWORD flags,
                                     win::HANDLE templateFile) {
  SECURITY_ATTRIBUTES storage;
  return FromReal(::CreateFileA(path, access, shareMode, ToRealAttributes(attributes, &storage),
                                disposition, flags, ToReal<HANDLE>(templateFile)));
}
win::DWORD Win32Kernel::SetFilePointer(win::HANDLE file, win::LONG distance,
                                       win::LONG* distanceHigh, win::DWORD method) {
  return ::SetFilePointer(ToReal<HANDLE>(file), distance, reinterpret_cast<PLONG>(distanceHigh),
                          method);
}
win::BOOL Win32Kernel::WriteFile(win::HANDLE file, const void* data, win::DWORD size,
                                 win::DWORD* written) {
  DWORD done = 0;
  BOOL ok = ::WriteFile(ToReal<HANDLE>(file), data, size, &done, nullptr);
  if (written) *written = done;
  return ok;
}
win::BOOL Win32Kernel::ReadFile(win::HANDLE file, void* data, win::DWORD size, win::DWORD* read) {
  DWORD done = 0;
  BOOL ok = ::ReadFile(ToReal<HANDLE>(file), data, size, &done, nullptr);
  if (read) *read = done;
  return ok;
}
win::BOOL Win32Kernel::CloseHandle(win::HANDLE handle) {
  return ::CloseHandle(ToReal<HANDLE>(handle));
}

win::DWORD Win32Kernel::GetPrivateProfileStringA(const char* section, const char* key,
                                                 const char* defaultValue, char* buffer,
                                                 win::DWORD size, const char* fileName) {
  return ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

win::BOOL Win32Kernel::GetVersionExA(win::OSVERSIONINFOEXA* info) {
  // The two records have the same layout; the caller has set the size field.
  return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info));
}
win::HMODULE Win32Kernel::GetModuleHandleA(const char* moduleName) {
  return FromReal(::GetModuleHandleA(moduleName));
}
win::FARPROC Win32Kernel::GetProcAddress(win::HMODULE module, const char* procName) {
  return reinterpret_cast<win::FARPROC>(::GetProcAddress(ToReal<HMODULE>(module), procName));
}
win::DWORD Win32Kernel::GetModuleFileNameA(win::HMODULE module, char* buffer, win::DWORD size) {
  return ::GetModuleFileNameA(ToReal<HMODULE>(module), buffer, size);
}
win::HANDLE Win32Kernel::GetCurrentProcess() { return FromReal(::GetCurrentProcess()); }

win::BOOL Win32Kernel::CallIsWow64Process(win::FARPROC isWow64Process, win::HANDLE process,
                                          win::BOOL* wow64) {
  using IsWow64ProcessCall = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto call = reinterpret_cast<IsWow64ProcessCall>(isWow64Process);
  BOOL flag = *wow64;
  BOOL ok = call(ToReal<HANDLE>(process), &flag);
  *wow64 = flag;
  return ok;
}
win::UINT Win32Kernel::CallGetSystemWow64DirectoryA(win::FARPROC getSystemWow64DirectoryA,
                                                    char* buffer, win::UINT size) {
  using GetSystemWow64DirectoryCall = UINT(WINAPI*)(LPSTR, UINT);
  return reinterpret_cast<GetSystemWow64DirectoryCall>(getSystemWow64DirectoryA)(buffer, size);
}

void Win32Kernel::GetLocalTime(win::SYSTEMTIME* time) {
  SYSTEMTIME real{};
  ::GetLocalTime(&real);
  *time = {real.wYear, real.wMonth,  real.wDayOfWeek, real.wDay,
           real.wHour, real.wMinute, real.wSecond,    real.wMilliseconds};
}
void Win32Kernel::Sleep(win::DWORD milliseconds) { ::Sleep(milliseconds); }

win::DWORD Win32Kernel::FormatMessageA(win::DWORD flags, win::DWORD messageId,
                                       win::DWORD languageId, std::string* text) {
  char* buffer = nullptr;
  DWORD length = ::FormatMessageA(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, messageId,
                                  languageId, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
  text->assign(buffer != nullptr ? buffer : "", buffer != nullptr ? length : 0);
  if (buffer != nullptr) ::LocalFree(buffer);
  return length;
}

win::UINT Win32Kernel::WinExec(const char* commandLine, win::UINT show) {
  return ::WinExec(commandLine, show);
}

win::BOOL Win32Kernel::CreateProcessA(const char* applicationName, char* commandLine,
                                      win::BOOL inheritHandles, win::DWORD creationFlags,
                                      const win::STARTUPINFOA* startupInfo,
                                      win::PROCESS_INFORMATION* processInformation) {
  STARTUPINFOA real{};
  real.cb = sizeof real;
  if (startupInfo != nullptr) {
    real.lpDesktop = startupInfo->lpDesktop;
    real.lpTitle = startupInfo->lpTitle;
    real.dwX = startupInfo->dwX;
    real.dwY = startupInfo->dwY;
    real.dwXSize = startupInfo->dwXSize;
    real.dwYSize = startupInfo->dwYSize;
    real.dwXCountChars = startupInfo->dwXCountChars;
    real.dwYCountChars = startupInfo->dwYCountChars;
    real.dwFillAttribute = startupInfo->dwFillAttribute;
    real.dwFlags = startupInfo->dwFlags;
    real.wShowWindow = startupInfo->wShowWindow;
    real.hStdInput = ToReal<HANDLE>(startupInfo->hStdInput);
    real.hStdOutput = ToReal<HANDLE>(startupInfo->hStdOutput);
    real.hStdError = ToReal<HANDLE>(startupInfo->hStdError);
  }
  PROCESS_INFORMATION started{};
  BOOL ok = ::CreateProcessA(applicationName, commandLine, nullptr, nullptr, inheritHandles,
                             creationFlags, nullptr, nullptr, &real, &started);
  if (ok && processInformation != nullptr) {
    processInformation->hProcess = FromReal(started.hProcess);
    processInformation->hThread = FromReal(started.hThread);
    processInformation->dwProcessId = started.dwProcessId;
    processInformation->dwThreadId = started.dwThreadId;
  }
  return ok;
}
win::DWORD Win32Kernel::WaitForSingleObject(win::HANDLE handle, win::DWORD milliseconds) {
  return ::WaitForSingleObject(ToReal<HANDLE>(handle), milliseconds);
}
win::BOOL Win32Kernel::GetExitCodeProcess(win::HANDLE process, win::DWORD* exitCode) {
  return ::GetExitCodeProcess(ToReal<HANDLE>(process), RealDwords(exitCode));
}
void Win32Kernel::ExitProcess(win::UINT exitCode) { ::ExitProcess(exitCode); }

win::HANDLE Win32Kernel::CreateThread(win::THREAD_START_ROUTINE start, void* parameter,
                                      win::DWORD* threadId) {
  auto* record = new ThreadStart{start, parameter};
  DWORD id = 0;
  HANDLE thread = ::CreateThread(nullptr, 0, RunThread, record, 0, &id);
  if (thread == nullptr) delete record;
  if (threadId != nullptr) *threadId = id;
  return FromReal(thread);
}

int Win32Kernel::LoadStringA(win::UINT id, char* buffer, int size) {
  return ::LoadStringA(::GetModuleHandleA(nullptr), id, buffer, size);
}

}  // namespace win32
