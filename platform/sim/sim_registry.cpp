#include "platform/sim/sim_registry.h"

#include <cstring>

#include "platform/sim/sim_machine.h"

namespace sim {

namespace {

// Error codes of the registry calls that win_constants.h does not need.
constexpr win::LSTATUS kErrorBadPathname = 161;  // ERROR_BAD_PATHNAME
constexpr win::LSTATUS kErrorNoAccess = 998;     // ERROR_NOACCESS

constexpr win::REGSAM kViewFlags = win::KEY_WOW64_64KEY | win::KEY_WOW64_32KEY;

win::LSTATUS Status(win::DWORD code) { return static_cast<win::LSTATUS>(code); }

std::shared_ptr<KeyHandle> RootHandle(std::shared_ptr<RegistryKey> key, RegistryHives* hives,
                                      bool remote, const Token& token) {
  auto handle = std::make_shared<KeyHandle>();
  handle->granted = MaximumAllowed(token, key->security, kKeyMapping);
  handle->key = std::move(key);
  handle->hives = hives;
  handle->remote = remote;
  return handle;
}

std::shared_ptr<RegistryKey> WalkDown(std::shared_ptr<RegistryKey> key,
                                      const std::vector<std::string>& path) {
  for (const std::string& name : path) {
    if (!key) return nullptr;
    key = key->SubKey(name);
  }
  return key;
}

}  // namespace

std::shared_ptr<KeyHandle> FindKeyHandle(SimProcess& process, win::HKEY key) {
  RegistryStore& store = *process.machine.registry;
  const Token& token = process.machine.token;
  RegistryHives& local = store.Local();
  switch (key) {
    case win::HKEY_LOCAL_MACHINE:
      return RootHandle(local.localMachine, &local, false, token);
    case win::HKEY_USERS:
      return RootHandle(local.users, &local, false, token);
    case win::HKEY_CURRENT_USER: {
      std::shared_ptr<RegistryKey> user = local.users->SubKey(token.user);
      if (!user) {
        user = RegistryStore::AddSubKey(*local.users, token.user,
                                        RegistryStore::SystemChildSecurity(*local.users));
      }
      return RootHandle(user, &local, false, token);
    }
    case win::HKEY_CLASSES_ROOT: {
      std::vector<std::string> path = {"SOFTWARE", "Classes"};
      if (process.wow64) path = store.To32BitView(path);
      std::shared_ptr<RegistryKey> classes = WalkDown(local.localMachine, path);
      return classes ? RootHandle(classes, &local, false, token) : nullptr;
    }
    default:
      return process.handles.Get<KeyHandle>(key);
  }
}

// ---- Helpers ----

bool SimRegistry::DefaultView32() const {
  return process_.wow64 && process_.machine.registry->HasWow64Views();
}

win::LSTATUS SimRegistry::ViewOf(win::REGSAM desired, bool* view32) const {
  // Windows 7 refuses both flags; earlier releases leave the result
  // undefined (Assumption: they refuse them too).
  if ((desired & kViewFlags) == kViewFlags) return Status(win::ERROR_INVALID_PARAMETER);
  *view32 = DefaultView32();
  if (!process_.machine.registry->HasWow64Views()) {
    *view32 = false;  // 32-bit Windows has one registry; the flags are ignored
  } else if (desired & win::KEY_WOW64_64KEY) {
    *view32 = false;
  } else if (desired & win::KEY_WOW64_32KEY) {
    *view32 = true;
  }
  return Status(win::ERROR_SUCCESS);
}

// The view applies to the whole path from the hive root, whatever view the
// handle was opened in: WOW64 does not remember the view of a handle, so a
// sub-key opened without a flag is looked up in the process's own view.
win::LSTATUS SimRegistry::Locate(win::HKEY key, const char* subKey, bool view32,
                                 Location* location) const {
  location->base = FindKeyHandle(process_, key);
  if (!location->base) return Status(win::ERROR_INVALID_HANDLE);
  if (location->base->key->deleted) return Status(win::ERROR_KEY_DELETED);
  // Assumption: a sub-key path that starts with a backslash is refused.
  if (subKey && subKey[0] == '\\') return kErrorBadPathname;

  const RegistryKey* top = location->base->key.get();
  while (top->parent) top = top->parent;
  RegistryHives& hives = *location->base->hives;
  const std::shared_ptr<RegistryKey>& root =
      top == hives.localMachine.get() ? hives.localMachine : hives.users;
  location->hiveRoot = root;
  location->path = location->base->key->PathFromRoot();

  std::vector<std::string> names = SplitKeyPath(subKey ? subKey : "");
  if (names.empty()) return Status(win::ERROR_SUCCESS);  // the handle's own key
  location->path.insert(location->path.end(), names.begin(), names.end());
  if (view32 && !location->base->remote && root == hives.localMachine) {
    location->path = process_.machine.registry->To32BitView(location->path);
  }
  return Status(win::ERROR_SUCCESS);
}

win::LSTATUS SimRegistry::Grant(const RegistryKey& key, win::REGSAM desired,
                                win::ACCESS_MASK* granted) const {
  const Token& token = process_.machine.token;
  const win::ACCESS_MASK asked = MapGeneric(desired & ~kViewFlags, kKeyMapping);
  if (!AccessCheck(token, key.security, asked, kKeyMapping)) {
    return Status(win::ERROR_ACCESS_DENIED);
  }
  *granted = asked & ~win::MAXIMUM_ALLOWED;
  if (asked & win::MAXIMUM_ALLOWED) *granted |= MaximumAllowed(token, key.security, kKeyMapping);
  return Status(win::ERROR_SUCCESS);
}

win::HKEY SimRegistry::AddHandle(std::shared_ptr<RegistryKey> key, const KeyHandle& like,
                                 win::ACCESS_MASK granted) {
  auto handle = std::make_shared<KeyHandle>();
  handle->key = std::move(key);
  handle->hives = like.hives;
  handle->remote = like.remote;
  handle->granted = granted;
  return process_.handles.Add(handle);
}

win::LSTATUS SimRegistry::KeyForCall(win::HKEY key, win::ACCESS_MASK right,
                                     std::shared_ptr<KeyHandle>* handle) const {
  *handle = FindKeyHandle(process_, key);
  if (!*handle) return Status(win::ERROR_INVALID_HANDLE);
  if ((*handle)->key->deleted) return Status(win::ERROR_KEY_DELETED);
  if (((*handle)->granted & right) != right) return Status(win::ERROR_ACCESS_DENIED);
  return Status(win::ERROR_SUCCESS);
}

// ---- Opening, creating, closing ----

win::LSTATUS SimRegistry::RegOpenKeyExA(win::HKEY key, const char* subKey, win::DWORD options,
                                        win::REGSAM desired, win::HKEY* result) {
  if (!result) return Status(win::ERROR_INVALID_PARAMETER);
  bool view32 = false;
  if (win::LSTATUS status = ViewOf(desired, &view32)) return status;
  Location location;
  if (win::LSTATUS status = Locate(key, subKey, view32, &location)) return status;
  std::shared_ptr<RegistryKey> target = WalkDown(location.hiveRoot, location.path);
  if (!target) return Status(win::ERROR_FILE_NOT_FOUND);
  win::ACCESS_MASK granted = 0;
  if (win::LSTATUS status = Grant(*target, desired, &granted)) return status;
  *result = AddHandle(target, *location.base, granted);
  return Status(win::ERROR_SUCCESS);
}

// Missing keys on the way are created one after the other, each needing
// KEY_CREATE_SUB_KEY on its parent (keys created before a refusal stay). A
// new key belongs to the token's default owner and gets the requested DACL,
// if any, followed by what its parent passes on; its creator receives the
// rights it asked for.
win::LSTATUS SimRegistry::RegCreateKeyExA(win::HKEY key, const char* subKey, win::DWORD reserved,
                                          const char* keyClass, win::DWORD options,
                                          win::REGSAM desired,
                                          const win::SECURITY_ATTRIBUTES* attributes,
                                          win::HKEY* result, win::DWORD* disposition) {
  if (!result || !subKey) return Status(win::ERROR_INVALID_PARAMETER);
  bool view32 = false;
  if (win::LSTATUS status = ViewOf(desired, &view32)) return status;
  Location location;
  if (win::LSTATUS status = Locate(key, subKey, view32, &location)) return status;

  std::shared_ptr<RegistryKey> current = location.hiveRoot;
  std::size_t depth = 0;
  while (depth < location.path.size()) {
    std::shared_ptr<RegistryKey> next = current->SubKey(location.path[depth]);
    if (!next) break;
    current = next;
    ++depth;
  }

  win::ACCESS_MASK granted = 0;
  if (depth == location.path.size()) {
    if (win::LSTATUS status = Grant(*current, desired, &granted)) return status;
    if (disposition) *disposition = win::REG_OPENED_EXISTING_KEY;
  } else {
    const Token& token = process_.machine.token;
    for (; depth < location.path.size(); ++depth) {
      if (!AccessCheck(token, current->security, win::KEY_CREATE_SUB_KEY, kKeyMapping)) {
        return Status(win::ERROR_ACCESS_DENIED);
      }
      const bool last = depth + 1 == location.path.size();
      RequestedSecurity requested = last ? SecurityFromAttributes(attributes) : RequestedSecurity{};
      SecurityDescriptor security = SecurityForNewChild(current->security, DefaultOwner(token),
                                                        true, requested, kKeyMapping);
      current = RegistryStore::AddSubKey(*current, location.path[depth], std::move(security));
    }
    const win::ACCESS_MASK asked = MapGeneric(desired & ~kViewFlags, kKeyMapping);
    granted = asked & ~win::MAXIMUM_ALLOWED;
    if (asked & win::MAXIMUM_ALLOWED) granted |= MaximumAllowed(token, current->security, kKeyMapping);
    if (disposition) *disposition = win::REG_CREATED_NEW_KEY;
  }
  *result = AddHandle(current, *location.base, granted);
  return Status(win::ERROR_SUCCESS);
}

win::LSTATUS SimRegistry::RegCloseKey(win::HKEY key) {
  // Closing a predefined key is allowed and does nothing.
  if (key >= win::HKEY_CLASSES_ROOT && key <= win::HKEY_USERS) return Status(win::ERROR_SUCCESS);
  if (!process_.handles.Get<KeyHandle>(key)) return Status(win::ERROR_INVALID_HANDLE);
  process_.handles.Close(key);
  return Status(win::ERROR_SUCCESS);
}

win::LSTATUS SimRegistry::RegConnectRegistryA(const char* machineName, win::HKEY key,
                                              win::HKEY* result) {
  if (!result) return Status(win::ERROR_INVALID_PARAMETER);
  // Only these two predefined keys exist on another machine.
  if (key != win::HKEY_LOCAL_MACHINE && key != win::HKEY_USERS) {
    return Status(win::ERROR_INVALID_HANDLE);
  }
  RegistryStore& store = *process_.machine.registry;
  RegistryHives* hives = &store.Local();
  const bool remote = machineName && machineName[0] != '\0';
  if (remote) {
    hives = store.Remote(machineName);
    if (!hives) return Status(win::ERROR_BAD_NETPATH);
  }
  auto root = RootHandle(key == win::HKEY_LOCAL_MACHINE ? hives->localMachine : hives->users,
                         hives, remote, process_.machine.token);
  *result = process_.handles.Add(root);
  return Status(win::ERROR_SUCCESS);
}

// ---- Values and enumeration ----

win::LSTATUS SimRegistry::RegSetValueExA(win::HKEY key, const char* valueName,
                                         win::DWORD reserved, win::DWORD type,
                                         const win::BYTE* data, win::DWORD size) {
  std::shared_ptr<KeyHandle> handle;
  if (win::LSTATUS status = KeyForCall(key, win::KEY_SET_VALUE, &handle)) return status;
  if (!data && size) return kErrorNoAccess;
  std::vector<win::BYTE> bytes = data ? std::vector<win::BYTE>(data, data + size)
                                      : std::vector<win::BYTE>{};
  handle->key->SetValue(valueName ? valueName : "", type, std::move(bytes));
  return Status(win::ERROR_SUCCESS);
}

// Without a buffer the call reports the size; with a buffer too small it
// reports the size with ERROR_MORE_DATA.
win::LSTATUS SimRegistry::RegQueryValueExA(win::HKEY key, const char* valueName,
                                           win::DWORD* reserved, win::DWORD* type,
                                           win::BYTE* data, win::DWORD* size) {
  if (reserved || (data && !size)) return Status(win::ERROR_INVALID_PARAMETER);
  std::shared_ptr<KeyHandle> handle;
  if (win::LSTATUS status = KeyForCall(key, win::KEY_QUERY_VALUE, &handle)) return status;
  const RegistryValue* value = handle->key->FindValue(valueName ? valueName : "");
  if (!value) return Status(win::ERROR_FILE_NOT_FOUND);
  if (type) *type = value->type;
  const auto needed = static_cast<win::DWORD>(value->data.size());
  if (!data) {
    if (size) *size = needed;
    return Status(win::ERROR_SUCCESS);
  }
  if (*size < needed) {
    *size = needed;
    return Status(win::ERROR_MORE_DATA);
  }
  if (needed) std::memcpy(data, value->data.data(), needed);
  *size = needed;
  return Status(win::ERROR_SUCCESS);
}

// `nameSize` is the buffer size in characters on entry and the name's
// length without its NUL on return; names come in Windows' order.
win::LSTATUS SimRegistry::RegEnumKeyExA(win::HKEY key, win::DWORD index, char* name,
                                        win::DWORD* nameSize) {
  if (!name || !nameSize) return Status(win::ERROR_INVALID_PARAMETER);
  std::shared_ptr<KeyHandle> handle;
  if (win::LSTATUS status = KeyForCall(key, win::KEY_ENUMERATE_SUB_KEYS, &handle)) return status;
  const auto& subKeys = handle->key->subKeys;
  if (index >= subKeys.size()) return Status(win::ERROR_NO_MORE_ITEMS);
  const std::string& found = std::next(subKeys.begin(), index)->second->name;
  if (found.size() + 1 > *nameSize) return Status(win::ERROR_MORE_DATA);
  std::memcpy(name, found.c_str(), found.size() + 1);
  *nameSize = static_cast<win::DWORD>(found.size());
  return Status(win::ERROR_SUCCESS);
}

win::LSTATUS SimRegistry::RegDeleteValueA(win::HKEY key, const char* valueName) {
  std::shared_ptr<KeyHandle> handle;
  if (win::LSTATUS status = KeyForCall(key, win::KEY_SET_VALUE, &handle)) return status;
  if (!handle->key->DeleteValue(valueName ? valueName : "")) {
    return Status(win::ERROR_FILE_NOT_FOUND);
  }
  return Status(win::ERROR_SUCCESS);
}

// ---- Deleting ----

// One key, opened with DELETE: the rights of the handle it is named under
// do not matter; a key with sub-keys is refused with ERROR_ACCESS_DENIED.
win::LSTATUS SimRegistry::DeleteIfAllowed(RegistryKey& key) {
  if (!key.parent) return Status(win::ERROR_ACCESS_DENIED);  // a hive root
  if (!AccessCheck(process_.machine.token, key.security, win::DELETE, kKeyMapping)) {
    return Status(win::ERROR_ACCESS_DENIED);
  }
  if (!key.subKeys.empty()) return Status(win::ERROR_ACCESS_DENIED);
  RegistryStore::DeleteKey(key);
  return Status(win::ERROR_SUCCESS);
}

win::LSTATUS SimRegistry::DeleteOneKey(win::HKEY key, const char* subKey, bool view32) {
  if (!subKey) return Status(win::ERROR_INVALID_PARAMETER);
  Location location;
  if (win::LSTATUS status = Locate(key, subKey, view32, &location)) return status;
  std::shared_ptr<RegistryKey> target = WalkDown(location.hiveRoot, location.path);
  if (!target) return Status(win::ERROR_FILE_NOT_FOUND);
  return DeleteIfAllowed(*target);
}

// RegDeleteKeyA always works in the process's own view.
win::LSTATUS SimRegistry::RegDeleteKeyA(win::HKEY key, const char* subKey) {
  return DeleteOneKey(key, subKey, DefaultView32());
}

win::LSTATUS SimRegistry::CallRegDeleteKeyExA(win::FARPROC regDeleteKeyExA, win::HKEY key,
                                              const char* subKey, win::REGSAM desired,
                                              win::DWORD reserved) {
  // Assumption: calling through a function that was not found is a
  // program error; it is reported instead of crashing the simulation.
  if (!regDeleteKeyExA) return Status(win::ERROR_INVALID_FUNCTION);
  if (reserved) return Status(win::ERROR_INVALID_PARAMETER);
  bool view32 = false;
  if (win::LSTATUS status = ViewOf(desired, &view32)) return status;
  return DeleteOneKey(key, subKey, view32);
}

// Depth first: each key is opened to be enumerated (KEY_READ's query and
// enumerate rights), its sub-keys are deleted, then the key itself
// (DELETE). A key that refuses stays, and so do the keys above it; the
// others are deleted all the same. The first failure is the result.
win::LSTATUS SimRegistry::DeleteTree(const std::shared_ptr<RegistryKey>& key) {
  if (!AccessCheck(process_.machine.token, key->security,
                   win::KEY_ENUMERATE_SUB_KEYS | win::KEY_QUERY_VALUE, kKeyMapping)) {
    return Status(win::ERROR_ACCESS_DENIED);
  }
  win::LSTATUS result = Status(win::ERROR_SUCCESS);
  std::vector<std::shared_ptr<RegistryKey>> children;
  for (const auto& [name, child] : key->subKeys) children.push_back(child);
  for (const auto& child : children) {
    win::LSTATUS status = DeleteTree(child);
    if (status && !result) result = status;
  }
  if (result) return result;
  return DeleteIfAllowed(*key);
}

// SHDeleteKeyA works in the process's own view, like RegDeleteKeyA.
win::LSTATUS SimRegistry::SHDeleteKeyA(win::HKEY key, const char* subKey) {
  Location location;
  if (win::LSTATUS status = Locate(key, subKey, DefaultView32(), &location)) return status;
  std::shared_ptr<RegistryKey> target = WalkDown(location.hiveRoot, location.path);
  if (!target) return Status(win::ERROR_FILE_NOT_FOUND);
  return DeleteTree(target);
}

}  // namespace sim
