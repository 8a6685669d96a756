#include "platform/sim/sim_user.h"

#include <exception>

#include "platform/sim/last_error.h"
#include "platform/sim/scripted_user.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/transcript.h"
#include "platform/sim/window_manager.h"

namespace sim {
namespace {

using namespace win;

constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;
constexpr DWORD ERROR_INVALID_CURSOR_HANDLE = 1402;
constexpr DWORD ERROR_CONTROL_ID_NOT_FOUND = 1421;
constexpr DWORD ERROR_MENU_ITEM_NOT_FOUND = 1456;
constexpr HCURSOR kCursorBase = 0x60000;
constexpr HICON kIconBase = 0x40000;
constexpr HMENU kSystemMenuBase = 0x50000000;
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;

bool IsSystemCursor(UINT id) {
  static const UINT ids[] = {32512, 32513, 32514, 32515, 32516, 32642, 32643,
                             32644, 32645, 32646, 32648, 32649, 32650, 32651};
  for (UINT known : ids) {
    if (known == id) return true;
  }
  return false;
}

std::string MenuCommandName(WPARAM command) {
  switch (command) {
    case SC_CLOSE: return "SC_CLOSE";
    case SC_MINIMIZE: return "SC_MINIMIZE";
    case SC_RESTORE: return "SC_RESTORE";
    case 0xF010: return "SC_MOVE";
    case 0xF000: return "SC_SIZE";
    case 0xF030: return "SC_MAXIMIZE";
    default: return std::to_string(command);
  }
}

}  // namespace

SimUser::SimUser(SimProcess& process) : process_(process) {}

WindowManager& SimUser::windows() { return *process_.machine.windows; }

// ---------------------------------------------------------------------------
// Dialogs

INT_PTR SimUser::RunModalDialog(int templateId, HWND owner, DialogProcedure& procedure) {
  WindowManager& wm = windows();
  HWND dialog = wm.CreateDialogWindow(process_, templateId, owner, procedure, true);
  if (dialog == 0) return -1;  // DialogBox's failure value

  // A modal dialog disables its owner while it runs.
  bool ownerDisabled = false;
  if (Window* o = wm.Find(owner); o != nullptr && o->enabled) {
    o->enabled = false;
    ownerDisabled = true;
  }
  std::string title = wm.Find(dialog)->title;
  struct Cleanup {
    WindowManager& wm;
    HWND dialog;
    HWND owner;
    bool ownerDisabled;
    ~Cleanup() {
      if (Window* d = wm.Find(dialog); d != nullptr && std::uncaught_exceptions() > 0) {
        d->procedure = nullptr;  // the program is unwinding: no more messages for it
      }
      wm.Destroy(dialog);
      if (Window* o = wm.Find(owner); o != nullptr && ownerDisabled) o->enabled = true;
    }
  } cleanup{wm, dialog, owner, ownerDisabled};

  Window* first = nullptr;
  for (HWND h : wm.Find(dialog)->controls) {
    if ((first = wm.Find(h)) != nullptr) break;
  }
  wm.Deliver(dialog, WM_INITDIALOG, first ? first->handle : 0, 0);

  Window* d = wm.Find(dialog);
  if (d != nullptr && !d->ended) {
    title = d->title;
    TranscriptEntry shown;
    shown.kind = EntryKind::DialogShown;
    shown.process = process_.id;
    shown.window = title;
    shown.id = templateId;
    process_.machine.transcript->Add(shown);
    wm.Show(dialog, SW_SHOW);
    wm.Activate(dialog);
    wm.RunModalLoop(process_, dialog);
  }
  d = wm.Find(dialog);
  INT_PTR result = d != nullptr ? d->result : 0;
  if (d != nullptr) title = d->title;
  TranscriptEntry ended;
  ended.kind = EntryKind::DialogEnded;
  ended.process = process_.id;
  ended.window = title;
  ended.id = templateId;
  ended.value = result;
  process_.machine.transcript->Add(ended);
  return result;
}

HWND SimUser::CreateDialogParamA(int templateId, HWND parent, DialogProcedure& procedure) {
  WindowManager& wm = windows();
  HWND dialog = wm.CreateDialogWindow(process_, templateId, parent, procedure, false);
  if (dialog == 0) return 0;
  Window* first = nullptr;
  for (HWND h : wm.Find(dialog)->controls) {
    if ((first = wm.Find(h)) != nullptr) break;
  }
  wm.Deliver(dialog, WM_INITDIALOG, first ? first->handle : 0, 0);
  Window* d = wm.Find(dialog);
  if (d != nullptr && (d->style & rc_style::WS_VISIBLE)) {
    TranscriptEntry shown;
    shown.kind = EntryKind::DialogShown;
    shown.process = process_.id;
    shown.window = d->title;
    shown.id = templateId;
    process_.machine.transcript->Add(shown);
    wm.Show(dialog, SW_SHOW);
  }
  return d != nullptr ? dialog : 0;
}

BOOL SimUser::EndDialog(HWND dialog, INT_PTR result) {
  Window* d = windows().Find(dialog);
  if (d == nullptr || d->kind != WindowKind::Dialog) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  d->ended = true;
  d->result = result;
  process_.machine.scheduler.Notify();
  return TRUE;
}

BOOL SimUser::DestroyWindow(HWND window) {
  Window* w = windows().Find(window);
  if (w == nullptr) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  // Only the thread that created a window may destroy it.
  if (w->thread != std::this_thread::get_id()) return Fail(ERROR_ACCESS_DENIED);
  windows().Destroy(window);
  return TRUE;
}

// ---------------------------------------------------------------------------
// Messages

LRESULT SimUser::SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return windows().Send(process_, window, message, wParam, lParam);
}

