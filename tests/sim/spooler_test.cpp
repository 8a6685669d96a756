// The simulated print spooler service: its state in the registry and files,
// start and stop, the libraries it holds, and the spooler calls of a process.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/file_system.h"
#include "platform/sim/last_error.h"
#include "platform/sim/registry_store.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/spooler_service.h"
#include "platform/win_constants.h"

namespace {

using nlohmann::json;

const std::string kPrint = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
const std::string kX86Drivers = kPrint + "\\Environments\\Windows NT x86\\Drivers\\Version-3";
const std::string kSystem = "C:\\WINDOWS\\system32";
const std::string kDriverDir = kSystem + "\\spool\\drivers\\w32x86";
const std::string kVersionDir = kDriverDir + "\\3";
const std::string kProcessorDir = kSystem + "\\spool\\prtprocs\\w32x86";
const std::string kDriverName = "HALVORN QPR-730";
const std::string kMonitorName = "HVN Language Monitor QPR730";
const std::string kProcessorName = "HVN PRINT PROCESSOR QPR730";

const win::PRINTER_DEFAULTSA kAllAccess{"raw", nullptr, win::PRINTER_ALL_ACCESS};

// The product's spooler objects as a machine description has them after an
// installation: monitor, processor, driver and one printer with its version.
json InstalledProduct() {
  json driver = {{"name", kDriverName},
                 {"driver", "UNIDRV.DLL"},
                 {"dataFile", "QPR730.GPD"},
                 {"configFile", "UNIDRVUI.DLL"},
                 {"helpFile", "UNIDRV.HLP"},
                 {"dependentFiles", {"UNIRES.DLL", "STDNAMES.GPD", "QPR730.DLL"}},
                 {"monitor", kMonitorName},
                 {"datatype", "RAW"}};
  json printer = {
      {"name", kDriverName},
      {"port", "COM1:"},
      {"driver", kDriverName},
      {"processor", kProcessorName},
      {"attributes", 0x1800},
      {"status", 0x80},
      {"data", {{"MajorVersion", 1}, {"MinorVersion", 2}, {"BuildVersion", 0}, {"ExtraVersion", 0}}},
      {"jobs", {{{"id", 3}, {"document", "Receipt 1"}}, 7, 9}}};
  return {{"monitors", json::array({{{"name", kMonitorName}, {"dll", "QPMON730.dll"}}})},
          {"processors", json::array({{{"name", kProcessorName}, {"dll", "QPPRC730.dll"}}})},
          {"drivers", json::array({driver})},
          {"forms", json::array({{{"name", "[730] Receipt"}, {"width", 80000}, {"height", 297000}}})},
          {"ports", json::array({"USB001"})},
          {"printers", json::array({printer})}};
}

class SpoolerTest : public testing::Test {
 protected:
  void Start(const std::string& preset, const json& spooler = json::object()) {
    json description = {{"preset", preset}};
    if (!spooler.empty()) description["spooler"] = spooler;
    machine = std::make_unique<sim::SimMachine>(description);
    process = machine->EnterProcess("C:\\test.exe", nullptr);
  }
  void TearDown() override {
    if (process) machine->LeaveProcess(*process);
  }

  win::Spooler& spooler() { return process->platform().spooler; }
  win::Kernel& kernel() { return process->platform().kernel; }
  sim::FileSystem& files() { return *machine->files; }

  void Net(const char* command) {
    kernel().WinExec(command, 0);
    kernel().Sleep(1500);
  }
  void RestartSpooler() {
    Net("net stop spooler");
    Net("net start spooler");
  }

  std::vector<std::string> PrinterNames() {
    std::vector<win::PRINTER_INFO_2> printers;
    EXPECT_TRUE(spooler().EnumPrintersA(win::PRINTER_ENUM_LOCAL, nullptr, 2, &printers));
    std::vector<std::string> names;
    for (const auto& p : printers) names.push_back(p.pPrinterName);
    return names;
  }
  std::vector<std::string> DriverNames(const char* environment = nullptr) {
    std::vector<win::DRIVER_INFO_3> drivers;
    EXPECT_TRUE(spooler().EnumPrinterDriversA(nullptr, environment, 3, &drivers));
    std::vector<std::string> names;
    for (const auto& d : drivers) names.push_back(d.pName);
    return names;
  }
  std::vector<win::DWORD> JobIds(win::HANDLE printer, win::DWORD first = 0, win::DWORD count = 1000) {
    std::vector<win::JOB_INFO_3> jobs;
    EXPECT_TRUE(spooler().EnumJobsA(printer, first, count, 3, &jobs));
    std::vector<win::DWORD> ids;
    for (const auto& j : jobs) ids.push_back(j.JobId);
    return ids;
  }
  win::HANDLE Open(const std::string& name) {
    win::HANDLE handle = 0;
    EXPECT_TRUE(spooler().OpenPrinterA(name.c_str(), &handle, &kAllAccess)) << name;
    return handle;
  }

