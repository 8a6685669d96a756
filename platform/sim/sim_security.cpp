#include "platform/sim/sim_security.h"
#include "platform/sim/text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/sim/file_system.h"
#include "platform/sim/last_error.h"
#include "platform/sim/registry_store.h"
#include "platform/sim/security_objects.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_registry.h"

namespace sim {

namespace {

// Error codes of the security calls that win_constants.h does not need.
constexpr win::DWORD kErrorUnknownRevision = 1305;
constexpr win::DWORD kErrorInvalidOwner = 1307;
constexpr win::DWORD kErrorInvalidAcl = 1336;
constexpr win::DWORD kErrorInvalidSid = 1337;
constexpr win::DWORD kErrorInvalidSecurityDescriptor = 1338;

constexpr win::DWORD kSaclSecurityInformation = 0x8;
constexpr win::DWORD kProtectedDacl = 0x80000000u;    // PROTECTED_DACL_SECURITY_INFORMATION
constexpr win::DWORD kUnprotectedDacl = 0x20000000u;  // UNPROTECTED_DACL_SECURITY_INFORMATION
constexpr win::DWORD kPrivilegeRemoved = 0x4;         // SE_PRIVILEGE_REMOVED
constexpr win::UINT kEwxPowerOff = 0x8;
constexpr win::DWORD kAceInheritanceFlags = win::OBJECT_INHERIT_ACE | win::CONTAINER_INHERIT_ACE |
                                            win::NO_PROPAGATE_INHERIT_ACE | win::INHERIT_ONLY_ACE;

// The privileges of Windows with their locally unique identifiers (the
// SE_..._PRIVILEGE values, the same on every machine).
const std::vector<std::pair<const char*, win::DWORD>>& Privileges() {
  static const std::vector<std::pair<const char*, win::DWORD>> privileges = {
      {"SeCreateTokenPrivilege", 2},        {"SeAssignPrimaryTokenPrivilege", 3},
      {"SeLockMemoryPrivilege", 4},         {"SeIncreaseQuotaPrivilege", 5},
      {"SeMachineAccountPrivilege", 6},     {"SeTcbPrivilege", 7},
      {"SeSecurityPrivilege", 8},           {"SeTakeOwnershipPrivilege", 9},
      {"SeLoadDriverPrivilege", 10},        {"SeSystemProfilePrivilege", 11},
      {"SeSystemtimePrivilege", 12},        {"SeProfileSingleProcessPrivilege", 13},
      {"SeIncreaseBasePriorityPrivilege", 14}, {"SeCreatePagefilePrivilege", 15},
      {"SeCreatePermanentPrivilege", 16},   {"SeBackupPrivilege", 17},
      {"SeRestorePrivilege", 18},           {"SeShutdownPrivilege", 19},
      {"SeDebugPrivilege", 20},             {"SeAuditPrivilege", 21},
      {"SeSystemEnvironmentPrivilege", 22}, {"SeChangeNotifyPrivilege", 23},
      {"SeRemoteShutdownPrivilege", 24},    {"SeUndockPrivilege", 25},
      {"SeSyncAgentPrivilege", 26},         {"SeEnableDelegationPrivilege", 27},
      {"SeManageVolumePrivilege", 28},      {"SeImpersonatePrivilege", 29},
      {"SeCreateGlobalPrivilege", 30},
  };
  return privileges;
}

std::string PrivilegeNameOf(const win::LUID& luid) {
  if (luid.HighPart != 0) return {};
  for (const auto& [name, value] : Privileges()) {
    if (value == luid.LowPart) return name;
  }
  return {};
}

// A machine named in SimMachine::remoteMachines ("NAME" or "\\NAME", any case).
bool IsReachable(const SimMachine& machine, std::string name) {
  while (!name.empty() && name.front() == '\\') name.erase(name.begin());
  return std::any_of(machine.remoteMachines.begin(), machine.remoteMachines.end(),
                     [&](const std::string& known) { return Upper(known) == Upper(name); });
}

std::string FileNameOf(const std::string& path) {
  auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "S-1-5-32-544": the authority in decimal when it fits in 32 bits, else
// as 0x followed by its six bytes (as ConvertSidToStringSid writes it).
Sid SidString(const win::SID_IDENTIFIER_AUTHORITY& authority,
              const std::vector<win::DWORD>& subAuthorities) {
  std::string text = "S-1-";
  char buffer[32];
  if (authority.Value[0] || authority.Value[1]) {
    std::snprintf(buffer, sizeof buffer, "0x%02X%02X%02X%02X%02X%02X", authority.Value[0],
                  authority.Value[1], authority.Value[2], authority.Value[3], authority.Value[4],
                  authority.Value[5]);
  } else {
    const unsigned long value = static_cast<unsigned long>(authority.Value[2]) << 24 |
                                static_cast<unsigned long>(authority.Value[3]) << 16 |
                                static_cast<unsigned long>(authority.Value[4]) << 8 |
                                authority.Value[5];
    std::snprintf(buffer, sizeof buffer, "%lu", value);
  }
  text += buffer;
  for (win::DWORD sub : subAuthorities) text += "-" + std::to_string(sub);
  return text;
}

// ---- SetEntriesInAcl: merging one entry into a list ----

bool IsExplicit(const Ace& ace) { return (ace.flags & win::INHERITED_ACE) == 0; }

// Where a new allow entry goes: just before the existing allow entries,
// and in any case before the inherited ones.
std::size_t AllowInsertPosition(const Acl& acl) {
  for (std::size_t i = 0; i < acl.aces.size(); ++i) {
    const Ace& ace = acl.aces[i];
    if (!IsExplicit(ace) || ace.type == AceType::Allow) return i;
  }
  return acl.aces.size();
}

Ace* FindExplicit(Acl& acl, AceType type, const Sid& sid, win::DWORD flags) {
  for (Ace& ace : acl.aces) {
    if (IsExplicit(ace) && ace.type == type && ace.sid == sid && ace.flags == flags) return &ace;
  }
  return nullptr;
}

void RemoveExplicit(Acl& acl, const Sid& sid, bool allowOnly) {
  std::erase_if(acl.aces, [&](const Ace& ace) {
    return IsExplicit(ace) && ace.sid == sid && (!allowOnly || ace.type == AceType::Allow);
  });
}

// The access modes as Windows documents them (ACCESS_MODE):
// - GRANT adds the rights to the trustee's allow entry (same inheritance) or
//   adds one; its deny entries stay;
// - SET drops the trustee's explicit entries and adds one allow entry;
// - DENY adds a deny entry in front and takes the rights out of the
//   trustee's allow entries;
// - REVOKE drops the trustee's explicit allow entries.
// Inherited entries are never touched. A new deny entry goes to the front,
// a new allow entry just before the existing allow entries.
// Assumption: an entry with no rights (GRANT, SET, DENY with mask 0) adds
// no entry.
win::DWORD MergeEntry(Acl& acl, win::DWORD mode, const Sid& sid, win::ACCESS_MASK mask,
                      win::DWORD flags) {
  switch (mode) {
    case win::NOT_USED_ACCESS:
      return win::ERROR_SUCCESS;
    case win::GRANT_ACCESS:
      if (mask == 0) return win::ERROR_SUCCESS;
      if (Ace* existing = FindExplicit(acl, AceType::Allow, sid, flags)) {
        existing->mask |= mask;
      } else {
        acl.aces.insert(acl.aces.begin() + AllowInsertPosition(acl),
                        Ace{AceType::Allow, mask, flags, sid});
      }
      return win::ERROR_SUCCESS;
    case win::SET_ACCESS:
      RemoveExplicit(acl, sid, false);
      if (mask != 0) {
        acl.aces.insert(acl.aces.begin() + AllowInsertPosition(acl),
                        Ace{AceType::Allow, mask, flags, sid});
      }
      return win::ERROR_SUCCESS;
    case win::DENY_ACCESS:
      if (mask == 0) return win::ERROR_SUCCESS;
      for (Ace& ace : acl.aces) {
        if (IsExplicit(ace) && ace.type == AceType::Allow && ace.sid == sid) ace.mask &= ~mask;
      }
      std::erase_if(acl.aces, [&](const Ace& ace) {
        return IsExplicit(ace) && ace.type == AceType::Allow && ace.sid == sid && ace.mask == 0;
      });
      if (Ace* existing = FindExplicit(acl, AceType::Deny, sid, flags)) {
        existing->mask |= mask;
      } else {
        acl.aces.insert(acl.aces.begin(), Ace{AceType::Deny, mask, flags, sid});
      }
      return win::ERROR_SUCCESS;
    case win::REVOKE_ACCESS:
      RemoveExplicit(acl, sid, true);
      return win::ERROR_SUCCESS;
    default:
      return win::ERROR_INVALID_PARAMETER;  // audit modes: no SACLs here
  }
}

// Hands out a descriptor block for `security` and the pointers into it
// that the caller asked for.
win::DWORD HandOut(const SecurityDescriptor& security, win::DWORD securityInfo, win::PSID* owner,
                   win::PSID* group, win::PACL* dacl, win::PACL* sacl,
                   win::PSECURITY_DESCRIPTOR* descriptor) {
  if (!descriptor && (owner || group || dacl || sacl)) return win::ERROR_INVALID_PARAMETER;
  auto block = std::make_unique<DescriptorObject>();
  block->owner.sid = security.owner;
  block->daclPresent = (securityInfo & win::DACL_SECURITY_INFORMATION) && security.dacl;
  if (block->daclPresent) block->dacl.acl = *security.dacl;
  auto* handedOut = static_cast<DescriptorObject*>(security_objects::Adopt(std::move(block)));
  if (owner) *owner = (securityInfo & win::OWNER_SECURITY_INFORMATION) ? &handedOut->owner : nullptr;
  if (group) *group = nullptr;  // groups are not modelled
  if (dacl) *dacl = handedOut->daclPresent ? &handedOut->dacl : nullptr;
  if (sacl) *sacl = nullptr;
  if (descriptor) {
    *descriptor = handedOut;
  }
  return win::ERROR_SUCCESS;
}

bool WantsReadControl(win::DWORD securityInfo) {
  return securityInfo & (win::OWNER_SECURITY_INFORMATION | win::GROUP_SECURITY_INFORMATION |
                         win::DACL_SECURITY_INFORMATION);
}

}  // namespace

// ---- Token, privileges, restart ----

win::BOOL SimSecurity::OpenProcessToken(win::HANDLE process, win::DWORD desiredAccess,
                                        win::HANDLE* token) {
  if (!token) return Fail(win::ERROR_INVALID_PARAMETER);
  const bool currentProcess = process == static_cast<win::HANDLE>(-1);
  if (!currentProcess && !process_.handles.Get<SimProcess>(process)) {
    return Fail(win::ERROR_INVALID_HANDLE);
  }
  *token = process_.handles.Add(std::make_shared<TokenHandle>(desiredAccess));
  return win::TRUE;
}

// Assumption: another machine is asked only when it is reachable; it knows
// the same privileges. An unreachable one fails as an RPC call does.
win::BOOL SimSecurity::LookupPrivilegeValueA(const char* systemName, const char* name,
                                             win::LUID* luid) {
  if (!name || !luid) return Fail(win::ERROR_INVALID_PARAMETER);
  if (systemName && systemName[0] && !IsReachable(process_.machine, systemName)) {
    return Fail(win::RPC_S_SERVER_UNAVAILABLE);
  }
  for (const auto& [known, value] : Privileges()) {
    if (Upper(known) == Upper(name)) {
      *luid = win::LUID{value, 0};
      return win::TRUE;
    }
  }
  return Fail(win::ERROR_NO_SUCH_PRIVILEGE);
}

// Succeeds also when a privilege is not held, with ERROR_NOT_ALL_ASSIGNED
// as the last error; on full success the last error is 0.
win::BOOL SimSecurity::AdjustTokenPrivileges(win::HANDLE token, win::BOOL disableAll,
                                             const win::TOKEN_PRIVILEGES* newState) {
  auto handle = process_.handles.Get<TokenHandle>(token);
  if (!handle) return Fail(win::ERROR_INVALID_HANDLE);
  if ((handle->access & win::TOKEN_ADJUST_PRIVILEGES) == 0) return Fail(win::ERROR_ACCESS_DENIED);
  auto& privileges = process_.machine.token.privileges;
  if (disableAll) {
    for (auto& [name, privilege] : privileges) privilege.enabled = false;
    SetLastError(win::ERROR_SUCCESS);
    return win::TRUE;
  }
  if (!newState) return Fail(win::ERROR_INVALID_PARAMETER);
  bool allAssigned = true;
  // win::TOKEN_PRIVILEGES carries one privilege, the only count the programs use.
  if (newState->PrivilegeCount > 0) {
    auto it = privileges.find(PrivilegeNameOf(newState->Luid));
    if (it == privileges.end() || !it->second.held) {
      allAssigned = false;
    } else if (newState->Attributes & kPrivilegeRemoved) {
      it->second = Privilege{false, false};
    } else {
      it->second.enabled = (newState->Attributes & win::SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  SetLastError(allAssigned ? win::ERROR_SUCCESS : win::ERROR_NOT_ALL_ASSIGNED);
  return win::TRUE;
}

// Shutting down or restarting needs SeShutdownPrivilege enabled; logging
// off does not. The request is recorded; the machine goes on running.
win::BOOL SimSecurity::ExitWindowsEx(win::UINT flags, win::DWORD reason) {
  const bool shutsDown = flags & (win::EWX_SHUTDOWN | win::EWX_REBOOT | kEwxPowerOff);
  if (shutsDown) {
    const auto& privileges = process_.machine.token.privileges;
    auto it = privileges.find("SeShutdownPrivilege");
    if (it == privileges.end() || !it->second.held || !it->second.enabled) {
      return Fail(win::ERROR_PRIVILEGE_NOT_HELD);
    }
  }
  process_.machine.restartRequests.push_back(RestartRequest{
      flags, reason, process_.machine.clock.Now(), FileNameOf(process_.imagePath)});
  return win::TRUE;
}

// ---- SIDs ----

win::BOOL SimSecurity::AllocateAndInitializeSid(const win::SID_IDENTIFIER_AUTHORITY* authority,
                                                win::BYTE subAuthorityCount, win::DWORD sub0,
                                                win::DWORD sub1, win::DWORD sub2, win::DWORD sub3,
                                                win::DWORD sub4, win::DWORD sub5, win::DWORD sub6,
                                                win::DWORD sub7, win::PSID* sid) {
  if (!authority || !sid || subAuthorityCount > 8) return Fail(win::ERROR_INVALID_PARAMETER);
  std::vector<win::DWORD> subAuthorities = {sub0, sub1, sub2, sub3, sub4, sub5, sub6, sub7};
  subAuthorities.resize(subAuthorityCount);
  auto block = std::make_unique<SidObject>();
  block->sid = SidString(*authority, subAuthorities);
  *sid = security_objects::Adopt(std::move(block));
  return win::TRUE;
}

// Returns null when freed, the SID itself otherwise.
void* SimSecurity::FreeSid(win::PSID sid) {
  return security_objects::FreeSid(sid) ? nullptr : sid;
}

// ---- Access lists ----

void SimSecurity::BuildExplicitAccessWithNameA(win::EXPLICIT_ACCESS_A* entry, char* trusteeName,
                                               win::DWORD permissions, win::DWORD accessMode,
                                               win::DWORD inheritance) {
  if (!entry) return;
  entry->grfAccessPermissions = permissions;
  entry->grfAccessMode = accessMode;
  entry->grfInheritance = inheritance;
  entry->Trustee.pMultipleTrustee = nullptr;
  entry->Trustee.MultipleTrusteeOperation = 0;  // NO_MULTIPLE_TRUSTEE
  entry->Trustee.TrusteeForm = win::TRUSTEE_IS_NAME;
  entry->Trustee.TrusteeType = win::TRUSTEE_IS_UNKNOWN;
  entry->Trustee.ptstrName = trusteeName;
}

win::DWORD SimSecurity::SetEntriesInAclA(win::DWORD count, win::EXPLICIT_ACCESS_A* entries,
                                         win::PACL oldAcl, win::PACL* newAcl) {
  if (!newAcl || (count && !entries)) return win::ERROR_INVALID_PARAMETER;
  Acl result;
  if (oldAcl) {
    const AclObject* old = security_objects::FindAcl(oldAcl);
    if (!old) return kErrorInvalidAcl;
    result = old->acl;
  }
  for (win::DWORD i = 0; i < count; ++i) {
    const win::EXPLICIT_ACCESS_A& entry = entries[i];
    Sid sid;
    if (entry.Trustee.TrusteeForm == win::TRUSTEE_IS_NAME) {
      if (!entry.Trustee.ptstrName) return win::ERROR_INVALID_PARAMETER;
      auto found = LookupAccountName(entry.Trustee.ptstrName, process_.machine.token);
      if (!found) return win::ERROR_NONE_MAPPED;
      sid = *found;
    } else if (entry.Trustee.TrusteeForm == win::TRUSTEE_IS_SID) {
      const SidObject* found = security_objects::FindSid(entry.Trustee.ptstrName);
      if (!found) return kErrorInvalidSid;
      sid = found->sid;
    } else {
      return win::ERROR_INVALID_PARAMETER;
    }
    if (win::DWORD status = MergeEntry(result, entry.grfAccessMode, sid,
                                       entry.grfAccessPermissions,
                                       entry.grfInheritance & kAceInheritanceFlags)) {
      return status;
    }
  }
  auto block = std::make_unique<AclObject>();
  block->acl = result;
  *newAcl = security_objects::Adopt(std::move(block));
  return win::ERROR_SUCCESS;
}

// Registry keys by handle. Reading needs READ_CONTROL on the handle.
// Assumption: file handles are not served here (the programs read and set
// file security by name or at creation only).
win::DWORD SimSecurity::GetSecurityInfo(win::HANDLE object, win::DWORD objectType,
                                        win::DWORD securityInfo, win::PSID* owner,
                                        win::PSID* group, win::PACL* dacl, win::PACL* sacl,
                                        win::PSECURITY_DESCRIPTOR* descriptor) {
  if (objectType != win::SE_REGISTRY_KEY) {
    return objectType == win::SE_FILE_OBJECT ? win::ERROR_INVALID_HANDLE
                                             : win::ERROR_INVALID_PARAMETER;
  }
  std::shared_ptr<KeyHandle> key = FindKeyHandle(process_, object);
  if (!key) return win::ERROR_INVALID_HANDLE;
  if (key->key->deleted) return win::ERROR_KEY_DELETED;
  if (WantsReadControl(securityInfo) && !(key->granted & win::READ_CONTROL)) {
    return win::ERROR_ACCESS_DENIED;
  }
  return HandOut(key->key->security, securityInfo, owner, group, dacl, sacl, descriptor);
}

// Writing the DACL needs WRITE_DAC on the handle, the owner WRITE_OWNER.
// As SetSecurityInfo does, only the explicit entries of the new list are
// kept, the parent's inheritable entries follow them (unless the list is
// protected), and the whole sub-tree receives the new inheritance. Nothing
// changes when a check fails.
win::DWORD SimSecurity::SetSecurityInfo(win::HANDLE object, win::DWORD objectType,
                                        win::DWORD securityInfo, win::PSID owner,
                                        win::PSID group, win::PACL dacl, win::PACL sacl) {
  if (objectType != win::SE_REGISTRY_KEY) {
    return objectType == win::SE_FILE_OBJECT ? win::ERROR_INVALID_HANDLE
                                             : win::ERROR_INVALID_PARAMETER;
  }
  std::shared_ptr<KeyHandle> key = FindKeyHandle(process_, object);
  if (!key) return win::ERROR_INVALID_HANDLE;
  if (key->key->deleted) return win::ERROR_KEY_DELETED;
  if (securityInfo & kSaclSecurityInformation) return win::ERROR_PRIVILEGE_NOT_HELD;

  std::optional<Sid> newOwner;
  if (securityInfo & win::OWNER_SECURITY_INFORMATION) {
    if (!(key->granted & win::WRITE_OWNER)) return win::ERROR_ACCESS_DENIED;
    const SidObject* sid = security_objects::FindSid(owner);
    if (!sid) return kErrorInvalidSid;
    if (!process_.machine.token.Has(sid->sid)) return kErrorInvalidOwner;
    newOwner = sid->sid;
  }
  const bool setDacl = securityInfo & win::DACL_SECURITY_INFORMATION;
  std::optional<Acl> newDacl;
  if (setDacl) {
    if (!(key->granted & win::WRITE_DAC)) return win::ERROR_ACCESS_DENIED;
    if (dacl) {
      const AclObject* acl = security_objects::FindAcl(dacl);
      if (!acl) return kErrorInvalidAcl;
      newDacl = acl->acl;
    }
  }

  if (newOwner) key->key->security.owner = *newOwner;
  if (setDacl) {
    std::optional<bool> protect;
    if (securityInfo & kProtectedDacl) protect = true;
    if (securityInfo & kUnprotectedDacl) protect = false;
    RegistryStore::SetDacl(*key->key, newDacl, protect);
  }
  return win::ERROR_SUCCESS;
}

// Registry names are "MACHINE\...", "USERS\...", "CLASSES_ROOT\..." or
// "CURRENT_USER\...", optionally after "\\computer\"; the key is opened in
// the process's own view with READ_CONTROL.
win::DWORD SimSecurity::NamedKeySecurity(const char* objectName, win::DWORD securityInfo,
                                         win::PSID* owner, win::PSID* group, win::PACL* dacl,
                                         win::PACL* sacl, win::PSECURITY_DESCRIPTOR* descriptor) {
  std::string name = objectName;
  std::string machineName;
  if (name.rfind("\\\\", 0) == 0) {
    auto end = name.find('\\', 2);
    machineName = name.substr(0, end);
    name = end == std::string::npos ? "" : name.substr(end + 1);
  }
  auto slash = name.find('\\');
  const std::string root = Upper(name.substr(0, slash));
  const std::string subKey = slash == std::string::npos ? "" : name.substr(slash + 1);
  win::HKEY rootKey = 0;
  if (root == "MACHINE") rootKey = win::HKEY_LOCAL_MACHINE;
  if (root == "USERS") rootKey = win::HKEY_USERS;
  if (root == "CLASSES_ROOT") rootKey = win::HKEY_CLASSES_ROOT;
  if (root == "CURRENT_USER") rootKey = win::HKEY_CURRENT_USER;
  if (!rootKey) return win::ERROR_INVALID_PARAMETER;

  SimRegistry registry(process_);
  win::HKEY base = rootKey;
  if (!machineName.empty()) {
    if (auto status = registry.RegConnectRegistryA(machineName.c_str(), rootKey, &base)) {
      return static_cast<win::DWORD>(status);
    }
  }
  win::HKEY key = 0;
  win::LSTATUS status = registry.RegOpenKeyExA(base, subKey.c_str(), 0, win::READ_CONTROL, &key);
  if (base != rootKey) registry.RegCloseKey(base);
  if (status) return static_cast<win::DWORD>(status);
  win::DWORD result =
      GetSecurityInfo(key, win::SE_REGISTRY_KEY, securityInfo, owner, group, dacl, sacl, descriptor);
  registry.RegCloseKey(key);
  return result;
}

win::DWORD SimSecurity::GetNamedSecurityInfoA(const char* objectName, win::DWORD objectType,
                                              win::DWORD securityInfo, win::PSID* owner,
                                              win::PSID* group, win::PACL* dacl, win::PACL* sacl,
                                              win::PSECURITY_DESCRIPTOR* descriptor) {
  if (!objectName) return win::ERROR_INVALID_PARAMETER;
  if (objectType == win::SE_REGISTRY_KEY) {
    return NamedKeySecurity(objectName, securityInfo, owner, group, dacl, sacl, descriptor);
  }
  if (objectType != win::SE_FILE_OBJECT) return win::ERROR_INVALID_PARAMETER;
  FileSystem& files = *process_.machine.files;
  const std::string path = files.ResolvePath(process_, objectName);
  if (path.empty()) return win::ERROR_INVALID_NAME;
  SecurityDescriptor* security = files.SecurityOf(path);
  if (!security) return win::ERROR_FILE_NOT_FOUND;
  if (WantsReadControl(securityInfo) &&
      !AccessCheck(process_.machine.token, *security, win::READ_CONTROL, kFileMapping)) {
    return win::ERROR_ACCESS_DENIED;
  }
  return HandOut(*security, securityInfo, owner, group, dacl, sacl, descriptor);
}

// ---- Caller-owned security descriptors ----

win::BOOL SimSecurity::InitializeSecurityDescriptor(win::SECURITY_DESCRIPTOR* descriptor,
                                                    win::DWORD revision) {
  if (!descriptor) return Fail(win::ERROR_INVALID_PARAMETER);
  if (revision != win::SECURITY_DESCRIPTOR_REVISION) return Fail(kErrorUnknownRevision);
  WriteDescriptor(*descriptor, AbsoluteDescriptor{revision, false, false, nullptr});
  return win::TRUE;
}

win::BOOL SimSecurity::SetSecurityDescriptorDacl(win::SECURITY_DESCRIPTOR* descriptor,
                                                 win::BOOL daclPresent, win::PACL dacl,
                                                 win::BOOL daclDefaulted) {
  if (!descriptor) return Fail(win::ERROR_INVALID_PARAMETER);
  std::optional<AbsoluteDescriptor> content = ReadDescriptor(*descriptor);
  if (!content) return Fail(kErrorInvalidSecurityDescriptor);
  content->daclPresent = daclPresent != win::FALSE;
  content->dacl = daclPresent ? dacl : nullptr;
  content->daclDefaulted = daclPresent && daclDefaulted;
  WriteDescriptor(*descriptor, *content);
  return win::TRUE;
}

// Frees lists and descriptors handed out here (and SIDs). Returns null when
// freed; otherwise the pointer, with ERROR_INVALID_HANDLE.
void* SimSecurity::LocalFree(void* memory) {
  if (!memory || security_objects::Free(memory)) return nullptr;
  SetLastError(win::ERROR_INVALID_HANDLE);
  return memory;
}

}  // namespace sim
