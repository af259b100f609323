// One HTTP/1.0 GET over a fresh TCP connection, with the body of a "200 OK"
// answer stored in a file.
#pragma once

#include "http_answer.h" // the DL_ results
#include "platform.h"

// What one download may take. A server that sends without end, or one
// byte at a time, ends the download as a failure instead of filling the
// disk or holding the caller.
struct DownloadLimits {
    unsigned long long body_bytes; // the largest body accepted, counted as received
    int deadline_ms;               // the whole transfer, from the name lookup to the last byte
    int wait_ms;                   // each wait for the lookup, the connection or more bytes
};

// A deadline for a body of up to `body_bytes`: a minute, or the time that
// body takes at 64 KiB/s when that is longer.
constexpr int deadline_for(unsigned long long body_bytes) {
    constexpr unsigned long long slowest_bytes_per_second = 64 * 1024;
    unsigned long long ms = body_bytes * 1000 / slowest_bytes_per_second;
    return ms > 60000 ? static_cast<int>(ms) : 60000;
}

// Bytes of a request buffer, terminator included; request paths are formatted into one too.
inline constexpr int request_capacity = 1024;

// Lyrics files hold a few KiB; program builds a few MiB.
inline constexpr DownloadLimits lyrics_download_limits = {1 << 20, deadline_for(1 << 20), 30000};
inline constexpr DownloadLimits update_download_limits = {32 << 20, deadline_for(32 << 20), 30000};

// Sends "GET request_path HTTP/1.0" with a Host header naming `host` (no
// port) to `host`:`port` and stores the body of a "200 OK" answer at
// `output_path`. The body runs until the server closes the connection, or
// ends with the length a Content-Length header states (HttpAnswer).
//
// `mode` is PATH_TEXT("wb") to store the body unchanged or PATH_TEXT("w") to
// store every LF as CR LF (a CR LF thus becomes CR CR LF).
//
// Returns DL_OK or one of the failure codes above. The body goes to a
// temporary file beside `output_path` (BodyFile), which replaces `output_path`
// only when the whole transfer succeeded within `limits`; on any failure, and
// when `output_path` is write-protected, an existing file there is left
// untouched and no temporary remains. Nothing is created unless at least one
// body byte arrives.
//
// Keeps no state between calls; several threads may download at once.
int http_download(const char *host, int port, const char *request_path,
                  const path_char *output_path, const path_char *mode,
                  const DownloadLimits &limits);
