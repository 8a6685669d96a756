// The simulated security services: access checks, inheritance, access-list
// editing, key security, privileges and restart.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/sim/access_control.h"
#include "platform/sim/file_system.h"
#include "platform/sim/last_error.h"
#include "platform/sim/registry_store.h"
#include "platform/sim/security_objects.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_security.h"
#include "platform/win_constants.h"

namespace {

using sim::Ace;
using sim::AceType;
using sim::Acl;
namespace sids = sim::sids;

constexpr win::DWORD CI = win::CONTAINER_INHERIT_ACE;
constexpr win::DWORD OI = win::OBJECT_INHERIT_ACE;
constexpr win::DWORD IO = win::INHERIT_ONLY_ACE;
constexpr win::DWORD NP = win::NO_PROPAGATE_INHERIT_ACE;
constexpr win::DWORD ID = win::INHERITED_ACE;

const std::string kEnumKey = "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\HALVORN_QPR-730";
const int kBoundFunction = 0;
const win::FARPROC kRegDeleteKeyExA = &kBoundFunction;

sim::SecurityDescriptor Descriptor(const sim::Sid& owner, std::vector<Ace> aces) {
  sim::SecurityDescriptor descriptor;
  descriptor.owner = owner;
  descriptor.dacl = Acl{std::move(aces)};
  return descriptor;
}

TEST(AccessCheckTest, FollowsWindowsRules) {
  const sim::Token admin;  // Administrators, Everyone, Users ...
  struct Case {
    const char* what;
    sim::SecurityDescriptor descriptor;
    win::ACCESS_MASK desired;
    bool granted;
  };
  sim::SecurityDescriptor nullDacl;
  nullDacl.dacl = std::nullopt;
  const Case cases[] = {
      {"a null DACL grants everything", nullDacl, win::KEY_ALL_ACCESS, true},
      {"an empty DACL grants nothing", Descriptor(sids::kSystem, {}), win::KEY_QUERY_VALUE, false},
      {"the owner may read and change the DACL", Descriptor(sids::kAdministrators, {}),
       win::READ_CONTROL | win::WRITE_DAC, true},
      {"... but nothing more", Descriptor(sids::kAdministrators, {}), win::DELETE, false},
      {"the owner's rights come before a deny entry",
       Descriptor(sids::kAdministrators, {{AceType::Deny, win::WRITE_DAC, 0, sids::kEveryone}}),
       win::WRITE_DAC, true},
      {"a deny entry first refuses",
       Descriptor(sids::kSystem, {{AceType::Deny, win::DELETE, 0, sids::kEveryone},
                                  {AceType::Allow, win::KEY_ALL_ACCESS, 0, sids::kAdministrators}}),
       win::DELETE, false},
      {"... and refuses the whole request",
       Descriptor(sids::kSystem, {{AceType::Deny, win::DELETE, 0, sids::kEveryone},
                                  {AceType::Allow, win::KEY_ALL_ACCESS, 0, sids::kAdministrators}}),
       win::KEY_READ | win::DELETE, false},
      {"a deny entry after the grant comes too late",
       Descriptor(sids::kSystem, {{AceType::Allow, win::KEY_ALL_ACCESS, 0, sids::kAdministrators},
                                  {AceType::Deny, win::DELETE, 0, sids::kEveryone}}),
       win::DELETE, true},
      {"rights add up over entries",
       Descriptor(sids::kSystem, {{AceType::Allow, win::KEY_READ, 0, sids::kUsers},
                                  {AceType::Allow, win::DELETE, 0, sids::kEveryone}}),
       win::KEY_READ | win::DELETE, true},
      {"a missing right refuses",
       Descriptor(sids::kSystem, {{AceType::Allow, win::KEY_READ, 0, sids::kAdministrators}}),
       win::KEY_READ | win::DELETE, false},
      {"entries of other trustees do not count",
       Descriptor(sids::kSystem, {{AceType::Allow, win::KEY_ALL_ACCESS, 0, sids::kSystem}}),
       win::KEY_READ, false},
      {"inherit-only entries do not count",
       Descriptor(sids::kSystem, {{AceType::Allow, win::KEY_ALL_ACCESS, CI | IO, sids::kEveryone}}),
       win::KEY_READ, false},
      {"generic rights of an entry are mapped",
       Descriptor(sids::kSystem, {{AceType::Allow, win::GENERIC_ALL, 0, sids::kEveryone}}),
       win::DELETE, true},
      {"generic rights asked for are mapped",
       Descriptor(sids::kSystem, {{AceType::Allow, win::KEY_READ, 0, sids::kEveryone}}),
       win::GENERIC_READ, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sim::AccessCheck(admin, c.descriptor, c.desired, sim::kKeyMapping), c.granted) << c.what;
  }
  EXPECT_EQ(sim::MaximumAllowed(admin, cases[5].descriptor, sim::kKeyMapping),
            win::KEY_ALL_ACCESS & ~win::DELETE);
}

TEST(InheritanceTest, ChildrenTakeWhatTheEntryFlagsPassOn) {
  const win::ACCESS_MASK all = sim::kFileMapping.all;
  const Acl parent{{
      {AceType::Allow, win::KEY_READ, CI, sids::kUsers},
      {AceType::Allow, win::GENERIC_ALL, OI | CI, sids::kAdministrators},
      {AceType::Allow, win::DELETE, OI, sids::kEveryone},
      {AceType::Deny, win::WRITE_DAC, CI | NP, sids::kPowerUsers},
      {AceType::Allow, all, CI | IO, sids::kCreatorOwner},
      {AceType::Allow, all, 0, sids::kSystem},
  }};
  const std::vector<Ace> folder = {
      {AceType::Allow, win::KEY_READ, CI | ID, sids::kUsers},
      {AceType::Allow, all, ID, sids::kAdministrators},  // mapped for use ...
      {AceType::Allow, win::GENERIC_ALL, OI | CI | IO | ID, sids::kAdministrators},  // ... and passed on
      {AceType::Allow, win::DELETE, OI | IO | ID, sids::kEveryone},
      {AceType::Deny, win::WRITE_DAC, ID, sids::kPowerUsers},
      {AceType::Allow, all, ID, "S-1-5-21-7"},  // CREATOR OWNER: the new folder's owner
      {AceType::Allow, all, CI | IO | ID, sids::kCreatorOwner},
  };
  const std::vector<Ace> file = {
      {AceType::Allow, all, ID, sids::kAdministrators},
      {AceType::Allow, win::DELETE, ID, sids::kEveryone},
  };
  EXPECT_EQ(sim::InheritedEntries(parent, true, sim::kFileMapping, "S-1-5-21-7").aces, folder);
  EXPECT_EQ(sim::InheritedEntries(parent, false, sim::kFileMapping, "S-1-5-21-7").aces, file);

  // Re-applying keeps the explicit entries first and replaces the inherited ones.
  sim::SecurityDescriptor child = Descriptor(
      sids::kAdministrators, {{AceType::Allow, win::KEY_READ, ID, sids::kSystem},
                              {AceType::Deny, win::DELETE, 0, sids::kEveryone}});
  const Acl newParent{{{AceType::Allow, win::KEY_WRITE, CI, sids::kUsers}}};
  sim::ReapplyInheritance(child, newParent, true, sim::kKeyMapping);
  EXPECT_EQ(child.dacl->aces, (std::vector<Ace>{{AceType::Deny, win::DELETE, 0, sids::kEveryone},
                                                {AceType::Allow, win::KEY_WRITE, CI | ID, sids::kUsers}}));
  child.daclProtected = true;
  const auto before = child.dacl;
  sim::ReapplyInheritance(child, parent, true, sim::kKeyMapping);
  EXPECT_EQ(child.dacl, before);
}

// A machine and one process with its registry and security services.
class SecurityTest : public testing::Test {
 protected:
  void Start(const std::string& preset, bool wow64) {
    security.reset();
    registry.reset();
    process.reset();
    machine = sim::SimMachine::FromPreset(preset);
    process = std::make_shared<sim::SimProcess>(*machine, 1000,
                                                "C:\\QPR730\\QPR730_Installer.exe", nullptr,
                                                "QPR730_Installer.exe", "C:\\QPR730");
    process->wow64 = wow64;
    registry = std::make_unique<sim::SimRegistry>(*process);
    security = std::make_unique<sim::SimSecurity>(*process);
  }

