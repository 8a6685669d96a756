// What a Windows release looks like to the programs: version information,
// 32 or 64 bits, the run-time functions it has, and where its folders are.
// The machine presets and descriptions fill it; every part of the simulated
// machine builds its standard content from it.
#pragma once

#include <set>
#include <string>

#include "platform/win_types.h"

namespace sim {

struct OsLayout {
  std::string name = "Windows XP";
  win::DWORD platformId = 2;
  win::DWORD major = 5;
  win::DWORD minor = 1;
  win::DWORD build = 2600;
  win::BYTE productType = 1;  // VER_NT_WORKSTATION
  std::string servicePack = "Service Pack 3";
  bool is64Bit = false;
  // Functions that programs bind at run time and this release lacks, as
  // "module!function", e.g. "kernel32!IsWow64Process".
  std::set<std::string> missingFunctions;
  std::string windowsDirectory = "C:\\WINDOWS";
  // A machine whose GetVersionExA fails whatever it is asked (for tests).
  bool versionQueryFails = false;

  // Derived folders (no trailing backslash).
  std::string SystemDirectory() const {
    return windowsDirectory + (IsNt() ? "\\system32" : "\\SYSTEM");
  }
  std::string SysWow64Directory() const { return windowsDirectory + "\\SysWOW64"; }
  std::string TempDirectory() const { return windowsDirectory + "\\Temp"; }
  std::string InfDirectory() const { return windowsDirectory + "\\inf"; }
  bool IsNt() const { return platformId == 2; }
  // The extended version record arrived with Windows 2000 (and NT 4.0 SP6);
  // Windows 95, 98 and Me accept only the plain one.
  bool AcceptsExtendedVersionInfo() const {
    return IsNt() && (major >= 5 || servicePack == "Service Pack 6");
  }
  bool HasFunction(const std::string& moduleAndName) const {
    return missingFunctions.count(moduleAndName) == 0;
  }
};

}  // namespace sim
