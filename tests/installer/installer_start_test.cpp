#include <gtest/gtest.h>

#include "platform/sim/scripted_user.h"
#include "platform/sim/transcript.h"
#include "tests/support/sim_session.h"

namespace {

using sim::EntryKind;

std::vector<sim::TranscriptEntry> Entries(sim::SimMachine& machine, EntryKind kind) {
  return machine.transcript->OfKind(kind);
}

TEST(InstallerStart, OnWindowsXpProbesStartsTheSpoolerAndShowsTheVersion) {
  auto machine = test::MakeMachine("xp");
  EXPECT_EQ(test::RunInstaller(*machine), 0u);

  EXPECT_EQ(test::InstallerLogTexts(*machine),
            (std::vector<std::string>{"The process is not running under WOW64.",
                                      "", "",
                                      "CheckOS BEGIN",
                                      "osvi.dwPlatformID   : 2",
                                      "osvi.dwMajorVersion : 5",
                                      "osvi.dwMinorVersion : 1",
                                      "osvi.dwBuildNumber  : 2600",
                                      "CheckOS END",
                                      "", "",
                                      "SetSystemInfo BEGIN",
                                      "ENV : Windows NT x86, DRV DIR : .\\Driver32\\ ",
                                      "SetSystemInfo END",
                                      "", "",
                                      "SetControlPointers BEGIN",
                                      "SetControlPointers END"}));

  // "net start spooler", hidden, while the dialog initialises; the dialog
  // is shown only after the two-second wait.
  ASSERT_EQ(machine->startedCommands.size(), 1u);
  EXPECT_EQ(machine->startedCommands[0].commandLine, "net start spooler");
  EXPECT_EQ(machine->startedCommands[0].show, win::SW_HIDE);
  EXPECT_EQ(machine->startedCommands[0].time, 0);

  auto shown = Entries(*machine, EntryKind::DialogShown);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].window, "Installation Progress");
  EXPECT_EQ(shown[0].id, 102);

  std::vector<std::string> versions = machine->transcript->ControlTexts(1001, "Installation Progress");
  ASSERT_FALSE(versions.empty());
  EXPECT_EQ(versions.back(), "Driver Version: V1.2.0");

  // The bar is set up (0 to 100, step 9) before the worker reports anything.
  auto progress = Entries(*machine, EntryKind::Progress);
  ASSERT_GE(progress.size(), 2u);
  EXPECT_EQ(progress[0].action, "SETRANGE");
  EXPECT_EQ(progress[1].action, "SETSTEP");

  auto ended = Entries(*machine, EntryKind::DialogEnded);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].value, win::IDOK);
  EXPECT_GE(ended[0].time, 2000);
  EXPECT_TRUE(Entries(*machine, EntryKind::MessageBox).empty());
}

TEST(InstallerStart, UnderWow64TheSystemInfoNamesThe64BitDriver) {
  auto machine = test::MakeMachine("win7-64");
  EXPECT_EQ(test::RunInstaller(*machine), 0u);
  std::vector<std::string> texts = test::InstallerLogTexts(*machine);
  EXPECT_EQ(texts.front(), "The process is running under WOW64.");
  EXPECT_NE(std::find(texts.begin(), texts.end(), "ENV : Windows x64, DRV DIR : .\\Driver64\\ "),
            texts.end());
}

TEST(InstallerStart, OsGateRefusesReleasesBeforeWindows2000) {
  for (const char* preset : {"win95", "nt4"}) {
    SCOPED_TRACE(preset);
    auto machine = test::MakeMachine(preset);
    EXPECT_EQ(test::RunInstaller(*machine), 0u);

    auto boxes = Entries(*machine, EntryKind::MessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].window, "QPR730_Installer");
    EXPECT_EQ(boxes[0].text, "THE DRIVER CAN NOT BE INSTALLED ON THIS OS.");
    EXPECT_EQ(boxes[0].value, win::MB_OK | win::MB_ICONINFORMATION);

    auto ended = Entries(*machine, EntryKind::DialogEnded);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].value, win::IDCANCEL);
    // The gate comes before the run is marked busy: never the wait cursor.
    for (const auto& cursor : Entries(*machine, EntryKind::Cursor)) {
      EXPECT_NE(cursor.text, "IDC_WAIT");
    }
  }
}

