#include "platform/sim/sim_kernel.h"
#include "platform/sim/text.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "platform/sim/last_error.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/system_messages.h"

namespace sim {
namespace {

// The modules whose functions the programs look up, by their pseudo handles.
const std::map<std::string, win::HMODULE>& Modules() {
  static const std::map<std::string, win::HMODULE> modules = {
      {"kernel32", 0x7C800000}, {"advapi32", 0x77DD0000}, {"setupapi", 0x77920000},
      {"shlwapi", 0x77F60000},  {"user32", 0x7E410000},   {"winspool.drv", 0x73000000},
  };
  return modules;
}

std::string ModuleName(win::HMODULE module) {
  for (const auto& [name, handle] : Modules()) {
    if (handle == module) return name;
  }
  return {};
}

// A function found by GetProcAddress: the token stands for it.
struct BoundFunction {
  std::string moduleAndName;
};

const BoundFunction* Bind(const std::string& moduleAndName) {
  static std::map<std::string, BoundFunction> bound;
  auto [it, inserted] = bound.try_emplace(moduleAndName, BoundFunction{moduleAndName});
  return &it->second;
}

class ThreadHandle : public HandleObject {
 public:
  explicit ThreadHandle(std::shared_ptr<SimProcess> process) : process(std::move(process)) {}
  std::shared_ptr<SimProcess> process;
};

constexpr win::HANDLE kCurrentProcess = static_cast<win::HANDLE>(-1);

}  // namespace

SimKernel::SimKernel(SimProcess& process)
    : process_(process), files_(std::make_unique<SimFiles>(process)) {}

SimKernel::~SimKernel() = default;

win::DWORD SimKernel::GetLastError() { return sim::GetLastError(); }
void SimKernel::SetLastError(win::DWORD code) { sim::SetLastError(code); }

// ---- Files and folders: the simulated file system ----

win::UINT SimKernel::GetWindowsDirectoryA(char* buffer, win::UINT size) {
  return files_->GetWindowsDirectoryA(buffer, size);
}
win::UINT SimKernel::GetSystemDirectoryA(char* buffer, win::UINT size) {
  return files_->GetSystemDirectoryA(buffer, size);
}
win::DWORD SimKernel::GetCurrentDirectoryA(win::DWORD size, char* buffer) {
  return files_->GetCurrentDirectoryA(size, buffer);
}
win::BOOL SimKernel::CreateDirectoryA(const char* path, const win::SECURITY_ATTRIBUTES* attributes) {
  return files_->CreateDirectoryA(path, attributes);
}
win::BOOL SimKernel::RemoveDirectoryA(const char* path) { return files_->RemoveDirectoryA(path); }
win::BOOL SimKernel::DeleteFileA(const char* path) { return files_->DeleteFileA(path); }
win::BOOL SimKernel::CopyFileA(const char* source, const char* destination,
                               win::BOOL failIfExists) {
  return files_->CopyFileA(source, destination, failIfExists);
}
win::BOOL SimKernel::MoveFileA(const char* source, const char* destination) {
  return files_->MoveFileA(source, destination);
}
win::DWORD SimKernel::GetFileAttributesA(const char* path) {
  return files_->GetFileAttributesA(path);
}
win::BOOL SimKernel::SetFileAttributesA(const char* path, win::DWORD attributes) {
  return files_->SetFileAttributesA(path, attributes);
}
win::HANDLE SimKernel::FindFirstFileA(const char* pattern, win::WIN32_FIND_DATAA* data) {
  return files_->FindFirstFileA(pattern, data);
}
win::BOOL SimKernel::FindNextFileA(win::HANDLE find, win::WIN32_FIND_DATAA* data) {
  return files_->FindNextFileA(find, data);
}
win::BOOL SimKernel::FindClose(win::HANDLE find) { return files_->FindClose(find); }
win::HANDLE SimKernel::CreateFileA(const char* path, win::DWORD access, win::DWORD shareMode,
                                   const win::SECURITY_ATTRIBUTES* attributes,
                                   win::DWORD disposition, win::DWORD flags,
                                   win::HANDLE templateFile) {
  return files_->CreateFileA(path, access, shareMode, attributes, disposition, flags,
                             templateFile);
}
win::DWORD SimKernel::SetFilePointer(win::HANDLE file, win::LONG distance,
                                     win::LONG* distanceHigh, win::DWORD method) {
  return files_->SetFilePointer(file, distance, distanceHigh, method);
}
win::BOOL SimKernel::WriteFile(win::HANDLE file, const void* data, win::DWORD size,
                               win::DWORD* written) {
  return files_->WriteFile(file, data, size, written);
}
win::BOOL SimKernel::ReadFile(win::HANDLE file, void* data, win::DWORD size, win::DWORD* read) {
  return files_->ReadFile(file, data, size, read);
}
win::DWORD SimKernel::GetPrivateProfileStringA(const char* section, const char* key,
                                               const char* defaultValue, char* buffer,
                                               win::DWORD size, const char* fileName) {
  return files_->GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}
win::UINT SimKernel::CallGetSystemWow64DirectoryA(win::FARPROC function, char* buffer,
                                                  win::UINT size) {
  return files_->CallGetSystemWow64DirectoryA(function, buffer, size);
}

win::BOOL SimKernel::CloseHandle(win::HANDLE handle) {
  if (!process_.handles.Close(handle)) return Fail(win::ERROR_INVALID_HANDLE);
  return win::TRUE;
}

// ---- Version and run-time binding ----

win::BOOL SimKernel::GetVersionExA(win::OSVERSIONINFOEXA* info) {
  const OsLayout& os = process_.machine.os;
  constexpr win::DWORD kPlainSize = 148;  // OSVERSIONINFOA
  const win::DWORD size = info->dwOSVersionInfoSize;
  const bool extended = size == sizeof(win::OSVERSIONINFOEXA);
  // Assumption: a refused size fails with ERROR_INSUFFICIENT_BUFFER, as the
  // NT kernel's version query answers a record size it does not know.
  if (os.versionQueryFails || (size != kPlainSize && !extended) ||
      (extended && !os.AcceptsExtendedVersionInfo())) {
    return Fail(win::ERROR_INSUFFICIENT_BUFFER);
  }
  std::memset(reinterpret_cast<char*>(info) + sizeof(win::DWORD), 0,
              size - sizeof(win::DWORD));
  info->dwMajorVersion = os.major;
  info->dwMinorVersion = os.minor;
  // Windows 95, 98 and Me put the major and minor version in the high word.
  info->dwBuildNumber = os.IsNt() ? os.build : (os.major << 24 | os.minor << 16 | os.build);
  info->dwPlatformId = os.platformId;
  std::strncpy(info->szCSDVersion, os.servicePack.c_str(), sizeof info->szCSDVersion - 1);
  if (extended) {
    int major = 0, minor = 0;
    std::sscanf(os.servicePack.c_str(), "Service Pack %d.%d", &major, &minor);
    info->wServicePackMajor = static_cast<win::WORD>(major);
    info->wServicePackMinor = static_cast<win::WORD>(minor);
    info->wProductType = os.productType;
  }
  return win::TRUE;
}

win::HMODULE SimKernel::GetModuleHandleA(const char* moduleName) {
  if (moduleName == nullptr) return 0x00400000;  // the program file itself
  std::string name = Lower(moduleName);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dll") == 0) name.resize(name.size() - 4);
  auto it = Modules().find(name);
  if (it == Modules().end()) {
    sim::SetLastError(win::ERROR_MOD_NOT_FOUND);
    return 0;
  }
  return it->second;
}

win::FARPROC SimKernel::GetProcAddress(win::HMODULE module, const char* procName) {
  std::string moduleName = ModuleName(module);
  if (moduleName.empty()) {
    sim::SetLastError(win::ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::string key = moduleName + "!" + procName;
  if (!process_.machine.os.HasFunction(key)) {
    sim::SetLastError(win::ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return Bind(key);
}

win::DWORD SimKernel::GetModuleFileNameA(win::HMODULE module, char* buffer, win::DWORD size) {
  const std::string& path = process_.imagePath;
  if (size == 0) return 0;
  // A path that does not fit is cut and (XP and later) left unterminated
  // in the last byte; the result is then the buffer size.
  if (path.size() >= size) {
    std::memcpy(buffer, path.data(), size);
    buffer[size - 1] = '\0';
    sim::SetLastError(win::ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<win::DWORD>(path.size());
}

win::HANDLE SimKernel::GetCurrentProcess() { return kCurrentProcess; }

win::BOOL SimKernel::CallIsWow64Process(win::FARPROC function, win::HANDLE process,
                                        win::BOOL* wow64) {
  if (function == nullptr) return Fail(win::ERROR_INVALID_PARAMETER);
  if (process != kCurrentProcess && !process_.handles.Get<SimProcess>(process)) {
    return Fail(win::ERROR_INVALID_HANDLE);
  }
  *wow64 = process_.wow64 ? win::TRUE : win::FALSE;
  return win::TRUE;
}

// ---- Time ----

void SimKernel::GetLocalTime(win::SYSTEMTIME* time) { *time = process_.machine.clock.LocalTime(); }

void SimKernel::Sleep(win::DWORD milliseconds) {
  SimMachine& machine = process_.machine;
  if (milliseconds == 0) {
    machine.scheduler.Yield();
  } else {
    std::int64_t until = machine.clock.Now() + milliseconds;
    machine.scheduler.WaitUntil([this] { return process_.ending; }, until);
  }
  process_.CheckAlive();
}

win::DWORD SimKernel::FormatMessageA(win::DWORD flags, win::DWORD messageId,
                                     win::DWORD languageId, std::string* text) {
  text->clear();
  // The machine's system texts are English (United States); language 0
  // means the user's language, which is that too.
  if (!(flags & win::FORMAT_MESSAGE_FROM_SYSTEM) ||
      (languageId != 0 && languageId != win::LANG_ENGLISH_US)) {
    sim::SetLastError(1815);  // ERROR_RESOURCE_LANG_NOT_FOUND
    return 0;
  }
  std::optional<std::string> message = SystemMessageText(messageId);
  if (!message) {
    sim::SetLastError(317);  // ERROR_MR_MID_NOT_FOUND
    return 0;
  }
  *text = *message;
  return static_cast<win::DWORD>(text->size());
}

// ---- Commands, processes and threads ----

std::shared_ptr<SimProcess> SimKernel::Start(const std::string& commandLine, win::UINT show,
                                             const char* how) {
  SimMachine& machine = process_.machine;
  StartedCommand record{machine.clock.Now(), process_.image ? process_.image->fileName : "",
                        how, commandLine, show, false};
  std::string path = machine.FindProgramFile(commandLine, process_.currentDirectory);
  std::shared_ptr<SimProcess> child;
  if (!path.empty() && machine.ProgramAt(path)) {
    child = machine.StartProcess(path, commandLine, process_.currentDirectory);
  }
  record.started = child != nullptr;
  machine.startedCommands.push_back(record);
  return child;
}

win::UINT SimKernel::WinExec(const char* commandLine, win::UINT show) {
  // WinExec answers a number above 31 when the program started, otherwise
  // the reason, ERROR_FILE_NOT_FOUND for a program that cannot be found.
  if (!Start(commandLine, show, "WinExec")) return win::ERROR_FILE_NOT_FOUND;
  return 33;
}

win::BOOL SimKernel::CreateProcessA(const char* applicationName, char* commandLine,
                                    win::BOOL inheritHandles, win::DWORD creationFlags,
                                    const win::STARTUPINFOA* startupInfo,
                                    win::PROCESS_INFORMATION* processInformation) {
  std::string line = commandLine ? commandLine : (applicationName ? applicationName : "");
  win::UINT show = win::SW_SHOWNORMAL;
  if (startupInfo && (startupInfo->dwFlags & win::STARTF_USESHOWWINDOW)) {
    show = startupInfo->wShowWindow;
  }
  auto child = Start(line, show, "CreateProcessA");
  if (!child) return Fail(win::ERROR_FILE_NOT_FOUND);
  processInformation->hProcess = process_.handles.Add(child);
  processInformation->hThread = process_.handles.Add(std::make_shared<ThreadHandle>(child));
  processInformation->dwProcessId = child->id;
  processInformation->dwThreadId = child->id + 1;
  return win::TRUE;
}

win::DWORD SimKernel::WaitForSingleObject(win::HANDLE handle, win::DWORD milliseconds) {
  std::shared_ptr<SimProcess> target = process_.handles.Get<SimProcess>(handle);
  if (!target) {
    if (auto thread = process_.handles.Get<ThreadHandle>(handle)) target = thread->process;
  }
  if (!target) {
    sim::SetLastError(win::ERROR_INVALID_HANDLE);
    return win::WAIT_FAILED;
  }
  SimMachine& machine = process_.machine;
  std::optional<std::int64_t> deadline;
  if (milliseconds != win::INFINITE) deadline = machine.clock.Now() + milliseconds;
  bool ended = machine.scheduler.WaitUntil([&] { return target->ended || process_.ending; },
                                           deadline);
  process_.CheckAlive();
  return ended ? win::WAIT_OBJECT_0 : win::WAIT_TIMEOUT;
}

win::BOOL SimKernel::GetExitCodeProcess(win::HANDLE handle, win::DWORD* exitCode) {
  std::shared_ptr<SimProcess> target = process_.handles.Get<SimProcess>(handle);
  if (!target) return Fail(win::ERROR_INVALID_HANDLE);
  *exitCode = target->ended ? target->exitCode : win::STILL_ACTIVE;
  return win::TRUE;
}

void SimKernel::ExitProcess(win::UINT exitCode) { process_.Exit(exitCode); }

win::HANDLE SimKernel::CreateThread(win::THREAD_START_ROUTINE start, void* parameter,
                                    win::DWORD* threadId) {
  static win::DWORD nextThreadId = 2000;
  win::DWORD id = nextThreadId++;
  if (threadId) *threadId = id;
  process_.StartThread("thread " + std::to_string(id), [start, parameter] { start(parameter); });
  return process_.handles.Add(std::make_shared<ThreadHandle>(nullptr));
}

int SimKernel::LoadStringA(win::UINT id, char* buffer, int size) {
  if (size <= 0) return 0;
  buffer[0] = '\0';
  if (!process_.image) return 0;
  auto it = process_.image->strings.find(id);
  if (it == process_.image->strings.end()) {
    sim::SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
    return 0;
  }
  int length = std::min<int>(static_cast<int>(it->second.size()), size - 1);
  std::memcpy(buffer, it->second.data(), length);
  buffer[length] = '\0';
  return length;
}

}  // namespace sim
