// The installer's engine: the product names, the platform facts and the
// progress references that the installation steps work with.
#pragma once

#include <memory>
#include <string>

#include "common/product_profile.h"
#include "common/progress_channel.h"
#include "common/setup_log.h"
#include "framework/application.h"

class DriverInstaller {
 public:
  // Loads the product names from the profile.
  DriverInstaller(fw::Application& app, SetupLog& log, const ProductProfile& profile);
  virtual ~DriverInstaller();

  // Keeps the dialog's message text and progress bar for the steps' reports.
  void SetControlPointers(fw::SyncedText& messageText, fw::ProgressBar& progressBar);
  // Keeps the platform facts and derives the spooler environment and the
  // package folder of the driver files.
  void SetSystemInfo(int isWow64, int osLevel);

  // ---- Platform facts ----
  int osLevel = 0;
  int isWow64 = 0;
  std::string environment;
  std::string driverSourceDir;

  // ---- Product names ----
  std::string scratchText;
  std::string makerName;
  std::string driverName;
  std::string infFileName;
  std::string monitorDllName;
  std::string monitorName;
  std::string processorDllName;
  std::string processorName;
  std::string driverDllName;
  std::string uiDllName;
  std::string renderDllName;
  unsigned char useOwnProcessor = 0;

  // ---- Progress references ----
  fw::SyncedText* messageText = nullptr;
  fw::ProgressBar* progressBar = nullptr;

 protected:
  fw::Application& app_;
  SetupLog& log_;
  const ProductProfile& profile_;
  std::unique_ptr<ProgressChannel> progress_;
};
