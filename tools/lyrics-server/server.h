// A small lyrics and update server on a loopback address, for the demo and
// the tests. One thread per connection; HTTP/1.0 answers with a
// Content-Length, after which the connection is closed.
//
//   GET /sevrin/fetch/<32 lowercase hex>          -> LYRICS/<hex>
//   GET /ovra-player/carvelo/update/carvelo/<ver> -> BUILDS/<ver>
//
// Anything else, or a file that does not exist, gets "404 Not Found".
#pragma once

#include <string>

struct ServerSettings {
    std::string address = "127.0.0.1"; // must be a loopback address
    int port = 80;                     // 0: any free port
    std::string lyrics_directory;      // files named by fingerprint text
    std::string builds_directory;      // files named by version text
    int delay_ms = 0;                  // pause before each answer
    int stall_ms = 0;                  // pause after the head and a body's first byte
    std::string log_path;              // one request path per line, if set
};

// Binds, prints "listening on ADDRESS:PORT" on stdout and serves until the
// process is ended. Returns an exit status only when it cannot start.
int run_server(const ServerSettings &settings);
