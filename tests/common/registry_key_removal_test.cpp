#include <gtest/gtest.h>

#include "common/registry_key_removal.h"
#include "tests/support/sim_session.h"

namespace {

// Creates HKLM keys (in the 64-bit view where there is one).
void CreateKey(win::Registry& registry, const std::string& path) {
  win::HKEY key = 0;
  ASSERT_EQ(registry.RegCreateKeyExA(win::HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                     win::KEY_WRITE | win::KEY_WOW64_64KEY, nullptr, &key,
                                     nullptr),
            0)
      << path;
  registry.RegCloseKey(key);
}

bool KeyExists(win::Registry& registry, const std::string& path, win::REGSAM view) {
  win::HKEY key = 0;
  if (registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, path.c_str(), 0, win::KEY_READ | view,
                             &key) != 0) {
    return false;
  }
  registry.RegCloseKey(key);
  return true;
}

const std::string kKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Test Monitor";

TEST(DeleteHklmKey, On32BitWindowsDeletesTheWholeTreeSilently) {
  auto machine = test::MakeMachine("xp");
  test::StepSession s(*machine);
  CreateKey(s.platform.registry, kKey + "\\One");
  CreateKey(s.platform.registry, kKey + "\\Two\\Deeper");

  EXPECT_TRUE(DeleteHklmKey(s.platform, s.log, kKey.c_str(), 0, KeyLogVariant::Plain));
  EXPECT_FALSE(KeyExists(s.platform.registry, kKey, 0));
  EXPECT_TRUE(KeyExists(s.platform.registry, "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors", 0));
  EXPECT_TRUE(s.LogTexts().empty());
}

TEST(DeleteHklmKey, OnWow64DeletesALeafKeyInThe64BitView) {
  auto machine = test::MakeMachine("xp-x64");
  test::StepSession s(*machine);
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HALVORN_QPR-730";
  CreateKey(s.platform.registry, key);
  ASSERT_TRUE(KeyExists(s.platform.registry, key, win::KEY_WOW64_64KEY));
  ASSERT_FALSE(KeyExists(s.platform.registry, key, 0));  // the 32-bit view is another key

  EXPECT_TRUE(DeleteHklmKey(s.platform, s.log, key.c_str(), 1, KeyLogVariant::Plain));
  EXPECT_FALSE(KeyExists(s.platform.registry, key, win::KEY_WOW64_64KEY));
  EXPECT_TRUE(s.LogTexts().empty());
}

TEST(DeleteHklmKey, OnWow64AKeyWithSubKeysStaysAndTheFailureIsLogged) {
  auto machine = test::MakeMachine("xp-x64");
  test::StepSession s(*machine);
  CreateKey(s.platform.registry, kKey + "\\Child");
  // Registry calls leave the last error as it is: the line carries whatever
  // the thread's last error was (writing the log changes it too).
  s.platform.kernel.SetLastError(1234);
  EXPECT_FALSE(DeleteHklmKey(s.platform, s.log, kKey.c_str(), 1, KeyLogVariant::Plain));
  s.platform.kernel.SetLastError(1234);
  EXPECT_FALSE(DeleteHklmKey(s.platform, s.log, kKey.c_str(), 1, KeyLogVariant::Comma));
  EXPECT_TRUE(KeyExists(s.platform.registry, kKey + "\\Child", win::KEY_WOW64_64KEY));
  EXPECT_EQ(s.LogTexts(),
            (std::vector<std::string>{"MyRegDeleteKeyEx failed : " + kKey + " (1234) ",
                                      "MyRegDeleteKeyEx failed : " + kKey + ", (1234) "}));
}

TEST(DeleteHklmKey, WithoutRegDeleteKeyExTheLookupsErrorIsLogged) {
  auto machine = test::MakeMachine(
      nlohmann::json{{"preset", "xp-x64"}, {"os", {{"missingFunctions", {"advapi32!RegDeleteKeyExA"}}}}});
  test::StepSession s(*machine);
  CreateKey(s.platform.registry, kKey);
  EXPECT_EQ(MyRegDeleteKeyEx(s.platform, win::HKEY_LOCAL_MACHINE, kKey.c_str(),
                             win::KEY_WOW64_64KEY, 0),
            -1);
  EXPECT_FALSE(DeleteHklmKey(s.platform, s.log, kKey.c_str(), 1, KeyLogVariant::Plain));
  EXPECT_TRUE(KeyExists(s.platform.registry, kKey, win::KEY_WOW64_64KEY));
  EXPECT_EQ(s.LogTexts(), std::vector<std::string>{"MyRegDeleteKeyEx failed : " + kKey + " (127) "});
}

TEST(DeleteHklmKey, AMissingKeyIsAFailureButDeleteExistingLogsNothing) {
  auto machine = test::MakeMachine("xp");
  test::StepSession s(*machine);
  s.platform.kernel.SetLastError(0);
  EXPECT_FALSE(DeleteHklmKey(s.platform, s.log, kKey.c_str(), 0, KeyLogVariant::Comma));
  EXPECT_EQ(s.LogTexts(), std::vector<std::string>{"SHDeleteKey failed : " + kKey + " , (0) "});

  auto clean = test::MakeMachine("xp");
  test::StepSession t(*clean);
  DeleteExistingHklmKey(t.platform, t.log, kKey.c_str(), 0, KeyLogVariant::Plain);
  EXPECT_TRUE(t.LogTexts().empty());
}

TEST(DeleteExistingHklmKey, DeletesAnExistingKeyWhileItIsOpen) {
  auto machine = test::MakeMachine("xp");
  test::StepSession s(*machine);
  CreateKey(s.platform.registry, kKey + "\\Child");
  DeleteExistingHklmKey(s.platform, s.log, kKey.c_str(), 0, KeyLogVariant::Plain);
  EXPECT_FALSE(KeyExists(s.platform.registry, kKey, 0));
  EXPECT_TRUE(s.LogTexts().empty());
}

}  // namespace
