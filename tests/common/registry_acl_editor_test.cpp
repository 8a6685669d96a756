#include <gtest/gtest.h>

#include "common/registry_acl_editor.h"
#include "platform/sim/registry_store.h"
#include "tests/support/sim_session.h"

namespace {

const std::string kUsbPrintKey = "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\HALVORN_QPR-730";
const std::string kLptEnumKey = "SYSTEM\\CurrentControlSet\\Enum\\LPTENUM\\HALVORN_QPR-730";

class PermissionSpec : public ::testing::Test {
 protected:
  void SetUp() override {
    session.reset();  // leaves the previous machine before it goes
    machine = test::MakeMachine(nlohmann::json{{"preset", "xp"}, {"remoteMachines", {"PRINTSRV"}}});
    // Plug and Play's keys: created under Enum, owned by SYSTEM.
    machine->registry->Create("HKLM\\" + kUsbPrintKey + "\\USB001");
    machine->registry->Create("HKLM\\" + kLptEnumKey + "\\LPT1");
    session = std::make_unique<test::StepSession>(*machine);
  }

  // The explicit entries for Everyone on a key.
  std::vector<sim::Ace> EveryoneEntries(const std::string& key) {
    std::vector<sim::Ace> found;
    auto node = machine->registry->Find("HKLM\\" + key);
    if (!node || !node->security.dacl) return found;
    for (const sim::Ace& ace : node->security.dacl->aces) {
      if (ace.sid == sim::sids::kEveryone && !(ace.flags & win::INHERITED_ACE)) found.push_back(ace);
    }
    return found;
  }

  win::LONG Apply(const std::string& path, const char* spec) {
    RegistryAclEditor editor(session->platform);
    return editor.ApplyPermissionSpec(path.c_str(), spec);
  }

  win::LSTATUS DeleteTree(const std::string& key) {
    return session->platform.registry.SHDeleteKeyA(win::HKEY_LOCAL_MACHINE, key.c_str());
  }

  std::unique_ptr<sim::SimMachine> machine;
  std::unique_ptr<test::StepSession> session;
};

TEST_F(PermissionSpec, GrantMakesAProtectedEnumerationKeyDeletableWithItsSubKeys) {
  ASSERT_EQ(DeleteTree(kUsbPrintKey), static_cast<win::LSTATUS>(win::ERROR_ACCESS_DENIED));
  ASSERT_TRUE(machine->registry->Find("HKLM\\" + kUsbPrintKey + "\\USB001"));

  EXPECT_EQ(Apply("HKLM\\" + kUsbPrintKey, "/PG:Everyone:Fc"), 0);
  std::vector<sim::Ace> entries = EveryoneEntries(kUsbPrintKey);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].type, sim::AceType::Allow);
  EXPECT_EQ(entries[0].mask, 0xF003Fu);
  EXPECT_EQ(entries[0].flags, win::CONTAINER_INHERIT_ACE);

  EXPECT_EQ(DeleteTree(kUsbPrintKey), 0);
  EXPECT_FALSE(machine->registry->Find("HKLM\\" + kUsbPrintKey));
}

TEST_F(PermissionSpec, TheSameConstantServesTwoKeysInARow) {
  static const char kSpec[] = "/PG:Everyone:Fc";
  EXPECT_EQ(Apply("HKLM\\" + kUsbPrintKey, kSpec), 0);
  EXPECT_EQ(Apply("HKLM\\" + kLptEnumKey, kSpec), 0);
  EXPECT_STREQ(kSpec, "/PG:Everyone:Fc");
  EXPECT_EQ(EveryoneEntries(kUsbPrintKey).size(), 1u);
  EXPECT_EQ(EveryoneEntries(kLptEnumKey).size(), 1u);
  EXPECT_EQ(DeleteTree(kLptEnumKey), 0);
}

struct GrammarCase {
  std::string path;
  const char* spec;
  win::LONG status;
  win::ACCESS_MASK everyoneMask;  // 0: no explicit entry for Everyone afterwards
  bool deletable;                 // the key can be deleted afterwards
};

