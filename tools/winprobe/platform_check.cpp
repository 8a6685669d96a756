// platform_check: runs the real Windows platform (platform/win32) through
// its services on the machine it is started on and prints one line per
// check: "PASS <name>", "FAIL <name>: <detail>" or "INFO <name>: <value>".
// The Wine tests run it in each prefix. Usage: platform_check [expectedWow64]
// (0 or 1; when given, the WOW64 answer is checked against it).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/win32_platform.h"

namespace {

int failures = 0;

void Check(const char* name, bool passed, const std::string& detail = "") {
  if (passed) {
    std::printf("PASS %s\n", name);
  } else {
    std::printf("FAIL %s: %s\n", name, detail.c_str());
    ++failures;
  }
  std::fflush(stdout);
}

void Info(const char* name, const std::string& value) {
  std::printf("INFO %s: %s\n", name, value.c_str());
  std::fflush(stdout);
}

std::string Number(long long value) { return std::to_string(value); }

// ---- kernel ----

void CheckVersionAndWow64(win::Kernel& kernel, int expectedWow64) {
  win::OSVERSIONINFOEXA version{};
  version.dwOSVersionInfoSize = sizeof version;
  Check("GetVersionExA", kernel.GetVersionExA(&version) != 0);
  Info("version", "platform " + Number(version.dwPlatformId) + ", " +
                      Number(version.dwMajorVersion) + "." + Number(version.dwMinorVersion) +
                      " build " + Number(version.dwBuildNumber) + ", product type " +
                      Number(version.wProductType));

  win::FARPROC isWow64Process =
      kernel.GetProcAddress(kernel.GetModuleHandleA("kernel32"), "IsWow64Process");
  Check("GetProcAddress IsWow64Process", isWow64Process != nullptr);
  if (isWow64Process == nullptr) return;
  win::BOOL wow64 = 7;  // the call must overwrite it
  bool called = kernel.CallIsWow64Process(isWow64Process, kernel.GetCurrentProcess(), &wow64);
  Check("CallIsWow64Process", called && (wow64 == 0 || wow64 == 1), "flag " + Number(wow64));
  Info("wow64", Number(wow64) + " in a " + Number(sizeof(void*) * 8) + "-bit process");
  if (expectedWow64 >= 0) {
    Check("WOW64 answer", wow64 == expectedWow64,
          "expected " + Number(expectedWow64) + ", got " + Number(wow64));
  }
  win::FARPROC getWow64Dir =
      kernel.GetProcAddress(kernel.GetModuleHandleA("kernel32"), "GetSystemWow64DirectoryA");
  if (getWow64Dir != nullptr) {
    char folder[win::MAX_PATH] = {};
    win::UINT length = kernel.CallGetSystemWow64DirectoryA(getWow64Dir, folder, sizeof folder);
    Info("GetSystemWow64DirectoryA", length != 0 ? folder : "(none, error " +
                                                                Number(kernel.GetLastError()) + ")");
  }
  Check("GetProcAddress of a missing name",
        kernel.GetProcAddress(kernel.GetModuleHandleA("kernel32"), "NoSuchFunction") == nullptr);
}

void CheckStringsAndMessages(win::Kernel& kernel) {
  char text[256] = {};
  int length = kernel.LoadStringA(2, text, sizeof text);
  Check("LoadStringA 2", length == 15 && std::strcmp(text, "HALVORN QPR-730") == 0,
        "got \"" + std::string(text) + "\"");
  char absent[16] = "unchanged";
  Check("LoadStringA of an absent id", kernel.LoadStringA(10, absent, sizeof absent) == 0);

  std::string message;
  win::DWORD messageLength = kernel.FormatMessageA(
      win::FORMAT_MESSAGE_FROM_SYSTEM | win::FORMAT_MESSAGE_IGNORE_INSERTS, win::ERROR_FILE_NOT_FOUND,
      win::LANG_ENGLISH_US, &message);
  Check("FormatMessageA 2", messageLength > 0 && message.size() == messageLength,
        "length " + Number(messageLength));
  Info("FormatMessageA 2", message.substr(0, message.find_first_of("\r\n")));
}

void CheckFiles(win::Kernel& kernel) {
  char windows[win::MAX_PATH] = {};
  Check("GetWindowsDirectoryA", kernel.GetWindowsDirectoryA(windows, sizeof windows) > 0);
  std::string folder = std::string(windows) + "\\Temp\\platform_check";
  kernel.CreateDirectoryA(folder.c_str(), nullptr);
  std::string path = folder + "\\a.txt";
  std::string copy = folder + "\\b.txt";

  win::HANDLE file = kernel.CreateFileA(path.c_str(), win::GENERIC_READ | win::GENERIC_WRITE,
                                        win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, nullptr,
                                        win::CREATE_ALWAYS, win::FILE_ATTRIBUTE_NORMAL, 0);
  Check("CreateFileA", file != win::INVALID_HANDLE_VALUE, "error " + Number(kernel.GetLastError()));
  if (file == win::INVALID_HANDLE_VALUE) return;
  win::DWORD written = 0;
  kernel.WriteFile(file, "hello\r\n", 7, &written);
  kernel.SetFilePointer(file, 0, nullptr, win::FILE_BEGIN);
  char back[16] = {};
  win::DWORD read = 0;
  kernel.ReadFile(file, back, sizeof back, &read);
  kernel.CloseHandle(file);
  Check("WriteFile and ReadFile", written == 7 && read == 7 && std::memcmp(back, "hello\r\n", 7) == 0);

  kernel.DeleteFileA(copy.c_str());
  Check("CopyFileA", kernel.CopyFileA(path.c_str(), copy.c_str(), win::TRUE) != 0);
  bool refused = kernel.CopyFileA(path.c_str(), copy.c_str(), win::TRUE) == 0;
  Check("CopyFileA onto an existing file", refused && kernel.GetLastError() == win::ERROR_FILE_EXISTS,
        "error " + Number(kernel.GetLastError()));

  win::WIN32_FIND_DATAA found{};
  win::HANDLE find = kernel.FindFirstFileA((folder + "\\*.txt").c_str(), &found);
  int count = 0;
  if (find != win::INVALID_HANDLE_VALUE) {
    do {
      ++count;
    } while (kernel.FindNextFileA(find, &found));
    kernel.FindClose(find);
  }
  Check("FindFirstFileA and FindNextFileA", count == 2, "found " + Number(count));

  kernel.SetFileAttributesA(copy.c_str(), win::FILE_ATTRIBUTE_READONLY);
  Check("SetFileAttributesA",
        (kernel.GetFileAttributesA(copy.c_str()) & win::FILE_ATTRIBUTE_READONLY) != 0);
  kernel.SetFileAttributesA(copy.c_str(), win::FILE_ATTRIBUTE_NORMAL);
  kernel.DeleteFileA(copy.c_str());
  kernel.DeleteFileA(path.c_str());
  Check("DeleteFileA", kernel.GetFileAttributesA(path.c_str()) == win::INVALID_FILE_ATTRIBUTES);
  Check("RemoveDirectoryA", kernel.RemoveDirectoryA(folder.c_str()) != 0);
}

// ---- registry and security ----

void CheckRegistry(win::Kernel& kernel, win::Registry& registry) {
  const char* parent = "Software\\QPR730PlatformCheck";
  registry.SHDeleteKeyA(win::HKEY_CURRENT_USER, parent);
  win::HKEY key = 0;
  win::DWORD disposition = 0;
  win::LSTATUS status = registry.RegCreateKeyExA(
      win::HKEY_CURRENT_USER, "Software\\QPR730PlatformCheck\\Child", 0, nullptr,
      win::REG_OPTION_NON_VOLATILE, win::KEY_ALL_ACCESS, nullptr, &key, &disposition);
  Check("RegCreateKeyExA", status == 0 && key != 0 && disposition == win::REG_CREATED_NEW_KEY,
        "status " + Number(status));
  const char value[] = "C:\\WINDOWS\\QPR-730";
  registry.RegSetValueExA(key, "Path", 0, win::REG_SZ, reinterpret_cast<const win::BYTE*>(value),
                          sizeof value);
  registry.RegCloseKey(key);

  win::HKEY opened = 0;
  status = registry.RegOpenKeyExA(win::HKEY_CURRENT_USER, "Software\\QPR730PlatformCheck\\Child", 0,
                                  win::KEY_READ, &opened);
  char data[64] = {};
  win::DWORD type = 0;
  win::DWORD size = sizeof data;
  win::LSTATUS query =
      registry.RegQueryValueExA(opened, "Path", nullptr, &type, reinterpret_cast<win::BYTE*>(data), &size);
  Check("RegQueryValueExA", status == 0 && query == 0 && type == win::REG_SZ &&
                                std::strcmp(data, value) == 0 && size == sizeof value,
        "status " + Number(query) + ", \"" + data + "\"");
  registry.RegCloseKey(opened);

  registry.RegOpenKeyExA(win::HKEY_CURRENT_USER, parent, 0, win::KEY_READ, &opened);
  char name[64] = {};
  win::DWORD nameSize = sizeof name;
  status = registry.RegEnumKeyExA(opened, 0, name, &nameSize);
  Check("RegEnumKeyExA", status == 0 && std::strcmp(name, "Child") == 0, name);
  nameSize = sizeof name;
  Check("RegEnumKeyExA past the end",
        registry.RegEnumKeyExA(opened, 1, name, &nameSize) == static_cast<win::LSTATUS>(win::ERROR_NO_MORE_ITEMS));
  registry.RegCloseKey(opened);

  win::FARPROC regDeleteKeyEx =
      kernel.GetProcAddress(kernel.GetModuleHandleA("Advapi32"), "RegDeleteKeyExA");
  if (regDeleteKeyEx == nullptr) {
    Info("RegDeleteKeyExA", "not exported here");
  } else {
    status = registry.CallRegDeleteKeyExA(regDeleteKeyEx, win::HKEY_CURRENT_USER,
                                          "Software\\QPR730PlatformCheck\\Child",
                                          win::KEY_WOW64_64KEY, 0);
    Check("CallRegDeleteKeyExA", status == 0, "status " + Number(status));
    registry.RegCreateKeyExA(win::HKEY_CURRENT_USER, "Software\\QPR730PlatformCheck\\Child", 0,
                             nullptr, 0, win::KEY_ALL_ACCESS, nullptr, &key, nullptr);
    registry.RegCloseKey(key);
  }
  status = registry.SHDeleteKeyA(win::HKEY_CURRENT_USER, parent);
  Check("SHDeleteKeyA with a sub-key", status == 0, "status " + Number(status));
  status = registry.RegOpenKeyExA(win::HKEY_CURRENT_USER, parent, 0, win::KEY_READ, &opened);
  Check("RegOpenKeyExA of a deleted key", status == static_cast<win::LSTATUS>(win::ERROR_FILE_NOT_FOUND),
        "status " + Number(status));
}

void CheckSecurity(win::Kernel& kernel, win::Registry& registry, win::Security& security) {
  win::PSID everyone = nullptr;
  bool allocated = security.AllocateAndInitializeSid(&win::SECURITY_WORLD_SID_AUTHORITY, 1,
                                                     win::SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0,
                                                     0, &everyone) != 0;
  Check("AllocateAndInitializeSid", allocated && everyone != nullptr);
  if (everyone) security.FreeSid(everyone);

  win::HKEY key = 0;
  registry.RegCreateKeyExA(win::HKEY_CURRENT_USER, "Software\\QPR730PlatformCheck", 0, nullptr, 0,
                           win::KEY_ALL_ACCESS, nullptr, &key, nullptr);
  win::PACL dacl = nullptr;
  win::PSECURITY_DESCRIPTOR descriptor = nullptr;
  win::DWORD status = security.GetSecurityInfo(key, win::SE_REGISTRY_KEY,
                                               win::DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                               &dacl, nullptr, &descriptor);
  Check("GetSecurityInfo of a key", status == 0 && descriptor != nullptr, "status " + Number(status));

  win::EXPLICIT_ACCESS_A entry{};
  char trustee[] = "CURRENT_USER";
  security.BuildExplicitAccessWithNameA(&entry, trustee, win::KEY_ALL_ACCESS, win::GRANT_ACCESS,
                                        win::SUB_CONTAINERS_AND_OBJECTS_INHERIT);
  Check("BuildExplicitAccessWithNameA",
        entry.grfAccessPermissions == win::KEY_ALL_ACCESS && entry.grfAccessMode == win::GRANT_ACCESS &&
            entry.Trustee.TrusteeForm == win::TRUSTEE_IS_NAME && entry.Trustee.ptstrName == trustee);
  win::PACL newDacl = nullptr;
  status = security.SetEntriesInAclA(1, &entry, dacl, &newDacl);
  Check("SetEntriesInAclA", status == 0 && newDacl != nullptr, "status " + Number(status));
  status = security.SetSecurityInfo(key, win::SE_REGISTRY_KEY, win::DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, newDacl, nullptr);
  Check("SetSecurityInfo of a key", status == 0, "status " + Number(status));
  if (newDacl) security.LocalFree(newDacl);
  if (descriptor) security.LocalFree(descriptor);
  registry.RegCloseKey(key);
  registry.SHDeleteKeyA(win::HKEY_CURRENT_USER, "Software\\QPR730PlatformCheck");

  char windows[win::MAX_PATH] = {};
  kernel.GetWindowsDirectoryA(windows, sizeof windows);
  descriptor = nullptr;
  status = security.GetNamedSecurityInfoA(windows, win::SE_FILE_OBJECT,
                                          win::DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                          &dacl, nullptr, &descriptor);
  Info("GetNamedSecurityInfoA of the Windows folder", "status " + Number(status));
  if (descriptor) security.LocalFree(descriptor);

  win::SECURITY_DESCRIPTOR absolute{};
  Check("InitializeSecurityDescriptor and SetSecurityDescriptorDacl",
        security.InitializeSecurityDescriptor(&absolute, win::SECURITY_DESCRIPTOR_REVISION) &&
            security.SetSecurityDescriptorDacl(&absolute, win::TRUE, nullptr, win::FALSE));

  win::HANDLE token = 0;
  bool opened = security.OpenProcessToken(kernel.GetCurrentProcess(),
                                          win::TOKEN_ADJUST_PRIVILEGES | win::TOKEN_QUERY, &token) != 0;
  win::TOKEN_PRIVILEGES privileges{};
  bool looked = security.LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Luid) != 0;
  privileges.PrivilegeCount = 1;
  privileges.Attributes = win::SE_PRIVILEGE_ENABLED;
  kernel.SetLastError(12345);
  bool adjusted = security.AdjustTokenPrivileges(token, win::FALSE, &privileges) != 0;
  win::DWORD afterAdjust = kernel.GetLastError();
  Check("OpenProcessToken, LookupPrivilegeValueA, AdjustTokenPrivileges",
        opened && looked && adjusted && (afterAdjust == 0 || afterAdjust == win::ERROR_NOT_ALL_ASSIGNED),
        "last error " + Number(afterAdjust));
  kernel.CloseHandle(token);
}

