#include "tests/support/sim_session.h"

#include "Installer/QPR730_Installer/SimProgram.h"
#include "platform/sim/file_system.h"

namespace test {

std::unique_ptr<sim::SimMachine> MakeMachine(const std::string& preset) {
  return MakeMachine(nlohmann::json{{"preset", preset}});
}

std::unique_ptr<sim::SimMachine> MakeMachine(const nlohmann::json& description) {
  auto machine = std::make_unique<sim::SimMachine>(description);
  machine->files->CreateDirectories(kPackageFolder);
  machine->InstallProgram(kInstallerPath, InstallerProgramImage());
  return machine;
}

win::DWORD RunInstaller(sim::SimMachine& machine) {
  return machine.Run(kInstallerPath, kPackageFolder);
}

std::string InstallerLogBytes(sim::SimMachine& machine) {
  return machine.files->ReadFile(machine.os.TempDirectory() + "\\QPR-730_Installer.txt")
      .value_or("");
}

std::vector<std::string> SplitLogTexts(const std::string& bytes) {
  std::vector<std::string> texts;
  std::string::size_type start = 0;
  while (start < bytes.size()) {
    std::string::size_type end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    // "hh:mm:ss: " carries the time; a separator line's stamp is followed by
    // the empty line its own CR LF made.
    texts.push_back(line.size() >= 10 && line[2] == ':' && line[5] == ':' ? line.substr(10) : line);
    start = end + 2;
  }
  return texts;
}

std::vector<std::string> InstallerLogTexts(sim::SimMachine& machine) {
  return SplitLogTexts(InstallerLogBytes(machine));
}

StepSession::StepSession(sim::SimMachine& machine)
    : machine(machine),
      process(machine.EnterProcess(kInstallerPath, InstallerProgramImage())),
      platform(process->platform()),
      log(platform.kernel, "\\QPR-730_Installer.txt"),
      profile(platform.kernel) {
  log.InitLog();
}

StepSession::~StepSession() { machine.LeaveProcess(*process); }

std::vector<std::string> StepSession::LogTexts() const { return InstallerLogTexts(machine); }

}  // namespace test
