#include "common/system_error_box.h"

#include <cstdio>
#include <string>

void ShowSystemErrorBox(fw::Application& app, const char* heading, win::DWORD code) {
  char text[256];
  std::snprintf(text, sizeof text, heading, static_cast<int>(code));
  std::string message = text;
  std::string systemText;
  if (app.platform.kernel.FormatMessageA(
          win::FORMAT_MESSAGE_ALLOCATE_BUFFER | win::FORMAT_MESSAGE_FROM_SYSTEM, code,
          win::LANG_ENGLISH_US, &systemText) > 0) {
    message += systemText;
  }
  app.MessageBox(message, win::MB_OK | win::MB_ICONERROR);
}
