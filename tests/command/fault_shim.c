/* Faults for the inifile command's tests, preloaded (LD_PRELOAD) into the
 * real executable: the Nth read() or write() on a file (descriptor 3 or
 * above; the standard streams are left alone) fails with EIO, or the
 * process kills itself with SIGKILL at the Nth write, as a power cut or
 * `kill -9` would stop it halfway, or the Nth fsync() fails.
 *
 *   INIFILE_FAIL_READ=N  INIFILE_FAIL_WRITE=N  INIFILE_KILL_AT_WRITE=N  INIFILE_FAIL_FSYNC=N
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/types.h>
#include <unistd.h>

/* The call number at which the fault named `variable` strikes, or 0. */
static long strike_at(const char* variable) {
    const char* value = getenv(variable);
    return value == NULL ? 0 : atol(value);
}

ssize_t read(int descriptor, void* buffer, size_t size) {
    static long calls;
    static ssize_t (*real)(int, void*, size_t);
    if (real == NULL) {
        real = (ssize_t(*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
    }
    if (descriptor > 2 && ++calls == strike_at("INIFILE_FAIL_READ")) {
        errno = EIO;
        return -1;
    }
    return real(descriptor, buffer, size);
}

ssize_t write(int descriptor, const void* buffer, size_t size) {
    static long calls;
    static ssize_t (*real)(int, const void*, size_t);
    if (real == NULL) {
        real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    }
    if (descriptor > 2) {
        ++calls;
        if (calls == strike_at("INIFILE_KILL_AT_WRITE")) {
            /* Half the bytes first: the kill comes in the middle of the text. */
            real(descriptor, buffer, size / 2);
            kill(getpid(), SIGKILL);
        }
        if (calls == strike_at("INIFILE_FAIL_WRITE")) {
            errno = EIO;
            return -1;
        }
    }
    return real(descriptor, buffer, size);
}

int fsync(int descriptor) {
    static long calls;
    static int (*real)(int);
    if (real == NULL) {
        real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    }
    if (++calls == strike_at("INIFILE_FAIL_FSYNC")) {
        errno = EIO;
        return -1;
    }
    return real(descriptor);
}
