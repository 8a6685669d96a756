#include <gtest/gtest.h>

#include "common/bounded_path.h"
#include "common/directory_tree.h"
#include "common/pnp_cleanup.h"
#include "platform/sim/file_system.h"
#include "platform/sim/registry_store.h"
#include "tests/support/sim_session.h"

namespace {

const std::string kUsbPrint = "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\HALVORN_QPR-730";
const std::string kLptEnum = "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\LPTENUM\\HALVORN_QPR-730";

nlohmann::json MachineWithTraces(const char* preset) {
  return {{"preset", preset},
          {"setup",
           {{"devices",
             {{{"instance", "USB\\VID_7A31&PID_0042\\5&2A0B9C1&0&1"},
               {"hardwareIds", {"USB\\VID_7A31&PID_0042&REV_0100", "USB\\VID_7A31&PID_0042"}},
               {"present", false}},
              {{"instance", "USB\\VID_04B8&PID_0005\\6&1&0&2"},
               {"hardwareIds", {"USB\\VID_04B8&PID_0005&REV_0100", "USB\\VID_04B8&PID_0005"}}},
              {{"instance", "USB\\VID_1234&PID_0001\\7&3&0&3"},
               {"hardwareIds", {"USB\\VID_1234&PID_0001&REV_0001", "USB\\VID_7A31&PID_0042&REV_0100"}}},
              {{"instance", "USBPRINT\\HALVORN_QPR-730\\7&1B2C3D4&0&USB001"},
               {"hardwareIds", {"USBPRINT\\HALVORN_QPR-7300042"}}},
              {{"instance", "LPTENUM\\HALVORN_QPR-730\\5&2C&0&LPT1"},
               {"hardwareIds", {"LPTENUM\\HALVORN_QPR-7300042"}}}}}}}};
}

std::vector<std::string> UsbDeviceIds(sim::SimMachine& machine) {
  return machine.registry->SubKeyNames("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB");
}

TEST(PnpCleanup, RemovesTheProductsUsbDevicesOnly) {
  auto machine = test::MakeMachine(MachineWithTraces("xp"));
  test::StepSession s(*machine);
  PnpCleanup cleanup(s.platform, s.log, s.profile, 0, nullptr, PnpCleanup::Reporting::LogOnly);
  cleanup.DeleteVidPid();

  std::vector<std::string> left = UsbDeviceIds(*machine);
  EXPECT_EQ(std::count(left.begin(), left.end(), "VID_7A31&PID_0042"), 0);
  EXPECT_EQ(std::count(left.begin(), left.end(), "VID_04B8&PID_0005"), 1);
  // The product's identifier only in second place: kept.
  EXPECT_EQ(std::count(left.begin(), left.end(), "VID_1234&PID_0001"), 1);
  EXPECT_EQ(s.LogTexts(), (std::vector<std::string>{"", "", "DeleteVidPid BEGIN",
                                                   "VID&PID : USB\\Vid_7A31&Pid_0042",
                                                   "DeleteVidPid END"}));
}

TEST(PnpCleanup, On32BitWindowsTheEnumerationKeysGoWithTheirInstances) {
  auto machine = test::MakeMachine(MachineWithTraces("xp"));
  test::StepSession s(*machine);
  PnpCleanup(s.platform, s.log, s.profile, 0, nullptr, PnpCleanup::Reporting::LogOnly)
      .Delete_LPT_USB_Info();
  EXPECT_FALSE(machine->registry->Find(kUsbPrint));
  EXPECT_FALSE(machine->registry->Find(kLptEnum));
  EXPECT_EQ(s.LogTexts(),
            (std::vector<std::string>{"", "", "Delete_LPT_USB_Info BEGIN",
                                      "REGKEY_1 : " + kUsbPrint, "REGKEY_2 : " + kUsbPrint.substr(5),
                                      "REGKEY_1 : " + kLptEnum, "REGKEY_2 : " + kLptEnum.substr(5),
                                      "Delete_LPT_USB_Info END"}));
}

TEST(PnpCleanup, OnWow64AKeyWithInstancesStaysWithItsAccessListRestored) {
  auto machine = test::MakeMachine(MachineWithTraces("xp-x64"));
  auto before = machine->registry->Find(kUsbPrint);
  ASSERT_TRUE(before);
  const sim::SecurityDescriptor security = before->security;
  test::StepSession s(*machine);
  s.platform.kernel.SetLastError(0);
  PnpCleanup(s.platform, s.log, s.profile, 1, nullptr, PnpCleanup::Reporting::LogOnly)
      .Delete_LPT_USB_Info();

  auto after = machine->registry->Find(kUsbPrint);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->security, security);  // no entry for Everyone is left behind
  std::vector<std::string> log = s.LogTexts();
  EXPECT_EQ(log[5].rfind("MyRegDeleteKeyEx failed : " + kUsbPrint.substr(5) + " (", 0), 0u);
}

