// The utility folder under the Windows directory with the uninstaller and
// the configuration file, and a second copy of that file in the system
// directory.
#include "Installer/QPR730_Installer/DriverInstaller.h"
#include "Installer/QPR730_Installer/InstallerStrings.h"
#include "common/directory_tree.h"

namespace {

constexpr const char* kConfigFile = "QPR730_Config.HVN";

}  // namespace

void DriverInstaller::CopyFilesOfUtilities() {
  log_.WriteLog("\r\n");
  log_.WriteLog("CopyFilesOfUtilities BEGIN");
  const std::string folder = WindowsDirectory() + "\\" + (scratchText = profile_.Load(ids::kModelName));
  CreateDirectoryWithSA(folder);

  scratchText = profile_.Load(ids::kUninstallerFile);
  CopyWithFallback(scratchText, folder + "\\" + scratchText);
  CopyWithFallback(kConfigFile, folder + "\\" + kConfigFile);
  CopyWithFallback(kConfigFile, SystemDirectory() + "\\" + kConfigFile);
  log_.WriteLog("CopyFilesOfUtilities END");
}

bool DriverInstaller::CreateDirectoryWithSA(const std::string& folder) {
  win::Kernel& kernel = app_.platform.kernel;
  win::Security& security = app_.platform.security;
  log_.WriteLog("\r\n");
  log_.WriteLog("CreateDirectoryWithSA BEGIN");

  // The folder holds the uninstaller that the uninstall registration starts
  // with administrator rights: only Administrators and SYSTEM may change it;
  // everyone else may read and run it. Files and sub-folders inherit this.
  win::PSID everyone = nullptr, administrators = nullptr, system = nullptr;
  if (!security.AllocateAndInitializeSid(&win::SECURITY_WORLD_SID_AUTHORITY, 1,
                                         win::SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
    everyone = nullptr;
    log_.WriteLog("Fail to get Everyone SID. (%d)", static_cast<int>(kernel.GetLastError()));
  }
  if (!security.AllocateAndInitializeSid(&win::SECURITY_NT_AUTHORITY, 2,
                                         win::SECURITY_BUILTIN_DOMAIN_RID,
                                         win::DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                         &administrators)) {
    administrators = nullptr;
  }
  if (!security.AllocateAndInitializeSid(&win::SECURITY_NT_AUTHORITY, 1,
                                         win::SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0,
                                         &system)) {
    system = nullptr;
  }

  std::vector<win::EXPLICIT_ACCESS_A> entries;
  auto add = [&](win::PSID sid, win::DWORD permissions) {
    if (sid == nullptr) return;
    win::EXPLICIT_ACCESS_A entry{};
    entry.grfAccessPermissions = permissions;
    entry.grfAccessMode = win::SET_ACCESS;
    entry.grfInheritance = win::SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    entry.Trustee.TrusteeForm = win::TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = win::TRUSTEE_IS_WELL_KNOWN_GROUP;
    entry.Trustee.ptstrName = static_cast<char*>(sid);
    entries.push_back(entry);
  };
  add(administrators, win::GENERIC_ALL);
  add(system, win::GENERIC_ALL);
  add(everyone, win::GENERIC_READ | win::GENERIC_EXECUTE);

  win::PACL acl = nullptr;
  if (!entries.empty()) {
    security.SetEntriesInAclA(static_cast<win::DWORD>(entries.size()), entries.data(), nullptr, &acl);
  }
  win::SECURITY_DESCRIPTOR descriptor{};
  security.InitializeSecurityDescriptor(&descriptor, win::SECURITY_DESCRIPTOR_REVISION);
  security.SetSecurityDescriptorDacl(&descriptor, win::TRUE, acl, win::FALSE);
  win::SECURITY_ATTRIBUTES attributes{sizeof(win::SECURITY_ATTRIBUTES), &descriptor, win::TRUE};

  win::BOOL created = kernel.CreateDirectoryA(folder.c_str(), &attributes);
  if (!created && kernel.GetLastError() == win::ERROR_ALREADY_EXISTS) {
    // An earlier installation's folder goes with everything in it.
    DeleteDirectoryTree(kernel, folder);
    created = kernel.CreateDirectoryA(folder.c_str(), &attributes);
  }
  if (!created) {
    created = kernel.CreateDirectoryA(folder.c_str(), &attributes);
    if (!created) created = kernel.CreateDirectoryA(folder.c_str(), nullptr);
  }

  for (win::PSID sid : {everyone, administrators, system}) {
    if (sid) security.FreeSid(sid);
  }
  if (acl) security.LocalFree(acl);
  log_.WriteLog("CreateDirectoryWithSA END");
  return created != win::FALSE;
}
