#include "platform/sim/file_system.h"
#include "platform/sim/text.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <stdexcept>

#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_process.h"

namespace sim {

using namespace file_rights;
using win::DWORD;

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

// True when `path` is `folder` or lies inside it (both full paths).
bool IsInside(const std::string& path, const std::string& folder) {
  if (path.size() < folder.size() || !EqualNoCase(path.substr(0, folder.size()), folder)) {
    return false;
  }
  return path.size() == folder.size() || path[folder.size()] == '\\';
}

std::vector<std::string> SplitSegments(const std::string& rest) {
  std::vector<std::string> segments;
  std::string current;
  for (char c : rest) {
    if (c == '\\') {
      if (!current.empty()) segments.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) segments.push_back(current);
  return segments;
}

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

// Attributes a program may set with SetFileAttributesA or CreateFileA.
constexpr DWORD kSettableAttributes = win::FILE_ATTRIBUTE_READONLY | win::FILE_ATTRIBUTE_HIDDEN |
                                      win::FILE_ATTRIBUTE_SYSTEM | win::FILE_ATTRIBUTE_ARCHIVE |
                                      0x100 /* TEMPORARY */ | 0x1000 /* OFFLINE */ |
                                      0x2000 /* NOT_CONTENT_INDEXED */;

// The access bits of a requested access that matter for sharing.
struct SharingNeeds {
  bool read = false, write = false, del = false;
};
SharingNeeds NeedsOf(DWORD access) {
  DWORD mapped = MapGeneric(access, kFileMapping);
  SharingNeeds needs;
  needs.read = (mapped & (FILE_READ_DATA | FILE_EXECUTE)) != 0;
  needs.write = (mapped & (FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
  needs.del = (mapped & win::DELETE) != 0;
  return needs;
}

// Whether a new open (access, share) is compatible with an existing hold, as
// the sharing rules of CreateFile say: each side must share what the other
// side uses.
bool Compatible(const Hold& hold, DWORD access, DWORD shareMode) {
  SharingNeeds mine = NeedsOf(access);
  SharingNeeds theirs = NeedsOf(hold.access);
  if (mine.read && !(hold.shareMode & win::FILE_SHARE_READ)) return false;
  if (mine.write && !(hold.shareMode & win::FILE_SHARE_WRITE)) return false;
  if (mine.del && !(hold.shareMode & win::FILE_SHARE_DELETE)) return false;
  if (theirs.read && !(shareMode & win::FILE_SHARE_READ)) return false;
  if (theirs.write && !(shareMode & win::FILE_SHARE_WRITE)) return false;
  if (theirs.del && !(shareMode & win::FILE_SHARE_DELETE)) return false;
  return true;
}

bool CompatibleWithAll(const Node& node, DWORD access, DWORD shareMode) {
  for (const Hold& hold : node.holds) {
    if (!Compatible(hold, access, shareMode)) return false;
  }
  return true;
}

bool IsLoaded(const Node& node) {
  return std::any_of(node.holds.begin(), node.holds.end(),
                     [](const Hold& h) { return h.kind == HoldKind::Loaded; });
}

// A mapped image is opened by the loader for reading and execution, sharing
// read and delete (so that it can be renamed but not written).
Hold LoadedHold(std::string holder) {
  return Hold{HoldKind::Loaded, win::GENERIC_READ, win::FILE_SHARE_READ | win::FILE_SHARE_DELETE,
              std::move(holder)};
}

// Windows finder name matching: '*' any run of characters, '?' exactly one,
// case-insensitive; "*.*" matches every name, a trailing ".*" also matches
// a name without a dot, and a trailing "." matches names without extension.
bool MatchFrom(const std::string& pattern, size_t p, const std::string& name, size_t n) {
  while (p < pattern.size()) {
    char pc = pattern[p];
    if (pc == '*') {
      for (size_t k = n; k <= name.size(); ++k) {
        if (MatchFrom(pattern, p + 1, name, k)) return true;
      }
      return false;
    }
    if (n >= name.size()) {
      // Only ".*" or "." may match the end of a name without an extension.
      std::string tail = pattern.substr(p);
      return (tail == ".*" || tail == ".") && name.find('.') == std::string::npos;
    }
    if (pc != '?' && std::toupper(static_cast<unsigned char>(pc)) !=
                         std::toupper(static_cast<unsigned char>(name[n]))) {
      return false;
    }
    ++p;
    ++n;
  }
  return n == name.size();
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*" || pattern == "*.*") return true;
  return MatchFrom(pattern, 0, name, 0);
}

// ---- JSON helpers ----

const std::vector<std::pair<const char*, DWORD>> kAttributeNames = {
    {"READONLY", win::FILE_ATTRIBUTE_READONLY}, {"HIDDEN", win::FILE_ATTRIBUTE_HIDDEN},
    {"SYSTEM", win::FILE_ATTRIBUTE_SYSTEM},     {"ARCHIVE", win::FILE_ATTRIBUTE_ARCHIVE},
    {"TEMPORARY", 0x100},                       {"OFFLINE", 0x1000},
    {"NOT_CONTENT_INDEXED", 0x2000}};

nlohmann::json AttributesToJson(DWORD attributes) {
  nlohmann::json names = nlohmann::json::array();
  for (const auto& [name, bit] : kAttributeNames) {
    if (attributes & bit) names.push_back(name);
  }
  if (names.empty()) names.push_back("NORMAL");
  return names;
}

DWORD AttributesFromJson(const nlohmann::json& names) {
  DWORD attributes = 0;
  for (const auto& item : names) {
    std::string name = Upper(item.get<std::string>());
    for (const auto& [known, bit] : kAttributeNames) {
      if (name == known) attributes |= bit;
    }
  }
  return attributes;
}

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

DWORD NumberFromJson(const nlohmann::json& value) {
  if (value.is_string()) return static_cast<DWORD>(std::stoul(value.get<std::string>(), nullptr, 0));
  return value.get<DWORD>();
}

nlohmann::json SecurityToJson(const SecurityDescriptor& sd) {
  nlohmann::json out = {{"owner", sd.owner}};
  if (!sd.dacl) {
    out["dacl"] = nullptr;
  } else {
    nlohmann::json aces = nlohmann::json::array();
    for (const Ace& ace : sd.dacl->aces) {
      if (ace.flags & win::INHERITED_ACE) continue;  // re-inherited on load
      aces.push_back({{"type", ace.type == AceType::Allow ? "allow" : "deny"},
                      {"sid", ace.sid},
                      {"mask", Hex(ace.mask)},
                      {"flags", ace.flags}});
    }
    out["dacl"] = aces;
  }
  if (sd.daclProtected) out["protected"] = true;
  return out;
}

SecurityDescriptor SecurityFromJson(const nlohmann::json& in) {
  SecurityDescriptor sd;
  sd.owner = in.value("owner", sids::kAdministrators);
  if (in.contains("dacl") && in["dacl"].is_null()) {
    sd.dacl.reset();
  } else {
    sd.dacl = Acl{};
    for (const auto& a : in.value("dacl", nlohmann::json::array())) {
      Ace ace;
      ace.type = a.value("type", "allow") == std::string("deny") ? AceType::Deny : AceType::Allow;
      ace.sid = a.at("sid").get<std::string>();
      ace.mask = NumberFromJson(a.at("mask"));
      ace.flags = a.contains("flags") ? NumberFromJson(a["flags"]) : 0;
      sd.dacl->aces.push_back(ace);
    }
  }
  sd.daclProtected = in.value("protected", false);
  return sd;
}

bool HasExplicitSecurity(const SecurityDescriptor& sd) {
  if (!sd.dacl || sd.daclProtected || sd.owner != sids::kAdministrators) return true;
  return std::any_of(sd.dacl->aces.begin(), sd.dacl->aces.end(),
                     [](const Ace& a) { return !(a.flags & win::INHERITED_ACE); });
}

bool IsPrintableText(const std::string& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 0x20 && u < 0x7F) || c == '\r' || c == '\n' || c == '\t';
  });
}

std::string ToHex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return out;
}

