#include "platform/sim/window_manager.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "platform/sim/last_error.h"
#include "platform/sim/scripted_user.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/transcript.h"

namespace sim {
namespace {

using namespace win;

// Messages and values the programs' headers do not need (documented values).
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT BM_CLICK = 0x00F5;
constexpr UINT LB_INSERTSTRING = 0x0181;
constexpr UINT LB_DELETESTRING = 0x0182;
constexpr UINT LB_GETTEXTLEN = 0x018A;
constexpr UINT LB_GETITEMDATA = 0x0199;
constexpr UINT LB_SETITEMDATA = 0x019A;
constexpr LRESULT LB_ERR = -1;
constexpr WPARAM SC_MOVE = 0xF010;
constexpr WPARAM SC_SIZE = 0xF000;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
// SetTimer raises shorter periods to USER_TIMER_MINIMUM.
constexpr UINT USER_TIMER_MINIMUM = 10;

WPARAM MakeWParam(int low, int high) {
  return (static_cast<WPARAM>(static_cast<WORD>(high)) << 16) | static_cast<WORD>(low);
}

bool SameTextIgnoringCase(const std::string& a, const char* b) {
  return strcasecmp(a.c_str(), b) == 0;
}

WindowKind KindOfControl(const RcControl& control) {
  std::string cls = control.className;
  if (strcasecmp(cls.c_str(), "Button") == 0) return WindowKind::Button;
  if (strcasecmp(cls.c_str(), "Static") == 0) return WindowKind::Static;
  if (strcasecmp(cls.c_str(), "ListBox") == 0) return WindowKind::ListBox;
  if (strcasecmp(cls.c_str(), "msctls_progress32") == 0) return WindowKind::ProgressBar;
  return WindowKind::Other;
}

// Dialog units to pixels: MapDialogRect with the base units of the 8-point
// dialog font at 96 DPI (6 x 13 pixels), rounded as MulDiv does.
int UnitsToPixelsX(int units) { return (units * 6 + 2) / 4; }
int UnitsToPixelsY(int units) { return (units * 13 + 4) / 8; }

}  // namespace

WindowManager::WindowManager(SimMachine& machine) : machine_(machine) {}
WindowManager::~WindowManager() = default;

// ---------------------------------------------------------------------------
// Windows

HWND WindowManager::NewHandle() {
  HWND handle = nextHandle_;
  nextHandle_ += 0x10;  // never reused, so a stale handle stays invalid
  return handle;
}

Window& WindowManager::AddWindow(SimProcess& process, WindowKind kind) {
  auto window = std::make_unique<Window>();
  window->handle = NewHandle();
  window->process = process.id;
  window->thread = std::this_thread::get_id();
  window->kind = kind;
  Window& ref = *window;
  windows_[ref.handle] = std::move(window);
  ++changeCount;
  return ref;
}

const RcScript& WindowManager::ScriptOf(const ProgramImage& image) {
  auto it = scripts_.find(&image);
  if (it == scripts_.end()) it = scripts_.emplace(&image, ParseRcScript(image.resourceScript)).first;
  return it->second;
}

HWND WindowManager::CreateDialogWindow(SimProcess& process, int templateId, HWND owner,
                                       DialogProcedure& procedure, bool modal) {
  const RcDialog* dialogTemplate = process.image ? ScriptOf(*process.image).FindDialog(templateId) : nullptr;
  if (dialogTemplate == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  Window& dialog = AddWindow(process, WindowKind::Dialog);
  dialog.className = "#32770";
  dialog.title = dialogTemplate->caption;
  dialog.style = dialogTemplate->style;
  dialog.exStyle = dialogTemplate->exStyle;
  dialog.templateId = templateId;
  dialog.procedure = &procedure;
  dialog.modal = modal;
  dialog.owner = owner;
  dialog.widthUnits = dialogTemplate->width;
  dialog.heightUnits = dialogTemplate->height;
  dialog.enabled = (dialog.style & rc_style::WS_DISABLED) == 0;
  // Assumption: the system menu has the standard commands whatever the frame.
  dialog.systemMenu = {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_CLOSE};
  HWND dialogHandle = dialog.handle;
  for (const RcControl& c : dialogTemplate->controls) {
    Window& control = AddWindow(process, KindOfControl(c));
    control.className = c.className;
    control.title = c.statement == "ICON" ? "" : c.text;
    control.parent = dialogHandle;
    control.controlId = c.id;
    control.style = c.style;
    control.exStyle = c.exStyle;
    control.visible = (c.style & rc_style::WS_VISIBLE) != 0;
    control.enabled = (c.style & rc_style::WS_DISABLED) == 0;
    control.widthUnits = c.width;
    control.heightUnits = c.height;
    windows_[dialogHandle]->controls.push_back(control.handle);
  }
  machine_.user->StartTimedActions();
  return dialogHandle;
}

HWND WindowManager::CreateMessageBoxWindow(SimProcess& process, HWND owner, const std::string& caption,
                                           const std::string& text) {
  Window& box = AddWindow(process, WindowKind::MessageBox);
  box.className = "#32770";
  box.title = caption;
  box.owner = Find(owner) ? owner : 0;
  box.visible = true;
  box.systemMenu = {SC_MOVE, SC_CLOSE};
  box.activation = nextActivation_++;
  machine_.user->StartTimedActions();
  return box.handle;
}

void WindowManager::Destroy(HWND handle) {
  Window* window = Find(handle);
  if (window == nullptr) return;
  // Owned windows and controls go first, as DestroyWindow does.
  std::vector<HWND> dependants;
  for (const auto& [h, w] : windows_) {
    if (w->owner == handle || w->parent == handle) dependants.push_back(h);
  }
  for (HWND h : dependants) Destroy(h);
  window = Find(handle);
  if (window == nullptr) return;
  if (window->kind == WindowKind::Dialog && window->procedure != nullptr) {
    LRESULT ignored = 0;
    window->procedure->HandleMessage(handle, WM_DESTROY, 0, 0, &ignored);
  }
  window = Find(handle);
  if (window == nullptr) return;
  // Messages for it are dropped; a sender waiting for it gets 0.
  for (auto& [thread, queue] : queues_) {
    for (auto& sent : queue.sent) {
      if (sent->window == handle) sent->done = true;
    }
    queue.sent.erase(std::remove_if(queue.sent.begin(), queue.sent.end(),
                                    [&](const auto& s) { return s->window == handle; }),
                     queue.sent.end());
    queue.posted.erase(std::remove_if(queue.posted.begin(), queue.posted.end(),
                                      [&](const MSG& m) { return m.hwnd == handle; }),
                       queue.posted.end());
  }
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                               [&](const Timer& t) { return t.window == handle; }),
                timers_.end());
  if (window->kind == WindowKind::Dialog) machine_.user->DialogGone(handle);
  if (foreground == handle) foreground = 0;
  windows_.erase(handle);
  ++changeCount;
  machine_.scheduler.Notify();
}

