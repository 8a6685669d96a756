// Changes the access list of one registry key by a short permission
// specification such as "/PG:Everyone:Fc" (grant Everyone full control,
// inherited by sub-keys). Reports through its status code only.
//
// Specification: switch, trustee name and (for deny, grant and set) the
// permission letters, separated by ":". The switch's second character must
// be P; its third selects the mode: D deny, G grant, R revoke, S set.
// Permission letters are pairs: Fc full control (0xF003F), Rd read
// (0x20019), Wr write (0x20026).
// Key path: ["\\machine\"]root["\sub\key"], root one of HKLM,
// HKEY_LOCAL_MACHINE, HKU, HKEY_USERS, HKCR, HKEY_CLASSES_ROOT, HKCU,
// HKEY_CURRENT_USER (only HKLM and HKU forms on a remote machine).
#pragma once

#include "platform/platform.h"

class RegistryAclEditor {
 public:
  explicit RegistryAclEditor(win::Platform& platform) : platform_(platform) {}

  // 0, ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER for a grammar error,
  // or the code of the first failing registry or security call.
  win::LONG ApplyPermissionSpec(const char* keyPath, const char* specification);

  // Opens the key of a key path with the rights its access list is read and
  // written with.
  win::LONG OpenKeyFromPath(const char* keyPath, win::HKEY* key);
  // The access mask of permission letters; status 87 when a pair is unknown
  // or the text has an odd length (mask 0 then).
  win::ACCESS_MASK ParsePermissionLetters(const char* letters, win::LONG* status);
  // Merges one entry into the key's access list.
  win::LONG WriteKeyDacl(win::HKEY key, win::EXPLICIT_ACCESS_A* entry);

 private:
  win::Platform& platform_;
};
