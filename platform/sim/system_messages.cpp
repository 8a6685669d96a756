#include "platform/sim/system_messages.h"

#include <map>

namespace sim {

std::optional<std::string> SystemMessageText(win::DWORD code) {
  static const std::map<win::DWORD, std::string> texts = {
      {0, "The operation completed successfully."},
      {1, "Incorrect function."},
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {8, "Not enough storage is available to process this command."},
      {13, "The data is invalid."},
      {18, "There are no more files."},
      {32, "The process cannot access the file because it is being used by another process."},
      {50, "The request is not supported."},
      {53, "The network path was not found."},
      {80, "The file exists."},
      {87, "The parameter is incorrect."},
      {120, "This function is not supported on this system."},
      {122, "The data area passed to a system call is too small."},
      {123, "The filename, directory name, or volume label syntax is incorrect."},
      {126, "The specified module could not be found."},
      {127, "The specified procedure could not be found."},
      {145, "The directory is not empty."},
      {183, "Cannot create a file when that file already exists."},
      {234, "More data is available."},
      {259, "No more data is available."},
      {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
      {1300, "Not all privileges or groups referenced are assigned to the caller."},
      {1313, "A specified privilege does not exist."},
      {1314, "A required privilege is not held by the client."},
      {1332, "No mapping between account names and security IDs was done."},
      {1400, "Invalid window handle."},
      {1722, "The RPC server is unavailable."},
      {1796, "The specified port is unknown."},
      {1797, "The printer driver is unknown."},
      {1798, "The print processor is unknown."},
      {1801, "The printer name is invalid."},
      {1802, "The printer already exists."},
      {1805, "The environment specified is invalid."},
      {3000, "The specified print monitor is unknown."},
      {3001, "The specified printer driver is currently in use."},
      {3006, "The specified print monitor has already been installed."},
      {3007, "The specified print monitor does not have the required functions."},
      {3008, "The specified print monitor is currently in use."},
  };
  auto it = texts.find(code);
  if (it == texts.end()) return std::nullopt;
  return it->second + "\r\n";
}

}  // namespace sim
