#include <gtest/gtest.h>

#include "common/system_control.h"
#include "tests/support/sim_session.h"

namespace {

TEST(SpoolerControl, RunsTheHiddenNetCommandAndWaitsOnTheVirtualClock) {
  auto machine = test::MakeMachine("xp");
  test::StepSession s(*machine);
  ASSERT_TRUE(machine->SpoolerRunning());

  StopSpooler(s.platform.kernel, 1500);
  EXPECT_EQ(machine->clock.Now(), 1500);
  EXPECT_FALSE(machine->SpoolerRunning());
  StartSpooler(s.platform.kernel, 2000);
  EXPECT_EQ(machine->clock.Now(), 3500);
  EXPECT_TRUE(machine->SpoolerRunning());

  ASSERT_EQ(machine->startedCommands.size(), 2u);
  const sim::StartedCommand& stop = machine->startedCommands[0];
  EXPECT_EQ(stop.commandLine, "net stop spooler");
  EXPECT_EQ(stop.how, "WinExec");
  EXPECT_EQ(stop.show, win::SW_HIDE);
  EXPECT_EQ(stop.time, 0);
  EXPECT_TRUE(stop.started);
  EXPECT_EQ(machine->startedCommands[1].commandLine, "net start spooler");
  EXPECT_EQ(machine->startedCommands[1].time, 1500);
}

TEST(SpoolerControl, ASlowServiceHasNotChangedWhenTheWaitEnds) {
  auto machine = test::MakeMachine(
      nlohmann::json{{"preset", "xp"}, {"services", {{"spooler", {{"commandDelayMs", 4000}}}}}});
  test::StepSession s(*machine);
  StopSpooler(s.platform.kernel, 1500);
  EXPECT_TRUE(machine->SpoolerRunning());  // nothing checks the service's state
  s.platform.kernel.Sleep(2600);
  EXPECT_FALSE(machine->SpoolerRunning());
}

TEST(SpoolerControl, StartingARunningSpoolerCostsOnlyTheWait) {
  auto machine = test::MakeMachine("xp");
  test::StepSession s(*machine);
  StartSpooler(s.platform.kernel, 2000);
  EXPECT_TRUE(machine->SpoolerRunning());
  EXPECT_EQ(machine->clock.Now(), 2000);
}

TEST(RebootSystem, RequestsAForcedRestartWhenThePrivilegeCanBeEnabled) {
  auto machine = test::MakeMachine("xp");
  test::StepSession s(*machine);
  EXPECT_TRUE(RebootSystem(s.platform));
  ASSERT_EQ(machine->restartRequests.size(), 1u);
  EXPECT_EQ(machine->restartRequests[0].flags, win::EWX_REBOOT | win::EWX_FORCE);
  EXPECT_EQ(machine->restartRequests[0].reason, 0u);
}

TEST(RebootSystem, WithoutThePrivilegeNothingHappens) {
  auto machine = test::MakeMachine(nlohmann::json{
      {"preset", "xp"}, {"token", {{"privileges", {{"SeShutdownPrivilege", {{"held", false}}}}}}}});
  test::StepSession s(*machine);
  EXPECT_FALSE(RebootSystem(s.platform));
  EXPECT_TRUE(machine->restartRequests.empty());
}

}  // namespace