Window* WindowManager::Find(HWND handle) {
  auto it = windows_.find(handle);
  return it == windows_.end() ? nullptr : it->second.get();
}

const Window* WindowManager::Find(HWND handle) const {
  auto it = windows_.find(handle);
  return it == windows_.end() ? nullptr : it->second.get();
}

Window* WindowManager::Control(HWND dialog, int controlId) {
  Window* d = Find(dialog);
  if (d == nullptr) return nullptr;
  for (HWND h : d->controls) {
    Window* c = Find(h);
    if (c && c->controlId == controlId) return c;
  }
  return nullptr;
}

HWND WindowManager::FindTopLevel(const char* className, const char* title) const {
  // Most recently created first, as a window found on top of the others.
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    const Window& w = *it->second;
    if (!w.IsTopLevel()) continue;
    if (className && !SameTextIgnoringCase(w.className, className)) continue;
    if (title && !SameTextIgnoringCase(w.title, title)) continue;
    return w.handle;
  }
  return 0;
}

HWND WindowManager::LastActivePopup(HWND handle) const {
  const Window* best = nullptr;
  for (const auto& [h, w] : windows_) {
    if (w->owner == handle && w->visible && (best == nullptr || w->activation > best->activation)) {
      best = w.get();
    }
  }
  const Window* self = Find(handle);
  if (best == nullptr || (self && self->activation > best->activation)) return handle;
  return best->handle;
}

