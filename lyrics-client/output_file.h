// The body of a download on its way to the output path. It is written to a temporary file beside
// the output, created with the first byte, and moved over the output path by commit; a body that
// is not committed leaves no trace.
#pragma once

#include "platform.h"

// Characters of a temporary's path buffer: the output's folder and a short name, which does not
// grow with the output's, so that an output name near the file system's limit still has one.
inline constexpr int temporary_path_capacity = path_capacity + 32;

// How many temporaries remove_live_temporaries knows of at once; a download beyond them still
// works, but its temporary would outlive a signal.
inline constexpr int live_temporary_slots = 32;

class BodyFile {
public:
    // `mode` as file_create_new takes it.
    BodyFile(const path_char *output_path, const path_char *mode);
    ~BodyFile(); // removes the temporary unless committed
    BodyFile(const BodyFile &) = delete;
    BodyFile &operator=(const BodyFile &) = delete;

    // Appends `count` bytes, creating the temporary with the first of them: a new file (never an
    // existing one, never through a link) under a name with an unguessable part, readable by this
    // user alone. False when it cannot be named, created or written.
    bool add(const char *bytes, int count);

    // Gives the temporary the permissions of the file it replaces (file_take_permissions), closes
    // it and moves it over the output path; false when that fails or the output path is
    // write-protected, and then the temporary is removed. Call it once, after at least one byte
    // was added.
    bool commit();

private:
    bool create();

    const path_char *output_path_;
    const path_char *mode_;
    path_char temporary_[temporary_path_capacity];
    bool created_ = false;
    bool committed_ = false;
    int live_slot_ = -1; // the temporary's entry for remove_live_temporaries, or -1
    OutputFile file_;
};

// Removes every temporary that a BodyFile holds at this moment, for a signal handler that ends
// the process: it only reads a fixed table and calls file_remove (unlink on Linux, which a
// handler may call). From then on no temporary is created: a BodyFile that is about to create one
// waits until the process ends. Call it on a thread that writes no download (block the signal on
// those that do), as it first waits for a temporary being created to be entered in the table.
void remove_live_temporaries();
