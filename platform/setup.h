// Setup and device-installation services (setupapi).
#pragma once

#include "platform/win_constants.h"
#include "platform/win_types.h"

namespace win {

constexpr DWORD INF_STYLE_OLDNT = 0x1;
constexpr DWORD INF_STYLE_WIN4 = 0x2;
constexpr DWORD SPOST_NONE = 0;
constexpr DWORD SPOST_PATH = 1;
constexpr DWORD SP_COPY_REPLACEONLY = 0x2;
constexpr DWORD SP_COPY_NOOVERWRITE = 0x8;
constexpr DWORD SUIOIF_FORCE_DELETE = 0x1;
constexpr DWORD DIGCF_PRESENT = 0x2;
constexpr DWORD DIGCF_ALLCLASSES = 0x4;
constexpr DWORD SPDRP_HARDWAREID = 0x1;

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};

struct INFCONTEXT {
  HINF Inf;
  HINF CurrentInf;
  UINT Section;
  UINT Line;
};

struct SP_DEVINFO_DATA {
  DWORD cbSize;
  GUID ClassGuid;
  DWORD DevInst;
  std::uintptr_t Reserved;
};

class SetupApi {
 public:
  virtual ~SetupApi() = default;

  // The INF store. A NULL directory means the system's INF folder; the list
  // is a sequence of NUL-terminated names followed by one more NUL.
  virtual BOOL SetupGetInfFileListA(const char* directory, DWORD infStyle, char* buffer,
                                    DWORD size, DWORD* requiredSize) = 0;
  virtual HINF SetupOpenInfFileA(const char* fileName, const char* infClass, DWORD infStyle,
                                 UINT* errorLine) = 0;
  virtual void SetupCloseInfFile(HINF inf) = 0;
  virtual BOOL SetupFindFirstLineA(HINF inf, const char* section, const char* key,
                                   INFCONTEXT* context) = 0;
  virtual BOOL SetupCopyOEMInfA(const char* sourceInfFileName, const char* mediaLocation,
                                DWORD mediaType, DWORD copyStyle, char* destination,
                                DWORD destinationSize, DWORD* requiredSize,
                                char** destinationFilePart) = 0;
  // SetupUninstallOEMInfA, bound at run time from "setupapi".
  virtual BOOL CallSetupUninstallOEMInfA(FARPROC setupUninstallOEMInfA, const char* infFileName,
                                         DWORD flags, void* reserved) = 0;

  // Device nodes.
  virtual HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, const char* enumerator,
                                        HWND parent, DWORD flags) = 0;
  virtual BOOL SetupDiEnumDeviceInfo(HDEVINFO list, DWORD memberIndex,
                                     SP_DEVINFO_DATA* device) = 0;
  virtual BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO list, SP_DEVINFO_DATA* device,
                                                 DWORD property, DWORD* dataType, BYTE* buffer,
                                                 DWORD size, DWORD* requiredSize) = 0;
  virtual BOOL SetupDiRemoveDevice(HDEVINFO list, SP_DEVINFO_DATA* device) = 0;
  virtual BOOL SetupDiDestroyDeviceInfoList(HDEVINFO list) = 0;
};

}  // namespace win