HWND WindowManager::DialogOf(HWND handle) const {
  const Window* w = Find(handle);
  if (w == nullptr) return 0;
  return w->parent != 0 ? w->parent : w->handle;
}

std::vector<HWND> WindowManager::WindowsOfProcess(DWORD process) const {
  std::vector<HWND> found;
  for (const auto& [h, w] : windows_) {
    if (w->process == process) found.push_back(h);
  }
  return found;
}

bool WindowManager::Show(HWND handle, int command) {
  Window* w = Find(handle);
  if (w == nullptr) return false;
  bool wasVisible = w->visible;
  bool wasIconic = w->iconic;
  switch (command) {
    case SW_HIDE:
      w->visible = false;
      break;
    case SW_MINIMIZE:
      w->visible = true;
      w->iconic = true;
      break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
      w->visible = true;
      w->iconic = false;
      w->activation = nextActivation_++;
      break;
    default:  // SW_SHOW and the other showing commands
      w->visible = true;
      w->activation = nextActivation_++;
      break;
  }
  // The window repaints when it changes between icon and normal size;
  // WM_PAINT comes from its own thread's loop when nothing else is queued.
  if (w->iconic != wasIconic || (!wasVisible && w->visible)) w->paintPending = true;
  ++changeCount;
  machine_.scheduler.Notify();
  return wasVisible;
}

void WindowManager::Activate(HWND handle) {
  Window* w = Find(handle);
  if (w == nullptr) return;
  w->activation = nextActivation_++;
  foreground = handle;
}

// ---------------------------------------------------------------------------
// Processes and threads

SimProcess* WindowManager::ProcessById(DWORD id) const {
  for (const auto& p : machine_.processes) {
    if (p && p->id == id) return p.get();
  }
  return nullptr;
}

bool WindowManager::ProcessGone(DWORD id) const {
  SimProcess* p = ProcessById(id);
  return p == nullptr || p->ending || p->ended;
}

void WindowManager::ThreadEnded(std::thread::id thread) {
  std::vector<HWND> mine;
  for (const auto& [h, w] : windows_) {
    if (w->thread == thread && w->IsTopLevel()) mine.push_back(h);
  }
  for (HWND h : mine) Destroy(h);
  auto it = queues_.find(thread);
  if (it != queues_.end()) {
    for (auto& sent : it->second.sent) sent->done = true;
    queues_.erase(it);
  }
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                               [&](const Timer& t) { return t.thread == thread; }),
                timers_.end());
  machine_.scheduler.Notify();
}

void WindowManager::ProcessEnded(DWORD process) {
  std::vector<HWND> mine;
  for (const auto& [h, w] : windows_) {
    if (w->process == process && w->IsTopLevel()) mine.push_back(h);
  }
  for (HWND h : mine) Destroy(h);
  machine_.scheduler.Notify();
}

// ---------------------------------------------------------------------------
// Messages

bool WindowManager::Post(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  std::thread::id thread = std::this_thread::get_id();
  if (handle != 0) {
    Window* w = Find(handle);
    if (w == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return false;
    }
    thread = w->thread;
    if (w->kind == WindowKind::Dialog && message >= WM_USER) {
      TranscriptEntry entry;
      entry.kind = EntryKind::Posted;
      entry.process = w->process;
      entry.window = w->title;
      entry.value = message;
      machine_.transcript->Add(entry);
    }
  }
  queues_[thread].posted.push_back(MSG{handle, message, wParam, lParam});
  machine_.scheduler.Notify();
  return true;
}