const char* HoldKindName(HoldKind kind) { return kind == HoldKind::Loaded ? "loaded" : "open"; }

}  // namespace

DWORD Node::ReportedAttributes() const {
  if (kind == NodeKind::Folder) return attributes | win::FILE_ATTRIBUTE_DIRECTORY;
  if (kind == NodeKind::Junction) {
    return attributes | win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_REPARSE_POINT;
  }
  return attributes == 0 ? win::FILE_ATTRIBUTE_NORMAL : attributes;
}

// ---------------------------------------------------------------------------

FileSystem::FileSystem(SimMachine& machine) : FileSystem(machine.os, machine.token) {}

FileSystem::FileSystem(const OsLayout& os, const Token& token) : os_(os), token_(token) {}

FileSystem::~FileSystem() = default;

SecurityDescriptor FileSystem::DefaultRootSecurity() {
  const DWORD inherit = win::OBJECT_INHERIT_ACE | win::CONTAINER_INHERIT_ACE;
  SecurityDescriptor sd;
  sd.owner = sids::kAdministrators;
  sd.dacl = Acl{{
      Ace{AceType::Allow, FILE_ALL_ACCESS, inherit, sids::kAdministrators},
      Ace{AceType::Allow, FILE_ALL_ACCESS, inherit, sids::kSystem},
      Ace{AceType::Allow, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, inherit, sids::kUsers},
  }};
  return sd;
}

void FileSystem::AddDrive(const std::string& letter) {
  std::string name = Upper(letter.substr(0, 1)) + ":";
  if (drives_.count(name)) return;
  auto root = std::make_shared<Node>();
  root->kind = NodeKind::Folder;
  root->name = name;
  root->security = DefaultRootSecurity();
  drives_[name] = root;
}

