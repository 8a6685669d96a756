// Security services: tokens and privileges, restart, SIDs, access lists of
// registry keys and folders.
#pragma once

#include "platform/win_constants.h"
#include "platform/win_types.h"

namespace win {

class Security {
 public:
  virtual ~Security() = default;

  // Tokens, privileges and restart.
  virtual BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) = 0;
  virtual BOOL LookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid) = 0;
  // Sets the thread's last error also on success: ERROR_NOT_ALL_ASSIGNED when
  // a privilege is not held, ERROR_SUCCESS otherwise.
  virtual BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll,
                                     const TOKEN_PRIVILEGES* newState) = 0;
  virtual BOOL ExitWindowsEx(UINT flags, DWORD reason) = 0;

  // Security identifiers.
  virtual BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority,
                                        BYTE subAuthorityCount, DWORD sub0, DWORD sub1,
                                        DWORD sub2, DWORD sub3, DWORD sub4, DWORD sub5,
                                        DWORD sub6, DWORD sub7, PSID* sid) = 0;
  virtual void* FreeSid(PSID sid) = 0;

  // Access lists. Lists and descriptors handed out here are released with
  // LocalFree, as on Windows.
  virtual void BuildExplicitAccessWithNameA(EXPLICIT_ACCESS_A* entry, char* trusteeName,
                                            DWORD permissions, DWORD accessMode,
                                            DWORD inheritance) = 0;
  virtual DWORD SetEntriesInAclA(DWORD count, EXPLICIT_ACCESS_A* entries, PACL oldAcl,
                                 PACL* newAcl) = 0;
  virtual DWORD GetSecurityInfo(HANDLE object, DWORD objectType, DWORD securityInfo,
                                PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                                PSECURITY_DESCRIPTOR* descriptor) = 0;
  virtual DWORD SetSecurityInfo(HANDLE object, DWORD objectType, DWORD securityInfo,
                                PSID owner, PSID group, PACL dacl, PACL sacl) = 0;
  virtual DWORD GetNamedSecurityInfoA(const char* objectName, DWORD objectType,
                                      DWORD securityInfo, PSID* owner, PSID* group, PACL* dacl,
                                      PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) = 0;
  virtual BOOL InitializeSecurityDescriptor(SECURITY_DESCRIPTOR* descriptor, DWORD revision) = 0;
  virtual BOOL SetSecurityDescriptorDacl(SECURITY_DESCRIPTOR* descriptor, BOOL daclPresent,
                                         PACL dacl, BOOL daclDefaulted) = 0;
  virtual void* LocalFree(void* memory) = 0;
};

}  // namespace win
