// The services of a simulated process, bundled as the platform its program
// receives.
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_kernel.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_security.h"
#include "platform/sim/sim_setup.h"
#include "platform/sim/sim_spooler.h"
#include "platform/sim/sim_user.h"

namespace sim {

struct SimProcess::Services {
  explicit Services(SimProcess& process)
      : kernel(process),
        registry(process),
        security(process),
        spooler(process),
        setup(process),
        user(process),
        platform{kernel, registry, security, spooler, setup, user, *process.shared} {}

  SimKernel kernel;
  SimRegistry registry;
  SimSecurity security;
  SimSpooler spooler;
  SimSetup setup;
  SimUser user;
  win::Platform platform;
};

win::Platform& SimProcess::platform() {
  if (!services) {
    if (!shared) shared = std::make_shared<win::InstanceSection>();
    services = std::make_shared<Services>(*this);
  }
  return services->platform;
}

}  // namespace sim
