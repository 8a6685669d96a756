#include "platform/win32/win32_setup.h"

#include <windows.h>
#include <setupapi.h>

#include "platform/win32/win32_casts.h"

namespace win32 {

namespace {

static_assert(sizeof(win::GUID) == sizeof(GUID));

PDWORD RealDwords(win::DWORD* value) { return reinterpret_cast<PDWORD>(value); }

GUID ToRealGuid(const win::GUID& ours) {
  GUID real{};
  real.Data1 = ours.Data1;
  real.Data2 = ours.Data2;
  real.Data3 = ours.Data3;
  for (int i = 0; i < 8; ++i) real.Data4[i] = ours.Data4[i];
  return real;
}

win::GUID FromRealGuid(const GUID& real) {
  win::GUID ours{};
  ours.Data1 = real.Data1;
  ours.Data2 = real.Data2;
  ours.Data3 = real.Data3;
  for (int i = 0; i < 8; ++i) ours.Data4[i] = real.Data4[i];
  return ours;
}

// A device record goes to the real call with the real size; its Reserved
// field identifies the device within its list, so it travels both ways.
SP_DEVINFO_DATA ToRealDevice(const win::SP_DEVINFO_DATA& ours) {
  SP_DEVINFO_DATA real{};
  real.cbSize = sizeof real;
  real.ClassGuid = ToRealGuid(ours.ClassGuid);
  real.DevInst = ours.DevInst;
  real.Reserved = ours.Reserved;
  return real;
}

void FromRealDevice(const SP_DEVINFO_DATA& real, win::SP_DEVINFO_DATA* ours) {
  ours->ClassGuid = FromRealGuid(real.ClassGuid);
  ours->DevInst = real.DevInst;
  ours->Reserved = real.Reserved;
}

}  // namespace

win::BOOL Win32Setup::SetupGetInfFileListA(const char* directory, win::DWORD infStyle,
                                           char* buffer, win::DWORD size,
                                           win::DWORD* requiredSize) {
  return ::SetupGetInfFileListA(directory, infStyle, buffer, size, RealDwords(requiredSize));
}

win::HINF Win32Setup::SetupOpenInfFileA(const char* fileName, const char* infClass,
                                        win::DWORD infStyle, win::UINT* errorLine) {
  return FromReal(::SetupOpenInfFileA(fileName, infClass, infStyle, errorLine));
}

void Win32Setup::SetupCloseInfFile(win::HINF inf) { ::SetupCloseInfFile(ToReal<HINF>(inf)); }

win::BOOL Win32Setup::SetupFindFirstLineA(win::HINF inf, const char* section, const char* key,
                                          win::INFCONTEXT* context) {
  INFCONTEXT real{};
  BOOL found = ::SetupFindFirstLineA(ToReal<HINF>(inf), section, key, &real);
  if (context != nullptr) {
    context->Inf = FromReal(real.Inf);
    context->CurrentInf = FromReal(real.CurrentInf);
    context->Section = real.Section;
    context->Line = real.Line;
  }
  return found;
}

win::BOOL Win32Setup::SetupCopyOEMInfA(const char* sourceInfFileName, const char* mediaLocation,
                                       win::DWORD mediaType, win::DWORD copyStyle,
                                       char* destination, win::DWORD destinationSize,
                                       win::DWORD* requiredSize, char** destinationFilePart) {
  return ::SetupCopyOEMInfA(sourceInfFileName, mediaLocation, mediaType, copyStyle, destination,
                            destinationSize, RealDwords(requiredSize), destinationFilePart);
}

win::BOOL Win32Setup::CallSetupUninstallOEMInfA(win::FARPROC setupUninstallOEMInfA,
                                                const char* infFileName, win::DWORD flags,
                                                void* reserved) {
  using SetupUninstallOEMInfCall = BOOL(WINAPI*)(PCSTR, DWORD, PVOID);
  return reinterpret_cast<SetupUninstallOEMInfCall>(setupUninstallOEMInfA)(infFileName, flags,
                                                                          reserved);
}

win::HDEVINFO Win32Setup::SetupDiGetClassDevsA(const win::GUID* classGuid,
                                               const char* enumerator, win::HWND parent,
                                               win::DWORD flags) {
  GUID real{};
  if (classGuid != nullptr) real = ToRealGuid(*classGuid);
  return FromReal(::SetupDiGetClassDevsA(classGuid != nullptr ? &real : nullptr, enumerator,
                                         ToReal<HWND>(parent), flags));
}

win::BOOL Win32Setup::SetupDiEnumDeviceInfo(win::HDEVINFO list, win::DWORD memberIndex,
                                            win::SP_DEVINFO_DATA* device) {
  SP_DEVINFO_DATA real = ToRealDevice(*device);
  BOOL found = ::SetupDiEnumDeviceInfo(ToReal<HDEVINFO>(list), memberIndex, &real);
  if (found) FromRealDevice(real, device);
  return found;
}

win::BOOL Win32Setup::SetupDiGetDeviceRegistryPropertyA(win::HDEVINFO list,
                                                        win::SP_DEVINFO_DATA* device,
                                                        win::DWORD property,
                                                        win::DWORD* dataType, win::BYTE* buffer,
                                                        win::DWORD size,
                                                        win::DWORD* requiredSize) {
  SP_DEVINFO_DATA real = ToRealDevice(*device);
  return ::SetupDiGetDeviceRegistryPropertyA(ToReal<HDEVINFO>(list), &real, property,
                                             RealDwords(dataType), buffer, size,
                                             RealDwords(requiredSize));
}

win::BOOL Win32Setup::SetupDiRemoveDevice(win::HDEVINFO list, win::SP_DEVINFO_DATA* device) {
  SP_DEVINFO_DATA real = ToRealDevice(*device);
  return ::SetupDiRemoveDevice(ToReal<HDEVINFO>(list), &real);
}

win::BOOL Win32Setup::SetupDiDestroyDeviceInfoList(win::HDEVINFO list) {
  return ::SetupDiDestroyDeviceInfoList(ToReal<HDEVINFO>(list));
}

}  // namespace win32
