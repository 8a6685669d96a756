// A simulated Windows machine: one object holding the whole machine state
// (release, clock, registry, file system, services, windows, processes, the
// user in front of it), built from a machine description and dumpable back
// to one. See docs/simulated-machine.md for the description format and the
// Windows behaviours it models.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/access_control.h"
#include "platform/sim/clock.h"
#include "platform/sim/os_layout.h"
#include "platform/sim/scheduler.h"
#include "platform/sim/sim_process.h"

namespace sim {

class RegistryStore;
class FileSystem;
class WindowManager;
class Transcript;
class ScriptedUser;
class SpoolerService;
class SetupStore;

// A restart that a program asked for with ExitWindowsEx.
struct RestartRequest {
  win::UINT flags = 0;
  win::DWORD reason = 0;
  std::int64_t time = 0;  // virtual milliseconds
  std::string program;
};

// The print spooler service as the "net" command sees it: running or
// stopped, and how long a start or stop takes.
struct ServiceState {
  bool running = true;
  std::int64_t commandDelayMs = 500;  // how long "net stop/start" takes
};

// A command line that a program started (WinExec or CreateProcessA).
struct StartedCommand {
  std::int64_t time = 0;
  std::string program;      // the program that started it
  std::string how;          // "WinExec" or "CreateProcessA"
  std::string commandLine;
  win::UINT show = 0;       // SW_HIDE ... as asked
  bool started = false;     // the program file was found and started
};

class SimMachine {
 public:
  // From a machine description (docs/simulated-machine.md); a description
  // may name a preset to start from.
  explicit SimMachine(const nlohmann::json& description);
  ~SimMachine();
  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;

  static std::unique_ptr<SimMachine> FromPreset(const std::string& presetName);
  // The names of the presets, e.g. "xp", "win7-64".
  static std::vector<std::string> PresetNames();
  static nlohmann::json PresetDescription(const std::string& presetName);

  nlohmann::json Dump() const;

  // ---- State ----
  OsLayout os;
  Clock clock;
  Scheduler scheduler{clock};
  Token token;
  std::unique_ptr<RegistryStore> registry;
  std::unique_ptr<FileSystem> files;
  std::unique_ptr<WindowManager> windows;
  std::unique_ptr<Transcript> transcript;
  std::unique_ptr<ScriptedUser> user;
  std::unique_ptr<SpoolerService> spoolerService;  // the spooler's printers, drivers ...
  std::unique_ptr<SetupStore> setupStore;          // the INF store and device nodes
  ServiceState spooler;
  std::vector<RestartRequest> restartRequests;
  std::vector<StartedCommand> startedCommands;
  std::set<std::string> remoteMachines;  // names reachable by RegConnectRegistryA

  bool SpoolerRunning() const { return spooler.running; }
  // The service control manager's start or stop of the spooler service.
  void SetSpoolerRunning(bool running);

  // ---- Programs and processes ----
  // Makes a program runnable at `path` (the file is created if missing).
  void InstallProgram(const std::string& path, std::shared_ptr<const ProgramImage> image);
  // The program registered for a file path, or null.
  std::shared_ptr<const ProgramImage> ProgramAt(const std::string& path) const;
  // Starts a process; the caller must be attached to the scheduler.
  std::shared_ptr<SimProcess> StartProcess(const std::string& imagePath,
                                           const std::string& commandLine,
                                           const std::string& currentDirectory);
  // Finds the program file of a command line as CreateProcess does (the
  // first token, with ".exe" added, in the current and system folders).
  std::string FindProgramFile(const std::string& commandLine,
                              const std::string& currentDirectory) const;
  // Waits for a process to end and returns its exit code.
  win::DWORD WaitForExit(SimProcess& process);

  // Runs a program from a driver thread (a test, the simulator tool): starts
  // it, waits for it, returns its exit code. Attaches the calling thread
  // for the duration when it is not attached yet.
  win::DWORD Run(const std::string& imagePath, const std::string& currentDirectory);

  std::vector<std::shared_ptr<SimProcess>> processes;

  // Makes the calling thread (a test, a tool) a thread of a new process of
  // `image` (which may be empty), so that it can call the services itself.
  // The thread is attached to the scheduler until LeaveProcess.
  std::shared_ptr<SimProcess> EnterProcess(const std::string& imagePath,
                                           std::shared_ptr<const ProgramImage> image);
  void LeaveProcess(SimProcess& process);

  // Keeps a simulated thread until the machine ends (joined then).
  void AdoptThread(std::thread thread);
  // Called by the last thread of a process when it ends.
  void OnProcessEnded(SimProcess& process);

  // The shared section of a program file while a process of it runs.
  std::shared_ptr<win::InstanceSection> SharedSectionFor(const std::string& imagePath,
                                                         const ProgramImage& image);

 private:
  std::map<std::string, std::shared_ptr<const ProgramImage>> programs_;  // by upper-case path
  std::map<std::string, std::weak_ptr<win::InstanceSection>> sharedSections_;
  std::vector<std::thread> threads_;
  win::DWORD nextProcessId_ = 1000;
};

}  // namespace sim