void FileSystem::CreateStandardContent() {
  AddDrive("C:");
  const std::string windows = os_.windowsDirectory;
  const std::string system = os_.SystemDirectory();
  CreateDirectories(windows);
  CreateDirectories(system);
  CreateDirectories(os_.TempDirectory());
  CreateDirectories(os_.InfDirectory());
  if (os_.IsNt()) {
    CreateDirectories(system + "\\spool\\drivers\\w32x86\\3");
    CreateDirectories(system + "\\spool\\prtprocs\\w32x86");
    if (os_.is64Bit) {
      CreateDirectories(system + "\\spool\\drivers\\x64\\3");
      CreateDirectories(system + "\\spool\\prtprocs\\x64");
    }
  }
  CreateDirectories(os_.major >= 6 ? "C:\\Users" : "C:\\Documents and Settings");
  CreateDirectories("C:\\Program Files");
  if (os_.is64Bit) CreateDirectories("C:\\Program Files (x86)");

  std::vector<std::string> programFolders = {system};
  if (os_.is64Bit) {
    CreateDirectories(os_.SysWow64Directory());
    programFolders.push_back(os_.SysWow64Directory());
  }
  for (const std::string& folder : programFolders) {
    for (const char* name : {"net.exe", "cmd.exe", "rundll32.exe", "printui.dll"}) {
      WriteFile(folder + "\\" + name, "");
    }
  }

  // Users may create files in Temp (but not change the files of others).
  if (auto temp = FindNode(os_.TempDirectory())) {
    auto& aces = temp->security.dacl->aces;
    aces.insert(aces.begin(), Ace{AceType::Allow, FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY,
                                  win::CONTAINER_INHERIT_ACE, sids::kUsers});
  }
}

// ---- Paths ----------------------------------------------------------------

std::string FileSystem::ResolvePath(const SimProcess& process, const std::string& path) const {
  return ResolvePath(process.currentDirectory, process.wow64, path);
}

std::string FileSystem::ResolvePath(const std::string& currentDirectory, bool wow64,
                                    const std::string& path) const {
  std::string p = path;
  std::replace(p.begin(), p.end(), '/', '\\');
  std::string cwd = currentDirectory;
  std::replace(cwd.begin(), cwd.end(), '/', '\\');
  if (p.empty()) return {};
  if (p.rfind("\\\\", 0) == 0) return {};  // UNC and device paths are not modelled

  std::string full;
  if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
    std::string drive = Upper(p.substr(0, 2));
    std::string rest = p.substr(2);
    if (!rest.empty() && rest[0] == '\\') {
      full = drive + rest;
    } else if (cwd.size() >= 2 && EqualNoCase(cwd.substr(0, 2), drive)) {
      full = cwd + "\\" + rest;  // "C:name" is relative to C:'s current folder
    } else {
      full = drive + "\\" + rest;
    }
  } else if (p[0] == '\\') {
    full = cwd.substr(0, 2) + p;
  } else {
    full = cwd + "\\" + p;
  }

  std::string normalised = NormaliseFull(full);
  if (normalised.empty()) return {};
  bool trailing = p.back() == '\\' && normalised.back() != '\\';
  if (wow64 && os_.is64Bit) normalised = Redirect(normalised);
  if (trailing) normalised += '\\';
  return normalised;
}

// "C:\a\.\b\..\c" -> "C:\a\c"; the root is "C:\". Empty for a path without
// a drive.
std::string FileSystem::NormaliseFull(const std::string& path) const {
  std::string p = path;
  std::replace(p.begin(), p.end(), '/', '\\');
  if (p.size() < 2 || !std::isalpha(static_cast<unsigned char>(p[0])) || p[1] != ':') return {};
  std::vector<std::string> segments;
  for (const std::string& segment : SplitSegments(p.substr(2))) {
    if (segment == ".") continue;
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      continue;
    }
    segments.push_back(segment);
  }
  std::string out = Upper(p.substr(0, 2));
  if (segments.empty()) return out + "\\";
  for (const std::string& segment : segments) out += "\\" + segment;
  return out;
}

std::string FileSystem::Redirect(const std::string& fullPath) const {
  const std::string system = os_.SystemDirectory();
  const std::string sysnative = os_.windowsDirectory + "\\Sysnative";
  const bool vistaOrLater = os_.major >= 6;
  const bool sevenOrLater = os_.major > 6 || (os_.major == 6 && os_.minor >= 1);

  if (vistaOrLater && IsInside(fullPath, sysnative)) {
    return system + fullPath.substr(sysnative.size());
  }
  if (EqualNoCase(fullPath, os_.windowsDirectory + "\\regedit.exe")) {
    return os_.SysWow64Directory() + "\\regedit.exe";
  }
  if (!IsInside(fullPath, system)) return fullPath;

  std::vector<std::string> exempt = {"catroot", "catroot2", "drivers\\etc", "logfiles", "spool"};
  if (sevenOrLater) exempt.push_back("driverstore");
  for (const std::string& folder : exempt) {
    if (IsInside(fullPath, system + "\\" + folder)) return fullPath;
  }
  return os_.SysWow64Directory() + fullPath.substr(system.size());
}

