#include <gtest/gtest.h>

#include <algorithm>

#include "platform/sim/file_system.h"
#include "platform/sim/registry_store.h"
#include "platform/sim/scripted_user.h"
#include "platform/sim/transcript.h"
#include "tests/support/installer_harness.h"
#include "tests/support/sim_session.h"

namespace {

using sim::EntryKind;

const std::string kDriver = "HALVORN QPR-730";
const std::string kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HALVORN_QPR-730";

// A machine with the driver package in C:\QPR730 whose user answers the
// restart question with `restart` (Yes or No).
std::unique_ptr<sim::SimMachine> PackageMachine(const nlohmann::json& description,
                                                const char* restart = "No") {
  auto machine = test::MakeMachine(description);
  test::AddDriverPackage(*machine);
  machine->user->AnswerMessageBoxes("QPR730_Installer", "Restarting your computer", restart);
  return machine;
}

win::DWORD Install(sim::SimMachine& machine, int portCode) {
  return test::RunOnInstallerDialog(machine, [portCode](DriverInstaller& installer) {
    installer.AddToWin2K(portCode);
  });
}

// The log's texts from the first "AddToWin2K BEGIN" on.
std::vector<std::string> InstallationLog(sim::SimMachine& machine) {
  std::vector<std::string> texts = test::InstallerLogTexts(machine);
  auto begin = std::find(texts.begin(), texts.end(), "AddToWin2K BEGIN");
  return std::vector<std::string>(begin, texts.end());
}

std::vector<std::string> MessageBoxTexts(sim::SimMachine& machine) {
  return machine.transcript->MessageBoxTexts();
}

// The whole log as one text, for failure messages.
std::string LogText(sim::SimMachine& machine) {
  std::string text;
  for (const std::string& line : test::InstallerLogTexts(machine)) text += line + "\n";
  return text;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<win::PRINTER_INFO_2> Printers(sim::SimMachine& machine) {
  test::StepSession s(machine);
  std::vector<win::PRINTER_INFO_2> printers;
  s.platform.spooler.EnumPrintersA(win::PRINTER_ENUM_LOCAL, nullptr, 2, &printers);
  return printers;
}

// The whole log of a first installation on COM1 of 32-bit Windows XP,
// the restart question answered Yes.
const std::vector<std::string> kTypicalRoadLog = {
    "AddToWin2K BEGIN",
    "",
    "",
    "PrinterDrvExist BEGIN",
    "HALVORN QPR-730 PRINTER DRIVER DOES NOT EXIST.",
    "PrinterDrvExist END",
    "PRINTER-DRIVER NAME TO ADD : HALVORN QPR-730 ",
    "",
    "",
    "DeleteVidPid BEGIN",
    "VID&PID : USB\\Vid_7A31&Pid_0042",
    "DeleteVidPid END",
    "",
    "",
    "DeletePrnDrvPnPDirectory BEGIN",
    "DIR PATH-1 : C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\halvorn_qpr_730516a ",
    "DIR PATH-2 : C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\halvorn_qpr_730516a ",
    "DeletePrnDrvPnPDirectory END",
    "",
    "",
    "Delete_LPT_USB_Info BEGIN",
    "REGKEY_1 : HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\HALVORN_QPR-730",
    "REGKEY_2 : SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\HALVORN_QPR-730",
    "SHDeleteKey failed : SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\HALVORN_QPR-730 (183) ",
    "REGKEY_1 : HKLM\\SYSTEM\\CurrentControlSet\\Enum\\LPTENUM\\HALVORN_QPR-730",
    "REGKEY_2 : SYSTEM\\CurrentControlSet\\Enum\\LPTENUM\\HALVORN_QPR-730",
    "SHDeleteKey failed : SYSTEM\\CurrentControlSet\\Enum\\LPTENUM\\HALVORN_QPR-730 (183) ",
    "Delete_LPT_USB_Info END",
    "",
    "",
    "CopyFilesNeededToAddPrnDrv BEGIN",
    "FILE SRC : .\\Driver32\\UNIDRV.DLL",
    "FILE SRC : .\\Driver32\\UNIDRVUI.DLL",
    "FILE SRC : .\\Driver32\\UNIDRV.HLP",
    "FILE SRC : .\\Driver32\\UNIRES.DLL",
    "FILE SRC : .\\Driver32\\QPR730.dll",
    "FILE SRC : .\\Driver32\\QPR730.dll",
    "FILE SRC : .\\Driver32\\QPUI730.dll",
    "FILE SRC : .\\Driver32\\QPUI730.dll",
    "FILE SRC : .\\Driver32\\QPUNI730.dll",
    "FILE SRC : .\\Driver32\\QPUNI730.dll",
    "FILE SRC : .\\Driver32\\QPUI730.INI",
    "FILE SRC : .\\Driver32\\QPUI730.INI",
    "FILE SRC : .\\Driver32\\QPR730.GPD",
    "FILE SRC : .\\Driver32\\QPR730.GPD",
    "FILE SRC : .\\Driver32\\STDNAMES.GPD",
    "CopyFilesNeededToAddPrnDrv END",
    "",
    "",
    "AddLanguageMonitor BEGIN",
    "FILE SRC : .\\Driver32\\QPMON730.dll",
    "AddLanguageMonitor END",
    "",
    "",
    "AddPrinterProcessor BEGIN",
    "FILE SRC : .\\Driver32\\QPPRO730.dll",
    "AddPrinterProcessor END",
    "",
    "",
    "AddPrinterDriverToSystem BEGIN",
    "AddPrinterDriverToSystem END",
    "",
    "",
    "AddPrinterToSystem BEGIN",
    "AddPrinterToSystem END",
    "",
    "",
    "CopyINFFile BEGIN",
    "INF FILE SRC : .\\Driver32\\QPR730.inf",
    "INF FILE NAME : C:\\WINDOWS\\inf\\oem0.inf",
    "CopyINFFile END",
    "",
    "",
    "DeleteFilesUsed BEGIN",
    "FILE SRC : C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\UNIDRV.DLL",
    "FILE SRC : C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\UNIDRVUI.DLL",
    "FILE SRC : C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\UNIDRV.HLP",
    "FILE SRC : C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\UNIRES.DLL",
    "FILE SRC : C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\QPR730.dll",
    "FILE SRC : C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\QPUI730.dll",
    "FILE SRC : C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\QPUNI730.dll",
    "FILE SRC : C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\QPUI730.INI",
    "FILE SRC : C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\QPR730.GPD",
    "FILE SRC : C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\STDNAMES.GPD",
    "DeleteFilesUsed END",
    "",
    "",
    "RegisterUninstallInfo BEGIN",
    "REGKEY : SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HALVORN_QPR-730",
    "RegisterUninstallInfo END",
    "",
    "",
    "CopyFilesOfUtilities BEGIN",
    "",
    "",
    "CreateDirectoryWithSA BEGIN",
    "CreateDirectoryWithSA END",
    "FILE SRC : QPR730_Uninstaller.exe",
    "FILE SRC : QPR730_Config.HVN",
    "FILE SRC : QPR730_Config.HVN",
    "CopyFilesOfUtilities END",
    "AddToWin2K END",
    "",
    "",
    "AddToWin2K END",
};

TEST(DirectInstallation, TypicalRoadOnWindowsXp) {
  auto machine = PackageMachine({{"preset", "xp"}}, "Yes");
  EXPECT_EQ(Install(*machine, 1000), 0u);

  const std::string driverDir = "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86";
  // The log holds every step's block, in order, with its detail lines; the
  // restart was asked for after the first END line, the second ends the run.
  EXPECT_EQ(InstallationLog(*machine), kTypicalRoadLog);

  // What the user saw.
  EXPECT_EQ(machine->transcript->ControlTexts(1003, "Installation Progress"),
            (std::vector<std::string>{"",
                                      "Checking existing drivers...\r\n",
                                      "Preparing for installation...\r\n",
                                      "Copying files...\r\n",
                                      "Installing L/M...\r\n",
                                      "Installing printer processor...\r\n",
                                      "Installing printer driver...\r\n",
                                      "Adding printer...\r\n",
                                      "Please wait for adding printer.\r\nIt takes a couple of minutes.",
                                      "Deleting files used to install...\r\n",
                                      "The driver has been successfully installed.",
                                      "Completed."}));
  EXPECT_EQ(MessageBoxTexts(*machine),
            std::vector<std::string>{
                "Restarting your computer can take effect.\nPlease restart your computer.\n\n"
                "[Yes] I want to restart my computer now.\n[No] I will restart my computer later."});
  ASSERT_EQ(machine->restartRequests.size(), 1u);
  EXPECT_EQ(machine->restartRequests[0].flags, 6u);

  // The machine afterwards.
  std::vector<win::PRINTER_INFO_2> printers = Printers(*machine);
  ASSERT_EQ(printers.size(), 1u);
  EXPECT_EQ(printers[0].pPrinterName, kDriver);
  EXPECT_EQ(printers[0].pPortName, "COM1:");
  EXPECT_EQ(printers[0].pDriverName, kDriver);
  EXPECT_EQ(printers[0].pPrintProcessor, "HVN PRINT PROCESSOR QPR730");
  EXPECT_EQ(printers[0].Attributes, 0x1800u);
  const std::string print = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\";
  EXPECT_TRUE(machine->registry->Find(print + "Monitors\\HVN Language Monitor QPR730"));
  EXPECT_TRUE(machine->registry->Find(print +
                                      "Environments\\Windows NT x86\\Print Processors\\HVN PRINT PROCESSOR QPR730"));
  EXPECT_TRUE(machine->registry->Find(print + "Environments\\Windows NT x86\\Drivers\\Version-3\\" + kDriver));

  for (const char* file : {"UNIDRV.DLL", "QPR730.dll", "QPR730.GPD", "STDNAMES.GPD", "QPUI730.INI"}) {
    EXPECT_FALSE(machine->files->Exists(driverDir + "\\" + file)) << file;
    EXPECT_TRUE(machine->files->Exists(driverDir + "\\3\\" + file)) << file;
  }
  for (const char* file : {"QPR730.dll", "QPUI730.dll", "QPUNI730.dll", "QPUI730.INI", "QPR730.GPD"}) {
    EXPECT_TRUE(machine->files->Exists(std::string("C:\\WINDOWS\\") + file)) << file;
  }
  EXPECT_TRUE(machine->files->Exists("C:\\WINDOWS\\system32\\QPMON730.dll"));

  // The INF in the store, with its precompiled file; the registration.
  std::optional<std::string> infFile = machine->registry->GetString("HKLM\\" + kUninstallKey, "InfFile");
  ASSERT_TRUE(infFile.has_value());
  EXPECT_EQ(infFile->rfind("C:\\WINDOWS\\inf\\oem", 0), 0u);
  EXPECT_EQ(machine->files->ReadFile(*infFile), test::PackageInfText());
  EXPECT_TRUE(machine->files->Exists(infFile->substr(0, infFile->size() - 4) + ".PNF"));
  auto key = machine->registry->Find("HKLM\\" + kUninstallKey);
  ASSERT_TRUE(key);
  std::vector<std::string> values;
  for (const auto& value : key->values) values.push_back(value.name);
  EXPECT_EQ(values, (std::vector<std::string>{"DisplayName", "UninstallString", "InfFile"}));
  EXPECT_EQ(machine->registry->GetString("HKLM\\" + kUninstallKey, "DisplayName"),
            kDriver + " Windows Driver V1.2.0");
  EXPECT_EQ(machine->registry->GetString("HKLM\\" + kUninstallKey, "UninstallString"),
            "C:\\WINDOWS\\QPR-730\\QPR730_Uninstaller.exe");

  // The utility folder and its access list: Administrators and SYSTEM full,
  // everyone else read and run, all inherited.
  EXPECT_EQ(machine->files->ReadFile("C:\\WINDOWS\\QPR-730\\QPR730_Uninstaller.exe"), "MZ uninstaller");
  EXPECT_TRUE(machine->files->Exists("C:\\WINDOWS\\QPR-730\\QPR730_Config.HVN"));
  EXPECT_TRUE(machine->files->Exists("C:\\WINDOWS\\system32\\QPR730_Config.HVN"));
  sim::SecurityDescriptor* folder = machine->files->SecurityOf("C:\\WINDOWS\\QPR-730");
  ASSERT_NE(folder, nullptr);
  ASSERT_TRUE(folder->dacl.has_value());
  std::vector<sim::Sid> trustees;
  for (const sim::Ace& ace : folder->dacl->aces) {
    if (ace.flags & win::INHERITED_ACE) continue;
    EXPECT_EQ(ace.type, sim::AceType::Allow);
    EXPECT_EQ(ace.flags & 3u, 3u);  // files and sub-folders inherit it
    trustees.push_back(ace.sid);
  }
  std::sort(trustees.begin(), trustees.end());
  EXPECT_EQ(trustees, (std::vector<sim::Sid>{sim::sids::kEveryone, sim::sids::kSystem,
                                             sim::sids::kAdministrators}));
  sim::Token anyUser;
  anyUser.user = "S-1-5-21-1-2-3-1001";
  anyUser.groups = {sim::sids::kEveryone};
  const win::ACCESS_MASK readAndRun = 0x1200A9, write = 0x120116;
  EXPECT_TRUE(sim::AccessCheck(anyUser, *folder, readAndRun, sim::kFileMapping));
  EXPECT_FALSE(sim::AccessCheck(anyUser, *folder, write, sim::kFileMapping));
  EXPECT_FALSE(sim::AccessCheck(anyUser, *folder, win::DELETE, sim::kFileMapping));
  EXPECT_TRUE(sim::AccessCheck(machine->token, *folder, win::GENERIC_ALL, sim::kFileMapping));
}

TEST(DirectInstallation, WithTheDriverInstalledAddsANumberedPrinterOnly) {
  auto machine = PackageMachine({{"preset", "xp"}});
  ASSERT_EQ(Install(*machine, 1000), 0u);
  machine->transcript->Clear();
  const std::size_t commandsBefore = machine->startedCommands.size();

  ASSERT_EQ(Install(*machine, 1001), 0u);
  ASSERT_EQ(Install(*machine, 1004), 0u);
  std::vector<std::string> log = InstallationLog(*machine);  // before a session starts its own log
  std::vector<std::string> names;
  for (const auto& printer : Printers(*machine)) names.push_back(printer.pPrinterName + " " + printer.pPortName);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{kDriver + " COM1:", kDriver + "(#1) COM2:",
                                             kDriver + "(#2) LPT1:"}));
  EXPECT_TRUE(Contains(log, "PRINTER-DRIVER NAME TO ADD : " + kDriver + "(#2) "));
  EXPECT_FALSE(Contains(log, "CopyFilesNeededToAddPrnDrv BEGIN"));
  EXPECT_FALSE(Contains(log, "RegisterUninstallInfo BEGIN"));
  EXPECT_TRUE(MessageBoxTexts(*machine).empty());
  EXPECT_EQ(machine->startedCommands.size(), commandsBefore);
  std::vector<std::string> texts = machine->transcript->ControlTexts(1003, "Installation Progress");
  EXPECT_EQ(texts.back(), "Completed.");
  EXPECT_FALSE(Contains(texts, "The driver has been successfully installed."));
}

