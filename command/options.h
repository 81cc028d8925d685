// The inifile command's command line: its options, before or after the
// command's name, as "--name=value" or "--name value", and the command with
// its arguments.
#ifndef COMMAND_OPTIONS_H_
#define COMMAND_OPTIONS_H_

#include <cstdint>

#include "formats.h"
#include "inifile/ini.h"
#include "streams.h"
#include "typed.h"

// What the options say.
struct Options {
    IniDialect dialect = INI_DIALECT_COMMON;
    long wait_ms = 10 * 1000;
    uint32_t read_flags = 0;  // INI_IGNORE_CASE, INI_INLINE_COMMENTS, INI_ALLOW_NO_VALUE
    bool has_format = false;
    Format format = Format::kIni;
    bool has_type = false;
    ValueType type = ValueType::kInteger;
    bool verbose = false;
    bool existing = false;
    bool all = false;
    bool in_place = false;
    bool uncomment = false;
    bool list_add = false;
    bool list_del = false;
    char list_separator = ',';
    bool dry_run = false;
    bool diff = false;
};

// The commands, each a bit: which of them an option is for.
enum CommandBit : unsigned {
    kGet = 1,
    kSet = 2,
    kDel = 4,
    kAdd = 8,
    kMerge = 16,
    kSections = 32,
    kKeys = 64,
    kCheck = 128,
    kEdits = kSet | kDel | kAdd | kMerge,
    kAny = 255
};

// One command: its name and bit, how many arguments it takes, and what runs it.
struct Command {
    const char* name;
    unsigned bit;
    int fewest;
    int most;  // -1: any number
    int (*run)(const Options& options, int count, char** arguments, Output* out);
};

// Reads the command line into `options`: the options up to the first
// argument after the command's name (or "--"), then that command and its
// arguments (`*command`, `*first`). Returns -1 where the command is to run;
// otherwise the exit status to end with, after printing the usage, the
// version, or what is wrong on standard error.
int read_command_line(int argc, char** argv, const Command* commands, int command_count,
                      Options* options, const Command** command, int* first, Output* out);

#endif  // COMMAND_OPTIONS_H_
