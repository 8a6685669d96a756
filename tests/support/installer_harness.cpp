#include "tests/support/installer_harness.h"

#include "Installer/QPR730_Installer/SimProgram.h"
#include "common/platform_probe.h"
#include "framework/dialog.h"
#include "platform/sim/file_system.h"
#include "tests/support/sim_session.h"

namespace test {
namespace {

class HarnessApp;

class HarnessDialog : public fw::Dialog {
 public:
  HarnessDialog(fw::Application& app, SetupLog& log, const ProductProfile& profile,
                std::function<void(DriverInstaller&)> body)
      : fw::Dialog(app, 102),
        installer(app, log, profile),
        progressBar(app.platform.user),
        log_(log),
        body_(std::move(body)) {}

  DriverInstaller installer;
  fw::ProgressBar progressBar;
  fw::SyncedText messageText;
  std::string versionText;

 protected:
  bool OnInitDialog() override {
    fw::Dialog::OnInitDialog();
    log_.InitLog();
    int wow64 = ProbeWow64(app.platform.kernel, log_);
    int level = CheckOS(app.platform.kernel, log_);
    installer.SetSystemInfo(wow64, level);
    installer.SetControlPointers(messageText, progressBar);
    progressBar.Send(win::PBM_SETRANGE, 0, 100 << 16);
    progressBar.Send(win::PBM_SETSTEP, 9, 0);
    app.platform.kernel.CreateThread(&HarnessDialog::Worker, this, nullptr);
    return true;
  }
  void DoDataExchange(fw::DataExchange& exchange) override {
    exchange.Control(1000, progressBar);
    exchange.Text(1003, messageText);
    exchange.Text(1001, versionText);
  }
  bool OnUserMessage(win::UINT message, win::WPARAM, win::LPARAM, win::LRESULT* result) override {
    if (message != WM_PROGRESS_REFRESH) return false;
    UpdateData(false);
    *result = 0;
    return true;
  }

 private:
  static win::DWORD Worker(void* self) {
    auto* dialog = static_cast<HarnessDialog*>(self);
    dialog->body_(dialog->installer);
    dialog->EndDialog(win::IDOK);
    return 0;
  }

  SetupLog& log_;
  std::function<void(DriverInstaller&)> body_;
};

class HarnessApp : public fw::Application {
 public:
  HarnessApp(win::Platform& platform, std::function<void(DriverInstaller&)> body)
      : fw::Application(platform),
        log(platform.kernel, "\\QPR-730_Installer.txt"),
        profile(platform.kernel),
        body_(std::move(body)) {}

  SetupLog log;
  ProductProfile profile;

 protected:
  bool InitInstance() override {
    HarnessDialog dialog(*this, log, profile, body_);
    mainDialog = &dialog;
    dialog.DoModal();
    mainDialog = nullptr;
    return false;
  }

 private:
  std::function<void(DriverInstaller&)> body_;
};

void AddFile(sim::SimMachine& machine, const std::string& path, const std::string& content) {
  machine.files->WriteFile(path, content);
}

}  // namespace

win::DWORD RunOnInstallerDialog(sim::SimMachine& machine,
                                std::function<void(DriverInstaller&)> body) {
  auto image = std::make_shared<sim::ProgramImage>(*InstallerProgramImage());
  image->entry = [body](win::Platform& platform) {
    HarnessApp app(platform, body);
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