// ---- spooler and setup ----

void CheckSpooler(win::Kernel& kernel, win::Spooler& spooler) {
  const char* environment = sizeof(void*) == 8 ? "Windows x64" : "Windows NT x86";
  char folder[256] = {};
  win::DWORD needed = 0;
  bool got = spooler.GetPrinterDriverDirectoryA(nullptr, environment, 1, folder, sizeof folder,
                                                &needed) != 0;
  Check("GetPrinterDriverDirectoryA", got && std::strlen(folder) > 0, "error " + Number(kernel.GetLastError()));
  Info("driver directory", folder);
  got = spooler.GetPrintProcessorDirectoryA(nullptr, environment, 1, folder, sizeof folder, &needed) != 0;
  Check("GetPrintProcessorDirectoryA", got && std::strlen(folder) > 0);
  Info("print processor directory", folder);

  std::vector<win::PRINTER_INFO_2> printers;
  Check("EnumPrintersA level 2", spooler.EnumPrintersA(win::PRINTER_ENUM_LOCAL, nullptr, 2, &printers) != 0,
        "error " + Number(kernel.GetLastError()));
  Info("printers", Number(printers.size()));
  std::vector<win::DRIVER_INFO_3> drivers;
  Check("EnumPrinterDriversA level 3", spooler.EnumPrinterDriversA(nullptr, environment, 3, &drivers) != 0,
        "error " + Number(kernel.GetLastError()));
  Info("drivers", Number(drivers.size()));
  std::vector<win::PRINTPROCESSOR_INFO_1> processors;
  bool listed = spooler.EnumPrintProcessorsA(nullptr, environment, 1, &processors) != 0;
  bool hasWinprint = false;
  for (const auto& processor : processors) hasWinprint |= processor.pName == "winprint";
  Check("EnumPrintProcessorsA lists winprint", listed && hasWinprint,
        "listed " + Number(processors.size()));

  win::HANDLE printer = 0;
  bool openedMissing = spooler.OpenPrinterA("No Such Printer 730", &printer, nullptr) != 0;
  Check("OpenPrinterA of a missing printer", !openedMissing && kernel.GetLastError() == win::ERROR_INVALID_PRINTER_NAME,
        "error " + Number(kernel.GetLastError()));
  bool deleted = spooler.DeleteMonitorA(nullptr, nullptr, "No Such Monitor 730") != 0;
  Check("DeleteMonitorA of a missing monitor", !deleted && kernel.GetLastError() == win::ERROR_UNKNOWN_PRINT_MONITOR,
        "error " + Number(kernel.GetLastError()));
}

