// The user-interface services over user32: dialogs from the program's
// templates with our own modal loop, messages, windows, message boxes.
#pragma once

#include "platform/user.h"

namespace win32 {

class Win32User : public win::User {
 public:
  // Registers the common controls (the progress bar's window class).
  Win32User();

  win::INT_PTR RunModalDialog(int templateId, win::HWND owner,
                              win::DialogProcedure& procedure) override;
  win::HWND CreateDialogParamA(int templateId, win::HWND parent,
                               win::DialogProcedure& procedure) override;
  win::BOOL EndDialog(win::HWND dialog, win::INT_PTR result) override;
  win::BOOL DestroyWindow(win::HWND window) override;

  win::LRESULT SendMessageA(win::HWND window, win::UINT message, win::WPARAM wParam,
                            win::LPARAM lParam) override;
  win::BOOL PostMessageA(win::HWND window, win::UINT message, win::WPARAM wParam,
                         win::LPARAM lParam) override;

  win::HWND GetDlgItem(win::HWND dialog, int controlId) override;
  win::BOOL SetWindowTextA(win::HWND window, const char* text) override;
  int GetWindowTextA(win::HWND window, char* buffer, int size) override;
  win::BOOL EnableWindow(win::HWND window, win::BOOL enable) override;
  win::BOOL IsWindowEnabled(win::HWND window) override;
  win::HWND FindWindowA(const char* className, const char* windowName) override;
  win::HWND GetLastActivePopup(win::HWND window) override;
  win::BOOL IsIconic(win::HWND window) override;
  win::BOOL ShowWindow(win::HWND window, int command) override;
  win::BOOL SetForegroundWindow(win::HWND window) override;

  int MessageBoxA(win::HWND owner, const char* text, const char* caption,
                  win::UINT type) override;

  win::HCURSOR LoadCursorA(win::UINT systemCursorId) override;
  win::HCURSOR SetCursor(win::HCURSOR cursor) override;
  win::HICON LoadIconA(win::UINT resourceId) override;
  win::HMENU GetSystemMenu(win::HWND window, win::BOOL revert) override;
  win::BOOL DeleteMenu(win::HMENU menu, win::UINT item, win::UINT flags) override;
  win::UINT_PTR SetTimer(win::HWND window, win::UINT_PTR timerId, win::UINT elapse) override;
  win::BOOL KillTimer(win::HWND window, win::UINT_PTR timerId) override;

  int GetSystemMetrics(int index) override;
  win::BOOL GetClientRect(win::HWND window, win::RECT* rect) override;
  win::HDC BeginPaint(win::HWND window, win::PAINTSTRUCT* paint) override;
  win::BOOL EndPaint(win::HWND window, const win::PAINTSTRUCT* paint) override;
  win::BOOL DrawIcon(win::HDC dc, int x, int y, win::HICON icon) override;
};

}  // namespace win32
