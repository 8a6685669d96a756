// What the simulated security calls hand out behind the opaque pointers of
// the Windows API: PSID, PACL, a self-contained PSECURITY_DESCRIPTOR (from
// GetSecurityInfo), and the layout we give the caller-owned
// win::SECURITY_DESCRIPTOR (InitializeSecurityDescriptor).
//
// Every object handed out is registered while it lives, so a pointer that a
// program passes back can be checked before it is used, and LocalFree /
// FreeSid can tell what they are asked to free. Objects inside a descriptor
// (its owner SID and DACL) are registered as well, but only the descriptor
// itself can be freed.
#pragma once

#include <memory>
#include <optional>

#include "platform/sim/access_control.h"
#include "platform/win_types.h"

namespace sim {

struct SecurityObject {
  virtual ~SecurityObject() = default;
};

struct SidObject : SecurityObject {
  Sid sid;
};

struct AclObject : SecurityObject {
  Acl acl;
};

// A descriptor as GetSecurityInfo returns it: one block holding the owner and
// the DACL that the returned PSID and PACL point into.
struct DescriptorObject : SecurityObject {
  SidObject owner;
  bool daclPresent = false;  // false: the DACL was not asked for, or is null
  AclObject dacl;
};

namespace security_objects {

// Registers a block the program may free with LocalFree (or FreeSid); its
// inner objects are registered too. Returns the block's address.
SecurityObject* Adopt(std::unique_ptr<SecurityObject> object);

// The live object behind a pointer, or null when the pointer is none of ours.
const SidObject* FindSid(const void* pointer);
const AclObject* FindAcl(const void* pointer);
const DescriptorObject* FindDescriptor(const void* pointer);

// Frees a block handed out by Adopt; false when the pointer is not one.
bool Free(void* pointer);
// Frees a SID block only (FreeSid).
bool FreeSid(void* pointer);

}  // namespace security_objects

// The content of a caller-owned win::SECURITY_DESCRIPTOR, stored in its
// opaque bytes by InitializeSecurityDescriptor and SetSecurityDescriptorDacl.
struct AbsoluteDescriptor {
  win::DWORD revision = 0;
  bool daclPresent = false;
  bool daclDefaulted = false;
  win::PACL dacl = nullptr;
};
void WriteDescriptor(win::SECURITY_DESCRIPTOR& descriptor, const AbsoluteDescriptor& content);
// Empty when the bytes were never initialised by InitializeSecurityDescriptor.
std::optional<AbsoluteDescriptor> ReadDescriptor(const win::SECURITY_DESCRIPTOR& descriptor);

}  // namespace sim
