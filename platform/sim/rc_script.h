// A reader of the resource script that a program's Windows build compiles:
// the dialog templates (DIALOG and DIALOGEX with their controls) and the
// ICON resources. Everything else in the script (string tables, version
// blocks, designer blocks, #include lines, comments) is skipped.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace sim {

// Window styles that the simulation looks at (documented values).
namespace rc_style {
constexpr win::DWORD WS_POPUP = 0x80000000u;
constexpr win::DWORD WS_CHILD = 0x40000000u;
constexpr win::DWORD WS_VISIBLE = 0x10000000u;
constexpr win::DWORD WS_DISABLED = 0x08000000u;
constexpr win::DWORD WS_CAPTION = 0x00C00000u;
constexpr win::DWORD WS_BORDER = 0x00800000u;
constexpr win::DWORD WS_SYSMENU = 0x00080000u;
constexpr win::DWORD WS_GROUP = 0x00020000u;
constexpr win::DWORD WS_TABSTOP = 0x00010000u;
constexpr win::DWORD WS_MINIMIZEBOX = 0x00020000u;
constexpr win::DWORD DS_SETFONT = 0x40;
constexpr win::DWORD DS_MODALFRAME = 0x80;
constexpr win::DWORD WS_EX_APPWINDOW = 0x00040000u;
constexpr win::DWORD BS_TYPEMASK = 0xF;
constexpr win::DWORD BS_PUSHBUTTON = 0;
constexpr win::DWORD BS_DEFPUSHBUTTON = 1;
constexpr win::DWORD BS_CHECKBOX = 2;
constexpr win::DWORD BS_AUTOCHECKBOX = 3;
constexpr win::DWORD BS_RADIOBUTTON = 4;
constexpr win::DWORD BS_GROUPBOX = 7;
constexpr win::DWORD BS_AUTORADIOBUTTON = 9;
constexpr win::DWORD LBS_NOTIFY = 0x1;
constexpr win::DWORD LBS_SORT = 0x2;
constexpr win::DWORD LBS_OWNERDRAWFIXED = 0x10;
constexpr win::DWORD LBS_HASSTRINGS = 0x40;
}  // namespace rc_style

struct RcControl {
  std::string statement;  // CONTROL, LTEXT, PUSHBUTTON, LISTBOX, ICON ...
  std::string text;       // the caption (for ICON: the icon's name or number)
  int id = -1;            // -1: no id (IDC_STATIC)
  std::string className;  // Button, Static, ListBox, Edit, ComboBox, msctls_progress32 ...
  win::DWORD style = 0;   // with the statement's default styles applied
  win::DWORD exStyle = 0;
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
};

struct RcDialog {
  int id = 0;
  bool extended = false;  // DIALOGEX
  int x = 0, y = 0, width = 0, height = 0;  // dialog units; width and height are the client area
  win::DWORD style = 0;
  win::DWORD exStyle = 0;
  std::string caption;
  int fontSize = 0;
  std::string fontFace;
  std::vector<RcControl> controls;

  const RcControl* FindControl(int controlId) const;
};

struct RcIcon {
  int id = 0;
  std::string file;
};

struct RcScript {
  std::vector<RcDialog> dialogs;
  std::vector<RcIcon> icons;
  // Names the reader did not know (taken as 0) and resources it skipped
  // because their name is not a number.
  std::vector<std::string> warnings;

  const RcDialog* FindDialog(int id) const;
  const RcIcon* FindIcon(int id) const;
};

struct RcSyntaxError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads a resource script; throws RcSyntaxError (with the line) on a dialog
// template it cannot read.
RcScript ParseRcScript(const std::string& text);

}  // namespace sim
