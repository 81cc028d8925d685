// The operating-system services, both halves: the file services the
// configuration module shares with the installer (files.h, C library only)
// and the process services only the installer uses (process.h).
#ifndef PLATFORM_PLATFORM_H_
#define PLATFORM_PLATFORM_H_

#include "files.h"
#include "process.h"

#endif  // PLATFORM_PLATFORM_H_
