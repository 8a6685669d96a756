#include "platform/win32/win32_security.h"

#include <windows.h>
#include <aclapi.h>

#include <vector>

#include "platform/win32/win32_casts.h"

namespace win32 {

namespace {

// Our descriptor storage holds the real absolute descriptor.
static_assert(sizeof(win::SECURITY_DESCRIPTOR) >= sizeof(SECURITY_DESCRIPTOR));
static_assert(alignof(win::SECURITY_DESCRIPTOR) >= alignof(SECURITY_DESCRIPTOR));

// A handle given as an object: a predefined registry key needs the same
// widening as in the registry calls.
HANDLE ToRealObject(win::HANDLE object, win::DWORD objectType) {
  if (objectType == SE_REGISTRY_KEY) return ToRealKey(object);
  return ToReal<HANDLE>(object);
}

EXPLICIT_ACCESS_A ToRealEntry(const win::EXPLICIT_ACCESS_A& ours) {
  EXPLICIT_ACCESS_A real{};
  real.grfAccessPermissions = ours.grfAccessPermissions;
  real.grfAccessMode = static_cast<ACCESS_MODE>(ours.grfAccessMode);
  real.grfInheritance = ours.grfInheritance;
  real.Trustee.pMultipleTrustee = static_cast<TRUSTEE_A*>(ours.Trustee.pMultipleTrustee);
  real.Trustee.MultipleTrusteeOperation =
      static_cast<MULTIPLE_TRUSTEE_OPERATION>(ours.Trustee.MultipleTrusteeOperation);
  real.Trustee.TrusteeForm = static_cast<TRUSTEE_FORM>(ours.Trustee.TrusteeForm);
  real.Trustee.TrusteeType = static_cast<TRUSTEE_TYPE>(ours.Trustee.TrusteeType);
  real.Trustee.ptstrName = ours.Trustee.ptstrName;
  return real;
}

win::EXPLICIT_ACCESS_A FromRealEntry(const EXPLICIT_ACCESS_A& real) {
  win::EXPLICIT_ACCESS_A ours{};
  ours.grfAccessPermissions = real.grfAccessPermissions;
  ours.grfAccessMode = real.grfAccessMode;
  ours.grfInheritance = real.grfInheritance;
  ours.Trustee.pMultipleTrustee = real.Trustee.pMultipleTrustee;
  ours.Trustee.MultipleTrusteeOperation = real.Trustee.MultipleTrusteeOperation;
  ours.Trustee.TrusteeForm = real.Trustee.TrusteeForm;
  ours.Trustee.TrusteeType = real.Trustee.TrusteeType;
  ours.Trustee.ptstrName = real.Trustee.ptstrName;
  return ours;
}

// The out-parameters of Get(Named)SecurityInfo: real pointers handed back
// as the platform's opaque ones.
struct SecurityParts {
  PSID owner = nullptr;
  PSID group = nullptr;
  PACL dacl = nullptr;
  PACL sacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;

