#include "platform/sim/rc_script.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

using namespace rc_style;

// A script shaped like what the resource editor writes: a header include,
// comments, a string table, a version block, two dialogs and an icon.
const char* kScript = R"rc(
#include "resource.h"
#define IDC_LIST 1006
// Dialogs
/* the progress dialog */
102 DIALOGEX 0, 0, 259, 116
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
EXSTYLE WS_EX_APPWINDOW
CAPTION "Installation ""Progress"""
FONT 9, "Verdana", 0, 0, 0x0
BEGIN
    CONTROL         "",1000,"msctls_progress32",WS_BORDER,7,77,245,14
    LTEXT           "Messages\tand more",1003,50,60,200,8
    GROUPBOX        "",IDC_STATIC,7,7,245,40
    LISTBOX         IDC_LIST,6,6,190,92,LBS_SORT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                    WS_VSCROLL | WS_TABSTOP
    AUTORADIOBUTTON "COM1",1006,13,18,33,10,WS_GROUP | NOT WS_VISIBLE
    DEFPUSHBUTTON   "&Next",IDOK,154,48,36,14
    PUSHBUTTON      "Uninstall",1001,6,133,50,16,WS_DISABLED
    ICON            128,IDC_STATIC,10,10,20,20
END

STRINGTABLE
BEGIN
    1 "not a dialog"
END

1 VERSIONINFO
 FILEVERSION 1,2,0,0
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        VALUE "FileDescription", "x"
    END
END

129 DIALOG 10, 20, 197, 66
CAPTION "Port Type"
BEGIN
    RTEXT "right", -1, 1, 2, 3, 4
END

128 ICON "res\\app.ico"
)rc";

TEST(RcScript, ReadsDialogHeaderAndControls) {
  RcScript script = ParseRcScript(kScript);
  ASSERT_EQ(script.dialogs.size(), 2u);

  const RcDialog* progress = script.FindDialog(102);
  ASSERT_NE(progress, nullptr);
  EXPECT_TRUE(progress->extended);
  EXPECT_EQ(progress->caption, "Installation \"Progress\"");
  EXPECT_EQ(progress->fontSize, 9);
  EXPECT_EQ(progress->fontFace, "Verdana");
  EXPECT_EQ(progress->width, 259);
  EXPECT_EQ(progress->height, 116);
  EXPECT_EQ(progress->style, DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  EXPECT_EQ(progress->exStyle, WS_EX_APPWINDOW);
  ASSERT_EQ(progress->controls.size(), 8u);

  struct Expected {
    std::size_t index;
    const char* statement;
    const char* text;
    int id;
    const char* className;
    win::DWORD style;
    int x, y, width, height;
  };
  const Expected expected[] = {
      {0, "CONTROL", "", 1000, "msctls_progress32", WS_CHILD | WS_VISIBLE | WS_BORDER, 7, 77, 245, 14},
      {1, "LTEXT", "Messages\tand more", 1003, "Static", WS_CHILD | WS_VISIBLE | WS_GROUP, 50, 60, 200, 8},
      {2, "GROUPBOX", "", -1, "Button", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 7, 7, 245, 40},
      {3, "LISTBOX", "", 1006, "ListBox",
       WS_CHILD | WS_VISIBLE | LBS_NOTIFY | WS_BORDER | LBS_SORT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
           0x00200000u | WS_TABSTOP,
       6, 6, 190, 92},
      // NOT removes a default style.
      {4, "AUTORADIOBUTTON", "COM1", 1006, "Button", WS_CHILD | BS_AUTORADIOBUTTON | WS_GROUP, 13, 18, 33, 10},
      {5, "DEFPUSHBUTTON", "&Next", 1, "Button", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 154,
       48, 36, 14},
      {6, "PUSHBUTTON", "Uninstall", 1001, "Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_DISABLED, 6,
       133, 50, 16},
      {7, "ICON", "128", -1, "Static", WS_CHILD | WS_VISIBLE | 0x3, 10, 10, 20, 20},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.statement);
    const RcControl& c = progress->controls[e.index];
    EXPECT_EQ(c.statement, e.statement);
    EXPECT_EQ(c.text, e.text);
    EXPECT_EQ(c.id, e.id);
    EXPECT_EQ(c.className, e.className);
    EXPECT_EQ(c.style, e.style);
    EXPECT_EQ(c.x, e.x);
    EXPECT_EQ(c.y, e.y);
    EXPECT_EQ(c.width, e.width);
    EXPECT_EQ(c.height, e.height);
  }
}

TEST(RcScript, DialogWithoutStyleGetsTheDefaultPopupStyle) {
  RcScript script = ParseRcScript(kScript);
  const RcDialog* port = script.FindDialog(129);
  ASSERT_NE(port, nullptr);
  EXPECT_FALSE(port->extended);
  EXPECT_EQ(port->x, 10);
  EXPECT_EQ(port->y, 20);
  // No STYLE: WS_POPUP | WS_BORDER | WS_SYSMENU, and CAPTION adds WS_CAPTION.
  EXPECT_EQ(port->style, WS_POPUP | WS_BORDER | WS_SYSMENU | WS_CAPTION);
  ASSERT_EQ(port->controls.size(), 1u);
  EXPECT_EQ(port->controls[0].style, WS_CHILD | WS_VISIBLE | WS_GROUP | 0x2);  // RTEXT: SS_RIGHT
  EXPECT_EQ(port->controls[0].id, -1);
}

TEST(RcScript, ReadsIconsAndSkipsOtherResources) {
  RcScript script = ParseRcScript(kScript);
  ASSERT_EQ(script.icons.size(), 1u);
  EXPECT_EQ(script.icons[0].id, 128);
  EXPECT_EQ(script.icons[0].file, "res\\app.ico");
  EXPECT_NE(script.FindIcon(128), nullptr);
  EXPECT_EQ(script.FindIcon(129), nullptr);
  EXPECT_EQ(script.FindDialog(1), nullptr);  // the string table and version block are not dialogs
  EXPECT_TRUE(script.warnings.empty());
}

TEST(RcScript, ReportsUnknownNamesAndSyntaxErrors) {
  RcScript script = ParseRcScript("5 DIALOG 0,0,10,10\nSTYLE WS_POPUP | WS_FANCY\nBEGIN\nEND\n");
  ASSERT_EQ(script.dialogs.size(), 1u);
  EXPECT_EQ(script.dialogs[0].style, WS_POPUP);
  ASSERT_EQ(script.warnings.size(), 1u);
  EXPECT_NE(script.warnings[0].find("WS_FANCY"), std::string::npos);

  try {
    ParseRcScript("5 DIALOG 0,0,10,10\nBEGIN\n  PUSHBUTTON \"OK\" 1, 2, 3, 4, 5\nEND\n");
    FAIL() << "a missing comma must be reported";
  } catch (const RcSyntaxError& error) {
    EXPECT_NE(std::string(error.what()).find("line 3"), std::string::npos) << error.what();
  }
  EXPECT_THROW(ParseRcScript("5 DIALOG 0,0,10,10\nBEGIN\n  LTEXT \"never closed"), RcSyntaxError);
}

}  // namespace
}  // namespace sim
