// HTTP answers, the download over loopback, and the batches of lyrics jobs that run it.
#include "batch.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <future>
#include <regex>

namespace {

using namespace std::literals;

const std::string ok = "HTTP/1.0 200 OK\r\n", ok_head = ok + "\r\n", earlier = "earlier lyrics";
// Limits that fail quickly: by the deadline, which cuts short every wait.
constexpr DownloadLimits quick = {64 * 1024, 2000, 60000};

// The result of an answer fed to HttpAnswer in two pieces, cut at `cut`, and the body it took.
std::pair<int, std::string> parse(std::string_view answer, std::size_t cut) {
    HttpAnswer parsed(quick.body_bytes);
    std::string body;
    for (std::string_view piece : {answer.substr(0, cut), answer.substr(cut)}) {
        AnswerStep step = parsed.feed(piece.data(), static_cast<int>(piece.size()));
        if (step.action == AnswerStep::store_body) body += piece.substr(step.body_offset);
    }
    int result = parsed.finish();
    return {result, result == DL_OK ? body : ""};
}

class Download : public ::testing::Test {
protected:
    int download(int port, const char *path = "/") {
        return http_download("127.0.0.1", port, path, output_.c_str(), PATH_TEXT("wb"), quick);
    }
    // A song named `name` in new folders of 1 to 201 characters, its path `length` long.
    path_string song_at_length(std::size_t length, const path_string &name) {
        fs::path folder = directory_.path;
        auto missing = [&] { return length - folder.native().size() - 1 - name.size(); };
        while (missing() > 202) folder /= path_string(200, PATH_TEXT('d'));
        folder /= path_string(missing() - 1, PATH_TEXT('d'));
        fs::create_directories(folder);
        write_file(folder / name, "\xFF\xFB audio");
        return (folder / name).native();
    }
    TemporaryDirectory directory_;
    fs::path output_ = directory_ / "out.lrc";
};

// What an answer, cut anywhere in its start, leaves in place of earlier lyrics: the body of an
// accepted one (of any version; what follows "200 OK" is not examined; its head lines may end in
// LF alone), else the earlier lyrics alone. HttpAnswer decides; the download ends a refused
// answer at once, and by its clock a server that falls silent ("") or trickles, and one that
// resets the connection unless the body was complete by its length.
TEST_F(Download, StoresTheBodyOfAnAcceptedAnswerOnly) {
    const std::string bound = std::string(30000, '\0') + std::string(35536, '\xFF');
    const std::string lyrics = "[00:01.00]one\r\n\r\n[00:02.00]two";
    ScriptedAnswer trickle(150, "t"); // a byte every 15 ms, past the deadline
    trickle[0] = ok_head;
    const std::string lengths =
        "X-Content-Length: x\r\nconTent-LENGTH:  5 \r\nContent-Length: 5\r\n";
    const std::tuple<ScriptedAnswer, int, std::string> cases[] = {
        {{"HTTP/2 200 OKAY\r\n" + lengths + "\r\n12345"}, DL_OK, "12345"},
        {{ok_head + "[00:01.00]one\r\n", "\r\n[00:02.00]two"}, DL_OK, lyrics},
        {{ok_head + bound}, DL_OK, bound},
        {{"HTTP/1.0 200 OK\n\n" + lyrics}, DL_OK, lyrics},
        {{ok + "Content-Length: 4\n\r\n\r\n\r\n"}, DL_OK, "\r\n\r\n"},
        {{ok + "Content-Encoding: Identity\r\n\r\nbody"}, DL_OK, "body"},
        {{ok + "Content-Length: 5\r\n\r\n12345", reset_connection}, DL_OK, "12345"},
        {{}, DL_BAD_STATUS, earlier},
        {{"HTTP/1.0 404 Not Found\r\n\r\nbody"}, DL_BAD_STATUS, earlier},
        {{"HTTP/1.0 200 Fine\r\n\r\nbody"}, DL_BAD_STATUS, earlier},
        {{"HTTP/1.0\n200 OK\r\n\r\nbody"}, DL_BAD_STATUS, earlier},
        {{"HTTP/1.1 200 Ok\r\n\r\nbody"}, DL_BAD_STATUS, earlier},
        {{ok_head}, DL_NO_BODY, earlier},
        {{ok + "X-Long: " + std::string(5000, 'f') + "\r\n\r\nbody"}, DL_HEADER_TOO_LONG, earlier},
        {{"HTTP/1.0 2", ""}, DL_RECEIVE_FAILED, earlier}, // ended by the deadline, not the wait
        {trickle, DL_RECEIVE_FAILED, earlier},
#ifndef _WIN32 // wine closes in order what it was told to reset
        {{ok_head + "12345", reset_connection}, DL_RECEIVE_FAILED, earlier},
#endif
        {{ok_head + bound + "x"}, DL_TOO_LARGE, earlier},
        {{ok + "Content-Length: 65537\r\n\r\n12345"}, DL_TOO_LARGE, earlier},
        {{ok + "Content-Length: 4\r\n\r\n12345", ""}, DL_LENGTH_MISMATCH, earlier},
        {{ok + "Content-Length: 6\r\n\r\n12345"}, DL_LENGTH_MISMATCH, earlier},
        {{ok + "Content-Length: 5\r\nContent-Length: 6\r\n\r\n12345"}, DL_BAD_LENGTH, earlier},
        {{ok + "Content-Length : 5\r\n\r\n12345"}, DL_BAD_LENGTH, earlier},
        {{ok + "Transfer-Encoding: chunked\r\n\r\n5\r\n12345\r\n0\r\n"}, DL_CODED_BODY, earlier},
        {{ok + "transfer-encoding : identity\n\n12345"}, DL_CODED_BODY, earlier},
        {{ok + "Content-Encoding: gzip\r\n\r\n\x1F\x8B\x08"}, DL_CODED_BODY, earlier},
    };
    for (const auto &[segments, result, stored] : cases) {
        std::string answer;
        for (const std::string &segment : segments)
            if (segment != reset_connection) answer += segment;
        SCOPED_TRACE(answer.substr(0, 80));
        const std::size_t last_cut = std::min<std::size_t>(answer.size(), 200);
        for (std::size_t cut = 0; result != DL_RECEIVE_FAILED && cut <= last_cut; ++cut)
            EXPECT_EQ(parse(answer, cut), std::pair(result, result == DL_OK ? stored : ""s)) << cut;
        write_file(output_, earlier);
        EXPECT_EQ(download(LoopbackServer(segments).port()), result);
        EXPECT_EQ(read_file(output_), stored);
        EXPECT_EQ(directory_.listing(), "out.lrc ");
    }
}

// The request, cut to its buffer when too long (and thus never ended); a body on its way
// waits in a temporary beside the output, named unguessably and private to this user; an output
// that cannot be created fails; a listener whose queue is full leaves a connection unanswered
// until the wait runs out.
TEST_F(Download, SendsItsRequestAndStoresThroughATemporaryUnlessItCannotConnect) {
    std::vector<std::string> requests; // written before each answer, read after it
    LoopbackServer server([&](const std::string &request) {
        requests.push_back(request);
        return ScriptedAnswer{ok_head + "part of the body", ""};
    });
    auto job = std::async(std::launch::async, [&] { return download(server.port()); });
    std::string name;
    do name = directory_.listing();
    while (name.empty() && job.wait_for(1ms) != std::future_status::ready);
    EXPECT_TRUE(std::regex_match(name, std::regex("\\.carvelo-[0-9a-f]{9,16}\\.part "))) << name;
#ifndef _WIN32
    auto permissions = fs::status(directory_ / name.substr(0, name.size() - 1)).permissions();
    EXPECT_EQ(permissions, fs::perms::owner_read | fs::perms::owner_write);
#endif
    EXPECT_EQ(job.get(), DL_RECEIVE_FAILED);
    const std::string overlong = "/" + std::string(2000, '9');
    EXPECT_EQ(download(server.port(), overlong.c_str()), DL_RECEIVE_FAILED);
    output_ = directory_ / "no-such-folder" / "out.lrc";
    EXPECT_EQ(download(server.port()), DL_CANNOT_WRITE);
    const std::string get = "GET / HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    EXPECT_EQ(requests.at(0), get + "Accept-Encoding: \r\n\r\n");
    EXPECT_EQ(requests.at(1), "GET " + overlong.substr(0, 1023 - 4));
    int port;
    std::vector<socket_handle> queue = {listen_on_loopback(0, &port)};
    do queue.push_back(tcp_socket_open());
    while (queue.size() < 64 &&
           socket_connect(queue.back(), loopback_address, std::uint16_t(port), 200));
    EXPECT_EQ(download(port), DL_CONNECT_FAILED);
    for (socket_handle socket : queue) socket_close(socket);
}

// A temporary is only ever a new file: a name already taken, by a file or a link (dangling or
// not), is refused and left as it was. The lyrics replace an earlier file only when the user may
// write it, and keep its permissions; a new file gets what new files get.
TEST_F(Download, NeverWritesThroughWhatIsThereAndKeepsWhatTheUserProtected) {
    const fs::path taken = directory_ / "taken";
    fs::create_directory(taken);
    write_file(taken / "file", earlier);
#ifndef _WIN32
    fs::create_symlink(taken / "file", taken / "link");
    fs::create_symlink(taken / "nowhere", taken / "dangling");
#endif
    for (OutputFile file; const auto &entry : fs::directory_iterator(taken))
        EXPECT_EQ(file_create_new(file, entry.path().c_str(), PATH_TEXT("w")),
                  Creation::name_taken);
    EXPECT_EQ(read_file(taken / "file") + (fs::exists(taken / "nowhere") ? "!" : ""), earlier);
    const auto new_file = fs::status(taken / "file").permissions();
    fs::remove_all(taken);

    LoopbackServer server([](auto &) { return ScriptedAnswer{ok_head + "new"}; });
    // The earlier file's permissions (-1: none there), and the result.
    for (auto [permissions, result] :
         {std::pair{-1, DL_OK}, {0640, DL_OK}, {0444, DL_CANNOT_WRITE}, {0, DL_CANNOT_WRITE}}) {
        fs::remove(output_);
        if (permissions >= 0) {
            write_file(output_, earlier);
            fs::permissions(output_, fs::perms(permissions));
        }
        const auto kept = permissions >= 0 ? fs::status(output_).permissions() : new_file;
        EXPECT_EQ(download(server.port()), result) << permissions;
        EXPECT_EQ(read_file(output_), result == DL_OK ? "new" : earlier);
        EXPECT_EQ(fs::status(output_).permissions(), kept);
        EXPECT_EQ(directory_.listing(), "out.lrc ");
        fs::permissions(output_, fs::perms::owner_write, fs::perm_options::add); // to remove
    }
}

// Every file of a dialog's selection (a full path, or a folder and names, joined by a separator
// even after one) in its order, each reported with one line and one path entry. The server goes
// by a name, which is looked up.
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
        // selection (strings ended with a NUL), its lines, its path entries, lyrics known?
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
    for (const auto &[selection, lines, path_entries, lyrics_known] : batches) {
        RecordingLists lists;
        fetch_selection((selection + path_char{}).c_str(), // and c_str() ends the list
                        {"localhost", (lyrics_known ? knows : knows_not).port()}, lists);
        EXPECT_EQ(lists.lines, lines + text("\n"));
        EXPECT_EQ(lists.paths, path_entries + text("\n"));
        EXPECT_EQ(lists.selected_when_added, lists.count) << lists.lines;
    }
    EXPECT_EQ(read_file(spring_lyrics), "[00:01.00]첫 줄\r\n[00:02.00]second\r\r\n");
    EXPECT_EQ(read_file(in_folder(".hidden.lrc")), "kept");
    EXPECT_EQ(requests, 4);
    // A stored file opens in Notepad by its path in quotes, when the command fits the buffer.
    const path_string notepad = text("notepad \"") + spring_lyrics + text("\"");
    path_char command[path_capacity];
    EXPECT_FALSE(make_notepad_command(spring_lyrics.c_str(), command, int(notepad.size())));
    ASSERT_TRUE(make_notepad_command(spring_lyrics.c_str(), command, int(notepad.size()) + 1));
    EXPECT_EQ(command, notepad);
}

} // namespace
