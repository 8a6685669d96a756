#include "platform/sim/registry_store.h"
#include "platform/sim/hex.h"
#include "platform/sim/text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

#include "platform/sim/sim_machine.h"

namespace sim {

namespace {

std::vector<win::BYTE> StringBytes(const std::string& text) {
  std::vector<win::BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<win::BYTE> MultiStringBytes(const std::vector<std::string>& strings) {
  std::vector<win::BYTE> bytes;
  for (const std::string& text : strings) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
  }
  bytes.push_back(0);
  return bytes;
}

std::vector<win::BYTE> DwordBytes(win::DWORD value) {
  return {static_cast<win::BYTE>(value), static_cast<win::BYTE>(value >> 8),
          static_cast<win::BYTE>(value >> 16), static_cast<win::BYTE>(value >> 24)};
}

// ---- Shared keys of the 32-bit view ----

// Keys under HKLM\SOFTWARE that 32-bit and 64-bit programs share on 64-bit
// Windows (the documented list "Registry Keys Affected by WOW64"; a subset
// is modelled). Every other key under SOFTWARE is redirected.
const std::vector<std::string>& SharedSoftwareKeys() {
  static const std::vector<std::string> keys = {
      "Microsoft\\Windows NT\\CurrentVersion\\Print",
      "Microsoft\\Windows NT\\CurrentVersion\\Ports",
      "Microsoft\\Windows NT\\CurrentVersion\\Fonts",
      "Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
      "Microsoft\\Windows NT\\CurrentVersion\\Time Zones",
      "Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
      "Microsoft\\Windows NT\\CurrentVersion\\Console",
      "Microsoft\\SystemCertificates",
      "Microsoft\\RPC",
      "Microsoft\\Cryptography\\Calais",
      "Policies",
  };
  return keys;
}

bool StartsWithPath(const std::vector<std::string>& path, std::size_t from,
                    const std::vector<std::string>& prefix) {
  if (path.size() - from < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (!EqualsIgnoreCase(path[from + i], prefix[i])) return false;
  }
  return true;
}

// ---- JSON form ----

const std::vector<std::pair<win::DWORD, const char*>>& TypeNames() {
  static const std::vector<std::pair<win::DWORD, const char*>> names = {
      {win::REG_NONE, "REG_NONE"},     {win::REG_SZ, "REG_SZ"},
      {win::REG_EXPAND_SZ, "REG_EXPAND_SZ"}, {win::REG_BINARY, "REG_BINARY"},
      {win::REG_DWORD, "REG_DWORD"},   {win::REG_MULTI_SZ, "REG_MULTI_SZ"},
  };
  return names;
}

nlohmann::json TypeToJson(win::DWORD type) {
  for (const auto& [value, name] : TypeNames()) {
    if (value == type) return name;
  }
  return type;
}

win::DWORD TypeFromJson(const nlohmann::json& j) {
  if (j.is_number()) return j.get<win::DWORD>();
  const std::string name = Upper(j.get<std::string>());
  for (const auto& [value, known] : TypeNames()) {
    if (name == known) return value;
  }
  throw std::runtime_error("registry: unknown value type " + name);
}

// The readable form of a value where its bytes allow one ("data": text,
// list of texts or number), otherwise its bytes ("hex").
nlohmann::json ValueToJson(const RegistryValue& value) {
  nlohmann::json j = {{"type", TypeToJson(value.type)}};
  const auto& data = value.data;
  if (value.type == win::REG_SZ || value.type == win::REG_EXPAND_SZ) {
    std::string text(data.begin(), data.end());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    if (StringBytes(text) == data) {
      j["data"] = text;
      return j;
    }
  } else if (value.type == win::REG_MULTI_SZ) {
    std::vector<std::string> strings;
    std::string current;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
      if (data[i] == 0) {
        strings.push_back(current);
        current.clear();
      } else {
        current += static_cast<char>(data[i]);
      }
    }
    if (MultiStringBytes(strings) == data) {
      j["data"] = strings;
      return j;
    }
  } else if (value.type == win::REG_DWORD && data.size() == 4) {
    j["data"] = static_cast<win::DWORD>(data[0] | data[1] << 8 | data[2] << 16 |
                                        static_cast<win::DWORD>(data[3]) << 24);
    return j;
  }
  j["hex"] = ToHex(data);
  return j;
}

// A value from its JSON form; a bare text is a REG_SZ, a bare number a REG_DWORD.
RegistryValue ValueFromJson(const std::string& name, const nlohmann::json& j) {
  RegistryValue value{name, win::REG_SZ, {}};
  if (j.is_string()) {
    value.data = StringBytes(j.get<std::string>());
    return value;
  }
  if (j.is_number()) {
    value.type = win::REG_DWORD;
    value.data = DwordBytes(j.get<win::DWORD>());
    return value;
  }
  value.type = TypeFromJson(j.at("type"));
  if (j.contains("hex")) {
    value.data = FromHex(j["hex"].get<std::string>());
  } else if (j.contains("data")) {
    const nlohmann::json& data = j["data"];
    if (data.is_string()) {
      value.data = StringBytes(data.get<std::string>());
    } else if (data.is_array()) {
      value.data = MultiStringBytes(data.get<std::vector<std::string>>());
    } else {
      value.data = DwordBytes(data.get<win::DWORD>());
    }
  }
  return value;
}

std::string MaskToJson(win::ACCESS_MASK mask) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", mask);
  return text;
}

