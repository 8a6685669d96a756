#include "platform/sim/sim_process.h"

#include <cstdio>
#include <exception>

#include "platform/sim/sim_machine.h"
#include "platform/sim/window_manager.h"

namespace sim {

SimProcess::SimProcess(SimMachine& machine, win::DWORD id, std::string imagePath,
                       std::shared_ptr<const ProgramImage> image, std::string commandLine,
                       std::string currentDirectory)
    : machine(machine),
      id(id),
      imagePath(std::move(imagePath)),
      image(std::move(image)),
      commandLine(std::move(commandLine)),
      currentDirectory(std::move(currentDirectory)) {}

SimProcess::~SimProcess() = default;

void SimProcess::StartThread(const std::string& name, std::function<void()> body) {
  ++runningThreads;
  std::string label = (image ? image->fileName : std::string("process")) + "#" +
                      std::to_string(id) + " " + name;
  machine.AdoptThread(machine.scheduler.Spawn(label, [this, body = std::move(body)] {
    try {
      CheckAlive();
      body();
    } catch (const ProcessExit&) {
      // The process is ending: the thread stops here.
    } catch (const Deadlock& deadlock) {
      std::fprintf(stderr, "simulated machine: %s\n", deadlock.description.c_str());
      ending = true;
      if (exitCode == win::STILL_ACTIVE) exitCode = 0xDEAD;
    } catch (const std::exception& error) {
      std::fprintf(stderr, "simulated process %u: unexpected error: %s\n", id, error.what());
      ending = true;
      if (exitCode == win::STILL_ACTIVE) exitCode = 0xBAD;
    }
    // The thread's windows and the messages sent to it go with it.
    machine.windows->ThreadEnded(std::this_thread::get_id());
    if (--runningThreads == 0) machine.OnProcessEnded(*this);
    machine.scheduler.Notify();
  }));
}

void SimProcess::Exit(win::UINT code) {
  if (!ending) {
    ending = true;
    exitCode = code;
  }
  machine.scheduler.Notify();
  throw ProcessExit{code};
}

void SimProcess::CheckAlive() const {
  if (ending) throw ProcessExit{exitCode};
}

}  // namespace sim
