/*
 * A host player on uClibc-ng: it defines the host services (the dependency
 * functions are generated stubs beside it) and exports them. Given a
 * library and the names it leaves undefined, it loads the library with
 * dlopen(RTLD_NOW) and looks every name up in the global scope, where the
 * loader binds them: uClibc-ng's MIPS loader leaves a name it cannot find
 * as a null entry instead of failing the load. Nothing is called.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>

#include "host_services.h"

const char *file_get_ext(const char *name) { return name; }
int file_open(const char *name, int flags) { return (void)name, (void)flags, -1; }
FILE *file_fopen(const char *name, const char *mode) { return (void)name, (void)mode, NULL; }
int sound_set_format(int bits) { return bits; }
int sound_set_channels(int channels) { return channels; }
int sound_set_rate(int rate) { return rate; }
int32_t sound_rate = 44100;
int32_t sound_chans = 2;
uint32_t *utf8_decode(const char *text) { return (void)text, NULL; }
void linked_init(linked_list *list) { (void)list; }
void linked_add(linked_list *list, void *item) { (void)list, (void)item; }

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
