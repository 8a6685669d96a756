// The print spooler calls of one simulated process, over the machine's
// spooler service (spooler_service.h): printer handles in the process's
// handle table, last errors as the calls document them, and the caller's
// environment ("Windows NT x86": our programs are 32-bit, also on 64-bit
// Windows). While the service is stopped every call fails with
// RPC_S_SERVER_UNAVAILABLE.
#pragma once

#include <memory>
#include <string>

#include "platform/spooler.h"

namespace sim {

class SimProcess;
class SpoolerService;
struct PrinterHandle;

class SimSpooler : public win::Spooler {
 public:
  explicit SimSpooler(SimProcess& process) : process_(process) {}

  win::BOOL EnumPrintersA(win::DWORD flags, const char* name, win::DWORD level,
                          std::vector<win::PRINTER_INFO_2>* printers) override;
  win::BOOL OpenPrinterA(const char* printerName, win::HANDLE* printer,
                         const win::PRINTER_DEFAULTSA* defaults) override;
  win::BOOL ClosePrinter(win::HANDLE printer) override;
  win::DWORD GetPrinterDataA(win::HANDLE printer, const char* valueName, win::DWORD* type,
                             win::BYTE* data, win::DWORD size, win::DWORD* needed) override;
  win::BOOL EnumJobsA(win::HANDLE printer, win::DWORD firstJob, win::DWORD jobCount,
                      win::DWORD level, std::vector<win::JOB_INFO_3>* jobs) override;
  win::BOOL SetJobA(win::HANDLE printer, win::DWORD jobId, win::DWORD level, const void* job,
                    win::DWORD command) override;
  win::BOOL DeletePrinter(win::HANDLE printer) override;
  win::BOOL EnumFormsA(win::HANDLE printer, win::DWORD level,
                       std::vector<win::FORM_INFO_1>* forms) override;
  win::BOOL DeleteFormA(win::HANDLE printer, const char* formName) override;
  win::BOOL EnumPrinterDriversA(const char* server, const char* environment, win::DWORD level,
                                std::vector<win::DRIVER_INFO_3>* drivers) override;
  win::BOOL EnumPrintProcessorsA(const char* server, const char* environment, win::DWORD level,
                                 std::vector<win::PRINTPROCESSOR_INFO_1>* processors) override;
  win::BOOL AddMonitorA(const char* server, win::DWORD level,
                        const win::MONITOR_INFO_2* monitor) override;
  win::BOOL AddPrintProcessorA(const char* server, const char* environment, const char* pathName,
                               const char* processorName) override;
  win::BOOL AddPrinterDriverA(const char* server, win::DWORD level,
                              const win::DRIVER_INFO_3* driver) override;
  win::HANDLE AddPrinterA(const char* server, win::DWORD level,
                          const win::PRINTER_INFO_2* printer) override;
  win::BOOL DeletePrinterDriverExA(const char* server, const char* environment,
                                   const char* driverName, win::DWORD deleteFlag,
                                   win::DWORD versionFlag) override;
  win::BOOL DeleteMonitorA(const char* server, const char* environment,
                           const char* monitorName) override;
  win::BOOL DeletePrintProcessorA(const char* server, const char* environment,
                                  const char* processorName) override;
  win::BOOL GetPrinterDriverDirectoryA(const char* server, const char* environment,
                                       win::DWORD level, char* buffer, win::DWORD size,
                                       win::DWORD* needed) override;
  win::BOOL GetPrintProcessorDirectoryA(const char* server, const char* environment,
                                        win::DWORD level, char* buffer, win::DWORD size,
                                        win::DWORD* needed) override;

 private:
  SpoolerService& service() const;
  // The environment a call names, or the caller's own for none.
  static std::string EnvironmentOf(const char* environment);
  // The open printer or server behind a handle of the current service run;
  // null (with the last error set) for a stale, closed or foreign handle.
  std::shared_ptr<PrinterHandle> Printer(win::HANDLE handle) const;
  win::HANDLE NewHandle(const std::string& printerName, win::ACCESS_MASK access);

  SimProcess& process_;
};

}  // namespace sim
