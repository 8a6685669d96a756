#include "platform/sim/scripted_user.h"

#include <algorithm>
#include <sstream>
#include <strings.h>

#include "platform/sim/sim_machine.h"
#include "platform/sim/transcript.h"
#include "platform/sim/window_manager.h"

namespace sim {
namespace {

using namespace win;

constexpr int IDTRYAGAIN = 10;
constexpr int IDCONTINUE = 11;

struct ButtonNameEntry {
  int button;
  const char* name;
};
constexpr ButtonNameEntry kButtons[] = {
    {IDOK, "OK"},       {IDCANCEL, "Cancel"}, {IDABORT, "Abort"},       {IDRETRY, "Retry"},
    {IDIGNORE, "Ignore"}, {IDYES, "Yes"},     {IDNO, "No"},             {IDTRYAGAIN, "Try Again"},
    {IDCONTINUE, "Continue"},
};

// The buttons of a message box in their order on screen.
std::vector<int> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case 0: return {IDOK};
    case 1: return {IDOK, IDCANCEL};
    case 2: return {IDABORT, IDRETRY, IDIGNORE};
    case 3: return {IDYES, IDNO, IDCANCEL};
    case 4: return {IDYES, IDNO};
    case 5: return {IDRETRY, IDCANCEL};
    case 6: return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default: return {IDOK};
  }
}

// The default button: MB_DEFBUTTON1..4 (0x000 .. 0x300) pick it, the first otherwise.
int DefaultButton(UINT type) {
  std::vector<int> buttons = ButtonsOf(type);
  std::size_t index = (type >> 8) & 0xF;
  return index < buttons.size() ? buttons[index] : buttons.front();
}

WPARAM KeyFromName(const std::string& name) {
  if (strcasecmp(name.c_str(), "Escape") == 0 || strcasecmp(name.c_str(), "Esc") == 0) return VK_ESCAPE;
  if (strcasecmp(name.c_str(), "Return") == 0 || strcasecmp(name.c_str(), "Enter") == 0) return VK_RETURN;
  throw std::runtime_error("unknown key in the user script: " + name);
}

std::string KeyName(WPARAM key) {
  if (key == VK_ESCAPE) return "Escape";
  if (key == VK_RETURN) return "Return";
  return "key " + std::to_string(key);
}

}  // namespace

int ButtonFromName(const std::string& name) {
  for (const ButtonNameEntry& b : kButtons) {
    if (strcasecmp(name.c_str(), b.name) == 0) return b.button;
  }
  return 0;
}

const char* ButtonName(int button) {
  for (const ButtonNameEntry& b : kButtons) {
    if (b.button == button) return b.name;
  }
  return "?";
}

// ---------------------------------------------------------------------------
// Actions

UserAction UserAction::ClickOn(int controlId, std::int64_t delayMs) {
  UserAction a;
  a.kind = UserActionKind::Click;
  a.controlId = controlId;
  a.delayMs = delayMs;
  return a;
}
UserAction UserAction::Press(WPARAM key, std::int64_t delayMs) {
  UserAction a;
  a.kind = UserActionKind::Key;
  a.key = key;
  a.delayMs = delayMs;
  return a;
}
UserAction UserAction::CloseWindow(std::int64_t delayMs) {
  UserAction a;
  a.kind = UserActionKind::Close;
  a.delayMs = delayMs;
  return a;
}
UserAction UserAction::MinimizeWindow(std::int64_t delayMs) {
  UserAction a;
  a.kind = UserActionKind::Minimize;
  a.delayMs = delayMs;
  return a;
}

std::string UserAction::Describe() const {
  switch (kind) {
    case UserActionKind::Click: return "click " + std::to_string(controlId);
    case UserActionKind::Key: return "key " + KeyName(key);
    case UserActionKind::Close: return "close";
    case UserActionKind::Minimize: return "minimize";
  }
  return "?";
}

