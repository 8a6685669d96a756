// Test support for the installation steps while the controller that calls
// them is not there: a dialog like the installer's, with the same template,
// progress bar and message refresh, whose worker runs a test's body on a
// DriverInstaller set up as the installer's initialisation sets it up.
#pragma once

#include <functional>
#include <string>

#include "Installer/QPR730_Installer/DriverInstaller.h"
#include "platform/sim/sim_machine.h"

namespace test {

// Runs `body` on the worker thread of the harness installed as
// C:\QPR730\QPR730_Installer.exe; returns the process exit status.
win::DWORD RunOnInstallerDialog(sim::SimMachine& machine,
                                std::function<void(DriverInstaller&)> body);

// Puts a driver package in C:\QPR730: the driver files in Driver32 and
// Driver64, the INF, the uninstaller and the configuration file.
void AddDriverPackage(sim::SimMachine& machine);

// The package INF's text.
std::string PackageInfText();

}  // namespace test
