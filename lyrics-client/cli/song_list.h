// The songs of a run: the paths named on the command line, each folder among them replaced by the
// music files beneath it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class SongList {
public:
    // Adds a path as it was named. A folder (or a link to one) adds the files beneath it whose
    // names end in ".mp3" in any letter case and that are regular files or links to them, from
    // every level of folders below, in the byte order of their full paths; links to folders are
    // not followed, and anything else is left out. A folder beneath that cannot be read is added
    // as a path of its own, so that its job fails and says so. Any other path is added as it is.
    void add(const char *path);

    int size() const { return static_cast<int>(starts_.size()); }
    // The path of song `index` (0 to size() - 1); it lives as long as the list is not added to.
    const char *operator[](int index) const { return paths_.data() + starts_[index]; }

private:
    void add_path(const std::string &path);
    void add_folder(const std::string &folder);
    void sort_from(int first);

    std::string paths_;               // every path with its terminator, one after the other
    std::vector<std::size_t> starts_; // where each song's path begins in paths_
};
