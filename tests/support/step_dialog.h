// Test support for both builds (the simulated machine's tests and the Wine
// test program): a dialog like the installer's, with the same template,
// progress bar and message refresh, whose worker runs a test's body on a
// DriverInstaller set up as the installer's initialisation sets it up, then
// ends the dialog. It stands in for the installation controller that calls
// the installation steps.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "Installer/QPR730_Installer/DriverInstaller.h"
#include "common/platform_probe.h"
#include "common/product_profile.h"
#include "common/progress_channel.h"
#include "common/setup_log.h"
#include "framework/application.h"
#include "framework/dialog.h"

namespace test {

using InstallerBody = std::function<void(DriverInstaller&)>;

// The road the installer is set up for: the one the process's probe finds,
// or a chosen one, so that a test program of either architecture can take
// either road (a 64-bit program standing in for the 32-bit installer on
// 64-bit Windows, a 32-bit one under WOW64 taking the road of 32-bit
// Windows).
enum class Road { Probed, Wow64, Windows32 };

class StepDialog : public fw::Dialog {
 public:
  StepDialog(fw::Application& app, SetupLog& log, const ProductProfile& profile,
             InstallerBody body, Road road)
      : fw::Dialog(app, 102),
        installer(app, log, profile),
        progressBar(app.platform.user),
        log_(log),
        body_(std::move(body)),
        road_(road) {}

  DriverInstaller installer;
  fw::ProgressBar progressBar;
  fw::SyncedText messageText;
  std::string versionText;

 protected:
  bool OnInitDialog() override {
    fw::Dialog::OnInitDialog();
    log_.InitLog();
    int wow64 = ProbeWow64(app.platform.kernel, log_);
    if (road_ == Road::Wow64) wow64 = 1;
    if (road_ == Road::Windows32) wow64 = 0;
    int level = CheckOS(app.platform.kernel, log_);
    installer.SetSystemInfo(wow64, level);
    installer.SetControlPointers(messageText, progressBar);
    progressBar.Send(win::PBM_SETRANGE, 0, 100 << 16);
    progressBar.Send(win::PBM_SETSTEP, 9, 0);
    app.platform.kernel.CreateThread(&StepDialog::Worker, this, nullptr);
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
    auto* dialog = static_cast<StepDialog*>(self);
    dialog->body_(dialog->installer);
    dialog->EndDialog(win::IDOK);
    return 0;
  }

  SetupLog& log_;
  InstallerBody body_;
  Road road_;
};

// The application around it: the installer's log file and product strings.
class StepApp : public fw::Application {
 public:
  StepApp(win::Platform& platform, InstallerBody body, Road road = Road::Probed)
      : fw::Application(platform),
        log(platform.kernel, "\\QPR-730_Installer.txt"),
        profile(platform.kernel),
        body_(std::move(body)),
        road_(road) {}

  SetupLog log;
  ProductProfile profile;
  // What the dialog's modal run returned (-1: it could not be created).
  win::INT_PTR dialogResult = 0;

 protected:
  bool InitInstance() override {
    StepDialog dialog(*this, log, profile, body_, road_);
    mainDialog = &dialog;
    dialogResult = dialog.DoModal();
    mainDialog = nullptr;
    return false;
  }

 private:
  InstallerBody body_;
  Road road_;
};

}  // namespace test
