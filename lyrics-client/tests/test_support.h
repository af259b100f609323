// What the lyrics core tests share: fresh directories, whole files, result lists that record,
// and a scriptable HTTP server on 127.0.0.1 in the test process (also under wine).
#pragma once

#include "fetch_job.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using path_string = std::basic_string<path_char>;

struct TemporaryDirectory {
    TemporaryDirectory() {
        fs::remove_all(path); // left by an earlier process with the same id
        fs::create_directories(path);
    }
    ~TemporaryDirectory() { fs::remove_all(path); }
    fs::path operator/(const fs::path &name) const { return path / name; }
    std::string listing() const { // the names of its entries, each followed by a space
        std::string names;
        for (const auto &entry : fs::directory_iterator(path))
            names += entry.path().filename().string() + " ";
        return names;
    }
    inline static int made = 0;
    const fs::path path = fs::temp_directory_path() / ("carvelo-test-" + std::to_string(++made) +
                                                       "-" + std::to_string(current_process_id()));
};

inline void write_file(const fs::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string read_file(const fs::path &path) {
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

// The lines and path entries added, each followed by a line feed.
struct RecordingLists final : ResultLists {
    int add_result_line(const path_char *line) override {
        lines += line + path_string(1, '\n');
        return count++;
    }
    void select_result_line(int index) override { selected_when_added += index == count - 1; }
    void add_path_entry(const path_char *path) override { paths += path + path_string(1, '\n'); }
    path_string lines, paths;
    int count = 0, selected_when_added = 0; // lines, and lines selected right after their adding
};

// An answer's segments, sent 15 ms apart so that a test decides where it is cut; an empty
// one stands for silence until the client goes, reset_connection for a reset (no orderly close).
using ScriptedAnswer = std::vector<std::string>;
inline const std::string reset_connection = "<reset>";

class LoopbackServer {
public:
    // `respond` gets the request head (up to its blank line) of each connection.
    using Respond = std::function<ScriptedAnswer(const std::string &request)>;
    explicit LoopbackServer(Respond respond);
    explicit LoopbackServer(ScriptedAnswer answer)
        : LoopbackServer([=](auto &) { return answer; }) {}
    ~LoopbackServer(); // finishes the connection in progress
    int port() const { return port_; }

private:
    Respond respond_;
    int port_ = 0;
    socket_handle listener_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

extern const std::uint32_t loopback_address;
socket_handle listen_on_loopback(int backlog, int *port);
