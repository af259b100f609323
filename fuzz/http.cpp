// HttpAnswer fed the input's answer in the pieces the input cuts. Checked: a result the answer can
// cause; a taken answer's body is exactly what follows the head's first empty line (CR LF or LF),
// at least one byte and within the bound; the answer in one piece is taken or refused alike. Input:
// bytes 0-1 the largest body accepted; byte 2 the pieces cut off the answer's start (0 to 15), then
// a byte for each, its length less one; the answer.
#include <algorithm>
#include <string>
#include <vector>

#include "http_answer.h"
#include "support.h"

namespace {

constexpr unsigned answer_results = 1 << DL_OK | 1 << DL_BAD_STATUS | 1 << DL_NO_BODY |
                                    1 << DL_LENGTH_MISMATCH | 1 << DL_HEADER_TOO_LONG |
                                    1 << DL_BAD_LENGTH | 1 << DL_TOO_LARGE | 1 << DL_CODED_BODY;

// Feeds the answer in these pieces and its rest in one, as a download receives it, and collects
// the body bytes let through. Returns the answer's result.
int parse(std::string_view answer, unsigned long long bound, const std::vector<int> &cuts,
          std::string &body) {
    HttpAnswer parser(bound);
    for (std::size_t piece = 0; !answer.empty(); ++piece) {
        int count = static_cast<int>(answer.size());
        if (piece < cuts.size()) count = std::min(count, cuts[piece]);
        AnswerStep step = parser.feed(answer.data(), count);
        if (step.action == AnswerStep::reject) return step.failure;
        if (step.action == AnswerStep::store_body)
            body += answer.substr(step.body_offset, count - step.body_offset);
        answer.remove_prefix(static_cast<std::size_t>(count));
    }
    return parser.finish();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::size_t count = size < 3 ? 0 : data[2] % 16;
    if (size < 3 + count) return 0;
    const std::string_view answer(reinterpret_cast<const char *>(data) + 3 + count,
                                  size - 3 - count);
    const unsigned long long bound = fuzz::little_endian<std::uint16_t>(data);
    std::vector<int> cuts;
    for (std::size_t i = 0; i < count; ++i) cuts.push_back(data[3 + i] + 1);
    std::string body, whole_body;
    int result = parse(answer, bound, cuts, body);
    fuzz::check(result >= 0 && result < 32 && answer_results >> result & 1,
                "a result the answer cannot cause");
    if (result == DL_OK) {
        std::size_t lf = answer.find("\n\n"), crlf = answer.find("\n\r\n");
        fuzz::check(body == answer.substr(crlf < lf ? crlf + 3 : lf + 2), "the body let through");
        fuzz::check(!body.empty() && body.size() <= bound, "a body within the bound");
    }
    // Where the answer is cut never decides whether it is taken.
    fuzz::check(count == 0 || (parse(answer, bound, {}, whole_body) == DL_OK) == (result == DL_OK),
                "the cuts decided the outcome");
    return 0;
}
