// The simulated disks: paths, attributes, holds, junctions, security,
// WOW64 redirection and the machine description.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/access_control.h"
#include "platform/sim/file_system.h"
#include "platform/sim/last_error.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_process.h"
#include "platform/win_constants.h"

namespace {

using sim::FileSystem;
using sim::HoldKind;

sim::OsLayout Xp() { return sim::OsLayout{}; }

sim::OsLayout Release(win::DWORD major, win::DWORD minor, bool is64Bit) {
  sim::OsLayout os;
  os.major = major;
  os.minor = minor;
  os.is64Bit = is64Bit;
  os.windowsDirectory = major >= 6 ? "C:\\Windows" : "C:\\WINDOWS";
  return os;
}

class FileSystemTest : public testing::Test {
 protected:
  FileSystemTest() { fs.CreateStandardContent(); }

  win::DWORD Attributes(const std::string& path) {
    win::DWORD attributes = 0;
    win::DWORD error = fs.GetFileAttributes(path, &attributes);
    return error ? win::INVALID_FILE_ATTRIBUTES : attributes;
  }

  sim::OsLayout os = Xp();
  sim::Token token;
  FileSystem fs{os, token};
};

TEST_F(FileSystemTest, NamesIgnoreCaseAndKeepTheirSpelling) {
  fs.WriteFile("C:\\WINDOWS\\Temp\\Log.TXT", "abc");
  EXPECT_EQ(fs.ReadFile("c:/windows/TEMP/log.txt"), "abc");
  EXPECT_EQ(Attributes("C:\\windows\\temp\\LOG.txt"), win::FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(fs.List("C:\\WINDOWS\\Temp"), std::vector<std::string>{"Log.TXT"});
  EXPECT_EQ(fs.CreateDirectory("C:\\windows\\TEMP", {}), win::ERROR_ALREADY_EXISTS);
  // A rename that only changes the case is allowed and shows the new spelling.
  EXPECT_EQ(fs.MoveFile("C:\\WINDOWS\\Temp\\Log.TXT", "C:\\WINDOWS\\Temp\\log.txt"), 0u);
  EXPECT_EQ(fs.List("C:\\WINDOWS\\Temp"), std::vector<std::string>{"log.txt"});
}

TEST_F(FileSystemTest, ResolvesPathsLikeWindows) {
  struct Case {
    const char* path;
    const char* expected;
  };
  const Case cases[] = {
      {"a.txt", "C:\\Pkg\\Sub\\a.txt"},
      {"..\\a.txt", "C:\\Pkg\\a.txt"},
      {".\\x\\..\\a.txt", "C:\\Pkg\\Sub\\a.txt"},
      {"\\a.txt", "C:\\a.txt"},
      {"c:/x/./y", "C:\\x\\y"},
      {"C:\\dir\\", "C:\\dir\\"},
      {"C:\\..\\..", "C:\\"},
      {"c:name", "C:\\Pkg\\Sub\\name"},
      {"D:name", "D:\\name"},
      {"C:\\a\\\\b", "C:\\a\\b"},
      {"\\\\server\\share\\f", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fs.ResolvePath("C:\\Pkg\\Sub", false, c.path), c.expected) << c.path;
  }
}

TEST_F(FileSystemTest, MissingFileAndMissingFolderGiveDifferentCodes) {
  const std::string missingFile = "C:\\WINDOWS\\nothing.txt";
  const std::string inMissingFolder = "C:\\WINDOWS\\nofolder\\nothing.txt";
  fs.WriteFile("C:\\src.txt", "x");
  win::DWORD attributes;
  EXPECT_EQ(fs.GetFileAttributes(missingFile, &attributes), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(fs.GetFileAttributes(inMissingFolder, &attributes), win::ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.DeleteFile(missingFile), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(fs.DeleteFile(inMissingFolder), win::ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.RemoveDirectory(missingFile), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(fs.RemoveDirectory(inMissingFolder), win::ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.CopyFile(missingFile, "C:\\dst.txt", false), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(fs.CopyFile("C:\\src.txt", inMissingFolder, false), win::ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.CreateDirectory("C:\\a\\b", {}), win::ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.GetFileAttributes("Q:\\x", &attributes), win::ERROR_PATH_NOT_FOUND);
}

TEST_F(FileSystemTest, ReadOnlyFilesResistChangesButNotRenames) {
  const std::string file = "C:\\WINDOWS\\locked.dll";
  fs.WriteFile(file, "old");
  fs.WriteFile("C:\\new.dll", "new");
  EXPECT_EQ(fs.SetFileAttributes(file, win::FILE_ATTRIBUTE_READONLY), 0u);
  EXPECT_EQ(Attributes(file), win::FILE_ATTRIBUTE_READONLY);

  EXPECT_EQ(fs.DeleteFile(file), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(fs.CopyFile("C:\\new.dll", file, false), win::ERROR_ACCESS_DENIED);
  FileSystem::OpenResult opened;
  EXPECT_EQ(fs.OpenFile(file, win::GENERIC_WRITE, 0, win::OPEN_EXISTING, 0, "#t", &opened),
            win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(fs.ReadFile(file), "old");

  EXPECT_EQ(fs.MoveFile(file, file + ".old"), 0u);
  EXPECT_EQ(fs.SetFileAttributes(file + ".old", win::FILE_ATTRIBUTE_NORMAL), 0u);
  EXPECT_EQ(Attributes(file + ".old"), win::FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(fs.DeleteFile(file + ".old"), 0u);
}

TEST_F(FileSystemTest, HiddenDestinationRefusesCopy) {
  fs.WriteFile("C:\\src.txt", "x");
  fs.WriteFile("C:\\hidden.txt", "y");
  fs.SetAttributes("C:\\hidden.txt", win::FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(fs.CopyFile("C:\\src.txt", "C:\\hidden.txt", false), win::ERROR_ACCESS_DENIED);
}

TEST_F(FileSystemTest, RemoveDirectoryRules) {
  fs.CreateDirectories("C:\\Full\\Sub");
  fs.CreateDirectories("C:\\ReadOnly");
  fs.SetAttributes("C:\\ReadOnly", win::FILE_ATTRIBUTE_READONLY);
  fs.WriteFile("C:\\file.txt", "");
  EXPECT_EQ(fs.RemoveDirectory("C:\\Full"), win::ERROR_DIR_NOT_EMPTY);
  EXPECT_EQ(fs.RemoveDirectory("C:\\ReadOnly"), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(fs.RemoveDirectory("C:\\file.txt"), sim::ERROR_DIRECTORY);
  EXPECT_EQ(fs.DeleteFile("C:\\Full\\Sub"), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(fs.RemoveDirectory("C:\\Full\\Sub\\"), 0u);  // a trailing backslash is fine
  EXPECT_EQ(fs.RemoveDirectory("C:\\Full"), 0u);
  EXPECT_FALSE(fs.Exists("C:\\Full"));
}

TEST_F(FileSystemTest, CopyKeepsAttributesAndHonoursFailIfExists) {
  fs.WriteFile("C:\\src.ini", "[a]\r\nb=c\r\n");
  fs.SetAttributes("C:\\src.ini", win::FILE_ATTRIBUTE_READONLY | win::FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(fs.CopyFile("C:\\src.ini", "C:\\WINDOWS\\dst.ini", true), 0u);
  EXPECT_EQ(fs.ReadFile("C:\\WINDOWS\\dst.ini"), "[a]\r\nb=c\r\n");
  EXPECT_EQ(Attributes("C:\\WINDOWS\\dst.ini"),
            win::FILE_ATTRIBUTE_READONLY | win::FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(fs.CopyFile("C:\\src.ini", "C:\\WINDOWS\\dst.ini", true), win::ERROR_FILE_EXISTS);
  EXPECT_EQ(fs.CopyFile("C:\\WINDOWS", "C:\\x", false), win::ERROR_ACCESS_DENIED);
}

TEST_F(FileSystemTest, MoveDoesNotReplace) {
  fs.WriteFile("C:\\a.txt", "a");
  fs.WriteFile("C:\\b.txt", "b");
  EXPECT_EQ(fs.MoveFile("C:\\a.txt", "C:\\b.txt"), win::ERROR_ALREADY_EXISTS);
  EXPECT_EQ(fs.ReadFile("C:\\b.txt"), "b");
  fs.CreateDirectories("C:\\Dir\\Inner");
  EXPECT_EQ(fs.MoveFile("C:\\Dir", "C:\\Dir\\Inner\\Dir"), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(fs.MoveFile("C:\\Dir", "C:\\Moved"), 0u);
  EXPECT_TRUE(fs.IsDirectory("C:\\Moved\\Inner"));
}

// A DLL that the spooler has loaded: it cannot be overwritten (sharing
// violation) or deleted (access denied), but it can be renamed, and the
// spooler keeps holding it under its new name.
TEST_F(FileSystemTest, LoadedLibraryCanOnlyBeRenamed) {
  const std::string dll = "C:\\WINDOWS\\system32\\qpmon.dll";
  fs.WriteFile(dll, "v1");
  fs.WriteFile("C:\\pkg\\qpmon.dll", "v2");
  fs.Hold(dll, HoldKind::Loaded, 0, "spoolsv");

  EXPECT_EQ(fs.CopyFile("C:\\pkg\\qpmon.dll", dll, false), win::ERROR_SHARING_VIOLATION);
  FileSystem::OpenResult opened;
  EXPECT_EQ(fs.OpenFile(dll, win::GENERIC_WRITE, 0, win::OPEN_EXISTING, 0, "#t", &opened),
            win::ERROR_SHARING_VIOLATION);
  EXPECT_EQ(fs.DeleteFile(dll), win::ERROR_ACCESS_DENIED);
  // Reading it is fine (CopyFileA from it shares reading).
  EXPECT_EQ(fs.CopyFile(dll, "C:\\copy.dll", false), 0u);

  EXPECT_EQ(fs.MoveFile(dll, dll + ".old"), 0u);
  EXPECT_TRUE(fs.HoldsOn(dll).empty());
  ASSERT_EQ(fs.HoldsOn(dll + ".old").size(), 1u);
  EXPECT_EQ(fs.HoldsOn(dll + ".old")[0].holder, "spoolsv");
  EXPECT_EQ(fs.CopyFile("C:\\pkg\\qpmon.dll", dll, false), 0u);
  EXPECT_EQ(fs.DeleteFile(dll + ".old"), win::ERROR_ACCESS_DENIED);

  fs.ReleaseHolds("spoolsv");
  EXPECT_EQ(fs.DeleteFile(dll + ".old"), 0u);
}

// A file another program holds open: what is allowed depends on its share mode.
TEST_F(FileSystemTest, OpenFileAllowsOnlyWhatItsShareModeAllows) {
  const std::string log = "C:\\WINDOWS\\Temp\\log.txt";
  fs.WriteFile(log, "line");
  fs.Hold(log, HoldKind::Open, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, "viewer");
  EXPECT_EQ(fs.DeleteFile(log), win::ERROR_SHARING_VIOLATION);
  EXPECT_EQ(fs.MoveFile(log, log + ".old"), win::ERROR_SHARING_VIOLATION);
  FileSystem::OpenResult opened;
  EXPECT_EQ(fs.OpenFile(log, win::GENERIC_READ | win::GENERIC_WRITE,
                        win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_ALWAYS, 0, "#a",
                        &opened),
            0u);
  EXPECT_TRUE(opened.existed);
  // Our own open without sharing now blocks everyone else.
  FileSystem::OpenResult second;
  EXPECT_EQ(fs.OpenFile(log, win::GENERIC_READ, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                        win::OPEN_EXISTING, 0, "#b", &second),
            0u);
  FileSystem::CloseFile(*opened.file, "#a");
  FileSystem::CloseFile(*second.file, "#b");
  EXPECT_EQ(fs.OpenFile(log, win::GENERIC_READ, 0, win::OPEN_EXISTING, 0, "#c", &second),
            win::ERROR_SHARING_VIOLATION);  // the viewer reads: we must share reading

  fs.ReleaseHolds("viewer");
  fs.Hold(log, HoldKind::Open, win::FILE_SHARE_READ | win::FILE_SHARE_DELETE, "viewer");
  EXPECT_EQ(fs.MoveFile(log, log + ".old"), 0u);
}

TEST_F(FileSystemTest, OpenDispositions) {
  const std::string file = "C:\\f.txt";
  FileSystem::OpenResult r;
  auto open = [&](win::DWORD disposition) {
    win::DWORD error = fs.OpenFile(file, win::GENERIC_WRITE, 0, disposition, 0, "#d", &r);
    if (!error) FileSystem::CloseFile(*r.file, "#d");
    return error;
  };
  EXPECT_EQ(open(win::OPEN_EXISTING), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(open(win::TRUNCATE_EXISTING), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(open(win::CREATE_NEW), 0u);
  EXPECT_FALSE(r.existed);
  EXPECT_EQ(open(win::CREATE_NEW), win::ERROR_FILE_EXISTS);
  fs.WriteFile(file, "content");
  EXPECT_EQ(open(win::OPEN_ALWAYS), 0u);
  EXPECT_TRUE(r.existed);
  EXPECT_EQ(fs.ReadFile(file), "content");
  EXPECT_EQ(open(win::CREATE_ALWAYS), 0u);
  EXPECT_EQ(fs.ReadFile(file), "");
  EXPECT_EQ(fs.OpenFile("C:\\WINDOWS", win::GENERIC_READ, 0, win::OPEN_EXISTING, 0, "#d", &r),
            win::ERROR_ACCESS_DENIED);
}

// WOW64 sends a 32-bit program's System32 accesses to SysWOW64, except for
// a few folders; Sysnative reaches the real System32 from Vista on.
TEST(FileSystemRedirection, SystemFolderOfA32BitProcess) {
  struct Case {
    const char* title;
    sim::OsLayout os;
    bool wow64;
    const char* path;
    const char* expected;
  };
  const sim::OsLayout win7 = Release(6, 1, true), vista = Release(6, 0, true),
                      xp64 = Release(5, 2, true), xp32 = Release(5, 1, false);
  const Case cases[] = {
      {"dll", win7, true, "C:\\Windows\\System32\\QPR730_Config.HVN",
       "C:\\Windows\\SysWOW64\\QPR730_Config.HVN"},
      {"folder_itself", win7, true, "c:\\windows\\system32", "C:\\Windows\\SysWOW64"},
      {"spool_exempt", win7, true, "C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\a.dll",
       "C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\a.dll"},
      {"drivers_etc_exempt", win7, true, "C:\\Windows\\System32\\drivers\\etc\\hosts",
       "C:\\Windows\\System32\\drivers\\etc\\hosts"},
      {"drivers_redirected", win7, true, "C:\\Windows\\System32\\drivers\\usbprint.sys",
       "C:\\Windows\\SysWOW64\\drivers\\usbprint.sys"},
      {"catroot2_exempt", xp64, true, "C:\\WINDOWS\\system32\\catroot2\\x",
       "C:\\WINDOWS\\system32\\catroot2\\x"},
      {"spooler_name_is_not_spool", win7, true, "C:\\Windows\\System32\\spoolsv.exe",
       "C:\\Windows\\SysWOW64\\spoolsv.exe"},
      {"driverstore_exempt_on_7", win7, true, "C:\\Windows\\System32\\DriverStore\\x",
       "C:\\Windows\\System32\\DriverStore\\x"},
      {"driverstore_redirected_on_vista", vista, true, "C:\\Windows\\System32\\DriverStore\\x",
       "C:\\Windows\\SysWOW64\\DriverStore\\x"},
      {"sysnative", win7, true, "C:\\Windows\\Sysnative\\cmd.exe", "C:\\Windows\\system32\\cmd.exe"},
      {"no_sysnative_before_vista", xp64, true, "C:\\WINDOWS\\Sysnative\\cmd.exe",
       "C:\\WINDOWS\\Sysnative\\cmd.exe"},
      {"64_bit_process", win7, false, "C:\\Windows\\System32\\x.dll",
       "C:\\Windows\\System32\\x.dll"},
      {"32_bit_windows", xp32, true, "C:\\WINDOWS\\system32\\x.dll", "C:\\WINDOWS\\system32\\x.dll"},
  };
  sim::Token token;
  for (const Case& c : cases) {
    FileSystem fs(c.os, token);
    EXPECT_EQ(fs.ResolvePath("C:\\", c.wow64, c.path), c.expected) << c.title;
  }
}

TEST(FileSystemRedirection, RelativePathsAreRedirectedToo) {
  sim::OsLayout os = Release(6, 1, true);
  sim::Token token;
  FileSystem fs(os, token);
  EXPECT_EQ(fs.ResolvePath("C:\\Windows\\System32", true, "x.ini"), "C:\\Windows\\SysWOW64\\x.ini");
}

TEST_F(FileSystemTest, JunctionLeadsToItsTargetAndIsRemovedAlone) {
  fs.WriteFile("C:\\Target\\f.txt", "data");
  fs.CreateJunction("C:\\Link", "C:\\Target");

  EXPECT_EQ(fs.ReadFile("C:\\Link\\f.txt"), "data");
  EXPECT_EQ(Attributes("C:\\Link"),
            win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_REPARSE_POINT);
  std::vector<sim::FoundEntry> found;
  ASSERT_EQ(fs.FindEntries("C:\\L*", &found), 0u);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].attributes, win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_REPARSE_POINT);
  ASSERT_EQ(fs.FindEntries("C:\\Link\\*.*", &found), 0u);
  EXPECT_EQ(found.back().name, "f.txt");

  EXPECT_EQ(fs.DeleteFile("C:\\Link"), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(fs.RemoveDirectory("C:\\Link"), 0u);
  EXPECT_FALSE(fs.Exists("C:\\Link"));
  EXPECT_EQ(fs.ReadFile("C:\\Target\\f.txt"), "data");
}

TEST_F(FileSystemTest, FinderPatterns) {
  fs.CreateDirectories("C:\\D");
  for (const char* name : {"readme.TXT", "a.txt", "noext", "B.dll", "ab.txt"}) {
    fs.WriteFile(std::string("C:\\D\\") + name, "");
  }
  auto names = [&](const std::string& pattern) {
    std::vector<sim::FoundEntry> found;
    std::vector<std::string> out;
    if (fs.FindEntries(pattern, &found)) return std::vector<std::string>{"error"};
    for (const auto& entry : found) out.push_back(entry.name);
    return out;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(names("C:\\D\\*.*"), (Names{".", "..", "a.txt", "ab.txt", "B.dll", "noext", "readme.TXT"}));
  EXPECT_EQ(names("C:\\D\\*.txt"), (Names{"a.txt", "ab.txt", "readme.TXT"}));
  EXPECT_EQ(names("C:\\D\\?.TXT"), (Names{"a.txt"}));
  EXPECT_EQ(names("C:\\D\\noext.*"), (Names{"noext"}));
  EXPECT_EQ(names("C:\\D\\b.dll"), (Names{"B.dll"}));
  EXPECT_EQ(names("C:\\*.*").front(), "D");  // a root lists no "." and ".."

  std::vector<sim::FoundEntry> found;
  EXPECT_EQ(fs.FindEntries("C:\\D\\*.exe", &found), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(fs.FindEntries("C:\\Missing\\*.*", &found), win::ERROR_PATH_NOT_FOUND);
}

TEST_F(FileSystemTest, NewFolderTakesRequestedDaclThenInheritedEntries) {
  const sim::Ace everyone{sim::AceType::Allow, win::GENERIC_ALL,
                          win::OBJECT_INHERIT_ACE | win::CONTAINER_INHERIT_ACE, sim::sids::kEveryone};
  sim::RequestedSecurity requested;
  requested.given = true;
  requested.dacl.aces = {everyone};
  ASSERT_EQ(fs.CreateDirectory("C:\\WINDOWS\\QPR-730", requested), 0u);
  const sim::SecurityDescriptor* sd = fs.SecurityOf("C:\\WINDOWS\\QPR-730");
  ASSERT_TRUE(sd && sd->dacl);
  ASSERT_GT(sd->dacl->aces.size(), 1u);
  EXPECT_EQ(sd->dacl->aces[0], everyone);
  for (size_t i = 1; i < sd->dacl->aces.size(); ++i) {
    EXPECT_TRUE(sd->dacl->aces[i].flags & win::INHERITED_ACE);
  }
  // A file created in it inherits the Everyone entry.
  fs.WriteFile("C:\\WINDOWS\\QPR-730\\f.txt", "");
  const auto& fileAces = fs.SecurityOf("C:\\WINDOWS\\QPR-730\\f.txt")->dacl->aces;
  EXPECT_TRUE(std::any_of(fileAces.begin(), fileAces.end(), [](const sim::Ace& a) {
    return a.sid == sim::sids::kEveryone && (a.flags & win::INHERITED_ACE);
  }));

  sim::RequestedSecurity nullDacl;
  nullDacl.given = nullDacl.nullDacl = true;
  ASSERT_EQ(fs.CreateDirectory("C:\\Open", nullDacl), 0u);
  EXPECT_FALSE(fs.SecurityOf("C:\\Open")->dacl.has_value());
}

TEST_F(FileSystemTest, AccessListsDecideCreationAndDeletion) {
  fs.CreateDirectories("C:\\Guarded");
  fs.WriteFile("C:\\Guarded\\f.txt", "");
  // Only SYSTEM may do anything in the folder.
  sim::SecurityDescriptor* sd = fs.SecurityOf("C:\\Guarded");
  sd->daclProtected = true;
  sd->dacl = sim::Acl{{sim::Ace{sim::AceType::Allow, sim::file_rights::FILE_ALL_ACCESS,
                                win::OBJECT_INHERIT_ACE | win::CONTAINER_INHERIT_ACE,
                                sim::sids::kSystem}}};
  fs.PropagateInheritance("C:\\Guarded");
  EXPECT_EQ(fs.CreateDirectory("C:\\Guarded\\Sub", {}), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(fs.CopyFile("C:\\WINDOWS\\system32\\net.exe", "C:\\Guarded\\net.exe", false),
            win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(fs.DeleteFile("C:\\Guarded\\f.txt"), win::ERROR_ACCESS_DENIED);

  // Delete-child on the folder is enough to delete a file there.
  sd->dacl->aces.push_back(sim::Ace{sim::AceType::Allow, sim::file_rights::FILE_DELETE_CHILD, 0,
                                    sim::sids::kAdministrators});
  EXPECT_EQ(fs.DeleteFile("C:\\Guarded\\f.txt"), 0u);
}

TEST(FileSystemContent, StandardFoldersOfEachRelease) {
  struct Case {
    const char* title;
    sim::OsLayout os;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  };
  sim::OsLayout win98 = Xp();
  win98.platformId = 1;
  win98.major = 4;
  win98.minor = 10;
  const Case cases[] = {
      {"xp", Xp(),
       {"C:\\WINDOWS\\Temp", "C:\\WINDOWS\\inf", "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3",
        "C:\\WINDOWS\\system32\\spool\\prtprocs\\w32x86", "C:\\Documents and Settings",
        "C:\\Program Files", "C:\\WINDOWS\\system32\\net.exe", "C:\\WINDOWS\\system32\\printui.dll"},
       {"C:\\WINDOWS\\SysWOW64", "C:\\Program Files (x86)", "C:\\Users"}},
      {"win7_64", Release(6, 1, true),
       {"C:\\Windows\\SysWOW64\\rundll32.exe", "C:\\Windows\\System32\\spool\\drivers\\x64\\3",
        "C:\\Windows\\System32\\spool\\prtprocs\\x64", "C:\\Program Files (x86)", "C:\\Users"},
       {"C:\\Documents and Settings"}},
      {"win98", win98, {"C:\\WINDOWS\\SYSTEM\\cmd.exe", "C:\\WINDOWS\\Temp"}, {}},
  };
  sim::Token token;
  for (const Case& c : cases) {
    FileSystem fs(c.os, token);
    fs.CreateStandardContent();
    for (const auto& path : c.present) EXPECT_TRUE(fs.Exists(path)) << c.title << " " << path;
    for (const auto& path : c.absent) EXPECT_FALSE(fs.Exists(path)) << c.title << " " << path;
  }
}

TEST_F(FileSystemTest, UsersMayCreateFilesInTempOnly) {
  sim::Token user;
  user.user = "S-1-5-21-1-2-3-1001";
  user.groups = {sim::sids::kUsers, sim::sids::kEveryone};
  const auto mapped = [](win::DWORD rights) { return sim::MapGeneric(rights, sim::kFileMapping); };
  EXPECT_TRUE(sim::AccessCheck(user, *fs.SecurityOf("C:\\WINDOWS\\Temp"),
                               mapped(sim::file_rights::FILE_ADD_FILE), sim::kFileMapping));
  EXPECT_FALSE(sim::AccessCheck(user, *fs.SecurityOf("C:\\WINDOWS"),
                                mapped(sim::file_rights::FILE_ADD_FILE), sim::kFileMapping));
  EXPECT_TRUE(sim::AccessCheck(user, *fs.SecurityOf("C:\\WINDOWS\\system32\\net.exe"),
                               mapped(win::GENERIC_READ), sim::kFileMapping));
}

TEST_F(FileSystemTest, DumpLoadRoundTrip) {
  fs.WriteFile("C:\\WINDOWS\\bin.dat", std::string("\x00\x01\xff", 3));
  fs.WriteFile("C:\\WINDOWS\\text.ini", "[a]\r\nb=c\r\n");
  fs.SetAttributes("C:\\WINDOWS\\text.ini", win::FILE_ATTRIBUTE_READONLY);
  fs.CreateJunction("C:\\Link", "C:\\WINDOWS");
  fs.Hold("C:\\WINDOWS\\bin.dat", HoldKind::Loaded, 0, "spoolsv");
  sim::RequestedSecurity requested;
  requested.given = true;
  requested.dacl.aces = {sim::Ace{sim::AceType::Deny, win::DELETE, 0, sim::sids::kEveryone}};
  ASSERT_EQ(fs.CreateDirectory("C:\\WINDOWS\\Guarded", requested), 0u);
  fs.AddDrive("D:");
  const nlohmann::json dumped = fs.Dump();

  sim::Token token2;
  FileSystem copy(os, token2);
  copy.Load(dumped);
  EXPECT_EQ(copy.Dump(), dumped);
  EXPECT_EQ(copy.ReadFile("C:\\WINDOWS\\bin.dat"), std::string("\x00\x01\xff", 3));
  EXPECT_EQ(copy.DeleteFile("C:\\WINDOWS\\bin.dat"), win::ERROR_ACCESS_DENIED);  // still loaded
  EXPECT_EQ(*copy.SecurityOf("C:\\WINDOWS\\Guarded"), *fs.SecurityOf("C:\\WINDOWS\\Guarded"));
  EXPECT_EQ(copy.ReadFile("C:\\Link\\text.ini"), "[a]\r\nb=c\r\n");
}

TEST_F(FileSystemTest, LoadOverlaysAndDeletes) {
  fs.Load(nlohmann::json::parse(R"({
    "delete": ["C:\\WINDOWS\\Temp"],
    "entries": {
      "C:\\Pkg\\QPR730_Config.HVN": {"type": "file", "content": "[QPR730]\r\nPORT=LPT1\r\n",
                                     "attributes": ["READONLY"]},
      "C:\\Pkg\\Empty": {}
    }
  })"));
  EXPECT_FALSE(fs.Exists("C:\\WINDOWS\\Temp"));
  EXPECT_TRUE(fs.IsDirectory("C:\\Pkg\\Empty"));
  EXPECT_EQ(Attributes("C:\\Pkg\\QPR730_Config.HVN"), win::FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(fs.ReadFile("C:\\Pkg\\QPR730_Config.HVN"), "[QPR730]\r\nPORT=LPT1\r\n");
}

// ---- The calls of one process ----

class SimFilesTest : public testing::Test {
 protected:
  explicit SimFilesTest(const char* preset = "xp")
      : machine(sim::SimMachine::FromPreset(preset)),
        process(*machine, 42, "C:\\Pkg\\QPR730_Installer.exe", nullptr, "QPR730_Installer.exe",
                "C:\\Pkg"),
        files(process) {}

  std::unique_ptr<sim::SimMachine> machine;
  sim::SimProcess process;
  sim::SimFiles files;
};

class SimFilesOn64BitTest : public SimFilesTest {
 protected:
  SimFilesOn64BitTest() : SimFilesTest("win7-64") { process.wow64 = true; }
};

TEST_F(SimFilesTest, FolderQueriesReportLengthOrNeededSize) {
  char buffer[64];
  EXPECT_EQ(files.GetWindowsDirectoryA(buffer, sizeof buffer), 10u);
  EXPECT_STREQ(buffer, "C:\\WINDOWS");
  EXPECT_EQ(files.GetSystemDirectoryA(buffer, 5), 20u);  // too small: size needed, NUL included
  EXPECT_EQ(files.GetCurrentDirectoryA(sizeof buffer, buffer), 6u);
  EXPECT_STREQ(buffer, "C:\\Pkg");
  sim::SetLastError(0);
  EXPECT_EQ(files.CallGetSystemWow64DirectoryA(nullptr, buffer, sizeof buffer), 0u);
  EXPECT_EQ(sim::GetLastError(), win::ERROR_CALL_NOT_IMPLEMENTED);
}

TEST_F(SimFilesTest, WriteAppendAndReadThroughHandles) {
  const char* log = "C:\\WINDOWS\\Temp\\QPR-730_Installer.txt";
  auto append = [&](const std::string& text) {
    win::HANDLE file = files.CreateFileA(log, win::GENERIC_READ | win::GENERIC_WRITE,
                                         win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, nullptr,
                                         win::OPEN_ALWAYS, win::FILE_ATTRIBUTE_NORMAL, 0);
    EXPECT_NE(file, win::INVALID_HANDLE_VALUE);
    win::DWORD error = sim::GetLastError();
    files.SetFilePointer(file, 0, nullptr, win::FILE_END);
    win::DWORD written = 0;
    EXPECT_TRUE(files.WriteFile(file, text.data(), static_cast<win::DWORD>(text.size()), &written));
    EXPECT_EQ(written, text.size());
    process.handles.Close(file);  // what CloseHandle does
    return error;
  };
  EXPECT_EQ(append("one\r\n"), 0u);
  EXPECT_EQ(append("two\r\n"), win::ERROR_ALREADY_EXISTS);
  EXPECT_EQ(machine->files->ReadFile(log), "one\r\ntwo\r\n");

  win::HANDLE file = files.CreateFileA(log, win::GENERIC_READ, 0, nullptr, win::OPEN_EXISTING, 0, 0);
  ASSERT_NE(file, win::INVALID_HANDLE_VALUE);
  // Opened without sharing: a second open fails until the handle is closed.
  EXPECT_EQ(files.CreateFileA(log, win::GENERIC_READ, win::FILE_SHARE_READ, nullptr,
                              win::OPEN_EXISTING, 0, 0),
            win::INVALID_HANDLE_VALUE);
  EXPECT_EQ(sim::GetLastError(), win::ERROR_SHARING_VIOLATION);
  char buffer[16] = {};
  win::DWORD read = 0;
  EXPECT_EQ(files.SetFilePointer(file, 3, nullptr, win::FILE_BEGIN), 3u);
  EXPECT_TRUE(files.ReadFile(file, buffer, sizeof buffer, &read));
  EXPECT_EQ(std::string(buffer, read), "\r\ntwo\r\n");
  EXPECT_FALSE(files.WriteFile(file, "x", 1, &read));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_ACCESS_DENIED);
  process.handles.Close(file);
  EXPECT_NE(files.CreateFileA(log, win::GENERIC_READ, 0, nullptr, win::OPEN_EXISTING, 0, 0),
            win::INVALID_HANDLE_VALUE);
}

TEST_F(SimFilesTest, FinderWalksEntriesThenReportsNoMoreFiles) {
  machine->files->WriteFile("C:\\Pkg\\QPR730.dll", "MZ");
  win::WIN32_FIND_DATAA data;
  win::HANDLE find = files.FindFirstFileA("*.*", &data);  // relative to the current folder
  ASSERT_NE(find, win::INVALID_HANDLE_VALUE);
  std::vector<std::string> names{data.cFileName};
  while (files.FindNextFileA(find, &data)) names.push_back(data.cFileName);
  EXPECT_EQ(sim::GetLastError(), win::ERROR_NO_MORE_FILES);
  EXPECT_TRUE(files.FindClose(find));
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "QPR730.dll"}));

  EXPECT_EQ(files.FindFirstFileA("C:\\Pkg\\*.inf", &data), win::INVALID_HANDLE_VALUE);
  EXPECT_EQ(sim::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(files.FindFirstFileA("C:\\None\\*.*", &data), win::INVALID_HANDLE_VALUE);
  EXPECT_EQ(sim::GetLastError(), win::ERROR_PATH_NOT_FOUND);
}

TEST_F(SimFilesTest, ProfileFilesByPathAndInTheWindowsFolder) {
  machine->files->WriteFile("C:\\Pkg\\QPR730_Config.HVN", "[QPR730]\r\nPORT = LPT1\r\n");
  machine->files->WriteFile("C:\\WINDOWS\\plain.ini", "[s]\r\nk=windows\r\n");
  char buffer[256];
  EXPECT_EQ(files.GetPrivateProfileStringA("QPR730", "PORT", nullptr, buffer, 256,
                                           ".\\QPR730_Config.HVN"),
            4u);
  EXPECT_STREQ(buffer, "LPT1");
  EXPECT_EQ(files.GetPrivateProfileStringA("s", "k", "", buffer, 256, "plain.ini"), 7u);
  EXPECT_EQ(files.GetPrivateProfileStringA("QPR730", "PORTDLG", nullptr, buffer, 256,
                                           "C:\\Pkg\\QPR730_Config.HVN"),
            0u);
  EXPECT_EQ(sim::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(files.GetPrivateProfileStringA("QPR730", "PORT", "COM1", buffer, 256,
                                           "C:\\WINDOWS\\QPR-730\\QPR730_Config.HVN"),
            4u);
  EXPECT_STREQ(buffer, "COM1");
  EXPECT_EQ(sim::GetLastError(), win::ERROR_FILE_NOT_FOUND);
}

// A 32-bit program on 64-bit Windows is told the System32 name, but what it
// writes there lands in SysWOW64; the spooler folders are not redirected.
TEST_F(SimFilesOn64BitTest, SystemFolderWritesLandInSysWow64) {
  char system[64];
  ASSERT_GT(files.GetSystemDirectoryA(system, sizeof system), 0u);
  EXPECT_STREQ(system, "C:\\Windows\\system32");
  machine->files->WriteFile("C:\\Pkg\\QPR730_Config.HVN", "[QPR730]\r\n");

  const std::string config = std::string(system) + "\\QPR730_Config.HVN";
  ASSERT_TRUE(files.CopyFileA("QPR730_Config.HVN", config.c_str(), win::FALSE));
  EXPECT_TRUE(machine->files->Exists("C:\\Windows\\SysWOW64\\QPR730_Config.HVN"));
  EXPECT_FALSE(machine->files->Exists("C:\\Windows\\System32\\QPR730_Config.HVN"));
  EXPECT_NE(files.GetFileAttributesA(config.c_str()), win::INVALID_FILE_ATTRIBUTES);

  const std::string staged = std::string(system) + "\\spool\\drivers\\w32x86\\3\\QPR730.dll";
  ASSERT_TRUE(files.CopyFileA("QPR730_Config.HVN", staged.c_str(), win::FALSE));
  EXPECT_TRUE(machine->files->Exists("C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\QPR730.dll"));

  char wow64[64];
  EXPECT_EQ(files.CallGetSystemWow64DirectoryA(nullptr, wow64, sizeof wow64), 19u);
  EXPECT_STREQ(wow64, "C:\\Windows\\SysWOW64");
}

TEST_F(SimFilesTest, FailuresSetTheLastError) {
  machine->files->WriteFile("C:\\Pkg\\a.txt", "a");
  machine->files->WriteFile("C:\\Pkg\\b.txt", "b");
  EXPECT_EQ(files.GetFileAttributesA("C:\\Pkg\\none.txt"), win::INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(sim::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(files.CopyFileA("a.txt", "a.txt", win::TRUE));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_FILE_EXISTS);
  EXPECT_FALSE(files.MoveFileA("a.txt", "B.TXT"));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(files.CreateDirectoryA("C:\\Pkg\\", nullptr));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(files.CreateDirectoryA("New\\", nullptr));
  EXPECT_TRUE(machine->files->IsDirectory("C:\\Pkg\\New"));
}

}  // namespace
