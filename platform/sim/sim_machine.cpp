#include "platform/sim/sim_machine.h"
#include "platform/sim/text.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "platform/sim/file_system.h"
#include "platform/sim/registry_store.h"
#include "platform/sim/scripted_user.h"
#include "platform/sim/setup_store.h"
#include "platform/sim/spooler_service.h"
#include "platform/sim/system_programs.h"
#include "platform/sim/transcript.h"
#include "platform/sim/window_manager.h"

namespace sim {
namespace {

std::string ProcessHolder(const SimProcess& process) {
  return "process#" + std::to_string(process.id);
}

void LoadOs(OsLayout& os, const nlohmann::json& j) {
  os.name = j.value("name", os.name);
  os.platformId = j.value("platformId", os.platformId);
  os.major = j.value("major", os.major);
  os.minor = j.value("minor", os.minor);
  os.build = j.value("build", os.build);
  os.productType = j.value("productType", os.productType);
  os.servicePack = j.value("servicePack", os.servicePack);
  os.is64Bit = j.value("is64Bit", os.is64Bit);
  os.windowsDirectory = j.value("windowsDirectory", os.windowsDirectory);
  os.versionQueryFails = j.value("versionQueryFails", os.versionQueryFails);
  if (j.contains("missingFunctions")) {
    os.missingFunctions.clear();
    for (const auto& name : j["missingFunctions"]) os.missingFunctions.insert(name.get<std::string>());
  }
}

nlohmann::json DumpOs(const OsLayout& os) {
  return {{"name", os.name},
          {"platformId", os.platformId},
          {"major", os.major},
          {"minor", os.minor},
          {"build", os.build},
          {"productType", os.productType},
          {"servicePack", os.servicePack},
          {"is64Bit", os.is64Bit},
          {"windowsDirectory", os.windowsDirectory},
          {"versionQueryFails", os.versionQueryFails},
          {"missingFunctions", os.missingFunctions}};
}

void LoadToken(Token& token, const nlohmann::json& j) {
  token.user = j.value("user", token.user);
  if (j.contains("groups")) token.groups = j["groups"].get<std::vector<Sid>>();
  if (j.contains("privileges")) {
    for (const auto& [name, value] : j["privileges"].items()) {
      Privilege& privilege = token.privileges[name];
      privilege.held = value.value("held", privilege.held);
      privilege.enabled = value.value("enabled", privilege.enabled);
    }
  }
}

nlohmann::json DumpToken(const Token& token) {
  nlohmann::json privileges = nlohmann::json::object();
  for (const auto& [name, privilege] : token.privileges) {
    privileges[name] = {{"held", privilege.held}, {"enabled", privilege.enabled}};
  }
  return {{"user", token.user}, {"groups", token.groups}, {"privileges", privileges}};
}

}  // namespace

SimMachine::SimMachine(const nlohmann::json& description) {
  const bool fromPreset = description.contains("preset");
  nlohmann::json base = fromPreset ? PresetDescription(description["preset"].get<std::string>())
                                   : nlohmann::json::object();
  if (base.contains("os")) LoadOs(os, base["os"]);
  if (description.contains("os")) LoadOs(os, description["os"]);
  clock.SetStart(description.contains("clock")
                     ? description["clock"].value("start", std::string("2026-12-11 09:00:00"))
                     : base.contains("clock") ? base["clock"]["start"].get<std::string>()
                                              : std::string("2026-12-11 09:00:00"));
  if (description.contains("clock")) clock.Advance(description["clock"].value("now", 0));

  // An administrator holds the shutdown privilege without having it enabled.
  token.privileges["SeShutdownPrivilege"] = Privilege{true, false};
  token.privileges["SeBackupPrivilege"] = Privilege{true, false};
  token.privileges["SeRestorePrivilege"] = Privilege{true, false};
  token.privileges["SeTakeOwnershipPrivilege"] = Privilege{true, false};
  if (description.contains("token")) LoadToken(token, description["token"]);

  if (description.contains("services") && description["services"].contains("spooler")) {
    const auto& s = description["services"]["spooler"];
    spooler.running = s.value("running", spooler.running);
    spooler.commandDelayMs = s.value("commandDelayMs", spooler.commandDelayMs);
  }
  if (description.contains("remoteMachines")) {
    for (const auto& name : description["remoteMachines"]) remoteMachines.insert(name.get<std::string>());
  }
  for (const auto& r : description.value("restartRequests", nlohmann::json::array())) {
    restartRequests.push_back(RestartRequest{r.value("flags", 0u), r.value("reason", 0u),
                                             r.value("time", std::int64_t{0}),
                                             r.value("program", std::string())});
  }

  registry = std::make_unique<RegistryStore>(*this);
  files = std::make_unique<FileSystem>(*this);
  windows = std::make_unique<WindowManager>(*this);
  transcript = std::make_unique<Transcript>(*this);
  user = std::make_unique<ScriptedUser>(*this);
  spoolerService = std::make_unique<SpoolerService>(*this);
  setupStore = std::make_unique<SetupStore>(*this);

  // A preset starts from the standard content of its release; a description
  // dumped from a machine carries its whole content.
  if (fromPreset || !description.contains("registry")) registry->CreateStandardContent();
  if (fromPreset || !description.contains("files")) files->CreateStandardContent();
  windows->CreateStandardContent();
  transcript->CreateStandardContent();
  user->CreateStandardContent();
  if (description.contains("registry")) registry->Load(description["registry"]);
  if (description.contains("files")) files->Load(description["files"]);
  if (description.contains("user")) user->Load(description["user"]);
  // The spooler and setup sections describe state that lives in the
  // registry and the files: they are read after those.
  if (fromPreset || !description.contains("registry")) {
    spoolerService->CreateStandardContent();
    setupStore->CreateStandardContent();
  }
  if (description.contains("spooler")) spoolerService->Load(description["spooler"]);
  if (description.contains("setup")) setupStore->Load(description["setup"]);

  InstallSystemPrograms(*this);
}

SimMachine::~SimMachine() {
  // End whatever still runs, then wait for the threads.
  for (auto& process : processes) process->ending = true;
  bool attached = scheduler.IsAttached();
  if (attached) scheduler.Detach();
  scheduler.Notify();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

nlohmann::json SimMachine::Dump() const {
  nlohmann::json restarts = nlohmann::json::array();
  for (const RestartRequest& r : restartRequests) {
    restarts.push_back(
        {{"flags", r.flags}, {"reason", r.reason}, {"time", r.time}, {"program", r.program}});
  }
  return {{"os", DumpOs(os)},
          {"clock", {{"start", clock.Start()}, {"now", clock.Now()}}},
          {"token", DumpToken(token)},
          {"services",
           {{"spooler", {{"running", spooler.running}, {"commandDelayMs", spooler.commandDelayMs}}}}},
          {"remoteMachines", remoteMachines},
          {"restartRequests", restarts},
          {"registry", registry->Dump()},
          {"files", files->Dump()},
          {"user", user->Dump()},
          {"spooler", spoolerService->Dump()},
          {"setup", setupStore->Dump()}};
}

void SimMachine::SetSpoolerRunning(bool running) {
  const bool changed = spooler.running != running;
  spooler.running = running;
  // The service reads its state from the registry and files when it starts
  // and lets go of everything (state, loaded libraries) when it stops.
  if (changed) running ? spoolerService->Start() : spoolerService->Stop();
  scheduler.Notify();
}

void SimMachine::InstallProgram(const std::string& path, std::shared_ptr<const ProgramImage> image) {
  if (!files->Exists(path)) files->WriteFile(path, "MZ");
  programs_[Upper(path)] = std::move(image);
}

std::shared_ptr<const ProgramImage> SimMachine::ProgramAt(const std::string& path) const {
  auto it = programs_.find(Upper(path));
  return it == programs_.end() ? nullptr : it->second;
}

std::string SimMachine::FindProgramFile(const std::string& commandLine,
                                        const std::string& currentDirectory) const {
  // The program is the first token, quoted or up to the first blank.
  std::string name;
  if (!commandLine.empty() && commandLine[0] == '"') {
    name = commandLine.substr(1, commandLine.find('"', 1) - 1);
  } else {
    name = commandLine.substr(0, commandLine.find(' '));
  }
  if (name.find('.') == std::string::npos) name += ".exe";
  std::vector<std::string> candidates;
  if (name.find('\\') != std::string::npos) {
    candidates.push_back(name);
  } else {
    candidates = {currentDirectory + "\\" + name, os.SystemDirectory() + "\\" + name,
                  os.windowsDirectory + "\\" + name};
  }
  for (const std::string& path : candidates) {
    if (files->Exists(path) && !files->IsDirectory(path)) return path;
  }
  return {};
}

std::shared_ptr<SimProcess> SimMachine::StartProcess(const std::string& imagePath,
                                                     const std::string& commandLine,
                                                     const std::string& currentDirectory) {
  auto image = ProgramAt(imagePath);
  if (!image) return nullptr;
  auto process = std::make_shared<SimProcess>(*this, nextProcessId_++, imagePath, image,
                                              commandLine, currentDirectory);
  process->wow64 = os.is64Bit;  // our programs and the system programs we model are 32-bit
  process->shared = SharedSectionFor(imagePath, *image);
  processes.push_back(process);
  // A running program's file is mapped: it can be renamed, not deleted.
  files->Hold(imagePath, HoldKind::Loaded, win::FILE_SHARE_READ | win::FILE_SHARE_DELETE,
              ProcessHolder(*process));
  SimProcess* p = process.get();
  p->StartThread("main", [p] {
    if (p->image->entry) {
      int code = p->image->entry(p->platform());
      if (!p->ending) {
        p->ending = true;
        p->exitCode = static_cast<win::DWORD>(code);
      }
    } else if (p->image->systemEntry) {
      std::vector<std::string> args = SplitCommandLine(p->commandLine);
      if (!args.empty()) args.erase(args.begin());
      int code = p->image->systemEntry(p->machine, *p, args);
      p->ending = true;
      p->exitCode = static_cast<win::DWORD>(code);
    }
  });
  return process;
}

std::shared_ptr<SimProcess> SimMachine::EnterProcess(const std::string& imagePath,
                                                     std::shared_ptr<const ProgramImage> image) {
  if (!scheduler.IsAttached()) scheduler.Attach("driver");
  if (!image) image = std::make_shared<ProgramImage>();
  std::string folder = imagePath.substr(0, imagePath.find_last_of('\\'));
  auto process = std::make_shared<SimProcess>(*this, nextProcessId_++, imagePath, image,
                                              "\"" + imagePath + "\"", folder);
  process->wow64 = os.is64Bit;
  process->shared = SharedSectionFor(imagePath, *image);
  process->runningThreads = 1;
  processes.push_back(process);
  return process;
}

void SimMachine::LeaveProcess(SimProcess& process) {
  process.ending = true;
  if (--process.runningThreads == 0) OnProcessEnded(process);
  scheduler.Notify();
  if (scheduler.IsAttached()) scheduler.Detach();
}

win::DWORD SimMachine::WaitForExit(SimProcess& process) {
  scheduler.WaitUntil([&] { return process.ended; });
  return process.exitCode;
}

win::DWORD SimMachine::Run(const std::string& imagePath, const std::string& currentDirectory) {
  const bool attachHere = !scheduler.IsAttached();
  if (attachHere) scheduler.Attach("driver");
  std::string commandLine = "\"" + imagePath + "\"";
  auto process = StartProcess(imagePath, commandLine, currentDirectory);
  if (!process) {
    if (attachHere) scheduler.Detach();
    throw std::invalid_argument("no program installed at " + imagePath);
  }
  win::DWORD code = WaitForExit(*process);
  if (attachHere) scheduler.Detach();
  return code;
}

std::shared_ptr<win::InstanceSection> SimMachine::SharedSectionFor(const std::string& imagePath,
                                                                   const ProgramImage& image) {
  std::weak_ptr<win::InstanceSection>& slot = sharedSections_[Upper(imagePath)];
  if (auto section = slot.lock()) return section;
  auto section = std::make_shared<win::InstanceSection>(image.initialShared);
  slot = section;
  return section;
}

void SimMachine::AdoptThread(std::thread thread) { threads_.push_back(std::move(thread)); }

void SimMachine::OnProcessEnded(SimProcess& process) {
  process.ended = true;
  files->ReleaseHolds(ProcessHolder(process));
  process.shared.reset();  // the section lives while a process of the program runs
  windows->ProcessEnded(process.id);
  process.handles = HandleTable{};
}

}  // namespace sim
