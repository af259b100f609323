// The answer's head is gathered in a fixed buffer, because servers cut it anywhere (they send
// headers and body separately all the time): the status line and the header end are looked for
// in the bytes gathered so far, never in one piece alone.
#include "http_answer.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

enum class Status { accepted, rejected, incomplete };

Status check_status_line(std::string_view received) {
    constexpr std::string_view prefix = "HTTP/";
    constexpr std::string_view wanted = "200 OK";
    std::size_t prefix_seen = std::min(received.size(), prefix.size());
    if (received.substr(0, prefix_seen) != prefix.substr(0, prefix_seen)) return Status::rejected;
    std::size_t space = received.find_first_of(std::string_view(" \n\0", 3), prefix.size());
    if (space == std::string_view::npos) return Status::incomplete;
    if (received[space] != ' ') return Status::rejected;
    std::string_view status = received.substr(space + 1, wanted.size());
    if (status != wanted.substr(0, status.size())) return Status::rejected;
    return status.size() == wanted.size() ? Status::accepted : Status::incomplete;
}

bool same_ignoring_case(std::string_view text, std::string_view lowercase) {
    return std::equal(text.begin(), text.end(), lowercase.begin(), lowercase.end(),
                      [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; });
}

std::string_view trim_blanks(std::string_view text) {
    constexpr std::string_view blanks = " \t\r";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// What the head says of the body's length.
struct ContentLength {
    bool stated = false;          // a Content-Length line is present
    bool malformed = false;       // one is unreadable, or two disagree
    unsigned long long bytes = 0; // the stated length, held at 10^18 at most
};

// What the head says of the body.
struct HeadFields {
    ContentLength length;
    bool coded = false; // a Transfer-Encoding, or a Content-Encoding other than identity
};

// `field` is the name as it stands before the colon, `value` the trimmed value.
void read_length(std::string_view field, std::string_view value, ContentLength &length) {
    constexpr unsigned long long most = 1'000'000'000'000'000'000ULL;
    bool readable = field.size() == std::string_view("content-length").size() && !value.empty();
    unsigned long long bytes = 0;
    for (char digit : value) {
        readable = readable && digit >= '0' && digit <= '9';
        bytes = std::min(most, bytes * 10 + static_cast<unsigned>(digit - '0'));
    }
    if (!readable || (length.stated && bytes != length.bytes)) length.malformed = true;
    length.stated = true;
    length.bytes = bytes;
}

void read_field(std::string_view line, HeadFields &fields) {
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    std::string_view field = line.substr(0, colon), name = trim_blanks(field);
    std::string_view value = trim_blanks(line.substr(colon + 1));
    if (same_ignoring_case(name, "content-length")) read_length(field, value, fields.length);
    // An empty coding list is no coding.
    bool content_coded = !value.empty() && !same_ignoring_case(value, "identity");
    if (same_ignoring_case(name, "transfer-encoding") ||
        (same_ignoring_case(name, "content-encoding") && content_coded))
        fields.coded = true;
}

// The fields of a head, which begins with its status line.
HeadFields read_head_fields(std::string_view head) {
    HeadFields fields;
    for (std::size_t start = head.find('\n'); start != std::string_view::npos;
         start = head.find('\n', start)) {
        ++start;
        read_field(head.substr(start, head.find('\n', start) - start), fields);
    }
    return fields;
}

// Where the body begins: just after the head's first empty line, CR LF or LF alone; npos while
// there is none.
std::size_t find_head_end(std::string_view head) {
    for (std::size_t newline = head.find('\n'); newline != std::string_view::npos;
         newline = head.find('\n', newline + 1)) {
        std::string_view next = head.substr(newline + 1, 2);
        if (next.starts_with('\n')) return newline + 2;
        if (next == "\r\n") return newline + 3;
    }
    return std::string_view::npos;
}

} // namespace

AnswerStep HttpAnswer::feed(const char *bytes, int count) {
    if (failure_ != DL_OK) return refuse(failure_);
    if (count == 0) return {AnswerStep::need_more, DL_OK, 0};
    if (!head_ended_) return feed_head(bytes, count);
    return take_body(0, count);
}

// Gathers the head up to its end; the bytes of this piece after the end are body. The end always
// lies in the latest piece: it holds an LF, and none comes before the status line is decided.
AnswerStep HttpAnswer::feed_head(const char *bytes, int count) {
    const int earlier = head_length_;
    const int taken = std::min(count, head_capacity - head_length_);
    std::memcpy(head_ + head_length_, bytes, static_cast<std::size_t>(taken));
    head_length_ += taken;

    std::string_view head(head_, static_cast<std::size_t>(head_length_));
    if (!status_accepted_) {
        Status status = check_status_line(head);
        if (status == Status::rejected) return refuse(DL_BAD_STATUS);
        status_accepted_ = status == Status::accepted;
    }
    std::size_t end = status_accepted_ ? find_head_end(head) : std::string_view::npos;
    if (end == std::string_view::npos) {
        if (head_length_ == head_capacity) return refuse(DL_HEADER_TOO_LONG);
        return {AnswerStep::need_more, DL_OK, 0};
    }
    const int body_start = static_cast<int>(end);
    int failure = accept_head(head.substr(0, body_start));
    if (failure != DL_OK) return refuse(failure);
    return take_body(body_start - earlier, count);
}

int HttpAnswer::accept_head(std::string_view head) {
    head_ended_ = true;
    HeadFields fields = read_head_fields(head);
    const ContentLength &length = fields.length;
    if (fields.coded) return DL_CODED_BODY;
    if (length.malformed) return DL_BAD_LENGTH;
    if (length.stated && length.bytes > body_bound_) return DL_TOO_LARGE;
    length_stated_ = length.stated;
    stated_length_ = length.bytes;
    return DL_OK;
}

AnswerStep HttpAnswer::take_body(int offset, int count) {
    if (offset == count) return {AnswerStep::need_more, DL_OK, 0};
    unsigned long long arriving = static_cast<unsigned long long>(count - offset);
    if (body_received_ + arriving > body_bound_) return refuse(DL_TOO_LARGE);
    body_received_ += arriving;
    // More than the stated length ends the answer now, not at the close.
    if (length_stated_ && body_received_ > stated_length_) return refuse(DL_LENGTH_MISMATCH);
    return {AnswerStep::store_body, DL_OK, offset};
}

AnswerStep HttpAnswer::refuse(int failure) {
    failure_ = failure;
    return {AnswerStep::reject, failure, 0};
}

bool HttpAnswer::complete() const {
    return failure_ == DL_OK && length_stated_ && body_received_ == stated_length_;
}

int HttpAnswer::finish() const {
    if (failure_ != DL_OK) return failure_;
    if (!head_ended_) return status_accepted_ ? DL_NO_BODY : DL_BAD_STATUS;
    if (body_received_ == 0) return DL_NO_BODY;
    if (length_stated_ && body_received_ != stated_length_) return DL_LENGTH_MISMATCH;
    return DL_OK;
}