UserAction ScriptedUser::ActionFromJson(const nlohmann::json& j) {
  std::int64_t delay = j.value("delayMs", std::int64_t{0});
  if (j.contains("click")) return UserAction::ClickOn(j.at("click").get<int>(), delay);
  if (j.contains("key")) return UserAction::Press(KeyFromName(j.at("key").get<std::string>()), delay);
  if (j.value("close", false)) return UserAction::CloseWindow(delay);
  if (j.value("minimize", false)) return UserAction::MinimizeWindow(delay);
  throw std::runtime_error("unknown action in the user script: " + j.dump());
}

nlohmann::json ScriptedUser::ActionToJson(const UserAction& action) {
  nlohmann::json j = nlohmann::json::object();
  switch (action.kind) {
    case UserActionKind::Click: j["click"] = action.controlId; break;
    case UserActionKind::Key: j["key"] = KeyName(action.key); break;
    case UserActionKind::Close: j["close"] = true; break;
    case UserActionKind::Minimize: j["minimize"] = true; break;
  }
  if (action.delayMs != 0) j["delayMs"] = action.delayMs;
  return j;
}

// ---------------------------------------------------------------------------
// Dialog driver

std::string DialogDriver::Title() const {
  const Window* w = machine.windows->Find(dialog);
  return w ? w->title : "";
}

std::string DialogDriver::Text(int controlId) const {
  const Window* c = machine.windows->Control(dialog, controlId);
  return c ? c->title : "";
}

bool DialogDriver::IsEnabled(int controlId) const {
  const Window* c = machine.windows->Control(dialog, controlId);
  return c && c->enabled;
}

bool DialogDriver::IsChecked(int controlId) const {
  const Window* c = machine.windows->Control(dialog, controlId);
  return c && c->checked;
}

std::vector<std::string> DialogDriver::Rows(int controlId) const {
  std::vector<std::string> rows;
  if (const Window* c = machine.windows->Control(dialog, controlId)) {
    for (const ListRow& r : c->rows) rows.push_back(r.text);
  }
  return rows;
}

bool DialogDriver::Click(int controlId) {
  Window* c = machine.windows->Control(dialog, controlId);
  return c && machine.windows->UserClick(c->handle);
}

bool DialogDriver::PressKey(WPARAM key) { return machine.windows->UserKey(dialog, key); }
bool DialogDriver::Close() { return machine.windows->UserSystemCommand(dialog, SC_CLOSE); }
bool DialogDriver::Minimize() { return machine.windows->UserSystemCommand(dialog, SC_MINIMIZE); }

// ---------------------------------------------------------------------------
// Script

ScriptedUser::ScriptedUser(SimMachine& machine) : machine_(machine) {}

ScriptedUser::~ScriptedUser() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  if (machine_.scheduler.IsAttached()) {
    machine_.scheduler.Notify();
    machine_.scheduler.WaitUntil([&] { return !threadRunning_; });
  } else {
    // Wake the thread; it takes the token once nobody holds it.
    machine_.scheduler.Notify();
  }
  thread_.join();
}

void ScriptedUser::Load(const nlohmann::json& section) {
  if (!section.is_object()) return;
  interactive = section.value("interactive", false);
  for (const nlohmann::json& rule : section.value("messageBoxes", nlohmann::json::array())) {
    std::string answer = rule.at("answer").get<std::string>();
    if (ButtonFromName(answer) == 0) throw std::runtime_error("unknown message-box answer: " + answer);
    AnswerMessageBoxes(rule.value("caption", std::string()), rule.value("text", std::string()), answer,
                       rule.value("once", false));
  }
  for (const nlohmann::json& rule : section.value("dialogs", nlohmann::json::array())) {
    std::vector<UserAction> actions;
    for (const nlohmann::json& a : rule.value("actions", nlohmann::json::array())) {
      actions.push_back(ActionFromJson(a));
    }
    ActOnDialog(rule.at("title").get<std::string>(), actions, rule.value("once", false));
  }
  for (const nlohmann::json& t : section.value("timed", nlohmann::json::array())) {
    At(t.at("at").get<std::int64_t>(), t.at("window").get<std::string>(), ActionFromJson(t));
  }
}

