#include "platform/sim/inf_file.h"
#include "platform/sim/text.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "platform/setup.h"

namespace sim {
namespace {

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::toupper(x) == std::toupper(y);
         });
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

constexpr std::size_t kMaxSectionName = 255;

// One line as written, before %strkey% substitution: fields with their
// quotes taken off and the blanks around them dropped.
struct RawLine {
  bool hasKey = false;
  std::string key;
  std::vector<std::string> values;
  win::UINT sourceLine = 0;
};

struct RawSection {
  std::string name;
  std::vector<RawLine> lines;
};

// Cuts a physical line at its comment. Fails (false) on a quote left open.
bool StripComment(const std::string& line, std::string* kept) {
  bool quoted = false;
  std::size_t end = line.size();
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;  // "" inside quotes toggles twice
    if (line[i] == ';' && !quoted) {
      end = i;
      break;
    }
  }
  if (quoted) return false;
  *kept = line.substr(0, end);
  while (!kept->empty() && (IsBlank(kept->back()) || kept->back() == '\r')) kept->pop_back();
  return true;
}

// Splits a logical line (comment removed) into key and values.
RawLine SplitFields(const std::string& text, win::UINT sourceLine) {
  RawLine line;
  line.sourceLine = sourceLine;
  std::vector<std::string> fields;
  std::string field;
  std::size_t keep = 0;  // length of the field up to its last significant character
  bool quoted = false;
  auto endField = [&] {
    field.resize(keep);
    fields.push_back(field);
    field.clear();
    keep = 0;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
      keep = field.size();
    } else if (c == '"') {
      quoted = true;
      keep = field.size();
    } else if (c == '=' && !line.hasKey && fields.empty()) {
      field.resize(keep);
      line.hasKey = true;
      line.key = field;
      field.clear();
      keep = 0;
    } else if (c == ',') {
      endField();
    } else if (IsBlank(c)) {
      if (!field.empty()) field += c;
    } else {
      field += c;
      keep = field.size();
    }
  }
  endField();
  // "key =" with nothing after it has no values; so has an empty line.
  if (fields.size() == 1 && fields[0].empty()) fields.clear();
  line.values = std::move(fields);
  return line;
}

// Replaces %strkey% tokens; "%%" is one percent sign.
std::string Substitute(const std::string& text, const std::map<std::string, std::string>& strings) {
  if (text.find('%') == std::string::npos) return text;
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    std::size_t close = text.find('%', i + 1);
    if (close == std::string::npos) {
      out += text.substr(i);
      break;
    }
    std::string token = text.substr(i + 1, close - i - 1);
    if (token.empty()) {
      out += '%';
    } else {
      auto it = strings.find(Upper(token));
      out += it != strings.end() ? it->second : "%" + token + "%";
    }
    i = close;
  }
  return out;
}

}  // namespace

std::optional<InfFile> InfFile::Parse(const std::string& text, win::DWORD* error,
                                      win::UINT* errorLine) {
  auto fail = [&](win::DWORD code, win::UINT line) -> std::optional<InfFile> {
    if (error) *error = code;
    if (errorLine) *errorLine = line;
    return std::nullopt;
  };

  std::string body = text;
  if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) body.erase(0, 3);
  body = body.substr(0, body.find('\x1A'));  // end-of-file mark

  std::vector<RawSection> sections;
  std::map<std::string, std::size_t> sectionIndex;  // by upper-case name
  RawSection* current = nullptr;

  std::string logical;  // a line with its continuations joined
  win::UINT logicalStart = 0;
  win::UINT lineNumber = 0;
  std::size_t pos = 0;
  while (pos <= body.size()) {
    std::size_t newline = body.find('\n', pos);
    if (newline == std::string::npos) newline = body.size();
    std::string physical = body.substr(pos, newline - pos);
    pos = newline + 1;
    ++lineNumber;

    std::string kept;
    if (!StripComment(physical, &kept)) return fail(ERROR_GENERAL_SYNTAX, lineNumber);
    if (logical.empty()) logicalStart = lineNumber;
    if (!kept.empty() && kept.back() == '\\') {
      kept.pop_back();
      logical += kept;
      if (pos <= body.size()) continue;
    } else {
      logical += kept;
    }

    std::string line = logical;
    logical.clear();
    std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    line.erase(0, first);

    if (line[0] == '[') {
      // A section name, possibly quoted, up to the closing bracket.
      std::string name;
      bool quoted = false, closed = false;
      for (std::size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '"') {
          quoted = !quoted;
        } else if (line[i] == ']' && !quoted) {
          closed = true;
          break;
        } else {
          name += line[i];
        }
      }
      if (!closed) return fail(ERROR_BAD_SECTION_NAME_LINE, logicalStart);
      while (!name.empty() && IsBlank(name.back())) name.pop_back();
      name.erase(0, std::min(name.size(), name.find_first_not_of(" \t")));
      if (name.size() > kMaxSectionName) return fail(ERROR_SECTION_NAME_TOO_LONG, logicalStart);
      auto [it, added] = sectionIndex.try_emplace(Upper(name), sections.size());
      if (added) sections.push_back(RawSection{name, {}});
      current = &sections[it->second];
      continue;
    }
    if (!current) return fail(ERROR_EXPECTED_SECTION_NAME, logicalStart);
    RawLine raw = SplitFields(line, logicalStart);
    if (raw.hasKey || !raw.values.empty()) current->lines.push_back(std::move(raw));
  }

  // The string table: [Strings], overridden by the machine language's section.
  std::map<std::string, std::string> strings;
  for (const char* name : {"STRINGS", "STRINGS.0409"}) {
    auto it = sectionIndex.find(name);
    if (it == sectionIndex.end()) continue;
    for (const RawLine& line : sections[it->second].lines) {
      if (line.hasKey) strings[Upper(line.key)] = line.values.empty() ? "" : line.values[0];
    }
  }

  InfFile inf;
  for (RawSection& raw : sections) {
    InfSection section{raw.name, {}};
    section.lines.reserve(raw.lines.size());
    for (RawLine& line : raw.lines) {
      InfLine done{line.hasKey, Substitute(line.key, strings), {}, line.sourceLine};
      for (const std::string& value : line.values) done.values.push_back(Substitute(value, strings));
      section.lines.push_back(std::move(done));
    }
    inf.sections_.push_back(std::move(section));
  }

  inf.style_ = win::INF_STYLE_OLDNT;
  int version = inf.FindSection("Version");
  int signature = version < 0 ? -1 : inf.FindLine(version, "Signature");
  if (signature >= 0) {
    const auto& values = inf.sections_[version].lines[signature].values;
    const std::string value = values.empty() ? "" : values[0];
    for (const char* win4 : {"$Windows NT$", "$Chicago$", "$Windows 95$"}) {
      if (SameText(value, win4)) inf.style_ = win::INF_STYLE_WIN4;
    }
  }
  return inf;
}

std::string InfFile::ClassName() const {
  int version = FindSection("Version");
  int line = version < 0 ? -1 : FindLine(version, "Class");
  if (line < 0) return {};
  const auto& values = sections_[version].lines[line].values;
  return values.empty() ? "" : values[0];
}

int InfFile::FindSection(const std::string& name) const {
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    if (SameText(sections_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

int InfFile::FindLine(int section, const char* key) const {
  if (section < 0 || section >= static_cast<int>(sections_.size())) return -1;
  const auto& lines = sections_[section].lines;
  if (key == nullptr) return lines.empty() ? -1 : 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].hasKey && SameText(lines[i].key, key)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace sim
