// The print spooler services of one simulated process.
//
// The spooler service's own state (printers, drivers, monitors, processors,
// forms, jobs) is not simulated yet: every call fails with
// ERROR_CALL_NOT_IMPLEMENTED, except the folder queries, which answer the
// standard folders of the machine.
#pragma once

#include "platform/spooler.h"

namespace sim {

class SimProcess;

class SimSpooler : public win::Spooler {
 public:
  explicit SimSpooler(SimProcess& process) : process_(process) {}

  win::BOOL EnumPrintersA(win::DWORD, const char*, win::DWORD,
                          std::vector<win::PRINTER_INFO_2>*) override;
  win::BOOL OpenPrinterA(const char*, win::HANDLE*, const win::PRINTER_DEFAULTSA*) override;
  win::BOOL ClosePrinter(win::HANDLE) override;
  win::DWORD GetPrinterDataA(win::HANDLE, const char*, win::DWORD*, win::BYTE*, win::DWORD,
                             win::DWORD*) override;
  win::BOOL EnumJobsA(win::HANDLE, win::DWORD, win::DWORD, win::DWORD,
                      std::vector<win::JOB_INFO_3>*) override;
  win::BOOL SetJobA(win::HANDLE, win::DWORD, win::DWORD, const void*, win::DWORD) override;
  win::BOOL DeletePrinter(win::HANDLE) override;
  win::BOOL EnumFormsA(win::HANDLE, win::DWORD, std::vector<win::FORM_INFO_1>*) override;
  win::BOOL DeleteFormA(win::HANDLE, const char*) override;
  win::BOOL EnumPrinterDriversA(const char*, const char*, win::DWORD,
                                std::vector<win::DRIVER_INFO_3>*) override;
  win::BOOL EnumPrintProcessorsA(const char*, const char*, win::DWORD,
                                 std::vector<win::PRINTPROCESSOR_INFO_1>*) override;
  win::BOOL AddMonitorA(const char*, win::DWORD, const win::MONITOR_INFO_2*) override;
  win::BOOL AddPrintProcessorA(const char*, const char*, const char*, const char*) override;
  win::BOOL AddPrinterDriverA(const char*, win::DWORD, const win::DRIVER_INFO_3*) override;
  win::HANDLE AddPrinterA(const char*, win::DWORD, const win::PRINTER_INFO_2*) override;
  win::BOOL DeletePrinterDriverExA(const char*, const char*, const char*, win::DWORD,
                                   win::DWORD) override;
  win::BOOL DeleteMonitorA(const char*, const char*, const char*) override;
  win::BOOL DeletePrintProcessorA(const char*, const char*, const char*) override;
  win::BOOL GetPrinterDriverDirectoryA(const char* server, const char* environment,
                                       win::DWORD level, char* buffer, win::DWORD size,
                                       win::DWORD* needed) override;
  win::BOOL GetPrintProcessorDirectoryA(const char* server, const char* environment,
                                        win::DWORD level, char* buffer, win::DWORD size,
                                        win::DWORD* needed) override;

 private:
  SimProcess& process_;
};

}  // namespace sim
