#include "platform/win32/win32_user.h"

#include <windows.h>
#include <commctrl.h>

#include "platform/win32/win32_casts.h"

namespace win32 {

namespace {

// What a dialog window knows of its program-side procedure. A modal run
// keeps it on its stack; a modeless dialog owns it until WM_NCDESTROY.
struct DialogState {
  win::DialogProcedure* procedure = nullptr;
  bool modal = false;
  bool* attached = nullptr;  // set while CreateDialogParam runs
  bool ended = false;        // touched by the dialog's own thread only
  INT_PTR result = 0;
};

// EndDialog may come from another thread: it posts this message, and the
// dialog's thread marks the end when the message arrives.
UINT EndDialogMessage() {
  static const UINT message = ::RegisterWindowMessageA("Win32User.EndDialog");
  return message;
}

// Messages whose dialog-procedure result is the value itself; all others
// return it through DWLP_MSGRESULT.
bool ReturnsValueDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
      return true;
    default:
      return false;
  }
}

INT_PTR CALLBACK ForwardingDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DialogState*>(::GetWindowLongPtrA(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<DialogState*>(lParam);
    ::SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    if (state->attached != nullptr) *state->attached = true;
  }
  if (state == nullptr) return FALSE;  // messages before WM_INITDIALOG

  if (message == EndDialogMessage()) {
    // Taken out of the queue by some other loop (a message box of this
    // thread): mark the end and wake the modal loop.
    state->ended = true;
    state->result = static_cast<INT_PTR>(wParam);
    if (state->modal) {
      ::PostMessageA(window, WM_NULL, 0, 0);
    } else {
      ::ShowWindow(window, SW_HIDE);
    }
    return TRUE;
  }

  win::LRESULT result = 0;
  bool handled = state->procedure->HandleMessage(FromReal(window), message, wParam, lParam,
                                                 &result);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(window, DWLP_USER, 0);
    if (!state->modal) delete state;
    return FALSE;
  }
  if (!handled) return FALSE;
  if (ReturnsValueDirectly(message)) return static_cast<INT_PTR>(result);
  ::SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
  return TRUE;
}

// `attached` tells whether the window took the state over (WM_INITDIALOG).
HWND CreateDialogFromTemplate(int templateId, HWND parent, DialogState* state, bool* attached) {
  *attached = false;
  state->attached = attached;
  HWND dialog = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId),
                                     parent, ForwardingDialogProc,
                                     reinterpret_cast<LPARAM>(state));
  if (dialog != nullptr) state->attached = nullptr;
  return dialog;
}

}  // namespace

Win32User::Win32User() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
  ::InitCommonControlsEx(&controls);
}

win::INT_PTR Win32User::RunModalDialog(int templateId, win::HWND owner,
                                       win::DialogProcedure& procedure) {
  DialogState state;
  state.procedure = &procedure;
  state.modal = true;
  HWND ownerWindow = ToReal<HWND>(owner);
  bool attached = false;
  HWND dialog = CreateDialogFromTemplate(templateId, ownerWindow, &state, &attached);
  if (dialog == nullptr) return -1;

  if (ownerWindow != nullptr) ::EnableWindow(ownerWindow, FALSE);
  if (!state.ended) ::ShowWindow(dialog, SW_SHOWNORMAL);

  // The modal loop: the procedure sees every message first, then the
  // standard dialog keys, then the normal dispatch.
  MSG message;
  while (!state.ended) {
    BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(message.wParam));  // for the caller's loop
      break;
    }
    if (got == -1) break;
    if (message.message == EndDialogMessage() && message.hwnd == dialog) {
      state.ended = true;
      state.result = static_cast<INT_PTR>(message.wParam);
      break;
    }
    win::MSG ours{FromReal(message.hwnd), message.message, message.wParam, message.lParam};
    if (procedure.PreTranslateMessage(ours)) continue;
    if (::IsDialogMessageA(dialog, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }

  // The owner is enabled again before the dialog goes, so that it gets the
  // activation back.
  if (ownerWindow != nullptr) ::EnableWindow(ownerWindow, TRUE);
  ::DestroyWindow(dialog);
  return state.result;
}

win::HWND Win32User::CreateDialogParamA(int templateId, win::HWND parent,
                                        win::DialogProcedure& procedure) {
  auto* state = new DialogState;
  state->procedure = &procedure;
  bool attached = false;
  HWND dialog = CreateDialogFromTemplate(templateId, ToReal<HWND>(parent), state, &attached);
  // A window that took the state over frees it when it is destroyed.
  if (dialog == nullptr && !attached) delete state;
  return FromReal(dialog);
}

win::BOOL Win32User::EndDialog(win::HWND dialog, win::INT_PTR result) {
  return ::PostMessageA(ToReal<HWND>(dialog), EndDialogMessage(), static_cast<WPARAM>(result), 0);
}

win::BOOL Win32User::DestroyWindow(win::HWND window) {
  return ::DestroyWindow(ToReal<HWND>(window));
}

