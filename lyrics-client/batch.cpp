// The file-open dialog's selection, path by path, and the Notepad command line.
#include "batch.h"

#include "bounded_text.h"

void fetch_selection(const path_char *selection, const LyricsServer &server, ResultLists &lists) {
    const path_char *first = selection;
    const path_char *name = first + path_length(first) + 1;
    if (*name == path_char{}) { // one string: the full path of the one chosen file
        fetch_lyrics(first, server, lists);
        return;
    }
    const path_char separator[] = {path_separator, path_char{}};
    path_char path[path_capacity];
    for (; *name != path_char{}; name += path_length(name) + 1) { // a folder, then names
        BoundedText<path_char> joined(path, path_capacity);
        if (joined.append(first).append(separator).append(name).complete())
            fetch_lyrics(path, server, lists);
        else
            report_job(name, false, PATH_TEXT(""), lists);
    }
}

bool make_notepad_command(const path_char *lyrics_path, path_char *command, int capacity) {
    BoundedText<path_char> command_line(command, capacity);
    command_line.append(PATH_TEXT("notepad \"")).append(lyrics_path).append(PATH_TEXT("\""));
    return command_line.complete();
}
