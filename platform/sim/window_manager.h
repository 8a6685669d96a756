// The windows of the simulated machine: dialogs built from the programs'
// templates, their controls (progress bars, static texts, buttons, list
// boxes), message boxes; the message queue of each thread (posted and sent
// messages, timers, painting), the modal dialog loop, the foreground window
// and the cursor. Machine-wide, like the window manager of Windows: a
// program can find and activate the windows of another process.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/rc_script.h"
#include "platform/user.h"

namespace sim {

// Values of Windows' user interface that the programs' headers do not need,
// shared by the window manager and the programs' view of it (documented
// values).
constexpr win::UINT WM_ENABLE = 0x000A;
constexpr win::UINT WM_SETTEXT = 0x000C;
constexpr win::UINT WM_GETTEXT = 0x000D;
constexpr win::DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

class SimMachine;
class SimProcess;
struct ProgramImage;

enum class WindowKind { Dialog, MessageBox, Button, Static, ProgressBar, ListBox, Other };

struct ListRow {
  std::string text;
  win::LPARAM data = 0;  // LB_SETITEMDATA; a check list keeps its check state here
};

struct Window {
  win::HWND handle = 0;
  win::DWORD process = 0;
  std::thread::id thread;
  WindowKind kind = WindowKind::Other;
  std::string className;
  std::string title;
  win::HWND parent = 0;  // controls: their dialog (0 for top-level windows)
  win::HWND owner = 0;   // top-level windows: the window that owns them
  int controlId = 0;
  win::DWORD style = 0;
  win::DWORD exStyle = 0;
  bool visible = false;
  bool iconic = false;
  bool enabled = true;
  std::uint64_t activation = 0;  // when it was last shown or activated (GetLastActivePopup)

  // Dialogs.
  int templateId = 0;
  win::DialogProcedure* procedure = nullptr;
  bool modal = false;
  bool ended = false;
  win::INT_PTR result = 0;
  int widthUnits = 0, heightUnits = 0;  // client size in dialog units
  std::vector<win::HWND> controls;      // in template order
  std::vector<win::WPARAM> systemMenu;  // commands of the system menu, in order
  win::HMENU systemMenuHandle = 0;
  win::HICON bigIcon = 0, smallIcon = 0;
  bool paintPending = false;

  // Progress bars.
  int rangeMin = 0, rangeMax = 100, step = 10, position = 0;
  // Buttons.
  bool checked = false;
  // List boxes.
  std::vector<ListRow> rows;

  bool IsTopLevel() const { return parent == 0; }
  win::DWORD ButtonType() const { return style & rc_style::BS_TYPEMASK; }
};

class WindowManager {
 public:
  explicit WindowManager(SimMachine& machine);
  ~WindowManager();
  // A fresh machine has no windows.
  void CreateStandardContent() {}
  // Windows are not part of a machine description.
  void Load(const nlohmann::json& section) {}
  nlohmann::json Dump() const { return nlohmann::json::object(); }

  // ---- Windows ----
  // A dialog from a template of the process's program; 0 (and the last
  // error) when the template does not exist. Hidden until shown.
  win::HWND CreateDialogWindow(SimProcess& process, int templateId, win::HWND owner,
                               win::DialogProcedure& procedure, bool modal);
  // The transient window of a message box while it is up.
  win::HWND CreateMessageBoxWindow(SimProcess& process, win::HWND owner, const std::string& caption,
                                   const std::string& text);
  // Destroys a window with its controls and the windows it owns.
  void Destroy(win::HWND window);

  Window* Find(win::HWND window);
  const Window* Find(win::HWND window) const;
  Window* Control(win::HWND dialog, int controlId);
  // Top-level windows, hidden ones included; titles and class names
  // compared without regard to case; null matches any.
  win::HWND FindTopLevel(const char* className, const char* title) const;
  win::HWND LastActivePopup(win::HWND window) const;
  // The dialog a window belongs to: itself, or the dialog of a control.
  win::HWND DialogOf(win::HWND window) const;
  std::vector<win::HWND> WindowsOfProcess(win::DWORD process) const;

  // Shows, hides, minimises or restores; a change of the iconic state asks
  // the window to repaint.
  bool Show(win::HWND window, int command);
  void Activate(win::HWND window);
  win::HWND foreground = 0;

