#include <gtest/gtest.h>

#include "platform/sim/file_system.h"
#include "tests/support/sim_session.h"

namespace {

TEST(SetupLog, LinesCarryTheVirtualTimeAndEndInCrLf) {
  auto machine = test::MakeMachine("xp");
  test::StepSession session(*machine);
  session.log.WriteLog("\r\n");
  session.log.WriteLog("CheckOS BEGIN");
  session.platform.kernel.Sleep(3'723'000);  // one hour, two minutes, three seconds
  session.log.WriteLog("DeleteFile Error : %s , (%d)", "C:\\x.dll", 2);

  EXPECT_EQ(test::InstallerLogBytes(*machine),
            "09:00:00: \r\n\r\n"
            "09:00:00: CheckOS BEGIN\r\n"
            "10:02:03: DeleteFile Error : C:\\x.dll , (2)\r\n");
}

TEST(SetupLog, LongTextIsCutToOneLineOf1023Characters) {
  auto machine = test::MakeMachine("xp");
  test::StepSession session(*machine);
  session.log.WriteLog("%s", std::string(2000, 'a').c_str());

  std::string bytes = test::InstallerLogBytes(*machine);
  ASSERT_EQ(bytes.size(), 1023u + 2u);
  EXPECT_EQ(bytes.substr(0, 10), "09:00:00: ");
  EXPECT_EQ(bytes.substr(10, 1013), std::string(1013, 'a'));
  EXPECT_EQ(bytes.substr(1023), "\r\n");
}

TEST(SetupLog, InitLogDeletesThePreviousRunsLog) {
  auto machine = test::MakeMachine("xp");
  const std::string logPath = machine->os.TempDirectory() + "\\QPR-730_Installer.txt";
  machine->files->WriteFile(logPath, "09:00:00: an earlier run\r\n");
  test::StepSession session(*machine);  // runs InitLog
  EXPECT_FALSE(machine->files->Exists(logPath));
  session.log.WriteLog("first line");
  EXPECT_EQ(test::InstallerLogTexts(*machine), std::vector<std::string>{"first line"});
}

TEST(SetupLog, ReadOnlyLogFileIsLeftAsItIsAndTheRunGoesOn) {
  auto machine = test::MakeMachine("xp");
  const std::string logPath = machine->os.TempDirectory() + "\\QPR-730_Installer.txt";
  machine->files->WriteFile(logPath, "old\r\n");
  machine->files->SetAttributes(logPath, win::FILE_ATTRIBUTE_READONLY);

  EXPECT_EQ(test::RunInstaller(*machine), 0u);
  EXPECT_EQ(machine->files->ReadFile(logPath), "old\r\n");
}

TEST(SetupLog, SecondRunsLogHoldsOnlyTheSecondRun) {
  auto machine = test::MakeMachine("xp");
  ASSERT_EQ(test::RunInstaller(*machine), 0u);
  const std::string first = test::InstallerLogBytes(*machine);
  ASSERT_EQ(first.substr(0, 8), "09:00:00");
  machine->clock.Advance(60'000);
  ASSERT_EQ(test::RunInstaller(*machine), 0u);
  const std::string second = test::InstallerLogBytes(*machine);

  EXPECT_EQ(second.size(), first.size());
  EXPECT_EQ(second.substr(0, 8), "09:01:02");  // 2 s of the first run, then one minute
  EXPECT_EQ(second.find("09:00:0"), std::string::npos);
}

}  // namespace
