// Deleting keys under HKEY_LOCAL_MACHINE in the registry view where the
// spooler and the system keep them: on WOW64 in the 64-bit view with
// RegDeleteKeyExA (bound at run time; one key without sub-keys), otherwise
// with its whole sub-tree by SHDeleteKeyA.
#pragma once

#include "common/setup_log.h"
#include "platform/platform.h"

// The two wordings of the failure lines.
enum class KeyLogVariant {
  Plain,  // "MyRegDeleteKeyEx failed : %s (%d) ", "SHDeleteKey failed : %s (%d) "
  Comma,  // "MyRegDeleteKeyEx failed : %s, (%d) ", "SHDeleteKey failed : %s , (%d) "
};

// RegDeleteKeyExA looked up in "Advapi32" at every call; -1 when it does not
// exist (the last error is then the one the lookup left).
win::LSTATUS MyRegDeleteKeyEx(win::Platform& platform, win::HKEY rootKey, const char* subKey,
                              win::REGSAM samDesired, win::DWORD reserved);

// Deletes an HKLM key; true when it was deleted. Failures are logged.
bool DeleteHklmKey(win::Platform& platform, SetupLog& log, const char* subKey, int wow64,
                   KeyLogVariant variant);

// Deletes an HKLM key only when it can be opened; logs nothing when not.
void DeleteExistingHklmKey(win::Platform& platform, SetupLog& log, const char* subKey, int wow64,
                           KeyLogVariant variant);
