// The disks of the simulated machine: drives, folders, files, junctions,
// their attributes and security, and the files that other processes hold.
//
// Paths are Windows paths: case-insensitive and case-preserving, "\" (or
// "/") separators, "." and ".." segments, a drive letter in front. The
// operations below that carry a Windows call's name follow that call's rules
// and return its error code (0 on success); SimFiles turns them into the
// calls of one process. The plain helpers further down (WriteFile, ReadFile,
// Exists ...) skip access checks and holds: they are for machine presets,
// other parts of the machine and tests.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/access_control.h"
#include "platform/sim/os_layout.h"
#include "platform/win_constants.h"

namespace sim {

class SimMachine;
class SimProcess;

// Access rights specific to files and folders.
namespace file_rights {
constexpr win::ACCESS_MASK FILE_READ_DATA = 0x0001;       // folder: FILE_LIST_DIRECTORY
constexpr win::ACCESS_MASK FILE_LIST_DIRECTORY = 0x0001;
constexpr win::ACCESS_MASK FILE_WRITE_DATA = 0x0002;      // folder: FILE_ADD_FILE
constexpr win::ACCESS_MASK FILE_ADD_FILE = 0x0002;
constexpr win::ACCESS_MASK FILE_APPEND_DATA = 0x0004;     // folder: FILE_ADD_SUBDIRECTORY
constexpr win::ACCESS_MASK FILE_ADD_SUBDIRECTORY = 0x0004;
constexpr win::ACCESS_MASK FILE_READ_EA = 0x0008;
constexpr win::ACCESS_MASK FILE_WRITE_EA = 0x0010;
constexpr win::ACCESS_MASK FILE_EXECUTE = 0x0020;         // folder: FILE_TRAVERSE
constexpr win::ACCESS_MASK FILE_DELETE_CHILD = 0x0040;
constexpr win::ACCESS_MASK FILE_READ_ATTRIBUTES = 0x0080;
constexpr win::ACCESS_MASK FILE_WRITE_ATTRIBUTES = 0x0100;
constexpr win::ACCESS_MASK FILE_ALL_ACCESS = 0x001F01FF;
constexpr win::ACCESS_MASK FILE_GENERIC_READ = 0x00120089;
constexpr win::ACCESS_MASK FILE_GENERIC_WRITE = 0x00120116;
constexpr win::ACCESS_MASK FILE_GENERIC_EXECUTE = 0x001200A0;
}  // namespace file_rights

// Error codes of the file calls that win_constants.h does not need.
constexpr win::DWORD ERROR_NOT_SAME_DEVICE = 17;
constexpr win::DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr win::DWORD ERROR_DIRECTORY = 267;

// How another process holds a file.
enum class HoldKind {
  Loaded,  // an image mapped by a running process or service (a DLL)
  Open,    // an open handle with a share mode
};

struct Hold {
  HoldKind kind = HoldKind::Open;
  win::DWORD access = win::GENERIC_READ;  // what the holder opened it for
  win::DWORD shareMode = 0;               // what the holder lets others do
  std::string holder;                     // e.g. "spoolsv"; "#<n>" for our own handles
};

enum class NodeKind { Folder, File, Junction };

// A folder, file or junction. Folders own their children by upper-case name,
// which also gives the case-insensitive order NTFS lists names in.
struct Node {
  NodeKind kind = NodeKind::Folder;
  std::string name;          // as created (case preserved); "C:" for a drive root
  win::DWORD attributes = 0; // READONLY, HIDDEN, SYSTEM, ARCHIVE ... (0 = NORMAL)
  std::string content;       // bytes of a file
  std::string target;        // a junction's target folder, a full path
  SecurityDescriptor security;
  std::vector<Hold> holds;
  std::map<std::string, std::shared_ptr<Node>> children;
  bool removed = false;  // deleted while a handle still had it open

  bool IsFolderLike() const { return kind != NodeKind::File; }
  // Attributes as GetFileAttributesA reports them.
  win::DWORD ReportedAttributes() const;
};

// One entry a finder reports.
struct FoundEntry {
  std::string name;
  win::DWORD attributes = 0;
  std::uint64_t size = 0;
};

class FileSystem {
 public:
  explicit FileSystem(SimMachine& machine);
  // The file system of a release and a token, without a whole machine.
  FileSystem(const OsLayout& os, const Token& token);
  ~FileSystem();

  // Builds the standard content of a fresh machine of the release.
  void CreateStandardContent();
  // Reads / writes the "files" section of a machine description
  // (docs/simulated-machine.md).
  void Load(const nlohmann::json& section);
  nlohmann::json Dump() const;

