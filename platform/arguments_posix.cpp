// The program's arguments on POSIX: the bytes it was given, UTF-8 or not.
#include "files.h"

void platform_utf8_arguments(int*, char***) {}
