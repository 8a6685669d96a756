#include <gtest/gtest.h>

#include "common/platform_probe.h"
#include "tests/support/sim_session.h"

namespace {

struct OsCase {
  std::string preset;
  int level;
  std::vector<std::string> logged;  // the four version lines
};

class CheckOsByRelease : public ::testing::TestWithParam<OsCase> {};

TEST_P(CheckOsByRelease, MapsTheVersionToItsLevelAndLogsIt) {
  const OsCase& c = GetParam();
  auto machine = test::MakeMachine(c.preset);
  test::StepSession session(*machine);
  EXPECT_EQ(CheckOS(session.platform.kernel, session.log), c.level);

  std::vector<std::string> expected = {"", "", "CheckOS BEGIN"};
  expected.insert(expected.end(), c.logged.begin(), c.logged.end());
  expected.push_back("CheckOS END");
  EXPECT_EQ(session.LogTexts(), expected);
}

std::vector<std::string> Lines(int platform, int major, int minor, int build) {
  return {"osvi.dwPlatformID   : " + std::to_string(platform),
          "osvi.dwMajorVersion : " + std::to_string(major),
          "osvi.dwMinorVersion : " + std::to_string(minor),
          "osvi.dwBuildNumber  : " + std::to_string(build)};
}

// Windows 9x carries its major and minor version in the build number's
// high word.
int Win9xBuild(int major, int minor, int build) { return major << 24 | minor << 16 | build; }

INSTANTIATE_TEST_SUITE_P(
    EveryPreset, CheckOsByRelease,
    ::testing::Values(OsCase{"win95", 2000, Lines(1, 4, 0, Win9xBuild(4, 0, 950))},
                      OsCase{"win98", 2001, Lines(1, 4, 10, Win9xBuild(4, 10, 1998))},
                      OsCase{"winme", 2002, Lines(1, 4, 90, Win9xBuild(4, 90, 3000))},
                      OsCase{"nt4", 2003, Lines(2, 4, 0, 1381)},
                      OsCase{"win2000", 2004, Lines(2, 5, 0, 2195)},
                      OsCase{"xp", 2005, Lines(2, 5, 1, 2600)},
                      OsCase{"xp-x64", 2006, Lines(2, 5, 2, 3790)},
                      OsCase{"server2003-64", 2006, Lines(2, 5, 2, 3790)},
                      OsCase{"vista", 2007, Lines(2, 6, 0, 6002)},
                      OsCase{"vista-64", 2007, Lines(2, 6, 0, 6002)},
                      OsCase{"server2008", 2008, Lines(2, 6, 0, 6002)},
                      OsCase{"server2008r2", 2009, Lines(2, 6, 1, 7601)},
                      OsCase{"win7", 2010, Lines(2, 6, 1, 7601)},
                      OsCase{"win7-64", 2010, Lines(2, 6, 1, 7601)},
                      OsCase{"win8", 2010, Lines(2, 6, 2, 9200)},
                      OsCase{"win10-64", 2010, Lines(2, 6, 2, 9200)}),
    [](const auto& info) {
      std::string name = info.param.preset;
      for (char& c : name) if (c == '-') c = '_';
      return name;
    });

TEST(CheckOs, UnknownAndFailedQueriesCountAsTheNewestRelease) {
  // An NT 7.x release and a query that fails both give the default level.
  auto nt7 = test::MakeMachine(nlohmann::json{{"preset", "win7"}, {"os", {{"major", 7}, {"minor", 0}}}});
  test::StepSession nt7Session(*nt7);
  EXPECT_EQ(CheckOS(nt7Session.platform.kernel, nt7Session.log), 2010);

  auto failing = test::MakeMachine(nlohmann::json{{"preset", "xp"}, {"os", {{"versionQueryFails", true}}}});
  test::StepSession session(*failing);
  EXPECT_EQ(CheckOS(session.platform.kernel, session.log), 2010);
  std::vector<std::string> texts = session.LogTexts();
  std::vector<std::string> zeros = Lines(0, 0, 0, 0);
  EXPECT_EQ(std::vector<std::string>(texts.begin() + 3, texts.begin() + 7), zeros);
}

TEST(CheckOs, TableOfLevels) {
  // Rows the presets do not reach: server products and unknown minors.
  EXPECT_EQ(OsLevelOf(2, 6, 0, 2), 2008);  // a domain controller is not a workstation
  EXPECT_EQ(OsLevelOf(2, 6, 1, 3), 2009);
  EXPECT_EQ(OsLevelOf(2, 5, 3, 1), 2010);
  EXPECT_EQ(OsLevelOf(2, 3, 51, 1), 2003);
  EXPECT_EQ(OsLevelOf(1, 4, 20, 0), 2010);
  EXPECT_EQ(OsLevelOf(0, 3, 10, 0), 2010);  // Win32s
}

struct Wow64Case {
  nlohmann::json description;
  int flag;
  const char* line;
};

TEST(ProbeWow64, AnswersFromIsWow64ProcessWhenItExists) {
  const std::vector<Wow64Case> cases = {
      {{{"preset", "xp"}}, 0, "The process is not running under WOW64."},
      {{{"preset", "xp-x64"}}, 1, "The process is running under WOW64."},
      {{{"preset", "win7-64"}}, 1, "The process is running under WOW64."},
      // Without the function the program behaves as on 32-bit Windows.
      {{{"preset", "win2000"}}, 0, "The process is not running under WOW64."},
      {{{"preset", "xp-x64"}, {"os", {{"missingFunctions", {"kernel32!IsWow64Process"}}}}},
       0,
       "The process is not running under WOW64."},
  };
  for (const Wow64Case& c : cases) {
    auto machine = test::MakeMachine(c.description);
    test::StepSession session(*machine);
    EXPECT_EQ(ProbeWow64(session.platform.kernel, session.log), c.flag) << c.description.dump();
    EXPECT_EQ(session.LogTexts(), std::vector<std::string>{c.line}) << c.description.dump();
  }
}

}  // namespace