  // ---- Paths ----
  // The full, normalised path that `path` names for a process: relative
  // paths against its current directory, "." and ".." applied, "/" turned
  // into "\", and the WOW64 redirection of a 32-bit process on 64-bit Windows.
  // A trailing "\" is kept (some calls treat it specially). Empty when the
  // path cannot be a local path (e.g. a UNC path).
  std::string ResolvePath(const SimProcess& process, const std::string& path) const;
  std::string ResolvePath(const std::string& currentDirectory, bool wow64,
                          const std::string& path) const;
  // The WOW64 file system redirection of a full path for a 32-bit process.
  std::string Redirect(const std::string& fullPath) const;

  // ---- Windows operations on resolved paths (return a Windows error code) ----
  win::DWORD CreateDirectory(const std::string& path, const RequestedSecurity& requested);
  win::DWORD RemoveDirectory(const std::string& path);
  win::DWORD DeleteFile(const std::string& path);
  win::DWORD CopyFile(const std::string& source, const std::string& destination,
                      bool failIfExists);
  win::DWORD MoveFile(const std::string& source, const std::string& destination);
  win::DWORD GetFileAttributes(const std::string& path, win::DWORD* attributes) const;
  win::DWORD SetFileAttributes(const std::string& path, win::DWORD attributes);
  // The entries of a finder pattern ("C:\dir\*.dll"), "." and ".." included
  // where Windows lists them.
  win::DWORD FindEntries(const std::string& pattern, std::vector<FoundEntry>* entries) const;

  // An open file: CreateFileA's view of a node. `existed` tells whether the
  // file was there before (for ERROR_ALREADY_EXISTS on success).
  struct OpenResult {
    std::shared_ptr<Node> file;
    bool existed = false;
  };
  win::DWORD OpenFile(const std::string& path, win::DWORD access, win::DWORD shareMode,
                      win::DWORD disposition, win::DWORD flagsAndAttributes,
                      const std::string& handleHolder, OpenResult* result);
  // Ends the hold an open handle put on its file.
  static void CloseFile(Node& file, const std::string& handleHolder);

  // ---- Holds by other processes and services ----
  // Marks the file at `path` as held; the hold follows the file when it is
  // renamed. Open holds are taken with read access.
  void Hold(const std::string& path, HoldKind kind, win::DWORD shareMode, std::string holder);
  void ReleaseHolds(const std::string& holder);

  // ---- Security (for the security calls) ----
  // The descriptor of the file or folder at a resolved path, or null.
  SecurityDescriptor* SecurityOf(const std::string& resolvedPath);
  // Re-applies the inheritable entries of the node at the path to its whole
  // sub-tree (after its DACL changed).
  void PropagateInheritance(const std::string& resolvedPath);

  // ---- Plain helpers: full paths, no access checks, no holds ----
  void WriteFile(const std::string& path, const std::string& bytes);  // creates folders
  std::optional<std::string> ReadFile(const std::string& path) const;
  bool Exists(const std::string& path) const;
  bool IsDirectory(const std::string& path) const;
  // Names in a folder (case preserved, sorted case-insensitively).
  std::vector<std::string> List(const std::string& folder) const;
  void CreateDirectories(const std::string& path);
  void CreateJunction(const std::string& path, const std::string& target);
  void SetAttributes(const std::string& path, win::DWORD attributes);
  // Current holds on a file (none when it is missing).
  std::vector<sim::Hold> HoldsOn(const std::string& path) const;
  // Adds a drive ("D:") with the default folder security.
  void AddDrive(const std::string& letter);

  // The default access list of a drive root: Administrators and SYSTEM full
  // control, Users read and execute, inherited by folders and files.
  static SecurityDescriptor DefaultRootSecurity();

 private:
  struct Lookup {
    std::shared_ptr<Node> parent;  // null for a drive root or a missing folder
    std::shared_ptr<Node> node;    // null when missing
    std::string name;              // last segment as written
    win::DWORD error = 0;          // ERROR_PATH_NOT_FOUND when a folder on the way is missing
    bool trailingSeparator = false;
  };
  Lookup Find(const std::string& path) const;
  std::shared_ptr<Node> FindNode(const std::string& path) const;
  std::shared_ptr<Node> NewChild(Node& parent, const std::string& name, NodeKind kind,
                                 const RequestedSecurity& requested = {});
  bool Allowed(const Node& node, win::ACCESS_MASK desired) const;
  bool MayDelete(const Node& parent, const Node& node) const;
  void Propagate(Node& folder);
  void DumpNode(const std::string& path, const Node& node, nlohmann::json& entries) const;
  std::string NormaliseFull(const std::string& path) const;

  const OsLayout& os_;
  const Token& token_;
  std::map<std::string, std::shared_ptr<Node>> drives_;  // "C:" -> root folder
};

}  // namespace sim
