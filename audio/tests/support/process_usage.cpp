#include "process_usage.h"

#include <dirent.h>
#include <malloc.h>

namespace audio_test {

int open_descriptors() {
    DIR *dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    int count = 0;
    while (dirent *entry = readdir(dir))
        if (entry->d_name[0] != '.') count++;
    closedir(dir);
    return count - 1; // the directory stream's own descriptor
}

bool heap_in_use(size_t *bytes) {
#if defined(__SANITIZE_ADDRESS__)
    *bytes = 0;
    return false;
#else
    *bytes = mallinfo2().uordblks;
    return true;
#endif
}

} // namespace audio_test