LRESULT WindowManager::Send(SimProcess& caller, HWND handle, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  Window* w = Find(handle);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  std::thread::id me = std::this_thread::get_id();
  if (w->thread == me) return Deliver(handle, message, wParam, lParam);

  auto sent = std::make_shared<SentMessage>(SentMessage{handle, message, wParam, lParam});
  std::thread::id target = w->thread;
  DWORD targetProcess = w->process;
  queues_[target].sent.push_back(sent);
  machine_.scheduler.Notify();
  for (;;) {
    // While it waits, the sending thread still serves messages sent to it,
    // so two threads sending to each other do not block for good.
    machine_.scheduler.WaitUntil([&] {
      auto mine = queues_.find(me);
      bool incoming = mine != queues_.end() && !mine->second.sent.empty();
      return sent->done || incoming || caller.ending || ProcessGone(targetProcess) ||
             Find(handle) == nullptr;
    });
    caller.CheckAlive();
    if (sent->done) return sent->result;
    if (Find(handle) == nullptr || ProcessGone(targetProcess)) return 0;
    while (ServeOneSent(me)) {
    }
  }
}

bool WindowManager::ServeOneSent(std::thread::id thread) {
  auto it = queues_.find(thread);
  if (it == queues_.end() || it->second.sent.empty()) return false;
  std::shared_ptr<SentMessage> sent = it->second.sent.front();
  it->second.sent.pop_front();
  if (Find(sent->window) != nullptr) {
    sent->result = Deliver(sent->window, sent->message, sent->wParam, sent->lParam);
  }
  sent->done = true;
  machine_.scheduler.Notify();
  return true;
}

bool WindowManager::HasWork(std::thread::id thread) const {
  auto it = queues_.find(thread);
  if (it != queues_.end() && (!it->second.sent.empty() || !it->second.posted.empty())) return true;
  for (const auto& [h, w] : windows_) {
    if (w->thread == thread && w->paintPending) return true;
  }
  return false;
}

std::optional<std::int64_t> WindowManager::NextTimerDue(std::thread::id thread) const {
  std::optional<std::int64_t> next;
  for (const Timer& t : timers_) {
    if (t.thread == thread && (!next || t.due < *next)) next = t.due;
  }
  return next;
}

void WindowManager::RunModalLoop(SimProcess& process, HWND dialog) {
  std::thread::id me = std::this_thread::get_id();
  for (;;) {
    Window* d = Find(dialog);
    if (d == nullptr || d->ended) return;
    // Windows' order: sent messages, posted messages, painting, timers.
    if (ServeOneSent(me)) continue;
    auto queue = queues_.find(me);
    if (queue != queues_.end() && !queue->second.posted.empty()) {
      MSG message = queue->second.posted.front();
      queue->second.posted.pop_front();
      DispatchFromLoop(message, dialog);
      continue;
    }
    HWND toPaint = 0;
    for (const auto& [h, w] : windows_) {
      if (w->thread == me && w->paintPending) {
        toPaint = h;
        break;
      }
    }
    if (toPaint != 0) {
      Find(toPaint)->paintPending = false;
      Deliver(toPaint, WM_PAINT, 0, 0);
      continue;
    }
    std::int64_t now = machine_.clock.Now();
    auto dueTimer = std::find_if(timers_.begin(), timers_.end(),
                                 [&](const Timer& t) { return t.thread == me && t.due <= now; });
    if (dueTimer != timers_.end()) {
      MSG message{dueTimer->window, WM_TIMER, dueTimer->id, 0};
      dueTimer->due = now + dueTimer->elapse;
      DispatchFromLoop(message, dialog);
      continue;
    }
    // Nothing queued: the user may act on the dialog.
    std::optional<std::int64_t> userDue;
    if (machine_.user->DialogIdle(dialog, &userDue)) continue;

    std::optional<std::int64_t> deadline = NextTimerDue(me);
    if (userDue && (!deadline || *userDue < *deadline)) deadline = userDue;
    machine_.scheduler.WaitUntil(
        [&] {
          const Window* w = Find(dialog);
          return w == nullptr || w->ended || process.ending || HasWork(me) ||
                 (deadline && machine_.clock.Now() >= *deadline);
        },
        deadline);
    process.CheckAlive();
  }
}

