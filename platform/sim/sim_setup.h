// The setup services of one simulated process.
//
// The INF store and the device nodes are not simulated yet: every call
// fails with ERROR_CALL_NOT_IMPLEMENTED.
#pragma once

#include "platform/setup.h"

namespace sim {

class SimProcess;

class SimSetup : public win::SetupApi {
 public:
  explicit SimSetup(SimProcess& process) : process_(process) {}

  win::BOOL SetupGetInfFileListA(const char*, win::DWORD, char*, win::DWORD,
                                 win::DWORD*) override;
  win::HINF SetupOpenInfFileA(const char*, const char*, win::DWORD, win::UINT*) override;
  void SetupCloseInfFile(win::HINF) override;
  win::BOOL SetupFindFirstLineA(win::HINF, const char*, const char*, win::INFCONTEXT*) override;
  win::BOOL SetupCopyOEMInfA(const char*, const char*, win::DWORD, win::DWORD, char*, win::DWORD,
                             win::DWORD*, char**) override;
  win::BOOL CallSetupUninstallOEMInfA(win::FARPROC, const char*, win::DWORD, void*) override;
  win::HDEVINFO SetupDiGetClassDevsA(const win::GUID*, const char*, win::HWND,
                                     win::DWORD) override;
  win::BOOL SetupDiEnumDeviceInfo(win::HDEVINFO, win::DWORD, win::SP_DEVINFO_DATA*) override;
  win::BOOL SetupDiGetDeviceRegistryPropertyA(win::HDEVINFO, win::SP_DEVINFO_DATA*, win::DWORD,
                                              win::DWORD*, win::BYTE*, win::DWORD,
                                              win::DWORD*) override;
  win::BOOL SetupDiRemoveDevice(win::HDEVINFO, win::SP_DEVINFO_DATA*) override;
  win::BOOL SetupDiDestroyDeviceInfoList(win::HDEVINFO) override;

 private:
  SimProcess& process_;
};

}  // namespace sim
