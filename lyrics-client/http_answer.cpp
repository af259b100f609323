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

void read_length_line(std::string_view line, ContentLength &length) {
    constexpr std::string_view name = "content-length";
    constexpr unsigned long long most = 1'000'000'000'000'000'000ULL;
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    std::string_view field = line.substr(0, colon);
    if (!same_ignoring_case(trim_blanks(field), name)) return;
    std::string_view digits = trim_blanks(line.substr(colon + 1));
    bool readable = field.size() == name.size() && !digits.empty();
    unsigned long long value = 0;
    for (char digit : digits) {
        readable = readable && digit >= '0' && digit <= '9';
        value = std::min(most, value * 10 + static_cast<unsigned>(digit - '0'));
    }
    if (!readable || (length.stated && value != length.bytes)) length.malformed = true;
    length.stated = true;
    length.bytes = value;
}

// The Content-Length lines of a head, which begins with its status line.
ContentLength find_content_length(std::string_view head) {
    ContentLength length;
    for (std::size_t start = head.find('\n'); start != std::string_view::npos;
         start = head.find('\n', start)) {
        ++start;
        read_length_line(head.substr(start, head.find('\n', start) - start), length);
    }
    return length;
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
    constexpr std::string_view head_end = "\r\n\r\n";
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
    std::size_t end = status_accepted_ ? head.find(head_end) : std::string_view::npos;
    if (end == std::string_view::npos) {
        if (head_length_ == head_capacity) return refuse(DL_HEADER_TOO_LONG);
        return {AnswerStep::need_more, DL_OK, 0};
    }
    const int body_start = static_cast<int>(end + head_end.size());
    int failure = accept_head(head.substr(0, body_start));
    if (failure != DL_OK) return refuse(failure);
    return take_body(body_start - earlier, count);
}

int HttpAnswer::accept_head(std::string_view head) {
    head_ended_ = true;
    ContentLength length = find_content_length(head);
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

int HttpAnswer::finish() const {
    if (failure_ != DL_OK) return failure_;
    if (!head_ended_) return status_accepted_ ? DL_NO_BODY : DL_BAD_STATUS;
    if (body_received_ == 0) return DL_NO_BODY;
    if (length_stated_ && body_received_ != stated_length_) return DL_LENGTH_MISMATCH;
    return DL_OK;
}
