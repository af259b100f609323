// The answer of the input fed to the HTTP answer parser in the pieces the input cuts, and the
// body it lets through stored in binary or text mode as a download stores it. Checked: a result
// the answer can cause; on success the output holds exactly the body (in text mode each LF as CR
// LF); on failure an earlier output is unchanged, or there is none; no temporary and no
// descriptor is left; the answer in one piece is taken or refused alike.
//
// Input: byte 0 bit 0 text mode, bit 1 an earlier output; bytes 1-2 the largest body accepted;
// byte 3 the pieces cut off the answer's start (0 to 15), then a byte for each, its length less
// one; the answer.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "http_answer.h"
#include "output_file.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
constexpr std::string_view earlier_output = "lyrics of an earlier download\n";
constexpr unsigned answer_results = 1 << DL_OK | 1 << DL_BAD_STATUS | 1 << DL_NO_BODY |
                                    1 << DL_LENGTH_MISMATCH | 1 << DL_HEADER_TOO_LONG |
                                    1 << DL_BAD_LENGTH | 1 << DL_TOO_LARGE;

std::string contents(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string stored(std::string_view body, bool text) {
    std::string file;
    for (char byte : body) file.append(text && byte == '\n' ? "\r\n" : std::string(1, byte));
    return file;
}

// Feeds the answer in these pieces and its rest in one, storing the body bytes as a download
// does, and puts the body in place when the answer is taken. Returns the answer's result.
int store_answer(std::string_view answer, unsigned long long bound, const std::vector<int> &cuts,
                 BodyFile &body) {
    HttpAnswer parser(bound);
    for (std::size_t piece = 0; !answer.empty(); ++piece) {
        int count = static_cast<int>(answer.size());
        if (piece < cuts.size()) count = std::min(count, cuts[piece]);
        AnswerStep step = parser.feed(answer.data(), count);
        if (step.action == AnswerStep::reject) return step.failure;
        if (step.action == AnswerStep::store_body)
            fuzz::check(body.add(answer.data() + step.body_offset, count - step.body_offset),
                        "writing the body");
        answer.remove_prefix(static_cast<std::size_t>(count));
    }
    int result = parser.finish();
    if (result == DL_OK) fuzz::check(body.commit(), "putting the body in place");
    return result;
}

// The answer cut into these pieces, and the checks of what it left. Returns its result.
int run(std::string_view answer, unsigned long long bound, bool text, bool earlier,
        const std::vector<int> &cuts) {
    static const struct Directory { // in memory: several times faster than on disk
        Directory() { fuzz::check(mkdtemp(path) != nullptr, "making a directory"); }
        ~Directory() { fs::remove_all(path); }
        char path[32] = "/dev/shm/fuzz-http-XXXXXX";
    } directory;
    const fs::path output = fs::path(directory.path) / "lyrics.txt";
    if (earlier) std::ofstream(output, std::ios::binary) << earlier_output;
    fuzz::DescriptorWatch descriptors;
    int result = DL_OK;
    {
        BodyFile body(output.c_str(), text ? "w" : "wb");
        result = store_answer(answer, bound, cuts, body);
    }
    descriptors.check_nothing_left_open();
    fuzz::check(result >= 0 && result < 32 && answer_results >> result & 1,
                "a result the answer cannot cause");
    if (result == DL_OK) {
        std::string_view body = answer.substr(answer.find("\r\n\r\n") + 4);
        fuzz::check(!body.empty() && body.size() <= bound, "a body within the bound");
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
    const unsigned long long bound = fuzz::little_endian<std::uint16_t>(data + 1);
    const bool text = data[0] & 1, earlier = data[0] & 2;
    std::vector<int> cuts;
    for (std::size_t i = 0; i < count; ++i) cuts.push_back(data[4 + i] + 1);
    int result = run(answer, bound, text, earlier, cuts);
    // Where the answer is cut never decides whether it is taken.
    fuzz::check(count == 0 || (run(answer, bound, text, earlier, {}) == DL_OK) == (result == DL_OK),
                "the cuts decided the outcome");
    return 0;
}
