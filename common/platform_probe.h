// The platform probe: whether the 32-bit program runs under WOW64 and which
// Windows release it runs on, as an OS level code.
#pragma once

#include "common/setup_log.h"
#include "platform/platform.h"

// OS level codes, compared only by order.
enum OsLevel : int {
  kWindows95 = 2000,
  kWindows98 = 2001,
  kWindowsMe = 2002,
  kWindowsNt4 = 2003,
  kWindows2000 = 2004,
  kWindowsXp = 2005,
  kWindowsXp64OrServer2003 = 2006,
  kWindowsVista = 2007,
  kWindowsServer2008 = 2008,
  kWindowsServer2008R2 = 2009,
  kWindows7 = 2010,  // also every release the table does not know
};

// 1 when the 32-bit program runs on 64-bit Windows, else 0.
int ProbeWow64(win::Kernel& kernel, SetupLog& log);

// The OS level code of the running Windows.
int CheckOS(win::Kernel& kernel, SetupLog& log);

// The table that maps version information to an OS level code.
int OsLevelOf(win::DWORD platformId, win::DWORD major, win::DWORD minor, win::BYTE productType);