// ---- Lookup ---------------------------------------------------------------

FileSystem::Lookup FileSystem::Find(const std::string& path) const {
  Lookup result;
  std::string normalised = NormaliseFull(path);
  if (normalised.empty()) {
    result.error = win::ERROR_PATH_NOT_FOUND;
    return result;
  }
  result.trailingSeparator = path.size() > 3 && (path.back() == '\\' || path.back() == '/');
  auto drive = drives_.find(normalised.substr(0, 2));
  if (drive == drives_.end()) {
    result.error = win::ERROR_PATH_NOT_FOUND;
    return result;
  }
  std::vector<std::string> segments = SplitSegments(normalised.substr(2));
  if (segments.empty()) {
    result.node = drive->second;
    return result;
  }

  std::shared_ptr<Node> folder = drive->second;
  for (size_t i = 0; i + 1 < segments.size(); ++i) {
    auto it = folder->children.find(Upper(segments[i]));
    std::shared_ptr<Node> child = it == folder->children.end() ? nullptr : it->second;
    // A junction on the way leads to its target folder (a few hops at most).
    for (int hops = 0; child && child->kind == NodeKind::Junction; ++hops) {
      if (hops > 30) return Lookup{nullptr, nullptr, {}, win::ERROR_PATH_NOT_FOUND, false};
      Lookup target = Find(child->target);
      child = target.node;
    }
    if (!child || child->kind != NodeKind::Folder) {
      result.error = win::ERROR_PATH_NOT_FOUND;
      return result;
    }
    folder = child;
  }
  result.parent = folder;
  result.name = segments.back();
  auto it = folder->children.find(Upper(result.name));
  if (it != folder->children.end()) result.node = it->second;
  return result;
}

std::shared_ptr<Node> FileSystem::FindNode(const std::string& path) const {
  Lookup lookup = Find(path);
  return lookup.error ? nullptr : lookup.node;
}

std::shared_ptr<Node> FileSystem::NewChild(Node& parent, const std::string& name, NodeKind kind,
                                           const RequestedSecurity& requested) {
  auto node = std::make_shared<Node>();
  node->kind = kind;
  node->name = name;
  node->attributes = kind == NodeKind::File ? win::FILE_ATTRIBUTE_ARCHIVE : 0;
  node->security = SecurityForNewChild(parent.security, DefaultOwner(token_),
                                       kind != NodeKind::File, requested, kFileMapping);
  parent.children[Upper(name)] = node;
  return node;
}

bool FileSystem::Allowed(const Node& node, win::ACCESS_MASK desired) const {
  return AccessCheck(token_, node.security, MapGeneric(desired, kFileMapping), kFileMapping);
}

bool FileSystem::MayDelete(const Node& parent, const Node& node) const {
  return Allowed(node, win::DELETE) || Allowed(parent, FILE_DELETE_CHILD);
}

// ---- Windows operations ----------------------------------------------------

DWORD FileSystem::CreateDirectory(const std::string& path, const RequestedSecurity& requested) {
  Lookup at = Find(path);
  if (at.error) return at.error;
  if (at.node) return win::ERROR_ALREADY_EXISTS;
  if (HasWildcard(at.name)) return win::ERROR_INVALID_NAME;
  if (!Allowed(*at.parent, FILE_ADD_SUBDIRECTORY)) return win::ERROR_ACCESS_DENIED;
  // The creator's DACL first, then what the parent passes on.
  NewChild(*at.parent, at.name, NodeKind::Folder, requested);
  return 0;
}

DWORD FileSystem::RemoveDirectory(const std::string& path) {
  Lookup at = Find(path);
  if (at.error) return at.error;
  if (!at.node) return win::ERROR_FILE_NOT_FOUND;
  if (!at.parent) return win::ERROR_ACCESS_DENIED;  // a drive root
  Node& node = *at.node;
  if (node.kind == NodeKind::File) return ERROR_DIRECTORY;
  if (node.attributes & win::FILE_ATTRIBUTE_READONLY) return win::ERROR_ACCESS_DENIED;
  if (!MayDelete(*at.parent, node)) return win::ERROR_ACCESS_DENIED;
  // A junction is removed as a link: its target's content does not count.
  if (node.kind == NodeKind::Folder && !node.children.empty()) return win::ERROR_DIR_NOT_EMPTY;
  at.parent->children.erase(Upper(node.name));
  node.removed = true;
  return 0;
}