TEST(DirectInstallation, UsbInstallsTheDriverWithoutAPrinterObject) {
  auto machine = PackageMachine({{"preset", "xp"}});
  EXPECT_EQ(Install(*machine, 1006), 0u);
  EXPECT_TRUE(Printers(*machine).empty());
  EXPECT_EQ(MessageBoxTexts(*machine),
            std::vector<std::string>{"Please turn-off the printer and then turn-on again."});
  EXPECT_TRUE(machine->registry->Find("HKLM\\" + kUninstallKey));

  // Again, now that the driver is there: nothing is installed, no box.
  machine->transcript->Clear();
  EXPECT_EQ(Install(*machine, 1006), 0u);
  EXPECT_TRUE(MessageBoxTexts(*machine).empty());
  EXPECT_EQ(machine->transcript->ControlTexts(1003, "Installation Progress"),
            (std::vector<std::string>{"", "Checking existing drivers...\r\n",
                                      "Preparing for installation...\r\n", "Completed."}));
}

TEST(DirectInstallation, APrinterOfTheSameNameOnAnotherDriverEndsTheInstaller) {
  nlohmann::json spooler;
  spooler["drivers"] = nlohmann::json::array(
      {{{"name", "Generic / Text Only"}, {"driver", "UNIDRV.DLL"}, {"dataFile", "TTY.GPD"},
        {"configFile", "UNIDRVUI.DLL"}}});
  spooler["printers"] = nlohmann::json::array(
      {{{"name", kDriver}, {"port", "LPT1:"}, {"driver", "Generic / Text Only"}}});
  auto machine = PackageMachine({{"preset", "xp"}, {"spooler", spooler}});
  EXPECT_EQ(Install(*machine, 1000), 1603u);
  std::vector<std::string> boxes = MessageBoxTexts(*machine);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "AddPrinter, Error Code: 1802\n\nThe printer already exists.\r\n");
  EXPECT_EQ(test::InstallerLogTexts(*machine).back(), "AddPrinterToSystem END");
  EXPECT_FALSE(machine->registry->Find("HKLM\\" + kUninstallKey));
}