  std::unique_ptr<sim::SimMachine> machine;
  std::shared_ptr<sim::SimProcess> process;
};

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST_F(SpoolerTest, EveryCallFailsWithServerUnavailableWhileStopped) {
  Start("xp", InstalledProduct());
  win::HANDLE printer = Open(kDriverName);
  Net("net stop spooler");
  ASSERT_FALSE(machine->spooler.running);

  std::vector<win::PRINTER_INFO_2> printers;
  std::vector<win::JOB_INFO_3> jobs;
  std::vector<win::FORM_INFO_1> forms;
  std::vector<win::DRIVER_INFO_3> drivers;
  std::vector<win::PRINTPROCESSOR_INFO_1> processors;
  win::MONITOR_INFO_2 monitor{"M", "", "localspl.dll"};
  win::DRIVER_INFO_3 driver;
  driver.pName = "D";
  win::PRINTER_INFO_2 info;
  info.pPrinterName = "P";
  char folder[256];
  win::DWORD needed = 0;
  win::HANDLE opened = 0;
  const std::vector<std::pair<const char*, std::function<bool()>>> calls = {
      {"EnumPrintersA", [&] { return spooler().EnumPrintersA(win::PRINTER_ENUM_LOCAL, nullptr, 2, &printers); }},
      {"OpenPrinterA", [&] { return spooler().OpenPrinterA(kDriverName.c_str(), &opened, nullptr); }},
      {"OpenPrinterA server", [&] { return spooler().OpenPrinterA(nullptr, &opened, nullptr); }},
      {"GetPrinterDataA", [&] {
         win::DWORD value = 0;
         return spooler().GetPrinterDataA(printer, "MajorVersion", nullptr,
                                          reinterpret_cast<win::BYTE*>(&value), 4, &needed) == 0;
       }},
      {"EnumJobsA", [&] { return spooler().EnumJobsA(printer, 0, 1000, 3, &jobs); }},
      {"SetJobA", [&] { return spooler().SetJobA(printer, 3, 0, nullptr, win::JOB_CONTROL_DELETE); }},
      {"DeletePrinter", [&] { return spooler().DeletePrinter(printer); }},
      {"EnumFormsA", [&] { return spooler().EnumFormsA(printer, 1, &forms); }},
      {"DeleteFormA", [&] { return spooler().DeleteFormA(printer, "[730] Receipt"); }},
      {"EnumPrinterDriversA", [&] { return spooler().EnumPrinterDriversA(nullptr, nullptr, 3, &drivers); }},
      {"EnumPrintProcessorsA", [&] { return spooler().EnumPrintProcessorsA(nullptr, nullptr, 1, &processors); }},
      {"AddMonitorA", [&] { return spooler().AddMonitorA(nullptr, 2, &monitor); }},
      {"AddPrintProcessorA", [&] { return spooler().AddPrintProcessorA(nullptr, nullptr, "winprint.dll", "X"); }},
      {"AddPrinterDriverA", [&] { return spooler().AddPrinterDriverA(nullptr, 3, &driver); }},
      {"AddPrinterA", [&] { return spooler().AddPrinterA(nullptr, 2, &info) != 0; }},
      {"DeletePrinterDriverExA", [&] {
         return spooler().DeletePrinterDriverExA(nullptr, nullptr, kDriverName.c_str(), 1, 3);
       }},
      {"DeleteMonitorA", [&] { return spooler().DeleteMonitorA(nullptr, nullptr, kMonitorName.c_str()); }},
      {"DeletePrintProcessorA", [&] {
         return spooler().DeletePrintProcessorA(nullptr, nullptr, kProcessorName.c_str());
       }},
      {"GetPrinterDriverDirectoryA", [&] {
         return spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, folder, 256, &needed);
       }},
      {"GetPrintProcessorDirectoryA", [&] {
         return spooler().GetPrintProcessorDirectoryA(nullptr, nullptr, 1, folder, 256, &needed);
       }},
      {"ClosePrinter", [&] { return spooler().ClosePrinter(printer); }},
  };
  for (const auto& [name, call] : calls) {
    sim::SetLastError(0);
    EXPECT_FALSE(call()) << name;
    EXPECT_EQ(sim::GetLastError(), win::RPC_S_SERVER_UNAVAILABLE) << name;
  }
  // Nothing of it reached the persisted state.
  Net("net start spooler");
  EXPECT_TRUE(Contains(PrinterNames(), kDriverName));
  EXPECT_EQ(JobIds(Open(kDriverName)), (std::vector<win::DWORD>{3, 7, 9}));
}

