// The simulated user interface: dialogs from templates, the modal loop with
// its pre-translation, messages between threads, message boxes answered by
// the scripted user, windows of other processes, timers and timed actions.
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sim/last_error.h"
#include "platform/sim/scripted_user.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_user.h"
#include "platform/sim/transcript.h"
#include "platform/sim/window_manager.h"

namespace sim {
namespace {

using namespace win;

constexpr UINT kRefresh = WM_USER + 1;

const char* kScript = R"rc(
100 DIALOGEX 0, 0, 200, 100
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Test Progress"
FONT 9, "Verdana"
BEGIN
    CONTROL         "",1000,"msctls_progress32",WS_BORDER,7,70,180,14
    LTEXT           "Messages",1003,7,50,180,8
    PUSHBUTTON      "Cancel",IDCANCEL,140,80,50,14
END

101 DIALOG 0, 0, 120, 60
STYLE WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Pick"
BEGIN
    AUTORADIOBUTTON "A",1006,5,5,30,10,WS_GROUP
    AUTORADIOBUTTON "B",1007,5,20,30,10
    AUTORADIOBUTTON "C",1008,5,35,30,10
    LISTBOX         1020,40,5,30,30,LBS_SORT
    DEFPUSHBUTTON   "&Next",IDOK,70,40,40,14
END

128 ICON "app.ico"
)rc";

// A machine with one process of a small program, the test thread attached
// as a thread of that process, and helpers to run further threads.
struct Rig {
  SimMachine machine{nlohmann::json::object()};
  std::shared_ptr<ProgramImage> image = MakeImage();
  std::shared_ptr<SimProcess> process = NewProcess(2000);
  SimUser user{*process};
  std::vector<std::thread> threads;
  int running = 0;

  Rig() { machine.scheduler.Attach("test"); }
  ~Rig() {
    machine.scheduler.Detach();
    for (std::thread& t : threads) t.join();
  }

  static std::shared_ptr<ProgramImage> MakeImage() {
    auto image = std::make_shared<ProgramImage>();
    image->fileName = "TestApp.exe";
    image->resourceScript = kScript;
    return image;
  }
  std::shared_ptr<SimProcess> NewProcess(DWORD id) {
    auto p = std::make_shared<SimProcess>(machine, id, "C:\\TestApp.exe", image, "TestApp", "C:\\");
    machine.processes.push_back(p);
    return p;
  }
  void Start(const std::string& name, std::function<void()> body) {
    ++running;
    threads.push_back(machine.scheduler.Spawn(name, [this, body] {
      body();
      --running;
      machine.scheduler.Notify();
    }));
  }
  void Sleep(std::int64_t ms) {
    std::int64_t until = machine.clock.Now() + ms;
    machine.scheduler.WaitUntil([] { return false; }, until);
  }
  void WaitForThreads() {
    machine.scheduler.WaitUntil([&] { return running == 0; });
  }
  Transcript& transcript() { return *machine.transcript; }
  ScriptedUser& person() { return *machine.user; }
};

// The program side of a dialog, close to what the programs' dialog class
// does: a refresh message copies the message text into control 1003,
// IDOK/IDCANCEL end the dialog, and while `busy` the pre-translation shows
// the wait cursor, removes the Close item and swallows Escape.
struct TestDialog : DialogProcedure {
  explicit TestDialog(Rig& rig) : rig(rig), user(rig.user) {}
  Rig& rig;
  SimUser& user;
  HWND hwnd = 0;
  bool busy = false;
  std::string messageText;
  std::function<void(TestDialog&)> onInit;
  std::function<void(TestDialog&, WPARAM)> onTimer;
  std::vector<std::pair<WPARAM, std::int64_t>> timers;  // id, time
  std::vector<int> commands;
  std::vector<int> checkedAtEnd;
  HICON icon = 0;

