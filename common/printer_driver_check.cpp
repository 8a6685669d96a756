#include "common/printer_driver_check.h"

#include <vector>

bool PrinterDrvExist(win::Platform& platform, SetupLog& log, const std::string& driverName,
                     ProgressChannel* progress) {
  log.WriteLog("\r\n");
  log.WriteLog("PrinterDrvExist BEGIN");
  if (progress) progress->Report("Checking existing drivers...\r\n", ProgressChannel::Bar::Step, 500);

  std::vector<win::DRIVER_INFO_3> drivers;
  if (platform.spooler.EnumPrinterDriversA(nullptr, nullptr, 3, &drivers)) {
    for (const win::DRIVER_INFO_3& driver : drivers) {
      if (driver.pName == driverName) {
        log.WriteLog("%s PRINTER DRIVER EXISTS.", driverName.c_str());
        log.WriteLog("PrinterDrvExist END");
        return true;
      }
    }
  }
  log.WriteLog("%s PRINTER DRIVER DOES NOT EXIST.", driverName.c_str());
  log.WriteLog("PrinterDrvExist END");
  return false;
}
