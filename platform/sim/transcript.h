// What the user saw and did on the simulated machine, in order: dialogs
// shown and ended, message boxes with their answers, control texts,
// progress-bar moves, the program's own messages posted to its dialogs,
// cursor changes, system-menu changes, activations and icon drawing.
// Each entry carries the virtual time and the process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/win_types.h"

namespace sim {

class SimMachine;

enum class EntryKind {
  DialogShown,   // window = title, id = template id
  DialogEnded,   // window = title, id = template id, value = result
  MessageBox,    // window = caption, text, value = style, answer = button name
  ControlText,   // window = dialog title, id = control id, text
  Progress,      // window = dialog title, id = control id, action = SETRANGE/SETSTEP/STEPIT/SETPOS, value = position
  Posted,        // window = dialog title, value = message number
  Cursor,        // text = IDC_ARROW / IDC_WAIT / other
  SystemMenu,    // window = title, action = "removed", text = item name
  Activated,     // window = title
  IconDrawn,     // window = title, value = x, value2 = y
  UserAction,    // window = title, action = what the scripted user did, text = detail
};

struct TranscriptEntry {
  EntryKind kind = EntryKind::DialogShown;
  std::int64_t time = 0;  // virtual milliseconds
  win::DWORD process = 0;
  std::string window;
  int id = 0;
  std::string text;
  std::string action;
  std::string answer;        // message boxes: OK, Cancel, Yes, No ...
  bool byDefault = false;    // message boxes: no rule answered it
  long long value = 0;
  long long value2 = 0;
};

const char* EntryKindName(EntryKind kind);

class Transcript {
 public:
  explicit Transcript(SimMachine& machine);
  // A fresh machine has an empty transcript.
  void CreateStandardContent() {}
  // A description may carry an earlier transcript (as Dump wrote it).
  void Load(const nlohmann::json& section);
  nlohmann::json Dump() const;

  // Adds an entry stamped with the current virtual time.
  void Add(TranscriptEntry entry);

  const std::vector<TranscriptEntry>& Entries() const { return entries_; }
  void Clear() { entries_.clear(); }

  // One line per entry: "[time ms] p<process> <kind> ...", with CR and LF
  // inside texts written as \r and \n. Without times: just the rest.
  std::string Text(bool withTimes = true) const;
  static std::string Line(const TranscriptEntry& entry, bool withTime = true);

  // Query helpers.
  std::vector<TranscriptEntry> OfKind(EntryKind kind) const;
  // Texts that one control of a dialog showed, in order ("" title: any dialog).
  std::vector<std::string> ControlTexts(int controlId, const std::string& dialogTitle = "") const;
  // Positions of a progress bar after each of its actions, in order.
  std::vector<long long> BarPositions(int controlId, const std::string& dialogTitle = "") const;
  // Texts of the message boxes, in order.
  std::vector<std::string> MessageBoxTexts() const;

 private:
  SimMachine& machine_;
  std::vector<TranscriptEntry> entries_;
};

// "\r" and "\n" written visibly, quotes and backslashes escaped.
std::string EscapeForTranscript(const std::string& text);

}  // namespace sim
