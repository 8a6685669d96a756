// What the main dialog of either program does with each message its modal
// loop takes while the setup work runs: the wait cursor, the Close item of
// the system menu removed for good, and Escape swallowed.
#pragma once

#include "platform/user.h"

// `showBusy`: the work runs (wait cursor, no Close item); `swallowEscape`:
// a message carrying the Escape key code is reported as handled. Returns
// true when the message is swallowed.
bool PreTranslateBusyMessage(win::User& user, win::HWND dialog, bool showBusy, bool swallowEscape,
                             const win::MSG& message);
