#include "platform/sim/sim_setup.h"

#include "platform/sim/last_error.h"

namespace sim {
namespace {
win::BOOL NotSimulated() { return Fail(win::ERROR_CALL_NOT_IMPLEMENTED); }
}  // namespace

win::BOOL SimSetup::SetupGetInfFileListA(const char*, win::DWORD, char*, win::DWORD,
                                         win::DWORD*) {
  return NotSimulated();
}
win::HINF SimSetup::SetupOpenInfFileA(const char*, const char*, win::DWORD, win::UINT*) {
  NotSimulated();
  return win::INVALID_HANDLE_VALUE;
}
void SimSetup::SetupCloseInfFile(win::HINF) {}
win::BOOL SimSetup::SetupFindFirstLineA(win::HINF, const char*, const char*, win::INFCONTEXT*) {
  return NotSimulated();
}
win::BOOL SimSetup::SetupCopyOEMInfA(const char*, const char*, win::DWORD, win::DWORD, char*,
                                     win::DWORD, win::DWORD*, char**) {
  return NotSimulated();
}
win::BOOL SimSetup::CallSetupUninstallOEMInfA(win::FARPROC, const char*, win::DWORD, void*) {
  return NotSimulated();
}
win::HDEVINFO SimSetup::SetupDiGetClassDevsA(const win::GUID*, const char*, win::HWND,
                                             win::DWORD) {
  NotSimulated();
  return win::INVALID_HANDLE_VALUE;
}
win::BOOL SimSetup::SetupDiEnumDeviceInfo(win::HDEVINFO, win::DWORD, win::SP_DEVINFO_DATA*) {
  return NotSimulated();
}
win::BOOL SimSetup::SetupDiGetDeviceRegistryPropertyA(win::HDEVINFO, win::SP_DEVINFO_DATA*,
                                                      win::DWORD, win::DWORD*, win::BYTE*,
                                                      win::DWORD, win::DWORD*) {
  return NotSimulated();
}
win::BOOL SimSetup::SetupDiRemoveDevice(win::HDEVINFO, win::SP_DEVINFO_DATA*) {
  return NotSimulated();
}
win::BOOL SimSetup::SetupDiDestroyDeviceInfoList(win::HDEVINFO) { return NotSimulated(); }

}  // namespace sim
