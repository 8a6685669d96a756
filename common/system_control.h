// Machine-wide actions of both programs: stopping and starting the print
// spooler through the "net" command with fixed waits, and a forced restart.
#pragma once

#include "platform/platform.h"

// Runs "net stop spooler" hidden, then waits `waitMs` milliseconds.
void StopSpooler(win::Kernel& kernel, win::DWORD waitMs);
// Runs "net start spooler" hidden, then waits `waitMs` milliseconds.
void StartSpooler(win::Kernel& kernel, win::DWORD waitMs);
// Asks Windows for a forced restart; true when it accepted the request.
bool RebootSystem(win::Platform& platform);

// The restart question of the installer and of the uninstaller.
constexpr const char* kInstallerRestartQuestion =
    "Restarting your computer can take effect.\nPlease restart your computer.";
constexpr const char* kUninstallerRestartQuestion =
    "Restart the computer can take effect.\nPlease restart the computer.";
constexpr const char* kRestartChoices =
    "\n\n[Yes] I want to restart my computer now.\n[No] I will restart my computer later.";
