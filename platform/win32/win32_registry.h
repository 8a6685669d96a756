// The registry services over advapi32 and shlwapi.
#pragma once

#include "platform/registry.h"

namespace win32 {

class Win32Registry : public win::Registry {
 public:
  win::LSTATUS RegOpenKeyExA(win::HKEY key, const char* subKey, win::DWORD options,
                             win::REGSAM desired, win::HKEY* result) override;
  win::LSTATUS RegCreateKeyExA(win::HKEY key, const char* subKey, win::DWORD reserved,
                               const char* keyClass, win::DWORD options, win::REGSAM desired,
                               const win::SECURITY_ATTRIBUTES* attributes, win::HKEY* result,
                               win::DWORD* disposition) override;
  win::LSTATUS RegCloseKey(win::HKEY key) override;
  win::LSTATUS RegSetValueExA(win::HKEY key, const char* valueName, win::DWORD reserved,
                              win::DWORD type, const win::BYTE* data, win::DWORD size) override;
  win::LSTATUS RegQueryValueExA(win::HKEY key, const char* valueName, win::DWORD* reserved,
                                win::DWORD* type, win::BYTE* data, win::DWORD* size) override;
  win::LSTATUS RegEnumKeyExA(win::HKEY key, win::DWORD index, char* name,
                             win::DWORD* nameSize) override;
  win::LSTATUS RegDeleteKeyA(win::HKEY key, const char* subKey) override;
  win::LSTATUS RegDeleteValueA(win::HKEY key, const char* valueName) override;
  win::LSTATUS RegConnectRegistryA(const char* machineName, win::HKEY key,
                                   win::HKEY* result) override;
  win::LSTATUS CallRegDeleteKeyExA(win::FARPROC regDeleteKeyExA, win::HKEY key,
                                   const char* subKey, win::REGSAM desired,
                                   win::DWORD reserved) override;
  win::LSTATUS SHDeleteKeyA(win::HKEY key, const char* subKey) override;
};

}  // namespace win32
