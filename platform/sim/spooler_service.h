// PLACEHOLDER: being written. The machine part for the print spooler service: printers, drivers, monitors, processors, forms, ports and jobs kept in the registry and files.
#pragma once

#include <nlohmann/json.hpp>

namespace sim {

class SimMachine;

class SpoolerService {
 public:
  explicit SpoolerService(SimMachine& machine) : machine_(machine) {}
  // Builds the standard content of a fresh machine of machine.os.
  void CreateStandardContent() {}
  // Reads / writes this part's section of a machine description.
  void Load(const nlohmann::json& section) {}
  nlohmann::json Dump() const { return nlohmann::json::object(); }

 private:
  SimMachine& machine_;
};

}  // namespace sim
