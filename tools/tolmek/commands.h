// The subcommands of tolmek. Each takes the arguments after its own name
// and returns the process exit code: 0 success, 1 failure of the work
// itself, 2 an input that cannot be used; or usage_error when the arguments
// do not parse, for main to print the command's usage on standard error
// and exit with 2.
#pragma once

constexpr int usage_error = -1;

struct Command {
    const char *name;
    // What follows "usage: tolmek ": the synopsis on the first line, any
    // further lines explain it.
    const char *usage;
    int (*run)(int argc, char **argv);
};

extern const Command decode_command;
extern const Command tags_command;
extern const Command sql_command;
extern const Command text_command;
