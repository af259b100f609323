// Placeholder until the library behind it is built.
#include <stdio.h>

#include "commands.h"

int command_decode(int, char **) {
    fprintf(stderr, "tolmek: decode is not available in this build\n");
    return 2;
}