TEST_F(PermissionSpec, Grammar) {
  const std::string key = "HKLM\\" + kUsbPrintKey;
  const std::vector<GrammarCase> cases = {
      {key, "/PG:Everyone:Fc", 0, 0xF003F, true},
      {key, "/pg:Everyone:fc", 0, 0xF003F, true},          // lower case acts the same
      {key, "::/PG:::Everyone:Fc", 0, 0xF003F, true},       // runs of ":" are one separator
      {key, "-PG:Everyone:RdWr", 0, 0x2003F, false},       // first character not examined
      {key, "/PG:Everyone:FcXx", 0, 0xF003F, true},         // unknown pair skipped
      {key, "/PG:Everyone:XxFc", 0, 0xF003F, true},
      {key, "/PX:Everyone:Fc", 87, 0, false},               // unknown mode
      {key, "/PG:Everyone", 87, 0, false},                  // no permission text
      {key, "/PG", 87, 0, false},                           // no trustee
      {key, "/PG:Everyone:Fcx", 0, 0, false},               // odd length: mask 0
      {key, "/PR:Everyone", 0, 0, false},                   // revoke: nothing to revoke
      {key, "/XG:Everyone:Fc", 0, 0, false},                // not a permission switch
      {key, "/PG:Nobody Known:Fc", 1332, 0, false},         // trustee the system cannot map
      {"HKLM\\" + kUsbPrintKey + "\\Missing", "/PG:Everyone:Fc", 2, 0, false},
      {"HKEY_LOCAL_MACHINEX\\" + kUsbPrintKey, "/PG:Everyone:Fc", 87, 0, false},
      {"HKEY_LOCAL_MACHINE\\" + kUsbPrintKey, "/PG:Everyone:Fc", 0, 0xF003F, true},
      {"\\\\PRINTSRV\\HKCU\\Software", "/PG:Everyone:Fc", 87, 0, false},
      {"\\\\PRINTSRV\\HKCR\\Software", "/PG:Everyone:Fc", 87, 0, false},
      {"\\\\NOSUCHHOST\\HKLM\\SOFTWARE", "/PG:Everyone:Fc", 53, 0, false},
  };
  for (const GrammarCase& c : cases) {
    SetUp();  // a fresh machine per case
    SCOPED_TRACE(c.path + " " + c.spec);
    EXPECT_EQ(Apply(c.path, c.spec), c.status);
    std::vector<sim::Ace> entries = EveryoneEntries(kUsbPrintKey);
    if (c.everyoneMask == 0) {
      EXPECT_TRUE(entries.empty() || entries[0].mask == 0);
    } else {
      ASSERT_EQ(entries.size(), 1u);
      EXPECT_EQ(entries[0].mask, c.everyoneMask);
    }
    EXPECT_EQ(DeleteTree(kUsbPrintKey) == 0, c.deletable);
  }
}

TEST_F(PermissionSpec, RevokeRemovesAnEarlierGrant) {
  ASSERT_EQ(Apply("HKLM\\" + kUsbPrintKey, "/PG:Everyone:Fc"), 0);
  EXPECT_EQ(Apply("HKLM\\" + kUsbPrintKey, "/PR:Everyone"), 0);
  EXPECT_TRUE(EveryoneEntries(kUsbPrintKey).empty());
  EXPECT_NE(DeleteTree(kUsbPrintKey), 0);
}

TEST_F(PermissionSpec, RemoteMachineIsReachedByItsName) {
  // The remote machine's registry has the standard keys of a machine.
  EXPECT_EQ(Apply("\\\\PRINTSRV\\HKLM\\SOFTWARE\\Microsoft", "/PG:Everyone:Rd"), 0);
  EXPECT_EQ(Apply("\\\\PRINTSRV\\HKLM\\SOFTWARE\\NoSuchKey", "/PG:Everyone:Rd"), 2);
}

TEST(ParsePermissionLetters, MasksAndStatus) {
  auto machine = test::MakeMachine("xp");
  test::StepSession s(*machine);
  RegistryAclEditor editor(s.platform);
  struct Case {
    const char* letters;
    win::ACCESS_MASK mask;
    win::LONG status;
  };
  for (const Case& c : std::vector<Case>{{"Fc", 0xF003F, 0},
                                         {"rd", 0x20019, 0},
                                         {"WrRd", 0x2003F, 0},
                                         {"Fcx", 0, 87},
                                         {"QqWr", 0x20026, 87},
                                         {"", 0, 0}}) {
    win::LONG status = -1;
    EXPECT_EQ(editor.ParsePermissionLetters(c.letters, &status), c.mask) << c.letters;
    EXPECT_EQ(status, c.status) << c.letters;
  }
}

}  // namespace
