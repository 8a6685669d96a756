// qprsim: runs the installer on a simulated Windows machine described by a
// preset or a machine description, and prints what the user saw, what the
// program logged, the commands it started and how the machine changed.
#include <chrono>
#include <fstream>
#include <iostream>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "Installer/QPR730_Installer/SimProgram.h"
#include "platform/sim/file_system.h"
#include "platform/sim/scripted_user.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/transcript.h"

namespace {

nlohmann::json ReadJson(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  return nlohmann::json::parse(in);
}

// A change of the machine between two dumps, one line per JSON patch step.
void PrintChanges(const nlohmann::json& before, const nlohmann::json& after) {
  nlohmann::json patch = nlohmann::json::diff(before, after);
  if (patch.empty()) {
    std::cout << "(none)\n";
    return;
  }
  for (const auto& step : patch) {
    std::cout << step["op"].get<std::string>() << " " << step["path"].get<std::string>();
    if (step.contains("value")) {
      std::string value = step["value"].dump();
      if (value.size() > 160) value = value.substr(0, 157) + "...";
      std::cout << " = " << value;
    }
    std::cout << "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Runs the QPR-730 installer on a simulated Windows machine."};
  std::string machineArg = "xp";
  std::string userScript;
  std::string packageFolder = "C:\\QPR730";
  std::string dumpAfter;
  bool interactive = false;
  bool listPresets = false;
  bool showChanges = true;
  app.add_option("-m,--machine", machineArg,
                 "a preset name (see --list-presets) or a machine description (.json)");
  app.add_option("-u,--user", userScript, "a user script (.json): answers and actions");
  app.add_option("-p,--package", packageFolder, "the package folder the installer runs from");
  app.add_option("--dump", dumpAfter, "writes the machine description after the run to a file");
  app.add_flag("-i,--interactive", interactive, "answer message boxes at the terminal");
  app.add_flag("--list-presets", listPresets, "lists the machine presets");
  app.add_flag("!--no-changes", showChanges, "does not print the machine's changes");
  CLI11_PARSE(app, argc, argv);

  if (listPresets) {
    for (const std::string& name : sim::SimMachine::PresetNames()) {
      std::cout << name << "  " << sim::SimMachine::PresetDescription(name)["os"]["name"].get<std::string>()
                << "\n";
    }
    return 0;
  }

  try {
    nlohmann::json description = machineArg.size() > 5 &&
                                         machineArg.compare(machineArg.size() - 5, 5, ".json") == 0
                                     ? ReadJson(machineArg)
                                     : nlohmann::json{{"preset", machineArg}};
    if (!userScript.empty()) description["user"] = ReadJson(userScript);
    sim::SimMachine machine(description);
    machine.user->interactive = interactive;
    const std::string installer = packageFolder + "\\QPR730_Installer.exe";
    machine.files->CreateDirectories(packageFolder);
    machine.InstallProgram(installer, InstallerProgramImage());
    nlohmann::json before = machine.Dump();

    std::cout << "== Machine: " << machine.os.name << "\n";
    std::cout << "== Running " << installer << "\n";
    auto start = std::chrono::steady_clock::now();
    win::DWORD exitCode = machine.Run(installer, packageFolder);
    double realMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    std::cout << "\n== What the user saw\n" << machine.transcript->Text();
    const std::string logPath = machine.os.TempDirectory() + "\\QPR-730_Installer.txt";
    std::cout << "\n== Log " << logPath << "\n" << machine.files->ReadFile(logPath).value_or("(none)\n");
    std::cout << "\n== Commands started\n";
    for (const sim::StartedCommand& c : machine.startedCommands) {
      std::cout << c.time << " ms  " << c.how << " \"" << c.commandLine << "\" show=" << c.show
                << (c.started ? "" : "  (not found)") << "\n";
    }
    if (showChanges) {
      std::cout << "\n== Changes of the machine\n";
      PrintChanges(before, machine.Dump());
    }
    std::cout << "\n== Exit status " << exitCode << "; virtual time " << machine.clock.Now()
              << " ms; real time " << realMs << " ms\n";
    if (!dumpAfter.empty()) std::ofstream(dumpAfter) << machine.Dump().dump(2) << "\n";
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "qprsim: " << error.what() << "\n";
    return 2;
  }
}
