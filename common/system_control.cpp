#include "common/system_control.h"

void StopSpooler(win::Kernel& kernel, win::DWORD waitMs) {
  // Started, not waited for: the fixed pause is the only synchronisation.
  kernel.WinExec("net stop spooler", win::SW_HIDE);
  kernel.Sleep(waitMs);
}

void StartSpooler(win::Kernel& kernel, win::DWORD waitMs) {
  kernel.WinExec("net start spooler", win::SW_HIDE);
  kernel.Sleep(waitMs);
}

bool RebootSystem(win::Platform& platform) {
  win::HANDLE token = 0;
  if (!platform.security.OpenProcessToken(platform.kernel.GetCurrentProcess(),
                                          win::TOKEN_ADJUST_PRIVILEGES | win::TOKEN_QUERY,
                                          &token)) {
    return false;
  }
  win::TOKEN_PRIVILEGES privileges{};
  platform.security.LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Luid);
  privileges.PrivilegeCount = 1;
  privileges.Attributes = win::SE_PRIVILEGE_ENABLED;
  platform.security.AdjustTokenPrivileges(token, win::FALSE, &privileges);
  // Also catches a successful call that could not enable a privilege the
  // token does not hold (ERROR_NOT_ALL_ASSIGNED).
  bool enabled = platform.kernel.GetLastError() == win::ERROR_SUCCESS;
  platform.kernel.CloseHandle(token);
  if (!enabled) return false;
  return platform.security.ExitWindowsEx(win::EWX_REBOOT | win::EWX_FORCE, 0) != win::FALSE;
}
