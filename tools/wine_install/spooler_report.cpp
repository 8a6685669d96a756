// The spooler's answers read with the plain Windows calls, not through the
// product's platform layer, so that they check that layer's work.
#include "tools/wine_install/spooler_report.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <vector>

namespace {

const char* Text(const char* text) { return text ? text : "(null)"; }

// The size call, then the fill; the records as bytes.
template <typename Enumerate>
std::vector<BYTE> Enumerated(Enumerate enumerate, DWORD* count) {
  DWORD needed = 0;
  *count = 0;
  enumerate(nullptr, 0, &needed, count);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!enumerate(buffer.data(), needed, &needed, count)) {
    std::printf("INFO enumeration failed: %lu\n", GetLastError());
    *count = 0;
  }
  return buffer;
}

}  // namespace

bool RunsUnderWow64() {
  BOOL wow64 = FALSE;
  using IsWow64ProcessCall = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto isWow64Process = reinterpret_cast<IsWow64ProcessCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
  return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

void PrintSpoolerState(const char* environment) {
  DWORD count = 0;
  auto printers = Enumerated(
      [](BYTE* b, DWORD s, DWORD* n, DWORD* c) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, b, s, n, c);
      },
      &count);
  auto* printer = reinterpret_cast<PRINTER_INFO_2A*>(printers.data());
  for (DWORD i = 0; i < count; ++i) {
    std::printf("PRINTER %s|%s|%s|%s|%s|0x%lx\n", Text(printer[i].pPrinterName),
                Text(printer[i].pPortName), Text(printer[i].pDriverName),
                Text(printer[i].pPrintProcessor), Text(printer[i].pDatatype),
                printer[i].Attributes);
  }
  auto drivers = Enumerated(
      [environment](BYTE* b, DWORD s, DWORD* n, DWORD* c) {
        return EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 3, b, s, n, c);
      },
      &count);
  auto* driver = reinterpret_cast<DRIVER_INFO_3A*>(drivers.data());
  for (DWORD i = 0; i < count; ++i) {
    std::printf("DRIVER %s|%lu|%s|%s|%s|%s|%s\n", Text(driver[i].pName), driver[i].cVersion,
                Text(driver[i].pEnvironment), Text(driver[i].pDriverPath),
                Text(driver[i].pDataFile), Text(driver[i].pConfigFile),
                Text(driver[i].pMonitorName));
  }
  auto monitors = Enumerated(
      [](BYTE* b, DWORD s, DWORD* n, DWORD* c) { return EnumMonitorsA(nullptr, 2, b, s, n, c); },
      &count);
  auto* monitor = reinterpret_cast<MONITOR_INFO_2A*>(monitors.data());
  for (DWORD i = 0; i < count; ++i) {
    std::printf("MONITOR %s|%s|%s\n", Text(monitor[i].pName), Text(monitor[i].pEnvironment),
                Text(monitor[i].pDLLName));
  }
  auto processors = Enumerated(
      [environment](BYTE* b, DWORD s, DWORD* n, DWORD* c) {
        return EnumPrintProcessorsA(nullptr, const_cast<char*>(environment), 1, b, s, n, c);
      },
      &count);
  auto* processor = reinterpret_cast<PRINTPROCESSOR_INFO_1A*>(processors.data());
  for (DWORD i = 0; i < count; ++i) std::printf("PROCESSOR %s\n", Text(processor[i].pName));
  std::fflush(stdout);
}

