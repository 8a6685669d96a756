// The data section that every process of one program file shares (the
// section "DataSeg" of the program file on Windows).
#pragma once

#include <cstdint>

namespace win {

struct InstanceSection {
  // Starts of the program since the section was created; never decremented.
  volatile std::int32_t instanceCount;
  // Window titles of the program, in the order a later instance looks for
  // them; unused entries are empty.
  char titles[3][64];
};

}  // namespace win
