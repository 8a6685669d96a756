// The print spooler service of the simulated machine: printers with their
// data and jobs, printer drivers, language and port monitors, print
// processors, forms and ports.
//
// The service keeps its objects where Windows keeps them, in the registry
// and in files (see docs/simulated-machine.md, "Print spooler"), and reads
// them when it starts. While it runs it works on what it read: keys deleted
// behind its back count only from the next start, and whatever it changes
// itself it writes back at once. While it is stopped it has no state at all.
//
// The operations below return a Windows error code (0 on success); the
// spooler calls of one process (SimSpooler) add handles and last errors.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/registry_store.h"
#include "platform/spooler.h"

namespace sim {

class SimMachine;

struct SpoolerJob {
  win::DWORD id = 0;
  std::string document;
};

struct SpoolerPrinter {
  std::string name, shareName, port, driver, comment, location, separatorFile, processor,
      datatype, parameters;
  win::DWORD attributes = 0, priority = 1, defaultPriority = 0, startTime = 0, untilTime = 0,
             status = 0;
  std::vector<RegistryValue> data;  // the printer data ("PrinterDriverData")
  std::vector<SpoolerJob> jobs;     // in queue order
};

struct SpoolerDriver {
  std::string environment, name;
  win::DWORD version = 3;
  std::string driverPath, dataFile, configFile, helpFile;
  std::vector<std::string> dependentFiles;
  std::string monitor, datatype;
  // Every file of the driver once, bare names.
  std::vector<std::string> Files() const;
};

struct SpoolerMonitor {
  std::string name, dll;
};

struct SpoolerProcessor {
  std::string environment, name, dll;
};

struct SpoolerForm {
  std::string name;
  win::LONG width = 0, height = 0;  // thousandths of a millimetre
};

using CaseInsensitiveMap = std::map<std::string, std::string, CaseInsensitiveLess>;

// Everything the service knows; the maps give the spooler's own order.
struct SpoolerState {
  std::map<std::string, SpoolerPrinter, CaseInsensitiveLess> printers;
  // environment -> driver name -> driver
  std::map<std::string, std::map<std::string, SpoolerDriver, CaseInsensitiveLess>,
           CaseInsensitiveLess>
      drivers;
  std::map<std::string, SpoolerMonitor, CaseInsensitiveLess> monitors;
  // environment -> processor name -> processor
  std::map<std::string, std::map<std::string, SpoolerProcessor, CaseInsensitiveLess>,
           CaseInsensitiveLess>
      processors;
  std::vector<SpoolerForm> userForms;  // in the order they were added
  CaseInsensitiveMap ports;            // port name -> monitor name
};

class SpoolerService {
 public:
  static constexpr const char* kEnvironmentX86 = "Windows NT x86";
  static constexpr const char* kEnvironmentX64 = "Windows x64";

  explicit SpoolerService(SimMachine& machine);

  // Builds the standard keys and folders of the spooler of a fresh machine.
  void CreateStandardContent();
  // Writes the objects of the description's "spooler" section into the
  // registry and files (adding to what is there) and, when the service runs,
  // reads its state again. Dump writes the persisted state in that form.
  void Load(const nlohmann::json& section);
  nlohmann::json Dump() const;

  // The service control manager's start and stop.
  void Start();
  void Stop();
  // Whether the service runs; reads its state at first use after the
  // machine was built.
  bool Running();
  // Counts the starts: printer handles of an earlier run are stale.
  unsigned Generation() const { return generation_; }
  const SpoolerState& State();

  // ---- Environments and folders ----
  // The environment of the machine's own spooler: x64 on 64-bit Windows.
  std::string NativeEnvironment() const;
  // The environment's name as the machine spells it, or "" when unknown.
  std::string KnownEnvironment(const std::string& environment) const;
  static std::string EnvironmentFolder(const std::string& environment);  // w32x86, x64
  std::string DriverDirectory(const std::string& environment) const;
  std::string VersionDirectory(const std::string& environment) const;  // ...\3
  std::string ProcessorDirectory(const std::string& environment) const;
  std::string JobDirectory() const;  // spool\PRINTERS
  static const std::vector<SpoolerForm>& BuiltInForms();

  // ---- Operations of the spooler calls (return a Windows error code) ----
  win::DWORD AddPrinter(const win::PRINTER_INFO_2& info);
  win::DWORD DeletePrinter(const std::string& name);
  win::DWORD DeleteJob(const std::string& printer, win::DWORD jobId);
  win::DWORD AddDriver(const std::string& environment, const win::DRIVER_INFO_3& info);
  win::DWORD DeleteDriver(const std::string& environment, const std::string& name,
                          win::DWORD deleteFlag, win::DWORD versionFlag);
  win::DWORD AddMonitor(const std::string& name, const std::string& environment,
                        const std::string& dll);
  win::DWORD DeleteMonitor(const std::string& environment, const std::string& name);
  win::DWORD AddProcessor(const std::string& environment, const std::string& file,
                          const std::string& name);
  win::DWORD DeleteProcessor(const std::string& environment, const std::string& name);
  win::DWORD DeleteForm(const std::string& name);

 private:
  SpoolerState ReadPersisted() const;
  // Where a monitor's library is found as the spooler loads it: a full path
  // as given, else the system folder, then the Windows folder; "" if nowhere.
  std::string FindMonitorLibrary(const std::string& dll) const;
  std::string ProcessorLibrary(const SpoolerProcessor& processor) const;
  // Holds every library the running service has loaded (after releasing all).
  void HoldLoadedLibraries();
  bool MonitorInUse(const std::string& name) const;

  void WritePrinter(const SpoolerPrinter& printer);
  void WriteJob(const std::string& printer, const SpoolerJob& job);
  void RemoveJobFiles(win::DWORD jobId);
  void WriteDriver(const SpoolerDriver& driver);
  void WriteMonitor(const SpoolerMonitor& monitor);
  void WriteProcessor(const SpoolerProcessor& processor);
  void WritePort(const std::string& port, const std::string& monitor);
  void WriteForm(const SpoolerForm& form);

  SimMachine& machine_;
  SpoolerState state_;
  bool loaded_ = false;
  unsigned generation_ = 0;
  win::DWORD nextJobId_ = 1;
};

}  // namespace sim
