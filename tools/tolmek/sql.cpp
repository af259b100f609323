// Placeholder until the library behind it is built.
#include <stdio.h>

#include "commands.h"

int command_sql(int, char **) {
    fprintf(stderr, "tolmek: sql is not available in this build\n");
    return 2;
}
