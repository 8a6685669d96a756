#include "platform/sim/setup_store.h"
#include "platform/sim/text.h"

#include <algorithm>
#include <cctype>

#include "platform/sim/file_system.h"
#include "platform/sim/registry_store.h"
#include "platform/sim/sim_machine.h"

namespace sim {
namespace {

bool EndsWithIgnoreCase(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && EqualsIgnoreCase(text.substr(text.size() - end.size()), end);
}

// "oem" + digits + ".inf", any case.
bool IsOemInfName(const std::string& name) {
  if (name.size() < 8 || !EqualsIgnoreCase(name.substr(0, 3), "oem") ||
      !EndsWithIgnoreCase(name, ".inf")) {
    return false;
  }
  const std::string number = name.substr(3, name.size() - 7);
  return std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string PnfNameOf(const std::string& infName) {
  return infName.substr(0, infName.size() - 4) + ".PNF";
}

std::vector<std::string> MultiStringOf(const RegistryKey& key, const std::string& name) {
  std::vector<std::string> strings;
  const RegistryValue* value = key.FindValue(name);
  if (!value || value->type != win::REG_MULTI_SZ) return strings;
  std::string current;
  for (win::BYTE byte : value->data) {
    if (byte != 0) {
      current += static_cast<char>(byte);
    } else if (!current.empty()) {
      strings.push_back(current);
      current.clear();
    } else {
      break;  // the final NUL
    }
  }
  return strings;
}

std::string StringOf(const RegistryKey& key, const std::string& name) {
  const RegistryValue* value = key.FindValue(name);
  if (!value || (value->type != win::REG_SZ && value->type != win::REG_EXPAND_SZ)) return {};
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

// System INF files of a fresh machine, written for the simulation.
const char* const kSystemPrinterInf =
    "; Printer drivers that come with the system.\r\n"
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Printer\r\n"
    "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\n"
    "Provider=%SystemProvider%\r\n"
    "\r\n"
    "[Manufacturer]\r\n"
    "\"Generic\"=Generic\r\n"
    "\r\n"
    "[Generic]\r\n"
    "\"Generic / Text Only\" = TTY.GPD\r\n"
    "\r\n"
    "[Strings]\r\n"
    "SystemProvider=\"Microsoft\"\r\n";

const char* const kUsbPrintInf =
    "; USB printing support.\r\n"
    "[Version]\r\n"
    "Signature=\"$Chicago$\"\r\n"
    "Class=USB\r\n"
    "ClassGUID={36FC9E60-C465-11CF-8056-444553540000}\r\n"
    "Provider=%SystemProvider%\r\n"
    "\r\n"
    "[Manufacturer]\r\n"
    "%SystemProvider%=Standard\r\n"
    "\r\n"
    "[Standard]\r\n"
    "%UsbPrintSupport% = NoDriver, USB\\Class_07&SubClass_01\r\n"
    "\r\n"
    "[Strings]\r\n"
    "SystemProvider=\"Microsoft\"\r\n"
    "UsbPrintSupport=\"USB Printing Support\"\r\n";

}  // namespace

SetupStore::SetupStore(SimMachine& machine) : machine_(machine) {}

std::string SetupStore::EnumKey() { return "HKLM\\SYSTEM\\CurrentControlSet\\Enum"; }

void SetupStore::CreateStandardContent() {
  machine_.files->CreateDirectories(InfFolder());
  PutInf("ntprint.inf", kSystemPrinterInf);
  PutInf("usbprint.inf", kUsbPrintInf);
  for (const char* bus : {"USB", "USBPRINT", "LPTENUM"}) {
    machine_.registry->Create(EnumKey() + "\\" + bus);
  }
}

// ---- Machine description ----

void SetupStore::Load(const nlohmann::json& section) {
  for (const auto& entry : section.value("infFiles", nlohmann::json::array())) {
    const std::string name = entry.at("name").get<std::string>();
    const std::string text = entry.value("text", std::string());
    const std::string path = InfPath(name);
    if (machine_.files->ReadFile(path) != text) machine_.files->WriteFile(path, text);
    // An OEM copy has its precompiled file unless the description says not.
    if (IsOemInfName(name) && entry.value("pnf", true) && !machine_.files->Exists(InfPath(PnfNameOf(name)))) {
      machine_.files->WriteFile(InfPath(PnfNameOf(name)), PnfText(name, ""));
    }
  }
  for (const auto& entry : section.value("devices", nlohmann::json::array())) {
    DeviceNode device;
    device.instancePath = entry.at("instance").get<std::string>();
    device.hardwareIds = entry.value("hardwareIds", std::vector<std::string>{});
    device.compatibleIds = entry.value("compatibleIds", std::vector<std::string>{});
    device.deviceDesc = entry.value("deviceDesc", std::string());
    device.className = entry.value("class", std::string());
    device.classGuid = entry.value("classGuid", std::string());
    device.mfg = entry.value("mfg", std::string());
    device.infPath = entry.value("infPath", std::string());
    device.present = entry.value("present", true);
    AddDevice(device);
  }
}

nlohmann::json SetupStore::Dump() const {
  nlohmann::json infFiles = nlohmann::json::array();
  for (const std::string& name : InfFileNames()) {
    nlohmann::json entry = {{"name", name},
                            {"text", machine_.files->ReadFile(InfPath(name)).value_or("")}};
    if (IsOemInfName(name)) entry["pnf"] = machine_.files->Exists(InfPath(PnfNameOf(name)));
    infFiles.push_back(entry);
  }
  nlohmann::json devices = nlohmann::json::array();
  for (const std::string& enumerator : machine_.registry->SubKeyNames(EnumKey())) {
    for (const std::string& instance : DevicesOf(enumerator)) {
      DeviceNode device = ReadDevice(instance);
      nlohmann::json entry = {{"instance", device.instancePath}, {"present", device.present}};
      if (!device.hardwareIds.empty()) entry["hardwareIds"] = device.hardwareIds;
      if (!device.compatibleIds.empty()) entry["compatibleIds"] = device.compatibleIds;
      if (!device.deviceDesc.empty()) entry["deviceDesc"] = device.deviceDesc;
      if (!device.className.empty()) entry["class"] = device.className;
      if (!device.classGuid.empty()) entry["classGuid"] = device.classGuid;
      if (!device.mfg.empty()) entry["mfg"] = device.mfg;
      if (!device.infPath.empty()) entry["infPath"] = device.infPath;
      devices.push_back(entry);
    }
  }
  return {{"infFiles", infFiles}, {"devices", devices}};
}

// ---- The INF store ----

std::string SetupStore::InfFolder() const { return machine_.os.InfDirectory(); }

std::string SetupStore::InfPath(const std::string& fileName) const {
  return InfFolder() + "\\" + fileName;
}

std::string SetupStore::PnfText(const std::string& infName, const std::string& sourcePath) {
  return "PNF of " + infName + "\r\nSource=" + sourcePath + "\r\n";
}

void SetupStore::PutInf(const std::string& fileName, const std::string& text,
                        const std::string& sourcePath) {
  machine_.files->WriteFile(InfPath(fileName), text);
  if (IsOemInfName(fileName)) {
    machine_.files->WriteFile(InfPath(PnfNameOf(fileName)), PnfText(fileName, sourcePath));
  }
}

std::vector<std::string> SetupStore::InfFileNames() const {
  std::vector<std::string> names;
  for (const std::string& name : machine_.files->List(InfFolder())) {
    if (EndsWithIgnoreCase(name, ".inf") && !machine_.files->IsDirectory(InfPath(name))) {
      names.push_back(name);
    }
  }
  return names;
}

std::string SetupStore::FindOemCopy(const std::string& text) const {
  for (const std::string& name : InfFileNames()) {
    if (IsOemInfName(name) && machine_.files->ReadFile(InfPath(name)) == text) return name;
  }
  return {};
}

std::string SetupStore::NextOemName() const {
  for (int number = 0;; ++number) {
    const std::string name = "oem" + std::to_string(number) + ".inf";
    if (!machine_.files->Exists(InfPath(name))) return name;
  }
}

// ---- Device nodes ----

void SetupStore::AddDevice(const DeviceNode& device) {
  RegistryStore& registry = *machine_.registry;
  const std::string key = EnumKey() + "\\" + device.instancePath;
  registry.Create(key);
  if (!device.hardwareIds.empty()) registry.SetMultiString(key, "HardwareID", device.hardwareIds);
  if (!device.compatibleIds.empty()) {
    registry.SetMultiString(key, "CompatibleIDs", device.compatibleIds);
  }
  const std::pair<const char*, const std::string*> strings[] = {
      {"DeviceDesc", &device.deviceDesc}, {"Class", &device.className},
      {"ClassGUID", &device.classGuid},   {"Mfg", &device.mfg},
      {"InfPath", &device.infPath}};
  for (const auto& [name, text] : strings) {
    if (!text->empty()) registry.SetString(key, name, *text);
  }
  if (device.present) {
    present_.insert(Upper(device.instancePath));
  } else {
    present_.erase(Upper(device.instancePath));
  }
}

bool SetupStore::HasEnumerator(const std::string& enumerator) const {
  return !enumerator.empty() && enumerator.find('\\') == std::string::npos &&
         machine_.registry->Find(EnumKey() + "\\" + enumerator) != nullptr;
}

std::vector<std::string> SetupStore::DevicesOf(const std::string& enumerator) const {
  std::vector<std::string> instances;
  auto bus = machine_.registry->Find(EnumKey() + "\\" + enumerator);
  if (!bus) return instances;
  for (const auto& [deviceName, deviceKey] : bus->subKeys) {
    for (const auto& [instanceName, instanceKey] : deviceKey->subKeys) {
      instances.push_back(bus->name + "\\" + deviceKey->name + "\\" + instanceKey->name);
    }
  }
  return instances;
}

bool SetupStore::DeviceExists(const std::string& instancePath) const {
  return SplitKeyPath(instancePath).size() == 3 &&
         machine_.registry->Find(EnumKey() + "\\" + instancePath) != nullptr;
}

bool SetupStore::IsPresent(const std::string& instancePath) const {
  return DeviceExists(instancePath) && present_.count(Upper(instancePath)) > 0;
}

bool SetupStore::RemoveDevice(const std::string& instancePath) {
  if (!DeviceExists(instancePath)) return false;
  RegistryStore& registry = *machine_.registry;
  registry.Delete(EnumKey() + "\\" + instancePath);
  present_.erase(Upper(instancePath));
  // The device id key goes with its last instance.
  const std::string deviceKey = EnumKey() + "\\" + instancePath.substr(0, instancePath.rfind('\\'));
  auto key = registry.Find(deviceKey);
  if (key && key->subKeys.empty()) registry.Delete(deviceKey);
  return true;
}

bool SetupStore::InfUsedByDevice(const std::string& infName) const {
  for (const std::string& enumerator : machine_.registry->SubKeyNames(EnumKey())) {
    for (const std::string& instance : DevicesOf(enumerator)) {
      auto key = machine_.registry->Find(EnumKey() + "\\" + instance);
      if (key && EqualsIgnoreCase(StringOf(*key, "InfPath"), infName)) return true;
    }
  }
  return false;
}

DeviceNode SetupStore::ReadDevice(const std::string& instancePath) const {
  DeviceNode device;
  device.instancePath = instancePath;
  auto key = machine_.registry->Find(EnumKey() + "\\" + instancePath);
  if (!key) return device;
  device.hardwareIds = MultiStringOf(*key, "HardwareID");
  device.compatibleIds = MultiStringOf(*key, "CompatibleIDs");
  device.deviceDesc = StringOf(*key, "DeviceDesc");
  device.className = StringOf(*key, "Class");
  device.classGuid = StringOf(*key, "ClassGUID");
  device.mfg = StringOf(*key, "Mfg");
  device.infPath = StringOf(*key, "InfPath");
  device.present = IsPresent(instancePath);
  return device;
}

}  // namespace sim
