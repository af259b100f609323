// Writing an OutputFile, the same on every platform: where the runtime has no text mode of its
// own, file_create_new asked for the newline expansion here. And the temporaries of BodyFile.
#include "output_file.h"

#include "bounded_text.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

constexpr int naming_attempts = 16; // names tried before a temporary is given up

// A temporary that exists, as a signal handler sees it: its path is read only while the state
// is `live`, and written only while the state is `filling`.
struct LiveSlot {
    enum State : int { empty, filling, live };
    std::atomic<int> state{empty};
    path_char path[temporary_path_capacity];
};
static_assert(std::atomic<int>::is_always_lock_free); // a signal handler may read it
LiveSlot live_temporaries[live_temporary_slots];

// Held while a temporary is entered in the table and created, and for good once
// remove_live_temporaries began: no thread creates a temporary that the removal misses.
std::atomic_flag creating_temporary = ATOMIC_FLAG_INIT;

class CreationTurn {
public:
    CreationTurn() {
        while (creating_temporary.test_and_set(std::memory_order_acquire))
            std::this_thread::yield();
    }
    ~CreationTurn() { creating_temporary.clear(std::memory_order_release); }
    CreationTurn(const CreationTurn &) = delete;
    CreationTurn &operator=(const CreationTurn &) = delete;
};

// Records `path`; returns its slot, or -1 when every slot is taken.
int enter_live_temporaries(const path_char *path) {
    for (int i = 0; i < live_temporary_slots; ++i) {
        LiveSlot &slot = live_temporaries[i];
        int expected = LiveSlot::empty;
        if (!slot.state.compare_exchange_strong(expected, LiveSlot::filling)) continue;
        BoundedText<path_char>(slot.path, temporary_path_capacity).append(path);
        slot.state.store(LiveSlot::live, std::memory_order_release);
        return i;
    }
    return -1;
}

void leave_live_temporaries(int slot) {
    if (slot >= 0) live_temporaries[slot].state.store(LiveSlot::empty);
}

// The output's folder and ".carvelo-<random hex>.part" into `temporary`; false when it does not
// fit.
bool name_temporary(const path_char *output_path, path_char *temporary) {
    std::uint64_t random;
    if (!random_bits(random)) // only the clock is left: O_EXCL still refuses a taken name
        random =
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    BoundedText<path_char> name(temporary, temporary_path_capacity);
    const auto folder_length = static_cast<int>(final_component(output_path) - output_path);
    name.append(output_path, folder_length).append(PATH_TEXT(".carvelo-")).append_hex(random);
    return name.append(PATH_TEXT(".part")).complete();
}

// Stores each LF as CR LF, passing the runs between them through unchanged.
bool write_expanding_newlines(std::FILE *stream, const char *bytes, std::size_t count) {
    while (count > 0) {
        const void *newline = std::memchr(bytes, '\n', count);
        std::size_t run = newline ? static_cast<const char *>(newline) - bytes : count;
        if (std::fwrite(bytes, 1, run, stream) != run) return false;
        if (newline == nullptr) return true;
        if (std::fwrite("\r\n", 1, 2, stream) != 2) return false;
        bytes += run + 1;
        count -= run + 1;
    }
    return true;
}

} // namespace

bool file_write(OutputFile &file, const char *bytes, std::size_t count) {
    if (file.expand_newlines) return write_expanding_newlines(file.stream, bytes, count);
    return std::fwrite(bytes, 1, count, file.stream) == count;
}

bool file_close(OutputFile &file) {
    if (file.stream == nullptr) return true;
    bool stored = std::fclose(file.stream) == 0;
    file.stream = nullptr;
    return stored;
}

BodyFile::BodyFile(const path_char *output_path, const path_char *mode)
    : output_path_(output_path), mode_(mode) {
    temporary_[0] = path_char{};
}

BodyFile::~BodyFile() {
    if (created_ && !committed_) {
        file_close(file_);
        file_remove(temporary_);
        leave_live_temporaries(live_slot_);
    }
}

bool BodyFile::add(const char *bytes, int count) {
    if (count == 0) return true;
    if (!created_ && !create()) return false;
    return file_write(file_, bytes, static_cast<std::size_t>(count));
}

bool BodyFile::create() {
    for (int attempt = 0; attempt < naming_attempts; ++attempt) {
        if (!name_temporary(output_path_, temporary_)) return false;
        Creation creation;
        {
            CreationTurn turn;
            live_slot_ = enter_live_temporaries(temporary_);
            creation = file_create_new(file_, temporary_, mode_);
        }
        if (creation == Creation::created) return created_ = true;
        leave_live_temporaries(live_slot_);
        if (creation == Creation::failed) return false;
    }
    return false;
}

bool BodyFile::commit() {
    bool stored = file_take_permissions(file_, output_path_) && file_close(file_) &&
                  file_replace(temporary_, output_path_);
    if (!stored) {
        file_close(file_);
        file_remove(temporary_);
    }
    leave_live_temporaries(live_slot_);
    committed_ = true; // the temporary is gone either way
    return stored;
}

void remove_live_temporaries() {
    while (creating_temporary.test_and_set(std::memory_order_acquire)) {
    }
    for (LiveSlot &slot : live_temporaries)
        if (slot.state.load(std::memory_order_acquire) == LiveSlot::live) file_remove(slot.path);
}
