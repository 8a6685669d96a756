// The user in front of the simulated machine. Answers message boxes and
// drives dialogs from a script (the "user" section of a machine
// description) or from C++ callbacks of a test; acts at given virtual times
// on windows found by title; in interactive runs asks the person at the
// terminal instead.
//
// Script (JSON):
//   {"interactive": false,
//    "messageBoxes": [{"caption": "...", "text": "part of the text", "answer": "No", "once": true}],
//    "dialogs": [{"title": "Port Type", "once": false,
//                 "actions": [{"click": 1007}, {"click": 1, "delayMs": 10}]}],
//    "timed": [{"at": 1500, "window": "Installation Progress", "key": "Escape"}]}
// An action is {"click": id}, {"key": "Escape" | "Return"}, {"close": true}
// or {"minimize": true}; "delayMs" waits that long (virtual time) after the
// previous action of the same dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/win_types.h"

namespace sim {

class SimMachine;

struct MessageBoxEvent {
  win::DWORD process = 0;
  win::HWND owner = 0;
  win::HWND box = 0;
  std::string caption;
  std::string text;
  win::UINT type = 0;
};

enum class UserActionKind { Click, Key, Close, Minimize };

struct UserAction {
  UserActionKind kind = UserActionKind::Click;
  int controlId = 0;           // Click
  win::WPARAM key = 0;         // Key: a virtual-key code
  std::int64_t delayMs = 0;    // wait after the previous action of the same dialog

  static UserAction ClickOn(int controlId, std::int64_t delayMs = 0);
  static UserAction Press(win::WPARAM key, std::int64_t delayMs = 0);
  static UserAction CloseWindow(std::int64_t delayMs = 0);
  static UserAction MinimizeWindow(std::int64_t delayMs = 0);
  std::string Describe() const;
};

// What a dialog callback may look at and do.
class DialogDriver {
 public:
  DialogDriver(SimMachine& machine, win::HWND dialog) : machine(machine), dialog(dialog) {}
  SimMachine& machine;
  const win::HWND dialog;

  std::string Title() const;
  std::string Text(int controlId) const;
  bool IsEnabled(int controlId) const;
  bool IsChecked(int controlId) const;
  std::vector<std::string> Rows(int controlId) const;
  // Input, queued to the dialog's thread as the real input would be.
  bool Click(int controlId);
  bool PressKey(win::WPARAM key);
  bool Close();
  bool Minimize();
};

// Button names of message-box answers: "OK", "Cancel", "Abort", "Retry",
// "Ignore", "Yes", "No"; 0 for an unknown name.
int ButtonFromName(const std::string& name);
const char* ButtonName(int button);

class ScriptedUser {
 public:
  explicit ScriptedUser(SimMachine& machine);
  ~ScriptedUser();
  ScriptedUser(const ScriptedUser&) = delete;
  ScriptedUser& operator=(const ScriptedUser&) = delete;

  // A fresh machine's user has no rules.
  void CreateStandardContent() {}
  void Load(const nlohmann::json& section);
  nlohmann::json Dump() const;

  // ---- Message boxes ----
  struct Answer {
    int button = 0;
    bool byDefault = false;
  };
  // Callbacks first (in the order given; the first that answers wins),
  // then the script's rules, then the terminal, then the default button.
  Answer AnswerMessageBox(const MessageBoxEvent& event);
  void OnMessageBox(std::function<std::optional<int>(const MessageBoxEvent&)> callback);
  void AnswerMessageBoxes(const std::string& caption, const std::string& textPart,
                          const std::string& answer, bool once = false);

  // ---- Dialogs ----
  // The callback runs once for every dialog with this title that is shown,
  // the first time its loop has nothing to do; on that loop's thread.
  void OnDialog(const std::string& title, std::function<void(DialogDriver&)> callback);
  void ActOnDialog(const std::string& title, std::vector<UserAction> actions, bool once = false);
  // Called by a modal loop with nothing to do: performs the next action due
  // on the dialog (true), or tells when the next one falls due.
  bool DialogIdle(win::HWND dialog, std::optional<std::int64_t>* wakeAt);
  void DialogGone(win::HWND dialog);

  // ---- Timed actions ----
  // At a virtual time, act on the top-level window with that title (a
  // missing window is noted in the transcript), or run a callback.
  void At(std::int64_t time, const std::string& windowTitle, UserAction action);
  void At(std::int64_t time, std::function<void(SimMachine&)> callback);
  // Starts the user's own thread when timed actions wait; the caller must
  // hold the machine's run token (called when windows are created).
  void StartTimedActions();

  // ---- Terminal ----
  bool interactive = false;
  std::istream* input = &std::cin;
  std::ostream* output = &std::cout;

 private:
  struct MessageBoxRule {
    std::string caption;   // exact; empty: any
    std::string textPart;  // substring; empty: any
    int answer = 0;
    bool once = false;
    bool used = false;
  };
  struct DialogRule {
    std::string title;
    std::vector<UserAction> actions;
    std::function<void(DialogDriver&)> callback;
    bool once = false;
    bool used = false;
  };
  struct DialogSession {
    std::vector<UserAction> pending;
    std::int64_t lastActionAt = 0;
    std::uint64_t promptedAtChange = ~0ull;  // interactive runs
  };
  struct TimedAction {
    std::int64_t time;
    std::string windowTitle;
    UserAction action;
    std::function<void(SimMachine&)> callback;
  };

  static UserAction ActionFromJson(const nlohmann::json& j);
  static nlohmann::json ActionToJson(const UserAction& action);
  bool Perform(win::HWND window, const UserAction& action);
  std::optional<int> AskTerminal(const MessageBoxEvent& event, const std::vector<int>& buttons);
  bool AskTerminalForDialog(win::HWND dialog, DialogSession& session);
  void TimedThreadBody();

  SimMachine& machine_;
  std::vector<std::function<std::optional<int>(const MessageBoxEvent&)>> boxCallbacks_;
  std::vector<MessageBoxRule> boxRules_;
  std::vector<DialogRule> dialogRules_;
  std::map<win::HWND, DialogSession> sessions_;
  std::vector<TimedAction> timed_;  // kept in time order
  bool timedChanged_ = false;
  bool stopping_ = false;
  bool threadRunning_ = false;
  std::thread thread_;
};

}  // namespace sim
