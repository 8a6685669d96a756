// The Windows entry of the installer: the shared section of the program
// file, the real platform, and the installer's own start.
#include "Installer/QPR730_Installer/HVNPOS_Installer.h"
#include "platform/shared_section.h"
#include "platform/win32/win32_platform.h"

#include <windows.h>

// Shared by every process of this program file (a section marked shared):
// the instance counter and the titles a later instance looks for.
__attribute__((section("DataSeg"), shared)) win::InstanceSection instanceSection = {
    0, {"Port Type", "Installation Progress", "QPR730_Installer"}};

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  win32::Win32Platform platform(instanceSection);
  return InstallerMain(platform);
}
