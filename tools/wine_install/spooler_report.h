// What the spooler reports after an installation, printed for the Wine tests.
#pragma once

// Prints the local printers, the drivers and print processors of the
// environment the installer registers for in this process ("Windows x64"
// under WOW64 or when acting as under it, else "Windows NT x86") and the
// monitors, one line each.
void PrintSpoolerState(bool actAsWow64);
