#include "platform/sim/transcript.h"

#include <cstdio>
#include <sstream>

#include "platform/sim/sim_machine.h"

namespace sim {
namespace {

struct KindName {
  EntryKind kind;
  const char* name;
};

constexpr KindName kKindNames[] = {
    {EntryKind::DialogShown, "dialog shown"}, {EntryKind::DialogEnded, "dialog ended"},
    {EntryKind::MessageBox, "message box"},   {EntryKind::ControlText, "text"},
    {EntryKind::Progress, "progress"},        {EntryKind::Posted, "post"},
    {EntryKind::Cursor, "cursor"},            {EntryKind::SystemMenu, "system menu"},
    {EntryKind::Activated, "activated"},      {EntryKind::IconDrawn, "icon drawn"},
    {EntryKind::UserAction, "user"},
};

EntryKind KindFromName(const std::string& name) {
  for (const KindName& k : kKindNames) {
    if (name == k.name) return k.kind;
  }
  throw std::runtime_error("unknown transcript entry kind: " + name);
}

std::string Quoted(const std::string& text) { return "\"" + EscapeForTranscript(text) + "\""; }

}  // namespace

const char* EntryKindName(EntryKind kind) {
  for (const KindName& k : kKindNames) {
    if (k.kind == kind) return k.name;
  }
  return "?";
}

std::string EscapeForTranscript(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      default: out += c;
    }
  }
  return out;
}

Transcript::Transcript(SimMachine& machine) : machine_(machine) {}

void Transcript::Add(TranscriptEntry entry) {
  entry.time = machine_.clock.Now();
  entries_.push_back(std::move(entry));
}

std::string Transcript::Line(const TranscriptEntry& e, bool withTime) {
  std::ostringstream out;
  if (withTime) out << "[" << e.time << " ms] p" << e.process << " ";
  out << EntryKindName(e.kind);
  switch (e.kind) {
    case EntryKind::DialogShown:
      out << " " << e.id << " " << Quoted(e.window);
      break;
    case EntryKind::DialogEnded:
      out << " " << e.id << " " << Quoted(e.window) << " result " << e.value;
      break;
    case EntryKind::MessageBox: {
      char style[16];
      std::snprintf(style, sizeof style, "0x%llX", static_cast<unsigned long long>(e.value));
      out << " " << Quoted(e.window) << " " << Quoted(e.text) << " style " << style << " answer "
          << e.answer << (e.byDefault ? " (default)" : "");
      break;
    }
    case EntryKind::ControlText:
      out << " " << Quoted(e.window) << " " << e.id << " " << Quoted(e.text);
      break;
    case EntryKind::Progress:
      out << " " << Quoted(e.window) << " " << e.id << " " << e.action << " pos " << e.value;
      break;
    case EntryKind::Posted:
      out << " " << Quoted(e.window) << " " << e.value;
      break;
    case EntryKind::Cursor:
      out << " " << e.text;
      break;
    case EntryKind::SystemMenu:
      out << " " << Quoted(e.window) << " " << e.action << " " << e.text;
      break;
    case EntryKind::Activated:
      out << " " << Quoted(e.window);
      break;
    case EntryKind::IconDrawn:
      out << " " << Quoted(e.window) << " at " << e.value << "," << e.value2;
      break;
    case EntryKind::UserAction:
      out << " " << Quoted(e.window) << " " << e.action;
      if (!e.text.empty()) out << " " << e.text;
      break;
  }
  return out.str();
}

std::string Transcript::Text(bool withTimes) const {
  std::string out;
  for (const TranscriptEntry& e : entries_) out += Line(e, withTimes) + "\n";
  return out;
}

std::vector<TranscriptEntry> Transcript::OfKind(EntryKind kind) const {
  std::vector<TranscriptEntry> found;
  for (const TranscriptEntry& e : entries_) {
    if (e.kind == kind) found.push_back(e);
  }
  return found;
}

std::vector<std::string> Transcript::ControlTexts(int controlId, const std::string& dialogTitle) const {
  std::vector<std::string> texts;
  for (const TranscriptEntry& e : entries_) {
    if (e.kind == EntryKind::ControlText && e.id == controlId &&
        (dialogTitle.empty() || e.window == dialogTitle)) {
      texts.push_back(e.text);
    }
  }
  return texts;
}

std::vector<long long> Transcript::BarPositions(int controlId, const std::string& dialogTitle) const {
  std::vector<long long> positions;
  for (const TranscriptEntry& e : entries_) {
    if (e.kind == EntryKind::Progress && e.id == controlId &&
        (dialogTitle.empty() || e.window == dialogTitle)) {
      positions.push_back(e.value);
    }
  }
  return positions;
}

std::vector<std::string> Transcript::MessageBoxTexts() const {
  std::vector<std::string> texts;
  for (const TranscriptEntry& e : entries_) {
    if (e.kind == EntryKind::MessageBox) texts.push_back(e.text);
  }
  return texts;
}

nlohmann::json Transcript::Dump() const {
  nlohmann::json list = nlohmann::json::array();
  for (const TranscriptEntry& e : entries_) {
    nlohmann::json j = {{"kind", EntryKindName(e.kind)}, {"time", e.time}, {"process", e.process}};
    if (!e.window.empty()) j["window"] = e.window;
    if (e.id != 0) j["id"] = e.id;
    if (!e.text.empty()) j["text"] = e.text;
    if (!e.action.empty()) j["action"] = e.action;
    if (!e.answer.empty()) j["answer"] = e.answer;
    if (e.byDefault) j["byDefault"] = true;
    if (e.value != 0) j["value"] = e.value;
    if (e.value2 != 0) j["value2"] = e.value2;
    list.push_back(j);
  }
  return list;
}

void Transcript::Load(const nlohmann::json& section) {
  entries_.clear();
  if (!section.is_array()) return;
  for (const nlohmann::json& j : section) {
    TranscriptEntry e;
    e.kind = KindFromName(j.at("kind").get<std::string>());
    e.time = j.value("time", std::int64_t{0});
    e.process = j.value("process", win::DWORD{0});
    e.window = j.value("window", std::string());
    e.id = j.value("id", 0);
    e.text = j.value("text", std::string());
    e.action = j.value("action", std::string());
    e.answer = j.value("answer", std::string());
    e.byDefault = j.value("byDefault", false);
    e.value = j.value("value", 0LL);
    e.value2 = j.value("value2", 0LL);
    entries_.push_back(e);
  }
}

}  // namespace sim