void CheckSetup(win::Kernel& kernel, win::SetupApi& setup) {
  // A small INF of our own in a folder of its own.
  char windows[win::MAX_PATH] = {};
  kernel.GetWindowsDirectoryA(windows, sizeof windows);
  std::string folder = std::string(windows) + "\\Temp\\platform_check_inf";
  std::string path = folder + "\\qpr730check.inf";
  kernel.CreateDirectoryA(folder.c_str(), nullptr);
  const char inf[] =
      "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
      "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\nProvider=%HVN%\r\n"
      "[Manufacturer]\r\n%HVN%=HALVORN\r\n[HALVORN]\r\n\"HALVORN QPR-730\"=QPR730.GPD\r\n"
      "[Strings]\r\nHVN=\"HALVORN\"\r\n";
  win::HANDLE file = kernel.CreateFileA(path.c_str(), win::GENERIC_WRITE, 0, nullptr,
                                        win::CREATE_ALWAYS, win::FILE_ATTRIBUTE_NORMAL, 0);
  win::DWORD written = 0;
  kernel.WriteFile(file, inf, sizeof inf - 1, &written);
  kernel.CloseHandle(file);

  // Windows answers the size call (no buffer) with the size needed; Wine 8
  // answers 0 there, so the size is reported and the fill uses a buffer
  // that is large enough either way.
  win::DWORD required = 0;
  setup.SetupGetInfFileListA(folder.c_str(), win::INF_STYLE_WIN4, nullptr, 0, &required);
  Info("SetupGetInfFileListA size call", Number(required) + " (the list needs 17)");
  std::string list(4096, '\0');
  bool filled = setup.SetupGetInfFileListA(folder.c_str(), win::INF_STYLE_WIN4, list.data(),
                                           static_cast<win::DWORD>(list.size()), &required) != 0;
  Check("SetupGetInfFileListA fill", filled && required == 17 && std::strcmp(list.c_str(), "qpr730check.inf") == 0,
        "required " + Number(required) + ", first \"" + list.c_str() + "\"");
  required = 0;
  setup.SetupGetInfFileListA(nullptr, win::INF_STYLE_WIN4, list.data(),
                             static_cast<win::DWORD>(list.size()), &required);
  Info("SetupGetInfFileListA of the system INF folder (NULL)", "size " + Number(required));

  win::UINT errorLine = 0;
  win::HINF opened = setup.SetupOpenInfFileA(path.c_str(), nullptr,
                                             win::INF_STYLE_OLDNT | win::INF_STYLE_WIN4, &errorLine);
  Check("SetupOpenInfFileA", opened != win::INVALID_HANDLE_VALUE, "error " + Number(kernel.GetLastError()));
  if (opened != win::INVALID_HANDLE_VALUE) {
    win::INFCONTEXT context{};
    Check("SetupFindFirstLineA of a present line",
          setup.SetupFindFirstLineA(opened, "HALVORN", "HALVORN QPR-730", &context) != 0);
    bool found = setup.SetupFindFirstLineA(opened, "HALVORN", "QPR-999", &context) != 0;
    Check("SetupFindFirstLineA of a missing line",
          !found && kernel.GetLastError() == win::ERROR_LINE_NOT_FOUND, "error " + Number(kernel.GetLastError()));
    setup.SetupCloseInfFile(opened);
  }
  opened = setup.SetupOpenInfFileA("no_such_file_730.inf", nullptr,
                                   win::INF_STYLE_OLDNT | win::INF_STYLE_WIN4, &errorLine);
  Check("SetupOpenInfFileA of a missing file", opened == win::INVALID_HANDLE_VALUE);

  // The INF store: copy in, then take out again through the bound call.
  char destination[260] = {};
  char* filePart = nullptr;
  bool copied = setup.SetupCopyOEMInfA(path.c_str(), nullptr, win::SPOST_PATH, win::SP_COPY_NOOVERWRITE,
                                       destination, sizeof destination, nullptr, &filePart) != 0;
  Check("SetupCopyOEMInfA", copied && filePart != nullptr, "error " + Number(kernel.GetLastError()));
  Info("OEM copy", destination);
  win::FARPROC uninstall =
      kernel.GetProcAddress(kernel.GetModuleHandleA("setupapi"), "SetupUninstallOEMInfA");
  if (copied && filePart != nullptr && uninstall != nullptr) {
    bool removed = setup.CallSetupUninstallOEMInfA(uninstall, filePart, win::SUIOIF_FORCE_DELETE, nullptr) != 0;
    Check("CallSetupUninstallOEMInfA", removed && kernel.GetFileAttributesA(destination) == win::INVALID_FILE_ATTRIBUTES,
          "error " + Number(kernel.GetLastError()));
  }
  kernel.DeleteFileA(path.c_str());
  kernel.RemoveDirectoryA(folder.c_str());

  win::HDEVINFO devices = setup.SetupDiGetClassDevsA(nullptr, "USB", 0, win::DIGCF_ALLCLASSES);
  Check("SetupDiGetClassDevsA USB", devices != win::INVALID_HANDLE_VALUE, "error " + Number(kernel.GetLastError()));
  if (devices != win::INVALID_HANDLE_VALUE) {
    win::SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    int count = 0;
    while (setup.SetupDiEnumDeviceInfo(devices, count, &device)) ++count;
    Check("SetupDiEnumDeviceInfo ends with ERROR_NO_MORE_ITEMS", kernel.GetLastError() == win::ERROR_NO_MORE_ITEMS,
          "error " + Number(kernel.GetLastError()));
    Info("USB devices", Number(count));
    setup.SetupDiDestroyDeviceInfoList(devices);
  }
}

