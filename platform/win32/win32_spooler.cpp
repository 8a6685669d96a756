#include "platform/win32/win32_spooler.h"

#include <windows.h>
#include <winspool.h>

#include "platform/win32/win32_casts.h"

namespace win32 {

namespace {

LPDWORD RealDwords(win::DWORD* value) { return reinterpret_cast<LPDWORD>(value); }
char* Mutable(const char* text) { return const_cast<char*>(text); }

// The enumerations: a size call, then the fill into a buffer of that size.
// `enumerate(buffer, size, needed, returned)` makes the real call.
template <typename Enumerate>
BOOL EnumerateRecords(Enumerate enumerate, std::vector<BYTE>* buffer, DWORD* count) {
  DWORD needed = 0;
  *count = 0;
  if (enumerate(nullptr, 0, &needed, count)) return TRUE;  // nothing to list
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return FALSE;
  buffer->assign(needed, 0);
  return enumerate(buffer->data(), needed, &needed, count);
}

std::vector<std::string> FromMultiString(const char* list) {
  std::vector<std::string> names;
  for (const char* name = list; name != nullptr && *name != '\0'; name += lstrlenA(name) + 1) {
    names.emplace_back(name);
  }
  return names;
}

// "a\0b\0\0"; an empty list is two zeros.
std::string ToMultiString(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list.append(name).push_back('\0');
  list.push_back('\0');
  if (names.empty()) list.push_back('\0');
  return list;
}

win::PRINTER_INFO_2 FromRealPrinter(const PRINTER_INFO_2A& real) {
  win::PRINTER_INFO_2 ours;
  ours.pServerName = TextOf(real.pServerName);
  ours.pPrinterName = TextOf(real.pPrinterName);
  ours.pShareName = TextOf(real.pShareName);
  ours.pPortName = TextOf(real.pPortName);
  ours.pDriverName = TextOf(real.pDriverName);
  ours.pComment = TextOf(real.pComment);
  ours.pLocation = TextOf(real.pLocation);
  ours.pSepFile = TextOf(real.pSepFile);
  ours.pPrintProcessor = TextOf(real.pPrintProcessor);
  ours.pDatatype = TextOf(real.pDatatype);
  ours.pParameters = TextOf(real.pParameters);
  ours.Attributes = real.Attributes;
  ours.Priority = real.Priority;
  ours.DefaultPriority = real.DefaultPriority;
  ours.StartTime = real.StartTime;
  ours.UntilTime = real.UntilTime;
  ours.Status = real.Status;
  ours.cJobs = real.cJobs;
  ours.AveragePPM = real.AveragePPM;
  return ours;
}

PRINTER_INFO_2A ToRealPrinter(const win::PRINTER_INFO_2& ours) {
  PRINTER_INFO_2A real{};
  real.pServerName = TextOrNull(ours.pServerName);
  real.pPrinterName = TextOrNull(ours.pPrinterName);
  real.pShareName = TextOrNull(ours.pShareName);
  real.pPortName = TextOrNull(ours.pPortName);
  real.pDriverName = TextOrNull(ours.pDriverName);
  real.pComment = TextOrNull(ours.pComment);
  real.pLocation = TextOrNull(ours.pLocation);
  real.pSepFile = TextOrNull(ours.pSepFile);
  real.pPrintProcessor = TextOrNull(ours.pPrintProcessor);
  real.pDatatype = TextOrNull(ours.pDatatype);
  real.pParameters = TextOrNull(ours.pParameters);
  real.Attributes = ours.Attributes;
  real.Priority = ours.Priority;
  real.DefaultPriority = ours.DefaultPriority;
  real.StartTime = ours.StartTime;
  real.UntilTime = ours.UntilTime;
  real.Status = ours.Status;
  real.cJobs = ours.cJobs;
  real.AveragePPM = ours.AveragePPM;
  return real;
}

// Levels 3 and 4 begin with the same fields; level 4 adds names the
// programs do not read.
win::DRIVER_INFO_3 FromRealDriver(const DRIVER_INFO_3A& real) {
  win::DRIVER_INFO_3 ours;
  ours.cVersion = real.cVersion;
  ours.pName = TextOf(real.pName);
  ours.pEnvironment = TextOf(real.pEnvironment);
  ours.pDriverPath = TextOf(real.pDriverPath);
  ours.pDataFile = TextOf(real.pDataFile);
  ours.pConfigFile = TextOf(real.pConfigFile);
  ours.pHelpFile = TextOf(real.pHelpFile);
  ours.pDependentFiles = FromMultiString(real.pDependentFiles);
  ours.pMonitorName = TextOf(real.pMonitorName);
  ours.pDefaultDataType = TextOf(real.pDefaultDataType);
  return ours;
}

}  // namespace

win::BOOL Win32Spooler::EnumPrintersA(win::DWORD flags, const char* name, win::DWORD level,
                                      std::vector<win::PRINTER_INFO_2>* printers) {
  printers->clear();
  if (level != 2) {
    ::SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  std::vector<BYTE> buffer;
  DWORD count = 0;
  BOOL ok = EnumerateRecords(
      [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
        return ::EnumPrintersA(flags, Mutable(name), level, data, size, needed, returned);
      },
      &buffer, &count);
  if (!ok) return FALSE;
  auto* records = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) printers->push_back(FromRealPrinter(records[i]));
  return TRUE;
}

win::BOOL Win32Spooler::OpenPrinterA(const char* printerName, win::HANDLE* printer,
                                     const win::PRINTER_DEFAULTSA* defaults) {
  PRINTER_DEFAULTSA real{};
  if (defaults != nullptr) {
    real.pDatatype = Mutable(defaults->pDatatype);
    real.pDevMode = static_cast<DEVMODEA*>(defaults->pDevMode);
    real.DesiredAccess = defaults->DesiredAccess;
  }
  HANDLE opened = nullptr;
  BOOL ok = ::OpenPrinterA(Mutable(printerName), &opened, defaults != nullptr ? &real : nullptr);
  *printer = ok ? FromReal(opened) : 0;
  return ok;
}

win::BOOL Win32Spooler::ClosePrinter(win::HANDLE printer) {
  return ::ClosePrinter(ToReal<HANDLE>(printer));
}

win::DWORD Win32Spooler::GetPrinterDataA(win::HANDLE printer, const char* valueName,
                                         win::DWORD* type, win::BYTE* data, win::DWORD size,
                                         win::DWORD* needed) {
  DWORD neededReal = 0;
  DWORD status = ::GetPrinterDataA(ToReal<HANDLE>(printer), Mutable(valueName), RealDwords(type),
                                   data, size, &neededReal);
  if (needed != nullptr) *needed = neededReal;
  if (status != ERROR_SUCCESS) ::SetLastError(status);
  return status;
}

win::BOOL Win32Spooler::EnumJobsA(win::HANDLE printer, win::DWORD firstJob, win::DWORD jobCount,
                                  win::DWORD level, std::vector<win::JOB_INFO_3>* jobs) {
  jobs->clear();
  if (level != 3) {
    ::SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  std::vector<BYTE> buffer;
  DWORD count = 0;
  BOOL ok = EnumerateRecords(
      [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
        return ::EnumJobsA(ToReal<HANDLE>(printer), firstJob, jobCount, level, data, size,
                           needed, returned);
      },
      &buffer, &count);
  if (!ok) return FALSE;
  auto* records = reinterpret_cast<const JOB_INFO_3*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) jobs->push_back({records[i].JobId, records[i].NextJobId});
  return TRUE;
}

win::BOOL Win32Spooler::SetJobA(win::HANDLE printer, win::DWORD jobId, win::DWORD level,
                                const void* job, win::DWORD command) {
  return ::SetJobA(ToReal<HANDLE>(printer), jobId, level,
                   static_cast<BYTE*>(const_cast<void*>(job)), command);
}

win::BOOL Win32Spooler::DeletePrinter(win::HANDLE printer) {
  return ::DeletePrinter(ToReal<HANDLE>(printer));
}

win::BOOL Win32Spooler::EnumFormsA(win::HANDLE printer, win::DWORD level,
                                   std::vector<win::FORM_INFO_1>* forms) {
  forms->clear();
  if (level != 1) {
    ::SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  std::vector<BYTE> buffer;
  DWORD count = 0;
  BOOL ok = EnumerateRecords(
      [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
        return ::EnumFormsA(ToReal<HANDLE>(printer), level, data, size, needed, returned);
      },
      &buffer, &count);
  if (!ok) return FALSE;
  auto* records = reinterpret_cast<const FORM_INFO_1A*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    forms->push_back({records[i].Flags, TextOf(records[i].pName), records[i].Size.cx,
                      records[i].Size.cy});
  }
  return TRUE;
}

win::BOOL Win32Spooler::DeleteFormA(win::HANDLE printer, const char* formName) {
  return ::DeleteFormA(ToReal<HANDLE>(printer), Mutable(formName));
}

win::BOOL Win32Spooler::EnumPrinterDriversA(const char* server, const char* environment,
                                            win::DWORD level,
                                            std::vector<win::DRIVER_INFO_3>* drivers) {
  drivers->clear();
  if (level != 3 && level != 4) {
    ::SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  std::vector<BYTE> buffer;
  DWORD count = 0;
  BOOL ok = EnumerateRecords(
      [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
        return ::EnumPrinterDriversA(Mutable(server), Mutable(environment), level, data, size,
                                     needed, returned);
      },
      &buffer, &count);
  if (!ok) return FALSE;
  for (DWORD i = 0; i < count; ++i) {
    if (level == 3) {
      drivers->push_back(FromRealDriver(reinterpret_cast<const DRIVER_INFO_3A*>(buffer.data())[i]));
    } else {
      // A level 4 record starts with the level 3 fields.
      const DRIVER_INFO_4A& record = reinterpret_cast<const DRIVER_INFO_4A*>(buffer.data())[i];
      drivers->push_back(FromRealDriver(*reinterpret_cast<const DRIVER_INFO_3A*>(&record)));
    }
  }
  return TRUE;
}

win::BOOL Win32Spooler::EnumPrintProcessorsA(const char* server, const char* environment,
                                             win::DWORD level,
                                             std::vector<win::PRINTPROCESSOR_INFO_1>* processors) {
  processors->clear();
  if (level != 1) {
    ::SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  std::vector<BYTE> buffer;
  DWORD count = 0;
  BOOL ok = EnumerateRecords(
      [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
        return ::EnumPrintProcessorsA(Mutable(server), Mutable(environment), level, data, size,
                                      needed, returned);
      },
      &buffer, &count);
  if (!ok) return FALSE;
  auto* records = reinterpret_cast<const PRINTPROCESSOR_INFO_1A*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) processors->push_back({TextOf(records[i].pName)});
  return TRUE;
}

win::BOOL Win32Spooler::AddMonitorA(const char* server, win::DWORD level,
                                    const win::MONITOR_INFO_2* monitor) {
  MONITOR_INFO_2A real{};
  real.pName = TextOrNull(monitor->pName);
  real.pEnvironment = TextOrNull(monitor->pEnvironment);
  real.pDLLName = TextOrNull(monitor->pDLLName);
  return ::AddMonitorA(Mutable(server), level, reinterpret_cast<BYTE*>(&real));
}

win::BOOL Win32Spooler::AddPrintProcessorA(const char* server, const char* environment,
                                           const char* pathName, const char* processorName) {
  return ::AddPrintProcessorA(Mutable(server), Mutable(environment), Mutable(pathName),
                              Mutable(processorName));
}

win::BOOL Win32Spooler::AddPrinterDriverA(const char* server, win::DWORD level,
                                          const win::DRIVER_INFO_3* driver) {
  std::string dependentFiles = ToMultiString(driver->pDependentFiles);
  DRIVER_INFO_3A real{};
  real.cVersion = driver->cVersion;
  real.pName = TextOrNull(driver->pName);
  real.pEnvironment = TextOrNull(driver->pEnvironment);
  real.pDriverPath = TextOrNull(driver->pDriverPath);
  real.pDataFile = TextOrNull(driver->pDataFile);
  real.pConfigFile = TextOrNull(driver->pConfigFile);
  real.pHelpFile = TextOrNull(driver->pHelpFile);
  real.pDependentFiles = dependentFiles.data();
  real.pMonitorName = TextOrNull(driver->pMonitorName);
  real.pDefaultDataType = TextOrNull(driver->pDefaultDataType);
  return ::AddPrinterDriverA(Mutable(server), level, reinterpret_cast<BYTE*>(&real));
}

win::HANDLE Win32Spooler::AddPrinterA(const char* server, win::DWORD level,
                                      const win::PRINTER_INFO_2* printer) {
  PRINTER_INFO_2A real = ToRealPrinter(*printer);
  return FromReal(::AddPrinterA(Mutable(server), level, reinterpret_cast<BYTE*>(&real)));
}

win::BOOL Win32Spooler::DeletePrinterDriverExA(const char* server, const char* environment,
                                               const char* driverName, win::DWORD deleteFlag,
                                               win::DWORD versionFlag) {
  return ::DeletePrinterDriverExA(Mutable(server), Mutable(environment), Mutable(driverName),
                                  deleteFlag, versionFlag);
}

win::BOOL Win32Spooler::DeleteMonitorA(const char* server, const char* environment,
                                       const char* monitorName) {
  return ::DeleteMonitorA(Mutable(server), Mutable(environment), Mutable(monitorName));
}

win::BOOL Win32Spooler::DeletePrintProcessorA(const char* server, const char* environment,
                                              const char* processorName) {
  return ::DeletePrintProcessorA(Mutable(server), Mutable(environment), Mutable(processorName));
}

win::BOOL Win32Spooler::GetPrinterDriverDirectoryA(const char* server, const char* environment,
                                                   win::DWORD level, char* buffer,
                                                   win::DWORD size, win::DWORD* needed) {
  DWORD neededReal = 0;
  BOOL ok = ::GetPrinterDriverDirectoryA(Mutable(server), Mutable(environment), level,
                                         reinterpret_cast<BYTE*>(buffer), size, &neededReal);
  if (needed != nullptr) *needed = neededReal;
  return ok;
}

win::BOOL Win32Spooler::GetPrintProcessorDirectoryA(const char* server, const char* environment,
                                                    win::DWORD level, char* buffer,
                                                    win::DWORD size, win::DWORD* needed) {
  DWORD neededReal = 0;
  BOOL ok = ::GetPrintProcessorDirectoryA(Mutable(server), Mutable(environment), level,
                                          reinterpret_cast<BYTE*>(buffer), size, &neededReal);
  if (needed != nullptr) *needed = neededReal;
  return ok;
}

}  // namespace win32
