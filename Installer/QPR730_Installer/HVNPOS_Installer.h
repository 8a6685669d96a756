// The installer's application object: single-instance start and the modal
// run of the InstallerDialog.
#pragma once

#include "platform/platform.h"

// Entry of the installer on any platform: what the framework does from the
// program's start to its end. Returns the process exit status.
int InstallerMain(win::Platform& platform);