bool WindowManager::KeyCommand(HWND dialog, WPARAM key, int* id, HWND* button) {
  *button = 0;
  if (key == VK_ESCAPE) {
    *id = IDCANCEL;
  } else {
    *id = IDOK;
    const Window* d = Find(dialog);
    for (HWND h : d->controls) {
      const Window* c = Find(h);
      if (c && c->kind == WindowKind::Button && c->ButtonType() == rc_style::BS_DEFPUSHBUTTON) {
        *id = c->controlId;
        break;
      }
    }
  }
  Window* target = Control(dialog, *id);
  if (target == nullptr) return true;
  *button = target->handle;
  // A disabled button: the dialog beeps and ignores the key.
  return target->enabled;
}

void WindowManager::DispatchFromLoop(const MSG& message, HWND modalDialog) {
  // The dialog that the message belongs to pre-translates it; a message for
  // no window goes to the modal dialog's pre-translation.
  HWND dialog = message.hwnd != 0 ? DialogOf(message.hwnd) : modalDialog;
  Window* d = Find(dialog);
  if (d == nullptr) return;
  if (d->procedure != nullptr && d->procedure->PreTranslateMessage(message)) return;
  if (Find(dialog) == nullptr) return;
  // The standard dialog keys (IsDialogMessage): Escape and Enter become
  // the command of their button.
  if (message.message == WM_KEYDOWN && (message.wParam == VK_ESCAPE || message.wParam == VK_RETURN) &&
      Find(dialog)->kind == WindowKind::Dialog) {
    int id = 0;
    HWND button = 0;
    if (KeyCommand(dialog, message.wParam, &id, &button)) {
      Deliver(dialog, WM_COMMAND, MakeWParam(id, BN_CLICKED), static_cast<LPARAM>(button));
    }
    return;
  }
  if (message.hwnd == 0 || Find(message.hwnd) == nullptr) return;
  Deliver(message.hwnd, message.message, message.wParam, message.lParam);
}

LRESULT WindowManager::Deliver(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(handle);
  if (w == nullptr) return 0;
  if (w->kind == WindowKind::Dialog) {
    LRESULT result = 0;
    if (w->procedure != nullptr && w->procedure->HandleMessage(handle, message, wParam, lParam, &result)) {
      return result;
    }
    return DefaultDialogMessage(handle, message, wParam, lParam);
  }
  return ControlMessage(handle, message, wParam, lParam);
}

LRESULT WindowManager::TextMessage(Window& w, UINT message, WPARAM wParam, LPARAM lParam,
                                   bool* handled) {
  *handled = true;
  if (message == WM_SETTEXT) {
    std::string text = lParam ? reinterpret_cast<const char*>(lParam) : "";
    if (text != w.title) {
      w.title = text;
      ++changeCount;
      if (w.parent != 0) {
        const Window* dialog = Find(w.parent);
        TranscriptEntry entry;
        entry.kind = EntryKind::ControlText;
        entry.process = w.process;
        entry.window = dialog ? dialog->title : "";
        entry.id = w.controlId;
        entry.text = text;
        machine_.transcript->Add(entry);
      }
    }
    return TRUE;
  }
  if (message == WM_GETTEXT) {
    char* buffer = reinterpret_cast<char*>(lParam);
    if (buffer == nullptr || wParam == 0) return 0;
    std::size_t n = std::min<std::size_t>(w.title.size(), wParam - 1);
    std::memcpy(buffer, w.title.data(), n);
    buffer[n] = '\0';
    return static_cast<LRESULT>(n);
  }
  if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(w.title.size());
  *handled = false;
  return 0;
}

