// The simulated setup services: the INF list, OEM copies and their
// uninstall, device lists with their properties and removal, and the
// machine description of the INF store and the devices.
#include <gtest/gtest.h>

#include <strings.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/setup.h"
#include "platform/sim/access_control.h"
#include "platform/sim/file_system.h"
#include "platform/sim/last_error.h"
#include "platform/sim/registry_store.h"
#include "platform/sim/setup_store.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_setup.h"
#include "platform/win_constants.h"

namespace {

const std::string kInfFolder = "C:\\WINDOWS\\inf";
const std::string kEnum = "HKLM\\SYSTEM\\CurrentControlSet\\Enum";

std::string PrinterInf(const std::string& model) {
  return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n\r\n"
         "[Manufacturer]\r\n\"HALVORN\"=HALVORN\r\n\r\n"
         "[HALVORN]\r\n\"" + model + "\" = QPR730.GPD\r\n";
}

// What GetProcAddress hands out for SetupUninstallOEMInfA: any non-null token.
const int kBoundFunction = 0;
const win::FARPROC kSetupUninstallOEMInfA = &kBoundFunction;

// The product's device: its first hardware identifier starts with the
// product's USB vendor and product identifier.
const std::string kProductDevice = "USB\\VID_7A31&PID_0042\\5&2A0B9C1&0&1";
const std::string kOtherDevice = "USB\\VID_04B8&PID_0005\\6&11AA22&0&2";
const std::string kLongIdDevice = "USB\\VID_0A5C&PID_2101\\7&3C4D5E&0&3";

class SetupTest : public testing::Test {
 protected:
  SetupTest() {
    process = machine.EnterProcess("C:\\QPR730\\test.exe", nullptr);
    process->currentDirectory = "C:\\QPR730";
  }
  ~SetupTest() override { machine.LeaveProcess(*process); }

  win::SetupApi& setup() { return process->platform().setup; }
  sim::FileSystem& files() { return *machine.files; }
  sim::SetupStore& store() { return *machine.setupStore; }

  std::vector<std::string> InfList(win::DWORD style, const char* folder = nullptr) {
    win::DWORD required = 0;
    EXPECT_TRUE(setup().SetupGetInfFileListA(folder, style, nullptr, 0, &required));
    std::vector<char> buffer(required);
    EXPECT_TRUE(setup().SetupGetInfFileListA(folder, style, buffer.data(), required, &required));
    std::vector<std::string> names;
    for (const char* name = buffer.data(); *name; name += std::strlen(name) + 1) {
      names.push_back(name);
    }
    return names;
  }

  struct CopyResult {
    win::BOOL ok;
    win::DWORD error;
    std::string destination;
  };
  CopyResult Copy(const char* source, win::DWORD copyStyle) {
    char destination[win::MAX_PATH] = {};
    win::DWORD required = 0;
    sim::SetLastError(0);
    win::BOOL ok = setup().SetupCopyOEMInfA(source, nullptr, win::SPOST_PATH, copyStyle,
                                            destination, win::MAX_PATH, &required, nullptr);
    return {ok, sim::GetLastError(), destination};
  }

  std::vector<std::string> OemFiles() {
    std::vector<std::string> names;
    for (const std::string& name : files().List(kInfFolder)) {
      if (name.rfind("oem", 0) == 0) names.push_back(name);
    }
    return names;
  }

