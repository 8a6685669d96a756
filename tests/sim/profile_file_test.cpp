// The profile (INI) reader behind GetPrivateProfileStringA.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "platform/sim/profile_file.h"
#include "platform/win_constants.h"

namespace {

const char* const kProfile =
    "; a comment before any section\r\n"
    "[Settings]\r\n"
    "  Name  =   Value with blanks   \r\n"
    "Quoted=\"  padded  \"\r\n"
    "Single='x'\r\n"
    "Mixed=\"unbalanced'\r\n"
    "Empty=\r\n"
    "Trailing=value ; stays\r\n"
    "   ; an indented comment\r\n"
    ";Hidden=not a key\r\n"
    "Name=second Name is not read\r\n"
    "\r\n"
    "[ Other ]\n"
    "Key=1\n";

struct ValueCase {
  const char* title;
  const char* section;
  const char* key;
  const char* defaultValue;
  win::DWORD size;
  std::string expected;
  win::DWORD expectedLength;
  win::DWORD expectedError;
};

class ProfileValue : public testing::TestWithParam<ValueCase> {};

TEST_P(ProfileValue, ReadsAsWindowsDoes) {
  const ValueCase& c = GetParam();
  char buffer[64];
  std::memset(buffer, 'X', sizeof buffer);
  sim::ProfileReadResult result =
      sim::ReadProfileString(std::string(kProfile), c.section, c.key, c.defaultValue, buffer, c.size);
  EXPECT_EQ(std::string(buffer), c.expected);
  EXPECT_EQ(result.length, c.expectedLength);
  EXPECT_EQ(result.lastError, c.expectedError);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileValue,
    testing::Values(
        ValueCase{"blanks_trimmed", "Settings", "Name", "", 64, "Value with blanks", 17, 0},
        ValueCase{"names_ignore_case", "SETTINGS", "nAME", "", 64, "Value with blanks", 17, 0},
        ValueCase{"blanks_around_lookup_names", " Other", "Key ", "", 64, "1", 1, 0},
        ValueCase{"double_quotes_removed", "Settings", "Quoted", "", 64, "  padded  ", 10, 0},
        ValueCase{"single_quotes_removed", "Settings", "Single", "", 64, "x", 1, 0},
        ValueCase{"unmatched_quotes_kept", "Settings", "Mixed", "", 64, "\"unbalanced'", 12, 0},
        ValueCase{"empty_value_not_default", "Settings", "Empty", "dflt", 64, "", 0, 0},
        ValueCase{"semicolon_inside_value", "Settings", "Trailing", "", 64, "value ; stays", 13, 0},
        ValueCase{"commented_key_missing", "Settings", "Hidden", "d", 64, "d", 1, 2},
        ValueCase{"missing_key_default", "Settings", "Nope", "def  ", 64, "def", 3, 2},
        ValueCase{"missing_section_null_default", "Nope", "Name", nullptr, 64, "", 0, 2},
        ValueCase{"value_cut_to_size_minus_one", "Settings", "Name", "", 6, "Value", 5, 0},
        ValueCase{"default_cut_too", "Settings", "Nope", "abcdef", 4, "abc", 3, 2},
        ValueCase{"size_one_gives_empty", "Settings", "Name", "", 1, "", 0, 0}),
    [](const testing::TestParamInfo<ValueCase>& info) { return std::string(info.param.title); });

TEST(ProfileFile, MissingFileGivesDefaultAndFileNotFound) {
  char buffer[16];
  auto result = sim::ReadProfileString(std::nullopt, "QPR730", "PORT", "COM1", buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "COM1");
  EXPECT_EQ(result.length, 4u);
  EXPECT_EQ(result.lastError, win::ERROR_FILE_NOT_FOUND);
}

// The lists come as NUL-separated names with a second NUL at the end.
TEST(ProfileFile, ListsSectionsAndKeys) {
  char buffer[64];
  auto sections = sim::ReadProfileString(std::string(kProfile), nullptr, nullptr, "", buffer, 64);
  EXPECT_EQ(std::string(buffer, sections.length), std::string("Settings\0Other\0", 15));
  EXPECT_EQ(sections.length, 15u);
  EXPECT_EQ(buffer[15], '\0');

  auto keys = sim::ReadProfileString(std::string(kProfile), "settings", nullptr, "", buffer, 64);
  const std::string expected("Name\0Quoted\0Single\0Mixed\0Empty\0Trailing\0Name\0", 45);
  EXPECT_EQ(std::string(buffer, keys.length), expected);
  EXPECT_EQ(buffer[keys.length], '\0');
}

TEST(ProfileFile, CutListEndsWithTwoNulsAndSizeMinusTwo) {
  char buffer[12];
  std::memset(buffer, 'X', sizeof buffer);
  auto result = sim::ReadProfileString(std::string(kProfile), nullptr, nullptr, "", buffer, 12);
  EXPECT_EQ(result.length, 10u);
  EXPECT_EQ(std::string(buffer, 12), std::string("Settings\0O\0\0", 12));
}

}  // namespace
