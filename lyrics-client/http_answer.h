// The answer to an HTTP/1.0 GET, read as its bytes arrive: the status line, the end of the head,
// the Content-Length, and the bound on the body. It owns no socket and no file: the caller
// receives the bytes, feeds them in pieces cut anywhere, and stores the body bytes it is shown.
#pragma once

#include <string_view>

// The results of a download. The answer itself decides DL_BAD_STATUS, DL_NO_BODY,
// DL_LENGTH_MISMATCH, DL_HEADER_TOO_LONG, DL_BAD_LENGTH, DL_TOO_LARGE and DL_CODED_BODY
// (HttpAnswer); the network, the clock and the disk decide the others (http_download).
enum {
    DL_OK = 0,                 // the body was stored and the file closed
    DL_NET_STARTUP_FAILED = 1, // the network layer cannot be started
    DL_SOCKET_FAILED = 2,      // no socket could be created
    DL_RESOLVE_FAILED = 3,     // the host name has no IPv4 address, or none came in time
    DL_CONNECT_FAILED = 4,     // the connection cannot be made in time
    DL_BAD_STATUS = 5,         // nothing received, or no "HTTP/... 200 OK" status line
    DL_NO_BODY = 6,            // the server closed before a header end or a body byte
    DL_LENGTH_MISMATCH = 7,    // the body's length differs from its Content-Length
    DL_RECEIVE_FAILED = 8,     // a receive failed, or a wait or the deadline ran out
    DL_CANNOT_WRITE = 9,       // the output cannot be created, written, put in place, or is
                               // write-protected
    DL_HEADER_TOO_LONG = 10,   // the header does not end within the header buffer
    DL_BAD_LENGTH = 11,        // a Content-Length that is malformed or stated twice differently
    DL_TOO_LARGE = 12,         // the body, or its Content-Length, exceeds the download's bound
    DL_CODED_BODY = 13,        // a transfer or content coding, which the request never offers
};

// What to do with the bytes just fed.
struct AnswerStep {
    enum Action {
        need_more,  // nothing to store yet: feed the next bytes
        reject,     // the answer is refused with `failure`; feed nothing more
        store_body, // the fed bytes from `body_offset` to their end are body bytes
    };
    Action action;
    int failure;     // reject: a DL_ code; otherwise DL_OK
    int body_offset; // store_body: at least 0 and below the count fed
};

// One answer, from its first byte to its end: the server's orderly close, or the last byte of
// the length the head states.
//   - the head must begin with "HTTP/", a version token and one space, followed by the six bytes
//     "200 OK" (what follows them is not examined); a NUL or LF before that space rejects it;
//   - the head ends with its first empty line, whose lines may end in CR LF or in LF alone; it
//     must lie within head_capacity bytes;
//   - a Content-Length line, when present, holds decimal digits alone, with no blank before its
//     colon, agrees with any other, and states no more than the bound; the body then has exactly
//     that length, and is complete with its last byte (see complete());
//   - without one the body runs to the close;
//   - any Transfer-Encoding line, or a Content-Encoding other than "identity", rejects the answer:
//     stored as it came, such a body would not be the resource;
//   - the body has at least one byte and at most the bound.
// A rejection is final: later calls give it again.
class HttpAnswer {
public:
    static constexpr int head_capacity = 4096; // the longest head accepted, status line included

    // `body_bound`: the largest body accepted, counted as received.
    explicit HttpAnswer(unsigned long long body_bound) : body_bound_(body_bound) {}

    // Takes the next `count` bytes of the answer.
    AnswerStep feed(const char *bytes, int count);

    // True once the body has reached the length its head states: the answer is over, whatever
    // the connection does next (a reset after the last byte loses nothing). Bytes fed after that
    // reject it.
    bool complete() const;

    // At the end of the answer (complete(), or the server's orderly close): DL_OK when the answer
    // was whole, or its failure.
    int finish() const;

private:
    AnswerStep feed_head(const char *bytes, int count);
    // Takes the whole head, status line to its empty line, and reads its Content-Length and
    // codings: DL_OK, or the failure that refuses the answer.
    int accept_head(std::string_view head);
    AnswerStep take_body(int offset, int count);
    AnswerStep refuse(int failure);

    char head_[head_capacity];
    int head_length_ = 0;          // bytes of head_ received
    bool status_accepted_ = false; // the status line holds "200 OK"
    bool head_ended_ = false;      // the empty line found; what follows is body
    int failure_ = DL_OK;          // DL_OK until the answer is refused
    bool length_stated_ = false;   // the head has a Content-Length line
    unsigned long long stated_length_ = 0;
    unsigned long long body_bound_;
    unsigned long long body_received_ = 0;
};
