#include "platform/sim/sim_spooler.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/handles.h"
#include "platform/sim/last_error.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/spooler_service.h"

namespace sim {

// An open printer, or the print server when `printer` is empty. A handle
// belongs to one run of the service: after a restart it is stale, as the
// RPC context handle of a restarted spooler is.
struct PrinterHandle : HandleObject {
  std::string printer;
  win::ACCESS_MASK access = 0;
  unsigned generation = 0;
};

namespace {

constexpr win::DWORD ERROR_INVALID_LEVEL = 124;
constexpr win::DWORD ERROR_PRINTER_DELETED = 1905;
constexpr win::ACCESS_MASK DELETE_ACCESS = 0x10000;
constexpr win::ACCESS_MASK PRINTER_ACCESS_USE = 0x8;
constexpr win::DWORD FORM_USER = 0;
constexpr win::DWORD FORM_BUILTIN = 1;

std::string Text(const char* text) { return text ? text : ""; }

win::BOOL AnswerFolder(const std::string& folder, char* buffer, win::DWORD size,
                       win::DWORD* needed) {
  *needed = static_cast<win::DWORD>(folder.size() + 1);
  if (size < *needed || !buffer) return Fail(win::ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(buffer, folder.c_str(), folder.size() + 1);
  return win::TRUE;
}

// The result of an operation of the service as a call's BOOL.
win::BOOL Result(win::DWORD error) {
  if (error != win::ERROR_SUCCESS) return Fail(error);
  SetLastError(win::ERROR_SUCCESS);
  return win::TRUE;
}

win::BOOL ServerUnavailable() { return Fail(win::RPC_S_SERVER_UNAVAILABLE); }

}  // namespace

// Every call is a remote call to the spooler service's process: the calling
// thread waits for the answer, so the machine's other threads (the dialog's
// thread handling a posted refresh, say) run meanwhile.
SpoolerService& SimSpooler::service() const {
  process_.machine.scheduler.Yield();
  process_.CheckAlive();
  return *process_.machine.spoolerService;
}

std::string SimSpooler::EnvironmentOf(const char* environment) {
  return environment && *environment ? environment : SpoolerService::kEnvironmentX86;
}

std::shared_ptr<PrinterHandle> SimSpooler::Printer(win::HANDLE handle) const {
  auto printer = process_.handles.Get<PrinterHandle>(handle);
  if (!printer || printer->generation != service().Generation()) {
    SetLastError(win::ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!printer->printer.empty() && !service().State().printers.count(printer->printer)) {
    SetLastError(ERROR_PRINTER_DELETED);
    return nullptr;
  }
  return printer;
}

win::HANDLE SimSpooler::NewHandle(const std::string& printerName, win::ACCESS_MASK access) {
  auto handle = std::make_shared<PrinterHandle>();
  handle->printer = printerName;
  handle->access = access;
  handle->generation = service().Generation();
  return process_.handles.Add(handle);
}

// ---- Printers ----

win::BOOL SimSpooler::EnumPrintersA(win::DWORD flags, const char*, win::DWORD level,
                                    std::vector<win::PRINTER_INFO_2>* printers) {
  if (!service().Running()) return ServerUnavailable();
  if (level != 2) return Fail(ERROR_INVALID_LEVEL);
  printers->clear();
  if ((flags & win::PRINTER_ENUM_LOCAL) == 0) return Result(win::ERROR_SUCCESS);
  const auto& all = service().State().printers;
  printers->reserve(all.size());
  for (const auto& [name, p] : all) {
    win::PRINTER_INFO_2 info;
    info.pPrinterName = p.name;
    info.pShareName = p.shareName;
    info.pPortName = p.port;
    info.pDriverName = p.driver;
    info.pComment = p.comment;
    info.pLocation = p.location;
    info.pSepFile = p.separatorFile;
    info.pPrintProcessor = p.processor;
    info.pDatatype = p.datatype;
    info.pParameters = p.parameters;
    info.Attributes = p.attributes;
    info.Priority = p.priority;
    info.DefaultPriority = p.defaultPriority;
    info.StartTime = p.startTime;
    info.UntilTime = p.untilTime;
    info.Status = p.status;
    info.cJobs = static_cast<win::DWORD>(p.jobs.size());
    printers->push_back(std::move(info));
  }
  return Result(win::ERROR_SUCCESS);
}

win::BOOL SimSpooler::OpenPrinterA(const char* printerName, win::HANDLE* printer,
                                   const win::PRINTER_DEFAULTSA* defaults) {
  *printer = 0;
  if (!service().Running()) return ServerUnavailable();
  // No defaults: the access of basic printing (a server handle may enumerate).
  const win::ACCESS_MASK access = defaults ? defaults->DesiredAccess : PRINTER_ACCESS_USE;
  if (!printerName) {
    *printer = NewHandle("", access);
    return Result(win::ERROR_SUCCESS);
  }
  const auto& printers = service().State().printers;
  auto it = printers.find(printerName);
  if (it == printers.end()) return Fail(win::ERROR_INVALID_PRINTER_NAME);
  *printer = NewHandle(it->first, access);
  return Result(win::ERROR_SUCCESS);
}

win::BOOL SimSpooler::ClosePrinter(win::HANDLE printer) {
  // The handle is gone in any case; a stopped spooler cannot be told.
  const bool known = process_.handles.Get<PrinterHandle>(printer) != nullptr;
  if (known) process_.handles.Close(printer);
  if (!service().Running()) return ServerUnavailable();
  return known ? Result(win::ERROR_SUCCESS) : Fail(win::ERROR_INVALID_HANDLE);
}

win::DWORD SimSpooler::GetPrinterDataA(win::HANDLE printer, const char* valueName,
                                       win::DWORD* type, win::BYTE* data, win::DWORD size,
                                       win::DWORD* needed) {
  if (!service().Running()) {
    ServerUnavailable();
    return win::RPC_S_SERVER_UNAVAILABLE;
  }
  auto handle = Printer(printer);
  if (!handle) return GetLastError();
  auto fail = [](win::DWORD error) {
    SetLastError(error);
    return error;
  };
  if (handle->printer.empty()) return fail(win::ERROR_FILE_NOT_FOUND);  // no server values modelled
  const SpoolerPrinter& p = service().State().printers.at(handle->printer);
  const std::string name = Text(valueName);
  auto value = std::find_if(p.data.begin(), p.data.end(),
                            [&](const RegistryValue& v) { return EqualsIgnoreCase(v.name, name); });
  if (value == p.data.end()) return fail(win::ERROR_FILE_NOT_FOUND);
  if (type) *type = value->type;
  if (needed) *needed = static_cast<win::DWORD>(value->data.size());
  if (size < value->data.size()) return fail(win::ERROR_MORE_DATA);
  if (data) std::copy(value->data.begin(), value->data.end(), data);
  return fail(win::ERROR_SUCCESS);
}

// ---- Jobs ----

win::BOOL SimSpooler::EnumJobsA(win::HANDLE printer, win::DWORD firstJob, win::DWORD jobCount,
                                win::DWORD level, std::vector<win::JOB_INFO_3>* jobs) {
  if (!service().Running()) return ServerUnavailable();
  auto handle = Printer(printer);
  if (!handle) return win::FALSE;
  if (level != 3) return Fail(ERROR_INVALID_LEVEL);
  jobs->clear();
  if (handle->printer.empty()) return Fail(win::ERROR_INVALID_HANDLE);
  const auto& queue = service().State().printers.at(handle->printer).jobs;
  for (std::size_t i = firstJob; i < queue.size() && i - firstJob < jobCount; ++i) {
    jobs->push_back({queue[i].id, i + 1 < queue.size() ? queue[i + 1].id : 0});
  }
  return Result(win::ERROR_SUCCESS);
}

win::BOOL SimSpooler::SetJobA(win::HANDLE printer, win::DWORD jobId, win::DWORD level,
                              const void*, win::DWORD command) {
  if (!service().Running()) return ServerUnavailable();
  auto handle = Printer(printer);
  if (!handle) return win::FALSE;
  if (handle->printer.empty()) return Fail(win::ERROR_INVALID_HANDLE);
  if (level != 0) return Fail(ERROR_INVALID_LEVEL);  // only commands are modelled
  if (command != win::JOB_CONTROL_CANCEL && command != win::JOB_CONTROL_DELETE) {
    return Fail(win::ERROR_INVALID_PARAMETER);
  }
  return Result(service().DeleteJob(handle->printer, jobId));
}

win::BOOL SimSpooler::DeletePrinter(win::HANDLE printer) {
  if (!service().Running()) return ServerUnavailable();
  auto handle = Printer(printer);
  if (!handle) return win::FALSE;
  if (handle->printer.empty()) return Fail(win::ERROR_INVALID_HANDLE);
  if ((handle->access & DELETE_ACCESS) == 0) return Fail(win::ERROR_ACCESS_DENIED);
  return Result(service().DeletePrinter(handle->printer));
}

win::HANDLE SimSpooler::AddPrinterA(const char* server, win::DWORD level,
                                    const win::PRINTER_INFO_2* printer) {
  if (!service().Running()) return ServerUnavailable(), 0;
  if (server && *server) return Fail(win::ERROR_INVALID_PARAMETER), 0;
  if (level != 2) return Fail(ERROR_INVALID_LEVEL), 0;
  if (!printer) return Fail(win::ERROR_INVALID_PARAMETER), 0;
  if (win::DWORD error = service().AddPrinter(*printer)) return Fail(error), 0;
  SetLastError(win::ERROR_SUCCESS);
  return NewHandle(printer->pPrinterName, win::PRINTER_ALL_ACCESS);
}

// ---- Forms ----

win::BOOL SimSpooler::EnumFormsA(win::HANDLE printer, win::DWORD level,
                                 std::vector<win::FORM_INFO_1>* forms) {
  if (!service().Running()) return ServerUnavailable();
  if (!Printer(printer)) return win::FALSE;
  if (level != 1) return Fail(ERROR_INVALID_LEVEL);
  forms->clear();
  for (const SpoolerForm& form : SpoolerService::BuiltInForms()) {
    forms->push_back({FORM_BUILTIN, form.name, form.width, form.height});
  }
  for (const SpoolerForm& form : service().State().userForms) {
    forms->push_back({FORM_USER, form.name, form.width, form.height});
  }
  return Result(win::ERROR_SUCCESS);
}

win::BOOL SimSpooler::DeleteFormA(win::HANDLE printer, const char* formName) {
  if (!service().Running()) return ServerUnavailable();
  if (!Printer(printer)) return win::FALSE;
  return Result(service().DeleteForm(Text(formName)));
}

// ---- Drivers, monitors, processors ----

win::BOOL SimSpooler::EnumPrinterDriversA(const char*, const char* environment, win::DWORD level,
                                          std::vector<win::DRIVER_INFO_3>* drivers) {
  if (!service().Running()) return ServerUnavailable();
  if (level < 1 || level > 4) return Fail(ERROR_INVALID_LEVEL);
  const std::string known = service().KnownEnvironment(EnvironmentOf(environment));
  if (known.empty()) return Fail(win::ERROR_INVALID_ENVIRONMENT);
  drivers->clear();
  const auto& all = service().State().drivers;
  auto inEnvironment = all.find(known);
  if (inEnvironment == all.end()) return Result(win::ERROR_SUCCESS);
  for (const auto& [name, d] : inEnvironment->second) {
    drivers->push_back({d.version, d.name, d.environment, d.driverPath, d.dataFile, d.configFile,
                        d.helpFile, d.dependentFiles, d.monitor, d.datatype});
  }
  return Result(win::ERROR_SUCCESS);
}

win::BOOL SimSpooler::EnumPrintProcessorsA(const char*, const char* environment, win::DWORD level,
                                           std::vector<win::PRINTPROCESSOR_INFO_1>* processors) {
  if (!service().Running()) return ServerUnavailable();
  if (level != 1) return Fail(ERROR_INVALID_LEVEL);
  const std::string known = service().KnownEnvironment(EnvironmentOf(environment));
  if (known.empty()) return Fail(win::ERROR_INVALID_ENVIRONMENT);
  processors->clear();
  const auto& all = service().State().processors;
  auto inEnvironment = all.find(known);
  if (inEnvironment == all.end()) return Result(win::ERROR_SUCCESS);
  for (const auto& [name, p] : inEnvironment->second) processors->push_back({p.name});
  return Result(win::ERROR_SUCCESS);
}

win::BOOL SimSpooler::AddMonitorA(const char*, win::DWORD level,
                                  const win::MONITOR_INFO_2* monitor) {
  if (!service().Running()) return ServerUnavailable();
  if (level != 2) return Fail(ERROR_INVALID_LEVEL);
  if (!monitor) return Fail(win::ERROR_INVALID_PARAMETER);
  return Result(service().AddMonitor(monitor->pName, monitor->pEnvironment, monitor->pDLLName));
}

win::BOOL SimSpooler::DeleteMonitorA(const char*, const char* environment,
                                     const char* monitorName) {
  if (!service().Running()) return ServerUnavailable();
  return Result(service().DeleteMonitor(Text(environment), Text(monitorName)));
}

win::BOOL SimSpooler::AddPrintProcessorA(const char*, const char* environment,
                                         const char* pathName, const char* processorName) {
  if (!service().Running()) return ServerUnavailable();
  return Result(
      service().AddProcessor(EnvironmentOf(environment), Text(pathName), Text(processorName)));
}

win::BOOL SimSpooler::DeletePrintProcessorA(const char*, const char* environment,
                                            const char* processorName) {
  if (!service().Running()) return ServerUnavailable();
  return Result(service().DeleteProcessor(EnvironmentOf(environment), Text(processorName)));
}

win::BOOL SimSpooler::AddPrinterDriverA(const char*, win::DWORD level,
                                        const win::DRIVER_INFO_3* driver) {
  if (!service().Running()) return ServerUnavailable();
  if (level != 2 && level != 3) return Fail(ERROR_INVALID_LEVEL);
  if (!driver) return Fail(win::ERROR_INVALID_PARAMETER);
  return Result(service().AddDriver(EnvironmentOf(driver->pEnvironment.c_str()), *driver));
}

win::BOOL SimSpooler::DeletePrinterDriverExA(const char*, const char* environment,
                                             const char* driverName, win::DWORD deleteFlag,
                                             win::DWORD versionFlag) {
  if (!service().Running()) return ServerUnavailable();
  return Result(service().DeleteDriver(EnvironmentOf(environment), Text(driverName), deleteFlag,
                                       versionFlag));
}

// ---- Folders ----

namespace {

// The environments whose driver and processor folders the spooler names.
bool HasFolders(const std::string& environment) {
  return EqualsIgnoreCase(environment, SpoolerService::kEnvironmentX86) ||
         EqualsIgnoreCase(environment, SpoolerService::kEnvironmentX64);
}

}  // namespace

win::BOOL SimSpooler::GetPrinterDriverDirectoryA(const char*, const char* environment,
                                                 win::DWORD level, char* buffer, win::DWORD size,
                                                 win::DWORD* needed) {
  if (!service().Running()) return ServerUnavailable();
  if (level != 1) return Fail(ERROR_INVALID_LEVEL);
  const std::string name = EnvironmentOf(environment);
  if (!HasFolders(name)) return Fail(win::ERROR_INVALID_ENVIRONMENT);
  return AnswerFolder(service().DriverDirectory(name), buffer, size, needed);
}

win::BOOL SimSpooler::GetPrintProcessorDirectoryA(const char*, const char* environment,
                                                  win::DWORD level, char* buffer, win::DWORD size,
                                                  win::DWORD* needed) {
  if (!service().Running()) return ServerUnavailable();
  if (level != 1) return Fail(ERROR_INVALID_LEVEL);
  const std::string name = EnvironmentOf(environment);
  if (!HasFolders(name)) return Fail(win::ERROR_INVALID_ENVIRONMENT);
  return AnswerFolder(service().ProcessorDirectory(name), buffer, size, needed);
}

}  // namespace sim
