// Paths and keys built in fixed buffers. A text that does not fit its
// buffer is never acted on in a cut form (a cut path can name another file
// or key): the step logs the refusal and skips that one operation.
#pragma once

#include <optional>
#include <string>

#include "common/setup_log.h"

// The concatenation of `parts` when it fits a buffer of `size` bytes
// (terminating zero included); otherwise logs "PATH TOO LONG, SKIPPED : %s"
// with the whole text and gives nothing.
std::optional<std::string> FitPath(SetupLog& log, std::size_t size, const std::string& text);