  bool HandleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    switch (message) {
      case WM_INITDIALOG:
        hwnd = dialog;
        icon = user.LoadIconA(128);
        if (onInit) onInit(*this);
        *result = TRUE;
        return true;
      case WM_COMMAND: {
        int id = static_cast<int>(wParam & 0xFFFF);
        commands.push_back(id);
        if (id == IDOK || id == IDCANCEL) {
          for (int radio : {1006, 1007, 1008}) {
            HWND button = user.GetDlgItem(hwnd, radio);
            if (button && user.SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED) {
              checkedAtEnd.push_back(radio);
            }
          }
          user.EndDialog(hwnd, id);
        }
        return true;
      }
      case kRefresh:
        user.SetWindowTextA(user.GetDlgItem(hwnd, 1003), messageText.c_str());
        *result = 0;
        return true;
      case WM_TIMER:
        timers.push_back({wParam, rig.machine.clock.Now()});
        if (onTimer) onTimer(*this, wParam);
        return true;
      case WM_PAINT: {
        if (!user.IsIconic(hwnd)) return false;
        PAINTSTRUCT paint;
        HDC dc = user.BeginPaint(hwnd, &paint);
        RECT client;
        user.GetClientRect(hwnd, &client);
        int cx = user.GetSystemMetrics(SM_CXICON);
        int cy = user.GetSystemMetrics(SM_CYICON);
        user.DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, icon);
        user.EndPaint(hwnd, &paint);
        return true;
      }
      default:
        return false;
    }
  }

  bool PreTranslateMessage(const MSG& message) override {
    if (busy) {
      user.SetCursor(user.LoadCursorA(IDC_WAIT));
      user.DeleteMenu(user.GetSystemMenu(hwnd, FALSE), static_cast<UINT>(SC_CLOSE), MF_BYCOMMAND);
      return message.wParam == VK_ESCAPE;
    }
    user.SetCursor(user.LoadCursorA(IDC_ARROW));
    return false;
  }
};

INT_PTR RunOnUiThread(Rig& rig, TestDialog& dialog, int templateId) {
  INT_PTR result = -7;
  rig.Start("ui", [&] { result = rig.user.RunModalDialog(templateId, 0, dialog); });
  rig.WaitForThreads();
  return result;
}

TEST(UserInterface, WorkerReportsProgressThroughTheUserInterfaceThread) {
  Rig rig;
  TestDialog dialog(rig);
  std::vector<LRESULT> previousPositions;
  dialog.onInit = [&](TestDialog& d) {
    HWND bar = rig.user.GetDlgItem(d.hwnd, 1000);
    rig.user.SendMessageA(bar, PBM_SETRANGE, 0, 100 << 16);
    rig.user.SendMessageA(bar, PBM_SETSTEP, 40, 0);
    HWND hwnd = d.hwnd;
    rig.Start("worker", [&, bar, hwnd] {
      for (const char* text : {"One...", "Two...", "Three..."}) {
        dialog.messageText = text;
        previousPositions.push_back(rig.user.SendMessageA(bar, PBM_STEPIT, 0, 0));
        rig.user.PostMessageA(hwnd, kRefresh, 0, 0);
        rig.Sleep(500);
      }
      dialog.messageText = "Done.\r\n";
      rig.user.PostMessageA(hwnd, kRefresh, 0, 0);
      // No sleep: the box still comes after the refresh the worker posted.
      rig.user.MessageBoxA(hwnd, "Finished", "TestApp", MB_OK | MB_ICONINFORMATION);
      rig.user.EndDialog(hwnd, IDOK);
    });
    rig.Sleep(2000);  // the user-interface thread is busy before its loop runs
  };

  EXPECT_EQ(RunOnUiThread(rig, dialog, 100), IDOK);
  // Each step was handled by the user-interface thread; the third wrapped.
  EXPECT_EQ(previousPositions, (std::vector<LRESULT>{0, 40, 80}));
  EXPECT_EQ(rig.transcript().BarPositions(1000), (std::vector<long long>{0, 0, 40, 80, 20}));
  EXPECT_EQ(rig.transcript().Text(false),
            "progress \"Test Progress\" 1000 SETRANGE pos 0\n"
            "progress \"Test Progress\" 1000 SETSTEP pos 0\n"
            "dialog shown 100 \"Test Progress\"\n"
            "progress \"Test Progress\" 1000 STEPIT pos 40\n"
            "post \"Test Progress\" 1025\n"
            "cursor IDC_ARROW\n"
            "text \"Test Progress\" 1003 \"One...\"\n"
            "progress \"Test Progress\" 1000 STEPIT pos 80\n"
            "post \"Test Progress\" 1025\n"
            "text \"Test Progress\" 1003 \"Two...\"\n"
            "progress \"Test Progress\" 1000 STEPIT pos 20\n"
            "post \"Test Progress\" 1025\n"
            "text \"Test Progress\" 1003 \"Three...\"\n"
            "post \"Test Progress\" 1025\n"
            "text \"Test Progress\" 1003 \"Done.\\r\\n\"\n"
            "message box \"TestApp\" \"Finished\" style 0x40 answer OK (default)\n"
            "dialog ended 100 \"Test Progress\" result 1\n");
  // The first step waited for the loop, which ran after the 2-second init.
  std::vector<TranscriptEntry> steps = rig.transcript().OfKind(EntryKind::Progress);
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[2].time, 2000);
  EXPECT_EQ(steps[4].time, 3000);
}