  sim::SimMachine machine{nlohmann::json{{"preset", "xp"}}};
  std::shared_ptr<sim::SimProcess> process;
};

TEST_F(SetupTest, InfListHoldsTheNamesOfTheAskedStyles) {
  files().WriteFile(kInfFolder + "\\oem0.inf", PrinterInf("HALVORN QPR-730"));
  files().WriteFile(kInfFolder + "\\Legacy.inf", "[Identification]\r\nOptionType=Printer\r\n");
  files().WriteFile(kInfFolder + "\\readme.txt", "not an INF");
  files().WriteFile(kInfFolder + "\\broken.inf", "[Version\r\n");

  EXPECT_EQ(InfList(win::INF_STYLE_WIN4),
            (std::vector<std::string>{"ntprint.inf", "oem0.inf", "usbprint.inf"}));
  EXPECT_EQ(InfList(win::INF_STYLE_OLDNT), std::vector<std::string>{"Legacy.inf"});
  EXPECT_EQ(InfList(win::INF_STYLE_OLDNT | win::INF_STYLE_WIN4),
            (std::vector<std::string>{"Legacy.inf", "ntprint.inf", "oem0.inf", "usbprint.inf"}));

  // Another folder, named relative to the current one.
  files().WriteFile("C:\\QPR730\\Driver32\\QPR730.inf", PrinterInf("HALVORN QPR-730"));
  EXPECT_EQ(InfList(win::INF_STYLE_WIN4, "Driver32"), std::vector<std::string>{"QPR730.inf"});
  EXPECT_FALSE(setup().SetupGetInfFileListA("C:\\Missing", 2, nullptr, 0, nullptr));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_PATH_NOT_FOUND);
}

TEST_F(SetupTest, InfListSizes) {
  // "ntprint.inf\0usbprint.inf\0\0"
  const win::DWORD expected = 12 + 13 + 1;
  win::DWORD required = 0;
  EXPECT_TRUE(setup().SetupGetInfFileListA(nullptr, 2, nullptr, 0, &required));
  EXPECT_EQ(required, expected);

  std::vector<char> small(expected - 1, 'x');
  required = 0;
  EXPECT_FALSE(setup().SetupGetInfFileListA(nullptr, 2, small.data(), expected - 1, &required));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(required, expected);

  std::vector<char> exact(expected, 'x');
  EXPECT_TRUE(setup().SetupGetInfFileListA(nullptr, 2, exact.data(), expected, &required));
  EXPECT_EQ(std::string(exact.data(), expected), std::string("ntprint.inf\0usbprint.inf\0\0", 26));

  // No file of the style: the list is its closing NUL alone.
  EXPECT_TRUE(setup().SetupGetInfFileListA(nullptr, win::INF_STYLE_OLDNT, nullptr, 0, &required));
  EXPECT_EQ(required, 1u);
}

TEST_F(SetupTest, TheSameInfIsCopiedOnceThenReplacedAndAnotherGetsTheNextNumber) {
  files().WriteFile("C:\\QPR730\\Driver32\\QPR730.inf", PrinterInf("HALVORN QPR-730"));
  files().WriteFile("C:\\QPR730\\Other\\QPR731.inf", PrinterInf("HALVORN QPR-731"));
  const std::string oem0 = kInfFolder + "\\oem0.inf";

  // A relative source is taken against the current folder.
  CopyResult first = Copy(".\\Driver32\\QPR730.inf", win::SP_COPY_NOOVERWRITE);
  EXPECT_TRUE(first.ok);
  EXPECT_EQ(first.destination, oem0);
  EXPECT_TRUE(files().Exists(kInfFolder + "\\oem0.PNF"));

  CopyResult again = Copy(".\\Driver32\\QPR730.inf", win::SP_COPY_NOOVERWRITE);
  EXPECT_FALSE(again.ok);
  EXPECT_EQ(again.error, win::ERROR_FILE_EXISTS);
  EXPECT_EQ(again.destination, oem0);

  files().DeleteFile(kInfFolder + "\\oem0.PNF");
  CopyResult replaced = Copy(".\\Driver32\\QPR730.inf", win::SP_COPY_REPLACEONLY);
  EXPECT_TRUE(replaced.ok);
  EXPECT_EQ(replaced.destination, oem0);
  EXPECT_EQ(OemFiles(), (std::vector<std::string>{"oem0.inf", "oem0.PNF"}));

  // Without a flag the same INF is not copied again either.
  EXPECT_EQ(Copy("C:\\QPR730\\Driver32\\QPR730.inf", 0).destination, oem0);

  // Replacing needs a copy to replace.
  CopyResult notThere = Copy("C:\\QPR730\\Other\\QPR731.inf", win::SP_COPY_REPLACEONLY);
  EXPECT_FALSE(notThere.ok);
  EXPECT_EQ(notThere.error, win::ERROR_FILE_NOT_FOUND);

  CopyResult other = Copy("C:\\QPR730\\Other\\QPR731.inf", win::SP_COPY_NOOVERWRITE);
  EXPECT_TRUE(other.ok);
  EXPECT_EQ(other.destination, kInfFolder + "\\oem1.inf");
  EXPECT_EQ(files().ReadFile(kInfFolder + "\\oem1.inf"), PrinterInf("HALVORN QPR-731"));

  // A gap in the numbering is filled first.
  files().DeleteFile(oem0);
  files().WriteFile("C:\\QPR730\\Third.inf", PrinterInf("HALVORN QPR-732"));
  EXPECT_EQ(Copy("Third.inf", 0).destination, oem0);
}