LRESULT WindowManager::DefaultDialogMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Window& d = *Find(handle);
  bool handled = false;
  LRESULT text = TextMessage(d, message, wParam, lParam, &handled);
  if (handled) return text;
  switch (message) {
    case WM_SYSCOMMAND: {
      WPARAM command = wParam & 0xFFF0;
      bool inMenu = std::find(d.systemMenu.begin(), d.systemMenu.end(), command) != d.systemMenu.end();
      if (command == SC_CLOSE && inMenu) return Deliver(handle, WM_CLOSE, 0, 0);
      if (command == SC_MINIMIZE && inMenu) Show(handle, SW_MINIMIZE);
      if (command == SC_RESTORE && inMenu) Show(handle, SW_RESTORE);
      return 0;
    }
    case WM_CLOSE: {
      // Posts the Cancel command, unless a Cancel button exists and is disabled.
      Window* cancel = Control(handle, IDCANCEL);
      if (cancel != nullptr && !cancel->enabled) return 0;
      Post(handle, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED),
           static_cast<LPARAM>(cancel ? cancel->handle : 0));
      return 0;
    }
    case WM_SETICON: {
      HICON& slot = wParam == ICON_BIG ? d.bigIcon : d.smallIcon;
      HICON previous = slot;
      slot = static_cast<HICON>(lParam);
      return static_cast<LRESULT>(previous);
    }
    case WM_PAINT:
      d.paintPending = false;
      return 0;
    default:
      return 0;
  }
}

LRESULT WindowManager::ControlMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Window& w = *Find(handle);
  bool handled = false;
  LRESULT text = TextMessage(w, message, wParam, lParam, &handled);
  if (handled) return text;
  switch (w.kind) {
    case WindowKind::ProgressBar:
      return ProgressBarMessage(w, message, wParam, lParam);
    case WindowKind::Button:
      return ButtonMessage(w, message, wParam, lParam);
    case WindowKind::ListBox:
      return ListBoxMessage(w, message, wParam, lParam);
    default:
      return 0;
  }
}

void WindowManager::RecordProgress(const Window& bar, const char* action) {
  const Window* dialog = Find(bar.parent);
  TranscriptEntry entry;
  entry.kind = EntryKind::Progress;
  entry.process = bar.process;
  entry.window = dialog ? dialog->title : "";
  entry.id = bar.controlId;
  entry.action = action;
  entry.value = bar.position;
  machine_.transcript->Add(entry);
  ++changeCount;
}

LRESULT WindowManager::ProgressBarMessage(Window& bar, UINT message, WPARAM wParam, LPARAM lParam) {
  auto clamp = [&](long long pos) {
    return static_cast<int>(std::clamp<long long>(pos, bar.rangeMin, bar.rangeMax));
  };
  switch (message) {
    case PBM_SETRANGE: {
      LRESULT previous = (static_cast<LRESULT>(bar.rangeMax) << 16) | (bar.rangeMin & 0xFFFF);
      bar.rangeMin = static_cast<WORD>(lParam & 0xFFFF);
      bar.rangeMax = static_cast<WORD>((lParam >> 16) & 0xFFFF);
      bar.position = clamp(bar.position);
      RecordProgress(bar, "SETRANGE");
      return previous;
    }
    case PBM_SETSTEP: {
      int previous = bar.step;
      bar.step = static_cast<int>(static_cast<std::intptr_t>(wParam));
      RecordProgress(bar, "SETSTEP");
      return previous;
    }
    case PBM_SETPOS: {
      int previous = bar.position;
      bar.position = clamp(static_cast<int>(wParam));
      RecordProgress(bar, "SETPOS");
      return previous;
    }
    case PBM_DELTAPOS: {
      int previous = bar.position;
      bar.position = clamp(bar.position + static_cast<int>(wParam));
      RecordProgress(bar, "DELTAPOS");
      return previous;
    }
    case PBM_STEPIT: {
      int previous = bar.position;
      long long next = static_cast<long long>(bar.position) + bar.step;
      int span = bar.rangeMax - bar.rangeMin;
      // Past the top the bar starts over from the bottom, keeping the excess.
      if (next > bar.rangeMax && span > 0) next = bar.rangeMin + (next - bar.rangeMin) % span;
      bar.position = clamp(next);
      RecordProgress(bar, "STEPIT");
      return previous;
    }
    case PBM_GETPOS:
      return bar.position;
    default:
      return 0;
  }
}