TEST(PnpCleanup, ReportsAsItsHostDoes) {
  auto machine = test::MakeMachine("xp");
  test::StepSession s(*machine);
  fw::SyncedText text;
  struct NoApp : fw::Application {
    using fw::Application::Application;
    bool InitInstance() override { return false; }
  } app(s.platform);
  fw::ProgressBar bar(s.platform.user);
  ProgressChannel channel(app, text, bar);
  PnpCleanup(s.platform, s.log, s.profile, 0, &channel, PnpCleanup::Reporting::Show)
      .DeletePrnDrvPnPDirectory();
  EXPECT_EQ(text.Get(), "Deleting PNP directories...");
  EXPECT_EQ(machine->clock.Now(), 500);
}

TEST(DeleteDirectoryTree, DeletesReadOnlyFilesAndFoldersWhateverTheTrailingBackslash) {
  for (const char* suffix : {"", "\\"}) {
    auto machine = test::MakeMachine("xp");
    const std::string root = "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\halvorn_qpr_730516a";
    machine->files->WriteFile(root + "\\QPR730.GPD", "gpd");
    machine->files->WriteFile(root + "\\sub\\deeper\\QPUI730.INI", "ini");
    machine->files->SetAttributes(root + "\\QPR730.GPD", win::FILE_ATTRIBUTE_READONLY);
    machine->files->SetAttributes(root + "\\sub", win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_READONLY);
    machine->files->SetAttributes(root, win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_READONLY);
    test::StepSession s(*machine);
    DeleteDirectoryTree(s.platform.kernel, root + suffix);
    EXPECT_FALSE(machine->files->Exists(root)) << suffix;
    EXPECT_TRUE(machine->files->Exists("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86"));
  }
}

TEST(DeleteDirectoryTree, RemovesAJunctionWithoutTouchingItsTarget) {
  auto machine = test::MakeMachine("xp");
  machine->files->WriteFile("C:\\Important\\keep.txt", "precious");
  const std::string root = "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\halvorn_qpr_730516a";
  machine->files->WriteFile(root + "\\a.txt", "a");
  machine->files->CreateJunction(root + "\\link", "C:\\Important");
  machine->files->CreateJunction("C:\\TopLink", "C:\\Important");
  test::StepSession s(*machine);
  DeleteDirectoryTree(s.platform.kernel, root);
  DeleteDirectoryTree(s.platform.kernel, "C:\\TopLink");
  EXPECT_FALSE(machine->files->Exists(root));
  EXPECT_FALSE(machine->files->Exists("C:\\TopLink"));
  EXPECT_EQ(machine->files->ReadFile("C:\\Important\\keep.txt"), "precious");
}

TEST(BoundedPaths, APathThatDoesNotFitIsSkippedNotCut) {
  auto machine = test::MakeMachine("xp");
  test::StepSession s(*machine);
  const std::string longPath = "C:\\" + std::string(300, 'x');
  EXPECT_FALSE(FitPath(s.log, 256, longPath).has_value());
  EXPECT_EQ(FitPath(s.log, 256, "C:\\short"), "C:\\short");
  EXPECT_EQ(s.LogTexts(), std::vector<std::string>{"PATH TOO LONG, SKIPPED : " + longPath});
}

}  // namespace
