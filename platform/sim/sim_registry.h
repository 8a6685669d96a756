// The registry calls of one simulated process, over the machine's
// RegistryStore: handles in the process's handle table, access checks with
// the machine's token, the WOW64 view of a 32-bit process, remote machines.
//
// As on Windows, the calls return their status and leave the thread's last
// error alone.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/handles.h"
#include "platform/sim/registry_store.h"

namespace sim {

class SimProcess;

// What a key handle refers to: the key, the registry it belongs to (the
// local machine's or a remote one) and the rights it was opened with.
class KeyHandle : public HandleObject {
 public:
  std::shared_ptr<RegistryKey> key;
  RegistryHives* hives = nullptr;
  bool remote = false;
  win::ACCESS_MASK granted = 0;
};

// The key that `key` (a handle of the process or a predefined key) refers
// to; null when it is neither. A predefined key is open with every right its
// DACL grants the token; HKEY_CLASSES_ROOT is HKLM\SOFTWARE\Classes in the
// process's own view.
std::shared_ptr<KeyHandle> FindKeyHandle(SimProcess& process, win::HKEY key);

class SimRegistry : public win::Registry {
 public:
  explicit SimRegistry(SimProcess& process) : process_(process) {}

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

 private:
  // Where a key handle and a sub-key path lead: the handle, the root of its
  // hive and the physical path below that root (WOW64 view applied).
  struct Location {
    std::shared_ptr<KeyHandle> base;
    std::shared_ptr<RegistryKey> hiveRoot;
    std::vector<std::string> path;
  };
  // Whether a call works in the 32-bit view: the view flags of `desired`, or
  // the process's own view. ERROR_INVALID_PARAMETER when both flags are set.
  win::LSTATUS ViewOf(win::REGSAM desired, bool* view32) const;
  bool DefaultView32() const;
  win::LSTATUS Locate(win::HKEY key, const char* subKey, bool view32, Location* location) const;
  // The rights `desired` asks for, when the key's DACL grants them.
  win::LSTATUS Grant(const RegistryKey& key, win::REGSAM desired, win::ACCESS_MASK* granted) const;
  win::HKEY AddHandle(std::shared_ptr<RegistryKey> key, const KeyHandle& like,
                      win::ACCESS_MASK granted);
  // Looks up an open key handle for a value or enumeration call that needs `right`.
  win::LSTATUS KeyForCall(win::HKEY key, win::ACCESS_MASK right,
                          std::shared_ptr<KeyHandle>* handle) const;
  win::LSTATUS DeleteOneKey(win::HKEY key, const char* subKey, bool view32);
  win::LSTATUS DeleteIfAllowed(RegistryKey& key);
  win::LSTATUS DeleteTree(const std::shared_ptr<RegistryKey>& key);

  SimProcess& process_;
};

}  // namespace sim
