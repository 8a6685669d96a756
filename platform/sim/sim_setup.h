// The setup services of one simulated process: the INF store calls (list,
// open, line search, OEM copy and uninstall) over the machine's SetupStore
// and file system, and the device calls over the device nodes. INF and
// device-list handles live in the process's handle table; failures set the
// thread's last error as Windows does (docs/simulated-machine.md, "Setup
// services").
#pragma once

#include <string>

#include "platform/setup.h"

namespace sim {

class SimProcess;
class SetupStore;

// Error codes of the setup services that win_constants.h does not need.
constexpr win::DWORD ERROR_INVALID_USER_BUFFER = 0x6F8;
constexpr win::DWORD ERROR_CLASS_MISMATCH = 0xE0000201;
constexpr win::DWORD ERROR_INVALID_REG_PROPERTY = 0xE0000209;
constexpr win::DWORD ERROR_NO_SUCH_DEVINST = 0xE000020B;
constexpr win::DWORD SP_COPY_DELETESOURCE = 0x1;
constexpr win::DWORD DIGCF_DEFAULT = 0x1;
constexpr win::DWORD DIGCF_DEVICEINTERFACE = 0x10;
// The size of SP_DEVINFO_DATA that a 32-bit program passes.
constexpr win::DWORD kDevInfoDataSize32 = 28;

class SimSetup : public win::SetupApi {
 public:
  explicit SimSetup(SimProcess& process) : process_(process) {}

  win::BOOL SetupGetInfFileListA(const char* directory, win::DWORD infStyle, char* buffer,
                                 win::DWORD size, win::DWORD* requiredSize) override;
  win::HINF SetupOpenInfFileA(const char* fileName, const char* infClass, win::DWORD infStyle,
                              win::UINT* errorLine) override;
  void SetupCloseInfFile(win::HINF inf) override;
  win::BOOL SetupFindFirstLineA(win::HINF inf, const char* section, const char* key,
                                win::INFCONTEXT* context) override;
  win::BOOL SetupCopyOEMInfA(const char* sourceInfFileName, const char* mediaLocation,
                             win::DWORD mediaType, win::DWORD copyStyle, char* destination,
                             win::DWORD destinationSize, win::DWORD* requiredSize,
                             char** destinationFilePart) override;
  win::BOOL CallSetupUninstallOEMInfA(win::FARPROC setupUninstallOEMInfA, const char* infFileName,
                                      win::DWORD flags, void* reserved) override;
  win::HDEVINFO SetupDiGetClassDevsA(const win::GUID* classGuid, const char* enumerator,
                                     win::HWND parent, win::DWORD flags) override;
  win::BOOL SetupDiEnumDeviceInfo(win::HDEVINFO list, win::DWORD memberIndex,
                                  win::SP_DEVINFO_DATA* device) override;
  win::BOOL SetupDiGetDeviceRegistryPropertyA(win::HDEVINFO list, win::SP_DEVINFO_DATA* device,
                                              win::DWORD property, win::DWORD* dataType,
                                              win::BYTE* buffer, win::DWORD size,
                                              win::DWORD* requiredSize) override;
  win::BOOL SetupDiRemoveDevice(win::HDEVINFO list, win::SP_DEVINFO_DATA* device) override;
  win::BOOL SetupDiDestroyDeviceInfoList(win::HDEVINFO list) override;

 private:
  SetupStore& store();
  // The full path an INF file name names: a bare name in the INF folder (or
  // the system folder), anything else against the current folder.
  std::string InfFilePath(const std::string& fileName) const;
  // The instance path of a member of a device list, or "" (last error set).
  std::string MemberOf(win::HDEVINFO list, const win::SP_DEVINFO_DATA* device);

  SimProcess& process_;
};

}  // namespace sim
