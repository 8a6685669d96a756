// The product's numbered strings, compiled into each program as its string
// table: every name, file, key and version number that a step needs.
#pragma once

#include <cstdint>
#include <string>

#include "platform/kernel.h"

using ProductProfileId = std::uint16_t;

class ProductProfile {
 public:
  explicit ProductProfile(win::Kernel& kernel) : kernel_(kernel) {}

  // The string of `id`; an id the table lacks gives the empty string.
  std::string Load(ProductProfileId id) const;

 private:
  win::Kernel& kernel_;
};

// A decimal number at the start of a text (0 when there is none).
unsigned long DecimalValue(const std::string& text);