LRESULT WindowManager::ButtonMessage(Window& button, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case BM_GETCHECK:
      return button.checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
      // Only this button changes; a radio group is kept by clicks.
      button.checked = wParam == BST_CHECKED;
      ++changeCount;
      return 0;
    case WM_LBUTTONUP:
    case BM_CLICK: {
      if (!button.enabled) return 0;
      HWND handle = button.handle;
      DWORD type = button.ButtonType();
      if (type == rc_style::BS_AUTORADIOBUTTON) {
        // The group runs from the last control with WS_GROUP before the
        // button up to the next control with WS_GROUP.
        Window* dialog = Find(button.parent);
        const std::vector<HWND>& all = dialog->controls;
        auto self = std::find(all.begin(), all.end(), handle);
        auto first = self;
        while (first != all.begin() && !(Find(*first)->style & rc_style::WS_GROUP)) --first;
        auto last = self + 1;
        while (last != all.end() && !(Find(*last)->style & rc_style::WS_GROUP)) ++last;
        for (auto it = first; it != last; ++it) {
          Window* other = Find(*it);
          if (other->kind == WindowKind::Button && other->ButtonType() == rc_style::BS_AUTORADIOBUTTON) {
            other->checked = other->handle == handle;
          }
        }
      } else if (type == rc_style::BS_AUTOCHECKBOX) {
        button.checked = !button.checked;
      }
      ++changeCount;
      Window* again = Find(handle);
      return Deliver(again->parent, WM_COMMAND, MakeWParam(again->controlId, BN_CLICKED),
                     static_cast<LPARAM>(handle));
    }
    default:
      return 0;
  }
}

LRESULT WindowManager::ListBoxMessage(Window& list, UINT message, WPARAM wParam, LPARAM lParam) {
  auto inRange = [&](WPARAM index) { return index < list.rows.size(); };
  switch (message) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      std::string text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      std::size_t at = list.rows.size();
      if (message == LB_INSERTSTRING && static_cast<std::intptr_t>(wParam) >= 0) {
        if (wParam > list.rows.size()) return LB_ERR;
        at = wParam;
      } else if (message == LB_ADDSTRING && (list.style & rc_style::LBS_SORT)) {
        // Assumption: the sorted order compares without regard to case.
        at = 0;
        while (at < list.rows.size() && strcasecmp(list.rows[at].text.c_str(), text.c_str()) <= 0) ++at;
      }
      list.rows.insert(list.rows.begin() + static_cast<std::ptrdiff_t>(at), ListRow{text, 0});
      ++changeCount;
      return static_cast<LRESULT>(at);
    }
    case LB_DELETESTRING:
      if (!inRange(wParam)) return LB_ERR;
      list.rows.erase(list.rows.begin() + static_cast<std::ptrdiff_t>(wParam));
      ++changeCount;
      return static_cast<LRESULT>(list.rows.size());
    case LB_RESETCONTENT:
      list.rows.clear();
      ++changeCount;
      return 0;
    case LB_GETCOUNT:
      return static_cast<LRESULT>(list.rows.size());
    case LB_GETTEXT: {
      if (!inRange(wParam)) return LB_ERR;
      const std::string& text = list.rows[wParam].text;
      if (lParam) std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
      return static_cast<LRESULT>(text.size());
    }
    case LB_GETTEXTLEN:
      if (!inRange(wParam)) return LB_ERR;
      return static_cast<LRESULT>(list.rows[wParam].text.size());
    case LB_GETITEMDATA:
      if (!inRange(wParam)) return LB_ERR;
      return list.rows[wParam].data;
    case LB_SETITEMDATA:
      if (!inRange(wParam)) return LB_ERR;
      list.rows[wParam].data = lParam;
      ++changeCount;
      return 0;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------