TEST(DirectInstallation, AnInstalledMonitorIsNoFailureARefusedOneIs) {
  // Registered before: 3006 is success.
  nlohmann::json spooler;
  spooler["monitors"] = nlohmann::json::array(
      {{{"name", "HVN Language Monitor QPR730"}, {"dll", "QPMON730.dll"}}});
  auto machine = PackageMachine({{"preset", "xp"}, {"spooler", spooler}});
  machine->files->WriteFile("C:\\WINDOWS\\system32\\QPMON730.dll", "an older monitor");
  EXPECT_EQ(Install(*machine, 1000), 0u);
  EXPECT_EQ(MessageBoxTexts(*machine).size(), 1u);  // only the restart question

  // Refused: the monitor library is missing from the package. The driver,
  // which names the monitor, is refused after it; with a USB port no printer
  // object is added, so every other step runs and the run must not end as a
  // success.
  auto refused = PackageMachine({{"preset", "xp"}});
  refused->files->DeleteFile("C:\\QPR730\\Driver32\\QPMON730.dll");
  EXPECT_EQ(Install(*refused, 1006), 1603u);
  std::vector<std::string> boxes = MessageBoxTexts(*refused);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0], "AddMonitor, ERR CODE: 126\n\nThe specified module could not be found.\r\n");
  EXPECT_EQ(boxes[1].rfind("AddPrinterDriver, ERR CODE: 3000\n\n", 0), 0u);
  EXPECT_EQ(boxes[2], "The driver installation did not complete.\nSee the log file for details:\n"
                      "C:\\WINDOWS\\Temp\\QPR-730_Installer.txt");
  std::vector<std::string> texts = refused->transcript->ControlTexts(1003, "Installation Progress");
  EXPECT_FALSE(Contains(texts, "The driver has been successfully installed."));
  EXPECT_TRUE(refused->registry->Find("HKLM\\" + kUninstallKey));  // the other steps ran

  // On a COM port the refused driver also refuses the printer object: the
  // installer ends with the failure status after that box.
  auto onCom = PackageMachine({{"preset", "xp"}});
  onCom->files->DeleteFile("C:\\QPR730\\Driver32\\QPMON730.dll");
  EXPECT_EQ(Install(*onCom, 1000), 1603u);
  EXPECT_EQ(MessageBoxTexts(*onCom).back().rfind("AddPrinter, Error Code: 1797\n\n", 0), 0u);
}