TEST_F(SpoolerTest, OpenPrinterNamesAndStaleHandles) {
  Start("xp", InstalledProduct());
  win::HANDLE handle = 0;
  EXPECT_FALSE(spooler().OpenPrinterA("No Such Printer", &handle, nullptr));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INVALID_PRINTER_NAME);
  EXPECT_TRUE(spooler().OpenPrinterA("halvorn qpr-730", &handle, nullptr));  // any case

  // A handle of an earlier run of the service is stale.
  RestartSpooler();
  std::vector<win::JOB_INFO_3> jobs;
  EXPECT_FALSE(spooler().EnumJobsA(handle, 0, 10, 3, &jobs));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INVALID_HANDLE);
}

TEST_F(SpoolerTest, AddPrinterDriverCopiesBareNamedFilesIntoTheVersionFolder) {
  Start("xp", {{"monitors", json::array({{{"name", kMonitorName}, {"dll", "QPMON730.dll"}}})}});
  for (const char* file : {"UNIDRV.DLL", "QPR730.GPD", "UNIDRVUI.DLL", "UNIDRV.HLP", "UNIRES.DLL",
                           "QPR730.DLL"}) {
    files().WriteFile(kDriverDir + "\\" + file, std::string("bytes of ") + file);
  }
  win::DRIVER_INFO_3 driver;
  driver.cVersion = 3;
  driver.pName = kDriverName;
  driver.pEnvironment = "Windows NT x86";
  driver.pDriverPath = "UNIDRV.DLL";
  driver.pDataFile = "QPR730.GPD";
  driver.pConfigFile = "UNIDRVUI.DLL";
  driver.pHelpFile = "UNIDRV.HLP";
  driver.pDependentFiles = {"UNIRES.DLL", "QPR730.DLL"};
  driver.pMonitorName = kMonitorName;
  driver.pDefaultDataType = "RAW";

  struct Refusal {
    const char* what;
    std::function<void(win::DRIVER_INFO_3&)> change;
    win::DWORD error;
  };
  const std::vector<Refusal> refusals = {
      {"missing dependent file", [](auto& d) { d.pDependentFiles.push_back("QPUI730.INI"); },
       win::ERROR_FILE_NOT_FOUND},
      {"unknown environment", [](auto& d) { d.pEnvironment = "Windows 4.0"; }, win::ERROR_INVALID_ENVIRONMENT},
      {"64-bit environment on 32-bit Windows", [](auto& d) { d.pEnvironment = "Windows x64"; },
       win::ERROR_INVALID_ENVIRONMENT},
      {"monitor not installed", [](auto& d) { d.pMonitorName = "No Monitor"; }, win::ERROR_UNKNOWN_PRINT_MONITOR},
  };
  for (const Refusal& refusal : refusals) {
    win::DRIVER_INFO_3 changed = driver;
    refusal.change(changed);
    EXPECT_FALSE(spooler().AddPrinterDriverA(nullptr, 3, &changed)) << refusal.what;
    EXPECT_EQ(sim::GetLastError(), refusal.error) << refusal.what;
  }
  EXPECT_FALSE(files().Exists(kVersionDir + "\\UNIDRV.DLL"));  // a refusal copies nothing

  ASSERT_TRUE(spooler().AddPrinterDriverA(nullptr, 3, &driver));
  for (const char* file : {"UNIDRV.DLL", "QPR730.GPD", "UNIDRVUI.DLL", "UNIDRV.HLP", "UNIRES.DLL",
                           "QPR730.DLL"}) {
    EXPECT_EQ(files().ReadFile(kVersionDir + "\\" + file), std::string("bytes of ") + file);
    EXPECT_TRUE(files().Exists(kDriverDir + "\\" + file)) << "a copy, not a move";
  }
  const std::string key = kX86Drivers + "\\" + kDriverName;
  EXPECT_EQ(machine->registry->GetString(key, "Data File"), "QPR730.GPD");
  EXPECT_EQ(machine->registry->GetString(key, "Monitor"), kMonitorName);
  EXPECT_TRUE(Contains(DriverNames(), kDriverName));

  // Adding it again updates it, also when the staged files are gone by then.
  files().DeleteFile(kDriverDir + "\\QPR730.DLL");
  driver.pDefaultDataType = "NT EMF 1.008";
  ASSERT_TRUE(spooler().AddPrinterDriverA(nullptr, 3, &driver));
  EXPECT_EQ(machine->registry->GetString(key, "Datatype"), "NT EMF 1.008");
}

