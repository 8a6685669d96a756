// winprobe: a small Windows console helper for the Wine tests. It runs the
// steps given on its command line in order (so that one start serves a whole
// check: a program start is slow under emulation) and prints one plain line
// per finding for the shell tests to read:
//
//   wait TITLE SECONDS        wait for a top-level window with that title
//   box CAPTION SECONDS       wait for a message box with that caption
//   texts TITLE               print the id, class and text of its controls
//   click TITLE ID            press the button ID of that window
//   move TITLE X Y            move that window
//   gone TITLE SECONDS        wait until no window has that title
//   sleep MILLISECONDS
//   version                   what GetVersionExA and IsWow64Process answer
//   run SECONDS DIR CMDLINE   start a program in DIR, wait, print its exit code
//
// Output lines: "FOUND <title> visible=<0|1>", "TEXT <id> <class> <text>",
// "CLICKED", "MOVED", "GONE", "VERSION ...", "EXIT <code>",
// and "FAIL <step>: <reason>" (the exit status is then 1).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const kMessageBoxClass = "#32770";

HWND WaitForWindow(const char* className, const std::string& title, int seconds) {
  for (int waited = 0; waited <= seconds * 10; ++waited) {
    HWND window = FindWindowA(className, title.c_str());
    if (window != nullptr) return window;
    Sleep(100);
  }
  return nullptr;
}

std::string TextOf(HWND window) {
  char text[1024] = {};
  DWORD_PTR length = 0;
  // A hung target must not hang the probe.
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, &length);
  std::string result = text;
  for (char& c : result) {
    if (c == '\r' || c == '\n') c = '|';  // one line per control
  }
  return result;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  char className[64] = {};
  GetClassNameA(child, className, sizeof className);
  std::printf("TEXT %d %s %s\n", GetDlgCtrlID(child), className, TextOf(child).c_str());
  return TRUE;
}

void PrintVersion() {
  OSVERSIONINFOEXA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
  using IsWow64ProcessCall = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto isWow64Process = reinterpret_cast<IsWow64ProcessCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  if (isWow64Process != nullptr) isWow64Process(GetCurrentProcess(), &wow64);
  std::printf("VERSION platform=%lu major=%lu minor=%lu build=%lu product=%u wow64=%d bits=%u\n",
              version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion,
              version.dwBuildNumber, version.wProductType, wow64 ? 1 : 0,
              static_cast<unsigned>(sizeof(void*) * 8));
}

bool Run(int seconds, const std::string& directory, std::string commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.c_str(), &startup, &process)) {
    std::printf("FAIL run: CreateProcess error %lu\n", GetLastError());
    return false;
  }
  DWORD waited = WaitForSingleObject(process.hProcess, static_cast<DWORD>(seconds) * 1000);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (waited != WAIT_OBJECT_0) {
    std::printf("FAIL run: still running after %d s\n", seconds);
    return false;
  }
  std::printf("EXIT %ld\n", static_cast<long>(exitCode));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool allPassed = true;
  std::size_t at = 0;
  auto need = [&](std::size_t count) {
    if (at + count > args.size()) {
      std::printf("FAIL %s: needs %zu arguments\n", args[at - 1].c_str(), count);
      std::exit(2);
    }
  };
  while (at < args.size()) {
    const std::string step = args[at++];
    if (step == "wait" || step == "box") {
      need(2);
      const std::string title = args[at];
      int seconds = std::atoi(args[at + 1].c_str());
      at += 2;
      HWND window = WaitForWindow(step == "box" ? kMessageBoxClass : nullptr, title, seconds);
      if (window == nullptr) {
        std::printf("FAIL %s: no window \"%s\" within %d s\n", step.c_str(), title.c_str(),
                    seconds);
        allPassed = false;
      } else {
        std::printf("FOUND %s visible=%d\n", title.c_str(), IsWindowVisible(window) ? 1 : 0);
      }
    } else if (step == "texts") {
      need(1);
      HWND window = FindWindowA(nullptr, args[at].c_str());
      if (window == nullptr) window = FindWindowA(kMessageBoxClass, args[at].c_str());
      if (window == nullptr) {
        std::printf("FAIL texts: no window \"%s\"\n", args[at].c_str());
        allPassed = false;
      } else {
        EnumChildWindows(window, PrintChild, 0);
      }
      at += 1;
    } else if (step == "click") {
      need(2);
      HWND window = FindWindowA(nullptr, args[at].c_str());
      int id = std::atoi(args[at + 1].c_str());
      HWND button = window != nullptr ? GetDlgItem(window, id) : nullptr;
      if (button == nullptr) {
        std::printf("FAIL click: no button %d in \"%s\"\n", id, args[at].c_str());
        allPassed = false;
      } else {
        // The command a click of the button sends to its dialog.
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
        std::printf("CLICKED\n");
      }
      at += 2;
    } else if (step == "move") {
      need(3);
      HWND window = FindWindowA(nullptr, args[at].c_str());
      if (window == nullptr ||
          !SetWindowPos(window, nullptr, std::atoi(args[at + 1].c_str()),
                        std::atoi(args[at + 2].c_str()), 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
        std::printf("FAIL move: \"%s\"\n", args[at].c_str());
        allPassed = false;
      } else {
        std::printf("MOVED\n");
      }
      at += 3;
    } else if (step == "gone") {
      need(2);
      int seconds = std::atoi(args[at + 1].c_str());
      bool gone = false;
      for (int waited = 0; waited <= seconds * 10 && !gone; ++waited) {
        gone = FindWindowA(nullptr, args[at].c_str()) == nullptr;
        if (!gone) Sleep(100);
      }
      if (gone) {
        std::printf("GONE\n");
      } else {
        std::printf("FAIL gone: \"%s\" still there after %d s\n", args[at].c_str(), seconds);
        allPassed = false;
      }
      at += 2;
    } else if (step == "sleep") {
      need(1);
      Sleep(static_cast<DWORD>(std::atoi(args[at].c_str())));
      at += 1;
    } else if (step == "version") {
      PrintVersion();
    } else if (step == "run") {
      need(3);
      if (!Run(std::atoi(args[at].c_str()), args[at + 1], args[at + 2])) allPassed = false;
      at += 3;
    } else {
      std::printf("FAIL unknown step \"%s\"\n", step.c_str());
      return 2;
    }
    std::fflush(stdout);
  }
  return allPassed ? 0 : 1;
}
