// The application object of a dialog-based program: its name, its main
// window and its message boxes.
#pragma once

#include <string>

#include "platform/platform.h"

namespace fw {

class Dialog;

class Application {
 public:
  explicit Application(win::Platform& platform);
  virtual ~Application() = default;

  // Runs the program: the instance initialisation decides everything; a
  // dialog-based program returns false from it and ends without a message
  // loop of its own. Returns the process exit status.
  int Run();

  // Message box owned by the main window, captioned with the program's name.
  int MessageBox(const std::string& text, win::UINT type);

  // The application's main window: its dialog's window once created.
  win::HWND MainWindow() const;

  win::Platform& platform;
  // The program's name: its file name without folder and extension.
  std::string name;
  Dialog* mainDialog = nullptr;
  // The process exit status that Run returns when the program ends normally.
  int exitCode = 0;

 protected:
  virtual bool InitInstance() = 0;
};

}  // namespace fw