DWORD FileSystem::DeleteFile(const std::string& path) {
  Lookup at = Find(path);
  if (at.error) return at.error;
  if (!at.node) return win::ERROR_FILE_NOT_FOUND;
  Node& node = *at.node;
  if (node.IsFolderLike() || !at.parent) return win::ERROR_ACCESS_DENIED;
  if (at.trailingSeparator) return win::ERROR_INVALID_NAME;
  if (node.attributes & win::FILE_ATTRIBUTE_READONLY) return win::ERROR_ACCESS_DENIED;
  if (!MayDelete(*at.parent, node)) return win::ERROR_ACCESS_DENIED;
  // A mapped image cannot be deleted, whatever its sharing.
  if (IsLoaded(node)) return win::ERROR_ACCESS_DENIED;
  if (!CompatibleWithAll(node, win::DELETE, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE |
                                                win::FILE_SHARE_DELETE)) {
    return win::ERROR_SHARING_VIOLATION;
  }
  at.parent->children.erase(Upper(node.name));
  node.removed = true;
  return 0;
}

DWORD FileSystem::CopyFile(const std::string& source, const std::string& destination,
                           bool failIfExists) {
  Lookup from = Find(source);
  if (from.error) return from.error;
  if (!from.node) return win::ERROR_FILE_NOT_FOUND;
  if (from.node->IsFolderLike()) return win::ERROR_ACCESS_DENIED;
  if (!Allowed(*from.node, win::GENERIC_READ)) return win::ERROR_ACCESS_DENIED;
  // The source is opened for reading, sharing reading.
  if (!CompatibleWithAll(*from.node, win::GENERIC_READ, win::FILE_SHARE_READ)) {
    return win::ERROR_SHARING_VIOLATION;
  }

  Lookup to = Find(destination);
  if (to.error) return to.error;
  if (to.trailingSeparator || !to.parent) return win::ERROR_INVALID_NAME;
  if (to.node) {
    if (failIfExists) return win::ERROR_FILE_EXISTS;
    Node& target = *to.node;
    if (target.IsFolderLike()) return win::ERROR_ACCESS_DENIED;
    if (target.attributes & (win::FILE_ATTRIBUTE_READONLY | win::FILE_ATTRIBUTE_HIDDEN)) {
      return win::ERROR_ACCESS_DENIED;
    }
    if (!Allowed(target, win::GENERIC_WRITE)) return win::ERROR_ACCESS_DENIED;
    if (!CompatibleWithAll(target, win::GENERIC_WRITE, 0)) return win::ERROR_SHARING_VIOLATION;
    if (&target == from.node.get()) return win::ERROR_SHARING_VIOLATION;
    target.content = from.node->content;
    target.attributes = from.node->attributes;
    return 0;
  }
  if (HasWildcard(to.name)) return win::ERROR_INVALID_NAME;
  if (!Allowed(*to.parent, FILE_ADD_FILE)) return win::ERROR_ACCESS_DENIED;
  std::string content = from.node->content;
  DWORD attributes = from.node->attributes;
  auto copy = NewChild(*to.parent, to.name, NodeKind::File);
  copy->content = std::move(content);
  copy->attributes = attributes;
  return 0;
}

DWORD FileSystem::MoveFile(const std::string& source, const std::string& destination) {
  Lookup from = Find(source);
  if (from.error) return from.error;
  if (!from.node) return win::ERROR_FILE_NOT_FOUND;
  if (!from.parent) return win::ERROR_ACCESS_DENIED;
  Lookup to = Find(destination);
  if (to.error) return to.error;
  if (!to.parent) return win::ERROR_ACCESS_DENIED;
  if (HasWildcard(to.name)) return win::ERROR_INVALID_NAME;
  const bool sameNode = to.node == from.node;  // a change of case only
  if (to.node && !sameNode) return win::ERROR_ALREADY_EXISTS;

  Node& node = *from.node;
  if (node.IsFolderLike()) {
    if (!EqualNoCase(NormaliseFull(source).substr(0, 2), NormaliseFull(destination).substr(0, 2))) {
      return ERROR_NOT_SAME_DEVICE;
    }
    // A folder cannot move into itself.
    if (IsInside(NormaliseFull(destination), NormaliseFull(source)) && !sameNode) {
      return win::ERROR_ACCESS_DENIED;
    }
  }
  if (!MayDelete(*from.parent, node)) return win::ERROR_ACCESS_DENIED;
  if (!Allowed(*to.parent, node.IsFolderLike() ? FILE_ADD_SUBDIRECTORY : FILE_ADD_FILE)) {
    return win::ERROR_ACCESS_DENIED;
  }
  // A rename opens the file for DELETE: every holder must share deletion.
  // Mapped images do (so a loaded DLL can be renamed).
  if (!CompatibleWithAll(node, win::DELETE, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE |
                                                win::FILE_SHARE_DELETE)) {
    return win::ERROR_SHARING_VIOLATION;
  }
  std::shared_ptr<Node> keep = from.node;
  from.parent->children.erase(Upper(node.name));
  node.name = to.name;
  to.parent->children[Upper(to.name)] = keep;
  return 0;
}

