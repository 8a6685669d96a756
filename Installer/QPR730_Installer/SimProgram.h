// The installer as a program of the simulated machine.
#pragma once

#include <memory>

#include "platform/sim/sim_process.h"

// The installer's program image: its entry, string table, resource script
// and shared section, as the Windows program file carries them.
std::shared_ptr<const sim::ProgramImage> InstallerProgramImage();
