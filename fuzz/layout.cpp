// Text layout through libtolmek-font in one of four fonts: code points,
// box, size, flags and colour from the input, drawn into an image and onto
// a framebuffer of a size from the input. Checked: the canaries around each
// target's pixels never change, nor with TEXT_CLIP any pixel outside the
// box; both targets give the same y, which lies within the box's reach.
//
// Input, little-endian: 0 the font (bits 0-1); 1, 2 the targets' width and
// height; 3-4 the size, 1 + value % 300; 5-6 the flags; 7-22 x, y, w, h
// (int32); 23-26 the colour; then the text, 32-bit code points.
#include <algorithm>
#include <vector>

#include "support.h"
#include "tolmek_font.h"

namespace {

constexpr const char *fonts[] = {TOLMEK_FONT_FIXTURES "/layout.ttf",
                                 TOLMEK_FONT_FIXTURES "/mono.bdf",
                                 TOLMEK_FONT_FIXTURES "/no_question.ttf", TOLMEK_NANUM_GOTHIC};
constexpr std::size_t setup_size = 27;

// The context is opened again only when an input asks for another font.
void use_font(const char *path) {
  static const char *current = nullptr;
  if (path == current) return;
  fuzz::check(font_close() == 0 && font_open(path) == 0, "opening the font");
  current = path;
}

struct Call {
  std::int32_t x, y, w, h, size, flags;
  bool clips() const { return flags & TEXT_CLIP; }
  bool in_box(std::int64_t px, std::int64_t py) const {
    return px >= x && px < std::int64_t{x} + w && py >= y && py < std::int64_t{y} + h;
  }
  // Half a size below the last baseline the box allows; or one line below
  // y, as a text without glyphs (an empty one) counts one line anyway.
  std::int64_t reach() const {
    std::int64_t half = size / 2, line_height = size + half;
    std::int64_t limit = std::int64_t{y} + h + (clips() ? line_height : 0);
    return std::min<std::int64_t>(std::max(y + line_height, limit + half), INT32_MAX);
  }
};

// A target's pixels between two runs of canaries, all of them filled alike.
template <typename Target, typename Pixel>
struct Canvas {
  static constexpr std::int64_t canaries = 256;
  Canvas(std::uint32_t width, std::uint32_t height, Pixel fill)
      : fill(fill), memory(width * height + 2 * canaries, fill),
        target{width, height, reinterpret_cast<decltype(Target::pixels)>(&memory[canaries])} {}
  // Whether every pixel that the call may not change still holds the fill.
  bool kept(const Call &call) const {
    for (std::int64_t i = -canaries; i < std::int64_t(memory.size()) - canaries; ++i) {
      bool canary = i < 0 || i >= std::int64_t{target.width} * target.height;
      bool may_change =
          !canary && (!call.clips() || call.in_box(i % target.width, i / target.width));
      if (!may_change && memory[i + canaries] != fill) return false;
    }
    return true;
  }
  Pixel fill;
  std::vector<Pixel> memory;
  Target target;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  constexpr auto int32 = &fuzz::little_endian<std::int32_t>;
  constexpr auto uint16 = &fuzz::little_endian<std::uint16_t>;
  if (size < setup_size) return 0;
  use_font(fonts[data[0] & 3]);
  const Call c{int32(data + 7), int32(data + 11), int32(data + 15), int32(data + 19),
               1 + uint16(data + 3) % 300, uint16(data + 5)};
  const auto colour = fuzz::little_endian<std::uint32_t>(data + 23);
  std::vector<std::uint32_t> text(1 + (size - setup_size) / 4);  // ended by 0
  for (std::size_t i = 0; i + 1 < text.size(); ++i)
    text[i] = fuzz::little_endian<std::uint32_t>(data + setup_size + 4 * i);

  Canvas<tolmek_image, std::uint32_t> image(data[1], data[2], ~colour);
  Canvas<tolmek_framebuffer, std::uint16_t> fb(data[1], data[2], ~colour & 0xFFFF);
  std::int32_t y = image_draw_text_unicode(&image.target, text.data(), c.x, c.y, c.w, c.h,
                                           c.size, colour, c.flags);
  std::int32_t fb_y = fb_draw_text_unicode(&fb.target, text.data(), c.x, c.y, c.w, c.h, c.size,
                                           colour, c.flags);
  fuzz::check(image.kept(c) && fb.kept(c), "a pixel changed that must not");
  fuzz::check(fb_y == y, "both targets lay out alike");
  fuzz::check(y >= c.y && y <= c.reach(), "y beyond the box's reach");
  return 0;
}
