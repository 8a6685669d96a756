// The simulated registry: the 32-bit view of 64-bit Windows, names, values,
// deletion, access rights, remote machines and the machine description.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/last_error.h"
#include "platform/sim/registry_store.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_registry.h"
#include "platform/win_constants.h"

namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kProductKey = kUninstall + "\\HALVORN_QPR-730";

// What GetProcAddress hands out for RegDeleteKeyExA: any non-null token.
const int kBoundFunction = 0;
const win::FARPROC kRegDeleteKeyExA = &kBoundFunction;

// A machine of a preset and one process on it, 32-bit on 64-bit Windows
// when `wow64` is set.
class RegistryTest : public testing::Test {
 protected:
  void Start(const std::string& preset, bool wow64) {
    registry.reset();
    process.reset();
    machine = sim::SimMachine::FromPreset(preset);
    process = std::make_shared<sim::SimProcess>(*machine, 1000,
                                                "C:\\QPR730\\QPR730_Installer.exe", nullptr,
                                                "QPR730_Installer.exe", "C:\\QPR730");
    process->wow64 = wow64;
    registry = std::make_unique<sim::SimRegistry>(*process);
  }

  sim::RegistryStore& store() { return *machine->registry; }
  bool Exists(const std::string& path) { return store().Find(path) != nullptr; }

  win::LSTATUS Create(win::HKEY root, const std::string& path, win::REGSAM desired,
                      win::HKEY* key = nullptr) {
    win::HKEY handle = 0;
    win::DWORD disposition = 0;
    win::LSTATUS status = registry->RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, desired,
                                                    nullptr, &handle, &disposition);
    if (key) {
      *key = handle;
    } else if (status == 0) {
      registry->RegCloseKey(handle);
    }
    return status;
  }

  win::LSTATUS Open(win::HKEY root, const std::string& path, win::REGSAM desired,
                    win::HKEY* key = nullptr) {
    win::HKEY handle = 0;
    win::LSTATUS status = registry->RegOpenKeyExA(root, path.c_str(), 0, desired, &handle);
    if (key) {
      *key = handle;
    } else if (status == 0) {
      registry->RegCloseKey(handle);
    }
    return status;
  }

  std::unique_ptr<sim::SimMachine> machine;
  std::shared_ptr<sim::SimProcess> process;
  std::unique_ptr<sim::SimRegistry> registry;
};

TEST_F(RegistryTest, SoftwareKeysOfA32BitProgramLandInTheViewItAsksFor) {
  struct Case {
    const char* preset;
    bool wow64;
    win::REGSAM viewFlags;
    const char* expectedParent;  // where the key must appear
    const char* absentParent;    // where it must not
  };
  const Case cases[] = {
      // 32-bit program on 64-bit Windows: redirected unless it asks for the 64-bit view.
      {"win7-64", true, 0, "HKLM\\SOFTWARE\\Wow6432Node\\", "HKLM\\SOFTWARE\\"},
      {"win7-64", true, win::KEY_WOW64_64KEY, "HKLM\\SOFTWARE\\", "HKLM\\SOFTWARE\\Wow6432Node\\"},
      // A 64-bit program reaches the 32-bit view only when it asks.
      {"win7-64", false, 0, "HKLM\\SOFTWARE\\", "HKLM\\SOFTWARE\\Wow6432Node\\"},
      {"win7-64", false, win::KEY_WOW64_32KEY, "HKLM\\SOFTWARE\\Wow6432Node\\", "HKLM\\SOFTWARE\\"},
      // 32-bit Windows has one registry: the flags change nothing.
      {"xp", false, win::KEY_WOW64_64KEY, "HKLM\\SOFTWARE\\", "HKLM\\SOFTWARE\\Wow6432Node\\"},
      {"xp", false, win::KEY_WOW64_32KEY, "HKLM\\SOFTWARE\\", "HKLM\\SOFTWARE\\Wow6432Node\\"},
  };
  const std::string relative = "Microsoft\\Windows\\CurrentVersion\\Uninstall\\HALVORN_QPR-730";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.preset) + (c.wow64 ? " wow64 " : " native ") +
                 std::to_string(c.viewFlags));
    Start(c.preset, c.wow64);
    ASSERT_EQ(Create(win::HKEY_LOCAL_MACHINE, kProductKey, win::KEY_WRITE | c.viewFlags), 0);
    EXPECT_TRUE(Exists(c.expectedParent + relative));
    EXPECT_FALSE(Exists(c.absentParent + relative));
    // The same view finds it again; on 64-bit Windows the other view does not.
    EXPECT_EQ(Open(win::HKEY_LOCAL_MACHINE, kProductKey, win::KEY_READ | c.viewFlags), 0);
  }
  EXPECT_FALSE(Exists("HKLM\\SOFTWARE\\Wow6432Node"));  // the last machine is 32-bit

  Start("win7-64", true);
  ASSERT_EQ(Create(win::HKEY_LOCAL_MACHINE, kProductKey, win::KEY_WRITE | win::KEY_WOW64_64KEY), 0);
  EXPECT_EQ(Open(win::HKEY_LOCAL_MACHINE, kProductKey, win::KEY_READ), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(win::HKEY_LOCAL_MACHINE, kProductKey,
                 win::KEY_READ | win::KEY_WOW64_64KEY | win::KEY_WOW64_32KEY),
            win::ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, SystemAndSharedSoftwareKeysAreNotRedirected) {
  Start("win7-64", true);
  ASSERT_EQ(Create(win::HKEY_LOCAL_MACHINE,
                   "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\QPR730 Monitor",
                   win::KEY_WRITE),
            0);
  EXPECT_TRUE(Exists("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\QPR730 Monitor"));
  ASSERT_EQ(Create(win::HKEY_LOCAL_MACHINE,
                   "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers", win::KEY_WRITE),
            0);
  EXPECT_TRUE(Exists("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers"));
  EXPECT_FALSE(Exists("HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Print"));
  // Both views have their own release information.
  EXPECT_EQ(store().GetString("HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion",
                              "CurrentVersion"),
            "6.1");
}

