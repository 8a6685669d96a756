// The real Windows platform: every service over the real calls, bundled as
// the win::Platform that the program's entry hands to the product code.
#pragma once

#include "platform/platform.h"
#include "platform/win32/win32_kernel.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_security.h"
#include "platform/win32/win32_setup.h"
#include "platform/win32/win32_spooler.h"
#include "platform/win32/win32_user.h"

namespace win32 {

// The service objects, a base of Win32Platform so that they exist before
// the win::Platform references to them are bound.
struct Win32Services {
  Win32Kernel kernelService;
  Win32Registry registryService;
  Win32Security securityService;
  Win32Spooler spoolerService;
  Win32Setup setupService;
  Win32User userService;
};

class Win32Platform : private Win32Services, public win::Platform {
 public:
  // `shared` is the program file's shared section "DataSeg".
  explicit Win32Platform(win::InstanceSection& shared)
      : Win32Services(),
        win::Platform{kernelService, registryService, securityService, spoolerService,
                      setupService,  userService,     shared} {}
};

}  // namespace win32