TEST(InstallerStart, Windows2000PassesTheGate) {
  auto machine = test::MakeMachine("win2000");
  EXPECT_EQ(test::RunInstaller(*machine), 0u);
  EXPECT_TRUE(Entries(*machine, EntryKind::MessageBox).empty());
  EXPECT_EQ(Entries(*machine, EntryKind::DialogEnded).at(0).value, win::IDOK);
}

// Starts a second installer while the first runs and waits for it.
win::DWORD RunSecondInstance(sim::SimMachine& machine) {
  auto second = machine.StartProcess(test::kInstallerPath, "\"" + test::kInstallerPath + "\"",
                                     test::kPackageFolder);
  return machine.WaitForExit(*second);
}

TEST(InstallerStart, SecondInstanceActivatesTheProgressDialogAndWritesNoLog) {
  auto machine = test::MakeMachine("xp");
  win::DWORD secondExit = 99;
  std::string logBefore, logAfter;
  // One second into the first instance's start its dialog exists (hidden
  // while the spooler wait runs).
  machine->user->At(1000, [&](sim::SimMachine& m) {
    logBefore = test::InstallerLogBytes(m);
    secondExit = RunSecondInstance(m);
    logAfter = test::InstallerLogBytes(m);
  });
  EXPECT_EQ(test::RunInstaller(*machine), 0u);

  EXPECT_EQ(secondExit, 0u);
  EXPECT_FALSE(logBefore.empty());
  EXPECT_EQ(logAfter, logBefore);
  auto activated = Entries(*machine, EntryKind::Activated);
  ASSERT_EQ(activated.size(), 1u);
  EXPECT_EQ(activated[0].window, "Installation Progress");
  EXPECT_EQ(Entries(*machine, EntryKind::DialogShown).size(), 1u);
}

TEST(InstallerStart, SecondInstanceBringsTheRunningInstancesMessageBoxToTheFront) {
  auto machine = test::MakeMachine("nt4");
  win::DWORD secondExit = 99;
  machine->user->OnMessageBox([&](const sim::MessageBoxEvent&) -> std::optional<int> {
    secondExit = RunSecondInstance(*machine);
    return win::IDOK;
  });
  EXPECT_EQ(test::RunInstaller(*machine), 0u);
  EXPECT_EQ(secondExit, 0u);
  auto activated = Entries(*machine, EntryKind::Activated);
  ASSERT_EQ(activated.size(), 1u);
  // The progress dialog is found first; its last active pop-up is the box.
  EXPECT_EQ(activated[0].window, "QPR730_Installer");
}

TEST(InstallerStart, TheCounterIsReleasedWithTheLastInstance) {
  auto machine = test::MakeMachine("xp");
  EXPECT_EQ(test::RunInstaller(*machine), 0u);
  EXPECT_EQ(test::RunInstaller(*machine), 0u);
  EXPECT_EQ(Entries(*machine, EntryKind::DialogShown).size(), 2u);
  EXPECT_TRUE(Entries(*machine, EntryKind::Activated).empty());
}

TEST(InstallerStart, EscapeBeforeTheRunIsBusyClosesTheDialogWithCancel) {
  auto machine = test::MakeMachine("xp");
  machine->user->At(1000, "Installation Progress", sim::UserAction::Press(win::VK_ESCAPE));
  EXPECT_EQ(test::RunInstaller(*machine), 0u);
  auto ended = Entries(*machine, EntryKind::DialogEnded);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].value, win::IDCANCEL);
}

}  // namespace