win::ACCESS_MASK MaskFromJson(const nlohmann::json& j) {
  if (j.is_number()) return j.get<win::ACCESS_MASK>();
  const std::string text = Upper(j.get<std::string>());
  if (text == "KEY_ALL_ACCESS") return win::KEY_ALL_ACCESS;
  if (text == "KEY_READ") return win::KEY_READ;
  if (text == "KEY_WRITE") return win::KEY_WRITE;
  return static_cast<win::ACCESS_MASK>(std::stoul(text, nullptr, 0));
}

const std::vector<std::pair<win::DWORD, const char*>>& AceFlagNames() {
  static const std::vector<std::pair<win::DWORD, const char*>> names = {
      {win::OBJECT_INHERIT_ACE, "OI"},       {win::CONTAINER_INHERIT_ACE, "CI"},
      {win::NO_PROPAGATE_INHERIT_ACE, "NP"}, {win::INHERIT_ONLY_ACE, "IO"},
      {win::INHERITED_ACE, "ID"},
  };
  return names;
}

nlohmann::json FlagsToJson(win::DWORD flags) {
  nlohmann::json names = nlohmann::json::array();
  for (const auto& [flag, name] : AceFlagNames()) {
    if (flags & flag) names.push_back(name);
  }
  return names;
}

win::DWORD FlagsFromJson(const nlohmann::json& j) {
  if (!j.is_array()) return MaskFromJson(j);
  win::DWORD flags = 0;
  for (const auto& item : j) {
    const std::string name = Upper(item.get<std::string>());
    bool known = false;
    for (const auto& [flag, flagName] : AceFlagNames()) {
      if (name == flagName) {
        flags |= flag;
        known = true;
      }
    }
    if (!known) throw std::runtime_error("registry: unknown entry flag " + name);
  }
  return flags;
}

Sid SidFromJson(const nlohmann::json& j, const Token& token) {
  const std::string text = j.get<std::string>();
  if (text.rfind("S-", 0) == 0) return text;
  if (auto sid = LookupAccountName(text, token)) return *sid;
  throw std::runtime_error("registry: unknown account " + text);
}

nlohmann::json AclToJson(const Acl& acl) {
  nlohmann::json entries = nlohmann::json::array();
  for (const Ace& ace : acl.aces) {
    entries.push_back({{"type", ace.type == AceType::Allow ? "allow" : "deny"},
                       {"sid", ace.sid},
                       {"mask", MaskToJson(ace.mask)},
                       {"flags", FlagsToJson(ace.flags)}});
  }
  return entries;
}