TEST(UserInterface, EscapeAndCloseFollowTheBusyRules) {
  struct Case {
    const char* name;
    bool busyAtStart;
    bool disableCancel;
    bool busyClearedByTimer;
    UserAction action;
    INT_PTR result;  // 99: nothing ended it before the timed end
    std::vector<int> commands;
  };
  const Case cases[] = {
      {"Escape ends through IDCANCEL", false, false, false, UserAction::Press(VK_ESCAPE), IDCANCEL, {IDCANCEL}},
      {"Return gives IDOK without a default button", false, false, false, UserAction::Press(VK_RETURN), IDOK,
       {IDOK}},
      {"Escape while busy is swallowed", true, false, false, UserAction::Press(VK_ESCAPE), 99, {}},
      {"Escape with a disabled Cancel button is ignored", false, true, false, UserAction::Press(VK_ESCAPE), 99,
       {}},
      {"Close ends through IDCANCEL", false, false, false, UserAction::CloseWindow(), IDCANCEL, {IDCANCEL}},
      {"Close item stays removed after busy", true, false, true, UserAction::CloseWindow(100), 99, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    TestDialog dialog(rig);
    dialog.busy = c.busyAtStart;
    dialog.onInit = [&](TestDialog& d) {
      if (c.disableCancel) rig.user.EnableWindow(rig.user.GetDlgItem(d.hwnd, IDCANCEL), FALSE);
      if (c.busyClearedByTimer) rig.user.SetTimer(d.hwnd, 1, 10);
    };
    dialog.onTimer = [&](TestDialog& d, WPARAM id) {
      rig.user.KillTimer(d.hwnd, id);
      d.busy = false;
    };
    rig.person().ActOnDialog("Test Progress", {c.action});
    rig.person().At(5000, [&](SimMachine&) { rig.user.EndDialog(dialog.hwnd, 99); });

    EXPECT_EQ(RunOnUiThread(rig, dialog, 100), c.result);
    EXPECT_EQ(dialog.commands, c.commands);
    std::vector<TranscriptEntry> menu = rig.transcript().OfKind(EntryKind::SystemMenu);
    if (c.busyAtStart) {
      ASSERT_EQ(menu.size(), 1u);  // removed once; later removals fail
      EXPECT_EQ(menu[0].text, "SC_CLOSE");
    } else {
      EXPECT_TRUE(menu.empty());
    }
  }
}

TEST(UserInterface, ClicksDriveRadioGroupAndDefaultButton) {
  Rig rig;
  TestDialog dialog(rig);
  std::vector<std::string> rows;
  dialog.onInit = [&](TestDialog& d) {
    rig.user.EnableWindow(rig.user.GetDlgItem(d.hwnd, 1006), FALSE);
    HWND list = rig.user.GetDlgItem(d.hwnd, 1020);
    for (const char* name : {"Gamma", "alpha", "Beta"}) {
      rig.user.SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    LRESULT count = rig.user.SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      char text[32];
      rig.user.SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      rows.push_back(text);
    }
  };
  // The disabled button does not take the click; clicking C clears B.
  rig.person().ActOnDialog("Pick", {UserAction::ClickOn(1006), UserAction::ClickOn(1007),
                                    UserAction::ClickOn(1008), UserAction::Press(VK_RETURN)});

  EXPECT_EQ(RunOnUiThread(rig, dialog, 101), IDOK);
  EXPECT_EQ(rows, (std::vector<std::string>{"alpha", "Beta", "Gamma"}));
  EXPECT_EQ(dialog.commands, (std::vector<int>{1007, 1008, IDOK}));
  EXPECT_EQ(dialog.checkedAtEnd, (std::vector<int>{1008}));
}

TEST(UserInterface, MessageBoxesAreAnsweredAndRecorded) {
  Rig rig;
  rig.person().AnswerMessageBoxes("TestApp", "restart", "No", /*once=*/true);
  rig.person().AnswerMessageBoxes("", "anything", "No");  // not a button of an OK box
  rig.person().OnMessageBox([](const MessageBoxEvent& e) -> std::optional<int> {
    if (e.text == "Callback") return IDCANCEL;
    return std::nullopt;
  });
  struct Case {
    const char* text;
    UINT type;
    int answer;
    bool byDefault;
  };
  const Case cases[] = {
      {"Do you want to restart now?", MB_YESNO | MB_ICONQUESTION, IDNO, false},
      {"Do you want to restart now?", MB_YESNO | MB_ICONQUESTION, IDYES, true},  // the rule was used once
      {"Callback", MB_OKCANCEL, IDCANCEL, false},
      {"Second button is the default", MB_YESNO | 0x100, IDNO, true},
      {"Say anything", MB_OK, IDOK, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(rig.user.MessageBoxA(0, c.text, "TestApp", c.type), c.answer);
    const TranscriptEntry& entry = rig.transcript().Entries().back();
    EXPECT_EQ(entry.kind, EntryKind::MessageBox);
    EXPECT_EQ(entry.text, c.text);
    EXPECT_EQ(entry.answer, ButtonName(c.answer));
    EXPECT_EQ(entry.byDefault, c.byDefault);
    EXPECT_EQ(entry.value, static_cast<long long>(c.type));
  }
  // The box is gone once answered.
  EXPECT_EQ(rig.user.FindWindowA(nullptr, "TestApp"), 0u);
}

TEST(UserInterface, AnotherProcessFindsTheWindowAndItsMessageBox) {
  Rig rig;
  std::shared_ptr<SimProcess> second = rig.NewProcess(2001);
  SimUser secondUser(*second);
  TestDialog dialog(rig);
  HWND popupAfterBox = 0;
  dialog.onInit = [&](TestDialog& d) {
    HWND hwnd = d.hwnd;
    rig.Start("worker", [&, hwnd] {
      rig.user.MessageBoxA(hwnd, "Working", "TestApp", MB_OK);
      popupAfterBox = rig.user.GetLastActivePopup(hwnd);
      rig.user.EndDialog(hwnd, IDOK);
    });
  };
  rig.person().OnMessageBox([&](const MessageBoxEvent& e) -> std::optional<int> {
    // The second instance looks for the first one while the box is up.
    HWND found = secondUser.FindWindowA(nullptr, "TEST PROGRESS");  // titles ignore case
    EXPECT_EQ(found, dialog.hwnd);
    EXPECT_EQ(secondUser.FindWindowA("#32770", "Test Progress"), dialog.hwnd);
    EXPECT_EQ(secondUser.FindWindowA("Button", "Test Progress"), 0u);
    EXPECT_EQ(secondUser.FindWindowA(nullptr, "Messages"), 0u);  // controls are not top-level
    EXPECT_EQ(secondUser.FindWindowA(nullptr, "TestApp"), e.box);
    HWND popup = secondUser.GetLastActivePopup(found);
    EXPECT_EQ(popup, e.box);
    EXPECT_FALSE(secondUser.IsIconic(found));
    EXPECT_TRUE(secondUser.SetForegroundWindow(popup));
    return IDOK;
  });

  EXPECT_EQ(RunOnUiThread(rig, dialog, 100), IDOK);
  EXPECT_EQ(popupAfterBox, dialog.hwnd);
  std::vector<TranscriptEntry> activated = rig.transcript().OfKind(EntryKind::Activated);
  ASSERT_EQ(activated.size(), 1u);
  EXPECT_EQ(activated[0].window, "TestApp");
  EXPECT_EQ(activated[0].process, 2001u);
}

TEST(UserInterface, TimersFireOnVirtualTime) {
  Rig rig;
  TestDialog dialog(rig);
  dialog.onInit = [&](TestDialog& d) {
    rig.user.SetTimer(d.hwnd, 1, 1);  // raised to the 10 ms minimum
    rig.user.SetTimer(d.hwnd, 2, 100);
  };
  int ticks = 0;
  dialog.onTimer = [&](TestDialog& d, WPARAM id) {
    if (id == 1) rig.user.KillTimer(d.hwnd, 1);
    if (id == 2 && ++ticks == 3) rig.user.EndDialog(d.hwnd, IDOK);
  };
  EXPECT_EQ(RunOnUiThread(rig, dialog, 100), IDOK);
  EXPECT_EQ(dialog.timers, (std::vector<std::pair<WPARAM, std::int64_t>>{{1, 10}, {2, 100}, {2, 200}, {2, 300}}));
}

TEST(UserInterface, TimedUserActionsHappenAtTheirTime) {
  Rig rig;
  TestDialog dialog(rig);
  rig.person().At(1000, "No Such Window", UserAction::Press(VK_ESCAPE));
  rig.person().At(1500, "Test Progress", UserAction::MinimizeWindow());
  rig.person().At(2500, "Test Progress", UserAction::Press(VK_ESCAPE));

  EXPECT_EQ(RunOnUiThread(rig, dialog, 100), IDCANCEL);
  std::vector<TranscriptEntry> icons = rig.transcript().OfKind(EntryKind::IconDrawn);
  ASSERT_EQ(icons.size(), 1u);
  // 200 x 100 dialog units are 300 x 163 pixels; the 32-pixel icon is centred.
  EXPECT_EQ(icons[0].time, 1500);
  EXPECT_EQ(icons[0].value, 134);
  EXPECT_EQ(icons[0].value2, 66);
  std::vector<TranscriptEntry> ended = rig.transcript().OfKind(EntryKind::DialogEnded);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].time, 2500);
  std::vector<TranscriptEntry> actions = rig.transcript().OfKind(EntryKind::UserAction);
  ASSERT_EQ(actions.size(), 3u);
  EXPECT_EQ(Transcript::Line(actions[0]), "[1000 ms] p0 user \"No Such Window\" key Escape (no such window)");
}