TEST_F(SetupTest, CopyFailures) {
  files().CreateDirectories("C:\\QPR730\\Driver32");
  const std::vector<std::pair<const char*, win::DWORD>> missing = {
      {".\\Driver32\\QPR730.inf", win::ERROR_FILE_NOT_FOUND},
      {".\\Driver64\\QPR730.inf", win::ERROR_PATH_NOT_FOUND},
  };
  for (const auto& [source, error] : missing) {
    CopyResult result = Copy(source, win::SP_COPY_NOOVERWRITE);
    EXPECT_FALSE(result.ok) << source;
    EXPECT_EQ(result.error, error) << source;
  }
  EXPECT_TRUE(OemFiles().empty());

  // A name that does not fit: the size needed, with its NUL.
  files().WriteFile("C:\\QPR730\\QPR730.inf", PrinterInf("HALVORN QPR-730"));
  char small[10] = {};
  win::DWORD required = 0;
  EXPECT_FALSE(setup().SetupCopyOEMInfA("QPR730.inf", nullptr, win::SPOST_PATH, 0, small,
                                        sizeof small, &required, nullptr));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(required, (kInfFolder + "\\oem0.inf").size() + 1);
}

TEST_F(SetupTest, UninstallRefusesAnInfInUseUnlessForced) {
  store().PutInf("oem0.inf", PrinterInf("HALVORN QPR-730"));
  store().PutInf("oem1.inf", PrinterInf("HALVORN QPR-731"));
  // A phantom device still uses oem0.inf.
  sim::DeviceNode device;
  device.instancePath = kProductDevice;
  device.hardwareIds = {"USB\\VID_7A31&PID_0042&REV_0100"};
  device.infPath = "oem0.inf";
  device.present = false;
  store().AddDevice(device);

  EXPECT_FALSE(setup().CallSetupUninstallOEMInfA(kSetupUninstallOEMInfA, "oem0.inf", 0, nullptr));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INF_IN_USE_BY_DEVICES);
  EXPECT_TRUE(files().Exists(kInfFolder + "\\oem0.inf"));

  // An INF no device uses goes without the flag.
  EXPECT_TRUE(setup().CallSetupUninstallOEMInfA(kSetupUninstallOEMInfA, "oem1.inf", 0, nullptr));
  EXPECT_TRUE(setup().CallSetupUninstallOEMInfA(kSetupUninstallOEMInfA, "OEM0.INF",
                                                win::SUIOIF_FORCE_DELETE, nullptr));
  EXPECT_TRUE(OemFiles().empty());  // the .PNF files went with them

  struct Case {
    win::FARPROC function;
    const char* name;
    win::DWORD error;
  };
  const std::vector<Case> failures = {
      {kSetupUninstallOEMInfA, "oem0.inf", win::ERROR_FILE_NOT_FOUND},
      {kSetupUninstallOEMInfA, "ntprint.inf", win::ERROR_INVALID_PARAMETER},
      {kSetupUninstallOEMInfA, "C:\\WINDOWS\\inf\\oem1.inf", win::ERROR_INVALID_PARAMETER},
      {nullptr, "oem0.inf", win::ERROR_INVALID_FUNCTION},
  };
  for (const Case& c : failures) {
    EXPECT_FALSE(setup().CallSetupUninstallOEMInfA(c.function, c.name, 1, nullptr)) << c.name;
    EXPECT_EQ(sim::GetLastError(), c.error) << c.name;
  }
  EXPECT_TRUE(files().Exists(kInfFolder + "\\ntprint.inf"));
}

