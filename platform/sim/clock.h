// The machine's virtual clock: milliseconds since the machine's start time.
// Sleep advances it at once; the local time that programs read comes from it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace sim {

class Clock {
 public:
  // Start time as "YYYY-MM-DD HH:MM:SS" (local time of the machine).
  void SetStart(const std::string& start);
  std::string Start() const;

  std::int64_t Now() const { return now_; }
  void Advance(std::int64_t milliseconds) { now_ += milliseconds; }
  void AdvanceTo(std::int64_t milliseconds) {
    if (milliseconds > now_) now_ = milliseconds;
  }

  win::SYSTEMTIME LocalTime() const;

  // Interactive runs: Sleep also waits in real time (scaled; 0 = no wait).
  double realTimeFactor = 0.0;

 private:
  std::int64_t startSeconds_ = 0;  // seconds since 1970-01-01 of the start time
  std::int64_t now_ = 0;
};

}  // namespace sim
