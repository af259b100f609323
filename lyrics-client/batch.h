// A batch of lyrics jobs as the file-open dialog hands over its selection, and the command that
// opens a job's lyrics afterwards.
#pragma once

#include "fetch_job.h"
#include "platform.h"

// Runs the lyrics job for each file of a file-open dialog's selection, in the dialog's order.
// `selection` holds NUL-terminated strings ended by an empty one: either one full path, or a
// folder followed by names, each joined as folder, path_separator, name. A path that does not
// fit a path buffer with its terminator gets the failure line with its display name and an empty
// path entry instead of a job, so both lists stay in step.
void fetch_selection(const path_char *selection, const LyricsServer &server, ResultLists &lists);

// The command line that opens a lyrics file in Notepad: notepad "PATH", quoted because paths hold
// spaces. Returns false when it does not fit `capacity` characters with its terminator; then
// nothing is to be started.
bool make_notepad_command(const path_char *lyrics_path, path_char *command, int capacity);