Acl AclFromJson(const nlohmann::json& j, const Token& token) {
  Acl acl;
  for (const auto& entry : j) {
    Ace ace;
    ace.type = entry.value("type", std::string("allow")) == "deny" ? AceType::Deny : AceType::Allow;
    ace.sid = SidFromJson(entry.at("sid"), token);
    ace.mask = MaskFromJson(entry.at("mask"));
    ace.flags = entry.contains("flags") ? FlagsFromJson(entry["flags"]) : 0;
    acl.aces.push_back(ace);
  }
  return acl;
}

nlohmann::json KeyToJson(const RegistryKey& key) {
  nlohmann::json node = nlohmann::json::object();
  // Security is written only where it differs from what the key would have
  // been given when the system created it under its parent.
  if (!key.parent || key.security != RegistryStore::SystemChildSecurity(*key.parent)) {
    node["owner"] = key.security.owner;
    node["dacl"] = key.security.dacl ? AclToJson(*key.security.dacl) : nlohmann::json(nullptr);
    if (key.security.daclProtected) node["protected"] = true;
  }
  if (!key.values.empty()) {
    nlohmann::json values = nlohmann::json::object();
    for (const RegistryValue& value : key.values) values[value.name] = ValueToJson(value);
    node["values"] = values;
  }
  if (!key.subKeys.empty()) {
    nlohmann::json keys = nlohmann::json::object();
    for (const auto& [name, child] : key.subKeys) keys[child->name] = KeyToJson(*child);
    node["keys"] = keys;
  }
  return node;
}

nlohmann::json HivesToJson(const RegistryHives& hives) {
  return {{"HKEY_LOCAL_MACHINE", KeyToJson(*hives.localMachine)},
          {"HKEY_USERS", KeyToJson(*hives.users)}};
}

std::shared_ptr<RegistryKey> NewRoot(const std::string& name) {
  auto root = std::make_shared<RegistryKey>();
  root->name = name;
  root->security = RegistryStore::OrdinaryRootSecurity();
  return root;
}

RegistryHives NewHives() { return {NewRoot("HKEY_LOCAL_MACHINE"), NewRoot("HKEY_USERS")}; }

}  // namespace

// ---- Names ----

bool CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
  return Upper(a) < Upper(b);
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && Upper(a) == Upper(b);
}

std::vector<std::string> SplitKeyPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '\\') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

// ---- RegistryKey ----

std::shared_ptr<RegistryKey> RegistryKey::SubKey(const std::string& subKeyName) const {
  auto it = subKeys.find(subKeyName);
  return it == subKeys.end() ? nullptr : it->second;
}

const RegistryValue* RegistryKey::FindValue(const std::string& valueName) const {
  for (const RegistryValue& value : values) {
    if (EqualsIgnoreCase(value.name, valueName)) return &value;
  }
  return nullptr;
}

void RegistryKey::SetValue(const std::string& valueName, win::DWORD type,
                           std::vector<win::BYTE> data) {
  for (RegistryValue& value : values) {
    if (EqualsIgnoreCase(value.name, valueName)) {
      value.type = type;
      value.data = std::move(data);
      return;
    }
  }
  values.push_back(RegistryValue{valueName, type, std::move(data)});
}

bool RegistryKey::DeleteValue(const std::string& valueName) {
  auto it = std::find_if(values.begin(), values.end(), [&](const RegistryValue& value) {
    return EqualsIgnoreCase(value.name, valueName);
  });
  if (it == values.end()) return false;
  values.erase(it);
  return true;
}

std::vector<std::string> RegistryKey::PathFromRoot() const {
  std::vector<std::string> names;
  for (const RegistryKey* key = this; key && key->parent; key = key->parent) {
    names.insert(names.begin(), key->name);
  }
  return names;
}

std::string RegistryKey::Path() const {
  const RegistryKey* root = this;
  while (root->parent) root = root->parent;
  std::string path = root->name;
  for (const std::string& name : PathFromRoot()) path += "\\" + name;
  return path;
}

// ---- RegistryStore ----

RegistryStore::RegistryStore(SimMachine& machine) : machine_(machine), local_(NewHives()) {}

RegistryStore::~RegistryStore() = default;

