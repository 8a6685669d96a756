// The setup services' state on the simulated machine: the INF store and the
// device nodes.
//
// The INF store is the %windir%\inf folder of the machine's file system:
// whatever file lies there is in the store. An INF copied in by
// SetupCopyOEMInfA gets the next free name oem<N>.inf (N from 0) and its
// precompiled file oem<N>.PNF beside it.
//
// A device node is the key Enum\<enumerator>\<device id>\<instance> under
// HKLM\SYSTEM\CurrentControlSet, with the values "HardwareID" and
// "CompatibleIDs" (REG_MULTI_SZ), "DeviceDesc", "Class", "ClassGUID", "Mfg"
// and "InfPath" (REG_SZ; "InfPath" names the INF of the store the device's
// driver came from). Whether a device is plugged in is not kept in the registry on
// Windows either: the store keeps the present instance paths in memory; a
// device not among them is a phantom.
#pragma once

#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim {

class SimMachine;

// One device node as a machine description writes it.
struct DeviceNode {
  std::string instancePath;  // e.g. "USB\VID_7A31&PID_0042\5&2A0B9C1&0&1"
  std::vector<std::string> hardwareIds;
  std::vector<std::string> compatibleIds;
  std::string deviceDesc;
  std::string className;
  std::string classGuid;
  std::string mfg;
  std::string infPath;
  bool present = true;
};

class SetupStore {
 public:
  explicit SetupStore(SimMachine& machine);

  // A fresh machine's INF folder (a few system INF files) and the
  // enumeration keys USB, USBPRINT and LPTENUM.
  void CreateStandardContent();
  // Reads the "setup" section of a machine description over the present
  // state (docs/simulated-machine.md); Dump writes the store and the devices
  // in that form.
  void Load(const nlohmann::json& section);
  nlohmann::json Dump() const;

  // ---- The INF store ----
  std::string InfFolder() const;
  // The full path of a name in the INF folder.
  std::string InfPath(const std::string& fileName) const;
  // Puts an INF file into the store; an oem<N>.inf gets its .PNF too.
  void PutInf(const std::string& fileName, const std::string& text,
              const std::string& sourcePath = "");
  // The names of the INF files in the store (sorted as the folder lists them).
  std::vector<std::string> InfFileNames() const;
  // The oem<N>.inf of the store whose bytes equal `text`, or "".
  std::string FindOemCopy(const std::string& text) const;
  // The first free oem<N>.inf name.
  std::string NextOemName() const;
  // The text of a .PNF file.
  static std::string PnfText(const std::string& infName, const std::string& sourcePath);

  // ---- Device nodes ----
  static std::string EnumKey();  // "HKLM\SYSTEM\CurrentControlSet\Enum"
  // Creates or updates a device node.
  void AddDevice(const DeviceNode& device);
  // The instance paths under an enumerator ("USB"), in registry order.
  std::vector<std::string> DevicesOf(const std::string& enumerator) const;
  bool HasEnumerator(const std::string& enumerator) const;
  bool DeviceExists(const std::string& instancePath) const;
  bool IsPresent(const std::string& instancePath) const;
  // Removes a device node; its device id key goes too once it is empty.
  bool RemoveDevice(const std::string& instancePath);
  // Whether any device node, present or not, names the INF in "InfPath".
  bool InfUsedByDevice(const std::string& infName) const;
  DeviceNode ReadDevice(const std::string& instancePath) const;

 private:
  SimMachine& machine_;
  std::set<std::string> present_;  // upper-case instance paths
};

}  // namespace sim
