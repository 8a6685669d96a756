#include "platform/sim/profile_file.h"

#include <cctype>
#include <cstring>

#include "platform/win_constants.h"

namespace sim {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

// Copies one string into the caller's buffer: cut to size-1 characters,
// NUL-terminated. Returns the number of characters copied.
win::DWORD CopyValue(const std::string& value, char* buffer, win::DWORD size) {
  if (size == 0) return 0;
  win::DWORD length = static_cast<win::DWORD>(value.size());
  if (length > size - 1) length = size - 1;
  std::memcpy(buffer, value.data(), length);
  buffer[length] = '\0';
  return length;
}

// Copies a list of names, each NUL-terminated, with a second NUL at the
// end. When it does not fit, the last name that fits is cut and followed by
// two NULs, and the result is size-2.
win::DWORD CopyList(const std::vector<std::string>& names, char* buffer, win::DWORD size) {
  std::string list;
  for (const std::string& name : names) {
    list += name;
    list += '\0';
  }
  if (size == 0) return 0;
  if (size == 1) {
    buffer[0] = '\0';
    return 0;
  }
  if (list.empty()) {
    buffer[0] = '\0';
    buffer[1] = '\0';
    return 0;
  }
  if (list.size() + 1 <= size) {
    std::memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = '\0';
    return static_cast<win::DWORD>(list.size());
  }
  std::memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

}  // namespace

ProfileFile::ProfileFile(std::string_view text) {
  Section* current = nullptr;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      std::string_view name = line.substr(1, close == std::string_view::npos ? line.npos : close - 1);
      sections_.push_back(Section{std::string(Trim(name)), {}});
      current = &sections_.back();
      continue;
    }
    size_t equals = line.find('=');
    // Assumption: lines before the first section and lines without '=' are ignored.
    if (!current || equals == std::string_view::npos) continue;
    current->entries.push_back(
        Entry{std::string(Trim(line.substr(0, equals))), Unquote(Trim(line.substr(equals + 1)))});
  }
}

const ProfileFile::Section* ProfileFile::FindSection(std::string_view name) const {
  for (const Section& section : sections_) {
    if (EqualNoCase(section.name, Trim(name))) return &section;
  }
  return nullptr;
}

const ProfileFile::Entry* ProfileFile::FindKey(const Section& section, std::string_view key) {
  for (const Entry& entry : section.entries) {
    if (EqualNoCase(entry.key, Trim(key))) return &entry;
  }
  return nullptr;
}

ProfileReadResult ReadProfileString(const std::optional<std::string>& fileText,
                                    const char* section, const char* key,
                                    const char* defaultValue, char* buffer, win::DWORD size) {
  // The default loses its trailing blanks.
  std::string fallback = defaultValue ? defaultValue : "";
  while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
  auto useDefault = [&]() {
    return ProfileReadResult{CopyValue(fallback, buffer, size), win::ERROR_FILE_NOT_FOUND};
  };

  if (!fileText) {
    if (!section) return ProfileReadResult{CopyList({}, buffer, size), win::ERROR_FILE_NOT_FOUND};
    return useDefault();
  }
  ProfileFile file(*fileText);

  if (!section) {
    std::vector<std::string> names;
    for (const auto& s : file.sections()) names.push_back(s.name);
    return ProfileReadResult{CopyList(names, buffer, size), win::ERROR_SUCCESS};
  }
  const ProfileFile::Section* found = file.FindSection(section);
  if (!found) return useDefault();
  if (!key) {
    std::vector<std::string> names;
    for (const auto& entry : found->entries) names.push_back(entry.key);
    return ProfileReadResult{CopyList(names, buffer, size), win::ERROR_SUCCESS};
  }
  const ProfileFile::Entry* entry = ProfileFile::FindKey(*found, key);
  if (!entry) return useDefault();
  return ProfileReadResult{CopyValue(entry->value, buffer, size), win::ERROR_SUCCESS};
}

}  // namespace sim
