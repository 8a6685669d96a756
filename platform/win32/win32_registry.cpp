#include "platform/win32/win32_registry.h"

#include <windows.h>
#include <shlwapi.h>

#include "platform/win32/win32_casts.h"

namespace win32 {

namespace {

LPDWORD RealDwords(win::DWORD* value) { return reinterpret_cast<LPDWORD>(value); }

// A key handed back by a call: 0 when the call failed.
win::LSTATUS StoreKey(LONG status, HKEY opened, win::HKEY* result) {
  if (result != nullptr) *result = status == ERROR_SUCCESS ? FromReal(opened) : 0;
  return status;
}

}  // namespace

win::LSTATUS Win32Registry::RegOpenKeyExA(win::HKEY key, const char* subKey, win::DWORD options,
                                          win::REGSAM desired, win::HKEY* result) {
  HKEY opened = nullptr;
  LONG status = ::RegOpenKeyExA(ToRealKey(key), subKey, options, desired, &opened);
  return StoreKey(status, opened, result);
}

win::LSTATUS Win32Registry::RegCreateKeyExA(win::HKEY key, const char* subKey,
                                            win::DWORD reserved, const char* keyClass,
                                            win::DWORD options, win::REGSAM desired,
                                            const win::SECURITY_ATTRIBUTES* attributes,
                                            win::HKEY* result, win::DWORD* disposition) {
  SECURITY_ATTRIBUTES real{};
  if (attributes != nullptr) {
    real.nLength = sizeof real;
    real.lpSecurityDescriptor = attributes->lpSecurityDescriptor;
    real.bInheritHandle = attributes->bInheritHandle;
  }
  HKEY created = nullptr;
  LONG status = ::RegCreateKeyExA(ToRealKey(key), subKey, reserved, const_cast<char*>(keyClass),
                                  options, desired, attributes != nullptr ? &real : nullptr,
                                  &created, RealDwords(disposition));
  return StoreKey(status, created, result);
}

win::LSTATUS Win32Registry::RegCloseKey(win::HKEY key) { return ::RegCloseKey(ToRealKey(key)); }

win::LSTATUS Win32Registry::RegSetValueExA(win::HKEY key, const char* valueName,
                                           win::DWORD reserved, win::DWORD type,
                                           const win::BYTE* data, win::DWORD size) {
  return ::RegSetValueExA(ToRealKey(key), valueName, reserved, type, data, size);
}

win::LSTATUS Win32Registry::RegQueryValueExA(win::HKEY key, const char* valueName,
                                             win::DWORD* reserved, win::DWORD* type,
                                             win::BYTE* data, win::DWORD* size) {
  return ::RegQueryValueExA(ToRealKey(key), valueName, RealDwords(reserved), RealDwords(type),
                            data, RealDwords(size));
}

win::LSTATUS Win32Registry::RegEnumKeyExA(win::HKEY key, win::DWORD index, char* name,
                                          win::DWORD* nameSize) {
  return ::RegEnumKeyExA(ToRealKey(key), index, name, RealDwords(nameSize), nullptr, nullptr,
                         nullptr, nullptr);
}

win::LSTATUS Win32Registry::RegDeleteKeyA(win::HKEY key, const char* subKey) {
  return ::RegDeleteKeyA(ToRealKey(key), subKey);
}

win::LSTATUS Win32Registry::RegDeleteValueA(win::HKEY key, const char* valueName) {
  return ::RegDeleteValueA(ToRealKey(key), valueName);
}

win::LSTATUS Win32Registry::RegConnectRegistryA(const char* machineName, win::HKEY key,
                                                win::HKEY* result) {
  HKEY connected = nullptr;
  LONG status = ::RegConnectRegistryA(machineName, ToRealKey(key), &connected);
  return StoreKey(status, connected, result);
}

win::LSTATUS Win32Registry::CallRegDeleteKeyExA(win::FARPROC regDeleteKeyExA, win::HKEY key,
                                                const char* subKey, win::REGSAM desired,
                                                win::DWORD reserved) {
  using RegDeleteKeyExCall = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
  return reinterpret_cast<RegDeleteKeyExCall>(regDeleteKeyExA)(ToRealKey(key), subKey, desired,
                                                                reserved);
}

win::LSTATUS Win32Registry::SHDeleteKeyA(win::HKEY key, const char* subKey) {
  return static_cast<win::LSTATUS>(::SHDeleteKeyA(ToRealKey(key), subKey));
}

}  // namespace win32
