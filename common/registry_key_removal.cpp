#include "common/registry_key_removal.h"

win::LSTATUS MyRegDeleteKeyEx(win::Platform& platform, win::HKEY rootKey, const char* subKey,
                              win::REGSAM samDesired, win::DWORD reserved) {
  win::Kernel& kernel = platform.kernel;
  win::FARPROC regDeleteKeyEx =
      kernel.GetProcAddress(kernel.GetModuleHandleA("Advapi32"), "RegDeleteKeyExA");
  if (regDeleteKeyEx == nullptr) return -1;
  return platform.registry.CallRegDeleteKeyExA(regDeleteKeyEx, rootKey, subKey, samDesired,
                                               reserved);
}

bool DeleteHklmKey(win::Platform& platform, SetupLog& log, const char* subKey, int wow64,
                   KeyLogVariant variant) {
  const bool plain = variant == KeyLogVariant::Plain;
  win::LSTATUS status;
  if (wow64) {
    status = MyRegDeleteKeyEx(platform, win::HKEY_LOCAL_MACHINE, subKey, win::KEY_WOW64_64KEY, 0);
    if (status != 0) {
      int error = static_cast<int>(platform.kernel.GetLastError());
      if (plain) {
        log.WriteLog("MyRegDeleteKeyEx failed : %s (%d) ", subKey, error);
      } else {
        log.WriteLog("MyRegDeleteKeyEx failed : %s, (%d) ", subKey, error);
      }
    }
  } else {
    status = platform.registry.SHDeleteKeyA(win::HKEY_LOCAL_MACHINE, subKey);
    if (status != 0) {
      int error = static_cast<int>(platform.kernel.GetLastError());
      if (plain) {
        log.WriteLog("SHDeleteKey failed : %s (%d) ", subKey, error);
      } else {
        log.WriteLog("SHDeleteKey failed : %s , (%d) ", subKey, error);
      }
    }
  }
  return status == 0;
}

void DeleteExistingHklmKey(win::Platform& platform, SetupLog& log, const char* subKey, int wow64,
                           KeyLogVariant variant) {
  // KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, in the 64-bit view on WOW64.
  const win::REGSAM access = wow64 ? 0x2011F : 0x2001F;
  win::HKEY key = 0;
  if (platform.registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, subKey, 0, access, &key) != 0) {
    return;
  }
  DeleteHklmKey(platform, log, subKey, wow64, variant);
  platform.registry.RegCloseKey(key);
}
