// Text layout through libtolmek-font in one of four fonts: text, box, size,
// flags and colour from the input, drawn into an image and onto a
// framebuffer of a size from the input. Checked: the canaries around each
// target's pixels never change, nor with TEXT_CLIP any pixel outside the
// box; both targets give the same y, which lies between the box's top and
// the lowest line the box reaches.
//
// Input (little-endian):
//   0      bits 0-1 the font; bit 2 UTF-8 text, else 32-bit code points
//   1, 2   the targets' width and height
//   3-4    size, 1 + value % 300
//   5-6    flags
//   7-22   x, y, w, h (int32)
//   23-26  colour
//   27-    the text
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support.h"
#include "tolmek_font.h"

namespace {

constexpr const char *fonts[] = {TOLMEK_FONT_FIXTURES "/layout.ttf", TOLMEK_FONT_FIXTURES "/mono.bdf",
                                 TOLMEK_FONT_FIXTURES "/no_question.ttf", TOLMEK_NANUM_GOTHIC};
constexpr std::size_t setup_size = 27;

// The font context is opened again only when the input asks for another.
void use_font(const char *path) {
  static const char *current = nullptr;
  if (path == current) return;
  fuzz::check(font_close() == 0 && font_open(path) == 0, "opening the font");
  current = path;
}

struct Call {
  std::int32_t x, y, w, h, size, flags;
  std::uint32_t colour;
  bool clips() const { return flags & TEXT_CLIP; }
  bool in_box(std::int64_t px, std::int64_t py) const {
    return px >= x && px < std::int64_t{x} + w && py >= y && py < std::int64_t{y} + h;
  }
};

// A target's pixels between two rows of canaries, all filled alike.
template <typename Target, typename Pixel>
struct Canvas {
  static constexpr std::size_t canaries = 256;
  Canvas(std::uint32_t width, std::uint32_t height, Pixel fill)
      : fill(fill), memory(width * height + 2 * canaries, fill),
        target{width, height, reinterpret_cast<decltype(Target::pixels)>(memory.data() + canaries)} {}
  // Whether every canary and, when the call clips, every pixel outside the
  // box still holds the fill.
  bool kept(const Call &call) const {
    for (std::size_t i = 0; i < memory.size(); ++i) {
      std::int64_t pixel = static_cast<std::int64_t>(i) - canaries;
      bool canary = pixel < 0 || pixel >= std::int64_t{target.width} * target.height;
      bool may_change = !canary && (!call.clips() || call.in_box(pixel % target.width,
                                                                  pixel / target.width));
      if (!may_change && memory[i] != fill) return false;
    }
    return true;
  }
  Pixel fill;
  std::vector<Pixel> memory;
  Target target;
};

// The lowest y a call may return: half a size below the last baseline the
// box allows, or one line below y, since a text without a glyph (an empty
// one) counts one line whatever the box.
std::int64_t lowest_reach(const Call &c) {
  std::int64_t half = c.size / 2, line_height = c.size + half, limit = std::int64_t{c.y} + c.h;
  if (c.clips()) limit += line_height;
  return std::min<std::int64_t>(std::max(c.y + line_height, limit + half), INT32_MAX);
}

template <typename T>
T little_endian(const std::uint8_t *bytes) {
  T value{};
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < setup_size) return 0;
  use_font(fonts[data[0] & 3]);
  const Call c{little_endian<std::int32_t>(data + 7), little_endian<std::int32_t>(data + 11),
               little_endian<std::int32_t>(data + 15), little_endian<std::int32_t>(data + 19),
               1 + little_endian<std::uint16_t>(data + 3) % 300, little_endian<std::uint16_t>(data + 5),
               little_endian<std::uint32_t>(data + 23)};
  Canvas<tolmek_image, std::uint32_t> image(data[1], data[2], ~c.colour);
  Canvas<tolmek_framebuffer, std::uint16_t> fb(data[1], data[2], ~c.colour & 0xFFFF);
  std::int32_t image_y, fb_y;
  if (data[0] & 4) {
    std::string text(reinterpret_cast<const char *>(data) + setup_size, size - setup_size);
    image_y = image_draw_text(&image.target, text.c_str(), c.x, c.y, c.w, c.h, c.size, c.colour, c.flags);
    fb_y = fb_draw_text(&fb.target, text.c_str(), c.x, c.y, c.w, c.h, c.size, c.colour, c.flags);
  } else {
    std::vector<std::uint32_t> text((size - setup_size) / 4 + 1);
    std::memcpy(text.data(), data + setup_size, (size - setup_size) / 4 * 4);
    image_y = image_draw_text_unicode(&image.target, text.data(), c.x, c.y, c.w, c.h, c.size,
                                      c.colour, c.flags);
    fb_y = fb_draw_text_unicode(&fb.target, text.data(), c.x, c.y, c.w, c.h, c.size, c.colour,
                                c.flags);
  }
  fuzz::check(image.kept(c) && fb.kept(c), "a pixel changed that must not");
  fuzz::check(image_y == fb_y, "both targets lay out alike");
  fuzz::check(image_y >= c.y && image_y <= lowest_reach(c), "y beyond the box's reach");
  return 0;
}
