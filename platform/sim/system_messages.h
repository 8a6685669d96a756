// The English (United States) system message texts of the error codes the
// programs meet, as FormatMessageA returns them (each ends with CR LF).
#pragma once

#include <optional>
#include <string>

#include "platform/win_types.h"

namespace sim {

std::optional<std::string> SystemMessageText(win::DWORD code);

}  // namespace sim
