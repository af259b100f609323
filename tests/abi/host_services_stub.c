/* The host services of the hosts these checks build, which load the device
 * libraries and at most make a first call into each. */
#include <stdlib.h>
#include <string.h>

#include "host_services.h"

const char *file_get_ext(const char *name) {
    const char *dot = strrchr(name, '.');
    return dot ? dot : "";
}
int file_open(const char *name, int flags) { return (void)name, (void)flags, -1; }
FILE *file_fopen(const char *name, const char *mode) { return (void)name, (void)mode, NULL; }
int sound_set_format(int bits) { return bits != 16; }
int sound_set_channels(int channels) { return channels < 1; }
int sound_set_rate(int rate) { return rate < 1; }
int32_t sound_rate = 44100;
int32_t sound_chans = 2;
uint32_t *utf8_decode(const char *text) { return calloc(strlen(text) + 1, sizeof(uint32_t)); }
void linked_init(linked_list *list) { memset(list, 0, sizeof *list); }
void linked_add(linked_list *list, void *item) { (void)list, (void)item; }
