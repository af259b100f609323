// The HTTP download against a server inside the process (answer_server.h)
// that sends the input's answer in the input's pieces, stored in binary or
// text mode. Checked: a result the answer can cause; on success the output
// holds exactly the body (in text mode each LF as CR LF); on failure an
// earlier output is unchanged, or there is none; no temporary and no
// descriptor is left; the answer in one piece is taken or refused alike.
//
// Input: byte 0 bit 0 text mode, bit 1 an earlier output; bytes 1-2 the
// largest body accepted; byte 3 the pieces cut off the answer's start (0 to
// 15), then a byte for each, its length less one; the answer.
#include <fstream>
#include <string>

#include "answer_server.h"
#include "http_client.h"

namespace {

namespace fs = std::filesystem;
constexpr std::string_view earlier_output = "lyrics of an earlier download\n";
// Never reached unless the download hangs, which then fails the input as a
// wrong result rather than as a timeout.
constexpr int deadline_ms = 6000, wait_ms = 3000;
// The network, the disk and the clock cause no failure here.
constexpr unsigned answer_results = 1 << DL_OK | 1 << DL_BAD_STATUS | 1 << DL_NO_BODY |
                                    1 << DL_LENGTH_MISMATCH | 1 << DL_HEADER_TOO_LONG |
                                    1 << DL_BAD_LENGTH | 1 << DL_TOO_LARGE;

struct Download {
  std::string_view answer;
  DownloadLimits limits;
  bool text, earlier;  // text mode; an earlier output exists
};

std::string stored(std::string_view body, bool text) {
  std::string file;
  for (char byte : body) file.append(text && byte == '\n' ? "\r\n" : std::string(1, byte));
  return file;
}

// The download with the answer sent in these pieces, and the checks of
// what it left. Returns its result.
int run(const Download &d, const std::vector<std::string_view> &pieces) {
  static fuzz::AnswerServer &server = *new fuzz::AnswerServer;  // its thread never ends
  static const fuzz::TemporaryDirectory directory;
  const fs::path output = directory.path() / "lyrics.txt";
  if (d.earlier) std::ofstream(output, std::ios::binary) << earlier_output;
  fuzz::DescriptorWatch descriptors;
  int result = server.answering(pieces, [&] {
    return http_download("127.0.0.1", server.port(), "/lyrics", output.c_str(), d.text ? "w" : "wb",
                         d.limits);
  });
  descriptors.check_nothing_left_open();
  fuzz::check(result >= 0 && result < 32 && answer_results >> result & 1,
              "a result the answer cannot cause");
  if (result == DL_OK) {
    std::string_view body = d.answer.substr(d.answer.find("\r\n\r\n") + 4);
    fuzz::check(!body.empty() && body.size() <= d.limits.body_bytes, "a body within the bound");
    fuzz::check(fuzz::contents(output) == stored(body, d.text), "the output holds the body");
  } else {
    fuzz::check(
        fs::exists(output) == d.earlier && (!d.earlier || fuzz::contents(output) == earlier_output),
        "a failure leaves the output as it was");
  }
  fs::remove(output);
  fuzz::check(fs::is_empty(directory.path()), "a temporary was left behind");
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::size_t cuts = size < 4 ? 0 : data[3] % 16;
  if (size < 4 + cuts) return 0;
  const Download d{
      std::string_view(reinterpret_cast<const char *>(data) + 4 + cuts, size - 4 - cuts),
      {fuzz::little_endian<std::uint16_t>(data + 1), deadline_ms, wait_ms},
      (data[0] & 1) != 0,
      (data[0] & 2) != 0};
  int result = run(d, fuzz::cut(d.answer, data + 4, cuts));
  // Where the answer is cut never decides whether it is taken.
  if (cuts > 0)
    fuzz::check((run(d, {d.answer}) == DL_OK) == (result == DL_OK), "the cuts decided the outcome");
  return 0;
}
