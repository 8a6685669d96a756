// Registry services (advapi32) and the shell's recursive key deletion.
//
// As on Windows, the calls return their status; they do not change the
// thread's last error.
#pragma once

#include "platform/win_constants.h"
#include "platform/win_types.h"

namespace win {

class Registry {
 public:
  virtual ~Registry() = default;

  virtual LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM desired,
                                HKEY* result) = 0;
  virtual LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved,
                                  const char* keyClass, DWORD options, REGSAM desired,
                                  const SECURITY_ATTRIBUTES* attributes, HKEY* result,
                                  DWORD* disposition) = 0;
  virtual LSTATUS RegCloseKey(HKEY key) = 0;
  virtual LSTATUS RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                                 const BYTE* data, DWORD size) = 0;
  virtual LSTATUS RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved,
                                   DWORD* type, BYTE* data, DWORD* size) = 0;
  virtual LSTATUS RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize) = 0;
  virtual LSTATUS RegDeleteKeyA(HKEY key, const char* subKey) = 0;
  virtual LSTATUS RegDeleteValueA(HKEY key, const char* valueName) = 0;
  virtual LSTATUS RegConnectRegistryA(const char* machineName, HKEY key, HKEY* result) = 0;
  // RegDeleteKeyExA, bound at run time from "Advapi32".
  virtual LSTATUS CallRegDeleteKeyExA(FARPROC regDeleteKeyExA, HKEY key, const char* subKey,
                                      REGSAM desired, DWORD reserved) = 0;
  // SHDeleteKeyA (shlwapi): the key with all its values and sub-keys.
  virtual LSTATUS SHDeleteKeyA(HKEY key, const char* subKey) = 0;
};

}  // namespace win
