#include "platform/sim/sim_files.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/sim/access_control.h"
#include "platform/sim/file_system.h"
#include "platform/sim/last_error.h"
#include "platform/sim/profile_file.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_process.h"

namespace sim {

using win::BOOL;
using win::DWORD;
using win::UINT;

namespace {

// An open file. Closing the handle ends its hold on the file.
class FileHandle : public HandleObject {
 public:
  FileHandle(std::shared_ptr<Node> file, DWORD access, std::string holder)
      : file(std::move(file)), access(access), holder(std::move(holder)) {}
  ~FileHandle() override { FileSystem::CloseFile(*file, holder); }

  std::shared_ptr<Node> file;
  const DWORD access;
  const std::string holder;
  std::uint64_t position = 0;
};

// A finder: the entries found when it started, reported one by one.
class FindHandle : public HandleObject {
 public:
  std::vector<FoundEntry> entries;
  size_t next = 0;
};

// Each open handle holds its file under a name of its own.
std::string NextHolderName() {
  static std::atomic<unsigned> counter{0};
  return "#" + std::to_string(++counter);
}

// The usual way a folder query returns a path: the length when it fits
// (without the NUL), otherwise the size needed (with the NUL) and the buffer
// untouched.
UINT CopyPath(const std::string& path, char* buffer, UINT size) {
  if (!buffer || size <= path.size()) return static_cast<UINT>(path.size() + 1);
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<UINT>(path.size());
}

void FillFindData(const FoundEntry& entry, win::WIN32_FIND_DATAA* data) {
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = entry.attributes;
  data->nFileSizeHigh = static_cast<DWORD>(entry.size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(entry.size);
  std::strncpy(data->cFileName, entry.name.c_str(), sizeof data->cFileName - 1);
}

BOOL Result(DWORD error) {
  if (error == 0) return win::TRUE;
  return Fail(error);
}

}  // namespace

SimFiles::SimFiles(SimProcess& process) : process_(process) {}

FileSystem& SimFiles::fs() { return *process_.machine.files; }

std::string SimFiles::Resolve(const char* path) const {
  if (!path) return {};
  return process_.machine.files->ResolvePath(process_, path);
}

// ---- Folders of the system and of the process ----

UINT SimFiles::GetWindowsDirectoryA(char* buffer, UINT size) {
  return CopyPath(process_.machine.os.windowsDirectory, buffer, size);
}

UINT SimFiles::GetSystemDirectoryA(char* buffer, UINT size) {
  // The name of System32 also for a 32-bit process: its accesses are
  // redirected, the name is not.
  return CopyPath(process_.machine.os.SystemDirectory(), buffer, size);
}

DWORD SimFiles::GetCurrentDirectoryA(DWORD size, char* buffer) {
  return CopyPath(process_.currentDirectory, buffer, size);
}

UINT SimFiles::CallGetSystemWow64DirectoryA(win::FARPROC, char* buffer, UINT size) {
  if (!process_.machine.os.is64Bit) {
    SetLastError(win::ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  return CopyPath(process_.machine.os.SysWow64Directory(), buffer, size);
}

// ---- Folders and files ----

BOOL SimFiles::CreateDirectoryA(const char* path, const win::SECURITY_ATTRIBUTES* attributes) {
  std::string resolved = Resolve(path);
  if (resolved.empty()) return Fail(win::ERROR_PATH_NOT_FOUND);
  return Result(fs().CreateDirectory(resolved, SecurityFromAttributes(attributes)));
}

BOOL SimFiles::RemoveDirectoryA(const char* path) {
  std::string resolved = Resolve(path);
  if (resolved.empty()) return Fail(win::ERROR_PATH_NOT_FOUND);
  return Result(fs().RemoveDirectory(resolved));
}

BOOL SimFiles::DeleteFileA(const char* path) {
  std::string resolved = Resolve(path);
  if (resolved.empty()) return Fail(win::ERROR_PATH_NOT_FOUND);
  return Result(fs().DeleteFile(resolved));
}

BOOL SimFiles::CopyFileA(const char* source, const char* destination, BOOL failIfExists) {
  std::string from = Resolve(source);
  std::string to = Resolve(destination);
  if (from.empty() || to.empty()) return Fail(win::ERROR_PATH_NOT_FOUND);
  return Result(fs().CopyFile(from, to, failIfExists != win::FALSE));
}

BOOL SimFiles::MoveFileA(const char* source, const char* destination) {
  std::string from = Resolve(source);
  std::string to = Resolve(destination);
  if (from.empty() || to.empty()) return Fail(win::ERROR_PATH_NOT_FOUND);
  return Result(fs().MoveFile(from, to));
}

DWORD SimFiles::GetFileAttributesA(const char* path) {
  std::string resolved = Resolve(path);
  DWORD attributes = 0;
  DWORD error = resolved.empty() ? win::ERROR_PATH_NOT_FOUND
                                 : fs().GetFileAttributes(resolved, &attributes);
  if (error) {
    SetLastError(error);
    return win::INVALID_FILE_ATTRIBUTES;
  }
  return attributes;
}

BOOL SimFiles::SetFileAttributesA(const char* path, DWORD attributes) {
  std::string resolved = Resolve(path);
  if (resolved.empty()) return Fail(win::ERROR_PATH_NOT_FOUND);
  return Result(fs().SetFileAttributes(resolved, attributes));
}

win::HANDLE SimFiles::FindFirstFileA(const char* pattern, win::WIN32_FIND_DATAA* data) {
  std::string resolved = Resolve(pattern);
  auto finder = std::make_shared<FindHandle>();
  DWORD error = resolved.empty() ? win::ERROR_PATH_NOT_FOUND
                                 : fs().FindEntries(resolved, &finder->entries);
  if (error) {
    SetLastError(error);
    return win::INVALID_HANDLE_VALUE;
  }
  FillFindData(finder->entries[0], data);
  finder->next = 1;
  return process_.handles.Add(finder);
}

BOOL SimFiles::FindNextFileA(win::HANDLE find, win::WIN32_FIND_DATAA* data) {
  auto finder = process_.handles.Get<FindHandle>(find);
  if (!finder) return Fail(win::ERROR_INVALID_HANDLE);
  if (finder->next >= finder->entries.size()) return Fail(win::ERROR_NO_MORE_FILES);
  FillFindData(finder->entries[finder->next++], data);
  return win::TRUE;
}

BOOL SimFiles::FindClose(win::HANDLE find) {
  if (!process_.handles.Get<FindHandle>(find)) return Fail(win::ERROR_INVALID_HANDLE);
  process_.handles.Close(find);
  return win::TRUE;
}

win::HANDLE SimFiles::CreateFileA(const char* path, DWORD access, DWORD shareMode,
                                  const win::SECURITY_ATTRIBUTES*, DWORD disposition, DWORD flags,
                                  win::HANDLE) {
  std::string resolved = Resolve(path);
  if (resolved.empty()) {
    SetLastError(win::ERROR_PATH_NOT_FOUND);
    return win::INVALID_HANDLE_VALUE;
  }
  std::string holder = NextHolderName();
  FileSystem::OpenResult opened;
  DWORD error = fs().OpenFile(resolved, access, shareMode, disposition, flags, holder, &opened);
  if (error) {
    SetLastError(error);
    return win::INVALID_HANDLE_VALUE;
  }
  // OPEN_ALWAYS and CREATE_ALWAYS tell whether the file was there already.
  const bool reportsExisting = disposition == win::OPEN_ALWAYS || disposition == win::CREATE_ALWAYS;
  SetLastError(reportsExisting && opened.existed ? win::ERROR_ALREADY_EXISTS : win::ERROR_SUCCESS);
  return process_.handles.Add(std::make_shared<FileHandle>(opened.file, access, holder));
}

DWORD SimFiles::SetFilePointer(win::HANDLE file, win::LONG distance, win::LONG* distanceHigh,
                               DWORD method) {
  auto handle = process_.handles.Get<FileHandle>(file);
  if (!handle) {
    SetLastError(win::ERROR_INVALID_HANDLE);
    return win::INVALID_SET_FILE_POINTER;
  }
  std::int64_t offset = distanceHigh
                            ? static_cast<std::int64_t>((static_cast<std::uint64_t>(
                                                             static_cast<DWORD>(*distanceHigh))
                                                         << 32) |
                                                        static_cast<DWORD>(distance))
                            : static_cast<std::int64_t>(distance);
  std::int64_t base = 0;
  switch (method) {
    case win::FILE_BEGIN: base = 0; break;
    case win::FILE_CURRENT: base = static_cast<std::int64_t>(handle->position); break;
    case win::FILE_END: base = static_cast<std::int64_t>(handle->file->content.size()); break;
    default:
      SetLastError(win::ERROR_INVALID_PARAMETER);
      return win::INVALID_SET_FILE_POINTER;
  }
  std::int64_t target = base + offset;
  if (target < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return win::INVALID_SET_FILE_POINTER;
  }
  handle->position = static_cast<std::uint64_t>(target);
  if (distanceHigh) *distanceHigh = static_cast<win::LONG>(handle->position >> 32);
  return static_cast<DWORD>(handle->position);
}

BOOL SimFiles::WriteFile(win::HANDLE file, const void* data, DWORD size, DWORD* written) {
  if (written) *written = 0;
  auto handle = process_.handles.Get<FileHandle>(file);
  if (!handle) return Fail(win::ERROR_INVALID_HANDLE);
  DWORD mapped = MapGeneric(handle->access, kFileMapping);
  if (!(mapped & (file_rights::FILE_WRITE_DATA | file_rights::FILE_APPEND_DATA))) {
    return Fail(win::ERROR_ACCESS_DENIED);
  }
  std::string& content = handle->file->content;
  if (content.size() < handle->position + size) content.resize(handle->position + size, '\0');
  std::memcpy(content.data() + handle->position, data, size);
  handle->position += size;
  if (written) *written = size;
  return win::TRUE;
}

BOOL SimFiles::ReadFile(win::HANDLE file, void* data, DWORD size, DWORD* read) {
  if (read) *read = 0;
  auto handle = process_.handles.Get<FileHandle>(file);
  if (!handle) return Fail(win::ERROR_INVALID_HANDLE);
  DWORD mapped = MapGeneric(handle->access, kFileMapping);
  if (!(mapped & file_rights::FILE_READ_DATA)) return Fail(win::ERROR_ACCESS_DENIED);
  const std::string& content = handle->file->content;
  std::uint64_t available = handle->position < content.size() ? content.size() - handle->position : 0;
  DWORD count = static_cast<DWORD>(std::min<std::uint64_t>(available, size));
  if (count) std::memcpy(data, content.data() + handle->position, count);
  handle->position += count;
  if (read) *read = count;
  return win::TRUE;
}

// ---- Profile files ----

DWORD SimFiles::GetPrivateProfileStringA(const char* section, const char* key,
                                         const char* defaultValue, char* buffer, DWORD size,
                                         const char* fileName) {
  // A bare file name is looked for in the Windows directory; a name with a
  // folder in it is a path (relative ones against the current directory).
  std::string name = fileName ? fileName : "win.ini";
  if (name.find_first_of("\\/") == std::string::npos) {
    name = process_.machine.os.windowsDirectory + "\\" + name;
  }
  std::string resolved = Resolve(name.c_str());
  std::optional<std::string> text;
  if (!resolved.empty()) {
    // Read as the reader does: an open for reading that shares everything.
    FileSystem::OpenResult opened;
    std::string holder = NextHolderName();
    DWORD error = fs().OpenFile(resolved, win::GENERIC_READ,
                                win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING,
                                0, holder, &opened);
    if (error == 0) {
      text = opened.file->content;
      FileSystem::CloseFile(*opened.file, holder);
    }
  }
  ProfileReadResult result = ReadProfileString(text, section, key, defaultValue, buffer, size);
  SetLastError(result.lastError);
  return result.length;
}

}  // namespace sim
