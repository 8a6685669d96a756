#include "common/pnp_cleanup.h"

#include <cctype>
#include <cstring>

#include "common/bounded_path.h"
#include "common/directory_tree.h"
#include "common/registry_acl_editor.h"
#include "common/registry_key_removal.h"

namespace {

// Profile entries of the Plug-and-Play traces (the same ids in both programs).
constexpr ProductProfileId kVidPid = 12;
constexpr ProductProfileId kPnpFolder1 = 13;
constexpr ProductProfileId kPnpFolder2 = 14;
constexpr ProductProfileId kUsbPrintKey = 15;
constexpr ProductProfileId kLptEnumKey = 16;

bool StartsWithIgnoringCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix) {
    if (std::tolower(static_cast<unsigned char>(*text)) !=
        std::tolower(static_cast<unsigned char>(*prefix))) {
      return false;
    }
  }
  return true;
}

}  // namespace

PnpCleanup::PnpCleanup(win::Platform& platform, SetupLog& log, const ProductProfile& profile,
                       int isWow64, ProgressChannel* progress, Reporting reporting)
    : platform_(platform),
      log_(log),
      profile_(profile),
      isWow64_(isWow64),
      progress_(progress),
      reporting_(reporting) {}

void PnpCleanup::Report(const char* text) {
  if (reporting_ == Reporting::LogOnly || progress_ == nullptr) return;
  progress_->Report(text,
                    reporting_ == Reporting::ShowAndStep ? ProgressChannel::Bar::Step
                                                         : ProgressChannel::Bar::Keep,
                    500);
}

void PnpCleanup::DeleteVidPid() {
  log_.WriteLog("\r\n");
  log_.WriteLog("DeleteVidPid BEGIN");
  Report("Deleting Vid & Pid info...");
  std::string prefix = "USB\\" + profile_.Load(kVidPid);
  if (FitPath(log_, 256, prefix)) RemoveDevicesByHardwareId(prefix);
  log_.WriteLog("VID&PID : %s", prefix.c_str());
  log_.WriteLog("DeleteVidPid END");
}

bool PnpCleanup::RemoveDevicesByHardwareId(const std::string& prefix) {
  // The identifier is compared from a 50-byte copy (49 characters at most).
  char wanted[50] = {};
  CopyBounded(wanted, sizeof wanted, prefix.c_str());
  win::SetupApi& setup = platform_.setup;
  win::HDEVINFO devices = setup.SetupDiGetClassDevsA(nullptr, "USB", 0, win::DIGCF_ALLCLASSES);
  if (devices == win::INVALID_HANDLE_VALUE) return false;
  for (win::DWORD index = 0;; ++index) {
    win::SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!setup.SetupDiEnumDeviceInfo(devices, index, &device)) {
      // The end of the list, or a list that cannot be walked further: stop.
      bool atEnd = platform_.kernel.GetLastError() == win::ERROR_NO_MORE_ITEMS;
      bool released = setup.SetupDiDestroyDeviceInfoList(devices) != win::FALSE;
      return atEnd && released;
    }
    win::BYTE hardwareIds[100] = {};
    if (!setup.SetupDiGetDeviceRegistryPropertyA(devices, &device, win::SPDRP_HARDWAREID,
                                                 nullptr, hardwareIds, sizeof hardwareIds,
                                                 nullptr)) {
      continue;  // no identifiers, or a list longer than the buffer
    }
    // Only the first identifier's beginning counts: USB\VID_vvvv&PID_pppp.
    if (StartsWithIgnoringCase(reinterpret_cast<const char*>(hardwareIds), wanted)) {
      if (!setup.SetupDiRemoveDevice(devices, &device)) {
        setup.SetupDiDestroyDeviceInfoList(devices);
        return false;
      }
    }
  }
}

void PnpCleanup::Delete_LPT_USB_Info() {
  log_.WriteLog("\r\n");
  log_.WriteLog("Delete_LPT_USB_Info BEGIN");
  Report("Deleting information of LPT and USB...");
  for (ProductProfileId id : {kUsbPrintKey, kLptEnumKey}) {
    std::string key = profile_.Load(id);
    auto hklmPath = FitPath(log_, 512, "HKLM\\" + key);
    auto keyPath = FitPath(log_, 512, key);
    if (hklmPath && keyPath) GrantAndDeleteKey(*hklmPath, *keyPath);
  }
  log_.WriteLog("Delete_LPT_USB_Info END");
}

void PnpCleanup::GrantAndDeleteKey(const std::string& hklmPath, const std::string& keyPath) {
  win::Registry& registry = platform_.registry;
  win::Security& security = platform_.security;

  // The key's access list before the grant, to put back if the key stays.
  win::PSECURITY_DESCRIPTOR before = nullptr;
  win::PACL beforeDacl = nullptr;
  win::HKEY key = 0;
  if (registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, win::READ_CONTROL,
                             &key) == 0) {
    if (security.GetSecurityInfo(key, win::SE_REGISTRY_KEY, win::DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, &beforeDacl, nullptr, &before) != 0) {
      before = nullptr;
    }
    registry.RegCloseKey(key);
  }

  RegistryAclEditor(platform_).ApplyPermissionSpec(hklmPath.c_str(), "/PG:Everyone:Fc");
  log_.WriteLog("REGKEY_1 : %s", hklmPath.c_str());
  log_.WriteLog("REGKEY_2 : %s", keyPath.c_str());
  bool deleted = DeleteHklmKey(platform_, log_, keyPath.c_str(), isWow64_, KeyLogVariant::Plain);

  // A key that stays must not stay open to everyone.
  if (!deleted && before != nullptr &&
      registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, win::WRITE_DAC, &key) ==
          0) {
    security.SetSecurityInfo(key, win::SE_REGISTRY_KEY, win::DACL_SECURITY_INFORMATION, nullptr,
                             nullptr, beforeDacl, nullptr);
    registry.RegCloseKey(key);
  }
  if (before != nullptr) security.LocalFree(before);
}

void PnpCleanup::DeletePrnDrvPnPDirectory() {
  log_.WriteLog("\r\n");
  log_.WriteLog("DeletePrnDrvPnPDirectory BEGIN");
  Report("Deleting PNP directories...");
  char driverDirectory[256] = {};
  win::DWORD needed = 0;
  platform_.spooler.GetPrinterDriverDirectoryA(nullptr, nullptr, 1, driverDirectory,
                                               sizeof driverDirectory, &needed);
  const std::string base = std::string(driverDirectory) + "\\";
  const char* formats[] = {"DIR PATH-1 : %s ", "DIR PATH-2 : %s "};
  const ProductProfileId folders[] = {kPnpFolder1, kPnpFolder2};
  for (int i = 0; i < 2; ++i) {
    std::string path = base + profile_.Load(folders[i]);
    // Without the driver directory the path would name a folder at the
    // drive's root: nothing is deleted then.
    if (driverDirectory[0] != '\0' && FitPath(log_, 256, path)) {
      DeleteDirectoryTree(platform_.kernel, path);
    }
    log_.WriteLog(formats[i], path.c_str());
  }
  log_.WriteLog("DeletePrnDrvPnPDirectory END");
}