SecurityDescriptor RegistryStore::OrdinaryRootSecurity() {
  SecurityDescriptor security;
  security.owner = sids::kAdministrators;
  security.dacl = Acl{{
      Ace{AceType::Allow, win::KEY_ALL_ACCESS, win::CONTAINER_INHERIT_ACE, sids::kAdministrators},
      Ace{AceType::Allow, win::KEY_ALL_ACCESS, win::CONTAINER_INHERIT_ACE, sids::kSystem},
      Ace{AceType::Allow, win::KEY_READ, win::CONTAINER_INHERIT_ACE, sids::kUsers},
  }};
  return security;
}

// Assumption: the enumeration keys belong to SYSTEM; SYSTEM may do
// everything, Administrators may read them and change their access list
// (KEY_READ | WRITE_DAC) but not delete them, everyone may read them. The
// list is protected, so the ordinary entries of SYSTEM\CurrentControlSet do
// not flow in; the keys below inherit it.
SecurityDescriptor RegistryStore::EnumKeySecurity() {
  SecurityDescriptor security;
  security.owner = sids::kSystem;
  security.daclProtected = true;
  security.dacl = Acl{{
      Ace{AceType::Allow, win::KEY_ALL_ACCESS, win::CONTAINER_INHERIT_ACE, sids::kSystem},
      Ace{AceType::Allow, win::KEY_READ | win::WRITE_DAC, win::CONTAINER_INHERIT_ACE,
          sids::kAdministrators},
      Ace{AceType::Allow, win::KEY_READ, win::CONTAINER_INHERIT_ACE, sids::kEveryone},
  }};
  return security;
}

SecurityDescriptor RegistryStore::SystemChildSecurity(const RegistryKey& parent) {
  return SecurityForNewChild(parent.security, parent.security.owner, true, RequestedSecurity{},
                             kKeyMapping);
}

bool RegistryStore::HasWow64Views() const { return machine_.os.is64Bit; }

std::vector<std::string> RegistryStore::To32BitView(std::vector<std::string> path) const {
  if (!HasWow64Views() || path.empty() || !EqualsIgnoreCase(path[0], "SOFTWARE")) return path;
  if (path.size() >= 2 && EqualsIgnoreCase(path[1], "Wow6432Node")) return path;
  for (const std::string& shared : SharedSoftwareKeys()) {
    if (StartsWithPath(path, 1, SplitKeyPath(shared))) return path;
  }
  // SOFTWARE\Classes is shared from Windows 7 on; before, it was redirected
  // (and reflected, which is not modelled).
  const bool classesShared = machine_.os.major > 6 || (machine_.os.major == 6 && machine_.os.minor >= 1);
  if (classesShared && path.size() >= 2 && EqualsIgnoreCase(path[1], "Classes")) return path;
  path.insert(path.begin() + 1, "Wow6432Node");
  return path;
}

std::shared_ptr<RegistryKey> RegistryStore::Walk(const RegistryHives& hives,
                                                 const std::string& path, bool create) const {
  std::vector<std::string> parts = SplitKeyPath(path);
  if (parts.empty()) return nullptr;
  const std::string hive = Upper(parts.front());
  parts.erase(parts.begin());
  std::shared_ptr<RegistryKey> key;
  if (hive == "HKLM" || hive == "HKEY_LOCAL_MACHINE" || hive == "MACHINE") {
    key = hives.localMachine;
  } else if (hive == "HKU" || hive == "HKEY_USERS" || hive == "USERS") {
    key = hives.users;
  } else if (hive == "HKCR" || hive == "HKEY_CLASSES_ROOT" || hive == "CLASSES_ROOT") {
    key = hives.localMachine;
    parts.insert(parts.begin(), {"SOFTWARE", "Classes"});
  } else if (hive == "HKCU" || hive == "HKEY_CURRENT_USER" || hive == "CURRENT_USER") {
    key = hives.users;
    parts.insert(parts.begin(), machine_.token.user);
  } else {
    return nullptr;
  }
  for (const std::string& name : parts) {
    std::shared_ptr<RegistryKey> next = key->SubKey(name);
    if (!next) {
      if (!create) return nullptr;
      next = AddSubKey(*key, name, SystemChildSecurity(*key));
    }
    key = next;
  }
  return key;
}