TEST(DirectInstallation, ALoadedMonitorLibraryIsMovedAsideAndReplaced) {
  nlohmann::json spooler;
  spooler["monitors"] = nlohmann::json::array(
      {{{"name", "HVN Language Monitor QPR730"}, {"dll", "QPMON730.dll"}}});
  auto machine = PackageMachine({{"preset", "xp"}, {"spooler", spooler}});
  const std::string monitor = "C:\\WINDOWS\\system32\\QPMON730.dll";
  machine->files->WriteFile(monitor, "the running monitor");
  machine->files->Hold(monitor, sim::HoldKind::Loaded, win::FILE_SHARE_READ | win::FILE_SHARE_DELETE, "spoolsv");
  machine->files->WriteFile(monitor + ".old", "a stale copy");
  EXPECT_EQ(Install(*machine, 1000), 0u);

  EXPECT_EQ(machine->files->ReadFile(monitor), "QPMON730.dll of the package\\Driver32\\");
  EXPECT_EQ(machine->files->ReadFile(monitor + ".old"), "the running monitor");
  std::vector<std::string> log = InstallationLog(*machine);
  auto handler = std::find(log.begin(), log.end(), "ERROR_SHARING_VIOLATION HANDLER");
  ASSERT_NE(handler, log.end());
  EXPECT_EQ(*(handler + 1), "strDest : " + monitor);
  EXPECT_EQ(*(handler + 2), "strDestWithOldExt : " + monitor + ".old");
}

