// tolmek tags FILE [--native-encoding NAME]: prints the tags the decoder
// finds in an audio file, one "name: text" line per present tag in the order
// title, artist, album, year, genre, description. NAME is the legacy
// encoding that ISO-8859-1 and ID3v1 tag texts are really written in.
#include <string.h>

#include "audio_file.h"
#include "commands.h"

namespace {

struct TagsArguments {
    const char *file = nullptr;
    const char *native_encoding = nullptr;
};

bool parse(int argc, char **argv, TagsArguments *arguments) {
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--native-encoding") == 0 && i + 1 < argc)
            arguments->native_encoding = argv[++i];
        else if (argv[i][0] != '-' && !arguments->file)
            arguments->file = argv[i];
        else
            return false;
    }
    return arguments->file != nullptr;
}

void print_tags(const audio_tags &tags) {
    const struct {
        const char *name, *text;
    } lines[] = {{"title", tags.title}, {"artist", tags.artist}, {"album", tags.album},
                 {"year", tags.year},   {"genre", tags.genre},   {"description", tags.description}};
    for (const auto &line : lines)
        if (line.text) printf("%s: %s\n", line.name, line.text);
}

int set_native_encoding(const char *name) {
    if (!name || decoder_mp3_set_tag_native_encoding(name) == 0) return 0;
    fprintf(stderr, "tolmek: %s: not an encoding the converter knows\n", name);
    return 2;
}

int run_tags(int argc, char **argv) {
    TagsArguments arguments;
    if (!parse(argc, argv, &arguments)) return usage_error;
    AudioFile file;
    if (int code = start_audio()) return code;
    int code = set_native_encoding(arguments.native_encoding);
    if (code == 0) code = open_audio_file(arguments.file, 0, 2, &file);
    if (code == 0 && file.stream->tags) print_tags(*file.stream->tags);
    if (code == 0 && fflush(stdout) != 0) code = 1;
    return finish_audio(&file, code);
}

} // namespace

const Command tags_command = {
    "tags",
    "tags FILE [--native-encoding NAME]\n"
    "  prints one \"name: text\" line per tag the file has\n"
    "  NAME: the legacy encoding (such as CP949) that ISO-8859-1 and ID3v1\n"
    "  tag texts are really written in\n",
    run_tags,
};