TEST_F(RegistryTest, AHandleDoesNotCarryItsViewToSubKeys) {
  Start("win7-64", true);
  store().Create("HKLM\\" + kProductKey);  // in the 64-bit view only
  win::HKEY software = 0;
  ASSERT_EQ(Open(win::HKEY_LOCAL_MACHINE, "SOFTWARE", win::KEY_READ | win::KEY_WOW64_64KEY, &software), 0);
  const std::string below = kProductKey.substr(std::strlen("SOFTWARE\\"));
  EXPECT_EQ(Open(software, below, win::KEY_READ), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(software, below, win::KEY_READ | win::KEY_WOW64_64KEY), 0);
  EXPECT_EQ(registry->RegCloseKey(software), 0);
  EXPECT_EQ(registry->RegCloseKey(software), win::ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, NamesIgnoreCaseKeepTheirSpellingAndEnumerateInOrder) {
  Start("xp", false);
  for (const char* name : {"SOFTWARE\\Halvorn\\zeta", "SOFTWARE\\Halvorn\\Alpha", "SOFTWARE\\Halvorn\\beta"}) {
    ASSERT_EQ(Create(win::HKEY_LOCAL_MACHINE, name, win::KEY_WRITE), 0);
  }
  win::HKEY key = 0;
  win::DWORD disposition = 0;
  ASSERT_EQ(registry->RegCreateKeyExA(win::HKEY_LOCAL_MACHINE, "software\\HALVORN", 0, nullptr, 0,
                                      win::KEY_READ, nullptr, &key, &disposition),
            0);
  EXPECT_EQ(disposition, win::REG_OPENED_EXISTING_KEY);

  std::vector<std::string> names;
  char name[16];
  for (win::DWORD index = 0;; ++index) {
    win::DWORD size = sizeof name;
    win::LSTATUS status = registry->RegEnumKeyExA(key, index, name, &size);
    if (status == win::ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, 0);
    EXPECT_EQ(size, std::strlen(name));
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "zeta"}));
  win::DWORD small = 5;  // "Alpha" needs 6 with its NUL
  EXPECT_EQ(registry->RegEnumKeyExA(key, 0, name, &small), win::ERROR_MORE_DATA);
  registry->RegCloseKey(key);
}

