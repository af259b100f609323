// The platform layer on Linux: narrow paths, BSD sockets, and the text-mode
// newline expansion that the C library here does not perform.
#include "platform.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

// The permissions of a new file: 0666 less the umask. The umask can only be read by setting it,
// so it is read once, before main, while no other thread can be creating a file.
mode_t read_new_file_mode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}
const mode_t new_file_mode = read_new_file_mode();

} // namespace

std::FILE *open_file_for_reading(const path_char *path, const path_char *mode) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer.
    int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) return nullptr;
    struct stat status;
    std::FILE *stream = nullptr;
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode))
        stream = fdopen(descriptor, mode);
    else
        errno = EINVAL;
    if (stream == nullptr) close(descriptor);
    return stream;
}

Creation file_create_new(OutputFile &file, const path_char *path, const path_char *mode) {
    file = OutputFile{};
    bool text = std::strcmp(mode, "w") == 0;
    if (!text && std::strcmp(mode, "wb") != 0) return Creation::failed;
    // O_EXCL refuses any existing name, a link too, so nothing planted there is written through.
    int descriptor = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600);
    if (descriptor < 0) return errno == EEXIST ? Creation::name_taken : Creation::failed;
    file.stream = fdopen(descriptor, "wb");
    if (file.stream == nullptr) {
        close(descriptor);
        unlink(path);
        return Creation::failed;
    }
    file.expand_newlines = text;
    return Creation::created;
}

bool file_take_permissions(OutputFile &file, const path_char *target) {
    const int descriptor = fileno(file.stream);
    struct stat status;
    if (stat(target, &status) != 0)
        return errno == ENOENT && fchmod(descriptor, new_file_mode) == 0;
    // A file without any write permission is read-only even to root, whom access() lets write.
    if ((status.st_mode & 0222) == 0 || access(target, W_OK) != 0) return false;
    return fchmod(descriptor, status.st_mode & 0777) == 0;
}

bool file_replace(const path_char *from, const path_char *to) { return std::rename(from, to) == 0; }

void file_remove(const path_char *path) { unlink(path); }

unsigned long current_process_id() { return static_cast<unsigned long>(getpid()); }

bool random_bits(std::uint64_t &bits) {
    return getrandom(&bits, sizeof bits, GRND_NONBLOCK) == sizeof bits;
}

namespace {

void *run_detached(void *work) {
    static_cast<DetachedWork *>(work)->run();
    return nullptr;
}

} // namespace

bool start_detached(DetachedWork &work) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_t thread;
    bool started = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
                   pthread_create(&thread, &attributes, run_detached, &work) == 0;
    pthread_attr_destroy(&attributes);
    return started;
}

bool network_start() { return true; }
void network_stop() {}

socket_handle tcp_socket_open() { return socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP); }

void socket_close(socket_handle socket) { close(socket); }

bool resolve_ipv4(const char *host, std::uint32_t *address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return false;
    *address = reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return true;
}

namespace {

bool set_blocking(socket_handle socket, bool blocking) {
    int flags = fcntl(socket, F_GETFL);
    if (flags < 0) return false;
    flags = blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK;
    return fcntl(socket, F_SETFL, flags) == 0;
}

// Waits for `events` on the socket; false on a timeout or an error.
bool wait_for(socket_handle socket, short events, int timeout_ms) {
    pollfd entry{socket, events, 0};
    int ready;
    do {
        ready = poll(&entry, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

} // namespace

bool socket_connect(socket_handle socket, std::uint32_t address, std::uint16_t port,
                    int timeout_ms) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address;
    if (!set_blocking(socket, false)) return false;
    bool connected = connect(socket, reinterpret_cast<sockaddr *>(&target), sizeof target) == 0;
    if (!connected && errno == EINPROGRESS && wait_for(socket, POLLOUT, timeout_ms)) {
        int error = 0;
        socklen_t length = sizeof error;
        connected = getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    return set_blocking(socket, true) && connected;
}

int socket_send(socket_handle socket, const char *bytes, int count) {
    return static_cast<int>(send(socket, bytes, count, MSG_NOSIGNAL));
}

int socket_receive(socket_handle socket, char *bytes, int capacity, int timeout_ms) {
    if (!wait_for(socket, POLLIN, timeout_ms)) return -1;
    ssize_t received;
    do {
        received = recv(socket, bytes, capacity, 0);
    } while (received < 0 && errno == EINTR);
    return static_cast<int>(received);
}