TEST(UserInterface, FailuresOfWindowCalls) {
  Rig rig;
  TestDialog dialog(rig);
  EXPECT_EQ(rig.user.RunModalDialog(999, 0, dialog), -1);  // no such template

  // A modeless dialog without WS_VISIBLE stays hidden but can be found.
  HWND pick = rig.user.CreateDialogParamA(101, 0, dialog);
  ASSERT_NE(pick, 0u);
  EXPECT_EQ(dialog.hwnd, pick);
  EXPECT_EQ(rig.user.FindWindowA(nullptr, "Pick"), pick);
  EXPECT_TRUE(rig.transcript().OfKind(EntryKind::DialogShown).empty());

  EXPECT_EQ(rig.user.GetDlgItem(pick, 4242), 0u);
  EXPECT_NE(rig.user.LoadIconA(128), 0u);
  EXPECT_EQ(rig.user.LoadIconA(7), 0u);
  HMENU menu = rig.user.GetSystemMenu(pick, FALSE);
  EXPECT_TRUE(rig.user.DeleteMenu(menu, static_cast<UINT>(SC_CLOSE), MF_BYCOMMAND));
  EXPECT_FALSE(rig.user.DeleteMenu(menu, static_cast<UINT>(SC_CLOSE), MF_BYCOMMAND));

  HWND text = rig.user.GetDlgItem(pick, 1006);
  char buffer[3];
  rig.user.SetWindowTextA(text, "Longer");
  EXPECT_EQ(rig.user.GetWindowTextA(text, buffer, sizeof buffer), 2);
  EXPECT_STREQ(buffer, "Lo");

  bool destroyedElsewhere = true;
  rig.Start("other", [&] { destroyedElsewhere = rig.user.DestroyWindow(pick); });
  rig.WaitForThreads();
  EXPECT_FALSE(destroyedElsewhere);  // only the creating thread may destroy it

  EXPECT_TRUE(rig.user.DestroyWindow(pick));
  SetLastError(0);
  EXPECT_FALSE(rig.user.PostMessageA(pick, kRefresh, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(rig.user.FindWindowA(nullptr, "Pick"), 0u);
}

}  // namespace
}  // namespace sim
