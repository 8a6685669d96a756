#include "framework/application.h"

#include "framework/dialog.h"

namespace fw {

namespace {

// "C:\pkg\QPR730_Installer.exe" -> "QPR730_Installer".
std::string ProgramName(win::Kernel& kernel) {
  char path[win::MAX_PATH] = {};
  kernel.GetModuleFileNameA(0, path, sizeof path);
  std::string name = path;
  std::string::size_type slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  std::string::size_type dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

}  // namespace

Application::Application(win::Platform& platform)
    : platform(platform), name(ProgramName(platform.kernel)) {}

int Application::Run() {
  InitInstance();
  return exitCode;
}

win::HWND Application::MainWindow() const { return mainDialog ? mainDialog->hwnd() : 0; }

int Application::MessageBox(const std::string& text, win::UINT type) {
  return platform.user.MessageBoxA(MainWindow(), text.c_str(), name.c_str(), type);
}

}  // namespace fw