  sim::RegistryStore& store() { return *machine->registry; }

  // The DACL edit of the permission engine: read the key's list, merge one
  // entry for a trustee named "Everyone", write it back.
  win::DWORD GrantEveryoneFullControl(const std::string& path) {
    win::HKEY key = 0;
    if (auto status = registry->RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, path.c_str(), 0,
                                              win::READ_CONTROL | win::WRITE_DAC |
                                                  win::KEY_ENUMERATE_SUB_KEYS,
                                              &key)) {
      return status;
    }
    win::PACL oldDacl = nullptr;
    win::PACL newDacl = nullptr;
    win::PSECURITY_DESCRIPTOR descriptor = nullptr;
    win::DWORD status = security->GetSecurityInfo(key, win::SE_REGISTRY_KEY,
                                                  win::DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                                  &oldDacl, nullptr, &descriptor);
    win::EXPLICIT_ACCESS_A entry{};
    char everyone[] = "Everyone";
    security->BuildExplicitAccessWithNameA(&entry, everyone, win::KEY_ALL_ACCESS, win::GRANT_ACCESS,
                                           CI);
    if (!status) status = security->SetEntriesInAclA(1, &entry, oldDacl, &newDacl);
    if (!status) {
      status = security->SetSecurityInfo(key, win::SE_REGISTRY_KEY, win::DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, newDacl, nullptr);
    }
    EXPECT_EQ(security->LocalFree(newDacl), nullptr);
    EXPECT_EQ(security->LocalFree(descriptor), nullptr);
    registry->RegCloseKey(key);
    return status;
  }

