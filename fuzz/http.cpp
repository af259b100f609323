// The HTTP download of the input's answer, received in pieces the input cuts, stored in binary
// or text mode: it connects to a listener on 127.0.0.1 and sends its request there, and
// socket_receive, wrapped at link time, delivers the answer. Checked: a result the answer can
// cause; on success the output holds exactly the body (in text mode each LF as CR LF); on
// failure an earlier output is unchanged, or there is none; no temporary and no descriptor is
// left; the answer in one piece is taken or refused alike.
//
// Input: byte 0 bit 0 text mode, bit 1 an earlier output; bytes 1-2 the largest body accepted; byte
// 3 the pieces cut off the answer's start (0 to 15), then a byte for each, its length less one; the
// answer.
#include <arpa/inet.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "http_client.h"
#include "support.h"

namespace {

std::string_view unread; // the answer's bytes still to be received
std::vector<int> pieces; // the lengths of the pieces still to come, the next one last

} // namespace

extern "C" int __wrap__Z14socket_receiveiPcii(socket_handle, char *bytes, int capacity, int) {
    int length = static_cast<int>(std::min<std::size_t>(capacity, unread.size()));
    if (!pieces.empty()) length = std::min(length, pieces.back());
    std::memcpy(bytes, unread.data(), static_cast<std::size_t>(length));
    unread.remove_prefix(static_cast<std::size_t>(length));
    if (!pieces.empty() && (pieces.back() -= length) == 0) pieces.pop_back();
    return length; // 0 once the answer has ended: the server closed
}

namespace {

namespace fs = std::filesystem;
constexpr std::string_view earlier_output = "lyrics of an earlier download\n";
// The network, the disk and the clock cause no failure here.
constexpr unsigned answer_results = 1 << DL_OK | 1 << DL_BAD_STATUS | 1 << DL_NO_BODY |
                                    1 << DL_LENGTH_MISMATCH | 1 << DL_HEADER_TOO_LONG |
                                    1 << DL_BAD_LENGTH | 1 << DL_TOO_LARGE;

// Takes connections without ever answering them; each is accepted and closed after its download.
int listen_on_loopback(int *port) {
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    auto *generic = reinterpret_cast<sockaddr *>(&address);
    fuzz::check(listener >= 0 && bind(listener, generic, length) == 0 && listen(listener, 4) == 0 &&
                    getsockname(listener, generic, &length) == 0,
                "listening on 127.0.0.1");
    *port = ntohs(address.sin_port);
    return listener;
}

std::string contents(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string stored(std::string_view body, bool text) {
    std::string file;
    for (char byte : body) file.append(text && byte == '\n' ? "\r\n" : std::string(1, byte));
    return file;
}

// The download of the answer cut into these pieces, and the checks of what it left. Returns its
// result.
int run(std::string_view answer, const DownloadLimits &limits, bool text, bool earlier,
        const std::vector<int> &cuts) {
    static int port, listener = listen_on_loopback(&port);
    static const struct Directory { // in memory: several times faster than on disk
        Directory() { fuzz::check(mkdtemp(path) != nullptr, "making a directory"); }
        ~Directory() { fs::remove_all(path); }
        char path[32] = "/dev/shm/fuzz-http-XXXXXX";
    } directory;
    const fs::path output = fs::path(directory.path) / "lyrics.txt";
    if (earlier) std::ofstream(output, std::ios::binary) << earlier_output;
    fuzz::DescriptorWatch descriptors;
    unread = answer;
    pieces.assign(cuts.rbegin(), cuts.rend());
    int result =
        http_download("127.0.0.1", port, "/lyrics", output.c_str(), text ? "w" : "wb", limits);
    if (int connection = accept(listener, nullptr, nullptr); connection >= 0) close(connection);
    descriptors.check_nothing_left_open();
    fuzz::check(result >= 0 && result < 32 && answer_results >> result & 1,
                "a result the answer cannot cause");
    if (result == DL_OK) {
        std::string_view body = answer.substr(answer.find("\r\n\r\n") + 4);
        fuzz::check(!body.empty() && body.size() <= limits.body_bytes, "a body within the bound");
        fuzz::check(contents(output) == stored(body, text), "the output holds the body");
    } else {
        fuzz::check(
            fs::exists(output) == earlier && (!earlier || contents(output) == earlier_output),
            "a failure leaves the output as it was");
    }
    fs::remove(output);
    fuzz::check(fs::is_empty(directory.path), "a temporary was left behind");
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::size_t count = size < 4 ? 0 : data[3] % 16;
    if (size < 4 + count) return 0;
    const std::string_view answer(reinterpret_cast<const char *>(data) + 4 + count,
                                  size - 4 - count);
    const DownloadLimits limits{fuzz::little_endian<std::uint16_t>(data + 1), 60000, 30000};
    const bool text = data[0] & 1, earlier = data[0] & 2;
    std::vector<int> cuts;
    for (std::size_t i = 0; i < count; ++i) cuts.push_back(data[4 + i] + 1);
    int result = run(answer, limits, text, earlier, cuts);
    // Where the answer is cut never decides whether it is taken.
    fuzz::check(
        count == 0 || (run(answer, limits, text, earlier, {}) == DL_OK) == (result == DL_OK),
        "the cuts decided the outcome");
    return 0;
}
