// PLACEHOLDER: being written. The facade of one simulated process.
#pragma once

#include "platform/user.h"

namespace sim {

class SimProcess;

class SimUser : public win::User {
 public:
  explicit SimUser(SimProcess& process) : process_(process) {}

 private:
  SimProcess& process_;
};

}  // namespace sim
