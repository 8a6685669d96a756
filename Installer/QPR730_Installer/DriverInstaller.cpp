#include "Installer/QPR730_Installer/DriverInstaller.h"

#include "Installer/QPR730_Installer/InstallerStrings.h"

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
