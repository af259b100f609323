/* Imports what the ABI check must refuse (a glibc-only entry point, which
 * sscanf becomes, and one of mpg123's renamed entry points) beside what it
 * accepts (an allowed C library function, mpg123's classic name). */
#include <stdio.h>
#include <string.h>

int mpg123_param(void *handle, int key, long value, double fvalue);
int mpg123_param2(void *handle, int key, long value, double fvalue);

int stray(const char *text) {
    int number = 0;
    sscanf(text, "%d", &number);
    return number + (int)strlen(text) + mpg123_param(0, 0, 0, 0.0) + mpg123_param2(0, 0, 0, 0.0);
}
