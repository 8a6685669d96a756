// The setup log: a plain-text file in the Windows Temp folder, started
// afresh at each run and written one time-stamped line per call, each line
// opened, appended and closed on its own so that the log is complete up to
// the last line even when the process ends abruptly.
#pragma once

#include "platform/kernel.h"

class SetupLog {
 public:
  // `fileName` is the program's log file name with its leading backslash,
  // e.g. "\QPR-730_Installer.txt".
  SetupLog(win::Kernel& kernel, const char* fileName) : kernel_(kernel), fileName_(fileName) {}

  // Builds the log path (Windows folder, "\Temp", the file name), makes sure
  // the Temp folder exists and deletes the previous run's log.
  void InitLog();
  // One line: "hh:mm:ss: " and the formatted text, at most 1023 characters
  // in all, then CR LF. A failure to write is silent.
  void WriteLog(const char* format, ...) __attribute__((format(printf, 2, 3)));

  const char* path() const { return path_; }

 private:
  win::Kernel& kernel_;
  const char* fileName_;
  char path_[256] = {};
};

// Bounded copy and concatenation into fixed text buffers: a longer text is
// cut to what fits.
void CopyBounded(char* buffer, std::size_t size, const char* text);
void AppendBounded(char* buffer, std::size_t size, const char* text);
