#include "common/registry_acl_editor.h"

#include <cctype>
#include <cstring>
#include <memory>

#include "common/setup_log.h"

namespace {

constexpr std::size_t kBufferSize = 512;

// The masks of the permission letters. "Wr" also carries KEY_CREATE_LINK.
constexpr win::ACCESS_MASK kFullControlMask = 0xF003F;  // KEY_ALL_ACCESS
constexpr win::ACCESS_MASK kReadMask = 0x20019;         // KEY_READ
constexpr win::ACCESS_MASK kWriteMask = 0x20026;

bool SameWord(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b))) {
      return false;
    }
  }
  return *a == *b;
}

// Takes the next field of `text` up to a ":" (skipping a run of ":" before
// it) and leaves `text` after the ":" that ends it.
std::string NextField(const char*& text) {
  while (*text == ':') ++text;
  const char* start = text;
  while (*text && *text != ':') ++text;
  std::string field(start, text);
  if (*text == ':') ++text;
  return field;
}

}  // namespace

win::LONG RegistryAclEditor::ApplyPermissionSpec(const char* keyPath, const char* specification) {
  // A private copy: the caller's specification is often a constant used for
  // several keys in a row.
  auto copy = std::make_unique<char[]>(kBufferSize);
  CopyBounded(copy.get(), kBufferSize, specification);
  const char* rest = copy.get();

  std::string switchText = NextField(rest);
  win::DWORD mode = win::NOT_USED_ACCESS;
  if (switchText.size() > 1 && std::toupper(static_cast<unsigned char>(switchText[1])) == 'P') {
    char modeLetter = switchText.size() > 2
                          ? static_cast<char>(std::toupper(static_cast<unsigned char>(switchText[2])))
                          : '\0';
    switch (modeLetter) {
      case 'D': mode = win::DENY_ACCESS; break;
      case 'G': mode = win::GRANT_ACCESS; break;
      case 'R': mode = win::REVOKE_ACCESS; break;
      case 'S': mode = win::SET_ACCESS; break;
      default: return win::ERROR_INVALID_PARAMETER;
    }
  }

  std::string trustee = NextField(rest);
  if (trustee.empty()) return win::ERROR_INVALID_PARAMETER;

  win::ACCESS_MASK mask = 0;
  if (mode == win::DENY_ACCESS || mode == win::GRANT_ACCESS || mode == win::SET_ACCESS) {
    if (*rest == '\0') return win::ERROR_INVALID_PARAMETER;
    win::LONG letterStatus = 0;
    mask = ParsePermissionLetters(rest, &letterStatus);
  }

  win::HKEY key = 0;
  win::LONG status = OpenKeyFromPath(keyPath, &key);
  if (status != 0) return status;

  win::EXPLICIT_ACCESS_A entry{};
  platform_.security.BuildExplicitAccessWithNameA(&entry, trustee.data(), mask, mode,
                                                  win::CONTAINER_INHERIT_ACE);
  status = WriteKeyDacl(key, &entry);
  platform_.registry.RegCloseKey(key);
  return status;
}

win::LONG RegistryAclEditor::OpenKeyFromPath(const char* keyPath, win::HKEY* key) {
  auto path = std::make_unique<char[]>(kBufferSize);
  auto machine = std::make_unique<char[]>(kBufferSize);
  CopyBounded(path.get(), kBufferSize, keyPath);
  const char* cursor = path.get();

  bool remote = false;
  if (cursor[0] == '\\' && cursor[1] == '\\') {
    remote = true;
    cursor += 2;
    const char* end = std::strchr(cursor, '\\');
    std::size_t length = end ? static_cast<std::size_t>(end - cursor) : std::strlen(cursor);
    std::string name = "\\\\" + std::string(cursor, length);
    CopyBounded(machine.get(), kBufferSize, name.c_str());
    cursor = end ? end + 1 : cursor + length;
  }

  const char* rootEnd = std::strchr(cursor, '\\');
  std::string rootName = rootEnd ? std::string(cursor, rootEnd) : std::string(cursor);
  const char* subKey = rootEnd ? rootEnd + 1 : "";

  win::HKEY root;
  bool localOnly = false;
  if (SameWord(rootName.c_str(), "HKLM") || SameWord(rootName.c_str(), "HKEY_LOCAL_MACHINE")) {
    root = win::HKEY_LOCAL_MACHINE;
  } else if (SameWord(rootName.c_str(), "HKU") || SameWord(rootName.c_str(), "HKEY_USERS")) {
    root = win::HKEY_USERS;
  } else if (SameWord(rootName.c_str(), "HKCR") ||
             SameWord(rootName.c_str(), "HKEY_CLASSES_ROOT")) {
    root = win::HKEY_CLASSES_ROOT;
    localOnly = true;
  } else if (SameWord(rootName.c_str(), "HKCU") ||
             SameWord(rootName.c_str(), "HKEY_CURRENT_USER")) {
    root = win::HKEY_CURRENT_USER;
    localOnly = true;
  } else {
    return win::ERROR_INVALID_PARAMETER;
  }
  if (remote && localOnly) return win::ERROR_INVALID_PARAMETER;

  if (remote) {
    win::HKEY remoteRoot = 0;
    win::LONG status = platform_.registry.RegConnectRegistryA(machine.get(), root, &remoteRoot);
    if (status != 0) return status;
    root = remoteRoot;
  }

  if (*subKey == '\0') {
    *key = root;
    return 0;
  }
  win::LONG status = platform_.registry.RegOpenKeyExA(
      root, subKey, 0, win::READ_CONTROL | win::WRITE_DAC | win::KEY_ENUMERATE_SUB_KEYS, key);
  if (status != 0) return status;
  platform_.registry.RegCloseKey(root);
  return 0;
}

win::ACCESS_MASK RegistryAclEditor::ParsePermissionLetters(const char* letters, win::LONG* status) {
  auto copy = std::make_unique<char[]>(kBufferSize);
  CopyBounded(copy.get(), kBufferSize, letters);
  *status = 0;
  std::size_t length = std::strlen(copy.get());
  if (length % 2 != 0) {
    *status = win::ERROR_INVALID_PARAMETER;
    return 0;
  }
  win::ACCESS_MASK mask = 0;
  for (std::size_t i = 0; i < length; i += 2) {
    char pair[3] = {copy[i], copy[i + 1], '\0'};
    if (SameWord(pair, "Fc")) {
      mask |= kFullControlMask;
    } else if (SameWord(pair, "Rd")) {
      mask |= kReadMask;
    } else if (SameWord(pair, "Wr")) {
      mask |= kWriteMask;
    } else {
      *status = win::ERROR_INVALID_PARAMETER;
    }
  }
  return mask;
}

win::LONG RegistryAclEditor::WriteKeyDacl(win::HKEY key, win::EXPLICIT_ACCESS_A* entry) {
  win::Security& security = platform_.security;
  win::PACL dacl = nullptr;
  win::PSECURITY_DESCRIPTOR descriptor = nullptr;
  win::PACL newDacl = nullptr;
  win::DWORD status = security.GetSecurityInfo(key, win::SE_REGISTRY_KEY,
                                               win::DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                               &dacl, nullptr, &descriptor);
  if (status == 0) status = security.SetEntriesInAclA(1, entry, dacl, &newDacl);
  if (status == 0) {
    status = security.SetSecurityInfo(key, win::SE_REGISTRY_KEY, win::DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, newDacl, nullptr);
  }
  if (newDacl) security.LocalFree(newDacl);
  if (descriptor) security.LocalFree(descriptor);
  return static_cast<win::LONG>(status);
}
