/*
 * A host player on uClibc-ng, with the host services of host_services_stub.c
 * and generated stand-ins for the dependency functions, all exported. Given
 * a library and the names it leaves undefined, it loads the library with
 * dlopen(RTLD_NOW) and looks every name up in the global scope, where the
 * loader binds them: uClibc-ng's MIPS loader leaves a name it cannot find
 * as a null entry instead of failing the load. Nothing is called.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>

int main(int argc, char **argv) {
    if (argc < 2) return 2;
    if (!dlopen(argv[1], RTLD_NOW)) {
        printf("FAIL: %s\n", dlerror());
        return 1;
    }
    int unbound = 0;
    for (int i = 2; i < argc; ++i) {
        if (!dlsym(RTLD_DEFAULT, argv[i])) {
            printf("FAIL: %s leaves %s unbound\n", argv[1], argv[i]);
            unbound++;
        }
    }
    printf("%s: loaded, %d names bound\n", argv[1], argc - 2 - unbound);
    return unbound > 0;
}
