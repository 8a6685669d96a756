// Security identifiers, access lists, security descriptors, the process
// token and the access check, as Windows defines them for registry keys and
// files. Shared by the simulated registry and file system.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace sim {

// A SID in its string form, for example "S-1-5-32-544".
using Sid = std::string;

namespace sids {
inline const Sid kEveryone = "S-1-1-0";
inline const Sid kCreatorOwner = "S-1-3-0";
inline const Sid kSystem = "S-1-5-18";
inline const Sid kAuthenticatedUsers = "S-1-5-11";
inline const Sid kInteractive = "S-1-5-4";
inline const Sid kAdministrators = "S-1-5-32-544";
inline const Sid kUsers = "S-1-5-32-545";
inline const Sid kPowerUsers = "S-1-5-32-547";
}  // namespace sids

enum class AceType { Allow, Deny };

struct Ace {
  AceType type = AceType::Allow;
  win::ACCESS_MASK mask = 0;
  win::DWORD flags = 0;  // OBJECT_INHERIT_ACE, CONTAINER_INHERIT_ACE, INHERIT_ONLY_ACE, INHERITED_ACE ...
  Sid sid;
  bool operator==(const Ace&) const = default;
};

struct Acl {
  std::vector<Ace> aces;
  bool operator==(const Acl&) const = default;
};

// Owner and DACL of a key or file. No DACL (a "null DACL") grants everyone
// everything; an empty DACL grants nothing.
struct SecurityDescriptor {
  Sid owner = sids::kAdministrators;
  std::optional<Acl> dacl = Acl{};
  bool daclProtected = false;  // inheritable entries of the parent do not flow in
  bool operator==(const SecurityDescriptor&) const = default;
};

// The generic rights of an object type mapped to its specific rights.
struct GenericMapping {
  win::ACCESS_MASK read, write, execute, all;
};
extern const GenericMapping kKeyMapping;
extern const GenericMapping kFileMapping;

struct Privilege {
  bool held = false;
  bool enabled = false;
};

// The token of the simulated processes: an administrator's, not SYSTEM's.
struct Token {
  Sid user = "S-1-5-21-1004336348-1177238915-682003330-1000";
  std::vector<Sid> groups = {sids::kAdministrators, sids::kEveryone, sids::kUsers,
                             sids::kAuthenticatedUsers, sids::kInteractive};
  std::map<std::string, Privilege> privileges;  // by name, e.g. "SeShutdownPrivilege"

  bool Has(const Sid& sid) const;
};

// Maps generic bits of `desired` to specific rights.
win::ACCESS_MASK MapGeneric(win::ACCESS_MASK desired, const GenericMapping& mapping);

// The rights of `desired` (already mapped) that the descriptor grants the
// token, following Windows' rules: deny entries first in list order as
// written, the owner's implicit READ_CONTROL and WRITE_DAC, a null DACL
// granting all. Returns true when every desired right is granted.
bool AccessCheck(const Token& token, const SecurityDescriptor& descriptor,
                 win::ACCESS_MASK desired, const GenericMapping& mapping);

// The entries a new child inherits from its parent's DACL (container or
// object child), marked INHERITED_ACE, with generic rights mapped.
Acl InheritedEntries(const Acl& parent, bool childIsContainer, const GenericMapping& mapping);

// Replaces the inherited entries of `child` by those its parent passes on,
// keeping its explicit entries first (unless the child is protected).
void ReapplyInheritance(SecurityDescriptor& child, const Acl& parentDacl, bool childIsContainer,
                        const GenericMapping& mapping);

// Well-known account names (as LookupAccountName resolves them on an English
// Windows) to SIDs: "Everyone", "SYSTEM", "Administrators", "Users",
// "Authenticated Users", "CREATOR OWNER", "CURRENT_USER" (the token's user).
std::optional<Sid> LookupAccountName(const std::string& name, const Token& token);

// ---- Additions used by the registry, the file system and the security calls ----

// Every right the descriptor grants the token (what MAXIMUM_ALLOWED yields),
// with generic rights mapped.
win::ACCESS_MASK MaximumAllowed(const Token& token, const SecurityDescriptor& descriptor,
                                const GenericMapping& mapping);

// The owner of an object the token creates: the Administrators group for a
// member of it (the default owner of an administrator's token), else the user.
Sid DefaultOwner(const Token& token);

// As above, with "CREATOR OWNER" entries turned into entries for `childOwner`.
Acl InheritedEntries(const Acl& parent, bool childIsContainer, const GenericMapping& mapping,
                     const Sid& childOwner);

// The security that a CreateDirectoryA or RegCreateKeyExA caller asked for
// through its SECURITY_ATTRIBUTES.
struct RequestedSecurity {
  bool given = false;     // a descriptor with a present DACL was passed
  bool nullDacl = false;  // ... and that DACL is null (everyone gets everything)
  Acl dacl;
};
// given=false when `attributes` or its descriptor is null, or the descriptor
// has no DACL present.
RequestedSecurity SecurityFromAttributes(const win::SECURITY_ATTRIBUTES* attributes);

// The descriptor of a new child object: owned by `owner`; its DACL is the
// requested one (explicit entries first) followed by what the parent passes
// on, or only what the parent passes on when nothing was requested.
SecurityDescriptor SecurityForNewChild(const SecurityDescriptor& parent, const Sid& owner,
                                       bool childIsContainer, const RequestedSecurity& requested,
                                       const GenericMapping& mapping);

// "S-1-1-0" -> "Everyone" for the well-known SIDs above; the SID itself otherwise.
std::string AccountNameOf(const Sid& sid);

}  // namespace sim
