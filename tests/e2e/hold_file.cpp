// Holds a file open without sharing it, as a running program holds its own
// executable on Windows, until standard input delivers a line or ends. It
// says "held" once the file is open, so a test knows when to go on.
//
//     hold_file PATH
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: hold_file PATH\n");
        return 2;
    }
    // Share mode 0: no other open of the file succeeds while it is held.
    HANDLE handle = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot open %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    printf("held\n");
    fflush(stdout);
    int next;
    do {
        next = getchar();
    } while (next != '\n' && next != EOF);
    CloseHandle(handle);
    return 0;
}
