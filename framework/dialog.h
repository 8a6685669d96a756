// A dialog built from a template of the program, with initialisation, data
// exchange between members and controls, message pre-translation, painting
// and its end, which any thread of the program may ask for.
#pragma once

#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/controls.h"
#include "framework/synced_text.h"

namespace fw {

class Dialog;

// One exchange between a dialog's members and its controls: towards the
// controls (saveAndValidate false) or back into the members.
class DataExchange {
 public:
  DataExchange(Dialog& dialog, bool saveAndValidate)
      : dialog(dialog), saveAndValidate(saveAndValidate) {}
  void Control(int controlId, fw::Control& control);
  void Text(int controlId, std::string& value);
  void Text(int controlId, SyncedText& value);
  // A group of radio buttons, by their ids in group order; `index` is the
  // position of the checked one (-1 for none).
  void Radio(const std::vector<int>& controlIds, int& index);

  Dialog& dialog;
  const bool saveAndValidate;
};

class Dialog : public win::DialogProcedure {
 public:
  Dialog(Application& app, int templateId);
  ~Dialog() override = default;

  // Runs the dialog modally; returns the result it was ended with.
  win::INT_PTR DoModal();
  // Creates the dialog without running it (hidden unless its template says
  // visible), as a child of `parent`; DestroyWindow ends it.
  bool Create(win::HWND parent);
  void DestroyWindow();
  // Ends a modal run; safe from any thread of the program.
  void EndDialog(win::INT_PTR result);
  bool UpdateData(bool saveAndValidate);
  win::HWND hwnd() const { return hwnd_; }

  Application& app;
  win::User& user;

 protected:
  // The standard initialisation: members towards the controls. Returns true
  // to let the first control have the focus.
  virtual bool OnInitDialog();
  virtual void DoDataExchange(DataExchange& exchange) {}
  // The standard OK and Cancel: OK reads the controls back, then ends.
  virtual void OnOK();
  virtual void OnCancel();
  virtual bool OnCommand(int controlId, int notification) { return false; }
  virtual bool OnUserMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam,
                             win::LRESULT* result) {
    return false;
  }
  virtual void OnTimer(win::UINT_PTR timerId) {}
  // False leaves the painting to the standard handling.
  virtual bool OnPaint() { return false; }
  virtual win::HICON OnQueryDragIcon() { return 0; }
  // The painting of a minimised dialog: its icon centred in the client
  // area. Returns false when the dialog is not minimised.
  bool PaintIconWhenMinimised(win::HICON icon);

 public:
  bool HandleMessage(win::HWND dialog, win::UINT message, win::WPARAM wParam,
                     win::LPARAM lParam, win::LRESULT* result) override;
  bool PreTranslateMessage(const win::MSG& message) override { return false; }

 private:
  int templateId_;
  win::HWND hwnd_ = 0;
};

}  // namespace fw
