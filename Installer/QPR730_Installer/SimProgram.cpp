// The simulated entry of the installer: the program image that a simulated
// machine runs. It wires the installer's code to the machine's services.
#include "Installer/QPR730_Installer/SimProgram.h"

#include <cstring>

#include "Installer/QPR730_Installer/HVNPOS_Installer.h"

std::shared_ptr<const sim::ProgramImage> InstallerProgramImage() {
  static const std::shared_ptr<const sim::ProgramImage> image = [] {
    auto program = std::make_shared<sim::ProgramImage>();
    program->fileName = "QPR730_Installer.exe";
    program->strings = {
#include "QPR730_Installer_strings.inc"
    };
    program->resourceScript =
#include "QPR730_Installer_rc.inc"
        ;
    // The shared section's titles, in the order a later instance looks
    // for a window of the running one.
    std::strcpy(program->initialShared.titles[0], "Port Type");
    std::strcpy(program->initialShared.titles[1], "Installation Progress");
    std::strcpy(program->initialShared.titles[2], "QPR730_Installer");
    program->entry = InstallerMain;
    return program;
  }();
  return image;
}
