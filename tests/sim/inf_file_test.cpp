// The INF reader: sections, quoting, comments, continuation, [Strings]
// substitution, the file's style and syntax errors; and opening INF files
// through the setup calls of a process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/setup.h"
#include "platform/sim/file_system.h"
#include "platform/sim/inf_file.h"
#include "platform/sim/last_error.h"
#include "platform/sim/sim_machine.h"
#include "platform/win_constants.h"

namespace {

using sim::InfFile;

const char* const kProductInf =
    "; A printer package\r\n"
    "[Version]\r\n"
    "Signature = \"$Windows NT$\"   ; trailing comment\r\n"
    "Class = Printer\r\n"
    "\r\n"
    "[Manufacturer]\r\n"
    "%Maker% = HALVORN, NTamd64\r\n"
    "\r\n"
    "[\"HALVORN\"]\r\n"
    "\"HALVORN QPR-730\" = QPR730.GPD, USBPRINT\\HALVORNQPR-7301234\r\n"
    "%Model2% = QPR731.GPD\r\n"
    "Long = first, \\\r\n"
    "       second ; a comment after the continued line\r\n"
    "Percent = 100%% done\r\n"
    "Quoted = \"a;b\", \"say \"\"hi\"\"\" , \"  padded  \"\r\n"
    "%Unknown% = kept\r\n"
    "Where = %Localised%\r\n"
    "ValueOnlyLine\r\n"
    "\r\n"
    "[halvorn]\r\n"
    "Merged = yes\r\n"
    "\r\n"
    "[Strings]\r\n"
    "Maker = \"HALVORN\"\r\n"
    "Model2 = \"HALVORN QPR-731\"\r\n"
    "Localised = \"base\"\r\n"
    "\r\n"
    "[Strings.0409]\r\n"
    "Localised = \"english\"\r\n";

InfFile ParseOk(const std::string& text) {
  win::DWORD error = 0;
  win::UINT line = 0;
  std::optional<InfFile> inf = InfFile::Parse(text, &error, &line);
  EXPECT_TRUE(inf.has_value()) << "error " << std::hex << error << " at line " << std::dec << line;
  return inf.value_or(InfFile{});
}

struct LookupCase {
  const char* section;
  const char* key;
  std::vector<std::string> values;  // empty: no such line
};

TEST(InfReader, FindsLinesBySectionAndKeyAfterSubstitution) {
  const InfFile inf = ParseOk(kProductInf);
  const std::vector<LookupCase> cases = {
      // Quoted section name and quoted key, found in any case.
      {"halvorn", "halvorn qpr-730", {"QPR730.GPD", "USBPRINT\\HALVORNQPR-7301234"}},
      // A key written as %strkey% is found by its text.
      {"HALVORN", "HALVORN QPR-731", {"QPR731.GPD"}},
      {"Manufacturer", "HALVORN", {"HALVORN", "NTamd64"}},
      // Continued line, comment after it.
      {"HALVORN", "Long", {"first", "second"}},
      {"HALVORN", "Percent", {"100% done"}},
      // Quotes keep ';', ',' and blanks; "" is one quote.
      {"HALVORN", "Quoted", {"a;b", "say \"hi\"", "  padded  "}},
      // An unknown token stays as written.
      {"HALVORN", "%Unknown%", {"kept"}},
      // The machine language's string section comes first.
      {"HALVORN", "Where", {"english"}},
      // Sections of the same name are one section.
      {"HALVORN", "Merged", {"yes"}},
      {"version", "SIGNATURE", {"$Windows NT$"}},
      // Search is on the substituted key, never the token or a value.
      {"HALVORN", "%Model2%", {}},
      {"HALVORN", "QPR730.GPD", {}},
      {"HALVORN", "ValueOnlyLine", {}},
      {"NoSuchSection", "Merged", {}},
  };
  for (const LookupCase& c : cases) {
    SCOPED_TRACE(std::string(c.section) + " / " + c.key);
    const int section = inf.FindSection(c.section);
    const int line = inf.FindLine(section, c.key);
    if (c.values.empty()) {
      EXPECT_EQ(line, -1);
    } else {
      ASSERT_GE(line, 0);
      EXPECT_EQ(inf.Sections()[section].lines[line].values, c.values);
    }
  }
}

TEST(InfReader, ValueOnlyLinesAndTheFirstLineOfASection) {
  const InfFile inf = ParseOk("[Files]\r\nunidrv.dll\r\n  \"qp730ui.dll\" , x ; note\r\n");
  const auto& lines = inf.Sections()[inf.FindSection("files")].lines;
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_FALSE(lines[0].hasKey);
  EXPECT_EQ(lines[0].values, std::vector<std::string>{"unidrv.dll"});
  EXPECT_EQ(lines[1].values, (std::vector<std::string>{"qp730ui.dll", "x"}));
  EXPECT_EQ(lines[1].sourceLine, 3u);
  EXPECT_EQ(inf.FindLine(inf.FindSection("Files"), nullptr), 0);
}

TEST(InfReader, SignatureDecidesTheStyle) {
  struct Case {
    const char* text;
    win::DWORD style;
  };
  const std::vector<Case> cases = {
      {"[Version]\nSignature=\"$Windows NT$\"\n", win::INF_STYLE_WIN4},
      {"[version]\nsignature=$CHICAGO$\n", win::INF_STYLE_WIN4},
      {"[Version]\nSignature=\"$Windows 95$\"\n", win::INF_STYLE_WIN4},
      {"[Version]\nSignature=\"$Something$\"\n", win::INF_STYLE_OLDNT},
      {"[Identification]\nOptionType = NetAdapter\n", win::INF_STYLE_OLDNT},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseOk(c.text).Style(), c.style) << c.text;
  }
}

