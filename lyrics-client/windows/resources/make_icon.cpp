// Draws the program icon of carvelo and writes it as an .ico file holding
// one 48 x 48 image with 32 bits per pixel (straight alpha): a beamed pair
// of white notes on a rounded square shading from teal to night blue.
// Built and run on the build machine: make_icon OUTPUT.ico
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int size = 48;
constexpr int samples = 4; // per axis and pixel, for smooth edges

struct Colour {
    double red, green, blue;
};

bool in_rounded_square(double x, double y) {
    constexpr double low = 2, high = 46, radius = 9;
    double dx = std::fmax(std::fmax(low + radius - x, x - (high - radius)), 0);
    double dy = std::fmax(std::fmax(low + radius - y, y - (high - radius)), 0);
    return x >= low && x <= high && y >= low && y <= high && dx * dx + dy * dy <= radius * radius;
}

// A note head: an ellipse tilted like a written one.
bool in_note_head(double x, double y, double centre_x, double centre_y) {
    constexpr double tilt = -0.45, half_width = 5.6, half_height = 3.9;
    double u = (x - centre_x) * std::cos(tilt) + (y - centre_y) * std::sin(tilt);
    double v = -(x - centre_x) * std::sin(tilt) + (y - centre_y) * std::cos(tilt);
    return (u * u) / (half_width * half_width) + (v * v) / (half_height * half_height) <= 1;
}

bool in_notes(double x, double y) {
    bool heads = in_note_head(x, y, 15, 35) || in_note_head(x, y, 31, 31);
    bool stems =
        (x >= 18.4 && x <= 21 && y >= 13 && y <= 34) || (x >= 34.4 && x <= 37 && y >= 9 && y <= 30);
    double beam_top = 13 + (x - 18.4) * (9.0 - 13.0) / (37 - 18.4);
    bool beam = x >= 18.4 && x <= 37 && y >= beam_top && y <= beam_top + 5;
    return heads || stems || beam;
}

Colour background(double y) {
    double t = y / size;
    return {0x2C + t * (0x1A - 0x2C), 0x7A + t * (0x36 - 0x7A), 0x7B + t * (0x5D - 0x7B)};
}

void put16(std::vector<std::uint8_t> &out, unsigned value) {
    out.push_back(value & 0xFF);
    out.push_back(value >> 8 & 0xFF);
}

void put32(std::vector<std::uint8_t> &out, unsigned value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// One pixel in BGRA order, averaged over its samples.
void draw_pixel(std::vector<std::uint8_t> &out, int column, int row) {
    double red = 0, green = 0, blue = 0, alpha = 0;
    for (int i = 0; i < samples; ++i) {
        for (int j = 0; j < samples; ++j) {
            double x = column + (i + 0.5) / samples, y = row + (j + 0.5) / samples;
            if (!in_rounded_square(x, y)) continue;
            Colour colour = in_notes(x, y) ? Colour{255, 255, 255} : background(y);
            red += colour.red, green += colour.green, blue += colour.blue, alpha += 1;
        }
    }
    double weight = alpha > 0 ? 1 / alpha : 0;
    out.push_back(static_cast<std::uint8_t>(std::lround(blue * weight)));
    out.push_back(static_cast<std::uint8_t>(std::lround(green * weight)));
    out.push_back(static_cast<std::uint8_t>(std::lround(red * weight)));
    out.push_back(static_cast<std::uint8_t>(std::lround(alpha * 255 / (samples * samples))));
}

std::vector<std::uint8_t> icon_file() {
    constexpr unsigned mask_row = 8; // 48 bits, padded to a multiple of 32
    constexpr unsigned image_size = 40 + size * size * 4 + size * mask_row;
    std::vector<std::uint8_t> out;
    put16(out, 0), put16(out, 1), put16(out, 1); // icon directory, one image
    out.push_back(size), out.push_back(size), out.push_back(0), out.push_back(0);
    put16(out, 1), put16(out, 32), put32(out, image_size), put32(out, 22);
    put32(out, 40), put32(out, size), put32(out, 2 * size); // colour rows, then mask rows
    put16(out, 1), put16(out, 32), put32(out, 0), put32(out, image_size - 40);
    for (int i = 0; i < 4; ++i) put32(out, 0);
    for (int row = size - 1; row >= 0; --row) // bottom-up
        for (int column = 0; column < size; ++column) draw_pixel(out, column, row);
    // The AND mask marks fully transparent pixels, for readers without alpha.
    for (int row = size - 1; row >= 0; --row) {
        std::uint8_t bits[mask_row] = {};
        for (int column = 0; column < size; ++column) {
            std::size_t alpha_at = 6 + 16 + 40 + ((size - 1 - row) * size + column) * 4 + 3;
            if (out[alpha_at] == 0) bits[column / 8] |= 0x80 >> column % 8;
        }
        out.insert(out.end(), bits, bits + mask_row);
    }
    return out;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fputs("usage: make_icon OUTPUT.ico\n", stderr);
        return 2;
    }
    std::vector<std::uint8_t> bytes = icon_file();
    std::FILE *file = std::fopen(argv[1], "wb");
    bool written =
        file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file != nullptr) written = std::fclose(file) == 0 && written;
    if (!written) std::perror(argv[1]);
    return written ? 0 : 1;
}
