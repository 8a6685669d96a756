// The registry of the simulated machine: its hives, keys, typed values and
// key security, the 32-bit view of 64-bit Windows, and the registries of the
// remote machines that RegConnectRegistryA reaches.
//
// Key names are case-insensitive and case-preserving; sub-keys are kept in
// the order Windows enumerates them (case-insensitive). Values are bytes of
// a type, as RegSetValueExA stores them.
//
// The path helpers below (Find, Create, Delete, SetString ...) work on
// physical paths without access checks or WOW64 redirection: they are for
// machine set-up, the other parts of the machine (spooler, device setup) and
// tests. SimRegistry turns the store into the registry calls of a process.
//
// Paths start with a hive: "HKLM\..." or "HKEY_LOCAL_MACHINE\...",
// "HKU\..." or "HKEY_USERS\...", "HKCR\..." (HKLM\SOFTWARE\Classes) and
// "HKCU\..." (HKU\<the token's user SID>).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/access_control.h"
#include "platform/win_constants.h"

namespace sim {

class SimMachine;

struct CaseInsensitiveLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
bool EqualsIgnoreCase(const std::string& a, const std::string& b);

struct RegistryValue {
  std::string name;  // "" is the key's default value
  win::DWORD type = win::REG_NONE;
  std::vector<win::BYTE> data;
};

class RegistryKey {
 public:
  std::string name;               // as created; a hive root has its hive's name
  RegistryKey* parent = nullptr;  // null for a hive root
  std::map<std::string, std::shared_ptr<RegistryKey>, CaseInsensitiveLess> subKeys;
  std::vector<RegistryValue> values;  // in the order first set
  SecurityDescriptor security;
  bool deleted = false;  // deleted while a handle still referred to it

  std::shared_ptr<RegistryKey> SubKey(const std::string& name) const;
  const RegistryValue* FindValue(const std::string& name) const;
  void SetValue(const std::string& name, win::DWORD type, std::vector<win::BYTE> data);
  bool DeleteValue(const std::string& name);
  // The full path, e.g. "HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft".
  std::string Path() const;
  // The names from the hive root down to this key (empty for a root).
  std::vector<std::string> PathFromRoot() const;
};

// The hive roots of one machine's registry.
struct RegistryHives {
  std::shared_ptr<RegistryKey> localMachine;  // HKEY_LOCAL_MACHINE
  std::shared_ptr<RegistryKey> users;         // HKEY_USERS
};

class RegistryStore {
 public:
  explicit RegistryStore(SimMachine& machine);
  ~RegistryStore();

  // Builds the standard keys of a fresh machine of machine.os.
  void CreateStandardContent();
  // Reads the "registry" section of a machine description (see
  // docs/simulated-machine.md) over the present content: keys are created or
  // updated, nothing is removed. Dump writes the whole registry in that form.
  void Load(const nlohmann::json& section);
  nlohmann::json Dump() const;

  // ---- Keys by physical path: no access checks, no redirection ----
  std::shared_ptr<RegistryKey> Find(const std::string& path) const;
  // Creates the missing keys of the path as the system does for itself: each
  // new key has its parent's owner and inherits its parent's entries.
  std::shared_ptr<RegistryKey> Create(const std::string& path);
  // Deletes the key with its whole sub-tree; false when it does not exist.
  bool Delete(const std::string& path);

  void SetString(const std::string& keyPath, const std::string& valueName,
                 const std::string& text, win::DWORD type = win::REG_SZ);
  void SetDword(const std::string& keyPath, const std::string& valueName, win::DWORD value);
  void SetMultiString(const std::string& keyPath, const std::string& valueName,
                      const std::vector<std::string>& strings);
  // A string value without its terminating NUL; empty when missing or not a string.
  std::optional<std::string> GetString(const std::string& keyPath,
                                       const std::string& valueName) const;
  std::optional<win::DWORD> GetDword(const std::string& keyPath,
                                     const std::string& valueName) const;
  std::vector<std::string> SubKeyNames(const std::string& keyPath) const;

  // ---- For the registry and security calls ----
  RegistryHives& Local() { return local_; }
  // The registry of a remote machine named in machine.remoteMachines ("NAME"
  // or "\\NAME", any case), built with the standard content at first use;
  // null when no such machine is reachable.
  RegistryHives* Remote(const std::string& machineName);

  // Whether HKLM\SOFTWARE has a 32-bit view (64-bit Windows).
  bool HasWow64Views() const;
  // The physical path that a path under HKLM names in the 32-bit view:
  // SOFTWARE\X becomes SOFTWARE\Wow6432Node\X unless X is a shared key.
  std::vector<std::string> To32BitView(std::vector<std::string> pathUnderHklm) const;

  // A new sub-key with the given security.
  static std::shared_ptr<RegistryKey> AddSubKey(RegistryKey& parent, const std::string& name,
                                         SecurityDescriptor security);
  // Removes one key and its sub-tree; open handles see it as deleted.
  static void DeleteKey(RegistryKey& key);
  // The security the system gives a key it creates under `parent` for itself.
  static SecurityDescriptor SystemChildSecurity(const RegistryKey& parent);
  // Sets a key's DACL as SetSecurityInfo does: its explicit entries are kept
  // (inherited ones in `dacl` are dropped), the parent's inheritable entries
  // follow them unless `protect`, and the whole sub-tree receives the new
  // inheritance. No DACL (nullopt) is a null DACL.
  static void SetDacl(RegistryKey& key, const std::optional<Acl>& dacl,
                      std::optional<bool> protect);

  // The security of an ordinary key: owner Administrators; Administrators and
  // SYSTEM all rights, Users read; all passed on to sub-keys.
  static SecurityDescriptor OrdinaryRootSecurity();
  // The security of the Plug-and-Play enumeration key (SYSTEM\CurrentControlSet\Enum).
  static SecurityDescriptor EnumKeySecurity();

 private:
  std::shared_ptr<RegistryKey> Walk(const RegistryHives& hives, const std::string& path,
                                    bool create) const;
  void BuildStandardContent(RegistryHives& hives) const;

  SimMachine& machine_;
  RegistryHives local_;
  std::map<std::string, RegistryHives> remote_;  // by upper-case machine name
};

// Splits "A\B\C" at backslashes; empty segments are left out.
std::vector<std::string> SplitKeyPath(const std::string& path);

}  // namespace sim