nlohmann::json ScriptedUser::Dump() const {
  nlohmann::json j = nlohmann::json::object();
  if (interactive) j["interactive"] = true;
  nlohmann::json boxes = nlohmann::json::array();
  for (const MessageBoxRule& r : boxRules_) {
    nlohmann::json rule = {{"answer", ButtonName(r.answer)}};
    if (!r.caption.empty()) rule["caption"] = r.caption;
    if (!r.textPart.empty()) rule["text"] = r.textPart;
    if (r.once) rule["once"] = true;
    boxes.push_back(rule);
  }
  nlohmann::json dialogs = nlohmann::json::array();
  for (const DialogRule& r : dialogRules_) {
    if (r.callback) continue;  // C++ callbacks have no description
    nlohmann::json actions = nlohmann::json::array();
    for (const UserAction& a : r.actions) actions.push_back(ActionToJson(a));
    nlohmann::json rule = {{"title", r.title}, {"actions", actions}};
    if (r.once) rule["once"] = true;
    dialogs.push_back(rule);
  }
  nlohmann::json timed = nlohmann::json::array();
  for (const TimedAction& t : timed_) {
    if (t.callback) continue;
    nlohmann::json entry = ActionToJson(t.action);
    entry["at"] = t.time;
    entry["window"] = t.windowTitle;
    timed.push_back(entry);
  }
  if (!boxes.empty()) j["messageBoxes"] = boxes;
  if (!dialogs.empty()) j["dialogs"] = dialogs;
  if (!timed.empty()) j["timed"] = timed;
  return j;
}

// ---------------------------------------------------------------------------
// Message boxes

void ScriptedUser::OnMessageBox(std::function<std::optional<int>(const MessageBoxEvent&)> callback) {
  boxCallbacks_.push_back(std::move(callback));
}

void ScriptedUser::AnswerMessageBoxes(const std::string& caption, const std::string& textPart,
                                      const std::string& answer, bool once) {
  MessageBoxRule rule;
  rule.caption = caption;
  rule.textPart = textPart;
  rule.answer = ButtonFromName(answer);
  rule.once = once;
  boxRules_.push_back(rule);
}

ScriptedUser::Answer ScriptedUser::AnswerMessageBox(const MessageBoxEvent& event) {
  std::vector<int> buttons = ButtonsOf(event.type);
  auto valid = [&](int button) { return std::find(buttons.begin(), buttons.end(), button) != buttons.end(); };
  // An answer that is not a button of the box cannot be given: the default
  // button answers instead.
  for (auto& callback : boxCallbacks_) {
    std::optional<int> answer = callback(event);
    if (answer && valid(*answer)) return Answer{*answer, false};
    if (answer) break;
  }
  for (MessageBoxRule& rule : boxRules_) {
    if (rule.once && rule.used) continue;
    if (!rule.caption.empty() && rule.caption != event.caption) continue;
    if (!rule.textPart.empty() && event.text.find(rule.textPart) == std::string::npos) continue;
    rule.used = true;
    if (valid(rule.answer)) return Answer{rule.answer, false};
    break;
  }
  if (interactive) {
    if (std::optional<int> answer = AskTerminal(event, buttons)) return Answer{*answer, false};
  }
  return Answer{DefaultButton(event.type), true};
}

std::optional<int> ScriptedUser::AskTerminal(const MessageBoxEvent& event, const std::vector<int>& buttons) {
  std::ostream& out = *output;
  out << "\n[" << event.caption << "]\n" << event.text << "\n";
  for (std::size_t i = 0; i < buttons.size(); ++i) out << (i ? " / " : "") << ButtonName(buttons[i]);
  out << " (empty: " << ButtonName(DefaultButton(event.type)) << ")> " << std::flush;
  std::string line;
  if (!std::getline(*input, line) || line.empty()) return std::nullopt;
  int button = ButtonFromName(line);
  if (std::find(buttons.begin(), buttons.end(), button) == buttons.end()) return std::nullopt;
  return button;
}

