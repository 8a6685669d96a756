#include "platform/sim/rc_script.h"
#include "platform/sim/text.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>

namespace sim {
namespace {

using win::DWORD;

// The symbolic names a dialog template may use, with their documented values.
const std::map<std::string, long long>& KnownNames() {
  static const std::map<std::string, long long> names = {
      // window styles
      {"WS_OVERLAPPED", 0}, {"WS_POPUP", 0x80000000LL}, {"WS_CHILD", 0x40000000},
      {"WS_MINIMIZE", 0x20000000}, {"WS_VISIBLE", 0x10000000}, {"WS_DISABLED", 0x08000000},
      {"WS_CLIPSIBLINGS", 0x04000000}, {"WS_CLIPCHILDREN", 0x02000000},
      {"WS_MAXIMIZE", 0x01000000}, {"WS_CAPTION", 0x00C00000}, {"WS_BORDER", 0x00800000},
      {"WS_DLGFRAME", 0x00400000}, {"WS_VSCROLL", 0x00200000}, {"WS_HSCROLL", 0x00100000},
      {"WS_SYSMENU", 0x00080000}, {"WS_THICKFRAME", 0x00040000}, {"WS_GROUP", 0x00020000},
      {"WS_TABSTOP", 0x00010000}, {"WS_MINIMIZEBOX", 0x00020000},
      {"WS_MAXIMIZEBOX", 0x00010000},
      // extended styles
      {"WS_EX_DLGMODALFRAME", 0x1}, {"WS_EX_TOPMOST", 0x8}, {"WS_EX_TRANSPARENT", 0x20},
      {"WS_EX_TOOLWINDOW", 0x80}, {"WS_EX_WINDOWEDGE", 0x100}, {"WS_EX_CLIENTEDGE", 0x200},
      {"WS_EX_CONTEXTHELP", 0x400}, {"WS_EX_STATICEDGE", 0x20000},
      {"WS_EX_APPWINDOW", 0x40000}, {"WS_EX_NOPARENTNOTIFY", 0x4},
      {"WS_EX_ACCEPTFILES", 0x10}, {"WS_EX_CONTROLPARENT", 0x10000},
      // dialog styles
      {"DS_ABSALIGN", 0x1}, {"DS_SYSMODAL", 0x2}, {"DS_3DLOOK", 0x4}, {"DS_FIXEDSYS", 0x8},
      {"DS_NOFAILCREATE", 0x10}, {"DS_LOCALEDIT", 0x20}, {"DS_SETFONT", 0x40},
      {"DS_MODALFRAME", 0x80}, {"DS_NOIDLEMSG", 0x100}, {"DS_SETFOREGROUND", 0x200},
      {"DS_CONTROL", 0x400}, {"DS_CENTER", 0x800}, {"DS_CENTERMOUSE", 0x1000},
      {"DS_CONTEXTHELP", 0x2000}, {"DS_SHELLFONT", 0x48},
      // button styles
      {"BS_PUSHBUTTON", 0}, {"BS_DEFPUSHBUTTON", 1}, {"BS_CHECKBOX", 2},
      {"BS_AUTOCHECKBOX", 3}, {"BS_RADIOBUTTON", 4}, {"BS_3STATE", 5}, {"BS_AUTO3STATE", 6},
      {"BS_GROUPBOX", 7}, {"BS_AUTORADIOBUTTON", 9}, {"BS_LEFTTEXT", 0x20},
      {"BS_LEFT", 0x100}, {"BS_RIGHT", 0x200}, {"BS_CENTER", 0x300}, {"BS_TOP", 0x400},
      {"BS_BOTTOM", 0x800}, {"BS_VCENTER", 0xC00}, {"BS_MULTILINE", 0x2000},
      {"BS_NOTIFY", 0x4000}, {"BS_FLAT", 0x8000},
      // static styles
      {"SS_LEFT", 0}, {"SS_CENTER", 1}, {"SS_RIGHT", 2}, {"SS_ICON", 3},
      {"SS_BLACKRECT", 4}, {"SS_GRAYRECT", 5}, {"SS_WHITERECT", 6}, {"SS_BLACKFRAME", 7},
      {"SS_ETCHEDHORZ", 0x10}, {"SS_ETCHEDFRAME", 0x12}, {"SS_LEFTNOWORDWRAP", 0xC},
      {"SS_NOPREFIX", 0x80}, {"SS_NOTIFY", 0x100}, {"SS_CENTERIMAGE", 0x200},
      {"SS_REALSIZEIMAGE", 0x800}, {"SS_SUNKEN", 0x1000},
      // list box styles
      {"LBS_NOTIFY", 0x1}, {"LBS_SORT", 0x2}, {"LBS_NOREDRAW", 0x4}, {"LBS_MULTIPLESEL", 0x8},
      {"LBS_OWNERDRAWFIXED", 0x10}, {"LBS_OWNERDRAWVARIABLE", 0x20},
      {"LBS_HASSTRINGS", 0x40}, {"LBS_USETABSTOPS", 0x80}, {"LBS_NOINTEGRALHEIGHT", 0x100},
      {"LBS_MULTICOLUMN", 0x200}, {"LBS_WANTKEYBOARDINPUT", 0x400},
      {"LBS_EXTENDEDSEL", 0x800}, {"LBS_DISABLENOSCROLL", 0x1000}, {"LBS_NODATA", 0x2000},
      {"LBS_NOSEL", 0x4000}, {"LBS_STANDARD", 0xA00003},
      // edit and combo box styles
      {"ES_LEFT", 0}, {"ES_CENTER", 1}, {"ES_RIGHT", 2}, {"ES_MULTILINE", 4},
      {"ES_AUTOVSCROLL", 0x40}, {"ES_AUTOHSCROLL", 0x80}, {"ES_READONLY", 0x800},
      {"CBS_SIMPLE", 1}, {"CBS_DROPDOWN", 2}, {"CBS_DROPDOWNLIST", 3}, {"CBS_SORT", 0x100},
      // progress bar styles
      {"PBS_SMOOTH", 1}, {"PBS_VERTICAL", 4},
      // standard ids
      {"IDC_STATIC", -1}, {"IDOK", 1}, {"IDCANCEL", 2}, {"IDABORT", 3}, {"IDRETRY", 4},
      {"IDIGNORE", 5}, {"IDYES", 6}, {"IDNO", 7},
  };
  return names;
}

enum class TokenKind { Name, Number, String, Punct, End };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;    // name, string content or punctuation
  long long value = 0;  // numbers
  int line = 0;
};

// Splits the script into tokens; preprocessor lines are handed to `defines`.
std::vector<Token> Tokenize(const std::string& text, std::map<std::string, long long>& defines) {
  std::vector<Token> tokens;
  int line = 1;
  std::size_t i = 0;
  bool lineStart = true;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\n') {
      ++line;
      ++i;
      lineStart = true;
      continue;
    }
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    if (lineStart && c == '#') {
      std::size_t end = text.find('\n', i);
      std::string directive = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
      // "#define NAME number" gives the name a value; other directives are ignored.
      char name[128] = {0};
      char value[128] = {0};
      if (std::sscanf(directive.c_str(), "#define %127s %127s", name, value) == 2) {
        char* stop = nullptr;
        long long number = std::strtoll(value, &stop, 0);
        if (stop != value) defines[name] = number;
      }
      i = end == std::string::npos ? text.size() : end;
      continue;
    }
    lineStart = false;
    if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      std::size_t end = text.find("*/", i + 2);
      std::size_t stop = end == std::string::npos ? text.size() : end + 2;
      line += static_cast<int>(std::count(text.begin() + i, text.begin() + stop, '\n'));
      i = stop;
      continue;
    }
    Token token;
    token.line = line;
    if (c == '"') {
      // A string: "" stands for one quote; backslash escapes as in C.
      std::string value;
      ++i;
      for (;;) {
        if (i >= text.size()) throw RcSyntaxError("line " + std::to_string(line) + ": unterminated string");
        char d = text[i];
        if (d == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            value += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        if (d == '\\' && i + 1 < text.size()) {
          char e = text[i + 1];
          i += 2;
          switch (e) {
            case 'n': value += '\n'; break;
            case 'r': value += '\r'; break;
            case 't': value += '\t'; break;
            case 'a': value += '\b'; break;
            default: value += e; break;
          }
          continue;
        }
        if (d == '\n') ++line;
        value += d;
        ++i;
      }
      token.kind = TokenKind::String;
      token.text = value;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      char* stop = nullptr;
      token.kind = TokenKind::Number;
      token.value = std::strtoll(text.c_str() + i, &stop, 0);
      i = static_cast<std::size_t>(stop - text.c_str());
      while (i < text.size() && (text[i] == 'L' || text[i] == 'l' || text[i] == 'U' || text[i] == 'u')) ++i;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t start = i;
      while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_' ||
                                 text[i] == '.')) {
        ++i;
      }
      token.kind = TokenKind::Name;
      token.text = text.substr(start, i - start);
    } else {
      token.kind = TokenKind::Punct;
      token.text = std::string(1, c);
      ++i;
    }
    tokens.push_back(token);
  }
  Token end;
  end.line = line;
  tokens.push_back(end);
  return tokens;
}

