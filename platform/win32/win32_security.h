// The security services over advapi32 and user32 (restart).
#pragma once

#include "platform/security.h"

namespace win32 {

class Win32Security : public win::Security {
 public:
  win::BOOL OpenProcessToken(win::HANDLE process, win::DWORD desiredAccess,
                             win::HANDLE* token) override;
  win::BOOL LookupPrivilegeValueA(const char* systemName, const char* name,
                                  win::LUID* luid) override;
  win::BOOL AdjustTokenPrivileges(win::HANDLE token, win::BOOL disableAll,
                                  const win::TOKEN_PRIVILEGES* newState) override;
  win::BOOL ExitWindowsEx(win::UINT flags, win::DWORD reason) override;

  win::BOOL AllocateAndInitializeSid(const win::SID_IDENTIFIER_AUTHORITY* authority,
                                     win::BYTE subAuthorityCount, win::DWORD sub0,
                                     win::DWORD sub1, win::DWORD sub2, win::DWORD sub3,
                                     win::DWORD sub4, win::DWORD sub5, win::DWORD sub6,
                                     win::DWORD sub7, win::PSID* sid) override;
  void* FreeSid(win::PSID sid) override;

  void BuildExplicitAccessWithNameA(win::EXPLICIT_ACCESS_A* entry, char* trusteeName,
                                    win::DWORD permissions, win::DWORD accessMode,
                                    win::DWORD inheritance) override;
  win::DWORD SetEntriesInAclA(win::DWORD count, win::EXPLICIT_ACCESS_A* entries,
                              win::PACL oldAcl, win::PACL* newAcl) override;
  win::DWORD GetSecurityInfo(win::HANDLE object, win::DWORD objectType,
                             win::DWORD securityInfo, win::PSID* owner, win::PSID* group,
                             win::PACL* dacl, win::PACL* sacl,
                             win::PSECURITY_DESCRIPTOR* descriptor) override;
  win::DWORD SetSecurityInfo(win::HANDLE object, win::DWORD objectType, win::DWORD securityInfo,
                             win::PSID owner, win::PSID group, win::PACL dacl,
                             win::PACL sacl) override;
  win::DWORD GetNamedSecurityInfoA(const char* objectName, win::DWORD objectType,
                                   win::DWORD securityInfo, win::PSID* owner, win::PSID* group,
                                   win::PACL* dacl, win::PACL* sacl,
                                   win::PSECURITY_DESCRIPTOR* descriptor) override;
  win::BOOL InitializeSecurityDescriptor(win::SECURITY_DESCRIPTOR* descriptor,
                                         win::DWORD revision) override;
  win::BOOL SetSecurityDescriptorDacl(win::SECURITY_DESCRIPTOR* descriptor, win::BOOL daclPresent,
                                      win::PACL dacl, win::BOOL daclDefaulted) override;
  void* LocalFree(void* memory) override;
};

}  // namespace win32