TEST(InfReader, SyntaxErrorsGiveTheirCodeAndLine) {
  struct Case {
    std::string text;
    win::DWORD error;
    win::UINT line;
  };
  const std::vector<Case> cases = {
      {"[Version\r\n", sim::ERROR_BAD_SECTION_NAME_LINE, 1},
      {"; fine\r\nkey = value\r\n[Version]\r\n", sim::ERROR_EXPECTED_SECTION_NAME, 2},
      {"[A]\r\nx = \"not closed\r\n", sim::ERROR_GENERAL_SYNTAX, 2},
      {"[" + std::string(256, 'S') + "]\r\n", sim::ERROR_SECTION_NAME_TOO_LONG, 1},
      // A continued line counts its physical lines.
      {"[A]\r\nk = a, \\\r\n  b\r\n[B\r\n", sim::ERROR_BAD_SECTION_NAME_LINE, 4},
  };
  for (const Case& c : cases) {
    win::DWORD error = 0;
    win::UINT line = 0;
    EXPECT_FALSE(InfFile::Parse(c.text, &error, &line).has_value()) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
    EXPECT_EQ(line, c.line) << c.text;
  }
}

// Opening INF files as a process does.
class OpenInfTest : public testing::Test {
 protected:
  OpenInfTest() {
    process = machine.EnterProcess("C:\\QPR730\\test.exe", nullptr);
    process->currentDirectory = "C:\\QPR730";
  }
  ~OpenInfTest() override { machine.LeaveProcess(*process); }

  win::SetupApi& setup() { return process->platform().setup; }
  void Write(const std::string& path, const std::string& text) {
    machine.files->WriteFile(path, text);
  }

  sim::SimMachine machine{nlohmann::json{{"preset", "xp"}}};
  std::shared_ptr<sim::SimProcess> process;
};