// Three USB devices: the product's phantom device, a present device with the
// product's identifier only in second place, and a device whose identifier
// list does not fit 100 bytes.
class DeviceTest : public SetupTest {
 protected:
  DeviceTest() {
    Add(kProductDevice, {"USB\\VID_7A31&PID_0042&REV_0100", "USB\\VID_7A31&PID_0042"}, false);
    Add(kOtherDevice, {"USB\\VID_04B8&PID_0005&REV_0100", "USB\\VID_7A31&PID_0042&REV_0100"},
        true);
    Add(kLongIdDevice,
        {"USB\\VID_0A5C&PID_2101&REV_0100&MI_00", "USB\\VID_0A5C&PID_2101&MI_00",
         "USB\\Class_E0&SubClass_01&Prot_01", "USB\\Class_E0&SubClass_01"},
        false);
  }

  void Add(const std::string& instance, std::vector<std::string> ids, bool present) {
    sim::DeviceNode device;
    device.instancePath = instance;
    device.hardwareIds = std::move(ids);
    device.className = "USB";
    device.present = present;
    store().AddDevice(device);
  }

  // Enumerates a list to its end; -1 when it does not end with 259.
  int Count(win::HDEVINFO list) {
    win::SP_DEVINFO_DATA data{};
    data.cbSize = sim::kDevInfoDataSize32;
    for (win::DWORD index = 0; index < 100; ++index) {
      if (!setup().SetupDiEnumDeviceInfo(list, index, &data)) {
        return sim::GetLastError() == win::ERROR_NO_MORE_ITEMS ? static_cast<int>(index) : -1;
      }
    }
    return -1;
  }

  // Reads the hardware identifiers into 100 bytes, as the programs do.
  std::string HardwareIds(win::HDEVINFO list, win::SP_DEVINFO_DATA& data, win::DWORD* error,
                          win::DWORD* required = nullptr) {
    win::BYTE buffer[100] = {};
    win::DWORD type = 0;
    sim::SetLastError(0);
    if (!setup().SetupDiGetDeviceRegistryPropertyA(list, &data, win::SPDRP_HARDWAREID, &type,
                                                   buffer, sizeof buffer, required)) {
      *error = sim::GetLastError();
      return {};
    }
    *error = 0;
    EXPECT_EQ(type, win::REG_MULTI_SZ);
    return std::string(reinterpret_cast<char*>(buffer), sizeof buffer);
  }
};

TEST_F(DeviceTest, TheProductsDeviceIsRemovedAndTheOthersKeepTheirPlaces) {
  win::HDEVINFO list = setup().SetupDiGetClassDevsA(nullptr, "USB", 0, win::DIGCF_ALLCLASSES);
  ASSERT_NE(list, win::INVALID_HANDLE_VALUE);
  ASSERT_EQ(Count(list), 3);

  // The programs' loop: compare the first identifier's first 21 characters.
  const std::string prefix = "USB\\Vid_7A31&Pid_0042";
  std::vector<win::DWORD> readErrors;
  int removed = 0;
  for (win::DWORD index = 0;; ++index) {
    win::SP_DEVINFO_DATA data{};
    data.cbSize = sim::kDevInfoDataSize32;
    if (!setup().SetupDiEnumDeviceInfo(list, index, &data)) break;
    win::DWORD error = 0, required = 0;
    std::string ids = HardwareIds(list, data, &error, &required);
    readErrors.push_back(error);
    if (error == win::ERROR_INSUFFICIENT_BUFFER) {
      EXPECT_EQ(required, 37u + 28u + 33u + 25u + 1u);
    }
    if (!error && strncasecmp(ids.c_str(), prefix.c_str(), 21) == 0) {
      EXPECT_TRUE(setup().SetupDiRemoveDevice(list, &data));
      ++removed;
    }
  }
  EXPECT_EQ(removed, 1);
  // Registry order: USB\VID_04B8..., USB\VID_0A5C... (too long), USB\VID_7A31...
  EXPECT_EQ(readErrors, (std::vector<win::DWORD>{0, win::ERROR_INSUFFICIENT_BUFFER, 0}));

  // The node and its then empty device key are gone; the others stay.
  EXPECT_EQ(machine.registry->Find(kEnum + "\\USB\\VID_7A31&PID_0042"), nullptr);
  EXPECT_NE(machine.registry->Find(kEnum + "\\" + kOtherDevice), nullptr);
  EXPECT_NE(machine.registry->Find(kEnum + "\\" + kLongIdDevice), nullptr);

  // The list keeps its members; the removed one has no properties any more.
  EXPECT_EQ(Count(list), 3);
  win::SP_DEVINFO_DATA last{};
  last.cbSize = sim::kDevInfoDataSize32;
  ASSERT_TRUE(setup().SetupDiEnumDeviceInfo(list, 2, &last));
  win::DWORD error = 0;
  HardwareIds(list, last, &error);
  EXPECT_EQ(error, sim::ERROR_NO_SUCH_DEVINST);
  EXPECT_FALSE(setup().SetupDiRemoveDevice(list, &last));
  EXPECT_TRUE(setup().SetupDiDestroyDeviceInfoList(list));

  win::HDEVINFO fresh = setup().SetupDiGetClassDevsA(nullptr, "USB", 0, win::DIGCF_ALLCLASSES);
  EXPECT_EQ(Count(fresh), 2);
  setup().SetupDiDestroyDeviceInfoList(fresh);
}

