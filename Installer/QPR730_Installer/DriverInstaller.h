// The installer's engine: the product names, the platform facts and the
// progress references that the installation steps work with.
#pragma once

#include <memory>
#include <string>

#include "common/pnp_cleanup.h"
#include "common/product_profile.h"
#include "common/progress_channel.h"
#include "common/setup_log.h"
#include "framework/application.h"

// Port codes: 1000 plus the Port Type dialog's radio index.
constexpr int kPortCom1 = 1000;
constexpr int kPortLpt2 = 1005;
constexpr int kPortUsb = 1006;
// "COM1" ... "LPT2" for the port codes 1000 to 1005; empty for USB.
std::string PortName(int portCode);
// The printer object's port: the port name with a colon.
std::string PrinterPortName(int portCode);

// The exit status of an installation that did not complete.
constexpr int kExitInstallationFailed = 1603;

class DriverInstaller {
 public:
  // Loads the product names from the profile.
  DriverInstaller(fw::Application& app, SetupLog& log, const ProductProfile& profile);
  virtual ~DriverInstaller();

  // Keeps the dialog's message text and progress bar for the steps' reports.
  void SetControlPointers(fw::SyncedText& messageText, fw::ProgressBar& progressBar);
  // Keeps the platform facts and derives the spooler environment and the
  // package folder of the driver files.
  void SetSystemInfo(int isWow64, int osLevel);

  // ---- Installed driver check ----
  bool PrinterDrvExist(const std::string& name);

  // ---- Direct installation (Windows 2000, XP, Server 2003) ----
  void AddToWin2K(int portCode);
  void CopyFilesNeededToAddPrnDrv();
  void DeleteFilesUsed();

  // ---- Spooler registration ----
  bool AddLanguageMonitor();
  bool AddPrinterProcessor();
  bool AddPrinterDriverToSystem();
  bool AddPrinterToSystem(int portCode, std::string printerName);

  // ---- Uninstall registration and INF staging ----
  void RegisterUninstallInfo();
  void CopyINFFile();

  // ---- Utility files ----
  void CopyFilesOfUtilities();
  bool CreateDirectoryWithSA(const std::string& folder);

  // ---- Copy with rename fallback ----
  bool HandleCopyFileError(std::string source, std::string destination, win::DWORD error);

  // ---- Plug-and-Play leftovers of earlier installations ----
  void DeleteVidPid();
  void DeletePrnDrvPnPDirectory();
  void Delete_LPT_USB_Info();

  // ---- Platform facts ----
  int osLevel = 0;
  int isWow64 = 0;
  std::string environment;
  std::string driverSourceDir;

  // ---- Product names ----
  std::string scratchText;
  std::string makerName;
  std::string driverName;
  std::string infFileName;
  std::string monitorDllName;
  std::string monitorName;
  std::string processorDllName;
  std::string processorName;
  std::string driverDllName;
  std::string uiDllName;
  std::string renderDllName;
  unsigned char useOwnProcessor = 0;

  // ---- Progress references ----
  fw::SyncedText* messageText = nullptr;
  fw::ProgressBar* progressBar = nullptr;

 protected:
  // Copies source to destination (overwriting), logs the source and hands a
  // failure to HandleCopyFileError. Skips paths that do not fit 256 bytes.
  void CopyWithFallback(const std::string& source, const std::string& destination);
  std::string WindowsDirectory() const;
  std::string SystemDirectory() const;
  // The spooler's driver and print processor directories of the driver's
  // environment (256-byte buffers; empty when the query fails).
  std::string DriverDirectory() const;
  std::string ProcessorDirectory() const;

  fw::Application& app_;
  SetupLog& log_;
  const ProductProfile& profile_;
  std::unique_ptr<ProgressChannel> progress_;
};