TEST_F(SpoolerTest, DriverInUseIsRefusedUntilItsKeysAreGoneAndTheSpoolerRestarts) {
  Start("xp", InstalledProduct());
  EXPECT_FALSE(spooler().DeletePrinterDriverExA(nullptr, nullptr, kDriverName.c_str(),
                                                win::DPD_DELETE_UNUSED_FILES, 3));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_PRINTER_DRIVER_IN_USE);

  // Keys deleted behind the running spooler's back count from its next start.
  ASSERT_TRUE(machine->registry->Delete(kX86Drivers + "\\" + kDriverName));
  ASSERT_TRUE(machine->registry->Delete(kPrint + "\\Printers\\" + kDriverName));
  EXPECT_TRUE(Contains(DriverNames(), kDriverName));
  EXPECT_TRUE(Contains(PrinterNames(), kDriverName));
  RestartSpooler();
  EXPECT_FALSE(Contains(DriverNames(), kDriverName));
  EXPECT_FALSE(Contains(PrinterNames(), kDriverName));
  EXPECT_FALSE(spooler().DeletePrinterDriverExA(nullptr, nullptr, kDriverName.c_str(), 1, 3));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_UNKNOWN_PRINTER_DRIVER);
}

TEST_F(SpoolerTest, DeletingUnusedFilesKeepsAFileAnotherDriverUses) {
  json description = InstalledProduct();
  description.erase("printers");
  description["drivers"].push_back({{"name", "Other Unidrv Printer"},
                                    {"driver", "UNIDRV.DLL"},
                                    {"dataFile", "OTHER.GPD"},
                                    {"configFile", "UNIDRVUI.DLL"}});
  Start("xp", description);
  ASSERT_TRUE(spooler().DeletePrinterDriverExA(nullptr, nullptr, kDriverName.c_str(),
                                               win::DPD_DELETE_UNUSED_FILES, 3));
  for (const char* shared : {"UNIDRV.DLL", "UNIDRVUI.DLL", "OTHER.GPD"}) {
    EXPECT_TRUE(files().Exists(kVersionDir + "\\" + shared)) << shared;
  }
  for (const char* own : {"QPR730.GPD", "UNIDRV.HLP", "UNIRES.DLL", "STDNAMES.GPD", "QPR730.DLL"}) {
    EXPECT_FALSE(files().Exists(kVersionDir + "\\" + own)) << own;
  }
  EXPECT_EQ(DriverNames(), std::vector<std::string>{"Other Unidrv Printer"});
  EXPECT_EQ(machine->registry->Find(kX86Drivers + "\\" + kDriverName), nullptr);
}

TEST_F(SpoolerTest, LoadedMonitorLibraryCanBeRenamedButNotReplacedUntilTheSpoolerStops) {
  Start("xp", InstalledProduct());
  const std::string dll = kSystem + "\\QPMON730.dll";
  files().WriteFile("C:\\QPR730\\QPMON730.dll", "new");
  EXPECT_FALSE(kernel().CopyFileA("C:\\QPR730\\QPMON730.dll", dll.c_str(), win::FALSE));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(kernel().DeleteFileA(dll.c_str()));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_ACCESS_DENIED);
  EXPECT_TRUE(kernel().MoveFileA(dll.c_str(), (dll + ".old").c_str()));
  EXPECT_FALSE(kernel().DeleteFileA((dll + ".old").c_str())) << "the renamed image is still loaded";
  EXPECT_TRUE(kernel().CopyFileA("C:\\QPR730\\QPMON730.dll", dll.c_str(), win::FALSE));

  Net("net stop spooler");
  EXPECT_TRUE(kernel().DeleteFileA((dll + ".old").c_str()));
  EXPECT_TRUE(kernel().DeleteFileA(dll.c_str()));
}

