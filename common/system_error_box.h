// The system-error box: a heading with the error code, followed by the
// system's English text for the code, with the error icon.
#pragma once

#include "framework/application.h"

// `heading` holds one "%d" for the code.
void ShowSystemErrorBox(fw::Application& app, const char* heading, win::DWORD code);