TEST_F(OpenInfTest, BareNamesComeFromTheInfFolderAndPathsFromTheCurrentFolder) {
  Write("C:\\WINDOWS\\inf\\oem4.inf", kProductInf);
  Write("C:\\QPR730\\Driver32\\QPR730.inf", kProductInf);
  for (const char* name : {"oem4.inf", "OEM4.INF", ".\\Driver32\\QPR730.inf",
                           "C:\\QPR730\\Driver32\\qpr730.inf"}) {
    win::UINT errorLine = 0;
    win::HINF inf = setup().SetupOpenInfFileA(name, nullptr, 3, &errorLine);
    ASSERT_NE(inf, win::INVALID_HANDLE_VALUE) << name;
    win::INFCONTEXT context{};
    EXPECT_TRUE(setup().SetupFindFirstLineA(inf, "HALVORN", "HALVORN QPR-730", &context)) << name;
    setup().SetupCloseInfFile(inf);
  }
}

TEST_F(OpenInfTest, OpenFailures) {
  Write("C:\\WINDOWS\\inf\\legacy.inf", "[Identification]\r\nOptionType = Printer\r\n");
  Write("C:\\WINDOWS\\inf\\broken.inf", "[Version]\r\nSignature=\"$Chicago$\"\r\n[Bad\r\n");
  Write("C:\\WINDOWS\\inf\\oem7.inf", kProductInf);
  struct Case {
    const char* name;
    const char* infClass;
    win::DWORD styles;
    win::DWORD error;
    win::UINT errorLine;  // 0: not set
  };
  const std::vector<Case> cases = {
      {"missing.inf", nullptr, 3, win::ERROR_FILE_NOT_FOUND, 0},
      {"C:\\NoFolder\\x.inf", nullptr, 3, win::ERROR_PATH_NOT_FOUND, 0},
      {"legacy.inf", nullptr, win::INF_STYLE_WIN4, win::ERROR_WRONG_INF_STYLE, 0},
      {"oem7.inf", nullptr, win::INF_STYLE_OLDNT, win::ERROR_WRONG_INF_STYLE, 0},
      {"broken.inf", nullptr, 3, sim::ERROR_BAD_SECTION_NAME_LINE, 3},
      {"oem7.inf", "Net", 3, 0xE0000201, 0},  // ERROR_CLASS_MISMATCH
  };
  for (const Case& c : cases) {
    win::UINT errorLine = 0;
    sim::SetLastError(0);
    EXPECT_EQ(setup().SetupOpenInfFileA(c.name, c.infClass, c.styles, &errorLine),
              win::INVALID_HANDLE_VALUE)
        << c.name;
    EXPECT_EQ(sim::GetLastError(), c.error) << c.name;
    EXPECT_EQ(errorLine, c.errorLine) << c.name;
  }
  // The legacy file opens when legacy files are asked for.
  win::HINF legacy = setup().SetupOpenInfFileA("legacy.inf", nullptr, 3, nullptr);
  EXPECT_NE(legacy, win::INVALID_HANDLE_VALUE);
  setup().SetupCloseInfFile(legacy);
}

TEST_F(OpenInfTest, LineSearchErrors) {
  Write("C:\\WINDOWS\\inf\\oem2.inf", kProductInf);
  win::HINF inf = setup().SetupOpenInfFileA("oem2.inf", nullptr, 3, nullptr);
  ASSERT_NE(inf, win::INVALID_HANDLE_VALUE);
  win::INFCONTEXT context{};
  EXPECT_FALSE(setup().SetupFindFirstLineA(inf, "HALVORN.NTamd64", "HALVORN QPR-730", &context));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_LINE_NOT_FOUND);
  EXPECT_FALSE(setup().SetupFindFirstLineA(inf, "HALVORN", "HALVORN QPR-999", &context));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_LINE_NOT_FOUND);
  setup().SetupCloseInfFile(inf);
  EXPECT_FALSE(setup().SetupFindFirstLineA(inf, "HALVORN", "HALVORN QPR-730", &context));
  EXPECT_EQ(sim::GetLastError(), win::ERROR_INVALID_HANDLE);
}

}  // namespace