TEST(DirectInstallation, AMissingSourceGivesTheThreeFailureLinesOnly) {
  auto machine = PackageMachine({{"preset", "xp"}});
  machine->files->DeleteFile("C:\\QPR730\\QPR730_Config.HVN");
  EXPECT_EQ(Install(*machine, 1000), 0u);
  std::vector<std::string> log = InstallationLog(*machine);
  auto first = std::find(log.begin(), log.end(), "COPYFILE ERROR, SRC : QPR730_Config.HVN ");
  ASSERT_NE(first, log.end());
  EXPECT_EQ(*(first + 1), "ERROR CODE : 2 ");
  EXPECT_EQ(*(first + 2), "COPYFILE ERROR, DES : C:\\WINDOWS\\QPR-730\\QPR730_Config.HVN ");
  EXPECT_EQ(std::count(log.begin(), log.end(), "ERROR CODE : 2 "), 2);  // both copies of the file
}

TEST(DirectInstallation, AnInfAlreadyInTheStoreIsReplaced) {
  auto machine = PackageMachine({{"preset", "xp"}});
  machine->files->WriteFile("C:\\WINDOWS\\inf\\oem3.inf", test::PackageInfText());
  machine->files->WriteFile("C:\\WINDOWS\\inf\\oem3.PNF", "precompiled");
  EXPECT_EQ(Install(*machine, 1000), 0u);

  EXPECT_EQ(machine->registry->GetString("HKLM\\" + kUninstallKey, "InfFile"),
            "C:\\WINDOWS\\inf\\oem3.inf");
  std::vector<std::string> log = InstallationLog(*machine);
  EXPECT_TRUE(Contains(log, "INF FILE NAME : C:\\WINDOWS\\inf\\oem3.inf"));
  EXPECT_EQ(MessageBoxTexts(*machine).size(), 1u);  // only the restart question
  std::vector<std::string> oemFiles;
  for (const std::string& name : machine->files->List("C:\\WINDOWS\\inf")) {
    if (name.rfind("oem", 0) == 0) oemFiles.push_back(name);
  }
  EXPECT_EQ(oemFiles, (std::vector<std::string>{"oem3.inf", "oem3.PNF"}));
}

