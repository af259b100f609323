// Writes MP3 files with ID3 tags built by the audio tests' helpers into
// DIR, around the audio of DIR/short_mono_16000.mp3 (made by the audio
// fixture script): seeds for the fingerprint and MP3 harnesses.
// Usage: fuzz_tagged_files DIR
#include <fstream>
#include <iterator>
#include <string>

#include "fixtures.h"

namespace id3 = audio_test::id3;

int main(int argc, char **argv) {
  if (argc != 2) return 2;
  const std::string dir = argv[1];
  std::ifstream in(dir + "/short_mono_16000.mp3", std::ios::binary);
  const std::string audio(std::istreambuf_iterator<char>(in), {});
  if (audio.empty()) return 1;

  const std::string v24 = id3::v2_tag(
      4, {id3::text("TIT2", id3::utf16_bom, id3::utf16_with_bom(u"노래\nline two")),
          id3::text("TPE1", id3::utf8, "가수"), id3::text("TALB", id3::latin1, "Album"),
          id3::text("TCON", id3::latin1, "(13)"), id3::comment("note")});
  const std::string year_and_comment =
      id3::v2_tag(3, {id3::text("TYER", id3::latin1, "2024"), id3::comment("only these")});
  const std::string v1 = id3::v1_tag({.title = "Title of exactly thirty bytes!",
                                      .artist = "Artist   ",
                                      .year = "1999",
                                      .comment = "comment"});
  const struct {
    const char *name;
    std::string bytes;
  } files[] = {
      {"tagged_v24.mp3", v24 + audio},
      {"tagged_v1.mp3", audio + v1},
      {"tagged_v23_and_v1.mp3", year_and_comment + audio + v1},
      {"tagged_twice.mp3", v24 + year_and_comment + audio},
  };
  for (const auto &file : files) {
    std::ofstream out(dir + "/" + file.name, std::ios::binary);
    if (!out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()))) return 1;
  }
  return 0;
}
