// What the spooler reports after an installation, printed for the Wine tests.
#pragma once

// Prints the local printers, the drivers and print processors of the
// environment the installer registered for ("Windows x64" on the WOW64
// road, else "Windows NT x86") and the monitors, one line each.
void PrintSpoolerState(const char* environment);

// Whether this process runs under WOW64 (a 32-bit process on 64-bit
// Windows).
bool RunsUnderWow64();
