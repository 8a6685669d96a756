#include "Installer/QPR730_Installer/DriverInstaller.h"

#include "Installer/QPR730_Installer/InstallerStrings.h"

std::string PortName(int portCode) {
  static const char* const kNames[] = {"COM1", "COM2", "COM3", "COM4", "LPT1", "LPT2"};
  if (portCode < kPortCom1 || portCode > kPortLpt2) return {};
  return kNames[portCode - kPortCom1];
}

std::string PrinterPortName(int portCode) {
  std::string name = PortName(portCode);
  return name.empty() ? name : name + ":";
}

DriverInstaller::DriverInstaller(fw::Application& app, SetupLog& log,
                                 const ProductProfile& profile)
    : app_(app), log_(log), profile_(profile) {
  makerName = profile.Load(ids::kMakerName);
  driverName = profile.Load(ids::kDriverName);
  monitorName = profile.Load(ids::kMonitorName);
  processorName = profile.Load(ids::kProcessorName);
  driverDllName = profile.Load(ids::kDriverDll);
  monitorDllName = profile.Load(ids::kMonitorDll);
  processorDllName = profile.Load(ids::kProcessorDll);
  uiDllName = profile.Load(ids::kUiDll);
  renderDllName = profile.Load(ids::kRenderDll);
  infFileName = profile.Load(ids::kInfFile);
  useOwnProcessor = 1;
}

DriverInstaller::~DriverInstaller() = default;

void DriverInstaller::SetControlPointers(fw::SyncedText& text, fw::ProgressBar& bar) {
  log_.WriteLog("\r\n");
  log_.WriteLog("SetControlPointers BEGIN");
  messageText = &text;
  progressBar = &bar;
  progress_ = std::make_unique<ProgressChannel>(app_, text, bar);
  log_.WriteLog("SetControlPointers END");
}

void DriverInstaller::SetSystemInfo(int wow64, int level) {
  log_.WriteLog("\r\n");
  log_.WriteLog("SetSystemInfo BEGIN");
  isWow64 = wow64;
  osLevel = level;
  if (isWow64) {
    environment = "Windows x64";
    driverSourceDir = ".\\Driver64\\";
  } else {
    environment = "Windows NT x86";
    driverSourceDir = ".\\Driver32\\";
  }
  log_.WriteLog("ENV : %s, DRV DIR : %s ", environment.c_str(), driverSourceDir.c_str());
  log_.WriteLog("SetSystemInfo END");
}
