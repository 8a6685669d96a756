#include "framework/dialog.h"

namespace fw {

void DataExchange::Control(int controlId, fw::Control& control) {
  if (control.hwnd() == 0) control.Attach(dialog.user.GetDlgItem(dialog.hwnd(), controlId));
}

void DataExchange::Text(int controlId, std::string& value) {
  win::HWND control = dialog.user.GetDlgItem(dialog.hwnd(), controlId);
  if (saveAndValidate) {
    char text[1024] = {};
    dialog.user.GetWindowTextA(control, text, sizeof text);
    value = text;
  } else {
    dialog.user.SetWindowTextA(control, value.c_str());
  }
}

void DataExchange::Text(int controlId, SyncedText& value) {
  if (saveAndValidate) {
    std::string text;
    Text(controlId, text);
    value = text;
  } else {
    std::string text = value.Get();
    Text(controlId, text);
  }
}

void DataExchange::Radio(const std::vector<int>& controlIds, int& index) {
  for (std::size_t i = 0; i < controlIds.size(); ++i) {
    win::HWND button = dialog.user.GetDlgItem(dialog.hwnd(), controlIds[i]);
    if (saveAndValidate) {
      if (dialog.user.SendMessageA(button, win::BM_GETCHECK, 0, 0) == win::BST_CHECKED) {
        index = static_cast<int>(i);
        return;
      }
    } else {
      dialog.user.SendMessageA(button, win::BM_SETCHECK,
                               static_cast<int>(i) == index ? win::BST_CHECKED : win::BST_UNCHECKED,
                               0);
    }
  }
  if (saveAndValidate) index = -1;
}

Dialog::Dialog(Application& app, int templateId)
    : app(app), user(app.platform.user), templateId_(templateId) {}

win::INT_PTR Dialog::DoModal() { return user.RunModalDialog(templateId_, 0, *this); }

bool Dialog::Create(win::HWND parent) {
  return user.CreateDialogParamA(templateId_, parent, *this) != 0;
}

void Dialog::DestroyWindow() {
  if (hwnd_ != 0) user.DestroyWindow(hwnd_);
  hwnd_ = 0;
}

void Dialog::EndDialog(win::INT_PTR result) { user.EndDialog(hwnd_, result); }

bool Dialog::UpdateData(bool saveAndValidate) {
  DataExchange exchange(*this, saveAndValidate);
  DoDataExchange(exchange);
  return true;
}

bool Dialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void Dialog::OnOK() {
  UpdateData(true);
  EndDialog(win::IDOK);
}

void Dialog::OnCancel() { EndDialog(win::IDCANCEL); }

bool Dialog::PaintIconWhenMinimised(win::HICON icon) {
  if (!user.IsIconic(hwnd_)) return false;
  win::PAINTSTRUCT paint{};
  win::HDC dc = user.BeginPaint(hwnd_, &paint);
  user.SendMessageA(hwnd_, win::WM_ICONERASEBKGND, static_cast<win::WPARAM>(dc), 0);
  int iconWidth = user.GetSystemMetrics(win::SM_CXICON);
  int iconHeight = user.GetSystemMetrics(win::SM_CYICON);
  win::RECT client{};
  user.GetClientRect(hwnd_, &client);
  int x = (client.right - client.left - iconWidth + 1) / 2;
  int y = (client.bottom - client.top - iconHeight + 1) / 2;
  user.DrawIcon(dc, x, y, icon);
  user.EndPaint(hwnd_, &paint);
  return true;
}

bool Dialog::HandleMessage(win::HWND dialog, win::UINT message, win::WPARAM wParam,
                           win::LPARAM lParam, win::LRESULT* result) {
  switch (message) {
    case win::WM_INITDIALOG:
      hwnd_ = dialog;
      *result = OnInitDialog() ? win::TRUE : win::FALSE;
      return true;
    case win::WM_COMMAND: {
      int id = static_cast<int>(wParam & 0xFFFF);
      int notification = static_cast<int>((wParam >> 16) & 0xFFFF);
      if (OnCommand(id, notification)) return true;
      if (notification != win::BN_CLICKED) return false;
      if (id == win::IDOK) {
        OnOK();
        return true;
      }
      if (id == win::IDCANCEL) {
        OnCancel();
        return true;
      }
      return false;
    }
    case win::WM_TIMER:
      OnTimer(wParam);
      return false;  // the standard handling goes on
    case win::WM_PAINT:
      return OnPaint();
    case win::WM_QUERYDRAGICON:
      *result = static_cast<win::LRESULT>(OnQueryDragIcon());
      return *result != 0;
    default:
      if (message >= win::WM_USER) return OnUserMessage(message, wParam, lParam, result);
      return false;
  }
}

}  // namespace fw
