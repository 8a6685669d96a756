#include "Installer/QPR730_Installer/HVNPOS_InstallerDlg.h"

#include "Installer/QPR730_Installer/InstallerStrings.h"
#include "common/busy_rules.h"
#include "common/platform_probe.h"
#include "common/progress_channel.h"
#include "common/system_control.h"

InstallerDialog::InstallerDialog(fw::Application& app, SetupLog& log,
                                 const ProductProfile& profile)
    : fw::Dialog(app, IDD_INSTALLER_DIALOG),
      driverInstaller(app, log, profile),
      progressBar(app.platform.user),
      icon(app.platform.user.LoadIconA(IDR_MAINFRAME)),
      log_(log),
      profile_(profile) {}

bool InstallerDialog::OnInitDialog() {
  fw::Dialog::OnInitDialog();
  user.SendMessageA(hwnd(), win::WM_SETICON, win::ICON_BIG, static_cast<win::LPARAM>(icon));
  user.SendMessageA(hwnd(), win::WM_SETICON, win::ICON_SMALL, static_cast<win::LPARAM>(icon));

  win::Kernel& kernel = app.platform.kernel;
  log_.InitLog();
  isWow64 = ProbeWow64(kernel, log_);
  osLevel = CheckOS(kernel, log_);
  driverInstaller.SetSystemInfo(isWow64, osLevel);
  driverInstaller.SetControlPointers(messageText, progressBar);

  versionText = "Driver Version: V" + profile_.Load(ids::kMajorVersion) + "." +
                profile_.Load(ids::kMinorVersion) + "." + profile_.Load(ids::kBuildNumber);

  // Blocks this thread for two seconds before the dialog is first shown.
  StartSpooler(kernel, 2000);

  busy = 0;
  differentVersionFound = 0;
  user.PostMessageA(app.MainWindow(), WM_PROGRESS_REFRESH, 0, 0);
  progressBar.Send(win::PBM_SETRANGE, 0, 100 << 16);
  progressBar.Send(win::PBM_SETSTEP, 9, 0);

  kernel.CreateThread(InstallerThreadProc, this, nullptr);
  return true;
}

void InstallerDialog::DoDataExchange(fw::DataExchange& exchange) {
  exchange.Control(IDC_PROGRESS, progressBar);
  exchange.Text(IDC_MESSAGE_TEXT, messageText);
  exchange.Text(IDC_VERSION_TEXT, versionText);
}

bool InstallerDialog::OnUserMessage(win::UINT message, win::WPARAM, win::LPARAM,
                                    win::LRESULT* result) {
  if (message != WM_PROGRESS_REFRESH) return false;
  UpdateData(false);
  *result = 0;
  return true;
}

bool InstallerDialog::OnPaint() { return PaintIconWhenMinimised(icon); }

bool InstallerDialog::PreTranslateMessage(const win::MSG& message) {
  return PreTranslateBusyMessage(user, hwnd(), busy || differentVersionFound, busy != 0, message);
}

void InstallerDialog::RunInstallation() {
  if (osLevel < kWindows2000) {
    app.MessageBox("THE DRIVER CAN NOT BE INSTALLED ON THIS OS.",
                   win::MB_OK | win::MB_ICONINFORMATION);
    EndDialog(win::IDCANCEL);
    return;
  }
  busy = 1;
  // The port choice, the version check and the installation path come
  // here; until they exist the run ends after the gate.
  busy = 0;
  EndDialog(win::IDOK);
}

win::DWORD InstallerThreadProc(void* dialog) {
  static_cast<InstallerDialog*>(dialog)->RunInstallation();
  return 0;
}