std::shared_ptr<RegistryKey> RegistryStore::Find(const std::string& path) const {
  return Walk(local_, path, false);
}

std::shared_ptr<RegistryKey> RegistryStore::Create(const std::string& path) {
  auto key = Walk(local_, path, true);
  if (!key) throw std::runtime_error("registry: not a key path: " + path);
  return key;
}

bool RegistryStore::Delete(const std::string& path) {
  auto key = Find(path);
  if (!key || !key->parent) return false;
  DeleteKey(*key);
  return true;
}

void RegistryStore::SetString(const std::string& keyPath, const std::string& valueName,
                              const std::string& text, win::DWORD type) {
  Create(keyPath)->SetValue(valueName, type, StringBytes(text));
}

void RegistryStore::SetDword(const std::string& keyPath, const std::string& valueName,
                             win::DWORD value) {
  Create(keyPath)->SetValue(valueName, win::REG_DWORD, DwordBytes(value));
}

void RegistryStore::SetMultiString(const std::string& keyPath, const std::string& valueName,
                                   const std::vector<std::string>& strings) {
  Create(keyPath)->SetValue(valueName, win::REG_MULTI_SZ, MultiStringBytes(strings));
}

std::optional<std::string> RegistryStore::GetString(const std::string& keyPath,
                                                    const std::string& valueName) const {
  auto key = Find(keyPath);
  const RegistryValue* value = key ? key->FindValue(valueName) : nullptr;
  if (!value || (value->type != win::REG_SZ && value->type != win::REG_EXPAND_SZ)) {
    return std::nullopt;
  }
  std::string text(value->data.begin(), value->data.end());
  if (auto end = text.find('\0'); end != std::string::npos) text.resize(end);
  return text;
}

std::optional<win::DWORD> RegistryStore::GetDword(const std::string& keyPath,
                                                  const std::string& valueName) const {
  auto key = Find(keyPath);
  const RegistryValue* value = key ? key->FindValue(valueName) : nullptr;
  if (!value || value->type != win::REG_DWORD || value->data.size() != 4) return std::nullopt;
  const auto& d = value->data;
  return static_cast<win::DWORD>(d[0] | d[1] << 8 | d[2] << 16 | static_cast<win::DWORD>(d[3]) << 24);
}

std::vector<std::string> RegistryStore::SubKeyNames(const std::string& keyPath) const {
  std::vector<std::string> names;
  if (auto key = Find(keyPath)) {
    for (const auto& [name, child] : key->subKeys) names.push_back(child->name);
  }
  return names;
}

RegistryHives* RegistryStore::Remote(const std::string& machineName) {
  std::string name = machineName;
  while (!name.empty() && name.front() == '\\') name.erase(name.begin());
  const std::string upper = Upper(name);
  auto reachable = std::find_if(machine_.remoteMachines.begin(), machine_.remoteMachines.end(),
                                [&](const std::string& known) { return Upper(known) == upper; });
  if (upper.empty() || reachable == machine_.remoteMachines.end()) return nullptr;
  auto it = remote_.find(upper);
  if (it == remote_.end()) {
    it = remote_.emplace(upper, NewHives()).first;
    BuildStandardContent(it->second);
  }
  return &it->second;
}

std::shared_ptr<RegistryKey> RegistryStore::AddSubKey(RegistryKey& parent, const std::string& name,
                                                      SecurityDescriptor security) {
  auto key = std::make_shared<RegistryKey>();
  key->name = name;
  key->parent = &parent;
  key->security = std::move(security);
  parent.subKeys[name] = key;
  return key;
}

void RegistryStore::DeleteKey(RegistryKey& key) {
  // Keeps the key alive until its sub-tree is marked (only open handles
  // hold it once its parent lets go).
  std::shared_ptr<RegistryKey> self;
  if (key.parent) {
    self = key.parent->SubKey(key.name);
    key.parent->subKeys.erase(key.name);
    key.parent = nullptr;
  }
  key.deleted = true;
  for (auto& [name, child] : key.subKeys) {
    child->parent = nullptr;
    DeleteKey(*child);
  }
  key.subKeys.clear();
}

