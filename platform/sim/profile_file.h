// The Windows profile (INI) file reader behind GetPrivateProfileStringA.
//
// A profile file is a list of "[section]" headers, each followed by
// "key=value" lines. Section and key names compare without regard to case;
// blanks around names and values are dropped; a value in matching double or
// single quotes loses them; a line whose first non-blank character is ';'
// is a comment. The first of several equal sections or keys counts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace sim {

class ProfileFile {
 public:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };

  explicit ProfileFile(std::string_view text);

  const std::vector<Section>& sections() const { return sections_; }
  const Section* FindSection(std::string_view name) const;
  static const Entry* FindKey(const Section& section, std::string_view key);

 private:
  std::vector<Section> sections_;
};

// What GetPrivateProfileStringA returns and the last error it leaves.
struct ProfileReadResult {
  win::DWORD length = 0;
  win::DWORD lastError = 0;
};

// GetPrivateProfileStringA on a file's text (nullopt: the file is missing).
// A null section lists the section names, a null key the keys of the section,
// each ended by a NUL, the list by a second NUL. The buffer receives at most
// `size` characters, terminating NULs included.
ProfileReadResult ReadProfileString(const std::optional<std::string>& fileText,
                                    const char* section, const char* key,
                                    const char* defaultValue, char* buffer, win::DWORD size);

}  // namespace sim
