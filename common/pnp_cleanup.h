// The Plug-and-Play leftovers of an earlier installation: USB device nodes
// of the printer, its enumeration keys under SYSTEM\CurrentControlSet\Enum
// and the folders Plug and Play made in the printer driver directory. The
// steps are the same in every host; only their progress reports differ.
#pragma once

#include <string>

#include "common/product_profile.h"
#include "common/progress_channel.h"
#include "common/setup_log.h"
#include "platform/platform.h"

class PnpCleanup {
 public:
  // How the host reports each step before its work.
  enum class Reporting {
    LogOnly,      // the installer's installation paths
    Show,         // text, refresh, 500 ms (the installer's removal)
    ShowAndStep,  // text, bar step, refresh, 500 ms (the uninstaller)
  };

  PnpCleanup(win::Platform& platform, SetupLog& log, const ProductProfile& profile, int isWow64,
             ProgressChannel* progress, Reporting reporting);

  void DeleteVidPid();
  void Delete_LPT_USB_Info();
  void DeletePrnDrvPnPDirectory();

  // Removes the USB devices whose first hardware identifier starts with
  // `prefix` (case ignored). False when the device list cannot be had or a
  // removal fails.
  bool RemoveDevicesByHardwareId(const std::string& prefix);
  // Grants Everyone full control on an enumeration key and deletes it.
  void GrantAndDeleteKey(const std::string& hklmPath, const std::string& keyPath);

 private:
  void Report(const char* text);

  win::Platform& platform_;
  SetupLog& log_;
  const ProductProfile& profile_;
  int isWow64_;
  ProgressChannel* progress_;
  Reporting reporting_;
};
