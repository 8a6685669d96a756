#include "platform/sim/system_programs.h"
#include "platform/sim/text.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/sim/sim_machine.h"

namespace sim {
namespace {

// Waits `ms` of virtual time on the calling simulated thread.
void Pause(SimMachine& machine, SimProcess& process, std::int64_t ms) {
  std::int64_t until = machine.clock.Now() + ms;
  machine.scheduler.WaitUntil([&] { return process.ending; }, until);
  process.CheckAlive();
}

// "net stop spooler" / "net start spooler". The service takes
// `commandDelayMs` to change its state; net returns when it has. Exit codes
// as net gives them: 0 done, 2 for an error (service already in that state,
// unknown service or verb).
int Net(SimMachine& machine, SimProcess& process, const std::vector<std::string>& args) {
  if (args.size() != 2 || Lower(args[1]) != "spooler") return 2;
  const std::string verb = Lower(args[0]);
  if (verb != "stop" && verb != "start") return 2;
  const bool start = verb == "start";
  if (machine.spooler.running == start) return 2;  // already started / not started
  Pause(machine, process, machine.spooler.commandDelayMs);
  machine.SetSpoolerRunning(start);
  return 0;
}

// "cmd /c <command line>": runs the command and returns its exit code.
int Cmd(SimMachine& machine, SimProcess& process, const std::vector<std::string>& args) {
  if (args.empty() || Lower(args[0]) != "/c") return 0;
  std::string command = process.commandLine.substr(Lower(process.commandLine).find("/c") + 2);
  command.erase(0, command.find_first_not_of(' '));
  std::string path = machine.FindProgramFile(command, process.currentDirectory);
  if (path.empty() || !machine.ProgramAt(path)) return 1;  // "is not recognized as a command"
  auto child = machine.StartProcess(path, command, process.currentDirectory);
  machine.scheduler.WaitUntil([&] { return child->ended || process.ending; });
  process.CheckAlive();
  return static_cast<int>(child->exitCode);
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> args;
  std::string current;
  bool quoted = false, any = false;
  for (char c : commandLine) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (c == ' ' && !quoted) {
      if (any) args.push_back(current);
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) args.push_back(current);
  return args;
}

void InstallSystemPrograms(SimMachine& machine) {
  if (!machine.os.IsNt()) return;
  auto net = std::make_shared<ProgramImage>();
  net->fileName = "net.exe";
  net->systemEntry = Net;
  auto cmd = std::make_shared<ProgramImage>();
  cmd->fileName = "cmd.exe";
  cmd->systemEntry = Cmd;
  std::vector<std::string> folders = {machine.os.SystemDirectory()};
  if (machine.os.is64Bit) folders.push_back(machine.os.SysWow64Directory());
  for (const std::string& folder : folders) {
    machine.InstallProgram(folder + "\\net.exe", net);
    machine.InstallProgram(folder + "\\cmd.exe", cmd);
  }
}

}  // namespace sim
