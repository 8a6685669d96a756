// Test support: simulated machines with the installer in a package folder,
// and the test's own thread as a process of the machine for testing single
// steps against the machine's services.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/product_profile.h"
#include "common/setup_log.h"
#include "platform/sim/sim_machine.h"

namespace test {

// Where the tests put the driver package and the installer.
inline const std::string kPackageFolder = "C:\\QPR730";
inline const std::string kInstallerPath = "C:\\QPR730\\QPR730_Installer.exe";

// A machine from a preset name or a description, with the installer
// installed in the package folder.
std::unique_ptr<sim::SimMachine> MakeMachine(const std::string& preset);
inline std::unique_ptr<sim::SimMachine> MakeMachine(const char* preset) {
  return MakeMachine(std::string(preset));
}
std::unique_ptr<sim::SimMachine> MakeMachine(const nlohmann::json& description);

// Runs the installer from the package folder; returns its exit status.
win::DWORD RunInstaller(sim::SimMachine& machine);

// The installer's log file: raw bytes, or the texts of its lines without
// their time stamps (an empty text for the blank separator lines).
std::string InstallerLogBytes(sim::SimMachine& machine);
std::vector<std::string> InstallerLogTexts(sim::SimMachine& machine);

// The calling thread as a thread of an installer process: `platform` are
// that process's services, `log` and `profile` the installer's.
class StepSession {
 public:
  explicit StepSession(sim::SimMachine& machine);
  ~StepSession();

  sim::SimMachine& machine;
  std::shared_ptr<sim::SimProcess> process;
  win::Platform& platform;
  SetupLog log;
  ProductProfile profile;

  // The texts of the log's lines (without time stamps), as LogTexts.
  std::vector<std::string> LogTexts() const;
};

// Texts of a log's lines (each "hh:mm:ss: text" CR LF), without the stamps.
std::vector<std::string> SplitLogTexts(const std::string& bytes);

}  // namespace test
