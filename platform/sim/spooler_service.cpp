#include "platform/sim/spooler_service.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

#include "platform/sim/file_system.h"
#include "platform/sim/hex.h"
#include "platform/sim/sim_machine.h"

namespace sim {
namespace {

const std::string kPrint = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
const std::string kPrinters = kPrint + "\\Printers";
const std::string kMonitors = kPrint + "\\Monitors";
const std::string kForms = kPrint + "\\Forms";
// The ports of the "Local Port" monitor; ports of other monitors live under
// their monitor's key ("Monitors\<monitor>\Ports\<port>").
const std::string kLocalPorts = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const std::string kLocalPortMonitor = "Local Port";
const std::string kHolder = "spoolsv";

constexpr win::DWORD ERROR_CAN_NOT_COMPLETE = 1003;
constexpr win::DWORD ERROR_INVALID_FORM_NAME = 1902;
constexpr win::DWORD PRINTER_STATUS_PENDING_DELETION = 0x4;
constexpr win::DWORD FORM_USER = 0;

std::string DriversKey(const std::string& environment) {
  return kPrint + "\\Environments\\" + environment + "\\Drivers\\Version-3";
}
std::string ProcessorsKey(const std::string& environment) {
  return kPrint + "\\Environments\\" + environment + "\\Print Processors";
}

std::vector<win::BYTE> StringData(const std::string& text) {
  std::vector<win::BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}
std::vector<win::BYTE> DwordData(win::DWORD value) {
  return {static_cast<win::BYTE>(value), static_cast<win::BYTE>(value >> 8),
          static_cast<win::BYTE>(value >> 16), static_cast<win::BYTE>(value >> 24)};
}
win::DWORD DwordOf(const std::vector<win::BYTE>& data, std::size_t at = 0) {
  if (data.size() < at + 4) return 0;
  return static_cast<win::DWORD>(data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
                                 static_cast<win::DWORD>(data[at + 3]) << 24);
}
std::string StringOf(const std::vector<win::BYTE>& data) {
  std::string text(data.begin(), data.end());
  return text.substr(0, text.find('\0'));
}
std::vector<std::string> MultiStringOf(const std::vector<win::BYTE>& data) {
  std::vector<std::string> strings;
  std::string current;
  for (win::BYTE b : data) {
    if (b != 0) {
      current += static_cast<char>(b);
    } else if (current.empty()) {
      break;
    } else {
      strings.push_back(current);
      current.clear();
    }
  }
  return strings;
}

std::string Text(const RegistryStore& registry, const std::string& key, const std::string& value) {
  return registry.GetString(key, value).value_or("");
}
win::DWORD Number(const RegistryStore& registry, const std::string& key, const std::string& value,
                  win::DWORD fallback = 0) {
  return registry.GetDword(key, value).value_or(fallback);
}

// ---- Printer data in a description: a bare number is a REG_DWORD, a bare
// text a REG_SZ, a list of texts a REG_MULTI_SZ, {"type": "REG_BINARY",
// "hex": "..."} any bytes. ----

nlohmann::json DataToJson(const RegistryValue& value) {
  if (value.type == win::REG_DWORD && value.data.size() == 4) return DwordOf(value.data);
  if (value.type == win::REG_SZ && StringData(StringOf(value.data)) == value.data) {
    return StringOf(value.data);
  }
  return {{"type", value.type}, {"hex", ToHex(value.data)}};
}

RegistryValue DataFromJson(const std::string& name, const nlohmann::json& j) {
  RegistryValue value{name, win::REG_SZ, {}};
  if (j.is_number()) {
    value.type = win::REG_DWORD;
    value.data = DwordData(j.get<win::DWORD>());
  } else if (j.is_string()) {
    value.data = StringData(j.get<std::string>());
  } else if (j.is_array()) {
    value.type = win::REG_MULTI_SZ;
    for (const auto& text : j) {
      std::vector<win::BYTE> part = StringData(text.get<std::string>());
      value.data.insert(value.data.end(), part.begin(), part.end());
    }
    value.data.push_back(0);
  } else {
    value.type = j.at("type").is_number() ? j["type"].get<win::DWORD>()
                 : j["type"] == "REG_BINARY"  ? win::REG_BINARY
                 : j["type"] == "REG_DWORD"   ? win::REG_DWORD
                                              : win::REG_SZ;
    value.data = FromHex(j.value("hex", std::string()));
  }
  return value;
}

std::string JobFileName(win::DWORD id, const char* extension) {
  char name[32];
  std::snprintf(name, sizeof name, "%05u.%s", id, extension);
  return name;
}

// The entries of a list of the description; a single object stands for a
// list of one (what a brace-initialised list of one element becomes).
nlohmann::json ListOf(const nlohmann::json& section, const char* key) {
  if (!section.contains(key)) return nlohmann::json::array();
  const nlohmann::json& list = section[key];
  return list.is_object() ? nlohmann::json::array({list}) : list;
}

bool EndsWithNoCase(const std::string& text, const std::string& end) {
  return text.size() >= end.size() &&
         EqualsIgnoreCase(text.substr(text.size() - end.size()), end);
}

}  // namespace

std::vector<std::string> SpoolerDriver::Files() const {
  std::vector<std::string> all = {driverPath, dataFile, configFile, helpFile};
  all.insert(all.end(), dependentFiles.begin(), dependentFiles.end());
  std::vector<std::string> unique;
  for (const std::string& file : all) {
    if (file.empty()) continue;
    bool seen = std::any_of(unique.begin(), unique.end(),
                            [&](const std::string& u) { return EqualsIgnoreCase(u, file); });
    if (!seen) unique.push_back(file);
  }
  return unique;
}

SpoolerService::SpoolerService(SimMachine& machine) : machine_(machine) {}

// ---- Environments and folders ----

std::string SpoolerService::NativeEnvironment() const {
  return machine_.os.is64Bit ? kEnvironmentX64 : kEnvironmentX86;
}

std::string SpoolerService::KnownEnvironment(const std::string& environment) const {
  for (const std::string& known : machine_.registry->SubKeyNames(kPrint + "\\Environments")) {
    if (EqualsIgnoreCase(known, environment)) return known;
  }
  return {};
}

std::string SpoolerService::EnvironmentFolder(const std::string& environment) {
  return EqualsIgnoreCase(environment, kEnvironmentX64) ? "x64" : "w32x86";
}

std::string SpoolerService::DriverDirectory(const std::string& environment) const {
  return machine_.os.SystemDirectory() + "\\spool\\drivers\\" + EnvironmentFolder(environment);
}

std::string SpoolerService::VersionDirectory(const std::string& environment) const {
  return DriverDirectory(environment) + "\\3";
}

std::string SpoolerService::ProcessorDirectory(const std::string& environment) const {
  return machine_.os.SystemDirectory() + "\\spool\\prtprocs\\" + EnvironmentFolder(environment);
}

std::string SpoolerService::JobDirectory() const {
  return machine_.os.SystemDirectory() + "\\spool\\PRINTERS";
}

const std::vector<SpoolerForm>& SpoolerService::BuiltInForms() {
  static const std::vector<SpoolerForm> forms = {
      {"Letter", 215900, 279400},         {"Letter Small", 215900, 279400},
      {"Tabloid", 279400, 431800},        {"Ledger", 431800, 279400},
      {"Legal", 215900, 355600},          {"Statement", 139700, 215900},
      {"Executive", 184150, 266700},      {"A3", 297000, 420000},
      {"A4", 210000, 297000},             {"A4 Small", 210000, 297000},
      {"A5", 148000, 210000},             {"B4 (JIS)", 257000, 364000},
      {"B5 (JIS)", 182000, 257000},       {"Folio", 215900, 330200},
      {"Quarto", 215000, 275000},         {"10x14", 254000, 355600},
      {"11x17", 279400, 431800},          {"Note", 215900, 279400},
      {"Envelope #9", 98425, 225425},     {"Envelope #10", 104775, 241300},
      {"Envelope DL", 110000, 220000},    {"Envelope C5", 162000, 229000},
      {"Envelope C4", 229000, 324000},    {"Envelope C6", 114000, 162000},
      {"Envelope B5", 176000, 250000},    {"Envelope Monarch", 98425, 190500},
  };
  return forms;
}

// ---- Standard content ----

void SpoolerService::CreateStandardContent() {
  if (!machine_.os.IsNt()) return;  // Windows 9x has no spooler service of this kind
  RegistryStore& registry = *machine_.registry;
  FileSystem& files = *machine_.files;
  const std::string system = machine_.os.SystemDirectory();

  std::vector<std::string> environments = {kEnvironmentX86};
  if (machine_.os.is64Bit) environments.push_back(kEnvironmentX64);
  for (const std::string& environment : environments) {
    registry.SetString(kPrint + "\\Environments\\" + environment, "Directory",
                       environment == kEnvironmentX64 ? "x64" : "W32X86");
    registry.Create(DriversKey(environment));
    files.CreateDirectories(VersionDirectory(environment));
    WriteProcessor({environment, "winprint", "winprint.dll"});
    if (!files.Exists(ProcessorDirectory(environment) + "\\winprint.dll")) {
      files.WriteFile(ProcessorDirectory(environment) + "\\winprint.dll", "MZ");
    }
  }

  std::vector<SpoolerMonitor> monitors = {{kLocalPortMonitor, "localspl.dll"},
                                          {"USB Monitor", "usbmon.dll"}};
  const bool xpOrLater = machine_.os.major > 5 || (machine_.os.major == 5 && machine_.os.minor >= 1);
  if (xpOrLater) monitors.push_back({"Standard TCP/IP Port", "tcpmon.dll"});
  for (const SpoolerMonitor& monitor : monitors) {
    WriteMonitor(monitor);
    if (!files.Exists(system + "\\" + monitor.dll)) files.WriteFile(system + "\\" + monitor.dll, "MZ");
  }
  for (const char* port : {"COM1:", "COM2:", "COM3:", "COM4:"}) {
    registry.SetString(kLocalPorts, port, "9600,n,8,1");
  }
  for (const char* port : {"LPT1:", "LPT2:", "LPT3:", "FILE:"}) registry.SetString(kLocalPorts, port, "");
  registry.Create(kForms);
  registry.Create(kPrinters);
  files.CreateDirectories(JobDirectory());

  if (machine_.spooler.running) Start();
}

// ---- Writing the persisted state ----

void SpoolerService::WritePrinter(const SpoolerPrinter& printer) {
  RegistryStore& registry = *machine_.registry;
  const std::string key = kPrinters + "\\" + printer.name;
  registry.SetString(key, "Name", printer.name);
  registry.SetString(key, "Share Name", printer.shareName);
  registry.SetString(key, "Port", printer.port);
  registry.SetString(key, "Printer Driver", printer.driver);
  registry.SetString(key, "Description", printer.comment);
  registry.SetString(key, "Location", printer.location);
  registry.SetString(key, "Separator File", printer.separatorFile);
  registry.SetString(key, "Print Processor", printer.processor);
  registry.SetString(key, "Datatype", printer.datatype);
  registry.SetString(key, "Parameters", printer.parameters);
  registry.SetDword(key, "Attributes", printer.attributes);
  registry.SetDword(key, "Priority", printer.priority);
  registry.SetDword(key, "Default Priority", printer.defaultPriority);
  registry.SetDword(key, "StartTime", printer.startTime);
  registry.SetDword(key, "UntilTime", printer.untilTime);
  registry.SetDword(key, "Status", printer.status);
  auto data = registry.Create(key + "\\PrinterDriverData");
  for (const RegistryValue& value : printer.data) data->SetValue(value.name, value.type, value.data);
}

// A job is a shadow file (what the spooler knows of it) and a spool file
// (what was printed) in spool\PRINTERS, named by the job id.
void SpoolerService::WriteJob(const std::string& printer, const SpoolerJob& job) {
  machine_.files->WriteFile(JobDirectory() + "\\" + JobFileName(job.id, "SHD"),
                            "Printer=" + printer + "\r\nDocument=" + job.document + "\r\n");
  const std::string spool = JobDirectory() + "\\" + JobFileName(job.id, "SPL");
  if (!machine_.files->Exists(spool)) machine_.files->WriteFile(spool, "");
}

void SpoolerService::RemoveJobFiles(win::DWORD jobId) {
  for (const char* extension : {"SHD", "SPL"}) {
    machine_.files->DeleteFile(JobDirectory() + "\\" + JobFileName(jobId, extension));
  }
}

void SpoolerService::WriteDriver(const SpoolerDriver& driver) {
  RegistryStore& registry = *machine_.registry;
  const std::string key = DriversKey(driver.environment) + "\\" + driver.name;
  registry.SetDword(key, "Version", driver.version);
  registry.SetString(key, "Driver", driver.driverPath);
  registry.SetString(key, "Data File", driver.dataFile);
  registry.SetString(key, "Configuration File", driver.configFile);
  registry.SetString(key, "Help File", driver.helpFile);
  registry.SetMultiString(key, "Dependent Files", driver.dependentFiles);
  registry.SetString(key, "Monitor", driver.monitor);
  registry.SetString(key, "Datatype", driver.datatype);
}

void SpoolerService::WriteMonitor(const SpoolerMonitor& monitor) {
  machine_.registry->SetString(kMonitors + "\\" + monitor.name, "Driver", monitor.dll);
}

void SpoolerService::WriteProcessor(const SpoolerProcessor& processor) {
  machine_.registry->SetString(ProcessorsKey(processor.environment) + "\\" + processor.name,
                               "Driver", processor.dll);
}

void SpoolerService::WritePort(const std::string& port, const std::string& monitor) {
  if (EqualsIgnoreCase(monitor, kLocalPortMonitor)) {
    if (!machine_.registry->GetString(kLocalPorts, port)) {
      machine_.registry->SetString(kLocalPorts, port, "");
    }
  } else {
    machine_.registry->Create(kMonitors + "\\" + monitor + "\\Ports\\" + port);
  }
}

// A form value: width, height and the imageable area (left, top, right,
// bottom), LONGs in thousandths of a millimetre, then the form's flags.
void SpoolerService::WriteForm(const SpoolerForm& form) {
  std::vector<win::BYTE> bytes;
  for (win::DWORD number : {static_cast<win::DWORD>(form.width), static_cast<win::DWORD>(form.height),
                            0u, 0u, static_cast<win::DWORD>(form.width),
                            static_cast<win::DWORD>(form.height), FORM_USER}) {
    std::vector<win::BYTE> four = DwordData(number);
    bytes.insert(bytes.end(), four.begin(), four.end());
  }
  machine_.registry->Create(kForms)->SetValue(form.name, win::REG_BINARY, bytes);
}

// ---- Reading the persisted state ----

SpoolerState SpoolerService::ReadPersisted() const {
  SpoolerState state;
  if (!machine_.os.IsNt()) return state;
  const RegistryStore& registry = *machine_.registry;

  for (const std::string& environment : registry.SubKeyNames(kPrint + "\\Environments")) {
    for (const std::string& name : registry.SubKeyNames(DriversKey(environment))) {
      const std::string key = DriversKey(environment) + "\\" + name;
      SpoolerDriver driver{environment, name, Number(registry, key, "Version", 3),
                           Text(registry, key, "Driver"), Text(registry, key, "Data File"),
                           Text(registry, key, "Configuration File"), Text(registry, key, "Help File"),
                           {}, Text(registry, key, "Monitor"), Text(registry, key, "Datatype")};
      if (auto k = registry.Find(key)) {
        if (const RegistryValue* files = k->FindValue("Dependent Files")) {
          driver.dependentFiles = MultiStringOf(files->data);
        }
      }
      state.drivers[environment][name] = driver;
    }
    for (const std::string& name : registry.SubKeyNames(ProcessorsKey(environment))) {
      state.processors[environment][name] = {
          environment, name, Text(registry, ProcessorsKey(environment) + "\\" + name, "Driver")};
    }
  }

  for (const std::string& name : registry.SubKeyNames(kMonitors)) {
    state.monitors[name] = {name, Text(registry, kMonitors + "\\" + name, "Driver")};
    for (const std::string& port : registry.SubKeyNames(kMonitors + "\\" + name + "\\Ports")) {
      state.ports[port] = name;
    }
  }
  if (auto localPorts = registry.Find(kLocalPorts)) {
    for (const RegistryValue& port : localPorts->values) state.ports[port.name] = kLocalPortMonitor;
  }

  if (auto forms = registry.Find(kForms)) {
    for (const RegistryValue& form : forms->values) {
      state.userForms.push_back({form.name, static_cast<win::LONG>(DwordOf(form.data, 0)),
                                 static_cast<win::LONG>(DwordOf(form.data, 4))});
    }
  }

  for (const std::string& name : registry.SubKeyNames(kPrinters)) {
    const std::string key = kPrinters + "\\" + name;
    SpoolerPrinter printer;
    printer.name = name;
    printer.shareName = Text(registry, key, "Share Name");
    printer.port = Text(registry, key, "Port");
    printer.driver = Text(registry, key, "Printer Driver");
    printer.comment = Text(registry, key, "Description");
    printer.location = Text(registry, key, "Location");
    printer.separatorFile = Text(registry, key, "Separator File");
    printer.processor = Text(registry, key, "Print Processor");
    printer.datatype = Text(registry, key, "Datatype");
    printer.parameters = Text(registry, key, "Parameters");
    printer.attributes = Number(registry, key, "Attributes");
    printer.priority = Number(registry, key, "Priority", 1);
    printer.defaultPriority = Number(registry, key, "Default Priority");
    printer.startTime = Number(registry, key, "StartTime");
    printer.untilTime = Number(registry, key, "UntilTime");
    printer.status = Number(registry, key, "Status");
    if (auto data = registry.Find(key + "\\PrinterDriverData")) printer.data = data->values;
    state.printers[name] = printer;
  }

  // Jobs: the shadow files, in job-id order (the order they were queued).
  const FileSystem& files = *machine_.files;
  std::vector<std::pair<win::DWORD, std::string>> shadows;
  for (const std::string& file : files.List(JobDirectory())) {
    if (!EndsWithNoCase(file, ".SHD")) continue;
    shadows.push_back({static_cast<win::DWORD>(std::strtoul(file.c_str(), nullptr, 10)), file});
  }
  std::sort(shadows.begin(), shadows.end());
  for (const auto& [id, file] : shadows) {
    const std::string content = files.ReadFile(JobDirectory() + "\\" + file).value_or("");
    auto field = [&](const std::string& name) {
      std::size_t at = content.find(name + "=");
      if (at == std::string::npos) return std::string();
      at += name.size() + 1;
      return content.substr(at, content.find("\r\n", at) - at);
    };
    auto printer = state.printers.find(field("Printer"));
    if (printer != state.printers.end()) printer->second.jobs.push_back({id, field("Document")});
  }
  return state;
}

// ---- Start and stop ----

std::string SpoolerService::FindMonitorLibrary(const std::string& dll) const {
  if (dll.empty()) return {};
  std::vector<std::string> candidates;
  if (dll.find('\\') != std::string::npos) {
    candidates.push_back(dll);
  } else {
    // The spooler is a native process: on 64-bit Windows it sees the real
    // System32. A bare name is found as LoadLibrary finds it.
    candidates = {machine_.os.SystemDirectory() + "\\" + dll,
                  machine_.os.windowsDirectory + "\\" + dll};
  }
  for (const std::string& path : candidates) {
    if (machine_.files->Exists(path) && !machine_.files->IsDirectory(path)) return path;
  }
  return {};
}

std::string SpoolerService::ProcessorLibrary(const SpoolerProcessor& processor) const {
  const std::string path = ProcessorDirectory(processor.environment) + "\\" + processor.dll;
  return machine_.files->Exists(path) && !machine_.files->IsDirectory(path) ? path : "";
}

void SpoolerService::HoldLoadedLibraries() {
  FileSystem& files = *machine_.files;
  files.ReleaseHolds(kHolder);
  auto hold = [&](const std::string& path) {
    if (!path.empty()) {
      files.Hold(path, HoldKind::Loaded, win::FILE_SHARE_READ | win::FILE_SHARE_DELETE, kHolder);
    }
  };
  for (const auto& [name, monitor] : state_.monitors) hold(FindMonitorLibrary(monitor.dll));
  for (const auto& [environment, processors] : state_.processors) {
    for (const auto& [name, processor] : processors) hold(ProcessorLibrary(processor));
  }
}

void SpoolerService::Start() {
  state_ = ReadPersisted();
  // A library that cannot be loaded leaves its monitor or processor out of
  // the running service (its key stays); so do the ports of such a monitor.
  for (auto it = state_.monitors.begin(); it != state_.monitors.end();) {
    it = FindMonitorLibrary(it->second.dll).empty() ? state_.monitors.erase(it) : std::next(it);
  }
  for (auto it = state_.ports.begin(); it != state_.ports.end();) {
    it = state_.monitors.count(it->second) ? std::next(it) : state_.ports.erase(it);
  }
  for (auto& [environment, processors] : state_.processors) {
    for (auto it = processors.begin(); it != processors.end();) {
      it = ProcessorLibrary(it->second).empty() ? processors.erase(it) : std::next(it);
    }
  }
  // A printer whose deletion waited for its jobs goes once they are gone.
  nextJobId_ = 1;
  for (auto it = state_.printers.begin(); it != state_.printers.end();) {
    for (const SpoolerJob& job : it->second.jobs) nextJobId_ = std::max(nextJobId_, job.id + 1);
    if ((it->second.status & PRINTER_STATUS_PENDING_DELETION) && it->second.jobs.empty()) {
      machine_.registry->Delete(kPrinters + "\\" + it->first);
      it = state_.printers.erase(it);
    } else {
      ++it;
    }
  }
  loaded_ = true;
  ++generation_;
  HoldLoadedLibraries();
}

void SpoolerService::Stop() {
  state_ = SpoolerState{};
  loaded_ = false;
  machine_.files->ReleaseHolds(kHolder);
}

bool SpoolerService::Running() {
  if (!machine_.spooler.running) return false;
  if (!loaded_) Start();
  return true;
}

const SpoolerState& SpoolerService::State() {
  Running();
  return state_;
}

// ---- Description ----

void SpoolerService::Load(const nlohmann::json& section) {
  FileSystem& files = *machine_.files;
  const std::string native = NativeEnvironment();

  for (const auto& j : ListOf(section, "monitors")) {
    SpoolerMonitor monitor{j.at("name"), j.at("dll")};
    WriteMonitor(monitor);
    if (FindMonitorLibrary(monitor.dll).empty() && monitor.dll.find('\\') == std::string::npos) {
      files.WriteFile(machine_.os.SystemDirectory() + "\\" + monitor.dll, "MZ");
    }
  }
  for (const auto& j : ListOf(section, "ports")) {
    if (j.is_string()) {
      const std::string name = j.get<std::string>();
      WritePort(name, name.rfind("USB", 0) == 0 ? "USB Monitor" : kLocalPortMonitor);
    } else {
      WritePort(j.at("name"), j.value("monitor", kLocalPortMonitor));
    }
  }
  for (const auto& j : ListOf(section, "processors")) {
    SpoolerProcessor processor{j.value("environment", native), j.at("name"), j.at("dll")};
    if (KnownEnvironment(processor.environment).empty()) {
      throw std::runtime_error("spooler: unknown environment " + processor.environment);
    }
    WriteProcessor(processor);
    const std::string path = ProcessorDirectory(processor.environment) + "\\" + processor.dll;
    if (!files.Exists(path)) files.WriteFile(path, "MZ");
  }
  for (const auto& j : ListOf(section, "drivers")) {
    SpoolerDriver driver{j.value("environment", native),
                         j.at("name"),
                         j.value("version", 3u),
                         j.value("driver", std::string()),
                         j.value("dataFile", std::string()),
                         j.value("configFile", std::string()),
                         j.value("helpFile", std::string()),
                         j.value("dependentFiles", std::vector<std::string>()),
                         j.value("monitor", std::string()),
                         j.value("datatype", std::string())};
    if (KnownEnvironment(driver.environment).empty()) {
      throw std::runtime_error("spooler: unknown environment " + driver.environment);
    }
    WriteDriver(driver);
    for (const std::string& file : driver.Files()) {
      const std::string path = VersionDirectory(driver.environment) + "\\" + file;
      if (!files.Exists(path)) files.WriteFile(path, "MZ");
    }
  }
  for (const auto& j : ListOf(section, "forms")) {
    WriteForm({j.at("name"), j.value("width", 0), j.value("height", 0)});
  }
  for (const auto& j : ListOf(section, "printers")) {
    SpoolerPrinter printer;
    printer.name = j.at("name");
    printer.shareName = j.value("shareName", "");
    printer.port = j.value("port", "");
    printer.driver = j.value("driver", "");
    printer.comment = j.value("comment", "");
    printer.location = j.value("location", "");
    printer.separatorFile = j.value("separatorFile", "");
    printer.processor = j.value("processor", "winprint");
    printer.datatype = j.value("datatype", "RAW");
    printer.parameters = j.value("parameters", "");
    printer.attributes = j.value("attributes", 0u);
    printer.priority = j.value("priority", 1u);
    printer.defaultPriority = j.value("defaultPriority", 0u);
    printer.startTime = j.value("startTime", 0u);
    printer.untilTime = j.value("untilTime", 0u);
    printer.status = j.value("status", 0u);
    const nlohmann::json data = j.value("data", nlohmann::json::object());  // alive while iterated
    for (const auto& [name, value] : data.items()) {
      printer.data.push_back(DataFromJson(name, value));
    }
    WritePrinter(printer);
    for (const auto& job : ListOf(j, "jobs")) {
      if (job.is_number()) {
        WriteJob(printer.name, {job.get<win::DWORD>(), ""});
      } else {
        WriteJob(printer.name, {job.at("id").get<win::DWORD>(), job.value("document", "")});
      }
    }
  }
  if (machine_.spooler.running) Start();
}

nlohmann::json SpoolerService::Dump() const {
  const SpoolerState state = ReadPersisted();
  nlohmann::json printers = nlohmann::json::array();
  for (const auto& [name, p] : state.printers) {
    nlohmann::json data = nlohmann::json::object();
    for (const RegistryValue& value : p.data) data[value.name] = DataToJson(value);
    nlohmann::json jobs = nlohmann::json::array();
    for (const SpoolerJob& job : p.jobs) jobs.push_back({{"id", job.id}, {"document", job.document}});
    printers.push_back({{"name", p.name},       {"port", p.port},
                        {"driver", p.driver},   {"processor", p.processor},
                        {"datatype", p.datatype}, {"attributes", p.attributes},
                        {"priority", p.priority}, {"defaultPriority", p.defaultPriority},
                        {"status", p.status},   {"shareName", p.shareName},
                        {"comment", p.comment}, {"location", p.location},
                        {"separatorFile", p.separatorFile}, {"parameters", p.parameters},
                        {"startTime", p.startTime}, {"untilTime", p.untilTime},
                        {"data", data},         {"jobs", jobs}});
  }
  nlohmann::json drivers = nlohmann::json::array();
  for (const auto& [environment, byName] : state.drivers) {
    for (const auto& [name, d] : byName) {
      drivers.push_back({{"environment", d.environment}, {"name", d.name},
                         {"version", d.version},         {"driver", d.driverPath},
                         {"dataFile", d.dataFile},       {"configFile", d.configFile},
                         {"helpFile", d.helpFile},       {"dependentFiles", d.dependentFiles},
                         {"monitor", d.monitor},         {"datatype", d.datatype}});
    }
  }
  nlohmann::json monitors = nlohmann::json::array();
  for (const auto& [name, m] : state.monitors) monitors.push_back({{"name", m.name}, {"dll", m.dll}});
  nlohmann::json processors = nlohmann::json::array();
  for (const auto& [environment, byName] : state.processors) {
    for (const auto& [name, p] : byName) {
      processors.push_back({{"environment", p.environment}, {"name", p.name}, {"dll", p.dll}});
    }
  }
  nlohmann::json forms = nlohmann::json::array();
  for (const SpoolerForm& f : state.userForms) {
    forms.push_back({{"name", f.name}, {"width", f.width}, {"height", f.height}});
  }
  nlohmann::json ports = nlohmann::json::array();
  for (const auto& [port, monitor] : state.ports) ports.push_back({{"name", port}, {"monitor", monitor}});
  return {{"printers", printers},     {"drivers", drivers}, {"monitors", monitors},
          {"processors", processors}, {"forms", forms},     {"ports", ports}};
}

// ---- Operations ----

win::DWORD SpoolerService::AddPrinter(const win::PRINTER_INFO_2& info) {
  if (info.pPrinterName.empty() || info.pPrinterName.find('\\') != std::string::npos ||
      info.pPrinterName.find(',') != std::string::npos) {
    return win::ERROR_INVALID_PRINTER_NAME;
  }
  if (state_.printers.count(info.pPrinterName)) return win::ERROR_PRINTER_ALREADY_EXISTS;
  if (!state_.ports.count(info.pPortName)) return win::ERROR_UNKNOWN_PORT;
  // The printer runs in the spooler's own environment: its driver and
  // processor must be installed for that one.
  const auto drivers = state_.drivers.find(NativeEnvironment());
  if (drivers == state_.drivers.end() || !drivers->second.count(info.pDriverName)) {
    return win::ERROR_UNKNOWN_PRINTER_DRIVER;
  }
  const auto processors = state_.processors.find(NativeEnvironment());
  if (processors == state_.processors.end() || !processors->second.count(info.pPrintProcessor)) {
    return win::ERROR_UNKNOWN_PRINTPROCESSOR;
  }
  SpoolerPrinter printer;
  printer.name = info.pPrinterName;
  printer.shareName = info.pShareName;
  printer.port = info.pPortName;
  printer.driver = info.pDriverName;
  printer.comment = info.pComment;
  printer.location = info.pLocation;
  printer.separatorFile = info.pSepFile;
  printer.processor = info.pPrintProcessor;
  printer.datatype = info.pDatatype.empty() ? "RAW" : info.pDatatype;
  printer.parameters = info.pParameters;
  printer.attributes = info.Attributes;
  printer.priority = info.Priority;
  printer.defaultPriority = info.DefaultPriority;
  printer.startTime = info.StartTime;
  printer.untilTime = info.UntilTime;
  printer.status = info.Status;
  WritePrinter(printer);
  state_.printers[printer.name] = printer;
  return win::ERROR_SUCCESS;
}

win::DWORD SpoolerService::DeletePrinter(const std::string& name) {
  auto it = state_.printers.find(name);
  if (it == state_.printers.end()) return win::ERROR_INVALID_PRINTER_NAME;
  if (!it->second.jobs.empty()) {
    // Pending deletion: the printer goes when its last job is gone.
    it->second.status |= PRINTER_STATUS_PENDING_DELETION;
    machine_.registry->SetDword(kPrinters + "\\" + it->first, "Status", it->second.status);
    return win::ERROR_SUCCESS;
  }
  machine_.registry->Delete(kPrinters + "\\" + it->first);
  state_.printers.erase(it);
  return win::ERROR_SUCCESS;
}

win::DWORD SpoolerService::DeleteJob(const std::string& printerName, win::DWORD jobId) {
  auto printer = state_.printers.find(printerName);
  if (printer == state_.printers.end()) return win::ERROR_INVALID_PRINTER_NAME;
  auto& jobs = printer->second.jobs;
  auto job = std::find_if(jobs.begin(), jobs.end(), [&](const SpoolerJob& j) { return j.id == jobId; });
  if (job == jobs.end()) return win::ERROR_INVALID_PARAMETER;
  jobs.erase(job);
  RemoveJobFiles(jobId);
  if (jobs.empty() && (printer->second.status & PRINTER_STATUS_PENDING_DELETION)) {
    return DeletePrinter(printerName);
  }
  return win::ERROR_SUCCESS;
}

win::DWORD SpoolerService::AddDriver(const std::string& environmentAsGiven,
                                     const win::DRIVER_INFO_3& info) {
  const std::string environment = KnownEnvironment(environmentAsGiven);
  if (environment.empty()) return win::ERROR_INVALID_ENVIRONMENT;
  if (info.pName.empty() || info.pDriverPath.empty() || info.pDataFile.empty() ||
      info.pConfigFile.empty()) {
    return win::ERROR_INVALID_PARAMETER;
  }
  if (!info.pMonitorName.empty() && !state_.monitors.count(info.pMonitorName)) {
    return win::ERROR_UNKNOWN_PRINT_MONITOR;
  }
  SpoolerDriver driver{environment,      info.pName,          3,
                       {},               {},                  {},
                       {},               {},                  info.pMonitorName,
                       info.pDefaultDataType};
  // Files are named bare (taken from the driver directory) or by full path;
  // the registry keeps bare names.
  auto bare = [](const std::string& file) { return file.substr(file.find_last_of('\\') + 1); };
  driver.driverPath = bare(info.pDriverPath);
  driver.dataFile = bare(info.pDataFile);
  driver.configFile = bare(info.pConfigFile);
  driver.helpFile = info.pHelpFile.empty() ? "" : bare(info.pHelpFile);
  for (const std::string& file : info.pDependentFiles) driver.dependentFiles.push_back(bare(file));

  std::vector<std::string> given = {info.pDriverPath, info.pDataFile, info.pConfigFile,
                                    info.pHelpFile};
  given.insert(given.end(), info.pDependentFiles.begin(), info.pDependentFiles.end());
  std::vector<std::pair<std::string, std::string>> copies;  // source, destination
  FileSystem& files = *machine_.files;
  const std::string versionFolder = VersionDirectory(environment);
  for (const std::string& file : given) {
    if (file.empty()) continue;
    std::string source = file.find('\\') != std::string::npos
                             ? file
                             : DriverDirectory(environment) + "\\" + file;
    const std::string destination = versionFolder + "\\" + bare(file);
    if (!files.Exists(source) || files.IsDirectory(source)) {
      // A file already in the version folder (an update of the same files) will do.
      if (!files.Exists(destination)) return win::ERROR_FILE_NOT_FOUND;
      continue;
    }
    copies.push_back({source, destination});
  }
  files.CreateDirectories(versionFolder);
  for (const auto& [source, destination] : copies) {
    if (win::DWORD error = files.CopyFile(source, destination, false)) return error;
  }
  WriteDriver(driver);
  state_.drivers[environment][driver.name] = driver;
  return win::ERROR_SUCCESS;
}

win::DWORD SpoolerService::DeleteDriver(const std::string& environmentAsGiven,
                                        const std::string& name, win::DWORD deleteFlag,
                                        win::DWORD versionFlag) {
  const std::string environment = KnownEnvironment(environmentAsGiven);
  if (environment.empty()) return win::ERROR_INVALID_ENVIRONMENT;
  auto& drivers = state_.drivers[environment];
  auto it = drivers.find(name);
  if (it == drivers.end()) return win::ERROR_UNKNOWN_PRINTER_DRIVER;
  if ((deleteFlag & win::DPD_DELETE_SPECIFIC_VERSION) && versionFlag != it->second.version) {
    return win::ERROR_UNKNOWN_PRINTER_DRIVER;
  }
  for (const auto& [printerName, printer] : state_.printers) {
    if (EqualsIgnoreCase(printer.driver, name)) return win::ERROR_PRINTER_DRIVER_IN_USE;
  }
  const SpoolerDriver driver = it->second;
  auto usedByOther = [&](const std::string& file) {
    for (const auto& [otherName, other] : drivers) {
      if (EqualsIgnoreCase(otherName, name)) continue;
      for (const std::string& used : other.Files()) {
        if (EqualsIgnoreCase(used, file)) return true;
      }
    }
    return false;
  };
  if (deleteFlag & win::DPD_DELETE_ALL_FILES) {
    for (const std::string& file : driver.Files()) {
      if (usedByOther(file)) return win::ERROR_PRINTER_DRIVER_IN_USE;
    }
  }
  machine_.registry->Delete(DriversKey(environment) + "\\" + driver.name);
  drivers.erase(it);
  if (deleteFlag & (win::DPD_DELETE_UNUSED_FILES | win::DPD_DELETE_ALL_FILES)) {
    for (const std::string& file : driver.Files()) {
      // A file that cannot go now (held open) stays.
      if (!usedByOther(file)) machine_.files->DeleteFile(VersionDirectory(environment) + "\\" + file);
    }
  }
  return win::ERROR_SUCCESS;
}

win::DWORD SpoolerService::AddMonitor(const std::string& name, const std::string& environment,
                                      const std::string& dll) {
  if (name.empty() || dll.empty()) return win::ERROR_INVALID_PARAMETER;
  if (!environment.empty() && !EqualsIgnoreCase(environment, NativeEnvironment())) {
    return win::ERROR_INVALID_ENVIRONMENT;
  }
  if (state_.monitors.count(name)) return win::ERROR_PRINT_MONITOR_ALREADY_INSTALLED;
  const std::string library = FindMonitorLibrary(dll);
  if (library.empty()) return win::ERROR_MOD_NOT_FOUND;
  SpoolerMonitor monitor{name, dll};
  WriteMonitor(monitor);
  state_.monitors[name] = monitor;
  machine_.files->Hold(library, HoldKind::Loaded, win::FILE_SHARE_READ | win::FILE_SHARE_DELETE,
                       kHolder);
  return win::ERROR_SUCCESS;
}

bool SpoolerService::MonitorInUse(const std::string& name) const {
  for (const auto& [port, monitor] : state_.ports) {
    if (EqualsIgnoreCase(monitor, name)) return true;
  }
  for (const auto& [environment, drivers] : state_.drivers) {
    for (const auto& [driverName, driver] : drivers) {
      if (EqualsIgnoreCase(driver.monitor, name)) return true;
    }
  }
  return false;
}

win::DWORD SpoolerService::DeleteMonitor(const std::string& environment, const std::string& name) {
  if (!environment.empty() && KnownEnvironment(environment).empty()) {
    return win::ERROR_INVALID_ENVIRONMENT;
  }
  auto it = state_.monitors.find(name);
  if (it == state_.monitors.end()) return win::ERROR_UNKNOWN_PRINT_MONITOR;
  if (MonitorInUse(it->first)) return win::ERROR_PRINT_MONITOR_IN_USE;
  machine_.registry->Delete(kMonitors + "\\" + it->first);
  state_.monitors.erase(it);
  HoldLoadedLibraries();  // the monitor's library is unloaded
  return win::ERROR_SUCCESS;
}

win::DWORD SpoolerService::AddProcessor(const std::string& environmentAsGiven,
                                        const std::string& file, const std::string& name) {
  const std::string environment = KnownEnvironment(environmentAsGiven);
  if (environment.empty()) return win::ERROR_INVALID_ENVIRONMENT;
  if (name.empty() || file.empty()) return win::ERROR_INVALID_PARAMETER;
  auto& processors = state_.processors[environment];
  if (processors.count(name) || EqualsIgnoreCase(name, "winprint")) {
    return win::ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED;
  }
  SpoolerProcessor processor{environment, name, file.substr(file.find_last_of('\\') + 1)};
  const std::string library = ProcessorLibrary(processor);
  if (library.empty()) return win::ERROR_MOD_NOT_FOUND;
  WriteProcessor(processor);
  processors[name] = processor;
  machine_.files->Hold(library, HoldKind::Loaded, win::FILE_SHARE_READ | win::FILE_SHARE_DELETE,
                       kHolder);
  return win::ERROR_SUCCESS;
}

win::DWORD SpoolerService::DeleteProcessor(const std::string& environmentAsGiven,
                                           const std::string& name) {
  const std::string environment = KnownEnvironment(environmentAsGiven);
  if (environment.empty()) return win::ERROR_INVALID_ENVIRONMENT;
  auto& processors = state_.processors[environment];
  auto it = processors.find(name);
  if (it == processors.end()) return win::ERROR_UNKNOWN_PRINTPROCESSOR;
  for (const auto& [printerName, printer] : state_.printers) {
    if (EqualsIgnoreCase(printer.processor, name)) return ERROR_CAN_NOT_COMPLETE;
  }
  machine_.registry->Delete(ProcessorsKey(environment) + "\\" + it->first);
  processors.erase(it);
  HoldLoadedLibraries();  // the processor's library is unloaded
  return win::ERROR_SUCCESS;
}

win::DWORD SpoolerService::DeleteForm(const std::string& name) {
  for (const SpoolerForm& form : BuiltInForms()) {
    if (EqualsIgnoreCase(form.name, name)) return win::ERROR_INVALID_PARAMETER;
  }
  auto& forms = state_.userForms;
  auto it = std::find_if(forms.begin(), forms.end(),
                         [&](const SpoolerForm& f) { return EqualsIgnoreCase(f.name, name); });
  if (it == forms.end()) return ERROR_INVALID_FORM_NAME;
  if (auto key = machine_.registry->Find(kForms)) key->DeleteValue(it->name);
  forms.erase(it);
  return win::ERROR_SUCCESS;
}

}  // namespace sim
