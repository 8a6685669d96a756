// The last error of the calling simulated thread (each simulated thread is
// an OS thread of its own).
#pragma once

#include "platform/win_types.h"

namespace sim {

win::DWORD GetLastError();
void SetLastError(win::DWORD code);

// Sets the last error and returns FALSE: the usual end of a failing call.
inline win::BOOL Fail(win::DWORD code) {
  SetLastError(code);
  return win::FALSE;
}

}  // namespace sim