TEST_F(RegistryTest, ValuesRoundTripWithTheirTypesAndSizes) {
  Start("xp", false);
  win::HKEY key = 0;
  ASSERT_EQ(Create(win::HKEY_LOCAL_MACHINE, kProductKey, win::KEY_READ | win::KEY_WRITE, &key), 0);
  struct Case {
    const char* name;
    win::DWORD type;
    std::vector<win::BYTE> data;
  };
  const Case cases[] = {
      {"DisplayName", win::REG_SZ, {'Q', 'P', 'R', 0}},
      {"Path", win::REG_EXPAND_SZ, {'%', 'X', '%', 0}},
      {"List", win::REG_MULTI_SZ, {'a', 0, 'b', 'c', 0, 0}},
      {"Count", win::REG_DWORD, {1, 2, 0, 0}},
      {"Blob", win::REG_BINARY, {0xFF, 0x00, 0x7F}},
      {"", win::REG_SZ, {'d', 'e', 'f', 0}},  // the default value
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(registry->RegSetValueExA(key, c.name, 0, c.type, c.data.data(),
                                       static_cast<win::DWORD>(c.data.size())),
              0);
    win::DWORD type = 0;
    win::DWORD size = 0;
    ASSERT_EQ(registry->RegQueryValueExA(key, c.name, nullptr, &type, nullptr, &size), 0);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(size, c.data.size());
    std::vector<win::BYTE> buffer(16, 0xCC);
    win::DWORD tooSmall = size - 1;
    EXPECT_EQ(registry->RegQueryValueExA(key, c.name, nullptr, &type, buffer.data(), &tooSmall),
              win::ERROR_MORE_DATA);
    EXPECT_EQ(tooSmall, c.data.size());
    win::DWORD room = static_cast<win::DWORD>(buffer.size());
    ASSERT_EQ(registry->RegQueryValueExA(key, c.name, nullptr, &type, buffer.data(), &room), 0);
    buffer.resize(room);
    EXPECT_EQ(buffer, c.data);
  }
  // Value names ignore case; a value written again keeps one entry.
  const win::BYTE other[] = {'X', 0};
  ASSERT_EQ(registry->RegSetValueExA(key, "displayname", 0, win::REG_SZ, other, 2), 0);
  EXPECT_EQ(store().GetString("HKLM\\" + kProductKey, "DisplayName"), "X");
  EXPECT_EQ(store().Find("HKLM\\" + kProductKey)->values.size(), std::size(cases));

  EXPECT_EQ(registry->RegDeleteValueA(key, "Blob"), 0);
  win::DWORD size = 0;
  EXPECT_EQ(registry->RegQueryValueExA(key, "Blob", nullptr, nullptr, nullptr, &size),
            win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(registry->RegDeleteValueA(key, "Blob"), win::ERROR_FILE_NOT_FOUND);
  registry->RegCloseKey(key);
}

TEST_F(RegistryTest, DeletingOneKeyRefusesAKeyWithSubKeysAndLeavesTheLastError) {
  Start("win7-64", true);
  store().Create("HKLM\\" + kProductKey + "\\Sub");
  sim::SetLastError(1234);
  EXPECT_EQ(registry->CallRegDeleteKeyExA(kRegDeleteKeyExA, win::HKEY_LOCAL_MACHINE,
                                          kProductKey.c_str(), win::KEY_WOW64_64KEY, 0),
            win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(sim::GetLastError(), 1234u);  // registry calls leave the last error alone
  EXPECT_TRUE(Exists("HKLM\\" + kProductKey + "\\Sub"));

  // The sub-key first, then the key; a key that is gone is not found.
  const std::string sub = kProductKey + "\\Sub";
  EXPECT_EQ(registry->CallRegDeleteKeyExA(kRegDeleteKeyExA, win::HKEY_LOCAL_MACHINE, sub.c_str(),
                                          win::KEY_WOW64_64KEY, 0),
            0);
  EXPECT_EQ(registry->CallRegDeleteKeyExA(kRegDeleteKeyExA, win::HKEY_LOCAL_MACHINE,
                                          kProductKey.c_str(), win::KEY_WOW64_64KEY, 0),
            0);
  EXPECT_FALSE(Exists("HKLM\\" + kProductKey));
  EXPECT_EQ(registry->CallRegDeleteKeyExA(kRegDeleteKeyExA, win::HKEY_LOCAL_MACHINE,
                                          kProductKey.c_str(), win::KEY_WOW64_64KEY, 0),
            win::ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(Exists("HKLM\\" + kUninstall));

  // RegDeleteKeyA has no view flags: a 32-bit program deletes in its own view.
  store().Create("HKLM\\" + kProductKey);
  EXPECT_EQ(registry->RegDeleteKeyA(win::HKEY_LOCAL_MACHINE, kProductKey.c_str()),
            win::ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(Exists("HKLM\\" + kProductKey));
}

TEST_F(RegistryTest, ShellDeleteRemovesAWholeTreeInTheProgramsView) {
  Start("win7-64", true);
  const std::string view32 = "HKLM\\SOFTWARE\\Wow6432Node\\Halvorn";
  store().SetString(view32 + "\\A\\Deep", "Name", "x");
  store().Create(view32 + "\\B");
  store().Create("HKLM\\SOFTWARE\\Halvorn\\A");  // the same name in the 64-bit view

  win::HKEY deep = 0;
  ASSERT_EQ(Open(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvorn\\A\\Deep", win::KEY_ALL_ACCESS, &deep), 0);
  EXPECT_EQ(registry->SHDeleteKeyA(win::HKEY_LOCAL_MACHINE, "software\\halvorn"), 0);
  EXPECT_FALSE(Exists(view32));
  EXPECT_TRUE(Exists("HKLM\\SOFTWARE\\Halvorn\\A"));
  EXPECT_TRUE(Exists("HKLM\\SOFTWARE\\Wow6432Node"));
  // A handle to a deleted key stays valid but finds its key gone.
  const win::BYTE data[] = {0};
  EXPECT_EQ(registry->RegSetValueExA(deep, "V", 0, win::REG_SZ, data, 1), win::ERROR_KEY_DELETED);
  EXPECT_EQ(registry->RegCloseKey(deep), 0);
  EXPECT_EQ(registry->SHDeleteKeyA(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvorn"),
            win::ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, RightsComeFromTheKeysAccessList) {
  Start("xp", false);
  machine->token.groups = {sim::sids::kUsers, sim::sids::kEveryone};  // not an administrator
  EXPECT_EQ(Open(win::HKEY_LOCAL_MACHINE, kUninstall, win::KEY_READ), 0);
  EXPECT_EQ(Open(win::HKEY_LOCAL_MACHINE, kUninstall, win::KEY_WRITE), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(win::HKEY_LOCAL_MACHINE, kUninstall, win::GENERIC_WRITE), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(Create(win::HKEY_LOCAL_MACHINE, kProductKey, win::KEY_READ), win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Exists("HKLM\\" + kProductKey));

  // A handle has the rights it was opened with, not more.
  win::HKEY key = 0;
  ASSERT_EQ(Open(win::HKEY_LOCAL_MACHINE, kUninstall, win::KEY_QUERY_VALUE, &key), 0);
  const win::BYTE data[] = {'x', 0};
  EXPECT_EQ(registry->RegSetValueExA(key, "V", 0, win::REG_SZ, data, 2), win::ERROR_ACCESS_DENIED);
  char name[64];
  win::DWORD size = sizeof name;
  EXPECT_EQ(registry->RegEnumKeyExA(key, 0, name, &size), win::ERROR_ACCESS_DENIED);
  registry->RegCloseKey(key);

  // An administrator creates the key; it belongs to Administrators and
  // inherits the entries of its parent.
  machine->token = sim::Token{};
  ASSERT_EQ(Create(win::HKEY_LOCAL_MACHINE, kProductKey, win::KEY_WRITE), 0);
  const sim::SecurityDescriptor& security = store().Find("HKLM\\" + kProductKey)->security;
  EXPECT_EQ(security.owner, sim::sids::kAdministrators);
  EXPECT_EQ(security.dacl, store().Find("HKLM\\" + kUninstall)->security.dacl);
}

TEST_F(RegistryTest, RemoteMachinesHaveTheirOwnRegistry) {
  Start("xp", false);
  machine->remoteMachines.insert("PRINTSRV");
  win::HKEY remote = 0;
  ASSERT_EQ(registry->RegConnectRegistryA("\\\\printsrv", win::HKEY_LOCAL_MACHINE, &remote), 0);
  ASSERT_EQ(Create(remote, kProductKey, win::KEY_WRITE), 0);
  EXPECT_FALSE(Exists("HKLM\\" + kProductKey));
  EXPECT_EQ(Open(remote, kProductKey, win::KEY_READ), 0);
  EXPECT_EQ(registry->RegCloseKey(remote), 0);

  EXPECT_EQ(registry->RegConnectRegistryA("\\\\ELSEWHERE", win::HKEY_LOCAL_MACHINE, &remote),
            win::ERROR_BAD_NETPATH);
  EXPECT_EQ(registry->RegConnectRegistryA("\\\\PRINTSRV", win::HKEY_CURRENT_USER, &remote),
            win::ERROR_INVALID_HANDLE);
  // No machine name: the local registry.
  ASSERT_EQ(registry->RegConnectRegistryA(nullptr, win::HKEY_LOCAL_MACHINE, &remote), 0);
  EXPECT_EQ(Open(remote, kProductKey, win::KEY_READ), win::ERROR_FILE_NOT_FOUND);
  registry->RegCloseKey(remote);
}

TEST_F(RegistryTest, TheDumpLoadsBackToTheSameRegistry) {
  Start("win7-64", true);
  machine->remoteMachines.insert("PRINTSRV");
  store().Remote("PRINTSRV");
  auto key = store().Create("HKLM\\" + kProductKey);
  key->SetValue("NoTerminator", win::REG_SZ, {'a', 'b'});
  key->SetValue("Odd", 77, {1, 2, 3});
  key->SetValue("ShortDword", win::REG_DWORD, {1, 2});
  store().SetMultiString("HKLM\\" + kProductKey, "Files", {"a.dll", "b.dll"});
  store().SetDword("HKLM\\" + kProductKey, "Version", 0x01020000);
  store().Create("HKLM\\" + kProductKey + "\\Nulled")->security.dacl = std::nullopt;
  auto device = store().Create("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\HALVORN_QPR-730\\1");
  sim::RegistryStore::SetDacl(*device->parent,
                              sim::Acl{{sim::Ace{sim::AceType::Deny, win::DELETE,
                                                 win::CONTAINER_INHERIT_ACE, sim::sids::kUsers}}},
                              std::nullopt);

  const nlohmann::json dump = store().Dump();
  sim::RegistryStore reloaded(*machine);
  reloaded.Load(dump);
  EXPECT_EQ(reloaded.Dump(), dump);
  EXPECT_EQ(reloaded.Find("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\HALVORN_QPR-730\\1")
                ->security,
            device->security);
  // Inherited security is written only where it differs from what the key
  // would get anyway.
  const auto& uninstall = dump["HKEY_LOCAL_MACHINE"]["keys"]["SOFTWARE"]["keys"]["Microsoft"]["keys"]
                              ["Windows"]["keys"]["CurrentVersion"]["keys"]["Uninstall"];
  EXPECT_FALSE(uninstall.contains("dacl"));
  EXPECT_TRUE(uninstall["keys"]["HALVORN_QPR-730"]["keys"]["Nulled"]["dacl"].is_null());
}

TEST_F(RegistryTest, AHandWrittenDescriptionUsesPathsNamesAndPlainValues) {
  Start("xp", false);
  store().Load(nlohmann::json::parse(R"({
    "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\HALVORN_QPR-730": {
      "keys": {"1&2&3\\Device Parameters": {"values": {"PortName": "USB001"}}}
    },
    "HKEY_LOCAL_MACHINE": {
      "keys": {"SOFTWARE\\Halvorn": {
        "owner": "Administrators",
        "dacl": [{"type": "deny", "sid": "Everyone", "mask": "KEY_WRITE", "flags": ["CI"]}],
        "values": {"Count": 3, "Name": {"type": "REG_EXPAND_SZ", "data": "%X%"},
                   "Raw": {"type": "REG_BINARY", "hex": "01 ff"}}
      }}
    }
  })"));
  const std::string device = "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\HALVORN_QPR-730";
  EXPECT_EQ(store().GetString(device + "\\1&2&3\\Device Parameters", "PortName"), "USB001");
  // Keys the system creates under the enumeration keys belong to SYSTEM.
  EXPECT_EQ(store().Find(device + "\\1&2&3")->security.owner, sim::sids::kSystem);
  auto halvorn = store().Find("HKLM\\SOFTWARE\\Halvorn");
  EXPECT_EQ(store().GetDword("HKLM\\SOFTWARE\\Halvorn", "Count"), 3u);
  EXPECT_EQ(halvorn->FindValue("Name")->type, win::REG_EXPAND_SZ);
  EXPECT_EQ(halvorn->FindValue("Raw")->data, (std::vector<win::BYTE>{0x01, 0xFF}));
  ASSERT_TRUE(halvorn->security.dacl);
  EXPECT_EQ(halvorn->security.dacl->aces,
            (std::vector<sim::Ace>{{sim::AceType::Deny, win::KEY_WRITE, win::CONTAINER_INHERIT_ACE,
                                    sim::sids::kEveryone}}));
}

}  // namespace
