// Walking the folders named on the command line for their songs.
#include "song_list.h"

#include <dirent.h>
#include <sys/stat.h>
#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

bool is_song_name(std::string_view name) {
    constexpr std::string_view extension = ".mp3";
    if (name.size() <= extension.size()) return false;
    std::string_view end = name.substr(name.size() - extension.size());
    for (std::size_t i = 0; i < extension.size(); ++i) {
        char lower =
            end[i] >= 'A' && end[i] <= 'Z' ? static_cast<char>(end[i] + ('a' - 'A')) : end[i];
        if (lower != extension[i]) return false;
    }
    return true;
}

bool is_folder(const char *path) {
    struct stat status;
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

// `entry` as lstat saw it: a regular file, or a link to one.
bool is_regular_file(const std::string &path, const struct stat &entry) {
    if (S_ISREG(entry.st_mode)) return true;
    struct stat target;
    return S_ISLNK(entry.st_mode) && stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode);
}

// "music//" as "music", so that a failure line names the folder; "/" stays.
std::string without_final_slashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string joined(const std::string &folder, const char *name) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    return path += name;
}

} // namespace

void SongList::add(const char *path) {
    if (!is_folder(path)) return add_path(path);
    int first = size();
    add_folder(path);
    sort_from(first);
}

void SongList::add_path(const std::string &path) {
    starts_.push_back(paths_.size());
    paths_.append(path.c_str(), path.size() + 1);
}

// Every folder is read to its end and closed before those inside it are opened, so that a deep
// tree holds one descriptor at a time.
void SongList::add_folder(const std::string &folder) {
    DIR *listing = opendir(folder.c_str());
    if (listing == nullptr) return add_path(without_final_slashes(folder));
    std::vector<std::string> inner_folders;
    while (const dirent *entry = readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        std::string path = joined(folder, entry->d_name);
        struct stat status;
        if (lstat(path.c_str(), &status) != 0) continue; // gone since it was listed
        if (S_ISDIR(status.st_mode))
            inner_folders.push_back(std::move(path));
        else if (is_song_name(entry->d_name) && is_regular_file(path, status))
            add_path(path);
    }
    closedir(listing);
    for (const std::string &inner : inner_folders) add_folder(inner);
}

void SongList::sort_from(int first) {
    const char *paths = paths_.data();
    std::sort(starts_.begin() + first, starts_.end(), [paths](std::size_t a, std::size_t b) {
        return std::strcmp(paths + a, paths + b) < 0;
    });
}