  void StoreInto(win::PSID* ownerOut, win::PSID* groupOut, win::PACL* daclOut,
                 win::PACL* saclOut, win::PSECURITY_DESCRIPTOR* descriptorOut) const {
    if (ownerOut) *ownerOut = owner;
    if (groupOut) *groupOut = group;
    if (daclOut) *daclOut = dacl;
    if (saclOut) *saclOut = sacl;
    if (descriptorOut) *descriptorOut = descriptor;
  }
};

}  // namespace

win::BOOL Win32Security::OpenProcessToken(win::HANDLE process, win::DWORD desiredAccess,
                                          win::HANDLE* token) {
  HANDLE opened = nullptr;
  BOOL ok = ::OpenProcessToken(ToReal<HANDLE>(process), desiredAccess, &opened);
  *token = FromReal(opened);
  return ok;
}

win::BOOL Win32Security::LookupPrivilegeValueA(const char* systemName, const char* name,
                                               win::LUID* luid) {
  LUID real{};
  BOOL ok = ::LookupPrivilegeValueA(systemName, name, &real);
  luid->LowPart = real.LowPart;
  luid->HighPart = real.HighPart;
  return ok;
}

win::BOOL Win32Security::AdjustTokenPrivileges(win::HANDLE token, win::BOOL disableAll,
                                               const win::TOKEN_PRIVILEGES* newState) {
  TOKEN_PRIVILEGES real{};
  real.PrivilegeCount = newState->PrivilegeCount;
  real.Privileges[0].Luid.LowPart = newState->Luid.LowPart;
  real.Privileges[0].Luid.HighPart = newState->Luid.HighPart;
  real.Privileges[0].Attributes = newState->Attributes;
  // The real call sets the last error also on success (ERROR_NOT_ALL_ASSIGNED).
  return ::AdjustTokenPrivileges(ToReal<HANDLE>(token), disableAll, &real, 0, nullptr, nullptr);
}

win::BOOL Win32Security::ExitWindowsEx(win::UINT flags, win::DWORD reason) {
  return ::ExitWindowsEx(flags, reason);
}

win::BOOL Win32Security::AllocateAndInitializeSid(const win::SID_IDENTIFIER_AUTHORITY* authority,
                                                  win::BYTE subAuthorityCount, win::DWORD sub0,
                                                  win::DWORD sub1, win::DWORD sub2,
                                                  win::DWORD sub3, win::DWORD sub4,
                                                  win::DWORD sub5, win::DWORD sub6,
                                                  win::DWORD sub7, win::PSID* sid) {
  SID_IDENTIFIER_AUTHORITY real{};
  for (int i = 0; i < 6; ++i) real.Value[i] = authority->Value[i];
  PSID allocated = nullptr;
  BOOL ok = ::AllocateAndInitializeSid(&real, subAuthorityCount, sub0, sub1, sub2, sub3, sub4,
                                       sub5, sub6, sub7, &allocated);
  *sid = allocated;
  return ok;
}

void* Win32Security::FreeSid(win::PSID sid) { return ::FreeSid(sid); }

void Win32Security::BuildExplicitAccessWithNameA(win::EXPLICIT_ACCESS_A* entry,
                                                 char* trusteeName, win::DWORD permissions,
                                                 win::DWORD accessMode,
                                                 win::DWORD inheritance) {
  EXPLICIT_ACCESS_A real{};
  ::BuildExplicitAccessWithNameA(&real, trusteeName, permissions,
                                 static_cast<ACCESS_MODE>(accessMode), inheritance);
  *entry = FromRealEntry(real);
}

win::DWORD Win32Security::SetEntriesInAclA(win::DWORD count, win::EXPLICIT_ACCESS_A* entries,
                                           win::PACL oldAcl, win::PACL* newAcl) {
  std::vector<EXPLICIT_ACCESS_A> real;
  for (win::DWORD i = 0; i < count; ++i) real.push_back(ToRealEntry(entries[i]));
  PACL created = nullptr;
  DWORD status = ::SetEntriesInAclA(count, real.empty() ? nullptr : real.data(),
                                    static_cast<PACL>(oldAcl), &created);
  *newAcl = created;
  return status;
}

win::DWORD Win32Security::GetSecurityInfo(win::HANDLE object, win::DWORD objectType,
                                          win::DWORD securityInfo, win::PSID* owner,
                                          win::PSID* group, win::PACL* dacl, win::PACL* sacl,
                                          win::PSECURITY_DESCRIPTOR* descriptor) {
  SecurityParts parts;
  DWORD status = ::GetSecurityInfo(
      ToRealObject(object, objectType), static_cast<SE_OBJECT_TYPE>(objectType), securityInfo,
      owner ? &parts.owner : nullptr, group ? &parts.group : nullptr,
      dacl ? &parts.dacl : nullptr, sacl ? &parts.sacl : nullptr,
      descriptor ? &parts.descriptor : nullptr);
  parts.StoreInto(owner, group, dacl, sacl, descriptor);
  return status;
}

win::DWORD Win32Security::SetSecurityInfo(win::HANDLE object, win::DWORD objectType,
                                          win::DWORD securityInfo, win::PSID owner,
                                          win::PSID group, win::PACL dacl, win::PACL sacl) {
  return ::SetSecurityInfo(ToRealObject(object, objectType),
                           static_cast<SE_OBJECT_TYPE>(objectType), securityInfo, owner, group,
                           static_cast<PACL>(dacl), static_cast<PACL>(sacl));
}

win::DWORD Win32Security::GetNamedSecurityInfoA(const char* objectName, win::DWORD objectType,
                                                win::DWORD securityInfo, win::PSID* owner,
                                                win::PSID* group, win::PACL* dacl,
                                                win::PACL* sacl,
                                                win::PSECURITY_DESCRIPTOR* descriptor) {
  SecurityParts parts;
  DWORD status = ::GetNamedSecurityInfoA(
      objectName, static_cast<SE_OBJECT_TYPE>(objectType), securityInfo,
      owner ? &parts.owner : nullptr, group ? &parts.group : nullptr,
      dacl ? &parts.dacl : nullptr, sacl ? &parts.sacl : nullptr,
      descriptor ? &parts.descriptor : nullptr);
  parts.StoreInto(owner, group, dacl, sacl, descriptor);
  return status;
}

win::BOOL Win32Security::InitializeSecurityDescriptor(win::SECURITY_DESCRIPTOR* descriptor,
                                                      win::DWORD revision) {
  return ::InitializeSecurityDescriptor(descriptor->opaque, revision);
}

win::BOOL Win32Security::SetSecurityDescriptorDacl(win::SECURITY_DESCRIPTOR* descriptor,
                                                   win::BOOL daclPresent, win::PACL dacl,
                                                   win::BOOL daclDefaulted) {
  return ::SetSecurityDescriptorDacl(descriptor->opaque, daclPresent, static_cast<PACL>(dacl),
                                     daclDefaulted);
}

void* Win32Security::LocalFree(void* memory) { return ::LocalFree(memory); }

}  // namespace win32
