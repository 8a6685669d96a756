#include "common/bounded_path.h"

std::optional<std::string> FitPath(SetupLog& log, std::size_t size, const std::string& text) {
  if (text.size() + 1 <= size) return text;
  log.WriteLog("PATH TOO LONG, SKIPPED : %s", text.c_str());
  return std::nullopt;
}
