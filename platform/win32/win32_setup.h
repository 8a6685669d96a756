// The setup and device-installation services over setupapi.
#pragma once

#include "platform/setup.h"

namespace win32 {

class Win32Setup : public win::SetupApi {
 public:
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
  win::BOOL CallSetupUninstallOEMInfA(win::FARPROC setupUninstallOEMInfA,
                                      const char* infFileName, win::DWORD flags,
                                      void* reserved) override;

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
};

}  // namespace win32
