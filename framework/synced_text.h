// A text that one thread writes and another reads: the worker sets the
// progress message while the user-interface thread shows it. A lock hands it
// over whole, so the reader never sees a half-written or released string.
#pragma once

#include <mutex>
#include <string>

namespace fw {

class SyncedText {
 public:
  SyncedText() = default;
  SyncedText& operator=(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    text_ = text;
    return *this;
  }
  std::string Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

}  // namespace fw
