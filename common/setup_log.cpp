#include "common/setup_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

void CopyBounded(char* buffer, std::size_t size, const char* text) {
  if (size == 0) return;
  std::size_t length = std::strlen(text);
  if (length >= size) length = size - 1;
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
}

void AppendBounded(char* buffer, std::size_t size, const char* text) {
  std::size_t used = std::strlen(buffer);
  if (used + 1 >= size) return;
  CopyBounded(buffer + used, size - used, text);
}

void SetupLog::InitLog() {
  char windowsDirectory[256] = {};
  kernel_.GetWindowsDirectoryA(windowsDirectory, sizeof windowsDirectory);
  CopyBounded(path_, sizeof path_, windowsDirectory);
  AppendBounded(path_, sizeof path_, "\\Temp");
  kernel_.CreateDirectoryA(path_, nullptr);
  AppendBounded(path_, sizeof path_, fileName_);
  kernel_.DeleteFileA(path_);
}

void SetupLog::WriteLog(const char* format, ...) {
  win::HANDLE file = kernel_.CreateFileA(path_, win::GENERIC_READ | win::GENERIC_WRITE,
                                         win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, nullptr,
                                         win::OPEN_ALWAYS, win::FILE_ATTRIBUTE_NORMAL, 0);
  if (file == win::INVALID_HANDLE_VALUE) return;
  kernel_.SetFilePointer(file, 0, nullptr, win::FILE_END);

  win::SYSTEMTIME now{};
  kernel_.GetLocalTime(&now);
  char line[1024];
  int stamp = std::snprintf(line, sizeof line, "%02u:%02u:%02u: ", now.wHour, now.wMinute,
                            now.wSecond);
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line + stamp, sizeof line - stamp, format, arguments);
  va_end(arguments);

  win::DWORD written = 0;
  kernel_.WriteFile(file, line, static_cast<win::DWORD>(std::strlen(line)), &written);
  kernel_.WriteFile(file, "\r\n", 2, &written);
  kernel_.CloseHandle(file);
}
