// PLACEHOLDER: being written. The facade of one simulated process.
#pragma once

#include "platform/security.h"

namespace sim {

class SimProcess;

class SimSecurity : public win::Security {
 public:
  explicit SimSecurity(SimProcess& process) : process_(process) {}

 private:
  SimProcess& process_;
};

}  // namespace sim
