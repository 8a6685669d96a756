// A process of the simulated machine: the program it runs, its current
// directory, its handles, its threads and its exit.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/handles.h"

namespace sim {

class SimMachine;
class SimProcess;

// A program that the simulated machine can run: either one of ours (built
// from the same code as the Windows program, with its resources) or a
// program of the system (net.exe, cmd.exe ...) written for the simulation.
struct ProgramImage {
  // The program's name on disk, e.g. "QPR730_Installer.exe".
  std::string fileName;
  // String table (resource id -> text).
  std::map<win::UINT, std::string> strings;
  // The program's resource script (dialog templates), as compiled for Windows.
  std::string resourceScript;
  // Initial content of the program file's shared data section.
  win::InstanceSection initialShared{};
  // Entry of one of our programs: runs on the process's main thread.
  std::function<int(win::Platform&)> entry;
  // Entry of a system program: gets the command line's arguments.
  std::function<int(SimMachine&, SimProcess&, const std::vector<std::string>& args)> systemEntry;
};

// Thrown inside a thread of a process that is ending (ExitProcess, or the
// main thread returned): unwinds the thread to its start.
struct ProcessExit {
  win::UINT code;
};

class SimProcess : public HandleObject {
 public:
  SimProcess(SimMachine& machine, win::DWORD id, std::string imagePath,
             std::shared_ptr<const ProgramImage> image, std::string commandLine,
             std::string currentDirectory);
  ~SimProcess() override;

  SimMachine& machine;
  const win::DWORD id;
  const std::string imagePath;  // full path of the program file
  const std::shared_ptr<const ProgramImage> image;
  const std::string commandLine;
  std::string currentDirectory;  // full path, no trailing backslash
  bool wow64 = false;            // a 32-bit process on 64-bit Windows
  HandleTable handles;

  bool ending = false;  // ExitProcess was called or the main thread returned
  bool ended = false;   // every thread has finished
  win::DWORD exitCode = win::STILL_ACTIVE;

  // The program file's shared section, alive while a process of it runs.
  std::shared_ptr<win::InstanceSection> shared;

  // The services of this process (set up by the machine).
  win::Platform& platform();

  // Starts a thread of this process. The body runs with the machine's run
  // token; ProcessExit unwinds it.
  void StartThread(const std::string& name, std::function<void()> body);
  int runningThreads = 0;

  // Ends the process with `code` (from any of its threads).
  [[noreturn]] void Exit(win::UINT code);
  // Throws ProcessExit in the calling thread when the process is ending.
  void CheckAlive() const;

  struct Services;
  std::shared_ptr<Services> services;  // shared: its deleter needs no complete type here
};

}  // namespace sim
