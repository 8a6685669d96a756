// The InstallerDialog, "Installation Progress": the installer's only main
// window. Its initialisation probes the platform, starts the spooler and
// starts the worker thread, which runs the installation and ends the dialog.
#pragma once

#include <atomic>
#include <string>

#include "Installer/QPR730_Installer/DriverInstaller.h"
#include "common/product_profile.h"
#include "common/setup_log.h"
#include "framework/dialog.h"

// Dialog template and control ids.
constexpr int IDD_INSTALLER_DIALOG = 102;
constexpr int IDC_PROGRESS = 1000;
constexpr int IDC_VERSION_TEXT = 1001;
constexpr int IDC_MESSAGE_TEXT = 1003;
constexpr int IDR_MAINFRAME = 128;

class InstallerDialog : public fw::Dialog {
 public:
  InstallerDialog(fw::Application& app, SetupLog& log, const ProductProfile& profile);

  // The body of the worker thread: the installation controller.
  void RunInstallation();

  int osLevel = 2010;
  int isWow64 = 0;
  std::string scratchText;
  // Written by the worker, read by the user-interface thread's
  // pre-translation: single-word flags.
  std::atomic<int> busy{0};
  std::atomic<int> differentVersionFound{0};
  DriverInstaller driverInstaller;
  fw::ProgressBar progressBar;
  fw::SyncedText messageText;
  std::string versionText;
  win::HICON icon;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(fw::DataExchange& exchange) override;
  bool OnUserMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam,
                     win::LRESULT* result) override;
  bool OnPaint() override;
  win::HICON OnQueryDragIcon() override { return icon; }

 public:
  bool PreTranslateMessage(const win::MSG& message) override;

 private:
  SetupLog& log_;
  const ProductProfile& profile_;
};

// Thread procedure of the worker: runs the installation on the dialog.
win::DWORD InstallerThreadProc(void* dialog);
