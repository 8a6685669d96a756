// A failed copy onto a file that Windows holds (a library the spooler has
// loaded, a running program): the held file is moved aside under its name
// with ".old" appended and the copy is made again.
#include "Installer/QPR730_Installer/DriverInstaller.h"

bool DriverInstaller::HandleCopyFileError(std::string source, std::string destination,
                                          win::DWORD error) {
  win::Kernel& kernel = app_.platform.kernel;
  if (error != win::ERROR_ACCESS_DENIED && error != win::ERROR_SHARING_VIOLATION) {
    log_.WriteLog("COPYFILE ERROR, SRC : %s ", source.c_str());
    log_.WriteLog("ERROR CODE : %d ", static_cast<int>(error));
    log_.WriteLog("COPYFILE ERROR, DES : %s ", destination.c_str());
    return false;
  }
  const std::string oldName = destination + ".old";
  log_.WriteLog(error == win::ERROR_ACCESS_DENIED ? "ERROR_ACCESS_DENIED HANDLER"
                                                  : "ERROR_SHARING_VIOLATION HANDLER");
  // A stale copy from an earlier replacement goes first.
  if (kernel.GetFileAttributesA(oldName.c_str()) != win::INVALID_FILE_ATTRIBUTES) {
    kernel.DeleteFileA(oldName.c_str());
  }
  if (kernel.GetFileAttributesA(destination.c_str()) != win::INVALID_FILE_ATTRIBUTES) {
    kernel.MoveFileA(destination.c_str(), oldName.c_str());
    log_.WriteLog("strDest : %s", destination.c_str());
    log_.WriteLog("strDestWithOldExt : %s", oldName.c_str());
  }
  if (!kernel.CopyFileA(source.c_str(), destination.c_str(), win::FALSE)) {
    log_.WriteLog("CopyFile Error : %s ", source.c_str());
    log_.WriteLog("Error Code : (%d) ", static_cast<int>(kernel.GetLastError()));
    log_.WriteLog("CopyFile Error : %s ", destination.c_str());
  }
  return true;
}
