// Conversions between the platform's integer handles and the real Windows
// handle types. Included by the .cpp files of this folder only, after
// <windows.h>.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace win32 {

template <typename Real>
inline Real ToReal(std::uintptr_t handle) {
  return reinterpret_cast<Real>(handle);
}

template <typename Real>
inline std::uintptr_t FromReal(Real handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

// The predefined keys are small negative numbers that Windows sign-extends
// to the pointer width (HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002 in a 64-bit
// process); the platform spells them as 32-bit values.
inline HKEY ToRealKey(win::HKEY key) {
  if (key >= 0x80000000u && key <= 0x800000FFu) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(key)));
  }
  return reinterpret_cast<HKEY>(key);
}

// An empty string of a record stands for a NULL pointer.
inline char* TextOrNull(const std::string& text) {
  return text.empty() ? nullptr : const_cast<char*>(text.c_str());
}

inline std::string TextOf(const char* text) { return text ? std::string(text) : std::string(); }

}  // namespace win32
