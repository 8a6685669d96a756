// install_check: runs the installer's direct installation for real on the
// machine it is started on, the way the installer does it: on the worker
// thread of the "Installation Progress" dialog (template 102), for a printer
// on COM1. When the dialog has ended it prints the dialog's result
// ("DIALOG -1": not created) and what the spooler then reports, one line
// per object, then the exit code, for the Wine tests to read:
//
//   PRINTER <name>|<port>|<driver>|<print processor>|<data type>|<attributes>
//   DRIVER <name>|<version>|<environment>|<driver path>|<data file>|<config file>|<monitor>
//   MONITOR <name>|<environment>|<dll>
//   PROCESSOR <name>
//   EXIT <exit code>
//
// The installer takes the road its probe finds, unless an argument chooses:
//  - "install_check wow64" takes the WOW64 road whatever the process is: the
//    x86_64 build then stands in for the 32-bit installer on 64-bit Windows
//    (environment "Windows x64", the Driver64 files), whose driver the
//    spooler of a 64-bit process accepts for a printer; without it a 64-bit
//    process registers the driver for "Windows NT x86", which the spooler
//    then does not use for a printer of its own environment;
//  - "install_check x86" takes the road of 32-bit Windows whatever the
//    process is: the i686 build under WOW64 then installs for "Windows NT
//    x86", the environment of a spooler that runs in a 32-bit process.
// The report lists the drivers and print processors of the road's
// environment.
//
// Start it in a package folder (Driver32\, Driver64\, the uninstaller and
// the configuration file beside it). Its message boxes carry the program's
// name, "install_check". The exit status is the application's exit code.
#include <cstdio>
#include <cstring>

#include "platform/shared_section.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/step_dialog.h"
#include "tools/wine_install/spooler_report.h"

namespace {

// Not shared between processes: this program runs once at a time.
win::InstanceSection instanceSection = {0, {"", "Installation Progress", ""}};

}  // namespace

int main(int argc, char** argv) {
  const char* choice = argc > 1 ? argv[1] : "";
  test::Road road = test::Road::Probed;
  if (std::strcmp(choice, "wow64") == 0) road = test::Road::Wow64;
  if (std::strcmp(choice, "x86") == 0) road = test::Road::Windows32;
  const bool wow64Road = road == test::Road::Wow64 || (road == test::Road::Probed && RunsUnderWow64());

  win32::Win32Platform platform(instanceSection);
  test::StepApp app(
      platform, [](DriverInstaller& installer) { installer.AddToWin2K(kPortCom1); }, road);
  int exitCode = app.Run();
  std::printf("DIALOG %d\n", static_cast<int>(app.dialogResult));
  std::fflush(stdout);
  PrintSpoolerState(wow64Road ? "Windows x64" : "Windows NT x86");
  std::printf("EXIT %d\n", exitCode);
  std::fflush(stdout);
  return exitCode;
}
