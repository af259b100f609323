// The registry's walks over a decoder table: order of initialisation,
// roll-back and shutdown, and extension matching.
#include <gtest/gtest.h>

#include <string>

#include "decoder_walk.h"

namespace {

// Three decoders that log their calls and fail on request.
std::string calls;
bool init_fails[3], exit_fails[3];

template <int N> int fake_init() {
    calls += std::to_string(N) + ".init ";
    return init_fails[N] ? -1 : 0;
}
template <int N> int fake_exit() {
    calls += std::to_string(N) + ".exit ";
    return exit_fails[N] ? -1 : 0;
}

constexpr const char *first_exts[] = {".mp3", ".MP2x", nullptr};
constexpr const char *second_exts[] = {".ogg", ".mp3", nullptr};
// The entry after ext_count is not part of the list.
constexpr const char *third_exts[] = {".flac", ".fla", nullptr};

constexpr audio_decoder first = {first_exts, 1, fake_init<0>, fake_exit<0>, nullptr, nullptr, nullptr, nullptr, nullptr};
constexpr audio_decoder second = {second_exts, 2, fake_init<1>, fake_exit<1>, nullptr, nullptr, nullptr, nullptr, nullptr};
constexpr audio_decoder third = {third_exts, 1, fake_init<2>, fake_exit<2>, nullptr, nullptr, nullptr, nullptr, nullptr};
constexpr const audio_decoder *table[] = {&first, &second, &third};

class DecoderWalk : public testing::Test {
protected:
    void SetUp() override {
        calls.clear();
        for (int i = 0; i < 3; ++i) init_fails[i] = exit_fails[i] = false;
    }
};

TEST_F(DecoderWalk, InitialisesAllInTableOrder) {
    EXPECT_EQ(audio::init_all(table), 0);
    EXPECT_EQ(calls, "0.init 1.init 2.init ");
}

TEST_F(DecoderWalk, AFirstFailureTouchesNothingElse) {
    init_fails[0] = true;
    EXPECT_EQ(audio::init_all(table), -1);
    EXPECT_EQ(calls, "0.init ");
}

TEST_F(DecoderWalk, ALaterFailureRollsBackThoseBeforeItInTableOrder) {
    init_fails[2] = true;
    exit_fails[0] = true; // roll-back results are ignored
    EXPECT_EQ(audio::init_all(table), -1);
    EXPECT_EQ(calls, "0.init 1.init 2.init 0.exit 1.exit ");
}

TEST_F(DecoderWalk, ShutsDownInTableOrderUntilTheFirstFailure) {
    EXPECT_EQ(audio::exit_all(table), 0);
    EXPECT_EQ(calls, "0.exit 1.exit 2.exit ");
    calls.clear();
    exit_fails[1] = true;
    EXPECT_EQ(audio::exit_all(table), -1);
    EXPECT_EQ(calls, "0.exit 1.exit ");
}

TEST_F(DecoderWalk, MatchesInTableOrderWithinEachExtensionCount) {
    EXPECT_EQ(audio::find_by_extension(table, ".mp3"), &first) << "first listed wins";
    EXPECT_EQ(audio::find_by_extension(table, ".OGG"), &second);
    EXPECT_EQ(audio::find_by_extension(table, ".FLAC"), &third);
    EXPECT_EQ(audio::find_by_extension(table, ".mp2x"), nullptr) << "beyond ext_count";
    EXPECT_EQ(audio::find_by_extension(table, ".fla"), nullptr) << "beyond ext_count";
}

} // namespace
