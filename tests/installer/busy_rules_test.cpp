#include <gtest/gtest.h>

#include "common/busy_rules.h"
#include "platform/sim/transcript.h"
#include "tests/support/sim_session.h"

namespace {

// A dialog window of a small test program, with no behaviour of its own.
class PlainDialog : public win::DialogProcedure {
 public:
  bool HandleMessage(win::HWND, win::UINT, win::WPARAM, win::LPARAM, win::LRESULT*) override {
    return false;
  }
  bool PreTranslateMessage(const win::MSG&) override { return false; }
};

class BusyRules : public ::testing::Test {
 protected:
  void SetUp() override {
    machine = test::MakeMachine("xp");
    auto image = std::make_shared<sim::ProgramImage>();
    image->fileName = "test.exe";
    image->resourceScript =
        "7 DIALOGEX 0, 0, 100, 50\n"
        "STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU\n"
        "CAPTION \"Busy Test\"\n"
        "FONT 9, \"Verdana\"\n"
        "BEGIN\n"
        "    LTEXT \"Messages\", 1003, 5, 5, 90, 8\n"
        "END\n";
    process = machine->EnterProcess("C:\\test.exe", image);
    dialog = process->platform().user.CreateDialogParamA(7, 0, procedure);
    ASSERT_NE(dialog, 0u);
  }
  void TearDown() override { machine->LeaveProcess(*process); }

  bool Apply(bool busy, bool swallowEscape, win::UINT message, win::WPARAM wParam) {
    return PreTranslateBusyMessage(process->platform().user, dialog, busy, swallowEscape,
                                   win::MSG{dialog, message, wParam, 0});
  }
  bool HasCloseItem() {
    win::User& user = process->platform().user;
    // Deleting it again tells whether it is still there.
    win::BOOL present = user.DeleteMenu(user.GetSystemMenu(dialog, win::FALSE), win::SC_CLOSE,
                                        win::MF_BYCOMMAND);
    return present != win::FALSE;
  }

  std::unique_ptr<sim::SimMachine> machine;
  std::shared_ptr<sim::SimProcess> process;
  PlainDialog procedure;
  win::HWND dialog = 0;
};

TEST_F(BusyRules, EscapeIsSwallowedWhileBusyWhateverTheMessage) {
  EXPECT_TRUE(Apply(true, true, win::WM_KEYDOWN, win::VK_ESCAPE));
  EXPECT_TRUE(Apply(true, true, win::WM_CHAR, win::VK_ESCAPE));
  EXPECT_TRUE(Apply(true, true, win::WM_COMMAND, 27));
  EXPECT_FALSE(Apply(true, true, win::WM_KEYDOWN, win::VK_RETURN));
  EXPECT_FALSE(Apply(false, false, win::WM_KEYDOWN, win::VK_ESCAPE));
  // Showing busy without the swallow rule (a different version is removed).
  EXPECT_FALSE(Apply(true, false, win::WM_KEYDOWN, win::VK_ESCAPE));
}

TEST_F(BusyRules, TheCloseItemGoesForGoodAndTheCursorFollowsTheState) {
  Apply(false, false, win::WM_NULL, 0);
  std::vector<sim::TranscriptEntry> menus = machine->transcript->OfKind(sim::EntryKind::SystemMenu);
  EXPECT_TRUE(menus.empty());

  Apply(true, true, win::WM_NULL, 0);
  Apply(false, false, win::WM_NULL, 0);  // the run is no longer busy
  EXPECT_FALSE(HasCloseItem());

  std::vector<std::string> cursors;
  for (const auto& entry : machine->transcript->OfKind(sim::EntryKind::Cursor)) {
    cursors.push_back(entry.text);
  }
  ASSERT_FALSE(cursors.empty());
  EXPECT_EQ(cursors.back(), "IDC_ARROW");
  EXPECT_NE(std::find(cursors.begin(), cursors.end(), "IDC_WAIT"), cursors.end());
}

}  // namespace
