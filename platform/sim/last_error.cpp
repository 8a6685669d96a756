#include "platform/sim/last_error.h"

namespace sim {
namespace {
thread_local win::DWORD lastError = 0;
}

win::DWORD GetLastError() { return lastError; }
void SetLastError(win::DWORD code) { lastError = code; }

}  // namespace sim
