// PLACEHOLDER: being written. The facade of one simulated process.
#pragma once

#include "platform/registry.h"

namespace sim {

class SimProcess;

class SimRegistry : public win::Registry {
 public:
  explicit SimRegistry(SimProcess& process) : process_(process) {}

 private:
  SimProcess& process_;
};

}  // namespace sim