namespace {

void PropagateDown(RegistryKey& key) {
  const Acl parentDacl = key.security.dacl ? *key.security.dacl : Acl{};
  for (auto& [name, child] : key.subKeys) {
    ReapplyInheritance(child->security, parentDacl, true, kKeyMapping);
    PropagateDown(*child);
  }
}

}  // namespace

void RegistryStore::SetDacl(RegistryKey& key, const std::optional<Acl>& dacl,
                            std::optional<bool> protect) {
  if (protect) key.security.daclProtected = *protect;
  if (!dacl) {
    key.security.dacl = std::nullopt;
  } else {
    Acl explicitEntries;
    for (const Ace& ace : dacl->aces) {
      if ((ace.flags & win::INHERITED_ACE) == 0) explicitEntries.aces.push_back(ace);
    }
    key.security.dacl = explicitEntries;
    if (key.parent) {
      const auto& parentDacl = key.parent->security.dacl;
      ReapplyInheritance(key.security, parentDacl ? *parentDacl : Acl{}, true, kKeyMapping);
    }
  }
  PropagateDown(key);
}

// ---- Standard content ----

void RegistryStore::CreateStandardContent() { BuildStandardContent(local_); }

void RegistryStore::BuildStandardContent(RegistryHives& hives) const {
  const OsLayout& os = machine_.os;
  auto create = [&](const std::string& path) { return Walk(hives, path, true); };
  auto setString = [&](const std::shared_ptr<RegistryKey>& key, const std::string& name,
                       const std::string& text) { key->SetValue(name, win::REG_SZ, StringBytes(text)); };

  // Programs and the release, in each view.
  std::vector<std::string> softwareRoots = {"HKLM\\SOFTWARE"};
  if (os.is64Bit) softwareRoots.push_back("HKLM\\SOFTWARE\\Wow6432Node");
  for (const std::string& software : softwareRoots) {
    const bool view32 = software != "HKLM\\SOFTWARE";
    auto currentVersion = create(software + "\\Microsoft\\Windows\\CurrentVersion");
    setString(currentVersion, "ProgramFilesDir",
              view32 ? "C:\\Program Files (x86)" : "C:\\Program Files");
    currentVersion->SetValue("DevicePath", win::REG_EXPAND_SZ, StringBytes("%SystemRoot%\\inf"));
    create(software + "\\Microsoft\\Windows\\CurrentVersion\\Uninstall");

    auto ntVersion = create(software + "\\Microsoft\\Windows NT\\CurrentVersion");
    // Windows 10 and later still report 6.3 here.
    const std::string version =
        os.major >= 10 ? "6.3" : std::to_string(os.major) + "." + std::to_string(os.minor);
    setString(ntVersion, "CurrentVersion", version);
    setString(ntVersion, "CurrentBuildNumber", std::to_string(os.build));
    setString(ntVersion, "CurrentBuild", std::to_string(os.build));
    if (!os.servicePack.empty()) setString(ntVersion, "CSDVersion", os.servicePack);
    setString(ntVersion, "ProductName", os.name);
    setString(ntVersion, "SystemRoot", os.windowsDirectory);
  }
  create("HKLM\\SOFTWARE\\Classes");
  if (os.is64Bit && To32BitView({"SOFTWARE", "Classes"}).size() == 3) {
    create("HKLM\\SOFTWARE\\Wow6432Node\\Classes");
  }

  // The print spooler's keys.
  const std::string print = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
  std::vector<std::pair<std::string, std::string>> environments = {{"Windows NT x86", "W32X86"}};
  if (os.is64Bit) environments.push_back({"Windows x64", "x64"});
  for (const auto& [environment, directory] : environments) {
    const std::string base = print + "\\Environments\\" + environment;
    setString(create(base), "Directory", directory);
    create(base + "\\Drivers\\Version-3");
    setString(create(base + "\\Print Processors\\winprint"), "Driver", "winprint.dll");
  }
  setString(create(print + "\\Monitors\\Local Port"), "Driver", "localspl.dll");
  create(print + "\\Printers");

  // Plug and Play: the enumeration keys belong to SYSTEM.
  auto enumKey = create("HKLM\\SYSTEM\\CurrentControlSet\\Enum");
  enumKey->security = EnumKeySecurity();
  for (const char* bus : {"USB", "USBPRINT", "LPTENUM"}) {
    create(std::string("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\") + bus);
  }

  // Users: the default profile and the token's user (HKEY_CURRENT_USER).
  create("HKU\\.DEFAULT\\Software");
  create("HKU\\" + machine_.token.user + "\\Software");
}

// ---- Machine description ----

namespace {

void LoadKeyNode(RegistryStore& store, RegistryKey& key, const nlohmann::json& node,
                 const Token& token) {
  if (node.contains("owner")) key.security.owner = SidFromJson(node["owner"], token);
  if (node.contains("dacl")) {
    key.security.dacl = node["dacl"].is_null() ? std::nullopt
                                               : std::optional<Acl>(AclFromJson(node["dacl"], token));
  }
  if (node.contains("protected")) key.security.daclProtected = node["protected"].get<bool>();
  const nlohmann::json values = node.value("values", nlohmann::json::object());
  for (const auto& [name, value] : values.items()) {
    RegistryValue loaded = ValueFromJson(name, value);
    key.SetValue(loaded.name, loaded.type, std::move(loaded.data));
  }
  const nlohmann::json keys = node.value("keys", nlohmann::json::object());
  for (const auto& [path, child] : keys.items()) {
    // A name may be a path of several keys ("Enum\\USBPRINT\\X").
    RegistryKey* current = &key;
    std::shared_ptr<RegistryKey> next;
    for (const std::string& name : SplitKeyPath(path)) {
      next = current->SubKey(name);
      if (!next) next = store.AddSubKey(*current, name, RegistryStore::SystemChildSecurity(*current));
      current = next.get();
    }
    LoadKeyNode(store, *current, child, token);
  }
}

void LoadHives(RegistryStore& store, RegistryHives& hives, const nlohmann::json& section,
               const Token& token) {
  for (const auto& [path, node] : section.items()) {
    if (path == "remote") continue;
    std::vector<std::string> parts = SplitKeyPath(path);
    std::string upper = parts.empty() ? "" : parts.front();
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    RegistryKey* root = nullptr;
    if (upper == "HKLM" || upper == "HKEY_LOCAL_MACHINE") root = hives.localMachine.get();
    if (upper == "HKU" || upper == "HKEY_USERS") root = hives.users.get();
    if (!root) throw std::runtime_error("registry: unknown hive in " + path);
    std::string rest;
    for (std::size_t i = 1; i < parts.size(); ++i) rest += (i > 1 ? "\\" : "") + parts[i];
    LoadKeyNode(store, *root, rest.empty() ? node : nlohmann::json{{"keys", {{rest, node}}}}, token);
  }
}

}  // namespace

void RegistryStore::Load(const nlohmann::json& section) {
  LoadHives(*this, local_, section, machine_.token);
  // A remote machine in a description carries its whole registry.
  const nlohmann::json remote = section.value("remote", nlohmann::json::object());
  for (const auto& [name, hivesSection] : remote.items()) {
    std::string upper = Upper(name);
    while (!upper.empty() && upper.front() == '\\') upper.erase(upper.begin());
    RegistryHives& hives = remote_[upper];
    hives = NewHives();
    LoadHives(*this, hives, hivesSection, machine_.token);
  }
}

nlohmann::json RegistryStore::Dump() const {
  nlohmann::json section = HivesToJson(local_);
  if (!remote_.empty()) {
    nlohmann::json remote = nlohmann::json::object();
    for (const auto& [name, hives] : remote_) remote[name] = HivesToJson(hives);
    section["remote"] = remote;
  }
  return section;
}

}  // namespace sim