TEST_F(DeviceTest, HardwareIdsAreAMultiStringWithItsFinalNul) {
  win::HDEVINFO list = setup().SetupDiGetClassDevsA(nullptr, "usb", 0, win::DIGCF_ALLCLASSES);
  win::SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;  // the native size is accepted too
  ASSERT_TRUE(setup().SetupDiEnumDeviceInfo(list, 0, &data));
  win::DWORD error = 0, required = 0;
  std::string ids = HardwareIds(list, data, &error, &required);
  const std::string expected("USB\\VID_04B8&PID_0005&REV_0100\0USB\\VID_7A31&PID_0042&REV_0100\0\0",
                             31 + 31 + 1);
  EXPECT_EQ(required, expected.size());
  EXPECT_EQ(ids.substr(0, expected.size()), expected);

  // A device without identifiers.
  sim::DeviceNode bare;
  bare.instancePath = "USB\\ROOT_HUB\\4&1&0";
  store().AddDevice(bare);
  win::HDEVINFO withBare = setup().SetupDiGetClassDevsA(nullptr, "USB", 0, win::DIGCF_ALLCLASSES);
  ASSERT_TRUE(setup().SetupDiEnumDeviceInfo(withBare, 0, &data));  // ROOT_HUB sorts first
  HardwareIds(withBare, data, &error);
  EXPECT_EQ(error, win::ERROR_INVALID_DATA);
  setup().SetupDiDestroyDeviceInfoList(withBare);
  setup().SetupDiDestroyDeviceInfoList(list);
}

TEST_F(DeviceTest, PresentOnlyOrEveryDevice) {
  struct Case {
    const char* enumerator;
    win::DWORD flags;
    int count;
  };
  const std::vector<Case> cases = {
      {"USB", win::DIGCF_ALLCLASSES, 3},
      {"USB", win::DIGCF_ALLCLASSES | win::DIGCF_PRESENT, 1},
      {"USBPRINT", win::DIGCF_ALLCLASSES, 0},
  };
  for (const Case& c : cases) {
    win::HDEVINFO list = setup().SetupDiGetClassDevsA(nullptr, c.enumerator, 0, c.flags);
    ASSERT_NE(list, win::INVALID_HANDLE_VALUE);
    EXPECT_EQ(Count(list), c.count) << c.enumerator << " " << c.flags;
    setup().SetupDiDestroyDeviceInfoList(list);
  }
}