// ---------------------------------------------------------------------------
// Dialogs

void ScriptedUser::OnDialog(const std::string& title, std::function<void(DialogDriver&)> callback) {
  DialogRule rule;
  rule.title = title;
  rule.callback = std::move(callback);
  dialogRules_.push_back(std::move(rule));
}

void ScriptedUser::ActOnDialog(const std::string& title, std::vector<UserAction> actions, bool once) {
  DialogRule rule;
  rule.title = title;
  rule.actions = std::move(actions);
  rule.once = once;
  dialogRules_.push_back(std::move(rule));
}

void ScriptedUser::DialogGone(HWND dialog) { sessions_.erase(dialog); }

bool ScriptedUser::DialogIdle(HWND dialog, std::optional<std::int64_t>* wakeAt) {
  WindowManager& wm = *machine_.windows;
  const Window* d = wm.Find(dialog);
  if (d == nullptr) return false;
  std::int64_t now = machine_.clock.Now();
  auto found = sessions_.find(dialog);
  if (found == sessions_.end()) {
    // First idle moment of this dialog: the rules that match its title
    // give their actions; callbacks run now.
    DialogSession session;
    session.lastActionAt = now;
    std::string title = d->title;
    std::vector<std::function<void(DialogDriver&)>> callbacks;
    for (DialogRule& rule : dialogRules_) {
      if (rule.title != title || (rule.once && rule.used)) continue;
      rule.used = true;
      if (rule.callback) callbacks.push_back(rule.callback);
      session.pending.insert(session.pending.end(), rule.actions.begin(), rule.actions.end());
    }
    found = sessions_.emplace(dialog, session).first;
    if (!callbacks.empty()) {
      for (auto& callback : callbacks) {
        DialogDriver driver(machine_, dialog);
        callback(driver);
      }
      return true;  // the loop looks at what the callbacks queued
    }
  }
  DialogSession& session = found->second;
  if (!session.pending.empty()) {
    std::int64_t due = session.lastActionAt + session.pending.front().delayMs;
    if (now < due) {
      *wakeAt = due;
      return false;
    }
    UserAction action = session.pending.front();
    session.pending.erase(session.pending.begin());
    session.lastActionAt = now;
    Perform(dialog, action);
    return true;
  }
  if (interactive) return AskTerminalForDialog(dialog, session);
  return false;
}

bool ScriptedUser::Perform(HWND window, const UserAction& action) {
  WindowManager& wm = *machine_.windows;
  const Window* w = wm.Find(window);
  if (w == nullptr) return false;
  bool done = false;
  switch (action.kind) {
    case UserActionKind::Click: {
      Window* control = wm.Control(window, action.controlId);
      done = control != nullptr && wm.UserClick(control->handle);
      break;
    }
    case UserActionKind::Key:
      done = wm.UserKey(window, action.key);
      break;
    case UserActionKind::Close:
      done = wm.UserSystemCommand(window, SC_CLOSE);
      break;
    case UserActionKind::Minimize:
      done = wm.UserSystemCommand(window, SC_MINIMIZE);
      break;
  }
  TranscriptEntry entry;
  entry.kind = EntryKind::UserAction;
  entry.process = w->process;
  entry.window = w->title;
  entry.action = action.Describe();
  if (!done) entry.text = "(no effect: window or control disabled or missing)";
  machine_.transcript->Add(entry);
  return done;
}

