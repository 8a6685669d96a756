// The platform a program runs on: one object per process holding the
// Windows services it reaches. The program's entry point receives it; the
// real Windows entry wires platform/win32, the simulated one a SimMachine.
#pragma once

#include "platform/kernel.h"
#include "platform/registry.h"
#include "platform/security.h"
#include "platform/setup.h"
#include "platform/shared_section.h"
#include "platform/spooler.h"
#include "platform/user.h"

namespace win {

struct Platform {
  Kernel& kernel;
  Registry& registry;
  Security& security;
  Spooler& spooler;
  SetupApi& setup;
  User& user;
  // The program file's shared data section.
  InstanceSection& shared;
};

}  // namespace win
