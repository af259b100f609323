// A lyrics paragraph of mixed Hangul and Latin, 16 px NanumGothic wrapped
// at 320 px (12 lines): drawn into a 32-bit image by libtolmek-font, and
// rendered by SDL_ttf's wrapped blended renderer for comparison. Caches are
// warm after the first iteration in both.
#include <string.h>

#include <vector>

#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include "tolmek_font.h"

namespace {

constexpr char paragraph[] =
    "봄날의 첫 줄, the first line of the morning 바람이 분다 and the river "
    "carries 우리의 노래 down to the sea. 둘째 줄은 조용히 and softly the light "
    "falls on 오래된 골목 where we walked. 별이 뜨면 we will sing again, "
    "다시 한 번 under the same sky 하늘 아래 together. 셋째 줄에는 the wind "
    "turns 남쪽으로 and the boats come home 저녁 노을 속에서, slowly, 천천히. "
    "마지막 줄 the last line of the song 우리 모두 함께 부르는 노래 goes on "
    "and on 끝없이 into the night, 별빛 아래 still singing 그리고 또 노래한다.";
constexpr int size = 16, width = 320, height = 300;

void OursIntoImage(benchmark::State &state) {
    if (font_open(TOLMEK_NANUM_GOTHIC) != 0) return state.SkipWithError("no NanumGothic");
    std::vector<uint32_t> pixels(width * height);
    tolmek_image image{width, height, reinterpret_cast<uint8_t *>(pixels.data())};
    int32_t bottom = 0;
    for (auto _ : state) {
        memset(pixels.data(), 0, pixels.size() * 4); // a fresh picture, as SDL_ttf makes
        bottom = image_draw_text(&image, paragraph, 0, 0, width, height, size, 0xFFFFFFFF, 0);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["lines"] = bottom / (size + size / 2); // the last baseline + size / 2 + 1
    font_close();
}
BENCHMARK(OursIntoImage);

void SdlTtfBlendedWrapped(benchmark::State &state) {
    TTF_Init();
    TTF_Font *font = TTF_OpenFont(TOLMEK_NANUM_GOTHIC, size);
    if (!font) return state.SkipWithError("no NanumGothic");
    int lines = 0;
    for (auto _ : state) {
        SDL_Surface *surface =
            TTF_RenderUTF8_Blended_Wrapped(font, paragraph, {255, 255, 255, 255}, width);
        lines = surface ? surface->h / TTF_FontLineSkip(font) : 0;
        SDL_FreeSurface(surface);
    }
    state.counters["lines"] = lines;
    TTF_CloseFont(font);
    TTF_Quit();
}
BENCHMARK(SdlTtfBlendedWrapped);

} // namespace

BENCHMARK_MAIN();
