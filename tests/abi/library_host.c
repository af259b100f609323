/* A host that loads the library argv[1] with dlopen(RTLD_NOW), every import bound at once, as the
 * player loads it; then looks up each further name (uClibc-ng's MIPS loader leaves one it cannot
 * bind null) and closes the library. On uClibc-ng it has stand-ins for the services and imports. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>

int main(int argc, char **argv) {
    void *library = argc < 2 ? NULL : dlopen(argv[1], RTLD_NOW);
    if (!library) {
        printf("FAIL: %s\n", argc < 2 ? "no library" : dlerror());
        return 1;
    }
    int unbound = 0;
    for (int i = 2; i < argc; ++i) {
        if (dlsym(RTLD_DEFAULT, argv[i])) continue;
        printf("FAIL: %s leaves %s unbound\n", argv[1], argv[i]);
        unbound++;
    }
    printf("%s: loaded, %d names bound\n", argv[1], argc - 2 - unbound);
    return unbound > 0 || dlclose(library) != 0;
}
