#include "common/product_profile.h"

#include <cstdlib>

std::string ProductProfile::Load(ProductProfileId id) const {
  char text[512] = {};
  int length = kernel_.LoadStringA(id, text, sizeof text);
  return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

unsigned long DecimalValue(const std::string& text) {
  return std::strtoul(text.c_str(), nullptr, 10);
}
