#include "common/busy_rules.h"

bool PreTranslateBusyMessage(win::User& user, win::HWND dialog, bool showBusy, bool swallowEscape,
                             const win::MSG& message) {
  if (showBusy) {
    user.SetCursor(user.LoadCursorA(win::IDC_WAIT));
    // Once gone, the Close item never comes back.
    user.DeleteMenu(user.GetSystemMenu(dialog, win::FALSE), win::SC_CLOSE, win::MF_BYCOMMAND);
  } else {
    user.SetCursor(user.LoadCursorA(win::IDC_ARROW));
  }
  // Whatever the message's type: only its wParam is looked at.
  return swallowEscape && message.wParam == win::VK_ESCAPE;
}
