// tolmek: the device libraries from the command line, over the reference
// host, for host developers and demonstrations.
//
// Help goes to standard output with exit 0; a usage error prints the usage
// on standard error and exits with 2.
#include <stdio.h>
#include <string.h>

#include <string_view>

#include "commands.h"

namespace {

constexpr const Command *commands[] = {&decode_command, &tags_command, &sql_command, &text_command};

bool asks_for_help(std::string_view argument) { return argument == "--help" || argument == "-h"; }

// 0 once everything printed has reached standard output, else 1.
int flushed() { return fflush(stdout) == 0 ? 0 : 1; }

// The synopsis of every command: the first line of its usage.
void print_usage(FILE *out) {
    fputs("usage: tolmek COMMAND ARGUMENTS...\n", out);
    for (const Command *command : commands)
        fprintf(out, "  tolmek %.*s\n", (int)strcspn(command->usage, "\n"), command->usage);
    fputs(
        "  tolmek COMMAND --help   what the command's arguments mean\n"
        "  tolmek --version\n",
        out);
}

int run(const Command &command, int argc, char **argv) {
    for (int i = 0; i < argc; i++) {
        if (!asks_for_help(argv[i])) continue;
        printf("usage: tolmek %s", command.usage);
        return flushed();
    }
    int code = command.run(argc, argv);
    if (code != usage_error) return code;
    fprintf(stderr, "usage: tolmek %s", command.usage);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    std::string_view first = argc > 1 ? argv[1] : "";
    if (asks_for_help(first)) {
        print_usage(stdout);
        return flushed();
    }
    if (first == "--version") {
        printf("tolmek %s\n", TOLMEK_VERSION);
        return flushed();
    }
    for (const Command *command : commands)
        if (first == command->name) return run(*command, argc - 2, argv + 2);
    if (argc > 1) fprintf(stderr, "tolmek: %s: no such command\n", argv[1]);
    print_usage(stderr);
    return 2;
}
