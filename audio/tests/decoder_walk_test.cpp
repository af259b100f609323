// The registry's walks over a decoder table: order of initialisation,
// roll-back and shutdown, and extension matching.
#include <gtest/gtest.h>

#include <string>

#include "decoder_walk.h"

namespace {

// Three decoders that log their calls; the one numbered failing_init or
// failing_exit fails that call.
std::string calls;
int failing_init, failing_exit;

template <int N> int fake_init() {
    calls += std::to_string(N) + ".init ";
    return N == failing_init ? -1 : 0;
}
template <int N> int fake_exit() {
    calls += std::to_string(N) + ".exit ";
    return N == failing_exit ? -1 : 0;
}

constexpr const char *first_exts[] = {".mp3", ".MP2x", nullptr};
constexpr const char *second_exts[] = {".ogg", ".mp3", nullptr};
// The entry after ext_count is not part of the list.
constexpr const char *third_exts[] = {".flac", ".fla", nullptr};

constexpr audio_decoder decoder(const char *const *exts, uint32_t count, int (*init)(),
                                int (*exit)()) {
    return {exts, count, init, exit, nullptr, nullptr, nullptr, nullptr, nullptr};
}
constexpr audio_decoder first = decoder(first_exts, 1, fake_init<0>, fake_exit<0>);
constexpr audio_decoder second = decoder(second_exts, 2, fake_init<1>, fake_exit<1>);
constexpr audio_decoder third = decoder(third_exts, 1, fake_init<2>, fake_exit<2>);
constexpr const audio_decoder *decoders[] = {&first, &second, &third};
constexpr audio::DecoderTable table = decoders;

TEST(DecoderWalk, InitialisesRollsBackAndShutsDownInTableOrder) {
    struct Case {
        int (*walk)(audio::DecoderTable);
        int failing_init, failing_exit; // -1: none
        int result;
        const char *calls;
    } cases[] = {
        {audio::init_all, -1, -1, 0, "0.init 1.init 2.init "},
        {audio::init_all, 0, -1, -1, "0.init "},
        // Roll-back results are ignored.
        {audio::init_all, 2, 0, -1, "0.init 1.init 2.init 0.exit 1.exit "},
        {audio::exit_all, -1, -1, 0, "0.exit 1.exit 2.exit "},
        {audio::exit_all, -1, 1, -1, "0.exit 1.exit "},
    };
    for (const Case &c : cases) {
        calls.clear();
        failing_init = c.failing_init;
        failing_exit = c.failing_exit;
        EXPECT_EQ(c.walk(table), c.result) << c.calls;
        EXPECT_EQ(calls, c.calls);
    }
}

TEST(DecoderWalk, MatchesInTableOrderWithinEachExtensionCount) {
    EXPECT_EQ(audio::find_by_extension(table, ".mp3"), &first) << "first listed wins";
    EXPECT_EQ(audio::find_by_extension(table, ".OGG"), &second);
    EXPECT_EQ(audio::find_by_extension(table, ".FLAC"), &third);
    EXPECT_EQ(audio::find_by_extension(table, ".mp2x"), nullptr) << "beyond ext_count";
    EXPECT_EQ(audio::find_by_extension(table, ".fla"), nullptr) << "beyond ext_count";
    EXPECT_EQ(audio::find_by_extension(table, ""), nullptr) << "no extension";
}

} // namespace
