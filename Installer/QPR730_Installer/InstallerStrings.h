// The installer's numbering of the product strings.
#pragma once

#include "common/product_profile.h"

namespace ids {
constexpr ProductProfileId kModelName = 1;
constexpr ProductProfileId kDriverName = 2;
constexpr ProductProfileId kMonitorName = 3;
constexpr ProductProfileId kProcessorName = 4;
constexpr ProductProfileId kDriverDll = 5;
constexpr ProductProfileId kMonitorDll = 6;
constexpr ProductProfileId kProcessorDll = 7;
constexpr ProductProfileId kUiDll = 8;
constexpr ProductProfileId kRenderDll = 9;
constexpr ProductProfileId kSecondProcessorFile = 10;
constexpr ProductProfileId kInfFile = 11;
constexpr ProductProfileId kVidPid = 12;
constexpr ProductProfileId kPnpFolder1 = 13;
constexpr ProductProfileId kPnpFolder2 = 14;
constexpr ProductProfileId kUsbPrintKey = 15;
constexpr ProductProfileId kLptEnumKey = 16;
constexpr ProductProfileId kInstallerFile = 17;
constexpr ProductProfileId kUninstallerFile = 18;
constexpr ProductProfileId kUninstallKey = 20;
constexpr ProductProfileId kMajorVersion = 21;
constexpr ProductProfileId kMinorVersion = 22;
constexpr ProductProfileId kBuildNumber = 23;
constexpr ProductProfileId kExtraVersion = 24;
constexpr ProductProfileId kMakerName = 25;
constexpr ProductProfileId kGpdFile = 26;
constexpr ProductProfileId kBudFile = 27;
constexpr ProductProfileId kUiIniFile = 28;
constexpr ProductProfileId kModelTag = 29;
}  // namespace ids
