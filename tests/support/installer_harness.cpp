#include "tests/support/installer_harness.h"

#include "Installer/QPR730_Installer/SimProgram.h"
#include "platform/sim/file_system.h"
#include "tests/support/sim_session.h"
#include "tests/support/step_dialog.h"

namespace test {
namespace {

void AddFile(sim::SimMachine& machine, const std::string& path, const std::string& content) {
  machine.files->WriteFile(path, content);
}

}  // namespace

win::DWORD RunOnInstallerDialog(sim::SimMachine& machine,
                                std::function<void(DriverInstaller&)> body) {
  auto image = std::make_shared<sim::ProgramImage>(*InstallerProgramImage());
  image->entry = [body](win::Platform& platform) {
    StepApp app(platform, body);
    return app.Run();
  };
  machine.InstallProgram(kInstallerPath, image);
  return machine.Run(kInstallerPath, kPackageFolder);
}

std::string PackageInfText() {
  return "; The QPR-730 driver package\r\n"
         "[Version]\r\n"
         "Signature=\"$Windows NT$\"\r\n"
         "Class=Printer\r\n"
         "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\n"
         "Provider=%HALVORN%\r\n"
         "DriverVer=12/01/2026,1.2.0.0\r\n"
         "\r\n"
         "[Manufacturer]\r\n"
         "%HALVORN%=HALVORN,NTamd64\r\n"
         "\r\n"
         "[HALVORN]\r\n"
         "\"HALVORN QPR-730\" = QPR730, USBPRINT\\HALVORN_QPR-7300042\r\n"
         "\r\n"
         "[HALVORN.NTamd64]\r\n"
         "\"HALVORN QPR-730\" = QPR730, USBPRINT\\HALVORN_QPR-7300042\r\n"
         "\r\n"
         "[QPR730]\r\n"
         "CopyFiles=@QPR730.GPD,@QPR730.dll,@QPUI730.dll,@QPUNI730.dll,@QPUI730.INI\r\n"
         "DataFile=QPR730.GPD\r\n"
         "\r\n"
         "[Strings]\r\n"
         "HALVORN=\"HALVORN\"\r\n";
}

void AddDriverPackage(sim::SimMachine& machine) {
  const std::vector<std::string> driverFiles = {
      "UNIDRV.DLL",   "UNIDRVUI.DLL", "UNIDRV.HLP", "UNIRES.DLL",  "QPR730.dll",   "QPUI730.dll",
      "QPUNI730.dll", "QPUI730.INI",  "QPR730.GPD", "STDNAMES.GPD", "QPMON730.dll", "QPPRO730.dll"};
  for (const char* folder : {"\\Driver32\\", "\\Driver64\\"}) {
    for (const std::string& name : driverFiles) {
      AddFile(machine, kPackageFolder + folder + name, name + " of the package" + folder);
    }
    AddFile(machine, kPackageFolder + folder + "QPR730.inf", PackageInfText());
  }
  AddFile(machine, kPackageFolder + "\\QPR730_Uninstaller.exe", "MZ uninstaller");
  AddFile(machine, kPackageFolder + "\\QPR730_Config.HVN", "[QPR730]\r\nPORTDLG=TRUE\r\n");
}

}  // namespace test