TEST_F(SpoolerTest, AddAndDeleteMonitor) {
  Start("xp", InstalledProduct());
  auto add = [&](const std::string& name, const std::string& dll) {
    win::MONITOR_INFO_2 monitor{name, "Windows NT x86", dll};
    return spooler().AddMonitorA(nullptr, 2, &monitor);
  };
  EXPECT_FALSE(add(kMonitorName, "QPMON730.dll"));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
  EXPECT_FALSE(add("Second Monitor", "MISSING.dll"));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(machine->registry->Find(kPrint + "\\Monitors\\Second Monitor"), nullptr);

  files().WriteFile(kSystem + "\\SECOND.dll", "MZ");
  ASSERT_TRUE(add("Second Monitor", "SECOND.dll"));
  EXPECT_EQ(machine->registry->GetString(kPrint + "\\Monitors\\Second Monitor", "Driver"), "SECOND.dll");
  EXPECT_EQ(files().HoldsOn(kSystem + "\\SECOND.dll").size(), 1u);

  // In use by ports (Local Port) or by a driver; unknown once deleted.
  EXPECT_FALSE(spooler().DeleteMonitorA(nullptr, nullptr, "Local Port"));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_PRINT_MONITOR_IN_USE);
  EXPECT_FALSE(spooler().DeleteMonitorA(nullptr, nullptr, kMonitorName.c_str()));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_PRINT_MONITOR_IN_USE);
  ASSERT_TRUE(spooler().DeleteMonitorA(nullptr, nullptr, "Second Monitor"));
  EXPECT_TRUE(files().HoldsOn(kSystem + "\\SECOND.dll").empty());
  EXPECT_TRUE(kernel().DeleteFileA((kSystem + "\\SECOND.dll").c_str()));
  EXPECT_FALSE(spooler().DeleteMonitorA(nullptr, nullptr, "Second Monitor"));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_UNKNOWN_PRINT_MONITOR);
}

TEST_F(SpoolerTest, MonitorOf64BitWindowsIsFoundInTheWindowsFolder) {
  // The 32-bit installer cannot reach System32 there and copies the library
  // into the Windows folder, where the 64-bit spooler still loads it.
  Start("xp-x64");
  files().WriteFile("C:\\WINDOWS\\QPMON730.dll", "MZ");
  win::MONITOR_INFO_2 x86{kMonitorName, "Windows NT x86", "QPMON730.dll"};
  EXPECT_FALSE(spooler().AddMonitorA(nullptr, 2, &x86));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INVALID_ENVIRONMENT);
  win::MONITOR_INFO_2 x64{kMonitorName, "Windows x64", "QPMON730.dll"};
  ASSERT_TRUE(spooler().AddMonitorA(nullptr, 2, &x64));
  EXPECT_EQ(files().HoldsOn("C:\\WINDOWS\\QPMON730.dll").size(), 1u);
}

