// The HTTP download over a loopback connection to an in-process server
// (answer_server.h) that sends the input's answer in the input's pieces,
// stored in binary or text mode. Checked: a result the download can give
// here; on success the output holds exactly the body (in text mode each LF
// as CR LF); on failure an output that existed is unchanged, or there is
// none; no temporary and no descriptor is left behind; the answer sent in
// one piece is taken or refused alike.
//
// Input: byte 0 bit 0 text mode, bit 1 an output file exists beforehand;
// bytes 1-2 the largest body accepted (little-endian); byte 3 the pieces
// cut off the answer's start (0 to 15), then a byte per piece, its length
// less one; the answer, whose rest after the cuts is the last piece.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "answer_server.h"
#include "http_client.h"

namespace {

namespace fs = std::filesystem;
constexpr std::string_view earlier_output = "lyrics of an earlier download\n";

// Every transfer ends long before these unless the download hangs, which
// then fails the input as a wrong result rather than as a timeout.
constexpr int deadline_ms = 6000, wait_ms = 3000;

// The network, the disk and the clock give no fault here: only the answer's.
bool answer_result(int result) {
  return result == DL_OK || result == DL_BAD_STATUS || result == DL_NO_BODY ||
         result == DL_LENGTH_MISMATCH || result == DL_HEADER_TOO_LONG ||
         result == DL_BAD_LENGTH || result == DL_TOO_LARGE;
}

std::vector<std::string_view> cut(std::string_view answer, const std::uint8_t *lengths,
                                  std::size_t count) {
  std::vector<std::string_view> pieces;
  for (std::size_t i = 0; i < count && !answer.empty(); ++i) {
    pieces.push_back(answer.substr(0, lengths[i] + 1u));
    answer.remove_prefix(pieces.back().size());
  }
  if (!answer.empty()) pieces.push_back(answer);
  return pieces;
}

std::string stored(std::string_view body, bool text) {
  std::string file;
  for (char byte : body) file.append(text && byte == '\n' ? "\r\n" : std::string(1, byte));
  return file;
}

std::string contents(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Options {
  std::string_view answer;
  DownloadLimits limits;
  bool text;     // stored in text mode
  bool existed;  // an earlier output is there before the download
};

// An empty directory of this process's own, removed at the end; in memory
// where there is a file system for that, which is several times faster.
struct Directory {
  Directory() : path((fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path()) /
                     "fuzz-http-XXXXXX") {
    std::string name = path;
    fuzz::check(mkdtemp(name.data()) != nullptr, "making a directory");
    path = name;
  }
  ~Directory() { fs::remove_all(path); }
  fs::path path;
};

// One download of the answer sent in these pieces, checked. Returns its result.
int download(const std::vector<std::string_view> &pieces, const Options &options) {
  // Never destroyed: its thread waits for calls until the process ends.
  static fuzz::AnswerServer &server = *new fuzz::AnswerServer;
  static const Directory directory;
  const fs::path output = directory.path / "lyrics.txt";
  if (options.existed) std::ofstream(output, std::ios::binary) << earlier_output;

  fuzz::DescriptorWatch descriptors;
  int result = server.answering(pieces, [&] {
    return http_download("127.0.0.1", server.port(), "/lyrics", output.c_str(),
                         options.text ? "w" : "wb", options.limits);
  });
  descriptors.check_nothing_left_open();

  fuzz::check(answer_result(result), "a result the answer cannot cause");
  if (result == DL_OK) {
    std::string_view body = options.answer.substr(options.answer.find("\r\n\r\n") + 4);
    fuzz::check(!body.empty() && body.size() <= options.limits.body_bytes, "a body within the bound");
    fuzz::check(contents(output) == stored(body, options.text), "the output holds the body");
  } else if (options.existed) {
    fuzz::check(contents(output) == earlier_output, "a failure leaves the output as it was");
  } else {
    fuzz::check(!fs::exists(output), "a failure leaves no output");
  }
  fs::remove(output);
  fuzz::check(fs::is_empty(directory.path), "a temporary was left behind");
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 4 || size < 4u + data[3] % 16) return 0;
  const std::size_t cuts = data[3] % 16;
  const Options options{
      std::string_view(reinterpret_cast<const char *>(data) + 4 + cuts, size - 4 - cuts),
      {static_cast<unsigned>(data[1] | data[2] << 8), deadline_ms, wait_ms},
      (data[0] & 1) != 0, (data[0] & 2) != 0};
  int result = download(cut(options.answer, data + 4, cuts), options);
  // Where the answer is cut never decides whether it is taken.
  if (cuts > 0)
    fuzz::check((download({options.answer}, options) == DL_OK) == (result == DL_OK),
                "the cuts decided the outcome");
  return 0;
}