TEST(DirectInstallation, OnWow64TheRegistrationIsIn64BitViewAndFilesFollowTheRedirection) {
  auto machine = PackageMachine({{"preset", "xp-x64"}});
  EXPECT_EQ(Install(*machine, 1000), 0u) << machine->transcript->Text() << LogText(*machine);
  EXPECT_TRUE(machine->registry->Find("HKLM\\" + kUninstallKey));
  EXPECT_FALSE(machine->registry->Find("HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HALVORN_QPR-730"));
  EXPECT_TRUE(machine->files->Exists("C:\\WINDOWS\\QPMON730.dll"));
  for (const char* file : {"QPR730.dll", "QPUI730.dll", "QPUNI730.dll", "QPUI730.INI", "QPR730.GPD"}) {
    EXPECT_FALSE(machine->files->Exists(std::string("C:\\WINDOWS\\") + file)) << file;
  }
  EXPECT_TRUE(machine->files->Exists("C:\\WINDOWS\\SysWOW64\\QPR730_Config.HVN"));
  EXPECT_FALSE(machine->files->Exists("C:\\WINDOWS\\system32\\QPR730_Config.HVN"));
  EXPECT_TRUE(machine->registry->Find(
      "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\" + kDriver));
}

}  // namespace

namespace {

TEST(DirectInstallation, AReinstallationReplacesTheUtilityFolderWhole) {
  auto machine = PackageMachine({{"preset", "xp"}});
  machine->files->WriteFile("C:\\WINDOWS\\QPR-730\\QPR730_Uninstaller.exe", "an older uninstaller");
  machine->files->WriteFile("C:\\WINDOWS\\QPR-730\\notes.txt", "left by someone");
  machine->files->WriteFile("C:\\WINDOWS\\QPR-730\\old\\QPR730_Config.HVN", "an older configuration");
  machine->files->SetAttributes("C:\\WINDOWS\\QPR-730\\notes.txt", win::FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Install(*machine, 1000), 0u);

  std::vector<std::string> names = machine->files->List("C:\\WINDOWS\\QPR-730");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"QPR730_Config.HVN", "QPR730_Uninstaller.exe"}));
  EXPECT_EQ(machine->files->ReadFile("C:\\WINDOWS\\QPR-730\\QPR730_Uninstaller.exe"), "MZ uninstaller");
}

}  // namespace

namespace {

TEST(DirectInstallation, AFailedInfCopyShowsItsErrorAndRecordsNoInfFile) {
  auto machine = PackageMachine({{"preset", "xp"}});
  machine->files->DeleteFile("C:\\QPR730\\Driver32\\QPR730.inf");
  EXPECT_EQ(Install(*machine, 1000), 0u);
  std::vector<std::string> boxes = MessageBoxTexts(*machine);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "SetupCopyOEMInf, ERR CODE: 2\n\nThe system cannot find the file specified.\r\n");
  std::vector<std::string> log = InstallationLog(*machine);
  EXPECT_TRUE(Contains(log, "SetupCopyOEMInf failed : (2)"));
  EXPECT_TRUE(Contains(log, "INF FILE NAME : "));
  EXPECT_TRUE(machine->registry->Find("HKLM\\" + kUninstallKey));
  EXPECT_FALSE(machine->registry->GetString("HKLM\\" + kUninstallKey, "InfFile").has_value());
}

}  // namespace