TEST_F(SpoolerTest, AddAndDeletePrintProcessor) {
  Start("xp", InstalledProduct());
  files().WriteFile(kProcessorDir + "\\SECOND.dll", "MZ");
  struct Case {
    const char* environment;
    const char* file;
    const char* name;
    win::DWORD error;
  };
  const std::vector<Case> refusals = {
      {nullptr, "MISSING.dll", "Second", win::ERROR_MOD_NOT_FOUND},
      {nullptr, "SECOND.dll", kProcessorName.c_str(), win::ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED},
      {nullptr, "SECOND.dll", "WinPrint", win::ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED},
      {"Windows IA64", "SECOND.dll", "Second", win::ERROR_INVALID_ENVIRONMENT},
  };
  for (const Case& c : refusals) {
    EXPECT_FALSE(spooler().AddPrintProcessorA(nullptr, c.environment, c.file, c.name)) << c.file << c.name;
    EXPECT_EQ(sim::GetLastError(), c.error) << c.file << " " << c.name;
  }
  ASSERT_TRUE(spooler().AddPrintProcessorA(nullptr, "Windows NT x86", "SECOND.dll", "Second"));
  EXPECT_EQ(files().HoldsOn(kProcessorDir + "\\SECOND.dll").size(), 1u);
  std::vector<win::PRINTPROCESSOR_INFO_1> processors;
  ASSERT_TRUE(spooler().EnumPrintProcessorsA(nullptr, nullptr, 1, &processors));
  std::vector<std::string> names;
  for (const auto& p : processors) names.push_back(p.pName);
  EXPECT_EQ(names, (std::vector<std::string>{kProcessorName, "Second", "winprint"}));

  EXPECT_FALSE(spooler().DeletePrintProcessorA(nullptr, nullptr, kProcessorName.c_str()));
  EXPECT_EQ(sim::GetLastError(), 1003u) << "in use by a printer: ERROR_CAN_NOT_COMPLETE";
  ASSERT_TRUE(spooler().DeletePrintProcessorA(nullptr, nullptr, "Second"));
  EXPECT_TRUE(files().HoldsOn(kProcessorDir + "\\SECOND.dll").empty());
  EXPECT_FALSE(spooler().DeletePrintProcessorA(nullptr, nullptr, "Second"));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_UNKNOWN_PRINTPROCESSOR);
}

TEST_F(SpoolerTest, AddPrinterChecksPortDriverProcessorAndName) {
  Start("xp", InstalledProduct());
  win::PRINTER_INFO_2 printer;
  printer.pPrinterName = "HALVORN QPR-730(#1)";
  printer.pPortName = "COM2:";
  printer.pDriverName = kDriverName;
  printer.pPrintProcessor = kProcessorName;
  printer.pDatatype = "RAW";
  printer.Attributes = win::PRINTER_ATTRIBUTE_ENABLE_BIDI | win::PRINTER_ATTRIBUTE_RAW_ONLY;
  printer.Priority = 1;
  printer.Status = win::PRINTER_STATUS_OFFLINE;

  struct Refusal {
    const char* what;
    std::function<void(win::PRINTER_INFO_2&)> change;
    win::DWORD error;
  };
  const std::vector<Refusal> refusals = {
      {"port", [](auto& p) { p.pPortName = "COM9:"; }, win::ERROR_UNKNOWN_PORT},
      {"driver", [](auto& p) { p.pDriverName = "Other Driver"; }, win::ERROR_UNKNOWN_PRINTER_DRIVER},
      {"processor", [](auto& p) { p.pPrintProcessor = "Other"; }, win::ERROR_UNKNOWN_PRINTPROCESSOR},
      {"existing name", [](auto& p) { p.pPrinterName = "halvorn qpr-730"; }, win::ERROR_PRINTER_ALREADY_EXISTS},
  };
  for (const Refusal& refusal : refusals) {
    win::PRINTER_INFO_2 changed = printer;
    refusal.change(changed);
    EXPECT_EQ(spooler().AddPrinterA(nullptr, 2, &changed), 0u) << refusal.what;
    EXPECT_EQ(sim::GetLastError(), refusal.error) << refusal.what;
  }

  win::HANDLE handle = spooler().AddPrinterA(nullptr, 2, &printer);
  ASSERT_NE(handle, 0u);
  EXPECT_TRUE(spooler().ClosePrinter(handle));
  const std::string key = kPrint + "\\Printers\\" + printer.pPrinterName;
  EXPECT_EQ(machine->registry->GetDword(key, "Status"), 0x80u);
  EXPECT_EQ(machine->registry->GetDword(key, "Attributes"), 0x1800u);
  EXPECT_EQ(machine->registry->GetString(key, "Port"), "COM2:");
  // Written at once: a restart still knows it. USB001 came from the description.
  RestartSpooler();
  EXPECT_EQ(PrinterNames(), (std::vector<std::string>{kDriverName, "HALVORN QPR-730(#1)"}));
  printer.pPrinterName = "On USB";
  printer.pPortName = "USB001";
  EXPECT_NE(spooler().AddPrinterA(nullptr, 2, &printer), 0u);
}

