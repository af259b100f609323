/* A host on uClibc-ng, with stand-ins for the services and imports: it loads the library argv[1]
 * and looks up each further name, as uClibc-ng's MIPS loader leaves one it cannot bind null. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>

int main(int argc, char **argv) {
    if (argc < 2 || !dlopen(argv[1], RTLD_NOW))
        return printf("FAIL: %s\n", argc < 2 ? "no library" : dlerror()), 1;
    int unbound = 0;
    for (int i = 2; i < argc; ++i)
        if (!dlsym(RTLD_DEFAULT, argv[i]))
            unbound += printf("FAIL: %s leaves %s unbound\n", argv[1], argv[i]) > 0;
    printf("%s: loaded, %d names bound\n", argv[1], argc - 2 - unbound);
    return unbound > 0;
}