win::LRESULT Win32User::SendMessageA(win::HWND window, win::UINT message, win::WPARAM wParam,
                                     win::LPARAM lParam) {
  return ::SendMessageA(ToReal<HWND>(window), message, wParam, lParam);
}

win::BOOL Win32User::PostMessageA(win::HWND window, win::UINT message, win::WPARAM wParam,
                                  win::LPARAM lParam) {
  return ::PostMessageA(ToReal<HWND>(window), message, wParam, lParam);
}

win::HWND Win32User::GetDlgItem(win::HWND dialog, int controlId) {
  return FromReal(::GetDlgItem(ToReal<HWND>(dialog), controlId));
}
win::BOOL Win32User::SetWindowTextA(win::HWND window, const char* text) {
  return ::SetWindowTextA(ToReal<HWND>(window), text);
}
int Win32User::GetWindowTextA(win::HWND window, char* buffer, int size) {
  return ::GetWindowTextA(ToReal<HWND>(window), buffer, size);
}
win::BOOL Win32User::EnableWindow(win::HWND window, win::BOOL enable) {
  return ::EnableWindow(ToReal<HWND>(window), enable);
}
win::BOOL Win32User::IsWindowEnabled(win::HWND window) {
  return ::IsWindowEnabled(ToReal<HWND>(window));
}
win::HWND Win32User::FindWindowA(const char* className, const char* windowName) {
  return FromReal(::FindWindowA(className, windowName));
}
win::HWND Win32User::GetLastActivePopup(win::HWND window) {
  return FromReal(::GetLastActivePopup(ToReal<HWND>(window)));
}
win::BOOL Win32User::IsIconic(win::HWND window) { return ::IsIconic(ToReal<HWND>(window)); }
win::BOOL Win32User::ShowWindow(win::HWND window, int command) {
  return ::ShowWindow(ToReal<HWND>(window), command);
}
win::BOOL Win32User::SetForegroundWindow(win::HWND window) {
  return ::SetForegroundWindow(ToReal<HWND>(window));
}

int Win32User::MessageBoxA(win::HWND owner, const char* text, const char* caption,
                           win::UINT type) {
  return ::MessageBoxA(ToReal<HWND>(owner), text, caption, type);
}

win::HCURSOR Win32User::LoadCursorA(win::UINT systemCursorId) {
  return FromReal(::LoadCursorA(nullptr, MAKEINTRESOURCEA(systemCursorId)));
}
win::HCURSOR Win32User::SetCursor(win::HCURSOR cursor) {
  return FromReal(::SetCursor(ToReal<HCURSOR>(cursor)));
}
win::HICON Win32User::LoadIconA(win::UINT resourceId) {
  return FromReal(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId)));
}
win::HMENU Win32User::GetSystemMenu(win::HWND window, win::BOOL revert) {
  return FromReal(::GetSystemMenu(ToReal<HWND>(window), revert));
}
win::BOOL Win32User::DeleteMenu(win::HMENU menu, win::UINT item, win::UINT flags) {
  return ::DeleteMenu(ToReal<HMENU>(menu), item, flags);
}
win::UINT_PTR Win32User::SetTimer(win::HWND window, win::UINT_PTR timerId, win::UINT elapse) {
  return ::SetTimer(ToReal<HWND>(window), timerId, elapse, nullptr);
}
win::BOOL Win32User::KillTimer(win::HWND window, win::UINT_PTR timerId) {
  return ::KillTimer(ToReal<HWND>(window), timerId);
}

int Win32User::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

win::BOOL Win32User::GetClientRect(win::HWND window, win::RECT* rect) {
  RECT real{};
  BOOL ok = ::GetClientRect(ToReal<HWND>(window), &real);
  *rect = {real.left, real.top, real.right, real.bottom};
  return ok;
}

win::HDC Win32User::BeginPaint(win::HWND window, win::PAINTSTRUCT* paint) {
  PAINTSTRUCT real{};
  HDC dc = ::BeginPaint(ToReal<HWND>(window), &real);
  paint->hdc = FromReal(dc);
  paint->fErase = real.fErase;
  paint->rcPaint = {real.rcPaint.left, real.rcPaint.top, real.rcPaint.right,
                    real.rcPaint.bottom};
  return paint->hdc;
}

win::BOOL Win32User::EndPaint(win::HWND window, const win::PAINTSTRUCT* paint) {
  // EndPaint needs the device context of BeginPaint; the other fields of
  // the real record are not read back.
  PAINTSTRUCT real{};
  real.hdc = ToReal<HDC>(paint->hdc);
  real.fErase = paint->fErase;
  real.rcPaint = {paint->rcPaint.left, paint->rcPaint.top, paint->rcPaint.right,
                  paint->rcPaint.bottom};
  return ::EndPaint(ToReal<HWND>(window), &real);
}

win::BOOL Win32User::DrawIcon(win::HDC dc, int x, int y, win::HICON icon) {
  return ::DrawIcon(ToReal<HDC>(dc), x, y, ToReal<HICON>(icon));
}

}  // namespace win32