// Timers

UINT_PTR WindowManager::SetTimer(HWND handle, UINT_PTR timerId, UINT elapse) {
  Window* w = Find(handle);
  if (handle != 0 && w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (w != nullptr && w->thread != std::this_thread::get_id()) {
    SetLastError(ERROR_ACCESS_DENIED);  // the window must belong to the calling thread
    return 0;
  }
  if (elapse < USER_TIMER_MINIMUM) elapse = USER_TIMER_MINIMUM;
  if (handle == 0) {
    // A timer of the thread: the system chooses its id.
    static UINT_PTR nextThreadTimer = 0x7F00;
    timerId = nextThreadTimer++;
  }
  KillTimer(handle, timerId);  // an existing timer of that id is replaced
  timers_.push_back(Timer{handle, std::this_thread::get_id(), timerId, elapse,
                          machine_.clock.Now() + elapse});
  machine_.scheduler.Notify();
  return handle == 0 ? timerId : (timerId != 0 ? timerId : 1);
}

bool WindowManager::KillTimer(HWND handle, UINT_PTR timerId) {
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [&](const Timer& t) { return t.window == handle && t.id == timerId; });
  if (it == timers_.end()) return false;
  timers_.erase(it);
  return true;
}

// ---------------------------------------------------------------------------
// User input

bool WindowManager::UserClick(HWND handle) {
  Window* control = Find(handle);
  if (control == nullptr || !control->visible || !control->enabled) return false;
  Window* dialog = Find(control->parent);
  if (dialog != nullptr && !dialog->enabled) return false;
  // The click reaches the program as mouse input queued for the control.
  return Post(handle, WM_LBUTTONUP, 0, 0);
}

bool WindowManager::UserKey(HWND handle, WPARAM virtualKey) {
  Window* w = Find(handle);
  if (w == nullptr || !w->enabled) return false;
  // Assumption: the key goes to the dialog itself (focus is not modelled).
  return Post(handle, WM_KEYDOWN, virtualKey, 1);
}

bool WindowManager::UserSystemCommand(HWND handle, WPARAM command) {
  Window* w = Find(handle);
  if (w == nullptr) return false;
  return Post(handle, WM_SYSCOMMAND, command, 0);
}

// ---------------------------------------------------------------------------
// Cursor and painting

std::string WindowManager::CursorName(HCURSOR cursor) {
  if (cursor == 0) return "none";
  UINT id = static_cast<UINT>(cursor - 0x60000);
  if (id == IDC_ARROW) return "IDC_ARROW";
  if (id == IDC_WAIT) return "IDC_WAIT";
  return "cursor " + std::to_string(id);
}

HDC WindowManager::BeginPaint(HWND handle) {
  Window* w = Find(handle);
  if (w == nullptr) return 0;
  w->paintPending = false;
  HDC dc = nextDc_;
  nextDc_ += 0x10;
  paintDcs_[dc] = handle;
  return dc;
}

HWND WindowManager::WindowOfDc(HDC dc) const {
  auto it = paintDcs_.find(dc);
  return it == paintDcs_.end() ? 0 : it->second;
}

void WindowManager::EndPaint(HDC dc) { paintDcs_.erase(dc); }

RECT WindowManager::ClientRect(const Window& w) const {
  if (w.kind == WindowKind::MessageBox) return RECT{0, 0, 300, 120};  // Assumption: any size will do
  return RECT{0, 0, UnitsToPixelsX(w.widthUnits), UnitsToPixelsY(w.heightUnits)};
}

}  // namespace sim
