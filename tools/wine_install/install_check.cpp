// install_check: runs the installer's direct installation for real on the
// machine it is started on, the way the installer does it: on the worker
// thread of the "Installation Progress" dialog (template 102), for a printer
// on COM1. When the dialog has ended it prints the dialog's result
// ("DIALOG -1": not created) and what the spooler then reports, one line
// per object, then the exit code, for the Wine tests to read:
//
//   PRINTER <name>|<port>|<driver>|<print processor>|<data type>|<attributes>
//   DRIVER <name>|<version>|<environment>|<driver path>|<data file>|<config file>|<monitor>
//   MONITOR <name>|<environment>|<dll>
//   PROCESSOR <name>
//   EXIT <exit code>
//
// "install_check wow64" runs the installation as under WOW64 whatever the
// process is: the x86_64 build then stands in for the 32-bit installer on
// 64-bit Windows (environment "Windows x64", the Driver64 files), whose
// driver the spooler of a 64-bit process accepts for a printer; without it
// a 64-bit process registers the driver for "Windows NT x86", which the
// spooler then does not use for a printer of its own environment.
//
// Start it in a package folder (Driver32\, Driver64\, the uninstaller and
// the configuration file beside it). Its message boxes carry the program's
// name, "install_check". The exit status is the application's exit code.
#include <cstdio>
#include <cstring>

#include "Installer/QPR730_Installer/DriverInstaller.h"
#include "common/platform_probe.h"
#include "common/progress_channel.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "platform/shared_section.h"
#include "platform/win32/win32_platform.h"
#include "tools/wine_install/spooler_report.h"

namespace {

// Not shared between processes: this program runs once at a time.
win::InstanceSection instanceSection = {0, {"", "Installation Progress", ""}};

bool actAsWow64 = false;

class InstallDialog : public fw::Dialog {
 public:
  InstallDialog(fw::Application& app, SetupLog& log, const ProductProfile& profile)
      : fw::Dialog(app, 102), installer(app, log, profile), progressBar(app.platform.user), log_(log) {}

  DriverInstaller installer;
  fw::ProgressBar progressBar;
  fw::SyncedText messageText;
  std::string versionText;

 protected:
  bool OnInitDialog() override {
    fw::Dialog::OnInitDialog();
    log_.InitLog();
    int wow64 = ProbeWow64(app.platform.kernel, log_);
    if (actAsWow64) wow64 = 1;
    int level = CheckOS(app.platform.kernel, log_);
    installer.SetSystemInfo(wow64, level);
    installer.SetControlPointers(messageText, progressBar);
    progressBar.Send(win::PBM_SETRANGE, 0, 100 << 16);
    progressBar.Send(win::PBM_SETSTEP, 9, 0);
    app.platform.kernel.CreateThread(&InstallDialog::Worker, this, nullptr);
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
    auto* dialog = static_cast<InstallDialog*>(self);
    dialog->installer.AddToWin2K(kPortCom1);
    dialog->EndDialog(win::IDOK);
    return 0;
  }

  SetupLog& log_;
};

class InstallCheckApp : public fw::Application {
 public:
  explicit InstallCheckApp(win::Platform& platform)
      : fw::Application(platform), log(platform.kernel, "\\QPR-730_Installer.txt"), profile(platform.kernel) {}

  SetupLog log;
  ProductProfile profile;

 protected:
  bool InitInstance() override {
    InstallDialog dialog(*this, log, profile);
    mainDialog = &dialog;
    win::INT_PTR result = dialog.DoModal();
    mainDialog = nullptr;
    // -1: the dialog could not be created.
    std::printf("DIALOG %d\n", static_cast<int>(result));
    std::fflush(stdout);
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  actAsWow64 = argc > 1 && std::strcmp(argv[1], "wow64") == 0;
  win32::Win32Platform platform(instanceSection);
  InstallCheckApp app(platform);
  int exitCode = app.Run();
  PrintSpoolerState(actAsWow64);
  std::printf("EXIT %d\n", exitCode);
  std::fflush(stdout);
  return exitCode;
}
