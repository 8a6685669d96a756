#include "Installer/QPR730_Installer/HVNPOS_Installer.h"

#include "Installer/QPR730_Installer/HVNPOS_InstallerDlg.h"
#include "common/product_profile.h"
#include "common/setup_log.h"
#include "framework/application.h"

namespace {

// The installer's application object.
class InstallerApp : public fw::Application {
 public:
  explicit InstallerApp(win::Platform& platform)
      : fw::Application(platform),
        log(platform.kernel, "\\QPR-730_Installer.txt"),
        profile(platform.kernel) {}

  // Brings the running instance's window to the front: the Port Type
  // dialog, else the progress dialog, else a message box of the program.
  // 0 when a window was found, 1 when none.
  int ActivateRunningInstance() {
    win::User& user = platform.user;
    win::HWND found = 0;
    for (const char* title : platform.shared.titles) {
      if (title[0] == '\0') continue;
      found = user.FindWindowA(nullptr, title);
      if (found != 0) break;
    }
    if (found == 0) return 1;
    win::HWND popup = user.GetLastActivePopup(found);
    if (user.IsIconic(found)) user.ShowWindow(found, win::SW_RESTORE);
    user.SetForegroundWindow(popup);
    return 0;
  }

  SetupLog log;
  ProductProfile profile;

 protected:
  bool InitInstance() override {
    // The counter lives in the program file's shared section: a later
    // instance sees the earlier ones' starts. It is never decremented.
    std::int32_t count = platform.shared.instanceCount + 1;
    platform.shared.instanceCount = count;
    if (count > 1) {
      ActivateRunningInstance();
      return false;
    }
    InstallerDialog dialog(*this, log, profile);
    mainDialog = &dialog;
    dialog.DoModal();
    mainDialog = nullptr;
    return false;
  }
};

}  // namespace

int InstallerMain(win::Platform& platform) {
  InstallerApp app(platform);
  return app.Run();
}
