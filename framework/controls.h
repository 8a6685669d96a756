// Controls of a dialog, bound to their windows by the data exchange.
#pragma once

#include "platform/platform.h"

namespace fw {

class Control {
 public:
  explicit Control(win::User& user) : user_(user) {}
  win::HWND hwnd() const { return hwnd_; }
  void Attach(win::HWND hwnd) { hwnd_ = hwnd; }
  win::LRESULT Send(win::UINT message, win::WPARAM wParam = 0, win::LPARAM lParam = 0) const {
    return user_.SendMessageA(hwnd_, message, wParam, lParam);
  }
  void Enable(bool enable) const { user_.EnableWindow(hwnd_, enable ? win::TRUE : win::FALSE); }

 protected:
  win::User& user_;
  win::HWND hwnd_ = 0;
};

// A progress bar; its messages are sent, so a call from another thread
// waits until the dialog's thread has handled it.
class ProgressBar : public Control {
 public:
  using Control::Control;
};

class Button : public Control {
 public:
  using Control::Control;
};

}  // namespace fw
