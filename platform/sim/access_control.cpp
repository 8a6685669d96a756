#include "platform/sim/access_control.h"
#include "platform/sim/text.h"

#include <algorithm>
#include <cctype>

#include "platform/sim/security_objects.h"
#include "platform/win_constants.h"

namespace sim {

const GenericMapping kKeyMapping = {win::KEY_READ, win::KEY_WRITE, win::KEY_EXECUTE,
                                    win::KEY_ALL_ACCESS};
// FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS.
const GenericMapping kFileMapping = {0x00120089, 0x00120116, 0x001200A0, 0x001F01FF};

namespace {

constexpr win::ACCESS_MASK kGenericBits =
    win::GENERIC_READ | win::GENERIC_WRITE | win::GENERIC_EXECUTE | win::GENERIC_ALL;

struct WellKnownAccount {
  const char* name;
  const Sid* sid;
};

// Names as an English Windows resolves them; the first name of a SID is the
// one LookupAccountSid gives back.
const std::vector<WellKnownAccount>& WellKnownAccounts() {
  static const std::vector<WellKnownAccount> accounts = {
      {"Everyone", &sids::kEveryone},
      {"SYSTEM", &sids::kSystem},
      {"Administrators", &sids::kAdministrators},
      {"Users", &sids::kUsers},
      {"Power Users", &sids::kPowerUsers},
      {"Authenticated Users", &sids::kAuthenticatedUsers},
      {"INTERACTIVE", &sids::kInteractive},
      {"CREATOR OWNER", &sids::kCreatorOwner},
  };
  return accounts;
}

bool AppliesTo(const Ace& ace, const Token& token) {
  return (ace.flags & win::INHERIT_ONLY_ACE) == 0 && token.Has(ace.sid);
}

// The entry a child receives for its own use (not for passing on).
Ace EffectiveCopy(const Ace& ace, const GenericMapping& mapping, const Sid& childOwner) {
  Ace copy = ace;
  copy.mask = MapGeneric(ace.mask, mapping);
  copy.flags = win::INHERITED_ACE;
  if (ace.sid == sids::kCreatorOwner && !childOwner.empty()) copy.sid = childOwner;
  return copy;
}

}  // namespace

bool Token::Has(const Sid& sid) const {
  return sid == user || std::find(groups.begin(), groups.end(), sid) != groups.end();
}

win::ACCESS_MASK MapGeneric(win::ACCESS_MASK desired, const GenericMapping& mapping) {
  win::ACCESS_MASK mapped = desired & ~kGenericBits;
  if (desired & win::GENERIC_READ) mapped |= mapping.read;
  if (desired & win::GENERIC_WRITE) mapped |= mapping.write;
  if (desired & win::GENERIC_EXECUTE) mapped |= mapping.execute;
  if (desired & win::GENERIC_ALL) mapped |= mapping.all;
  return mapped;
}

// Windows' rule: the owner holds READ_CONTROL and WRITE_DAC before any entry
// is read; then the entries are read in the order stored, an allow entry
// granting what it names, a deny entry refusing the whole request when it
// names a right not granted yet. Inherit-only entries do not apply.
bool AccessCheck(const Token& token, const SecurityDescriptor& descriptor,
                 win::ACCESS_MASK desired, const GenericMapping& mapping) {
  desired = MapGeneric(desired, mapping) & ~win::MAXIMUM_ALLOWED;
  if (desired == 0 || !descriptor.dacl) return true;
  win::ACCESS_MASK granted = 0;
  if (token.Has(descriptor.owner)) granted |= win::READ_CONTROL | win::WRITE_DAC;
  for (const Ace& ace : descriptor.dacl->aces) {
    win::ACCESS_MASK missing = desired & ~granted;
    if (missing == 0) break;
    if (!AppliesTo(ace, token)) continue;
    win::ACCESS_MASK mask = MapGeneric(ace.mask, mapping);
    if (ace.type == AceType::Deny) {
      if (mask & missing) return false;
    } else {
      granted |= mask & desired;
    }
  }
  return (desired & ~granted) == 0;
}

win::ACCESS_MASK MaximumAllowed(const Token& token, const SecurityDescriptor& descriptor,
                                const GenericMapping& mapping) {
  if (!descriptor.dacl) return mapping.all;
  win::ACCESS_MASK granted = 0;
  win::ACCESS_MASK denied = 0;
  if (token.Has(descriptor.owner)) granted |= win::READ_CONTROL | win::WRITE_DAC;
  for (const Ace& ace : descriptor.dacl->aces) {
    if (!AppliesTo(ace, token)) continue;
    win::ACCESS_MASK mask = MapGeneric(ace.mask, mapping);
    if (ace.type == AceType::Deny) {
      denied |= mask & ~granted;
    } else {
      granted |= mask & ~denied;
    }
  }
  return granted;
}

Sid DefaultOwner(const Token& token) {
  return token.Has(sids::kAdministrators) ? sids::kAdministrators : token.user;
}

Acl InheritedEntries(const Acl& parent, bool childIsContainer, const GenericMapping& mapping) {
  return InheritedEntries(parent, childIsContainer, mapping, Sid());
}

// Windows' inheritance rules for one level:
// - an object (file) takes the OBJECT_INHERIT entries, for its own use only;
// - a container takes the CONTAINER_INHERIT entries, for its own use and to
//   pass on (unless NO_PROPAGATE_INHERIT); an OBJECT_INHERIT-only entry
//   becomes inherit-only on it, for its objects;
// - an entry that must be mapped for use (generic rights, CREATOR OWNER) and
//   still passed on is split into a used copy and an inherit-only original.
Acl InheritedEntries(const Acl& parent, bool childIsContainer, const GenericMapping& mapping,
                     const Sid& childOwner) {
  Acl inherited;
  for (const Ace& ace : parent.aces) {
    const bool objectInherit = ace.flags & win::OBJECT_INHERIT_ACE;
    const bool containerInherit = ace.flags & win::CONTAINER_INHERIT_ACE;
    const bool noPropagate = ace.flags & win::NO_PROPAGATE_INHERIT_ACE;
    if (!childIsContainer) {
      if (objectInherit) inherited.aces.push_back(EffectiveCopy(ace, mapping, childOwner));
      continue;
    }
    if (containerInherit) {
      if (noPropagate) {
        inherited.aces.push_back(EffectiveCopy(ace, mapping, childOwner));
        continue;
      }
      const win::DWORD passOn =
          (ace.flags & (win::OBJECT_INHERIT_ACE | win::CONTAINER_INHERIT_ACE)) |
          win::INHERITED_ACE;
      const bool needsMapping = (ace.mask & kGenericBits) || ace.sid == sids::kCreatorOwner;
      if (needsMapping) {
        inherited.aces.push_back(EffectiveCopy(ace, mapping, childOwner));
        Ace original = ace;
        original.flags = passOn | win::INHERIT_ONLY_ACE;
        inherited.aces.push_back(original);
      } else {
        Ace copy = ace;
        copy.flags = passOn;
        inherited.aces.push_back(copy);
      }
    } else if (objectInherit && !noPropagate) {
      Ace original = ace;
      original.flags = win::OBJECT_INHERIT_ACE | win::INHERIT_ONLY_ACE | win::INHERITED_ACE;
      inherited.aces.push_back(original);
    }
  }
  return inherited;
}

void ReapplyInheritance(SecurityDescriptor& child, const Acl& parentDacl, bool childIsContainer,
                        const GenericMapping& mapping) {
  if (child.daclProtected || !child.dacl) return;
  Acl result;
  for (const Ace& ace : child.dacl->aces) {
    if ((ace.flags & win::INHERITED_ACE) == 0) result.aces.push_back(ace);
  }
  Acl inherited = InheritedEntries(parentDacl, childIsContainer, mapping, child.owner);
  result.aces.insert(result.aces.end(), inherited.aces.begin(), inherited.aces.end());
  child.dacl = result;
}

std::optional<Sid> LookupAccountName(const std::string& name, const Token& token) {
  // "BUILTIN\Administrators", "NT AUTHORITY\SYSTEM": the domain part is
  // not needed to tell the well-known accounts apart.
  std::string account = name;
  if (auto slash = account.rfind('\\'); slash != std::string::npos) {
    account = account.substr(slash + 1);
  }
  const std::string wanted = Upper(account);
  if (wanted == "CURRENT_USER") return token.user;
  for (const WellKnownAccount& known : WellKnownAccounts()) {
    if (Upper(known.name) == wanted) return *known.sid;
  }
  return std::nullopt;
}

std::string AccountNameOf(const Sid& sid) {
  for (const WellKnownAccount& known : WellKnownAccounts()) {
    if (*known.sid == sid) return known.name;
  }
  return sid;
}

RequestedSecurity SecurityFromAttributes(const win::SECURITY_ATTRIBUTES* attributes) {
  RequestedSecurity requested;
  if (!attributes || !attributes->lpSecurityDescriptor) return requested;
  // A descriptor that GetSecurityInfo handed out, passed on as it is.
  if (const DescriptorObject* returned =
          security_objects::FindDescriptor(attributes->lpSecurityDescriptor)) {
    if (!returned->daclPresent) return requested;
    requested.given = true;
    requested.dacl = returned->dacl.acl;
    return requested;
  }
  auto content =
      ReadDescriptor(*static_cast<const win::SECURITY_DESCRIPTOR*>(attributes->lpSecurityDescriptor));
  if (!content || !content->daclPresent) return requested;
  requested.given = true;
  if (!content->dacl) {
    requested.nullDacl = true;
  } else if (const AclObject* acl = security_objects::FindAcl(content->dacl)) {
    requested.dacl = acl->acl;
  } else {
    // Assumption: a DACL pointer that is none of ours counts as no request.
    requested.given = false;
  }
  return requested;
}

SecurityDescriptor SecurityForNewChild(const SecurityDescriptor& parent, const Sid& owner,
                                       bool childIsContainer, const RequestedSecurity& requested,
                                       const GenericMapping& mapping) {
  SecurityDescriptor child;
  child.owner = owner;
  if (requested.given && requested.nullDacl) {
    child.dacl = std::nullopt;
    return child;
  }
  Acl inherited =
      parent.dacl ? InheritedEntries(*parent.dacl, childIsContainer, mapping, owner) : Acl{};
  Acl dacl;
  if (requested.given) {
    dacl = requested.dacl;
  } else if (inherited.aces.empty()) {
    // Nothing requested and nothing to inherit: the default DACL of an
    // administrator's token (Assumption: Administrators and SYSTEM, all rights).
    dacl.aces = {Ace{AceType::Allow, mapping.all, 0, sids::kAdministrators},
                 Ace{AceType::Allow, mapping.all, 0, sids::kSystem}};
  }
  dacl.aces.insert(dacl.aces.end(), inherited.aces.begin(), inherited.aces.end());
  child.dacl = dacl;
  return child;
}

}  // namespace sim
