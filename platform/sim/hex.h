// Bytes written as hexadecimal digits, the form machine descriptions and
// snapshots give binary data in.
#pragma once

#include <cctype>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace sim {

inline std::string ToHex(const std::vector<win::BYTE>& bytes) {
  std::string hex;
  char two[3];
  for (win::BYTE b : bytes) {
    std::snprintf(two, sizeof two, "%02x", b);
    hex += two;
  }
  return hex;
}

// Digits may be grouped by spaces or other separators, which are skipped.
inline std::vector<win::BYTE> FromHex(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  }
  if (digits.size() % 2) throw std::runtime_error("odd number of hex digits: " + text);
  std::vector<win::BYTE> bytes;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<win::BYTE>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

}  // namespace sim