// ---- user interface: the modal loop and EndDialog from a worker ----

constexpr win::UINT kRefresh = win::WM_USER + 1;

class ProgressProcedure : public win::DialogProcedure {
 public:
  ProgressProcedure(win::Kernel& kernel, win::User& user) : kernel(kernel), user(user) {}

  bool HandleMessage(win::HWND dialog, win::UINT message, win::WPARAM, win::LPARAM,
                     win::LRESULT* result) override {
    if (message == win::WM_INITDIALOG) {
      this->dialog = dialog;
      progress = user.GetDlgItem(dialog, 1000);
      user.SetWindowTextA(user.GetDlgItem(dialog, 1001), "Driver Version: V1.2.0");
      user.SendMessageA(progress, win::PBM_SETRANGE, 0, 100 << 16);
      user.SendMessageA(progress, win::PBM_SETSTEP, 9, 0);
      kernel.CreateThread(&ProgressProcedure::Worker, this, nullptr);
      *result = win::TRUE;
      return true;
    }
    if (message == kRefresh) {
      positionSeenByRefresh = static_cast<int>(user.SendMessageA(progress, win::PBM_GETPOS, 0, 0));
      *result = 0;
      return true;
    }
    return false;
  }
  bool PreTranslateMessage(const win::MSG& message) override {
    if (message.message == kRefresh) ++refreshesPreTranslated;
    return false;
  }

