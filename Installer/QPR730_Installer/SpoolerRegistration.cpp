// The spooler steps of the direct installation: the language monitor, the
// print processor, the printer driver and the printer object.
#include "Installer/QPR730_Installer/DriverInstaller.h"
#include "Installer/QPR730_Installer/InstallerStrings.h"
#include "common/system_error_box.h"

namespace {

// The driver's dependent files: a fixed list of the program, not taken from
// the product strings.
const std::vector<std::string> kDependentFiles = {"UNIRES.DLL",  "STDNAMES.GPD", "QPR730.DLL",
                                                  "QPUI730.DLL", "QPUNI730.DLL", "QPUI730.INI"};

}  // namespace

bool DriverInstaller::AddLanguageMonitor() {
  log_.WriteLog("\r\n");
  log_.WriteLog("AddLanguageMonitor BEGIN");
  progress_->Report("Installing L/M...\r\n", ProgressChannel::Bar::Step, 500);

  // The 64-bit spooler finds the monitor in the Windows folder, the 32-bit
  // one in the system folder.
  const std::string target = isWow64 ? WindowsDirectory() : SystemDirectory();
  CopyWithFallback(driverSourceDir + monitorDllName, target + "\\" + monitorDllName);

  win::MONITOR_INFO_2 monitor;
  monitor.pName = monitorName;
  monitor.pEnvironment = environment;
  monitor.pDLLName = monitorDllName;
  if (!app_.platform.spooler.AddMonitorA(nullptr, 2, &monitor)) {
    win::DWORD error = app_.platform.kernel.GetLastError();
    if (error != win::ERROR_PRINT_MONITOR_ALREADY_INSTALLED) {
      ShowSystemErrorBox(app_, "AddMonitor, ERR CODE: %d\n\n", error);
      log_.WriteLog("AddLanguageMonitor END");
      return false;
    }
  }
  log_.WriteLog("AddLanguageMonitor END");
  return true;
}

bool DriverInstaller::AddPrinterProcessor() {
  log_.WriteLog("\r\n");
  log_.WriteLog("AddPrinterProcessor BEGIN");
  progress_->Report("Installing printer processor...\r\n", ProgressChannel::Bar::Step, 500);

  CopyWithFallback(driverSourceDir + processorDllName,
                   ProcessorDirectory() + "\\" + processorDllName);

  if (!app_.platform.spooler.AddPrintProcessorA(nullptr, environment.c_str(),
                                                processorDllName.c_str(), processorName.c_str())) {
    ShowSystemErrorBox(app_, "AddPrintProcessor, ERR CODE: %d\n\n",
                       app_.platform.kernel.GetLastError());
    log_.WriteLog("AddPrinterProcessor END");
    return false;
  }
  log_.WriteLog("AddPrinterProcessor END");
  return true;
}

bool DriverInstaller::AddPrinterDriverToSystem() {
  log_.WriteLog("\r\n");
  log_.WriteLog("AddPrinterDriverToSystem BEGIN");
  progress_->Report("Installing printer driver...\r\n", ProgressChannel::Bar::Step, 500);

  scratchText = profile_.Load(ids::kGpdFile);
  win::DRIVER_INFO_3 driver;
  driver.cVersion = 3;
  driver.pName = driverName;
  driver.pEnvironment = environment;
  driver.pDriverPath = "UNIDRV.DLL";
  driver.pDataFile = scratchText;
  driver.pConfigFile = "UNIDRVUI.DLL";
  driver.pHelpFile = "UNIDRV.HLP";
  driver.pDependentFiles = kDependentFiles;
  driver.pMonitorName = monitorName;
  driver.pDefaultDataType = "RAW";
  if (!app_.platform.spooler.AddPrinterDriverA(nullptr, 3, &driver)) {
    ShowSystemErrorBox(app_, "AddPrinterDriver, ERR CODE: %d\n\n",
                       app_.platform.kernel.GetLastError());
    log_.WriteLog("AddPrinterDriverToSystem END");
    return false;
  }
  log_.WriteLog("AddPrinterDriverToSystem END");
  return true;
}

bool DriverInstaller::AddPrinterToSystem(int portCode, std::string printerName) {
  log_.WriteLog("\r\n");
  log_.WriteLog("AddPrinterToSystem BEGIN");
  if (portCode == kPortUsb) {
    log_.WriteLog("AddPrinterToSystem END");
    return true;
  }
  progress_->Report("Adding printer...\r\n", ProgressChannel::Bar::Step, 500);
  progress_->Report("Please wait for adding printer.\r\nIt takes a couple of minutes.",
                    ProgressChannel::Bar::Step, 0);

  win::PRINTER_INFO_2 printer;
  printer.pPrinterName = printerName;
  printer.pPortName = PrinterPortName(portCode);
  printer.pDriverName = driverName;
  // The product's own print processor, raw data only, bidirectional.
  if (useOwnProcessor) {
    printer.pPrintProcessor = processorName;
    printer.Attributes = win::PRINTER_ATTRIBUTE_ENABLE_BIDI | win::PRINTER_ATTRIBUTE_RAW_ONLY;
  }
  printer.pDatatype = "RAW";
  printer.Priority = 1;
  printer.Status = win::PRINTER_STATUS_OFFLINE;
  win::HANDLE handle = app_.platform.spooler.AddPrinterA(nullptr, 2, &printer);
  if (handle == 0) {
    ShowSystemErrorBox(app_, "AddPrinter, Error Code: %d\n\n", app_.platform.kernel.GetLastError());
    log_.WriteLog("AddPrinterToSystem END");
    // No later step can run without the printer: the installation failed.
    app_.platform.kernel.ExitProcess(kExitInstallationFailed);
  }
  app_.platform.spooler.ClosePrinter(handle);
  log_.WriteLog("AddPrinterToSystem END");
  return true;
}