class Parser {
 public:
  Parser(std::vector<Token> tokens, std::map<std::string, long long> defines, RcScript& script)
      : tokens_(std::move(tokens)), defines_(std::move(defines)), script_(script) {}

  void ParseAll() {
    while (Peek().kind != TokenKind::End) ParseResource();
  }

 private:
  const Token& Peek(std::size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  Token Next() {
    Token t = Peek();
    if (pos_ < tokens_.size() - 1) ++pos_;
    return t;
  }
  bool IsPunct(const Token& t, char c) const { return t.kind == TokenKind::Punct && t.text[0] == c; }
  bool IsWord(const Token& t, const char* word) const {
    return t.kind == TokenKind::Name && Upper(t.text) == word;
  }
  bool IsBegin(const Token& t) const { return IsWord(t, "BEGIN") || IsPunct(t, '{'); }
  bool IsEndOfBlock(const Token& t) const { return IsWord(t, "END") || IsPunct(t, '}'); }

  [[noreturn]] void Fail(const std::string& what) const {
    throw RcSyntaxError("line " + std::to_string(Peek().line) + ": " + what);
  }

  void SkipRestOfLine(int line) {
    while (Peek().kind != TokenKind::End && Peek().line == line) Next();
  }

  void SkipBlock() {
    int depth = 0;
    do {
      Token t = Next();
      if (t.kind == TokenKind::End) Fail("block without END");
      if (IsBegin(t)) ++depth;
      if (IsEndOfBlock(t)) --depth;
    } while (depth > 0);
  }

  // A name or number giving a value; unknown names count 0 with a warning.
  long long NameValue(const Token& t) {
    if (t.kind == TokenKind::Number) return t.value;
    auto known = KnownNames().find(t.text);
    if (known != KnownNames().end()) return known->second;
    auto defined = defines_.find(t.text);
    if (defined != defines_.end()) return defined->second;
    script_.warnings.push_back("line " + std::to_string(t.line) + ": unknown name " + t.text);
    return 0;
  }

  // Style expressions: terms joined by | (or +), a term may be NOT name.
  // Returns the bits to set and, through `cleared`, the bits NOT removes.
  long long Expression(long long* cleared = nullptr) {
    long long value = 0;
    for (;;) {
      bool negate = false;
      if (IsWord(Peek(), "NOT")) {
        Next();
        negate = true;
      }
      long long term = Term();
      if (negate) {
        if (cleared) *cleared |= term;
        value &= ~term;
      } else {
        value |= term;
      }
      if (IsPunct(Peek(), '|') || IsPunct(Peek(), '+')) {
        Next();
        continue;
      }
      return value;
    }
  }

  long long Term() {
    Token t = Next();
    if (IsPunct(t, '-')) return -Term();
    if (IsPunct(t, '(')) {
      long long v = Expression();
      if (!IsPunct(Next(), ')')) Fail("missing )");
      return v;
    }
    if (t.kind == TokenKind::Number || t.kind == TokenKind::Name) return NameValue(t);
    Fail("expected a number or a name");
  }

  bool Comma() {
    if (IsPunct(Peek(), ',')) {
      Next();
      return true;
    }
    return false;
  }
  void ExpectComma() {
    if (!Comma()) Fail("expected ,");
  }
  int Number() { return static_cast<int>(Expression()); }

  void ParseResource() {
    Token first = Next();
    if (IsWord(first, "LANGUAGE")) {
      SkipRestOfLine(first.line);
      return;
    }
    if (IsWord(first, "STRINGTABLE")) {
      while (!IsBegin(Peek())) {
        if (Peek().kind == TokenKind::End) Fail("STRINGTABLE without BEGIN");
        Next();
      }
      SkipBlock();
      return;
    }
    Token type = Next();
    std::string typeName = type.kind == TokenKind::Name ? Upper(type.text) : "";
    std::optional<long long> id;
    if (first.kind == TokenKind::Number) id = first.value;
    else if (first.kind == TokenKind::Name && defines_.count(first.text)) id = defines_[first.text];

    if (typeName == "DIALOG" || typeName == "DIALOGEX") {
      RcDialog dialog = ParseDialog(typeName == "DIALOGEX");
      if (id) {
        dialog.id = static_cast<int>(*id);
        script_.dialogs.push_back(std::move(dialog));
      } else {
        script_.warnings.push_back("dialog " + first.text + " skipped: its name is not a number");
      }
      return;
    }
    // Other resources: on one line with a file name, or with a block.
    bool hasFile = false;
    std::string file;
    while (Peek().kind != TokenKind::End && Peek().line == type.line && !IsBegin(Peek())) {
      Token t = Next();
      if (t.kind == TokenKind::String) {
        hasFile = true;
        file = t.text;
      }
    }
    if (hasFile) {
      if (typeName == "ICON" && id) script_.icons.push_back(RcIcon{static_cast<int>(*id), file});
      return;
    }
    while (!IsBegin(Peek())) {
      if (Peek().kind == TokenKind::End) Fail("resource " + first.text + " without BEGIN");
      Next();
    }
    SkipBlock();
  }

  RcDialog ParseDialog(bool extended) {
    using namespace rc_style;
    RcDialog dialog;
    dialog.extended = extended;
    dialog.x = Number();
    ExpectComma();
    dialog.y = Number();
    ExpectComma();
    dialog.width = Number();
    ExpectComma();
    dialog.height = Number();
    if (extended && Comma()) Number();  // help id

    // Without STYLE a dialog is WS_POPUP | WS_BORDER | WS_SYSMENU; CAPTION
    // adds WS_CAPTION and FONT adds DS_SETFONT, as the resource compiler does.
    DWORD style = WS_POPUP | WS_BORDER | WS_SYSMENU;
    bool caption = false;
    bool font = false;
    while (!IsBegin(Peek())) {
      Token statement = Next();
      std::string word = Upper(statement.text);
      if (statement.kind != TokenKind::Name) Fail("unexpected token in a dialog header");
      if (word == "STYLE") {
        style = static_cast<DWORD>(Expression());
      } else if (word == "EXSTYLE") {
        dialog.exStyle = static_cast<DWORD>(Expression());
      } else if (word == "CAPTION") {
        Token text = Next();
        if (text.kind != TokenKind::String) Fail("CAPTION needs a string");
        dialog.caption = text.text;
        caption = true;
      } else if (word == "FONT") {
        dialog.fontSize = Number();
        ExpectComma();
        Token face = Next();
        if (face.kind != TokenKind::String) Fail("FONT needs a typeface");
        dialog.fontFace = face.text;
        while (Comma()) Expression();  // weight, italic, character set
        font = true;
      } else {
        // MENU, CLASS, LANGUAGE, CHARACTERISTICS, VERSION: not needed here.
        SkipRestOfLine(statement.line);
      }
    }
    if (caption) style |= WS_CAPTION;
    if (font) style |= DS_SETFONT;
    dialog.style = style;
    Next();  // BEGIN
    while (!IsEndOfBlock(Peek())) {
      if (Peek().kind == TokenKind::End) Fail("dialog without END");
      dialog.controls.push_back(ParseControl());
    }
    Next();  // END
    return dialog;
  }

  struct StatementShape {
    const char* className;
    DWORD defaultStyle;
    bool hasText;
  };

  static std::optional<StatementShape> ShapeOf(const std::string& word) {
    using namespace rc_style;
    static const std::map<std::string, StatementShape> shapes = {
        {"LTEXT", {"Static", 0x0 | WS_GROUP, true}},
        {"RTEXT", {"Static", 0x2 | WS_GROUP, true}},
        {"CTEXT", {"Static", 0x1 | WS_GROUP, true}},
        {"ICON", {"Static", 0x3, true}},
        {"GROUPBOX", {"Button", BS_GROUPBOX, true}},
        {"PUSHBUTTON", {"Button", BS_PUSHBUTTON | WS_TABSTOP, true}},
        {"DEFPUSHBUTTON", {"Button", BS_DEFPUSHBUTTON | WS_TABSTOP, true}},
        {"CHECKBOX", {"Button", BS_CHECKBOX | WS_TABSTOP, true}},
        {"AUTOCHECKBOX", {"Button", BS_AUTOCHECKBOX | WS_TABSTOP, true}},
        {"RADIOBUTTON", {"Button", BS_RADIOBUTTON, true}},
        {"AUTORADIOBUTTON", {"Button", BS_AUTORADIOBUTTON, true}},
        {"LISTBOX", {"ListBox", LBS_NOTIFY | WS_BORDER, false}},
        {"EDITTEXT", {"Edit", WS_BORDER | WS_TABSTOP, false}},
        {"COMBOBOX", {"ComboBox", 0x1 | WS_TABSTOP, false}},
    };
    auto it = shapes.find(word);
    if (it == shapes.end()) return std::nullopt;
    return it->second;
  }

  RcControl ParseControl() {
    using namespace rc_style;
    Token statement = Next();
    RcControl control;
    control.statement = Upper(statement.text);
    if (statement.kind != TokenKind::Name) Fail("expected a control statement");

    auto textArgument = [&] {
      Token t = Next();
      if (t.kind == TokenKind::String) return t.text;
      if (t.kind == TokenKind::Number) return std::to_string(t.value);
      if (t.kind == TokenKind::Name) return t.text;
      Fail("expected the control's text");
    };
    // Styles given in the statement are added to its defaults; NOT removes.
    auto styleArgument = [&](DWORD defaults) {
      long long cleared = 0;
      long long given = Expression(&cleared);
      return static_cast<DWORD>((defaults & ~cleared) | given);
    };

    if (control.statement == "CONTROL") {
      control.text = textArgument();
      ExpectComma();
      control.id = Number();
      ExpectComma();
      Token cls = Next();
      if (cls.kind != TokenKind::String && cls.kind != TokenKind::Name) Fail("expected a class");
      control.className = cls.text;
      ExpectComma();
      control.style = styleArgument(WS_CHILD | WS_VISIBLE);
      ExpectComma();
      control.x = Number();
      ExpectComma();
      control.y = Number();
      ExpectComma();
      control.width = Number();
      ExpectComma();
      control.height = Number();
      if (Comma()) control.exStyle = static_cast<DWORD>(Expression());
      return control;
    }
    std::optional<StatementShape> shape = ShapeOf(control.statement);
    if (!shape) Fail("unknown control statement " + statement.text);
    control.className = shape->className;
    DWORD defaults = WS_CHILD | WS_VISIBLE | shape->defaultStyle;
    if (shape->hasText) {
      control.text = textArgument();
      ExpectComma();
    }
    control.id = Number();
    ExpectComma();
    control.x = Number();
    ExpectComma();
    control.y = Number();
    if (control.statement == "ICON") {
      // ICON text, id, x, y [, width, height [, style [, exstyle]]]
      control.style = defaults;
      if (Comma()) {
        control.width = Number();
        ExpectComma();
        control.height = Number();
        if (Comma()) control.style = styleArgument(defaults);
        if (Comma()) control.exStyle = static_cast<DWORD>(Expression());
      }
      return control;
    }
    ExpectComma();
    control.width = Number();
    ExpectComma();
    control.height = Number();
    control.style = defaults;
    if (Comma()) control.style = styleArgument(defaults);
    if (Comma()) control.exStyle = static_cast<DWORD>(Expression());
    return control;
  }

  std::vector<Token> tokens_;
  std::map<std::string, long long> defines_;
  RcScript& script_;
  std::size_t pos_ = 0;
};

}  // namespace

const RcControl* RcDialog::FindControl(int controlId) const {
  for (const RcControl& c : controls) {
    if (c.id == controlId) return &c;
  }
  return nullptr;
}

const RcDialog* RcScript::FindDialog(int id) const {
  for (const RcDialog& d : dialogs) {
    if (d.id == id) return &d;
  }
  return nullptr;
}

const RcIcon* RcScript::FindIcon(int id) const {
  for (const RcIcon& i : icons) {
    if (i.id == id) return &i;
  }
  return nullptr;
}

RcScript ParseRcScript(const std::string& text) {
  RcScript script;
  std::map<std::string, long long> defines;
  std::vector<Token> tokens = Tokenize(text, defines);
  Parser parser(std::move(tokens), std::move(defines), script);
  parser.ParseAll();
  return script;
}

}  // namespace sim
