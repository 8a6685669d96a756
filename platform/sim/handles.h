// The handle table of a simulated process: every handle a call hands out
// (files, finders, keys, processes, threads, tokens, printers, INF files,
// device lists) refers to an object of the call's own kind.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

namespace sim {

class HandleObject {
 public:
  virtual ~HandleObject() = default;
};

class HandleTable {
 public:
  std::uintptr_t Add(std::shared_ptr<HandleObject> object) {
    std::uintptr_t handle = next_;
    next_ += 4;  // handles are multiples of four, as on Windows
    objects_[handle] = std::move(object);
    return handle;
  }

  template <class T>
  std::shared_ptr<T> Get(std::uintptr_t handle) const {
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : std::dynamic_pointer_cast<T>(it->second);
  }

  bool Close(std::uintptr_t handle) { return objects_.erase(handle) > 0; }
  std::size_t Count() const { return objects_.size(); }

 private:
  std::uintptr_t next_ = 0x100;
  std::map<std::uintptr_t, std::shared_ptr<HandleObject>> objects_;
};

}  // namespace sim