  // ---- Messages ----
  // Delivers a message on the calling thread (the window's own thread):
  // the dialog's procedure with the standard dialog handling behind it,
  // or the control's own behaviour.
  win::LRESULT Deliver(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
  // SendMessage: direct on the window's thread, else queued for that thread
  // while the caller waits for the reply (and serves messages sent to it).
  win::LRESULT Send(SimProcess& caller, win::HWND window, win::UINT message, win::WPARAM wParam,
                    win::LPARAM lParam);
  // PostMessage: queued for the window's thread (or the caller's own thread
  // when window is 0). False for a window that does not exist.
  bool Post(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

  // Runs the modal loop of a dialog on the calling thread until it ended.
  void RunModalLoop(SimProcess& process, win::HWND dialog);

  // ---- Timers ----
  win::UINT_PTR SetTimer(win::HWND window, win::UINT_PTR timerId, win::UINT elapse);
  bool KillTimer(win::HWND window, win::UINT_PTR timerId);

  // ---- User input (what the scripted user does to a window) ----
  // A mouse click on a control: nothing when it or its dialog is disabled.
  bool UserClick(win::HWND control);
  // A key pressed while the dialog is active.
  bool UserKey(win::HWND window, win::WPARAM virtualKey);
  // A system-menu command chosen by the user (Close, Minimize, Restore).
  bool UserSystemCommand(win::HWND window, win::WPARAM command);

  // ---- Cursor, icons, painting ----
  win::HCURSOR cursor = 0;
  static std::string CursorName(win::HCURSOR cursor);
  const RcScript& ScriptOf(const ProgramImage& image);
  win::HDC BeginPaint(win::HWND window);
  win::HWND WindowOfDc(win::HDC dc) const;
  void EndPaint(win::HDC dc);
  // Client area in pixels from the template size in dialog units.
  win::RECT ClientRect(const Window& window) const;

  // ---- Ends of threads and processes ----
  // Windows die with the thread that made them; pending sends to them end.
  void ThreadEnded(std::thread::id thread);
  void ProcessEnded(win::DWORD process);

  // Counts every change a user could see (texts, states, rows, windows):
  // lets an interactive user be asked again only after something changed.
  std::uint64_t changeCount = 0;

 private:
  struct SentMessage {
    win::HWND window;
    win::UINT message;
    win::WPARAM wParam;
    win::LPARAM lParam;
    win::LRESULT result = 0;
    bool done = false;
  };
  struct ThreadQueue {
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::deque<win::MSG> posted;
  };
  struct Timer {
    win::HWND window;
    std::thread::id thread;
    win::UINT_PTR id;
    win::UINT elapse;
    std::int64_t due;
  };

  win::HWND NewHandle();
  Window& AddWindow(SimProcess& process, WindowKind kind);
  SimProcess* ProcessById(win::DWORD id) const;
  bool ProcessGone(win::DWORD id) const;
  bool HasWork(std::thread::id thread) const;
  bool ServeOneSent(std::thread::id thread);
  void DispatchFromLoop(const win::MSG& message, win::HWND modalDialog);
  win::LRESULT DefaultDialogMessage(win::HWND dialog, win::UINT message, win::WPARAM wParam,
                                    win::LPARAM lParam);
  win::LRESULT ControlMessage(win::HWND control, win::UINT message, win::WPARAM wParam,
                              win::LPARAM lParam);
  win::LRESULT ProgressBarMessage(Window& bar, win::UINT message, win::WPARAM wParam,
                                  win::LPARAM lParam);
  win::LRESULT ButtonMessage(Window& button, win::UINT message, win::WPARAM wParam,
                             win::LPARAM lParam);
  win::LRESULT ListBoxMessage(Window& list, win::UINT message, win::WPARAM wParam,
                              win::LPARAM lParam);
  win::LRESULT TextMessage(Window& window, win::UINT message, win::WPARAM wParam,
                           win::LPARAM lParam, bool* handled);
  void RecordProgress(const Window& bar, const char* action);
  // The command button of a key: IDCANCEL for Escape, the default push
  // button (or IDOK) for Enter. False when that button is disabled.
  bool KeyCommand(win::HWND dialog, win::WPARAM key, int* id, win::HWND* button);
  std::optional<std::int64_t> NextTimerDue(std::thread::id thread) const;

  SimMachine& machine_;
  std::map<win::HWND, std::unique_ptr<Window>> windows_;
  std::map<std::thread::id, ThreadQueue> queues_;
  std::vector<Timer> timers_;
  std::map<win::HDC, win::HWND> paintDcs_;
  std::map<const ProgramImage*, RcScript> scripts_;
  win::HWND nextHandle_ = 0x10010;
  win::HDC nextDc_ = 0x7000010;
  std::uint64_t nextActivation_ = 1;
};

}  // namespace sim
