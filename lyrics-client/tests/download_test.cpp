// HTTP answers, the download over loopback, and the batches of lyrics jobs that run it.
#include "batch.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <future>
#include <regex>

namespace {

using namespace std::literals;

const std::string ok = "HTTP/1.0 200 OK\r\n", ok_head = ok + "\r\n", earlier = "earlier lyrics";
constexpr DownloadLimits quick_limits = {64 * 1024, 2000, 300}; // so that failures come quickly

// The result of an answer fed to HttpAnswer in two pieces, cut at `cut`, and the body it took.
std::pair<int, std::string> parse(std::string_view answer, std::size_t cut) {
    HttpAnswer parsed(quick_limits.body_bytes);
    std::string body;
    for (std::string_view piece : {answer.substr(0, cut), answer.substr(cut)}) {
        if (piece.empty()) continue;
        AnswerStep step = parsed.feed(piece.data(), static_cast<int>(piece.size()));
        if (step.action == AnswerStep::store_body) body += piece.substr(step.body_offset);
    }
    int result = parsed.finish();
    return {result, result == DL_OK ? body : ""};
}

class Download : public ::testing::Test {
protected:
    int download(int port, const char *path = "/") {
        return http_download("127.0.0.1", port, path, output_.c_str(), PATH_TEXT("wb"),
                             quick_limits);
    }
    // A song named `name` in new folders, its path `length` characters long. Each folder adds a
    // separator and 1 to 200 characters.
    path_string song_at_length(std::size_t length, const path_string &name) {
        fs::path folder = directory_.path;
        std::size_t missing = length - folder.native().size() - 1 - name.size();
        while (missing > 0) {
            std::size_t part = std::min<std::size_t>(200, missing - 1);
            if (missing - 1 - part == 1) --part; // else a last folder would have no character
            folder /= path_string(part, PATH_TEXT('d'));
            missing -= 1 + part;
        }
        fs::create_directories(folder);
        write_file(folder / name, "\xFF\xFB audio");
        return (folder / name).native();
    }
    TemporaryDirectory directory_;
    fs::path output_ = directory_ / "out.lrc";
};

// What each answer leaves in place of earlier lyrics: the body of an accepted one, cut anywhere
// (a blank line in the body is body); otherwise the earlier lyrics and nothing else, also after
// body bytes were stored. HttpAnswer decides, fed the answer in two pieces cut anywhere in its
// start; the download ends a refused answer at once, and also a server that falls silent ("")
// or trickles, which only the download's clock can tell.
TEST_F(Download, StoresTheBodyOfAnAcceptedAnswerOnly) {
    const std::string large = std::string(30000, '\0') + std::string(30000, '\xFF');
    const std::string lyrics = "[00:01.00]one\r\n\r\n[00:02.00]two";
    ScriptedAnswer trickle(150, "t"); // a byte every 15 ms, past the deadline
    trickle[0] = ok_head;
    trickle.push_back("");
    const std::string lengths =
        "X-Content-Length: x\r\nconTent-LENGTH:  5 \r\nContent-Length: 5\r\n";
    const std::tuple<ScriptedAnswer, int, std::string> cases[] = {
        // Any version; what follows "200 OK" is not examined.
        {{"HTTP/2 200 OKAY\r\n" + lengths + "\r\n12345"}, DL_OK, "12345"},
        {{ok_head + "[00:01.00]one\r\n", "\r\n[00:02.00]two"}, DL_OK, lyrics},
        {{ok_head + large}, DL_OK, large},
        {{}, DL_BAD_STATUS, earlier},
        {{"HTTP/1.0 404 Not Found\r\n\r\nbody"}, DL_BAD_STATUS, earlier},
        {{"HTTP/1.0\n200 OK\r\n\r\nbody"}, DL_BAD_STATUS, earlier},
        {{"HTTP/1.1 200 Ok\r\n\r\nbody"}, DL_BAD_STATUS, earlier},
        {{"HTTP/1.0 200 O"}, DL_BAD_STATUS, earlier},
        {{ok_head}, DL_NO_BODY, earlier},
        {{ok + "X-Long: " + std::string(5000, 'f') + "\r\n\r\nbody"}, DL_HEADER_TOO_LONG, earlier},
        {{"HTTP/1.0 2", ""}, DL_RECEIVE_FAILED, earlier},
        {trickle, DL_RECEIVE_FAILED, earlier},
        {{ok_head + large + large}, DL_TOO_LARGE, earlier},
        {{ok + "Content-Length: 65537\r\n\r\n12345"}, DL_TOO_LARGE, earlier},
        {{ok + "Content-Length: 4\r\n\r\n12345", ""}, DL_LENGTH_MISMATCH, earlier},
        {{ok + "Content-Length: 6\r\n\r\n12345"}, DL_LENGTH_MISMATCH, earlier},
        {{ok + "Content-Length: 5\r\nContent-Length: 6\r\n\r\n12345"}, DL_BAD_LENGTH, earlier},
        {{ok + "Content-Length : 5\r\n\r\n12345"}, DL_BAD_LENGTH, earlier},
    };
    for (const auto &[segments, result, stored] : cases) {
        std::string answer;
        for (const std::string &segment : segments) answer += segment;
        const std::string start = answer.substr(0, 80);
        bool silent = std::find(segments.begin(), segments.end(), "") != segments.end();
        const std::size_t last_cut = std::min<std::size_t>(answer.size(), 200);
        for (std::size_t cut = 0; !silent && cut <= last_cut; ++cut) {
            EXPECT_EQ(parse(answer, cut), std::pair(result, result == DL_OK ? stored : ""s))
                << start << " cut at " << cut;
        }
        write_file(output_, earlier);
        EXPECT_EQ(download(LoopbackServer(segments).port()), result) << start;
        EXPECT_EQ(read_file(output_), stored) << start;
        EXPECT_EQ(directory_.listing(), "out.lrc ") << start;
    }
}

// The request, cut to its buffer when too long (and thus never ended); a body on its way
// waits in a temporary beside the output; an output that cannot be created fails.
TEST_F(Download, SendsItsRequestAndKeepsTheBodyInATemporaryNamedAfterTheProcess) {
    const std::string overlong = "/" + std::string(2000, '9');
    std::string request;
    auto respond = [&](const std::string &head) {
        request = head;
        return ScriptedAnswer{ok_head + "part of the body", ""};
    };
    EXPECT_EQ(download(LoopbackServer(respond).port(), overlong.c_str()), DL_RECEIVE_FAILED);
    EXPECT_EQ(request, "GET " + overlong.substr(0, 1023 - 4));
    LoopbackServer server(respond);
    auto job = std::async(std::launch::async, [&] { return download(server.port()); });
    std::string name;
    while ((name = directory_.listing()).empty() &&
           job.wait_for(1ms) != std::future_status::ready) {
    }
    char pattern[64];
    std::snprintf(pattern, sizeof pattern, "\\.carvelo-%lx-[0-9a-f]+\\.part ",
                  current_process_id());
    EXPECT_TRUE(std::regex_match(name, std::regex(pattern))) << name;
    job.wait();
    EXPECT_EQ(request,
              "GET / HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
              "Accept-Encoding: \r\n\r\n");
    output_ = directory_ / "no-such-folder" / "out.lrc";
    EXPECT_EQ(download(server.port()), DL_CANNOT_WRITE);
}

// A listener whose queue is full leaves a connection unanswered until the wait runs out.
TEST_F(Download, GivesUpAConnectionNotMadeInTime) {
    int port;
    std::vector<socket_handle> queue = {listen_on_loopback(0, &port)};
    do queue.push_back(tcp_socket_open());
    while (queue.size() < 64 &&
           socket_connect(queue.back(), loopback_address, std::uint16_t(port), 200));
    auto result = std::async(std::launch::async, [&] { return download(port); });
    ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(result.get(), DL_CONNECT_FAILED);
    for (socket_handle socket : queue) socket_close(socket);
}

// Every file of a dialog's selection, in its order, reported with one line and one path entry:
// one full path, or a folder and names, joined with a separator (two when the folder ends with
// one: the system takes them as one).
TEST_F(Download, FetchSelectionReportsEveryFileWithOneLineAndOnePathEntry) {
    std::atomic<int> requests = 0; // one for each job that gets a lyrics path
    LoopbackServer knows([&](const std::string &) {
        ++requests;
        return ScriptedAnswer{ok_head + "[00:01.00]첫 줄\n[00:02.00]second\r\n"};
    });
    LoopbackServer knows_not({"HTTP/1.0 404 Not Found\r\n\r\n"});
    auto text = [](const fs::path &text) { return text.native(); }; // in this platform's units
    const path_string folder = text(directory_ / "my.music"), separator(1, path_separator);
    auto in_folder = [&](const fs::path &name) { return folder + separator + text(name); };
    auto then = [](const path_string &string) { return path_string(1, '\0') + string; };
    fs::create_directories(folder);
    for (const char8_t *song : {u8"봄.노래.mp3", u8".hidden"})
        write_file(in_folder(song), "\xFF\xFB");
    write_file(in_folder(".hidden.lrc"), "kept");
    write_file(in_folder("bad.mp3"), std::string("ID3\x04\0\0\0\0\0\x80 audio", 16));
    const path_string spring = text(u8"봄.노래.mp3"), spring_lyrics = in_folder(u8"봄.노래.lrc");
    // At the platform's path limit, a lyrics path fits only in place of an extension.
    const path_string fitting = text(std::string(40, 'f') + ".mp3");
    const path_string fits = song_at_length(path_capacity - 1, fitting);
    // A name too long for a line is cut before a whole character.
    path_string overlong, cut_line = text(u8"실패: ");
    while (overlong.size() < 3000) overlong += text(u8"긴");
    while (cut_line.size() + text(u8"긴").size() < result_line_capacity) cut_line += text(u8"긴");
    const std::tuple<path_string, path_string, path_string, bool> batches[] = {
        // selection, its lines, its path entries, lyrics known?
        {in_folder(spring), text(u8"성공: ") + spring, spring_lyrics, true},
        {in_folder(".hidden"), text(u8"실패: .hidden"), in_folder(".hidden.lrc"), false},
        {folder + then(text("bad.mp3")) + then(spring) + then(text("none.mp3")),
         text(u8"실패: bad.mp3\n성공: ") + spring + text(u8"\n실패: none.mp3"),
         text("\n") + spring_lyrics + text("\n"), true},
        {folder + separator + then(spring), text(u8"성공: ") + spring,
         folder + separator + separator + text(u8"봄.노래.lrc"), true},
        {fits, text(u8"성공: ") + fitting, fits.substr(0, fits.size() - 3) + text("lrc"), true},
        {song_at_length(path_capacity - 1, text("LLLL")), text(u8"실패: LLLL"), {}, true},
#ifdef _WIN32
        // Over the limit, though the system opens it and its lyrics path would fit.
        {song_at_length(path_capacity, L"o.mpeg-audio"), L"실패: o.mpeg-audio", {}, true},
#endif
        {in_folder(overlong), cut_line, {}, true},
        {folder + then(overlong), cut_line, {}, true},
    };
    RecordingLists lists;
    for (const auto &[selection, lines, path_entries, lyrics_known] : batches) {
        const std::size_t lines_before = lists.lines.size(), paths_before = lists.paths.size();
        // The last string's terminator, then the empty string that ends them all.
        const path_string ended = selection + path_char{};
        fetch_selection(ended.c_str(), {"127.0.0.1", (lyrics_known ? knows : knows_not).port()},
                        lists);
        EXPECT_EQ(lists.lines.substr(lines_before), lines + text("\n"));
        EXPECT_EQ(lists.paths.substr(paths_before), path_entries + text("\n"));
    }
    for (int line = 0; line < lists.count; ++line) EXPECT_EQ(lists.selected.at(line), line);
    EXPECT_EQ(read_file(spring_lyrics), "[00:01.00]첫 줄\r\n[00:02.00]second\r\r\n");
    EXPECT_EQ(read_file(in_folder(".hidden.lrc")), "kept");
    EXPECT_EQ(requests, 4);
}

// The command that opens a lyrics file in Notepad: the path quoted, when all of it fits.
TEST(Batch, MakesTheNotepadCommandOfALyricsPathThatFits) {
    const path_string path = PATH_TEXT("C:\\my music\\song.lrc");
    const path_string command = PATH_TEXT("notepad \"C:\\my music\\song.lrc\"");
    const std::pair<int, path_string> cases[] = {{31, command}, {30, {}}}; // 30 characters, NUL
    for (const auto &[capacity, made] : cases) {
        path_char buffer[64];
        bool fits = make_notepad_command(path.c_str(), buffer, capacity);
        EXPECT_EQ(fits ? path_string(buffer) : path_string(), made) << capacity;
    }
}

} // namespace
