// PLACEHOLDER: being written. The machine part for the setup services' state: the INF store and the device nodes.
#pragma once

#include <nlohmann/json.hpp>

namespace sim {

class SimMachine;

class SetupStore {
 public:
  explicit SetupStore(SimMachine& machine) : machine_(machine) {}
  // Builds the standard content of a fresh machine of machine.os.
  void CreateStandardContent() {}
  // Reads / writes this part's section of a machine description.
  void Load(const nlohmann::json& section) {}
  nlohmann::json Dump() const { return nlohmann::json::object(); }

 private:
  SimMachine& machine_;
};

}  // namespace sim
