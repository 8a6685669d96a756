// User-interface services: dialogs from the program's templates with a modal
// loop that lets the dialog pre-translate its messages, messages between
// threads, controls, windows of other programs, message boxes, cursors,
// system menu, timers and painting.
#pragma once

#include "platform/win_constants.h"
#include "platform/win_types.h"

namespace win {

// The program's side of a dialog window: what the framework's dialog class
// answers for the window procedure and the modal loop.
class DialogProcedure {
 public:
  virtual ~DialogProcedure() = default;
  // A message for the dialog window (WM_INITDIALOG, WM_COMMAND, WM_TIMER,
  // WM_PAINT, WM_QUERYDRAGICON, the program's own messages ...). Returns true
  // when handled, with the message result in *result; false lets the
  // standard dialog handling run.
  virtual bool HandleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                             LRESULT* result) = 0;
  // Every message the modal loop takes from the queue, before the standard
  // dialog handling; true swallows it.
  virtual bool PreTranslateMessage(const MSG& message) = 0;
};

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
};

class User {
 public:
  virtual ~User() = default;

  // Dialogs built from the program's dialog templates (resource ids).
  // RunModalDialog creates the dialog, sends WM_INITDIALOG, shows it and runs
  // the modal loop until EndDialog; it returns the EndDialog result.
  virtual INT_PTR RunModalDialog(int templateId, HWND owner, DialogProcedure& procedure) = 0;
  // A modeless dialog, hidden unless its template says visible.
  virtual HWND CreateDialogParamA(int templateId, HWND parent, DialogProcedure& procedure) = 0;
  // Ends a modal dialog; may be called from any thread of the program.
  virtual BOOL EndDialog(HWND dialog, INT_PTR result) = 0;
  virtual BOOL DestroyWindow(HWND window) = 0;

  // Messages. SendMessageA to a window of another thread waits until that
  // thread has handled it; PostMessageA does not wait.
  virtual LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
  virtual BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

  // Controls and windows.
  virtual HWND GetDlgItem(HWND dialog, int controlId) = 0;
  virtual BOOL SetWindowTextA(HWND window, const char* text) = 0;
  virtual int GetWindowTextA(HWND window, char* buffer, int size) = 0;
  virtual BOOL EnableWindow(HWND window, BOOL enable) = 0;
  virtual BOOL IsWindowEnabled(HWND window) = 0;
  virtual HWND FindWindowA(const char* className, const char* windowName) = 0;
  virtual HWND GetLastActivePopup(HWND window) = 0;
  virtual BOOL IsIconic(HWND window) = 0;
  virtual BOOL ShowWindow(HWND window, int command) = 0;
  virtual BOOL SetForegroundWindow(HWND window) = 0;

  // A message box owned by `owner`, shown from the calling thread.
  virtual int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) = 0;

  // Cursors (system cursors by id), the program's icons, system menu, timers.
  virtual HCURSOR LoadCursorA(UINT systemCursorId) = 0;
  virtual HCURSOR SetCursor(HCURSOR cursor) = 0;
  virtual HICON LoadIconA(UINT resourceId) = 0;
  virtual HMENU GetSystemMenu(HWND window, BOOL revert) = 0;
  virtual BOOL DeleteMenu(HMENU menu, UINT item, UINT flags) = 0;
  virtual UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapse) = 0;
  virtual BOOL KillTimer(HWND window, UINT_PTR timerId) = 0;

  // Painting.
  virtual int GetSystemMetrics(int index) = 0;
  virtual BOOL GetClientRect(HWND window, RECT* rect) = 0;
  virtual HDC BeginPaint(HWND window, PAINTSTRUCT* paint) = 0;
  virtual BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) = 0;
  virtual BOOL DrawIcon(HDC dc, int x, int y, HICON icon) = 0;
};

}  // namespace win
