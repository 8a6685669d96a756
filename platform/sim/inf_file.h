// An INF file as the setup services read it: sections of lines, each line an
// optional key and a list of values, with the [Strings] tokens substituted.
//
// Syntax read (the documented general rules for INF files):
// - "[name]" starts a section; names are case-insensitive and may be quoted;
//   sections of the same name are merged into one.
// - "key = value, value ..." or a line of values only; values are split at
//   commas outside quotes and trimmed.
// - Text in double quotes is taken as written ("" inside is one quote).
// - ";" outside quotes starts a comment up to the end of the line.
// - A "\" as the last character of a line (before a comment) joins the next
//   line to it.
// - %strkey% in keys and values is replaced by the value of strkey in the
//   [Strings] section (a [Strings.0409] section, the machine's language,
//   comes before it); "%%" is a percent sign; an unknown token stays as it is.
// - The [Version] section's Signature "$Windows NT$", "$Chicago$" or
//   "$Windows 95$" makes the file a Windows INF (INF_STYLE_WIN4); any other
//   file is taken for a legacy one (INF_STYLE_OLDNT).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace sim {

// Error codes of the INF reader (the setup services' own range).
constexpr win::DWORD ERROR_EXPECTED_SECTION_NAME = 0xE0000000;
constexpr win::DWORD ERROR_BAD_SECTION_NAME_LINE = 0xE0000001;
constexpr win::DWORD ERROR_SECTION_NAME_TOO_LONG = 0xE0000002;
constexpr win::DWORD ERROR_GENERAL_SYNTAX = 0xE0000003;

struct InfLine {
  bool hasKey = false;
  std::string key;                  // after substitution, quotes removed
  std::vector<std::string> values;  // after substitution, quotes removed
  win::UINT sourceLine = 0;         // 1-based line where it starts
};

struct InfSection {
  std::string name;  // as first written, quotes removed
  std::vector<InfLine> lines;
};

class InfFile {
 public:
  // Reads the text of an INF file. On a syntax error the result is empty and
  // `error` / `errorLine` tell what and where.
  static std::optional<InfFile> Parse(const std::string& text, win::DWORD* error,
                                      win::UINT* errorLine);

  // INF_STYLE_WIN4 or INF_STYLE_OLDNT.
  win::DWORD Style() const { return style_; }
  // The [Version] Class value, empty when there is none.
  std::string ClassName() const;

  // Index of a section (case-insensitive), or -1.
  int FindSection(const std::string& name) const;
  const std::vector<InfSection>& Sections() const { return sections_; }
  // Index of the first line of the section with the key (case-insensitive),
  // or -1. A null key is the section's first line.
  int FindLine(int section, const char* key) const;

 private:
  std::vector<InfSection> sections_;
  win::DWORD style_ = 0;
};

}  // namespace sim
