#include "platform/sim/sim_setup.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/sim/file_system.h"
#include "platform/sim/inf_file.h"
#include "platform/sim/last_error.h"
#include "platform/sim/registry_store.h"
#include "platform/sim/setup_store.h"
#include "platform/sim/sim_machine.h"

namespace sim {
namespace {

// An open INF file (HINF): the file as it was read when opened.
class InfHandle : public HandleObject {
 public:
  InfHandle(InfFile inf, std::string path) : inf(std::move(inf)), path(std::move(path)) {}
  InfFile inf;
  std::string path;
};

// A device information list (HDEVINFO): the instance paths of its members,
// taken when the list was built.
class DeviceList : public HandleObject {
 public:
  std::vector<std::string> members;
};

constexpr win::DWORD SPOST_URL = 2;
constexpr win::DWORD SPDRP_MAXIMUM_PROPERTY = 0x25;

bool HasPathCharacters(const std::string& name) {
  return name.find_first_of("\\/:") != std::string::npos;
}

bool StartsWithIgnoreCase(const std::string& text, const std::string& start) {
  return text.size() >= start.size() && EqualsIgnoreCase(text.substr(0, start.size()), start);
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FormatGuid(const win::GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

win::GUID ParseGuid(const std::string& text) {
  win::GUID guid{};
  unsigned data1 = 0, data2 = 0, data3 = 0, b[8] = {};
  if (std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &data1, &data2, &data3,
                  &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7]) == 11) {
    guid.Data1 = data1;
    guid.Data2 = static_cast<win::WORD>(data2);
    guid.Data3 = static_cast<win::WORD>(data3);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<win::BYTE>(b[i]);
  }
  return guid;
}

// The registry value behind a device property (SPDRP_*), or null.
const char* PropertyValueName(win::DWORD property) {
  switch (property) {
    case 0x0: return "DeviceDesc";     // SPDRP_DEVICEDESC
    case 0x1: return "HardwareID";     // SPDRP_HARDWAREID
    case 0x2: return "CompatibleIDs";  // SPDRP_COMPATIBLEIDS
    case 0x7: return "Class";          // SPDRP_CLASS
    case 0x8: return "ClassGUID";      // SPDRP_CLASSGUID
    case 0xB: return "Mfg";            // SPDRP_MFG
    default: return nullptr;
  }
}

bool ValidDevInfoSize(const win::SP_DEVINFO_DATA* device) {
  // A 32-bit program passes 28; the native structure of this build is larger.
  return device->cbSize == kDevInfoDataSize32 || device->cbSize == sizeof(win::SP_DEVINFO_DATA);
}

}  // namespace

SetupStore& SimSetup::store() { return *process_.machine.setupStore; }

// ---- The INF store ----

win::BOOL SimSetup::SetupGetInfFileListA(const char* directory, win::DWORD infStyle, char* buffer,
                                         win::DWORD size, win::DWORD* requiredSize) {
  FileSystem& files = *process_.machine.files;
  std::string folder = directory ? files.ResolvePath(process_, directory) : store().InfFolder();
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  // Assumption: a folder that does not exist fails with ERROR_PATH_NOT_FOUND.
  if (folder.empty() || !files.IsDirectory(folder)) return Fail(win::ERROR_PATH_NOT_FOUND);

  // Files of the asked styles; a file the reader refuses is of no style.
  std::string list;
  for (const std::string& name : files.List(folder)) {
    if (name.size() < 4 || !EqualsIgnoreCase(name.substr(name.size() - 4), ".inf")) continue;
    std::optional<std::string> text = files.ReadFile(folder + "\\" + name);
    if (!text) continue;
    std::optional<InfFile> inf = InfFile::Parse(*text, nullptr, nullptr);
    if (inf && (inf->Style() & infStyle)) list.append(name).push_back('\0');
  }
  list.push_back('\0');  // the list's closing NUL (the only one when it is empty)

  const auto required = static_cast<win::DWORD>(list.size());
  if (requiredSize) *requiredSize = required;
  if (buffer) {
    if (size < required) return Fail(win::ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, list.data(), list.size());
  }
  return win::TRUE;
}

std::string SimSetup::InfFilePath(const std::string& fileName) const {
  FileSystem& files = *process_.machine.files;
  if (HasPathCharacters(fileName)) return files.ResolvePath(process_, fileName);
  // A bare name is looked for in the INF folder, then in the system folder.
  const std::string inInfFolder = process_.machine.setupStore->InfPath(fileName);
  const std::string inSystemFolder = process_.machine.os.SystemDirectory() + "\\" + fileName;
  if (!files.Exists(inInfFolder) && files.Exists(inSystemFolder)) return inSystemFolder;
  return inInfFolder;
}

win::HINF SimSetup::SetupOpenInfFileA(const char* fileName, const char* infClass,
                                      win::DWORD infStyle, win::UINT* errorLine) {
  if (!fileName) {
    Fail(win::ERROR_INVALID_PARAMETER);
    return win::INVALID_HANDLE_VALUE;
  }
  FileSystem& files = *process_.machine.files;
  const std::string path = InfFilePath(fileName);
  win::DWORD attributes = 0;
  if (win::DWORD error = files.GetFileAttributes(path, &attributes)) {
    Fail(error);
    return win::INVALID_HANDLE_VALUE;
  }
  std::optional<std::string> text = files.ReadFile(path);
  if (!text) {  // a folder
    Fail(win::ERROR_ACCESS_DENIED);
    return win::INVALID_HANDLE_VALUE;
  }
  win::DWORD error = 0;
  win::UINT line = 0;
  std::optional<InfFile> inf = InfFile::Parse(*text, &error, &line);
  if (!inf) {
    if (errorLine) *errorLine = line;
    Fail(error);
    return win::INVALID_HANDLE_VALUE;
  }
  if (!(inf->Style() & infStyle)) {
    Fail(win::ERROR_WRONG_INF_STYLE);
    return win::INVALID_HANDLE_VALUE;
  }
  if (infClass && !EqualsIgnoreCase(inf->ClassName(), infClass)) {
    Fail(ERROR_CLASS_MISMATCH);
    return win::INVALID_HANDLE_VALUE;
  }
  return process_.handles.Add(std::make_shared<InfHandle>(std::move(*inf), path));
}

void SimSetup::SetupCloseInfFile(win::HINF inf) {
  if (process_.handles.Get<InfHandle>(inf)) process_.handles.Close(inf);
}

win::BOOL SimSetup::SetupFindFirstLineA(win::HINF inf, const char* section, const char* key,
                                        win::INFCONTEXT* context) {
  auto open = process_.handles.Get<InfHandle>(inf);
  if (!open) return Fail(win::ERROR_INVALID_HANDLE);
  if (!section || !context) return Fail(win::ERROR_INVALID_PARAMETER);
  // Assumption: a missing section is reported as a missing line.
  const int sectionIndex = open->inf.FindSection(section);
  const int lineIndex = open->inf.FindLine(sectionIndex, key);
  if (lineIndex < 0) return Fail(win::ERROR_LINE_NOT_FOUND);
  context->Inf = inf;
  context->CurrentInf = inf;
  context->Section = static_cast<win::UINT>(sectionIndex);
  context->Line = static_cast<win::UINT>(lineIndex);
  SetLastError(win::ERROR_SUCCESS);
  return win::TRUE;
}

win::BOOL SimSetup::SetupCopyOEMInfA(const char* sourceInfFileName, const char* mediaLocation,
                                     win::DWORD mediaType, win::DWORD copyStyle, char* destination,
                                     win::DWORD destinationSize, win::DWORD* requiredSize,
                                     char** destinationFilePart) {
  if (!sourceInfFileName || mediaType > SPOST_URL) return Fail(win::ERROR_INVALID_PARAMETER);
  FileSystem& files = *process_.machine.files;
  // A relative source path is taken against the current folder.
  const std::string source = files.ResolvePath(process_, sourceInfFileName);
  win::DWORD attributes = 0;
  if (win::DWORD error = files.GetFileAttributes(source, &attributes)) return Fail(error);
  std::optional<std::string> text = files.ReadFile(source);
  if (!text) return Fail(win::ERROR_ACCESS_DENIED);
  win::DWORD parseError = 0;
  if (!InfFile::Parse(*text, &parseError, nullptr)) return Fail(parseError);

  // Where the PNF says the INF came from.
  std::string sourceLocation;
  if (mediaType == win::SPOST_PATH) sourceLocation = mediaLocation ? mediaLocation : FolderOf(source);
  if (mediaType == SPOST_URL && mediaLocation) sourceLocation = mediaLocation;

  // An INF already in the store (same bytes) keeps its oem<N>.inf name.
  std::string name = store().FindOemCopy(*text);
  win::DWORD error = 0;
  if (!name.empty()) {
    if (copyStyle & win::SP_COPY_NOOVERWRITE) {
      error = win::ERROR_FILE_EXISTS;
    } else {
      store().PutInf(name, *text, sourceLocation);
    }
  } else if (copyStyle & win::SP_COPY_REPLACEONLY) {
    // Assumption: nothing to replace is reported as a missing file.
    return Fail(win::ERROR_FILE_NOT_FOUND);
  } else {
    name = store().NextOemName();
    store().PutInf(name, *text, sourceLocation);
  }
  if (!error && (copyStyle & SP_COPY_DELETESOURCE)) files.DeleteFile(source);

  // The name of the store's copy, also when the copy was refused as existing.
  const std::string copyPath = store().InfPath(name);
  const auto required = static_cast<win::DWORD>(copyPath.size() + 1);
  if (requiredSize) *requiredSize = required;
  if (destination) {
    // Assumption: the copy is made even when its name does not fit.
    if (destinationSize < required) return Fail(win::ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(destination, copyPath.c_str(), required);
    if (destinationFilePart) destinationFilePart[0] = destination + copyPath.rfind('\\') + 1;
  }
  if (error) return Fail(error);
  return win::TRUE;
}

win::BOOL SimSetup::CallSetupUninstallOEMInfA(win::FARPROC setupUninstallOEMInfA,
                                              const char* infFileName, win::DWORD flags,
                                              void* reserved) {
  // Assumption: calling through a function that was not found is reported,
  // not a crash of the simulation.
  if (!setupUninstallOEMInfA) return Fail(win::ERROR_INVALID_FUNCTION);
  if (!infFileName || reserved) return Fail(win::ERROR_INVALID_PARAMETER);
  const std::string name = infFileName;
  // Assumption: only the OEM copies of the store can be uninstalled; a path
  // or another name is refused as a bad parameter.
  if (HasPathCharacters(name) || !StartsWithIgnoreCase(name, "oem")) {
    return Fail(win::ERROR_INVALID_PARAMETER);
  }
  FileSystem& files = *process_.machine.files;
  const std::string path = store().InfPath(name);
  if (!files.Exists(path)) return Fail(win::ERROR_FILE_NOT_FOUND);
  // A device uses the INF when its node names it, plugged in or not.
  if (!(flags & win::SUIOIF_FORCE_DELETE) && store().InfUsedByDevice(name)) {
    return Fail(win::ERROR_INF_IN_USE_BY_DEVICES);
  }
  if (win::DWORD error = files.DeleteFile(path)) return Fail(error);
  const std::size_t dot = path.rfind('.');
  files.DeleteFile(path.substr(0, dot) + ".PNF");
  return win::TRUE;
}

// ---- Device nodes ----

win::HDEVINFO SimSetup::SetupDiGetClassDevsA(const win::GUID* classGuid, const char* enumerator,
                                             win::HWND parent, win::DWORD flags) {
  // Assumption: device interface lists are not modelled (no program asks).
  if ((flags & DIGCF_DEVICEINTERFACE) || (!classGuid && !(flags & win::DIGCF_ALLCLASSES))) {
    Fail(win::ERROR_INVALID_PARAMETER);
    return win::INVALID_HANDLE_VALUE;
  }
  std::vector<std::string> enumerators;
  if (enumerator) {
    // Assumption: an enumerator without a key under Enum fails with
    // ERROR_INVALID_DATA.
    if (!store().HasEnumerator(enumerator)) {
      Fail(win::ERROR_INVALID_DATA);
      return win::INVALID_HANDLE_VALUE;
    }
    enumerators.push_back(enumerator);
  } else {
    enumerators = process_.machine.registry->SubKeyNames(SetupStore::EnumKey());
  }
  auto list = std::make_shared<DeviceList>();
  const std::string wantedClass = classGuid ? FormatGuid(*classGuid) : "";
  for (const std::string& bus : enumerators) {
    for (const std::string& instance : store().DevicesOf(bus)) {
      if ((flags & win::DIGCF_PRESENT) && !store().IsPresent(instance)) continue;
      if (!(flags & win::DIGCF_ALLCLASSES) &&
          !EqualsIgnoreCase(store().ReadDevice(instance).classGuid, wantedClass)) {
        continue;
      }
      list->members.push_back(instance);
    }
  }
  return process_.handles.Add(list);
}

win::BOOL SimSetup::SetupDiEnumDeviceInfo(win::HDEVINFO list, win::DWORD memberIndex,
                                          win::SP_DEVINFO_DATA* device) {
  auto devices = process_.handles.Get<DeviceList>(list);
  if (!devices) return Fail(win::ERROR_INVALID_HANDLE);
  if (!device || !ValidDevInfoSize(device)) return Fail(ERROR_INVALID_USER_BUFFER);
  if (memberIndex >= devices->members.size()) return Fail(win::ERROR_NO_MORE_ITEMS);
  const std::string& instance = devices->members[memberIndex];
  device->ClassGuid = ParseGuid(store().ReadDevice(instance).classGuid);
  device->DevInst = memberIndex + 1;   // the device node's handle
  device->Reserved = memberIndex + 1;  // which member of the list this is
  return win::TRUE;
}

std::string SimSetup::MemberOf(win::HDEVINFO list, const win::SP_DEVINFO_DATA* device) {
  auto devices = process_.handles.Get<DeviceList>(list);
  if (!devices) {
    Fail(win::ERROR_INVALID_HANDLE);
    return {};
  }
  if (!device || !ValidDevInfoSize(device) || device->Reserved == 0 ||
      device->Reserved > devices->members.size()) {
    Fail(win::ERROR_INVALID_PARAMETER);
    return {};
  }
  return devices->members[device->Reserved - 1];
}

win::BOOL SimSetup::SetupDiGetDeviceRegistryPropertyA(win::HDEVINFO list,
                                                      win::SP_DEVINFO_DATA* device,
                                                      win::DWORD property, win::DWORD* dataType,
                                                      win::BYTE* buffer, win::DWORD size,
                                                      win::DWORD* requiredSize) {
  const std::string instance = MemberOf(list, device);
  if (instance.empty()) return win::FALSE;
  if (property >= SPDRP_MAXIMUM_PROPERTY) return Fail(ERROR_INVALID_REG_PROPERTY);
  // Assumption: a member whose node was removed since the list was built
  // has no properties any more.
  if (!store().DeviceExists(instance)) return Fail(ERROR_NO_SUCH_DEVINST);
  const char* valueName = PropertyValueName(property);
  auto key = process_.machine.registry->Find(SetupStore::EnumKey() + "\\" + instance);
  const RegistryValue* value = valueName && key ? key->FindValue(valueName) : nullptr;
  if (!value) return Fail(win::ERROR_INVALID_DATA);  // the device lacks that property
  const auto required = static_cast<win::DWORD>(value->data.size());
  if (requiredSize) *requiredSize = required;
  if (dataType) *dataType = value->type;
  if (!buffer || size < required) return Fail(win::ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(buffer, value->data.data(), value->data.size());
  return win::TRUE;
}

win::BOOL SimSetup::SetupDiRemoveDevice(win::HDEVINFO list, win::SP_DEVINFO_DATA* device) {
  const std::string instance = MemberOf(list, device);
  if (instance.empty()) return win::FALSE;
  if (!store().RemoveDevice(instance)) return Fail(ERROR_NO_SUCH_DEVINST);
  return win::TRUE;
}

win::BOOL SimSetup::SetupDiDestroyDeviceInfoList(win::HDEVINFO list) {
  if (!process_.handles.Get<DeviceList>(list)) return Fail(win::ERROR_INVALID_HANDLE);
  process_.handles.Close(list);
  return win::TRUE;
}

}  // namespace sim
