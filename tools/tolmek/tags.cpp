// Placeholder until the library behind it is built.
#include <stdio.h>

#include "commands.h"

int command_tags(int, char **) {
    fprintf(stderr, "tolmek: tags is not available in this build\n");
    return 2;
}
