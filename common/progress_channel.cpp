#include "common/progress_channel.h"

void ProgressChannel::Report(const std::string& text, Bar bar, win::DWORD pauseMs) {
  SetText(text);
  if (bar == Bar::Step) Step();
  if (bar == Bar::Finish) Finish();
  PostRefresh();
  if (pauseMs > 0) Pause(pauseMs);
}
