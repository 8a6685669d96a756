#include "platform/sim/sim_spooler.h"

#include <cstring>

#include "platform/sim/last_error.h"
#include "platform/sim/sim_machine.h"

namespace sim {
namespace {

win::BOOL NotSimulated() { return Fail(win::ERROR_CALL_NOT_IMPLEMENTED); }

// The folder of an environment below the spooler's folder: w32x86 or x64.
// No environment means the caller's own, "Windows NT x86" for our 32-bit
// programs also on 64-bit Windows.
std::string EnvironmentFolder(const SimProcess&, const char* environment) {
  return environment && std::strcmp(environment, "Windows x64") == 0 ? "x64" : "w32x86";
}

win::BOOL AnswerFolder(const std::string& folder, char* buffer, win::DWORD size,
                       win::DWORD* needed) {
  *needed = static_cast<win::DWORD>(folder.size() + 1);
  if (size < *needed) return Fail(win::ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(buffer, folder.c_str(), folder.size() + 1);
  return win::TRUE;
}

}  // namespace

win::BOOL SimSpooler::EnumPrintersA(win::DWORD, const char*, win::DWORD,
                                    std::vector<win::PRINTER_INFO_2>*) {
  return NotSimulated();
}
win::BOOL SimSpooler::OpenPrinterA(const char*, win::HANDLE*, const win::PRINTER_DEFAULTSA*) {
  return NotSimulated();
}
win::BOOL SimSpooler::ClosePrinter(win::HANDLE) { return NotSimulated(); }
win::DWORD SimSpooler::GetPrinterDataA(win::HANDLE, const char*, win::DWORD*, win::BYTE*,
                                       win::DWORD, win::DWORD*) {
  NotSimulated();
  return win::ERROR_CALL_NOT_IMPLEMENTED;
}
win::BOOL SimSpooler::EnumJobsA(win::HANDLE, win::DWORD, win::DWORD, win::DWORD,
                                std::vector<win::JOB_INFO_3>*) {
  return NotSimulated();
}
win::BOOL SimSpooler::SetJobA(win::HANDLE, win::DWORD, win::DWORD, const void*, win::DWORD) {
  return NotSimulated();
}
win::BOOL SimSpooler::DeletePrinter(win::HANDLE) { return NotSimulated(); }
win::BOOL SimSpooler::EnumFormsA(win::HANDLE, win::DWORD, std::vector<win::FORM_INFO_1>*) {
  return NotSimulated();
}
win::BOOL SimSpooler::DeleteFormA(win::HANDLE, const char*) { return NotSimulated(); }
win::BOOL SimSpooler::EnumPrinterDriversA(const char*, const char*, win::DWORD,
                                          std::vector<win::DRIVER_INFO_3>*) {
  return NotSimulated();
}
win::BOOL SimSpooler::EnumPrintProcessorsA(const char*, const char*, win::DWORD,
                                           std::vector<win::PRINTPROCESSOR_INFO_1>*) {
  return NotSimulated();
}
win::BOOL SimSpooler::AddMonitorA(const char*, win::DWORD, const win::MONITOR_INFO_2*) {
  return NotSimulated();
}
win::BOOL SimSpooler::AddPrintProcessorA(const char*, const char*, const char*, const char*) {
  return NotSimulated();
}
win::BOOL SimSpooler::AddPrinterDriverA(const char*, win::DWORD, const win::DRIVER_INFO_3*) {
  return NotSimulated();
}
win::HANDLE SimSpooler::AddPrinterA(const char*, win::DWORD, const win::PRINTER_INFO_2*) {
  NotSimulated();
  return 0;
}
win::BOOL SimSpooler::DeletePrinterDriverExA(const char*, const char*, const char*, win::DWORD,
                                             win::DWORD) {
  return NotSimulated();
}
win::BOOL SimSpooler::DeleteMonitorA(const char*, const char*, const char*) {
  return NotSimulated();
}
win::BOOL SimSpooler::DeletePrintProcessorA(const char*, const char*, const char*) {
  return NotSimulated();
}

win::BOOL SimSpooler::GetPrinterDriverDirectoryA(const char*, const char* environment,
                                                 win::DWORD, char* buffer, win::DWORD size,
                                                 win::DWORD* needed) {
  return AnswerFolder(process_.machine.os.SystemDirectory() + "\\spool\\drivers\\" +
                          EnvironmentFolder(process_, environment),
                      buffer, size, needed);
}

win::BOOL SimSpooler::GetPrintProcessorDirectoryA(const char*, const char* environment,
                                                  win::DWORD, char* buffer, win::DWORD size,
                                                  win::DWORD* needed) {
  return AnswerFolder(process_.machine.os.SystemDirectory() + "\\spool\\prtprocs\\" +
                          EnvironmentFolder(process_, environment),
                      buffer, size, needed);
}

}  // namespace sim