  // A list from SetEntriesInAclA with one entry merged into `old`.
  std::vector<Ace> Merge(win::PACL old, win::DWORD mode, const char* trustee, win::DWORD mask,
                         win::DWORD inheritance, win::DWORD* status) {
    win::EXPLICIT_ACCESS_A entry{};
    std::string name = trustee;
    security->BuildExplicitAccessWithNameA(&entry, name.data(), mask, mode, inheritance);
    win::PACL merged = nullptr;
    *status = security->SetEntriesInAclA(1, &entry, old, &merged);
    if (*status) return {};
    std::vector<Ace> aces = sim::security_objects::FindAcl(merged)->acl.aces;
    security->LocalFree(merged);
    return aces;
  }

  std::unique_ptr<sim::SimMachine> machine;
  std::shared_ptr<sim::SimProcess> process;
  std::unique_ptr<sim::SimRegistry> registry;
  std::unique_ptr<sim::SimSecurity> security;
};

TEST_F(SecurityTest, GrantingEveryoneLetsAnAdministratorDeleteAnEnumerationKey) {
  Start("xp", false);
  store().Create("HKLM\\" + kEnumKey + "\\1&2&3");  // a device instance the system made

  // SYSTEM's key: an administrator may neither add to it nor delete it.
  win::HKEY key = 0;
  EXPECT_EQ(registry->RegCreateKeyExA(win::HKEY_LOCAL_MACHINE, (kEnumKey + "\\Other").c_str(), 0,
                                      nullptr, 0, win::KEY_WRITE, nullptr, &key, nullptr),
            win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(registry->SHDeleteKeyA(win::HKEY_LOCAL_MACHINE, kEnumKey.c_str()), win::ERROR_ACCESS_DENIED);
  EXPECT_NE(store().Find("HKLM\\" + kEnumKey + "\\1&2&3"), nullptr);

  ASSERT_EQ(GrantEveryoneFullControl(kEnumKey), 0u);
  const auto& granted = store().Find("HKLM\\" + kEnumKey)->security.dacl->aces;
  ASSERT_FALSE(granted.empty());
  EXPECT_EQ(granted.front(), (Ace{AceType::Allow, win::KEY_ALL_ACCESS, CI, sids::kEveryone}));
  // The sub-key received the entry through inheritance; the parent did not.
  const auto& inherited = store().Find("HKLM\\" + kEnumKey + "\\1&2&3")->security.dacl->aces;
  EXPECT_EQ(inherited.front(), (Ace{AceType::Allow, win::KEY_ALL_ACCESS, CI | ID, sids::kEveryone}));
  const std::string usbprint = "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT";
  EXPECT_EQ(store().Find(usbprint)->security,
            sim::RegistryStore::SystemChildSecurity(*store().Find(usbprint)->parent));

  EXPECT_EQ(registry->SHDeleteKeyA(win::HKEY_LOCAL_MACHINE, kEnumKey.c_str()), 0);
  EXPECT_EQ(store().Find("HKLM\\" + kEnumKey), nullptr);
  EXPECT_NE(store().Find(usbprint), nullptr);
}

TEST_F(SecurityTest, On64BitWindowsTheGrantedKeyGoesOnlyAfterItsSubKeys) {
  Start("win7-64", true);
  store().Create("HKLM\\" + kEnumKey + "\\1&2&3");
  ASSERT_EQ(GrantEveryoneFullControl(kEnumKey), 0u);
  auto deleteKey = [&](const std::string& path) {
    return registry->CallRegDeleteKeyExA(kRegDeleteKeyExA, win::HKEY_LOCAL_MACHINE, path.c_str(),
                                         win::KEY_WOW64_64KEY, 0);
  };
  EXPECT_EQ(deleteKey(kEnumKey), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(deleteKey(kEnumKey + "\\1&2&3"), 0);
  EXPECT_EQ(deleteKey(kEnumKey), 0);
  EXPECT_EQ(store().Find("HKLM\\" + kEnumKey), nullptr);
}

TEST_F(SecurityTest, EntriesAreMergedAsWindowsDocumentsIt) {
  Start("xp", false);
  const std::string path = "HKLM\\SOFTWARE\\Halvorn";
  store().Create(path)->security = Descriptor(
      sids::kAdministrators, {{AceType::Deny, win::DELETE, 0, sids::kUsers},
                              {AceType::Allow, win::KEY_READ, CI, sids::kAdministrators},
                              {AceType::Allow, win::KEY_ALL_ACCESS, CI | ID, sids::kSystem}});
  win::PACL old = nullptr;
  win::PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(security->GetNamedSecurityInfoA("MACHINE\\SOFTWARE\\Halvorn", win::SE_REGISTRY_KEY,
                                            win::DACL_SECURITY_INFORMATION, nullptr, nullptr, &old,
                                            nullptr, &descriptor),
            0u);
  const Ace denyUsers{AceType::Deny, win::DELETE, 0, sids::kUsers};
  const Ace admins{AceType::Allow, win::KEY_READ, CI, sids::kAdministrators};
  const Ace system{AceType::Allow, win::KEY_ALL_ACCESS, CI | ID, sids::kSystem};
  struct Case {
    const char* what;
    win::DWORD mode;
    const char* trustee;
    win::DWORD mask;
    win::DWORD inheritance;
    std::vector<Ace> expected;
  };
  const Case cases[] = {
      {"a grant goes before the allow entries", win::GRANT_ACCESS, "Everyone", win::KEY_READ, CI,
       {denyUsers, {AceType::Allow, win::KEY_READ, CI, sids::kEveryone}, admins, system}},
      {"a grant joins the trustee's entry", win::GRANT_ACCESS, "BUILTIN\\Administrators",
       win::DELETE, CI,
       {denyUsers, {AceType::Allow, win::KEY_READ | win::DELETE, CI, sids::kAdministrators}, system}},
      {"... of the same inheritance only", win::GRANT_ACCESS, "administrators", win::DELETE, 0,
       {denyUsers, {AceType::Allow, win::DELETE, 0, sids::kAdministrators}, admins, system}},
      {"a set replaces the trustee's entries", win::SET_ACCESS, "Users", win::KEY_READ, CI,
       {{AceType::Allow, win::KEY_READ, CI, sids::kUsers}, admins, system}},
      {"a deny goes first and takes from the allow entry", win::DENY_ACCESS, "Administrators",
       win::KEY_QUERY_VALUE, CI,
       {{AceType::Deny, win::KEY_QUERY_VALUE, CI, sids::kAdministrators}, denyUsers,
        {AceType::Allow, win::KEY_READ & ~win::KEY_QUERY_VALUE, CI, sids::kAdministrators}, system}},
      {"a revoke drops the trustee's allow entries", win::REVOKE_ACCESS, "Administrators", 0, 0,
       {denyUsers, system}},
      {"inherited entries are not touched", win::REVOKE_ACCESS, "SYSTEM", 0, 0,
       {denyUsers, admins, system}},
      {"not used: the list as it was", win::NOT_USED_ACCESS, "Everyone", win::KEY_ALL_ACCESS, CI,
       {denyUsers, admins, system}},
  };
  for (const Case& c : cases) {
    win::DWORD status = 1;
    EXPECT_EQ(Merge(old, c.mode, c.trustee, c.mask, c.inheritance, &status), c.expected) << c.what;
    EXPECT_EQ(status, 0u) << c.what;
  }
  win::DWORD status = 0;
  Merge(old, win::GRANT_ACCESS, "Nobody", win::KEY_READ, CI, &status);
  EXPECT_EQ(status, win::ERROR_NONE_MAPPED);

  // A trustee given by SID, on a new list.
  win::PSID everyone = nullptr;
  ASSERT_TRUE(security->AllocateAndInitializeSid(&win::SECURITY_WORLD_SID_AUTHORITY, 1,
                                                 win::SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                                 &everyone));
  win::EXPLICIT_ACCESS_A entry{};
  entry.grfAccessPermissions = win::GENERIC_ALL;
  entry.grfAccessMode = win::SET_ACCESS;
  entry.grfInheritance = win::SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  entry.Trustee.TrusteeForm = win::TRUSTEE_IS_SID;
  entry.Trustee.TrusteeType = win::TRUSTEE_IS_WELL_KNOWN_GROUP;
  entry.Trustee.ptstrName = static_cast<char*>(everyone);
  win::PACL list = nullptr;
  ASSERT_EQ(security->SetEntriesInAclA(1, &entry, nullptr, &list), 0u);
  EXPECT_EQ(sim::security_objects::FindAcl(list)->acl.aces,
            (std::vector<Ace>{{AceType::Allow, win::GENERIC_ALL, OI | CI, sids::kEveryone}}));
  EXPECT_EQ(security->FreeSid(everyone), nullptr);
  EXPECT_EQ(security->LocalFree(list), nullptr);
  EXPECT_EQ(security->LocalFree(descriptor), nullptr);
  // What was freed is no longer ours to free.
  sim::SetLastError(0);
  EXPECT_EQ(security->LocalFree(list), list);
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INVALID_HANDLE);
}

TEST_F(SecurityTest, KeySecurityNeedsTheRightsOfTheHandle) {
  Start("xp", false);
  win::HKEY reader = 0;
  win::HKEY queryOnly = 0;
  const char* path = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  ASSERT_EQ(registry->RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, path, 0, win::KEY_READ, &reader), 0);
  ASSERT_EQ(registry->RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, path, 0, win::KEY_QUERY_VALUE, &queryOnly), 0);

  win::PSID owner = nullptr;
  win::PACL dacl = nullptr;
  win::PSECURITY_DESCRIPTOR descriptor = nullptr;
  const win::DWORD both = win::OWNER_SECURITY_INFORMATION | win::DACL_SECURITY_INFORMATION;
  EXPECT_EQ(security->GetSecurityInfo(queryOnly, win::SE_REGISTRY_KEY, both, &owner, nullptr, &dacl,
                                      nullptr, &descriptor),
            win::ERROR_ACCESS_DENIED);
  ASSERT_EQ(security->GetSecurityInfo(reader, win::SE_REGISTRY_KEY, both, &owner, nullptr, &dacl,
                                      nullptr, &descriptor),
            0u);
  EXPECT_EQ(sim::security_objects::FindSid(owner)->sid, sids::kAdministrators);
  EXPECT_EQ(sim::security_objects::FindAcl(dacl)->acl,
            *store().Find(std::string("HKLM\\") + path)->security.dacl);
  // KEY_READ holds READ_CONTROL but not WRITE_DAC.
  EXPECT_EQ(security->SetSecurityInfo(reader, win::SE_REGISTRY_KEY, win::DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, dacl, nullptr),
            win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(security->GetSecurityInfo(0x4444, win::SE_REGISTRY_KEY, both, &owner, nullptr, &dacl,
                                      nullptr, &descriptor),
            win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(security->LocalFree(descriptor), nullptr);

  // Files by name, through the file system.
  ASSERT_EQ(security->GetNamedSecurityInfoA("c:\\windows", win::SE_FILE_OBJECT,
                                            win::DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                            nullptr, &descriptor),
            0u);
  EXPECT_EQ(sim::security_objects::FindAcl(dacl)->acl,
            *machine->files->SecurityOf(machine->os.windowsDirectory)->dacl);
  EXPECT_EQ(security->LocalFree(descriptor), nullptr);
  EXPECT_EQ(security->GetNamedSecurityInfoA("C:\\NoSuchFolder", win::SE_FILE_OBJECT,
                                            win::DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                            nullptr, &descriptor),
            win::ERROR_FILE_NOT_FOUND);
}

TEST_F(SecurityTest, SecurityAttributesCarryTheRequestedList) {
  Start("xp", false);
  EXPECT_FALSE(sim::SecurityFromAttributes(nullptr).given);
  win::SECURITY_DESCRIPTOR descriptor{};
  win::SECURITY_ATTRIBUTES attributes{12, &descriptor, win::TRUE};
  sim::SetLastError(0);
  EXPECT_FALSE(security->SetSecurityDescriptorDacl(&descriptor, win::TRUE, nullptr, win::FALSE));
  EXPECT_EQ(sim::GetLastError(), 1338u);  // ERROR_INVALID_SECURITY_DESCR: not initialised
  EXPECT_FALSE(security->InitializeSecurityDescriptor(&descriptor, 2));
  ASSERT_TRUE(security->InitializeSecurityDescriptor(&descriptor, win::SECURITY_DESCRIPTOR_REVISION));
  EXPECT_FALSE(sim::SecurityFromAttributes(&attributes).given);  // no DACL present

  ASSERT_TRUE(security->SetSecurityDescriptorDacl(&descriptor, win::TRUE, nullptr, win::FALSE));
  sim::RequestedSecurity requested = sim::SecurityFromAttributes(&attributes);
  EXPECT_TRUE(requested.given && requested.nullDacl);

  win::EXPLICIT_ACCESS_A entry{};
  char users[] = "Users";
  security->BuildExplicitAccessWithNameA(&entry, users, win::KEY_WRITE, win::SET_ACCESS, CI);
  EXPECT_EQ(entry.Trustee.TrusteeForm, win::TRUSTEE_IS_NAME);
  EXPECT_EQ(entry.Trustee.TrusteeType, win::TRUSTEE_IS_UNKNOWN);
  win::PACL list = nullptr;
  ASSERT_EQ(security->SetEntriesInAclA(1, &entry, nullptr, &list), 0u);
  ASSERT_TRUE(security->SetSecurityDescriptorDacl(&descriptor, win::TRUE, list, win::FALSE));
  requested = sim::SecurityFromAttributes(&attributes);
  ASSERT_TRUE(requested.given);
  EXPECT_FALSE(requested.nullDacl);

  // A new key gets the requested entries first, then what its parent passes on.
  win::HKEY key = 0;
  ASSERT_EQ(registry->RegCreateKeyExA(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvorn", 0, nullptr, 0,
                                      win::KEY_WRITE, &attributes, &key, nullptr),
            0);
  registry->RegCloseKey(key);
  std::vector<Ace> expected = {{AceType::Allow, win::KEY_WRITE, CI, sids::kUsers}};
  for (const Ace& ace : store().Find("HKLM\\SOFTWARE")->security.dacl->aces) {
    expected.push_back(Ace{ace.type, ace.mask, CI | ID, ace.sid});
  }
  EXPECT_EQ(store().Find("HKLM\\SOFTWARE\\Halvorn")->security.dacl->aces, expected);
  security->LocalFree(list);
}

TEST_F(SecurityTest, RestartNeedsTheShutdownPrivilegeEnabled) {
  Start("xp", false);
  machine->token.privileges["SeShutdownPrivilege"] = sim::Privilege{true, false};
  machine->clock.Advance(1234);
  sim::SetLastError(0);
  EXPECT_FALSE(security->ExitWindowsEx(win::EWX_REBOOT | win::EWX_FORCE, 0));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_PRIVILEGE_NOT_HELD);
  EXPECT_TRUE(machine->restartRequests.empty());

  // The usual sequence: open the token, look the privilege up, enable it.
  win::HANDLE token = 0;
  ASSERT_TRUE(security->OpenProcessToken(static_cast<win::HANDLE>(-1),
                                         win::TOKEN_ADJUST_PRIVILEGES | win::TOKEN_QUERY, &token));
  win::TOKEN_PRIVILEGES privileges{1, {}, win::SE_PRIVILEGE_ENABLED};
  ASSERT_TRUE(security->LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Luid));
  EXPECT_EQ(privileges.Luid.LowPart, 19u);
  sim::SetLastError(99);
  EXPECT_TRUE(security->AdjustTokenPrivileges(token, win::FALSE, &privileges));
  EXPECT_EQ(sim::GetLastError(), 0u);
  ASSERT_TRUE(security->ExitWindowsEx(win::EWX_REBOOT | win::EWX_FORCE, 0));
  ASSERT_EQ(machine->restartRequests.size(), 1u);
  const sim::RestartRequest& request = machine->restartRequests.front();
  EXPECT_EQ(request.flags, win::EWX_REBOOT | win::EWX_FORCE);
  EXPECT_EQ(request.time, 1234);
  EXPECT_EQ(request.program, "QPR730_Installer.exe");

  // A privilege the token does not hold: the call succeeds, but not everything was assigned.
  machine->token.privileges.erase("SeShutdownPrivilege");
  EXPECT_TRUE(security->AdjustTokenPrivileges(token, win::FALSE, &privileges));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_NOT_ALL_ASSIGNED);
  EXPECT_FALSE(security->ExitWindowsEx(win::EWX_REBOOT | win::EWX_FORCE, 0));
  EXPECT_EQ(machine->restartRequests.size(), 1u);

  EXPECT_FALSE(security->LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &privileges.Luid));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_NO_SUCH_PRIVILEGE);
  win::HANDLE queryToken = 0;
  ASSERT_TRUE(security->OpenProcessToken(static_cast<win::HANDLE>(-1), win::TOKEN_QUERY, &queryToken));
  EXPECT_FALSE(security->AdjustTokenPrivileges(queryToken, win::FALSE, &privileges));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_ACCESS_DENIED);
}

}  // namespace
