// The records that the host and the libraries read of each other, in every
// build: each field at its width and natural alignment, in the interface's
// order, whatever the pointer width. A field moved or resized shows here,
// not only in the 32-bit builds, whose headers pin the device's offsets.
#include <gtest/gtest.h>

#include <vector>

#include "host_services.h"
#include "tolmek_audio.h"
#include "tolmek_db.h"

namespace {

constexpr size_t P = sizeof(void *);

// The offsets of fields of these widths laid out in order, each aligned to
// its width, then the record's size.
std::vector<size_t> natural_layout(std::initializer_list<size_t> widths) {
    std::vector<size_t> layout;
    size_t end = 0, widest = 1;
    for (size_t width : widths) {
        end = (end + width - 1) / width * width;
        layout.push_back(end);
        end += width;
        widest = std::max(widest, width);
    }
    layout.push_back((end + widest - 1) / widest * widest);
    return layout;
}

TEST(RecordLayout, EveryFieldStandsWhereTheInterfacePutsIt) {
    using S = audio_stream;
    using D = audio_decoder;
    using L = linked_list;
    struct Case {
        const char *record;
        std::vector<size_t> actual, expected;
    } cases[] = {
        {"audio_stream",
         {offsetof(S, handle), offsetof(S, length), offsetof(S, rate), offsetof(S, channels),
          offsetof(S, tags), offsetof(S, fd), sizeof(S)},
         natural_layout({P, 8, 4, 4, P, 4})},
        {"audio_decoder",
         {offsetof(D, exts), offsetof(D, ext_count), offsetof(D, init), offsetof(D, exit),
          offsetof(D, open), offsetof(D, close), offsetof(D, read), offsetof(D, seek),
          offsetof(D, tell), sizeof(D)},
         natural_layout({P, 4, P, P, P, P, P, P, P})},
        {"db_res",
         {offsetof(db_res, row_count), offsetof(db_res, col_count), offsetof(db_res, rows),
          offsetof(db_res, col_names), sizeof(db_res)},
         natural_layout({4, 4, P, P})},
        {"linked_list",
         {offsetof(L, count), offsetof(L, first), offsetof(L, last), sizeof(L)},
         natural_layout({4, P, P})},
    };
    for (const Case &c : cases) EXPECT_EQ(c.actual, c.expected) << c.record;
}

} // namespace
