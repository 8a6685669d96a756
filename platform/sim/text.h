// Letter case of 8-bit ANSI texts, for the case-insensitive names of the
// simulated machine (paths, keys, sections, modules, commands).
#pragma once

#include <cctype>
#include <string>

namespace sim {

inline std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

inline std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace sim
