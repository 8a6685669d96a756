// Print spooler services (winspool), always on the local machine.
//
// Enumerations hand back vectors of records instead of a caller's buffer:
// nothing the programs do depends on the buffer sizes. Text fields of
// records are strings; an empty string stands for a NULL pointer.
#pragma once

#include <string>
#include <vector>

#include "platform/win_constants.h"
#include "platform/win_types.h"

namespace win {

constexpr DWORD PRINTER_ENUM_LOCAL = 0x2;
constexpr ACCESS_MASK PRINTER_ALL_ACCESS = 0xF000C;
constexpr ACCESS_MASK SERVER_ALL_ACCESS = 0xF0003;
constexpr DWORD PRINTER_ATTRIBUTE_ENABLE_BIDI = 0x800;
constexpr DWORD PRINTER_ATTRIBUTE_RAW_ONLY = 0x1000;
constexpr DWORD PRINTER_STATUS_OFFLINE = 0x80;
constexpr DWORD JOB_CONTROL_CANCEL = 3;
constexpr DWORD JOB_CONTROL_DELETE = 5;
constexpr DWORD DPD_DELETE_UNUSED_FILES = 0x1;
constexpr DWORD DPD_DELETE_SPECIFIC_VERSION = 0x2;
constexpr DWORD DPD_DELETE_ALL_FILES = 0x4;

struct PRINTER_DEFAULTSA {
  const char* pDatatype;
  void* pDevMode;
  ACCESS_MASK DesiredAccess;
};

struct PRINTER_INFO_2 {
  std::string pServerName;
  std::string pPrinterName;
  std::string pShareName;
  std::string pPortName;
  std::string pDriverName;
  std::string pComment;
  std::string pLocation;
  std::string pSepFile;
  std::string pPrintProcessor;
  std::string pDatatype;
  std::string pParameters;
  DWORD Attributes = 0;
  DWORD Priority = 0;
  DWORD DefaultPriority = 0;
  DWORD StartTime = 0;
  DWORD UntilTime = 0;
  DWORD Status = 0;
  DWORD cJobs = 0;
  DWORD AveragePPM = 0;
};

struct DRIVER_INFO_3 {
  DWORD cVersion = 0;
  std::string pName;
  std::string pEnvironment;
  std::string pDriverPath;
  std::string pDataFile;
  std::string pConfigFile;
  std::string pHelpFile;
  std::vector<std::string> pDependentFiles;  // the multi-string, one entry per name
  std::string pMonitorName;
  std::string pDefaultDataType;
};

struct MONITOR_INFO_2 {
  std::string pName;
  std::string pEnvironment;
  std::string pDLLName;
};

struct PRINTPROCESSOR_INFO_1 {
  std::string pName;
};

struct FORM_INFO_1 {
  DWORD Flags = 0;
  std::string pName;
  LONG width = 0;   // Size.cx, thousandths of a millimetre
  LONG height = 0;  // Size.cy
};

struct JOB_INFO_3 {
  DWORD JobId = 0;
  DWORD NextJobId = 0;
};

class Spooler {
 public:
  virtual ~Spooler() = default;

  virtual BOOL EnumPrintersA(DWORD flags, const char* name, DWORD level,
                             std::vector<PRINTER_INFO_2>* printers) = 0;
  virtual BOOL OpenPrinterA(const char* printerName, HANDLE* printer,
                            const PRINTER_DEFAULTSA* defaults) = 0;
  virtual BOOL ClosePrinter(HANDLE printer) = 0;
  // Returns ERROR_SUCCESS or the error code (and sets it as last error).
  virtual DWORD GetPrinterDataA(HANDLE printer, const char* valueName, DWORD* type, BYTE* data,
                                DWORD size, DWORD* needed) = 0;
  virtual BOOL EnumJobsA(HANDLE printer, DWORD firstJob, DWORD jobCount, DWORD level,
                         std::vector<JOB_INFO_3>* jobs) = 0;
  virtual BOOL SetJobA(HANDLE printer, DWORD jobId, DWORD level, const void* job,
                       DWORD command) = 0;
  virtual BOOL DeletePrinter(HANDLE printer) = 0;
  virtual BOOL EnumFormsA(HANDLE printer, DWORD level, std::vector<FORM_INFO_1>* forms) = 0;
  virtual BOOL DeleteFormA(HANDLE printer, const char* formName) = 0;
  virtual BOOL EnumPrinterDriversA(const char* server, const char* environment, DWORD level,
                                   std::vector<DRIVER_INFO_3>* drivers) = 0;
  virtual BOOL EnumPrintProcessorsA(const char* server, const char* environment, DWORD level,
                                    std::vector<PRINTPROCESSOR_INFO_1>* processors) = 0;
  virtual BOOL AddMonitorA(const char* server, DWORD level, const MONITOR_INFO_2* monitor) = 0;
  virtual BOOL AddPrintProcessorA(const char* server, const char* environment,
                                  const char* pathName, const char* processorName) = 0;
  virtual BOOL AddPrinterDriverA(const char* server, DWORD level, const DRIVER_INFO_3* driver) = 0;
  virtual HANDLE AddPrinterA(const char* server, DWORD level, const PRINTER_INFO_2* printer) = 0;
  virtual BOOL DeletePrinterDriverExA(const char* server, const char* environment,
                                      const char* driverName, DWORD deleteFlag,
                                      DWORD versionFlag) = 0;
  virtual BOOL DeleteMonitorA(const char* server, const char* environment,
                              const char* monitorName) = 0;
  virtual BOOL DeletePrintProcessorA(const char* server, const char* environment,
                                     const char* processorName) = 0;
  virtual BOOL GetPrinterDriverDirectoryA(const char* server, const char* environment,
                                          DWORD level, char* buffer, DWORD size,
                                          DWORD* needed) = 0;
  virtual BOOL GetPrintProcessorDirectoryA(const char* server, const char* environment,
                                           DWORD level, char* buffer, DWORD size,
                                           DWORD* needed) = 0;
};

}  // namespace win