DWORD FileSystem::GetFileAttributes(const std::string& path, DWORD* attributes) const {
  Lookup at = Find(path);
  if (at.error) return at.error;
  if (HasWildcard(at.name)) return win::ERROR_INVALID_NAME;
  if (!at.node) return win::ERROR_FILE_NOT_FOUND;
  if (at.trailingSeparator && at.node->kind == NodeKind::File) return win::ERROR_INVALID_NAME;
  *attributes = at.node->ReportedAttributes();
  return 0;
}

DWORD FileSystem::SetFileAttributes(const std::string& path, DWORD attributes) {
  Lookup at = Find(path);
  if (at.error) return at.error;
  if (!at.node) return win::ERROR_FILE_NOT_FOUND;
  if (!Allowed(*at.node, FILE_WRITE_ATTRIBUTES)) return win::ERROR_ACCESS_DENIED;
  at.node->attributes = attributes & kSettableAttributes;
  return 0;
}

DWORD FileSystem::FindEntries(const std::string& pattern, std::vector<FoundEntry>* entries) const {
  entries->clear();
  std::string normalised = pattern;
  std::replace(normalised.begin(), normalised.end(), '/', '\\');
  size_t slash = normalised.find_last_of('\\');
  if (slash == std::string::npos) return win::ERROR_PATH_NOT_FOUND;
  std::string folderPath = normalised.substr(0, slash);
  std::string namePattern = normalised.substr(slash + 1);
  if (folderPath.size() == 2) folderPath += '\\';  // "C:" -> the root
  if (namePattern.empty()) return win::ERROR_FILE_NOT_FOUND;

  Lookup folderAt = Find(folderPath);
  std::shared_ptr<Node> folder = folderAt.error ? nullptr : folderAt.node;
  // The listing of a junction is the listing of its target.
  for (int hops = 0; folder && folder->kind == NodeKind::Junction && hops < 30; ++hops) {
    folder = FindNode(folder->target);
  }
  if (!folder || folder->kind != NodeKind::Folder) return win::ERROR_PATH_NOT_FOUND;
  if (!Allowed(*folder, FILE_LIST_DIRECTORY)) return win::ERROR_ACCESS_DENIED;

  const bool isRoot = !folderAt.parent;
  if (!isRoot) {
    for (const char* dot : {".", ".."}) {
      if (WildcardMatch(namePattern, dot)) {
        entries->push_back(FoundEntry{dot, win::FILE_ATTRIBUTE_DIRECTORY, 0});
      }
    }
  }
  for (const auto& [key, child] : folder->children) {
    if (WildcardMatch(namePattern, child->name)) {
      entries->push_back(
          FoundEntry{child->name, child->ReportedAttributes(), child->content.size()});
    }
  }
  return entries->empty() ? win::ERROR_FILE_NOT_FOUND : 0;
}

