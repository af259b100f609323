// tolmek: the device libraries from the command line, over the reference
// host, for host developers and demonstrations.
#include <stdio.h>
#include <string.h>

#include "commands.h"

namespace {

struct Command {
    const char *name;
    int (*run)(int argc, char **argv);
    const char *usage;
};

constexpr Command commands[] = {
    {"decode", command_decode,
     "decode FILE -o OUT.wav [--rate HZ] [--channels N] [--read-size BYTES]"},
    {"tags", command_tags, "tags FILE [--native-encoding NAME]"},
    {"sql", command_sql, "sql [--json] DBFILE SQL"},
    {"text", command_text, "text --font FILE -o OUT.png [options] (TEXT | --file TEXTFILE)"},
};

int usage() {
    fprintf(stderr, "usage:\n");
    for (const Command &command : commands) fprintf(stderr, "  tolmek %s\n", command.usage);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) return usage();
    for (const Command &command : commands)
        if (strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
    return usage();
}