  // The worker steps the bar (each send waits for the dialog's thread),
  // posts the refresh and ends the dialog.
  static win::DWORD Worker(void* parameter) {
    auto* self = static_cast<ProgressProcedure*>(parameter);
    for (int i = 0; i < 3; ++i) self->user.SendMessageA(self->progress, win::PBM_STEPIT, 0, 0);
    self->user.PostMessageA(self->dialog, kRefresh, 0, 0);
    self->kernel.Sleep(300);
    self->user.EndDialog(self->dialog, 4321);
    return 0;
  }

  win::Kernel& kernel;
  win::User& user;
  win::HWND dialog = 0;
  win::HWND progress = 0;
  int positionSeenByRefresh = -1;
  int refreshesPreTranslated = 0;
};

// The port dialog, pressed with Escape: the standard dialog keys turn it
// into IDCANCEL unless the procedure swallows it first.
class EscapeProcedure : public win::DialogProcedure {
 public:
  EscapeProcedure(win::User& user, bool swallowEscape) : user(user), swallowEscape(swallowEscape) {}

  bool HandleMessage(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM,
                     win::LRESULT* result) override {
    if (message == win::WM_INITDIALOG) {
      win::HWND first = user.GetDlgItem(dialog, 1006);
      user.PostMessageA(first, win::WM_KEYDOWN, win::VK_ESCAPE, 0);
      user.SetTimer(dialog, 1, 1500);  // ends the run when Escape was swallowed
      *result = win::TRUE;
      return true;
    }
    if (message == win::WM_COMMAND && (wParam & 0xFFFF) == static_cast<win::WPARAM>(win::IDCANCEL)) {
      user.EndDialog(dialog, win::IDCANCEL);
      return true;
    }
    if (message == win::WM_TIMER) {
      user.KillTimer(dialog, 1);
      user.EndDialog(dialog, 77);
      return true;
    }
    return false;
  }
  bool PreTranslateMessage(const win::MSG& message) override {
    return swallowEscape && message.wParam == win::VK_ESCAPE;
  }