DWORD FileSystem::OpenFile(const std::string& path, DWORD access, DWORD shareMode,
                           DWORD disposition, DWORD flagsAndAttributes,
                           const std::string& handleHolder, OpenResult* result) {
  if (disposition < win::CREATE_NEW || disposition > win::TRUNCATE_EXISTING) {
    return win::ERROR_INVALID_PARAMETER;
  }
  Lookup at = Find(path);
  if (at.error) return at.error;
  if (HasWildcard(at.name)) return win::ERROR_INVALID_NAME;
  if (!at.parent) return win::ERROR_ACCESS_DENIED;  // a drive root
  if (at.trailingSeparator) return at.node ? win::ERROR_ACCESS_DENIED : win::ERROR_INVALID_NAME;

  DWORD mapped = MapGeneric(access, kFileMapping);
  const bool wantsWrite = (mapped & (FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
  const bool truncates = disposition == win::CREATE_ALWAYS || disposition == win::TRUNCATE_EXISTING;
  const DWORD newAttributes = (flagsAndAttributes & kSettableAttributes) | win::FILE_ATTRIBUTE_ARCHIVE;

  if (at.node) {
    Node& file = *at.node;
    if (file.IsFolderLike()) return win::ERROR_ACCESS_DENIED;
    if (disposition == win::CREATE_NEW) return win::ERROR_FILE_EXISTS;
    if ((file.attributes & win::FILE_ATTRIBUTE_READONLY) && (wantsWrite || truncates)) {
      return win::ERROR_ACCESS_DENIED;
    }
    // Replacing a hidden or system file must keep those attributes.
    if (disposition == win::CREATE_ALWAYS) {
      DWORD keep = file.attributes & (win::FILE_ATTRIBUTE_HIDDEN | win::FILE_ATTRIBUTE_SYSTEM);
      if ((keep & flagsAndAttributes) != keep) return win::ERROR_ACCESS_DENIED;
    }
    if (!Allowed(file, truncates ? (access | win::GENERIC_WRITE) : access)) {
      return win::ERROR_ACCESS_DENIED;
    }
    if (!CompatibleWithAll(file, truncates ? (access | win::GENERIC_WRITE) : access, shareMode)) {
      return win::ERROR_SHARING_VIOLATION;
    }
    if (truncates) file.content.clear();
    if (disposition == win::CREATE_ALWAYS) file.attributes |= newAttributes;
    result->existed = true;
    result->file = at.node;
  } else {
    if (disposition == win::OPEN_EXISTING || disposition == win::TRUNCATE_EXISTING) {
      return win::ERROR_FILE_NOT_FOUND;
    }
    if (!Allowed(*at.parent, FILE_ADD_FILE)) return win::ERROR_ACCESS_DENIED;
    auto file = NewChild(*at.parent, at.name, NodeKind::File);
    file->attributes = newAttributes;
    result->existed = false;
    result->file = file;
  }
  result->file->holds.push_back(sim::Hold{HoldKind::Open, access, shareMode, handleHolder});
  return 0;
}

void FileSystem::CloseFile(Node& file, const std::string& handleHolder) {
  auto& holds = file.holds;
  holds.erase(std::remove_if(holds.begin(), holds.end(),
                             [&](const sim::Hold& h) { return h.holder == handleHolder; }),
              holds.end());
}

// ---- Holds ----------------------------------------------------------------

void FileSystem::Hold(const std::string& path, HoldKind kind, DWORD shareMode, std::string holder) {
  auto node = FindNode(path);
  if (!node || node->kind != NodeKind::File) {
    throw std::invalid_argument("no file to hold at " + path);
  }
  if (kind == HoldKind::Loaded) {
    node->holds.push_back(LoadedHold(std::move(holder)));
  } else {
    node->holds.push_back(sim::Hold{kind, win::GENERIC_READ, shareMode, std::move(holder)});
  }
}

void FileSystem::ReleaseHolds(const std::string& holder) {
  std::function<void(Node&)> release = [&](Node& node) {
    CloseFile(node, holder);
    if (node.kind == NodeKind::Folder) {
      for (auto& [key, child] : node.children) release(*child);
    }
  };
  for (auto& [letter, root] : drives_) release(*root);
}

std::vector<sim::Hold> FileSystem::HoldsOn(const std::string& path) const {
  auto node = FindNode(path);
  return node ? node->holds : std::vector<sim::Hold>{};
}

// ---- Security --------------------------------------------------------------

SecurityDescriptor* FileSystem::SecurityOf(const std::string& resolvedPath) {
  auto node = FindNode(resolvedPath);
  return node ? &node->security : nullptr;
}

void FileSystem::Propagate(Node& folder) {
  if (folder.kind != NodeKind::Folder) return;
  for (auto& [key, child] : folder.children) {
    if (folder.security.dacl) {
      ReapplyInheritance(child->security, *folder.security.dacl, child->IsFolderLike(),
                         kFileMapping);
    }
    Propagate(*child);
  }
}

void FileSystem::PropagateInheritance(const std::string& resolvedPath) {
  if (auto node = FindNode(resolvedPath)) Propagate(*node);
}

// ---- Plain helpers ---------------------------------------------------------

void FileSystem::CreateDirectories(const std::string& path) {
  std::string full = NormaliseFull(path);
  if (full.empty()) throw std::invalid_argument("not a full path: " + path);
  AddDrive(full.substr(0, 2));
  std::shared_ptr<Node> folder = drives_[full.substr(0, 2)];
  for (const std::string& segment : SplitSegments(full.substr(2))) {
    auto it = folder->children.find(Upper(segment));
    std::shared_ptr<Node> child = it == folder->children.end() ? nullptr : it->second;
    if (child && child->kind == NodeKind::Junction) child = FindNode(child->target);
    if (!child) child = NewChild(*folder, segment, NodeKind::Folder);
    if (child->kind != NodeKind::Folder) throw std::invalid_argument("a file is in the way: " + path);
    folder = child;
  }
}

void FileSystem::WriteFile(const std::string& path, const std::string& bytes) {
  std::string full = NormaliseFull(path);
  size_t slash = full.find_last_of('\\');
  if (full.empty() || slash + 1 == full.size()) throw std::invalid_argument("not a file path: " + path);
  CreateDirectories(full.substr(0, slash));
  Lookup at = Find(full);
  std::shared_ptr<Node> file = at.node;
  if (!file) file = NewChild(*at.parent, at.name, NodeKind::File);
  if (file->kind != NodeKind::File) throw std::invalid_argument("a folder is in the way: " + path);
  file->content = bytes;
}

std::optional<std::string> FileSystem::ReadFile(const std::string& path) const {
  auto node = FindNode(path);
  if (!node || node->kind != NodeKind::File) return std::nullopt;
  return node->content;
}

bool FileSystem::Exists(const std::string& path) const { return FindNode(path) != nullptr; }

bool FileSystem::IsDirectory(const std::string& path) const {
  auto node = FindNode(path);
  return node && node->IsFolderLike();
}

std::vector<std::string> FileSystem::List(const std::string& folder) const {
  std::vector<std::string> names;
  auto node = FindNode(folder);
  for (int hops = 0; node && node->kind == NodeKind::Junction && hops < 30; ++hops) {
    node = FindNode(node->target);
  }
  if (!node || node->kind != NodeKind::Folder) return names;
  for (const auto& [key, child] : node->children) names.push_back(child->name);
  return names;
}

void FileSystem::CreateJunction(const std::string& path, const std::string& target) {
  std::string full = NormaliseFull(path);
  size_t slash = full.find_last_of('\\');
  CreateDirectories(full.substr(0, slash));
  Lookup at = Find(full);
  if (at.node) throw std::invalid_argument("already exists: " + path);
  auto junction = NewChild(*at.parent, at.name, NodeKind::Junction);
  junction->target = NormaliseFull(target);
}

void FileSystem::SetAttributes(const std::string& path, DWORD attributes) {
  auto node = FindNode(path);
  if (!node) throw std::invalid_argument("no such file or folder: " + path);
  node->attributes = attributes & kSettableAttributes;
}

// ---- Machine description ---------------------------------------------------

void FileSystem::DumpNode(const std::string& path, const Node& node, nlohmann::json& entries) const {
  nlohmann::json entry;
  switch (node.kind) {
    case NodeKind::Folder:
      entry["type"] = "folder";
      if (node.attributes) entry["attributes"] = AttributesToJson(node.attributes);
      break;
    case NodeKind::Junction:
      entry["type"] = "junction";
      entry["target"] = node.target;
      if (node.attributes) entry["attributes"] = AttributesToJson(node.attributes);
      break;
    case NodeKind::File:
      entry["type"] = "file";
      entry["attributes"] = AttributesToJson(node.attributes);
      if (IsPrintableText(node.content)) {
        entry["content"] = node.content;
      } else {
        entry["contentHex"] = ToHex(node.content);
      }
      break;
  }
  if (HasExplicitSecurity(node.security)) entry["security"] = SecurityToJson(node.security);
  nlohmann::json holds = nlohmann::json::array();
  for (const sim::Hold& hold : node.holds) {
    if (!hold.holder.empty() && hold.holder[0] == '#') continue;  // our own handles
    holds.push_back({{"kind", HoldKindName(hold.kind)},
                     {"holder", hold.holder},
                     {"shareMode", hold.shareMode}});
  }
  if (!holds.empty()) entry["holds"] = holds;
  entries[path] = entry;

  if (node.kind == NodeKind::Folder) {
    std::string prefix = path.back() == '\\' ? path : path + "\\";
    for (const auto& [key, child] : node.children) DumpNode(prefix + child->name, *child, entries);
  }
}

nlohmann::json FileSystem::Dump() const {
  nlohmann::json drives = nlohmann::json::array();
  nlohmann::json entries = nlohmann::json::object();
  for (const auto& [letter, root] : drives_) {
    drives.push_back(letter);
    DumpNode(letter + "\\", *root, entries);
  }
  return {{"drives", drives}, {"entries", entries}};
}

void FileSystem::Load(const nlohmann::json& section) {
  for (const auto& letter : section.value("drives", nlohmann::json::array())) {
    AddDrive(letter.get<std::string>());
  }
  for (const auto& path : section.value("delete", nlohmann::json::array())) {
    Lookup at = Find(path.get<std::string>());
    if (at.node && at.parent) at.parent->children.erase(Upper(at.node->name));
  }
  // Object keys come sorted, so a folder comes before what it holds.
  const nlohmann::json entries = section.value("entries", nlohmann::json::object());
  for (const auto& [path, entry] : entries.items()) {
    std::string full = NormaliseFull(path);
    if (full.empty()) throw std::invalid_argument("files: not a full path: " + path);
    const std::string type = entry.value("type", "folder");
    const bool isRoot = full.size() == 3;
    if (type == "folder" || isRoot) {
      CreateDirectories(full);
    } else if (type == "file") {
      std::string bytes = entry.contains("contentHex") ? FromHex(entry["contentHex"].get<std::string>())
                                                       : entry.value("content", std::string());
      WriteFile(full, bytes);
      SetAttributes(full, win::FILE_ATTRIBUTE_ARCHIVE);
    } else if (type == "junction") {
      if (!Exists(full)) CreateJunction(full, entry.at("target").get<std::string>());
    } else {
      throw std::invalid_argument("files: unknown entry type " + type);
    }
    auto node = FindNode(full);
    if (entry.contains("attributes")) node->attributes = AttributesFromJson(entry["attributes"]);
    if (entry.contains("security")) node->security = SecurityFromJson(entry["security"]);
    for (const auto& h : entry.value("holds", nlohmann::json::array())) {
      HoldKind kind = h.value("kind", "open") == std::string("loaded") ? HoldKind::Loaded
                                                                        : HoldKind::Open;
      DWORD share = h.contains("shareMode") ? NumberFromJson(h["shareMode"]) : 0;
      Hold(full, kind, share, h.value("holder", std::string("other")));
    }
  }
  // Inherited entries follow from the explicit ones just loaded.
  for (auto& [letter, root] : drives_) Propagate(*root);
}

}  // namespace sim
