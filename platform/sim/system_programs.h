// The system programs that the setup programs start by command line,
// written for the simulated machine: "net" (starts and stops the print
// spooler service) and "cmd" (runs the command after /c).
#pragma once

#include <string>
#include <vector>

namespace sim {

class SimMachine;

// Installs net.exe and cmd.exe in the system folder(s) of an NT machine.
void InstallSystemPrograms(SimMachine& machine);

// Splits a command line into its arguments as the C runtime does (blanks
// separate, double quotes group).
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace sim
