// The direct installation path of Windows 2000, XP and Server 2003: the
// installer drives the spooler itself.
#include "Installer/QPR730_Installer/DriverInstaller.h"
#include "Installer/QPR730_Installer/InstallerStrings.h"
#include "common/bounded_path.h"
#include "common/system_control.h"

namespace {

// The files staged in the spooler's driver directory, in this order. Rows
// with a profile id take their name from the profile; the Unidrv core files
// (the first four and the last) are the package's own.
struct StagedFile {
  const char* name;           // fixed name, or null
  ProductProfileId profileId; // or 0
  bool checked;               // a failed copy goes to the fallback
  bool alsoWindowsFolder;     // also copied there on 32-bit Windows
};

const StagedFile kStagedFiles[] = {
    {"UNIDRV.DLL", 0, false, false},     {"UNIDRVUI.DLL", 0, false, false},
    {"UNIDRV.HLP", 0, false, false},     {"UNIRES.DLL", 0, false, false},
    {nullptr, ids::kDriverDll, true, true}, {nullptr, ids::kUiDll, true, true},
    {nullptr, ids::kRenderDll, true, true}, {nullptr, ids::kUiIniFile, true, true},
    {nullptr, ids::kGpdFile, true, true},   {"STDNAMES.GPD", 0, true, false},
};

}  // namespace

void DriverInstaller::AddToWin2K(int portCode) {
  win::Spooler& spooler = app_.platform.spooler;
  log_.WriteLog("\r\n");
  log_.WriteLog("AddToWin2K BEGIN");
  const bool installed = PrinterDrvExist(driverName);
  progress_->Report("Preparing for installation...\r\n", ProgressChannel::Bar::Step, 500);

  // With the driver installed, the new printer gets the first free name:
  // the driver name, then with (#1), (#2) ... appended.
  std::string printerName = driverName;
  if (installed) {
    win::HANDLE printer = 0;
    for (int n = 1; spooler.OpenPrinterA(printerName.c_str(), &printer, nullptr); ++n) {
      spooler.ClosePrinter(printer);
      printerName = driverName + "(#" + std::to_string(n) + ")";
    }
  }
  log_.WriteLog("PRINTER-DRIVER NAME TO ADD : %s ", printerName.c_str());

  bool registered = true;
  if (!installed) {
    DeleteVidPid();
    DeletePrnDrvPnPDirectory();
    Delete_LPT_USB_Info();
    CopyFilesNeededToAddPrnDrv();
    // Every step runs whatever the earlier ones achieved.
    if (!AddLanguageMonitor()) registered = false;
    if (!AddPrinterProcessor()) registered = false;
    if (!AddPrinterDriverToSystem()) registered = false;
  }
  AddPrinterToSystem(portCode, printerName);

  if (!installed) {
    CopyINFFile();
    DeleteFilesUsed();
    RegisterUninstallInfo();
    CopyFilesOfUtilities();
    if (!registered) {
      // A registration failed: the driver is not usable, so the run must
      // not end with the success message and the restart question.
      progress_->Report("The driver installation did not complete.", ProgressChannel::Bar::Finish, 0);
      app_.MessageBox(std::string("The driver installation did not complete.\n"
                                  "See the log file for details:\n") + log_.path(),
                      win::MB_OK | win::MB_ICONERROR);
      app_.exitCode = kExitInstallationFailed;
    } else {
      progress_->Report("The driver has been successfully installed.",
                        ProgressChannel::Bar::Finish, 0);
      if (portCode == kPortUsb) {
        app_.MessageBox("Please turn-off the printer and then turn-on again.",
                        win::MB_OK | win::MB_ICONINFORMATION);
      } else if (app_.MessageBox(std::string(kInstallerRestartQuestion) + kRestartChoices,
                                 win::MB_YESNO | win::MB_ICONQUESTION) == win::IDYES) {
        log_.WriteLog("AddToWin2K END");
        RebootSystem(app_.platform);
      }
    }
  }
  log_.WriteLog("\r\n");
  log_.WriteLog("AddToWin2K END");
  progress_->Report("Completed.", ProgressChannel::Bar::Finish, 2000);
}

void DriverInstaller::CopyFilesNeededToAddPrnDrv() {
  win::Kernel& kernel = app_.platform.kernel;
  log_.WriteLog("\r\n");
  log_.WriteLog("CopyFilesNeededToAddPrnDrv BEGIN");
  progress_->Report("Copying files...\r\n", ProgressChannel::Bar::Step, 500);

  const std::string windowsDirectory = WindowsDirectory();
  const std::string driverDirectory = DriverDirectory();
  for (const StagedFile& row : kStagedFiles) {
    std::string name = row.name ? row.name : (scratchText = profile_.Load(row.profileId));
    const std::string source = driverSourceDir + name;
    const std::string destination = driverDirectory + "\\" + name;
    if (row.checked) {
      CopyWithFallback(source, destination);
    } else if (FitPath(log_, 256, source) && FitPath(log_, 256, destination)) {
      kernel.CopyFileA(source.c_str(), destination.c_str(), win::FALSE);
      log_.WriteLog("FILE SRC : %s", source.c_str());
    }
    // On 32-bit Windows the product's files also go to the Windows folder.
    if (row.alsoWindowsFolder && !isWow64 && osLevel < 2007) {
      CopyWithFallback(source, windowsDirectory + "\\" + name);
    }
  }
  log_.WriteLog("CopyFilesNeededToAddPrnDrv END");
}

void DriverInstaller::DeleteFilesUsed() {
  win::Kernel& kernel = app_.platform.kernel;
  log_.WriteLog("\r\n");
  log_.WriteLog("DeleteFilesUsed BEGIN");
  progress_->Report("Deleting files used to install...\r\n", ProgressChannel::Bar::Step, 500);

  const std::string driverDirectory = DriverDirectory();
  for (const StagedFile& row : kStagedFiles) {
    std::string name = row.name ? row.name : (scratchText = profile_.Load(row.profileId));
    auto path = FitPath(log_, 256, driverDirectory + "\\" + name);
    if (!path) continue;
    if (!row.checked) {
      kernel.DeleteFileA(path->c_str());
      log_.WriteLog("FILE SRC : %s", path->c_str());
      continue;
    }
    log_.WriteLog("FILE SRC : %s", path->c_str());
    if (!kernel.DeleteFileA(path->c_str())) {
      log_.WriteLog("DeleteFile Error : %s , (%d)", path->c_str(),
                    static_cast<int>(kernel.GetLastError()));
    }
  }
  log_.WriteLog("DeleteFilesUsed END");
}