TEST_F(DeviceTest, DeviceListFailures) {
  EXPECT_EQ(setup().SetupDiGetClassDevsA(nullptr, "NOSUCHBUS", 0, win::DIGCF_ALLCLASSES),
            win::INVALID_HANDLE_VALUE);
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INVALID_DATA);

  win::HDEVINFO list = setup().SetupDiGetClassDevsA(nullptr, "USB", 0, win::DIGCF_ALLCLASSES);
  win::SP_DEVINFO_DATA data{};
  data.cbSize = 20;
  EXPECT_FALSE(setup().SetupDiEnumDeviceInfo(list, 0, &data));
  EXPECT_EQ(sim::GetLastError(), sim::ERROR_INVALID_USER_BUFFER);

  data.cbSize = sim::kDevInfoDataSize32;
  EXPECT_FALSE(setup().SetupDiEnumDeviceInfo(list, 3, &data));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_NO_MORE_ITEMS);

  EXPECT_TRUE(setup().SetupDiDestroyDeviceInfoList(list));
  EXPECT_FALSE(setup().SetupDiDestroyDeviceInfoList(list));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INVALID_HANDLE);
}

TEST(SetupDescription, LoadsTheStoreAndDevicesAndDumpsThem) {
  const std::string inf = PrinterInf("HALVORN QPR-730");
  const nlohmann::json description = {
      {"preset", "xp"},
      {"setup",
       {{"infFiles", {{{"name", "oem3.inf"}, {"text", inf}}}},
        {"devices",
         {{{"instance", kProductDevice},
           {"hardwareIds", {"USB\\VID_7A31&PID_0042&REV_0100", "USB\\VID_7A31&PID_0042"}},
           {"class", "USB"},
           {"present", false}},
          {{"instance", "USBPRINT\\HALVORN_QPR-730\\7&1A2B3C&0&USB001"},
           {"hardwareIds", {"USBPRINT\\HALVORNQPR-7301234"}},
           {"class", "Printer"},
           {"infPath", "oem3.inf"}},
          {{"instance", "LPTENUM\\HALVORN_QPR-730\\1&7D2A&0&LPT1"},
           {"deviceDesc", "HALVORN QPR-730"}}}}}}};
  sim::SimMachine machine(description);

  EXPECT_EQ(machine.files->ReadFile(kInfFolder + "\\oem3.inf"), inf);
  EXPECT_TRUE(machine.files->Exists(kInfFolder + "\\oem3.PNF"));
  // Plug and Play's keys belong to SYSTEM.
  auto printerKey = machine.registry->Find(kEnum + "\\USBPRINT\\HALVORN_QPR-730");
  ASSERT_NE(printerKey, nullptr);
  EXPECT_EQ(printerKey->security.owner, sim::sids::kSystem);

  const nlohmann::json dump = machine.setupStore->Dump();
  std::vector<std::string> infNames;
  for (const auto& file : dump["infFiles"]) infNames.push_back(file["name"]);
  EXPECT_EQ(infNames, (std::vector<std::string>{"ntprint.inf", "oem3.inf", "usbprint.inf"}));
  ASSERT_EQ(dump["devices"].size(), 3u);
  std::map<std::string, nlohmann::json> devices;
  for (const auto& device : dump["devices"]) devices[device["instance"]] = device;
  EXPECT_EQ(devices[kProductDevice]["present"], false);
  EXPECT_EQ(devices[kProductDevice]["hardwareIds"][0], "USB\\VID_7A31&PID_0042&REV_0100");
  EXPECT_EQ(devices["USBPRINT\\HALVORN_QPR-730\\7&1A2B3C&0&USB001"]["infPath"], "oem3.inf");
  EXPECT_EQ(devices["USBPRINT\\HALVORN_QPR-730\\7&1A2B3C&0&USB001"]["present"], true);
  EXPECT_EQ(devices["LPTENUM\\HALVORN_QPR-730\\1&7D2A&0&LPT1"]["deviceDesc"], "HALVORN QPR-730");

  // Loading the dump again changes nothing; a machine built from the whole
  // dump has the same store and devices.
  const nlohmann::json before = machine.Dump();
  machine.setupStore->Load(dump);
  EXPECT_EQ(machine.Dump(), before);
  sim::SimMachine copy(before);
  EXPECT_EQ(copy.setupStore->Dump(), dump);
}

}  // namespace