TEST_F(SpoolerTest, PrinterDataOfTheVersionValues) {
  Start("xp", InstalledProduct());
  win::HANDLE printer = Open(kDriverName);
  const std::vector<std::pair<const char*, win::DWORD>> versions = {
      {"MajorVersion", 1}, {"MinorVersion", 2}, {"BuildVersion", 0}, {"ExtraVersion", 0}};
  for (const auto& [name, expected] : versions) {
    win::DWORD value = 0xFFFFFFFF, type = 0, needed = 0;
    EXPECT_EQ(spooler().GetPrinterDataA(printer, name, &type, reinterpret_cast<win::BYTE*>(&value), 4,
                                        &needed),
              win::ERROR_SUCCESS)
        << name;
    EXPECT_EQ(value, expected) << name;
    EXPECT_EQ(type, win::REG_DWORD);
    EXPECT_EQ(needed, 4u);
  }
  win::DWORD value = 0, needed = 0;
  EXPECT_EQ(spooler().GetPrinterDataA(printer, "Missing", nullptr, reinterpret_cast<win::BYTE*>(&value),
                                      4, &needed),
            win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(sim::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(spooler().GetPrinterDataA(printer, "MajorVersion", nullptr,
                                      reinterpret_cast<win::BYTE*>(&value), 2, &needed),
            win::ERROR_MORE_DATA);
  EXPECT_EQ(needed, 4u);
}

TEST_F(SpoolerTest, JobsAreEnumeratedInQueueOrderAndDeleted) {
  Start("xp", InstalledProduct());
  win::HANDLE printer = Open(kDriverName);
  EXPECT_EQ(JobIds(printer), (std::vector<win::DWORD>{3, 7, 9}));
  EXPECT_EQ(JobIds(printer, 1, 1), (std::vector<win::DWORD>{7}));
  EXPECT_TRUE(JobIds(printer, 3, 10).empty());

  EXPECT_TRUE(spooler().SetJobA(printer, 7, 0, nullptr, win::JOB_CONTROL_DELETE));
  EXPECT_TRUE(spooler().SetJobA(printer, 3, 0, nullptr, win::JOB_CONTROL_CANCEL));
  EXPECT_FALSE(spooler().SetJobA(printer, 7, 0, nullptr, win::JOB_CONTROL_DELETE));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(JobIds(printer), (std::vector<win::DWORD>{9}));
  EXPECT_FALSE(files().Exists(kSystem + "\\spool\\PRINTERS\\00007.SHD"));
  EXPECT_TRUE(files().Exists(kSystem + "\\spool\\PRINTERS\\00009.SHD"));
}

TEST_F(SpoolerTest, DeletePrinterNeedsDeleteAccessAndWaitsForTheJobs) {
  Start("xp", InstalledProduct());
  win::HANDLE user = 0;
  ASSERT_TRUE(spooler().OpenPrinterA(kDriverName.c_str(), &user, nullptr));
  EXPECT_FALSE(spooler().DeletePrinter(user));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_ACCESS_DENIED);

  // With jobs queued the printer is pending deletion until the last one goes.
  win::HANDLE admin = Open(kDriverName);
  ASSERT_TRUE(spooler().DeletePrinter(admin));
  EXPECT_TRUE(Contains(PrinterNames(), kDriverName));
  for (win::DWORD id : {3u, 7u, 9u}) spooler().SetJobA(admin, id, 0, nullptr, win::JOB_CONTROL_DELETE);
  EXPECT_FALSE(Contains(PrinterNames(), kDriverName));
  EXPECT_EQ(machine->registry->Find(kPrint + "\\Printers\\" + kDriverName), nullptr);
  std::vector<win::JOB_INFO_3> jobs;
  EXPECT_FALSE(spooler().EnumJobsA(admin, 0, 10, 3, &jobs));
  EXPECT_TRUE(spooler().ClosePrinter(admin));
}

TEST_F(SpoolerTest, UserFormIsDeletedAndBuiltInFormsStay) {
  Start("xp", InstalledProduct());
  win::HANDLE server = 0;
  ASSERT_TRUE(spooler().OpenPrinterA(nullptr, &server, nullptr));
  std::vector<win::FORM_INFO_1> forms;
  ASSERT_TRUE(spooler().EnumFormsA(server, 1, &forms));
  ASSERT_GT(forms.size(), 2u);
  EXPECT_EQ(forms.front().pName, "Letter");
  EXPECT_EQ(forms.back().pName, "[730] Receipt");
  EXPECT_EQ(forms.back().width, 80000);
  const std::size_t before = forms.size();

  EXPECT_FALSE(spooler().DeleteFormA(server, "A4"));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(spooler().DeleteFormA(server, "[730] No Such Form"));
  EXPECT_EQ(sim::GetLastError(), 1902u);  // ERROR_INVALID_FORM_NAME
  ASSERT_TRUE(spooler().DeleteFormA(server, "[730] Receipt"));

  ASSERT_TRUE(spooler().EnumFormsA(server, 1, &forms));
  EXPECT_EQ(forms.size(), before - 1);
  for (const auto& form : forms) EXPECT_NE(form.pName, "[730] Receipt");
  auto formsKey = machine->registry->Find(kPrint + "\\Forms");
  ASSERT_NE(formsKey, nullptr);
  EXPECT_EQ(formsKey->FindValue("[730] Receipt"), nullptr);
}

TEST_F(SpoolerTest, ThirtyTwoBitCallerOn64BitWindowsSeesX86DriversByDefault) {
  json description = {
      {"drivers",
       {{{"name", "X86 Driver"}, {"environment", "Windows NT x86"}, {"driver", "A.DLL"},
         {"dataFile", "A.GPD"}, {"configFile", "AUI.DLL"}},
        {{"name", "X64 Driver"}, {"environment", "Windows x64"}, {"driver", "B.DLL"},
         {"dataFile", "B.GPD"}, {"configFile", "BUI.DLL"}}}}};
  Start("xp-x64", description);
  ASSERT_TRUE(process->wow64);
  EXPECT_EQ(DriverNames(), std::vector<std::string>{"X86 Driver"});
  EXPECT_EQ(DriverNames("Windows x64"), std::vector<std::string>{"X64 Driver"});
  EXPECT_TRUE(files().Exists("C:\\WINDOWS\\system32\\spool\\drivers\\x64\\3\\B.GPD"));

  char folder[256];
  win::DWORD needed = 0;
  ASSERT_TRUE(spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, folder, sizeof folder, &needed));
  EXPECT_STREQ(folder, "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86");
  EXPECT_FALSE(spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, folder, 10, &needed));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(needed, std::strlen("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86") + 1);
}

