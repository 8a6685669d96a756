#include "platform/sim/security_objects.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>

namespace sim {
namespace security_objects {
namespace {

// The objects of every simulated process live in one registry: the pointers
// are unique anyway, and a pointer from another process is as good as any
// other live one for the checks made here.
struct Registry {
  std::mutex mutex;
  std::map<const void*, std::unique_ptr<SecurityObject>> blocks;  // what LocalFree frees
  std::map<const void*, const SecurityObject*> live;              // blocks and their inner objects
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

void RegisterInner(Registry& registry, const SecurityObject* object) {
  registry.live[object] = object;
  if (auto* descriptor = dynamic_cast<const DescriptorObject*>(object)) {
    registry.live[&descriptor->owner] = &descriptor->owner;
    registry.live[&descriptor->dacl] = &descriptor->dacl;
  }
}

void UnregisterInner(Registry& registry, const SecurityObject* object) {
  registry.live.erase(object);
  if (auto* descriptor = dynamic_cast<const DescriptorObject*>(object)) {
    registry.live.erase(&descriptor->owner);
    registry.live.erase(&descriptor->dacl);
  }
}

template <class T>
const T* FindAs(const void* pointer) {
  if (!pointer) return nullptr;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.mutex);
  auto it = registry.live.find(pointer);
  return it == registry.live.end() ? nullptr : dynamic_cast<const T*>(it->second);
}

}  // namespace

SecurityObject* Adopt(std::unique_ptr<SecurityObject> object) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.mutex);
  SecurityObject* raw = object.get();
  RegisterInner(registry, raw);
  registry.blocks[raw] = std::move(object);
  return raw;
}

const SidObject* FindSid(const void* pointer) { return FindAs<SidObject>(pointer); }
const AclObject* FindAcl(const void* pointer) { return FindAs<AclObject>(pointer); }
const DescriptorObject* FindDescriptor(const void* pointer) {
  return FindAs<DescriptorObject>(pointer);
}

bool Free(void* pointer) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.mutex);
  auto it = registry.blocks.find(pointer);
  if (it == registry.blocks.end()) return false;
  UnregisterInner(registry, it->second.get());
  registry.blocks.erase(it);
  return true;
}

bool FreeSid(void* pointer) {
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    auto it = registry.blocks.find(pointer);
    if (it == registry.blocks.end() || !dynamic_cast<SidObject*>(it->second.get())) return false;
  }
  return Free(pointer);
}

}  // namespace security_objects

namespace {

// Our layout inside win::SECURITY_DESCRIPTOR's opaque bytes.
struct DescriptorBytes {
  std::uint32_t magic;  // kMagic once initialised
  std::uint32_t revision;
  std::uint8_t daclPresent;
  std::uint8_t daclDefaulted;
  std::uint8_t padding[6];
  win::PACL dacl;
};
constexpr std::uint32_t kMagic = 0x53445343;  // "CSDS"
static_assert(sizeof(DescriptorBytes) <= sizeof(win::SECURITY_DESCRIPTOR::opaque));

}  // namespace

void WriteDescriptor(win::SECURITY_DESCRIPTOR& descriptor, const AbsoluteDescriptor& content) {
  DescriptorBytes bytes{};
  bytes.magic = kMagic;
  bytes.revision = content.revision;
  bytes.daclPresent = content.daclPresent ? 1 : 0;
  bytes.daclDefaulted = content.daclDefaulted ? 1 : 0;
  bytes.dacl = content.dacl;
  std::memcpy(descriptor.opaque, &bytes, sizeof bytes);
}

std::optional<AbsoluteDescriptor> ReadDescriptor(const win::SECURITY_DESCRIPTOR& descriptor) {
  DescriptorBytes bytes;
  std::memcpy(&bytes, descriptor.opaque, sizeof bytes);
  if (bytes.magic != kMagic) return std::nullopt;
  return AbsoluteDescriptor{bytes.revision, bytes.daclPresent != 0, bytes.daclDefaulted != 0,
                            bytes.dacl};
}

}  // namespace sim
