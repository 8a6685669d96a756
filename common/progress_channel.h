// How worker code reports progress to its program's main dialog: it sets the
// message text, steps or fills the progress bar (sent: waits for the dialog's
// thread), posts WM_PROGRESS_REFRESH to the main window (does not wait) and
// pauses so that the message stays visible.
#pragma once

#include <string>

#include "framework/application.h"
#include "framework/controls.h"
#include "framework/synced_text.h"

// Tells the main dialog to show its message and version texts.
constexpr win::UINT WM_PROGRESS_REFRESH = win::WM_USER + 1;

class ProgressChannel {
 public:
  enum class Bar { Keep, Step, Finish };

  ProgressChannel(fw::Application& app, fw::SyncedText& messageText, fw::ProgressBar& progressBar)
      : app_(app), messageText_(messageText), progressBar_(progressBar) {}

  // Sets the text, moves the bar, posts the refresh, then pauses (0: none).
  void Report(const std::string& text, Bar bar, win::DWORD pauseMs);

  void SetText(const std::string& text) { messageText_ = text; }
  void Step() { progressBar_.Send(win::PBM_STEPIT); }
  void Finish() { progressBar_.Send(win::PBM_SETPOS, 100); }
  void PostRefresh() {
    app_.platform.user.PostMessageA(app_.MainWindow(), WM_PROGRESS_REFRESH, 0, 0);
  }
  void Pause(win::DWORD ms) { app_.platform.kernel.Sleep(ms); }

 private:
  fw::Application& app_;
  fw::SyncedText& messageText_;
  fw::ProgressBar& progressBar_;
};
