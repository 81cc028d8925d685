// The one question the installer asks: minimal start-up or not.
#include <cstdio>
#include <cstring>

#include "installer.h"
#include "messages.h"

// `c` in lower case when it is an ASCII capital; any other byte unchanged.
static char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII letters compared without case, as the Windows runtime's _stricmp does.
static bool equals_ignoring_case(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (ascii_lower(*a) != ascii_lower(*b)) {
            return false;
        }
    }
    return *a == *b;
}

bool ask_minimal_boot(bool* minimal_boot) {
    *minimal_boot = false;
    print_output("%s", kQuestion);

    char answer[kAnswerBufferSize];
    if (fgets(answer, sizeof answer, stdin) == nullptr) {
        print_error("%s", kNoAnswer);
        return false;
    }
    if (char* line_feed = strchr(answer, '\n')) {
        *line_feed = '\0';
    } else {
        // The rest of a long line is nobody's answer: consume it.
        int next;
        do {
            next = getchar();
        } while (next != '\n' && next != EOF);
    }
    if (char* carriage_return = strchr(answer, '\r')) {
        *carriage_return = '\0';
    }
    for (const char* yes : kYesAnswers) {
        if (equals_ignoring_case(answer, yes)) {
            *minimal_boot = true;
        }
    }
    return true;
}
