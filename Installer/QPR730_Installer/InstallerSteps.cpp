// The installer's check for an installed driver, its Plug-and-Play clean-up
// before an installation, and the helpers the steps share.
#include "Installer/QPR730_Installer/DriverInstaller.h"

#include "common/bounded_path.h"
#include "common/pnp_cleanup.h"
#include "common/printer_driver_check.h"

bool DriverInstaller::PrinterDrvExist(const std::string& name) {
  return ::PrinterDrvExist(app_.platform, log_, name, progress_.get());
}

// The installation paths clear the leftovers without progress reports.
void DriverInstaller::DeleteVidPid() {
  PnpCleanup(app_.platform, log_, profile_, isWow64, progress_.get(), PnpCleanup::Reporting::LogOnly)
      .DeleteVidPid();
}

void DriverInstaller::DeletePrnDrvPnPDirectory() {
  PnpCleanup(app_.platform, log_, profile_, isWow64, progress_.get(), PnpCleanup::Reporting::LogOnly)
      .DeletePrnDrvPnPDirectory();
}

void DriverInstaller::Delete_LPT_USB_Info() {
  PnpCleanup(app_.platform, log_, profile_, isWow64, progress_.get(), PnpCleanup::Reporting::LogOnly)
      .Delete_LPT_USB_Info();
}

std::string DriverInstaller::WindowsDirectory() const {
  char folder[256] = {};
  app_.platform.kernel.GetWindowsDirectoryA(folder, sizeof folder);
  return folder;
}

std::string DriverInstaller::SystemDirectory() const {
  char folder[256] = {};
  app_.platform.kernel.GetSystemDirectoryA(folder, sizeof folder);
  return folder;
}

// On 64-bit Windows the spooler takes the 64-bit driver's files from the
// folders of its own environment, not from those of the 32-bit installer's.
std::string DriverInstaller::DriverDirectory() const {
  char folder[256] = {};
  win::DWORD needed = 0;
  app_.platform.spooler.GetPrinterDriverDirectoryA(nullptr, environment.c_str(), 1, folder,
                                                   sizeof folder, &needed);
  return folder;
}

std::string DriverInstaller::ProcessorDirectory() const {
  char folder[256] = {};
  win::DWORD needed = 0;
  app_.platform.spooler.GetPrintProcessorDirectoryA(nullptr, environment.c_str(), 1, folder,
                                                    sizeof folder, &needed);
  return folder;
}

void DriverInstaller::CopyWithFallback(const std::string& source, const std::string& destination) {
  if (!FitPath(log_, 256, source) || !FitPath(log_, 256, destination)) return;
  win::Kernel& kernel = app_.platform.kernel;
  win::BOOL copied = kernel.CopyFileA(source.c_str(), destination.c_str(), win::FALSE);
  win::DWORD error = kernel.GetLastError();
  log_.WriteLog("FILE SRC : %s", source.c_str());
  if (!copied) HandleCopyFileError(source, destination, error);
}