TEST_F(SpoolerTest, DescriptionLoadsAndTheDumpShowsTheStateAfterARun) {
  Start("xp", InstalledProduct());
  win::HANDLE printer = Open(kDriverName);
  spooler().SetJobA(printer, 7, 0, nullptr, win::JOB_CONTROL_DELETE);

  const json dump = machine->spoolerService->Dump();
  const json& p = dump["printers"][0];
  EXPECT_EQ(p["name"], kDriverName);
  EXPECT_EQ(p["port"], "COM1:");
  EXPECT_EQ(p["status"], 0x80);
  EXPECT_EQ(p["data"]["MinorVersion"], 2);
  EXPECT_EQ(p["jobs"], json::parse(R"([{"id":3,"document":"Receipt 1"},{"id":9,"document":""}])"));
  auto hasEntry = [](const json& list, const std::string& key, const std::string& value) {
    for (const auto& entry : list) {
      if (entry[key] == value) return true;
    }
    return false;
  };
  EXPECT_TRUE(hasEntry(dump["drivers"], "name", kDriverName));
  EXPECT_TRUE(hasEntry(dump["monitors"], "name", kMonitorName));
  EXPECT_TRUE(hasEntry(dump["monitors"], "name", "Standard TCP/IP Port"));
  EXPECT_TRUE(hasEntry(dump["processors"], "name", kProcessorName));
  EXPECT_TRUE(hasEntry(dump["forms"], "name", "[730] Receipt"));
  EXPECT_TRUE(hasEntry(dump["ports"], "name", "USB001"));
  EXPECT_TRUE(hasEntry(dump["ports"], "name", "LPT3:"));

  // Loading the dump over the machine that holds that state changes nothing,
  // and a machine built from the whole dump has the same spooler.
  const json whole = machine->Dump();
  machine->spoolerService->Load(dump);
  EXPECT_EQ(machine->Dump(), whole);
  machine->LeaveProcess(*process);
  process.reset();
  sim::SimMachine copy(whole);
  EXPECT_EQ(copy.spoolerService->Dump(), dump);
  EXPECT_EQ(copy.files->HoldsOn(kSystem + "\\QPMON730.dll").size(), 1u);
}

}  // namespace
