// The body of a download on its way to the output path. It is written to a temporary file beside
// the output, created with the first byte, and moved over the output path by commit; a body that
// is not committed leaves no trace.
#pragma once

#include "platform.h"

class BodyFile {
public:
    // `mode` as file_create takes it. The temporary's name is short and does not grow with the
    // output's, so that an output name near the file system's limit still has one.
    BodyFile(const path_char *output_path, const path_char *mode);
    ~BodyFile(); // removes the temporary unless committed
    BodyFile(const BodyFile &) = delete;
    BodyFile &operator=(const BodyFile &) = delete;

    // Appends `count` bytes, creating the temporary with the first of them. False when it cannot
    // be named, created or written.
    bool add(const char *bytes, int count);

    // Closes the temporary and moves it over the output path; false when that fails, and then the
    // temporary is removed. Call it once, after at least one byte was added.
    bool commit();

private:
    const path_char *output_path_;
    const path_char *mode_;
    path_char temporary_[path_capacity + 32];
    bool named_ = false;
    bool created_ = false;
    bool committed_ = false;
    OutputFile file_;
};
