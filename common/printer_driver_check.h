// Whether a printer driver of a given name is installed for the program's
// own spooler environment.
#pragma once

#include <string>

#include "common/progress_channel.h"
#include "common/setup_log.h"
#include "platform/platform.h"

// True when an installed driver has exactly this name (case-sensitive). A
// failing enumeration counts as an absent driver. With `progress` (the
// installer), "Checking existing drivers..." is reported first.
bool PrinterDrvExist(win::Platform& platform, SetupLog& log, const std::string& driverName,
                     ProgressChannel* progress);