  win::User& user;
  bool swallowEscape;
};

void CheckDialogs(win::Kernel& kernel, win::User& user) {
  ProgressProcedure progress(kernel, user);
  win::INT_PTR result = user.RunModalDialog(102, 0, progress);
  Check("RunModalDialog 102 ended by the worker", result == 4321, "result " + Number(result));
  Check("PBM_STEPIT x3 from the worker", progress.positionSeenByRefresh == 27,
        "position " + Number(progress.positionSeenByRefresh));
  Check("PreTranslateMessage sees the posted refresh", progress.refreshesPreTranslated == 1,
        "seen " + Number(progress.refreshesPreTranslated));
  Check("dialog destroyed after the run", user.FindWindowA(nullptr, "Installation Progress") == 0);

  EscapeProcedure cancelled(user, false);
  result = user.RunModalDialog(129, 0, cancelled);
  Check("Escape cancels the port dialog", result == win::IDCANCEL, "result " + Number(result));
  EscapeProcedure swallowed(user, true);
  result = user.RunModalDialog(129, 0, swallowed);
  Check("Escape swallowed by PreTranslateMessage", result == 77, "result " + Number(result));

  win::HWND hidden = user.CreateDialogParamA(129, 0, cancelled);
  Check("CreateDialogParamA stays hidden", hidden != 0 && user.FindWindowA(nullptr, "Port Type") == hidden);
  if (hidden != 0) user.DestroyWindow(hidden);
  Check("LoadIconA 128", user.LoadIconA(128) != 0);
  Check("LoadCursorA IDC_WAIT", user.LoadCursorA(win::IDC_WAIT) != 0);
}

}  // namespace

__attribute__((section("DataSeg"), shared)) win::InstanceSection checkSection = {
    0, {"Port Type", "Installation Progress", "platform_check"}};

int main(int argc, char** argv) {
  int expectedWow64 = argc > 1 ? std::atoi(argv[1]) : -1;
  win32::Win32Platform platform(checkSection);
  checkSection.instanceCount = checkSection.instanceCount + 1;
  Info("instanceCount", Number(checkSection.instanceCount));
  CheckVersionAndWow64(platform.kernel, expectedWow64);
  CheckStringsAndMessages(platform.kernel);
  CheckFiles(platform.kernel);
  CheckRegistry(platform.kernel, platform.registry);
  CheckSecurity(platform.kernel, platform.registry, platform.security);
  CheckSpooler(platform.kernel, platform.spooler);
  CheckSetup(platform.kernel, platform.setup);
  CheckDialogs(platform.kernel, platform.user);
  std::printf("DONE %d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