BOOL SimUser::PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return windows().Post(window, message, wParam, lParam) ? TRUE : FALSE;
}

// ---------------------------------------------------------------------------
// Controls and windows

HWND SimUser::GetDlgItem(HWND dialog, int controlId) {
  if (windows().Find(dialog) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  Window* control = windows().Control(dialog, controlId);
  if (control == nullptr) {
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return 0;
  }
  return control->handle;
}

BOOL SimUser::SetWindowTextA(HWND window, const char* text) {
  Window* w = windows().Find(window);
  if (w == nullptr) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  // Within the process the text goes by WM_SETTEXT (so a window of another
  // thread changes when that thread serves it); another process can only
  // change a top-level window's caption.
  if (w->process == process_.id) {
    return windows().Send(process_, window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE
                                                                                                      : FALSE;
  }
  if (w->IsTopLevel()) w->title = text ? text : "";
  return TRUE;
}

int SimUser::GetWindowTextA(HWND window, char* buffer, int size) {
  Window* w = windows().Find(window);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (buffer == nullptr || size <= 0) return 0;
  if (w->process == process_.id) {
    return static_cast<int>(
        windows().Send(process_, window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
  }
  std::size_t n = std::min<std::size_t>(w->title.size(), static_cast<std::size_t>(size - 1));
  w->title.copy(buffer, n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

BOOL SimUser::EnableWindow(HWND window, BOOL enable) {
  Window* w = windows().Find(window);
  if (w == nullptr) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  bool wasDisabled = !w->enabled;
  bool changed = w->enabled != (enable != FALSE);
  w->enabled = enable != FALSE;
  if (changed) {
    ++windows().changeCount;
    process_.machine.scheduler.Notify();
    // The state changes at once; WM_ENABLE then goes to the window's thread.
    windows().Send(process_, window, WM_ENABLE, enable ? 1 : 0, 0);
  }
  return wasDisabled ? TRUE : FALSE;
}

BOOL SimUser::IsWindowEnabled(HWND window) {
  Window* w = windows().Find(window);
  return w != nullptr && w->enabled ? TRUE : FALSE;
}

HWND SimUser::FindWindowA(const char* className, const char* windowName) {
  return windows().FindTopLevel(className, windowName);
}

HWND SimUser::GetLastActivePopup(HWND window) {
  if (windows().Find(window) == nullptr) return 0;
  return windows().LastActivePopup(window);
}

BOOL SimUser::IsIconic(HWND window) {
  Window* w = windows().Find(window);
  return w != nullptr && w->iconic ? TRUE : FALSE;
}

BOOL SimUser::ShowWindow(HWND window, int command) {
  if (windows().Find(window) == nullptr) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  return windows().Show(window, command) ? TRUE : FALSE;
}

BOOL SimUser::SetForegroundWindow(HWND window) {
  Window* w = windows().Find(window);
  if (w == nullptr) return FALSE;
  TranscriptEntry entry;
  entry.kind = EntryKind::Activated;
  entry.process = process_.id;
  entry.window = w->title;
  process_.machine.transcript->Add(entry);
  windows().Activate(window);
  return TRUE;
}

// ---------------------------------------------------------------------------
// Message boxes

int SimUser::MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  SimMachine& machine = process_.machine;
  // A real user-interface thread would have served what was posted to it
  // by now: let the other threads run first.
  machine.scheduler.Yield();
  process_.CheckAlive();
  std::string captionText = caption ? caption : "Error";  // the documented default caption
  std::string bodyText = text ? text : "";
  HWND box = windows().CreateMessageBoxWindow(process_, owner, captionText, bodyText);

  MessageBoxEvent event;
  event.process = process_.id;
  event.owner = owner;
  event.box = box;
  event.caption = captionText;
  event.text = bodyText;
  event.type = type;
  ScriptedUser::Answer answer = machine.user->AnswerMessageBox(event);

  TranscriptEntry entry;
  entry.kind = EntryKind::MessageBox;
  entry.process = process_.id;
  entry.window = captionText;
  entry.text = bodyText;
  entry.value = type;
  entry.answer = ButtonName(answer.button);
  entry.byDefault = answer.byDefault;
  machine.transcript->Add(entry);
  windows().Destroy(box);
  return answer.button;
}

// ---------------------------------------------------------------------------
// Cursors, icons, system menu, timers

HCURSOR SimUser::LoadCursorA(UINT systemCursorId) {
  if (!IsSystemCursor(systemCursorId)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  return kCursorBase + systemCursorId;
}

HCURSOR SimUser::SetCursor(HCURSOR cursor) {
  WindowManager& wm = windows();
  HCURSOR previous = wm.cursor;
  if (cursor != previous) {
    wm.cursor = cursor;
    TranscriptEntry entry;
    entry.kind = EntryKind::Cursor;
    entry.process = process_.id;
    entry.text = WindowManager::CursorName(cursor);
    process_.machine.transcript->Add(entry);
  }
  return previous;
}

HICON SimUser::LoadIconA(UINT resourceId) {
  if (!process_.image || windows().ScriptOf(*process_.image).FindIcon(static_cast<int>(resourceId)) == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  return kIconBase + resourceId;
}

HMENU SimUser::GetSystemMenu(HWND window, BOOL revert) {
  Window* w = windows().Find(window);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (revert) {
    // Back to the standard menu; the documented result is NULL.
    w->systemMenu = {SC_RESTORE, 0xF010, 0xF000, SC_MINIMIZE, 0xF030, SC_CLOSE};
    return 0;
  }
  w->systemMenuHandle = kSystemMenuBase | window;
  return w->systemMenuHandle;
}

BOOL SimUser::DeleteMenu(HMENU menu, UINT item, UINT flags) {
  Window* w = nullptr;
  for (HWND h : windows().WindowsOfProcess(process_.id)) {
    Window* candidate = windows().Find(h);
    if (candidate->systemMenuHandle == menu && menu != 0) w = candidate;
  }
  if (w == nullptr) {
    // Also a menu of another process's window.
    Window* other = windows().Find(menu & ~kSystemMenuBase);
    if (other != nullptr && other->systemMenuHandle == menu) w = other;
  }
  if (w == nullptr) return Fail(ERROR_INVALID_MENU_HANDLE);
  auto& items = w->systemMenu;
  auto it = items.end();
  if (flags & MF_BYPOSITION) {
    if (item < items.size()) it = items.begin() + item;
  } else {
    it = std::find(items.begin(), items.end(), static_cast<WPARAM>(item));
  }
  if (it == items.end()) return Fail(ERROR_MENU_ITEM_NOT_FOUND);
  WPARAM command = *it;
  items.erase(it);
  ++windows().changeCount;
  TranscriptEntry entry;
  entry.kind = EntryKind::SystemMenu;
  entry.process = process_.id;
  entry.window = w->title;
  entry.action = "removed";
  entry.text = MenuCommandName(command);
  process_.machine.transcript->Add(entry);
  return TRUE;
}

UINT_PTR SimUser::SetTimer(HWND window, UINT_PTR timerId, UINT elapse) {
  return windows().SetTimer(window, timerId, elapse);
}

BOOL SimUser::KillTimer(HWND window, UINT_PTR timerId) {
  return windows().KillTimer(window, timerId) ? TRUE : FALSE;
}

// ---------------------------------------------------------------------------
// Painting

int SimUser::GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXICON:
    case SM_CYICON:
      return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    case SM_CXSCREEN:
      return 1024;  // Assumption: a 1024 x 768 screen
    case SM_CYSCREEN:
      return 768;
    default:
      return 0;
  }
}

BOOL SimUser::GetClientRect(HWND window, RECT* rect) {
  Window* w = windows().Find(window);
  if (w == nullptr || rect == nullptr) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  *rect = windows().ClientRect(*w);
  return TRUE;
}

HDC SimUser::BeginPaint(HWND window, PAINTSTRUCT* paint) {
  Window* w = windows().Find(window);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  HDC dc = windows().BeginPaint(window);
  if (paint != nullptr) {
    paint->hdc = dc;
    paint->fErase = TRUE;
    paint->rcPaint = windows().ClientRect(*w);
  }
  return dc;
}

BOOL SimUser::EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (paint != nullptr) windows().EndPaint(paint->hdc);
  return TRUE;
}

BOOL SimUser::DrawIcon(HDC dc, int x, int y, HICON icon) {
  HWND window = windows().WindowOfDc(dc);
  if (window == 0) return Fail(ERROR_INVALID_HANDLE);
  if (icon == 0) return Fail(ERROR_INVALID_CURSOR_HANDLE);
  Window* w = windows().Find(window);
  if (w == nullptr) return Fail(ERROR_INVALID_HANDLE);
  TranscriptEntry entry;
  entry.kind = EntryKind::IconDrawn;
  entry.process = process_.id;
  entry.window = w->title;
  entry.value = x;
  entry.value2 = y;
  process_.machine.transcript->Add(entry);
  return TRUE;
}

}  // namespace sim
