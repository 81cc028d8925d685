// The operating-system services, all of them: the file and memory services
// the configuration module shares with the installer (files.h, memory.h, C
// library only) and the process services only the installer uses
// (process.h).
#ifndef PLATFORM_PLATFORM_H_
#define PLATFORM_PLATFORM_H_

#include "files.h"
#include "memory.h"
#include "process.h"

#endif  // PLATFORM_PLATFORM_H_