bool ScriptedUser::AskTerminalForDialog(HWND dialog, DialogSession& session) {
  WindowManager& wm = *machine_.windows;
  // Ask again only after something visible changed.
  if (session.promptedAtChange == wm.changeCount) return false;
  const Window* d = wm.Find(dialog);
  bool anyButton = false;
  for (HWND h : d->controls) {
    const Window* c = wm.Find(h);
    if (c && c->kind == WindowKind::Button && c->enabled && c->ButtonType() != rc_style::BS_GROUPBOX) {
      anyButton = true;
    }
  }
  session.promptedAtChange = wm.changeCount;
  if (!anyButton) return false;
  std::ostream& out = *output;
  out << "\n[dialog " << d->title << "]\n";
  for (HWND h : d->controls) {
    const Window* c = wm.Find(h);
    if (c == nullptr || !c->visible) continue;
    out << "  " << c->controlId << " " << c->className << " \"" << EscapeForTranscript(c->title) << "\"";
    if (!c->enabled) out << " (disabled)";
    if (c->checked) out << " (checked)";
    for (const ListRow& r : c->rows) out << "\n      " << r.text;
    out << "\n";
  }
  out << "click <id> / escape / return / close / minimize (empty: wait)> " << std::flush;
  std::string line;
  if (!std::getline(*input, line) || line.empty()) return false;
  std::istringstream words(line);
  std::string verb;
  words >> verb;
  UserAction action;
  if (verb == "click") {
    int id = 0;
    words >> id;
    action = UserAction::ClickOn(id);
  } else if (verb == "escape") {
    action = UserAction::Press(VK_ESCAPE);
  } else if (verb == "return") {
    action = UserAction::Press(VK_RETURN);
  } else if (verb == "close") {
    action = UserAction::CloseWindow();
  } else if (verb == "minimize") {
    action = UserAction::MinimizeWindow();
  } else {
    return false;
  }
  session.promptedAtChange = ~0ull;  // ask again after this action
  Perform(dialog, action);
  return true;
}

// ---------------------------------------------------------------------------
// Timed actions

void ScriptedUser::At(std::int64_t time, const std::string& windowTitle, UserAction action) {
  TimedAction t{time, windowTitle, action, nullptr};
  auto at = std::upper_bound(timed_.begin(), timed_.end(), time,
                             [](std::int64_t value, const TimedAction& a) { return value < a.time; });
  timed_.insert(at, t);
  timedChanged_ = true;
  if (machine_.scheduler.IsAttached()) StartTimedActions();
  machine_.scheduler.Notify();
}

void ScriptedUser::At(std::int64_t time, std::function<void(SimMachine&)> callback) {
  TimedAction t{time, "", UserAction{}, std::move(callback)};
  auto at = std::upper_bound(timed_.begin(), timed_.end(), time,
                             [](std::int64_t value, const TimedAction& a) { return value < a.time; });
  timed_.insert(at, std::move(t));
  timedChanged_ = true;
  if (machine_.scheduler.IsAttached()) StartTimedActions();
  machine_.scheduler.Notify();
}

void ScriptedUser::StartTimedActions() {
  if (threadRunning_ || timed_.empty() || stopping_) return;
  if (thread_.joinable()) thread_.join();  // a thread that finished its earlier actions
  threadRunning_ = true;
  thread_ = machine_.scheduler.Spawn("user", [this] { TimedThreadBody(); });
}

void ScriptedUser::TimedThreadBody() {
  // The user acts on its own simulated thread, waiting on the virtual
  // clock, so each action is a deadline the scheduler can advance to.
  while (!stopping_ && !timed_.empty()) {
    timedChanged_ = false;
    std::int64_t due = timed_.front().time;
    machine_.scheduler.WaitUntil(
        [&] { return stopping_ || timedChanged_ || machine_.clock.Now() >= due; }, due);
    if (stopping_) break;
    while (!timed_.empty() && timed_.front().time <= machine_.clock.Now()) {
      TimedAction action = timed_.front();
      timed_.erase(timed_.begin());
      if (action.callback) {
        action.callback(machine_);
        continue;
      }
      HWND window = machine_.windows->FindTopLevel(nullptr, action.windowTitle.c_str());
      if (window == 0) {
        TranscriptEntry entry;
        entry.kind = EntryKind::UserAction;
        entry.window = action.windowTitle;
        entry.action = action.action.Describe();
        entry.text = "(no such window)";
        machine_.transcript->Add(entry);
        continue;
      }
      Perform(window, action.action);
    }
  }
  threadRunning_ = false;
  machine_.scheduler.Notify();
}

}  // namespace sim
