// The product's entry in the system's list of installed programs, and the
// package INF staged in the system's INF store.
#include "Installer/QPR730_Installer/DriverInstaller.h"
#include "Installer/QPR730_Installer/InstallerStrings.h"
#include "common/bounded_path.h"
#include "common/registry_key_removal.h"
#include "common/system_error_box.h"

namespace {

void SetStringValue(win::Registry& registry, win::HKEY key, const char* name,
                    const std::string& text) {
  // The stored string ends with its NUL.
  registry.RegSetValueExA(key, name, 0, win::REG_SZ,
                          reinterpret_cast<const win::BYTE*>(text.c_str()),
                          static_cast<win::DWORD>(text.size() + 1));
}

}  // namespace

void DriverInstaller::RegisterUninstallInfo() {
  win::Registry& registry = app_.platform.registry;
  log_.WriteLog("\r\n");
  log_.WriteLog("RegisterUninstallInfo BEGIN");
  scratchText = profile_.Load(ids::kUninstallKey);
  auto keyPath = FitPath(log_, 256, scratchText);
  if (!keyPath) {
    log_.WriteLog("RegisterUninstallInfo END");
    return;
  }
  log_.WriteLog("REGKEY : %s", keyPath->c_str());

  // A fresh registration: no stale values of an earlier one survive.
  DeleteExistingHklmKey(app_.platform, log_, keyPath->c_str(), isWow64, KeyLogVariant::Comma);

  win::HKEY key = 0;
  const win::REGSAM access = isWow64 ? (win::KEY_WRITE | win::KEY_WOW64_64KEY) : win::KEY_WRITE;
  if (registry.RegCreateKeyExA(win::HKEY_LOCAL_MACHINE, keyPath->c_str(), 0, nullptr,
                               win::REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr) != 0) {
    int error = static_cast<int>(app_.platform.kernel.GetLastError());
    if (isWow64) {
      log_.WriteLog("RegCreateKeyEx failed : %s, (%d) ", keyPath->c_str(), error);
    } else {
      log_.WriteLog("RegCreateKeyEx failed : %s , (%d) ", keyPath->c_str(), error);
    }
    log_.WriteLog("RegisterUninstallInfo END");
    return;
  }

  std::string displayName = profile_.Load(ids::kDriverName) + " Windows Driver V" +
                            profile_.Load(ids::kMajorVersion) + "." +
                            profile_.Load(ids::kMinorVersion) + "." +
                            profile_.Load(ids::kBuildNumber);
  if (FitPath(log_, 256, displayName)) SetStringValue(registry, key, "DisplayName", displayName);

  std::string uninstallString = WindowsDirectory() + "\\" + profile_.Load(ids::kModelName) + "\\" +
                                profile_.Load(ids::kUninstallerFile);
  if (FitPath(log_, 256, uninstallString)) {
    SetStringValue(registry, key, "UninstallString", uninstallString);
  }
  if (!infFileName.empty()) SetStringValue(registry, key, "InfFile", infFileName);
  registry.RegCloseKey(key);
  log_.WriteLog("RegisterUninstallInfo END");
}

void DriverInstaller::CopyINFFile() {
  win::SetupApi& setup = app_.platform.setup;
  log_.WriteLog("\r\n");
  log_.WriteLog("CopyINFFile BEGIN");
  scratchText = profile_.Load(ids::kInfFile);
  const std::string source = driverSourceDir + scratchText;
  log_.WriteLog("INF FILE SRC : %s", source.c_str());

  char destination[win::MAX_PATH] = {};
  // The call wants the INF's full path; the package folder is the current
  // directory.
  char currentDirectory[256] = {};
  app_.platform.kernel.GetCurrentDirectoryA(sizeof currentDirectory, currentDirectory);
  std::string fullSource = std::string(currentDirectory) + "\\" +
                           (source.rfind(".\\", 0) == 0 ? source.substr(2) : source);
  if (FitPath(log_, 256, source) && FitPath(log_, win::MAX_PATH, fullSource)) {
    win::DWORD required = 0;
    if (!setup.SetupCopyOEMInfA(fullSource.c_str(), nullptr, win::SPOST_PATH,
                                win::SP_COPY_NOOVERWRITE, destination, sizeof destination,
                                &required, nullptr)) {
      win::DWORD error = app_.platform.kernel.GetLastError();
      if (error == win::ERROR_FILE_EXISTS) {
        // Already in the store: replace that copy, which names it.
        setup.SetupCopyOEMInfA(fullSource.c_str(), nullptr, win::SPOST_PATH,
                               win::SP_COPY_REPLACEONLY, destination, sizeof destination,
                               &required, nullptr);
      } else {
        // A failed copy names no file, whatever the call left in the buffer.
        destination[0] = '\0';
        log_.WriteLog("SetupCopyOEMInf failed : (%d)", static_cast<int>(error));
        ShowSystemErrorBox(app_, "SetupCopyOEMInf, ERR CODE: %d\n\n", error);
      }
    }
  }
  infFileName = destination;
  log_.WriteLog("INF FILE NAME : %s", destination);
  log_.WriteLog("CopyINFFile END");
}
