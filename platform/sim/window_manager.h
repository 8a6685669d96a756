// PLACEHOLDER: being written; the contract below is what the machine uses.
#pragma once

#include <nlohmann/json.hpp>

namespace sim {

class SimMachine;

class WindowManager {
 public:
  explicit WindowManager(SimMachine& machine) : machine_(machine) {}
  // Builds the standard content of a fresh machine of machine.os.
  void CreateStandardContent() {}
  // Reads / writes this part's section of a machine description.
  void Load(const nlohmann::json& section) {}
  nlohmann::json Dump() const { return nlohmann::json::object(); }

 private:
  SimMachine& machine_;
};

}  // namespace sim
