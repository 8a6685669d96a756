#include "common/platform_probe.h"

#include <cstring>

int ProbeWow64(win::Kernel& kernel, SetupLog& log) {
  // IsWow64Process does not exist on older releases: look it up by name.
  win::FARPROC isWow64Process =
      kernel.GetProcAddress(kernel.GetModuleHandleA("kernel32"), "IsWow64Process");
  win::BOOL wow64 = win::FALSE;
  if (isWow64Process != nullptr) {
    kernel.CallIsWow64Process(isWow64Process, kernel.GetCurrentProcess(), &wow64);
  }
  log.WriteLog(wow64 ? "The process is running under WOW64."
                     : "The process is not running under WOW64.");
  return wow64 ? 1 : 0;
}

int OsLevelOf(win::DWORD platformId, win::DWORD major, win::DWORD minor, win::BYTE productType) {
  if (platformId == win::VER_PLATFORM_WIN32_WINDOWS && major == 4) {
    if (minor == 0) return kWindows95;
    if (minor == 10) return kWindows98;
    if (minor == 90) return kWindowsMe;
  }
  if (platformId == win::VER_PLATFORM_WIN32_NT) {
    const bool workstation = productType == win::VER_NT_WORKSTATION;
    if (major == 6 && minor == 0) return workstation ? kWindowsVista : kWindowsServer2008;
    if (major == 6 && minor == 1) return workstation ? kWindows7 : kWindowsServer2008R2;
    if (major == 5 && minor == 2) return kWindowsXp64OrServer2003;
    if (major == 5 && minor == 1) return kWindowsXp;
    if (major == 5 && minor == 0) return kWindows2000;
    if (major <= 4) return kWindowsNt4;
  }
  return kWindows7;
}

int CheckOS(win::Kernel& kernel, SetupLog& log) {
  log.WriteLog("\r\n");
  log.WriteLog("CheckOS BEGIN");
  win::OSVERSIONINFOEXA info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (!kernel.GetVersionExA(&info)) {
    // Windows 95, 98 and Me (and NT 4.0 before SP6) know only the plain
    // version record; ask again with it rather than take them for the
    // newest release.
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = 148;  // OSVERSIONINFOA
    if (!kernel.GetVersionExA(&info)) std::memset(&info, 0, sizeof info);
  }
  log.WriteLog("osvi.dwPlatformID   : %d", static_cast<int>(info.dwPlatformId));
  log.WriteLog("osvi.dwMajorVersion : %d", static_cast<int>(info.dwMajorVersion));
  log.WriteLog("osvi.dwMinorVersion : %d", static_cast<int>(info.dwMinorVersion));
  log.WriteLog("osvi.dwBuildNumber  : %d", static_cast<int>(info.dwBuildNumber));
  int level = OsLevelOf(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                        info.wProductType);
  log.WriteLog("CheckOS END");
  return level;
}
