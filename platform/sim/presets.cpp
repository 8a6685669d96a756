// The named machine presets: one per Windows release the programs meet.
#include <stdexcept>

#include "platform/sim/sim_machine.h"

namespace sim {
namespace {

struct Preset {
  const char* name;
  const char* release;
  win::DWORD platformId, major, minor, build;
  win::BYTE productType;
  const char* servicePack;
  bool is64Bit;
  const char* windowsDirectory;
  std::vector<std::string> missingFunctions;
};

// Functions the programs bind at run time, and the releases that lack them:
// IsWow64Process arrived with Windows XP SP2 (and Server 2003 SP1);
// RegDeleteKeyExA with Windows Vista and the 64-bit XP / Server 2003;
// GetSystemWow64DirectoryA with Windows XP (failing with
// ERROR_CALL_NOT_IMPLEMENTED on 32-bit Windows); SetupUninstallOEMInfA with
// Windows XP.
const std::vector<std::string> kNone = {};
const std::vector<std::string> kAll = {"kernel32!IsWow64Process", "advapi32!RegDeleteKeyExA",
                                       "kernel32!GetSystemWow64DirectoryA",
                                       "setupapi!SetupUninstallOEMInfA"};
const std::vector<std::string> kXp32 = {"advapi32!RegDeleteKeyExA"};

const std::vector<Preset>& Presets() {
  static const std::vector<Preset> presets = {
      {"win95", "Windows 95", 1, 4, 0, 950, 0, "", false, "C:\\WINDOWS", kAll},
      {"win98", "Windows 98", 1, 4, 10, 1998, 0, "", false, "C:\\WINDOWS", kAll},
      {"winme", "Windows Me", 1, 4, 90, 3000, 0, "", false, "C:\\WINDOWS", kAll},
      {"nt4", "Windows NT 4.0", 2, 4, 0, 1381, 1, "Service Pack 6", false, "C:\\WINNT", kAll},
      {"win2000", "Windows 2000", 2, 5, 0, 2195, 1, "Service Pack 4", false, "C:\\WINNT", kAll},
      {"xp", "Windows XP", 2, 5, 1, 2600, 1, "Service Pack 3", false, "C:\\WINDOWS", kXp32},
      {"xp-x64", "Windows XP Professional x64", 2, 5, 2, 3790, 1, "Service Pack 2", true,
       "C:\\WINDOWS", kNone},
      {"server2003-64", "Windows Server 2003 x64", 2, 5, 2, 3790, 3, "Service Pack 2", true,
       "C:\\WINDOWS", kNone},
      {"vista", "Windows Vista", 2, 6, 0, 6002, 1, "Service Pack 2", false, "C:\\Windows",
       kNone},
      {"vista-64", "Windows Vista x64", 2, 6, 0, 6002, 1, "Service Pack 2", true, "C:\\Windows",
       kNone},
      {"server2008", "Windows Server 2008 x64", 2, 6, 0, 6002, 3, "Service Pack 2", true,
       "C:\\Windows", kNone},
      {"server2008r2", "Windows Server 2008 R2", 2, 6, 1, 7601, 3, "Service Pack 1", true,
       "C:\\Windows", kNone},
      {"win7", "Windows 7", 2, 6, 1, 7601, 1, "Service Pack 1", false, "C:\\Windows", kNone},
      {"win7-64", "Windows 7 x64", 2, 6, 1, 7601, 1, "Service Pack 1", true, "C:\\Windows",
       kNone},
      {"win8", "Windows 8", 2, 6, 2, 9200, 1, "", false, "C:\\Windows", kNone},
      // Windows 10 reports 6.2 build 9200 to a program whose manifest does not
      // declare it compatible (GetVersionEx is deprecated and lies from 8.1 on).
      {"win10-64", "Windows 10 x64", 2, 6, 2, 9200, 1, "", true, "C:\\Windows", kNone},
  };
  return presets;
}

}  // namespace

std::vector<std::string> SimMachine::PresetNames() {
  std::vector<std::string> names;
  for (const Preset& preset : Presets()) names.push_back(preset.name);
  return names;
}

nlohmann::json SimMachine::PresetDescription(const std::string& presetName) {
  for (const Preset& p : Presets()) {
    if (presetName != p.name) continue;
    return nlohmann::json{
        {"os",
         {{"name", p.release},
          {"platformId", p.platformId},
          {"major", p.major},
          {"minor", p.minor},
          {"build", p.build},
          {"productType", p.productType},
          {"servicePack", p.servicePack},
          {"is64Bit", p.is64Bit},
          {"windowsDirectory", p.windowsDirectory},
          {"missingFunctions", p.missingFunctions}}},
        {"clock", {{"start", "2026-12-11 09:00:00"}}},
    };
  }
  throw std::invalid_argument("no machine preset named \"" + presetName + "\"");
}

std::unique_ptr<SimMachine> SimMachine::FromPreset(const std::string& presetName) {
  return std::make_unique<SimMachine>(nlohmann::json{{"preset", presetName}});
}

}  // namespace sim
