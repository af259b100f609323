// The MP3 decoder: MPEG audio through mpg123, forced to the output rate
// and channel count the host wants.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <utility>

#include <mpg123.h>

#include "host_services.h"
#include "mp3_tag_encoding.h"
#include "mp3_tags.h"
#include "pcm_format.h"
#include "tags.h"

// C linkage and export come from the declaration in the public header.
uint8_t decoder_mp3_use_scan = 0;

namespace audio {
namespace {

constexpr long resync_limit = 10240; // bytes of junk passed over to find a frame

struct HandleDeleter {
    void operator()(mpg123_handle *handle) const {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};
using OwnedHandle = std::unique_ptr<mpg123_handle, HandleDeleter>;

// A file descriptor that is closed at the end of its scope unless released.
class OwnedFd {
public:
    explicit OwnedFd(int fd) : fd_(fd) {}
    OwnedFd(const OwnedFd &) = delete;
    OwnedFd &operator=(const OwnedFd &) = delete;
    ~OwnedFd() {
        if (fd_ >= 0) close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

struct Format {
    long rate;
    int channels;
    int encoding;
};

mpg123_handle *handle_of(audio_stream *stream) {
    return static_cast<mpg123_handle *>(stream->handle);
}

// The flags that force the channel count the host wants. A forced rate
// that mpg123 refused leaves the host's wish aside: stereo is forced then.
// False for a count other than 1 or 2.
bool channel_flags(bool rate_refused, long *flags) {
    if (rate_refused || sound_chans == 2) {
        *flags = MPG123_FORCE_STEREO;
        return true;
    }
    if (sound_chans == 1) {
        *flags = MPG123_FORCE_MONO;
        return true;
    }
    return false;
}

// Quiet: mpg123 would otherwise print notes on damaged streams to stderr,
// and the library writes no log.
bool configure(mpg123_handle *handle) {
    if (mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_PLAIN_ID3TEXT | MPG123_QUIET, 0.0) !=
        MPG123_OK)
        return false;
    bool rate_refused = mpg123_param(handle, MPG123_FORCE_RATE, sound_rate, 0.0) != MPG123_OK;
    long flags;
    return channel_flags(rate_refused, &flags) &&
           mpg123_param(handle, MPG123_ADD_FLAGS, flags, 0.0) == MPG123_OK &&
           mpg123_param(handle, MPG123_RESYNC_LIMIT, resync_limit, 0.0) == MPG123_OK;
}

bool announce(const Format &format) {
    return announce_pcm_format(format.channels, (int)format.rate);
}

bool open_format(mpg123_handle *handle, Format *format) {
    return mpg123_getformat(handle, &format->rate, &format->channels, &format->encoding) ==
               MPG123_OK &&
           format->encoding == MPG123_ENC_SIGNED_16 && announce(*format);
}

// Takes the format mpg123 now delivers: announces it to the host and
// records it in the stream. False when it is not signed 16-bit or the host
// refuses it; the record then keeps the format delivered before.
bool take_format(audio_stream *stream) {
    Format format{}; // an encoding of 0 when mpg123 cannot tell
    mpg123_getformat(handle_of(stream), &format.rate, &format.channels, &format.encoding);
    if (format.encoding != MPG123_ENC_SIGNED_16 || !announce(format)) return false;
    stream->length = mpg123_length(handle_of(stream));
    stream->rate = (int32_t)format.rate;
    stream->channels = format.channels;
    return true;
}

// mpg123 reports a format change once, sometimes together with the last
// bytes of the old format. read delivers those bytes first and catches the
// change on its next call here, by comparing with the record. The query
// takes a pending report with it, so a change it sees must be taken now.
bool format_changed(audio_stream *stream) {
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_getformat(handle_of(stream), &rate, &channels, &encoding);
    return rate != stream->rate || channels != stream->channels || encoding != MPG123_ENC_SIGNED_16;
}

int mp3_init() { return mpg123_init() == MPG123_OK ? 0 : -1; }

int mp3_exit() {
    mpg123_exit();
    return mp3_release_tag_converters();
}

audio_stream *mp3_open(const char *path) {
    OwnedHandle handle{mpg123_new(nullptr, nullptr)};
    if (!handle || !configure(handle.get())) return nullptr;
    OwnedFd fd{file_open(path, 0)};
    if (fd.get() < 0 || mpg123_open_fd(handle.get(), fd.get()) != MPG123_OK) return nullptr;
    if (decoder_mp3_use_scan && mpg123_scan(handle.get()) != MPG123_OK) return nullptr;
    Format format{};
    if (!open_format(handle.get(), &format)) return nullptr;
    audio_tags *found_tags;
    if (!mp3_read_tags(handle.get(), &found_tags)) return nullptr;
    OwnedTags tags{found_tags};
    auto *stream = static_cast<audio_stream *>(calloc(1, sizeof(audio_stream)));
    if (!stream) return nullptr;
    stream->length = mpg123_length(handle.get());
    stream->rate = (int32_t)format.rate;
    stream->channels = format.channels;
    stream->tags = tags.release();
    stream->fd = fd.release();
    stream->handle = handle.release();
    return stream;
}

int mp3_close(audio_stream *stream) {
    HandleDeleter{}(handle_of(stream));
    tags_free(stream->tags);
    close(stream->fd);
    free(stream);
    return 0;
}

// mpg123 ends a call early at the end of the stream and at a format change,
// reporting the event together with the bytes written before it. Those bytes
// are delivered now and the event on the next call, so that no PCM is lost.
int mp3_read(audio_stream *stream, void *buffer, size_t length) {
    length = std::min(length, (size_t)INT_MAX); // the result must fit
    if (format_changed(stream) && !take_format(stream)) return -1;
    for (;;) {
        size_t done = 0;
        int result = mpg123_read(handle_of(stream), buffer, length, &done);
        if (result == MPG123_OK || (result == MPG123_DONE && done > 0)) return (int)done;
        if (result == MPG123_DONE) return 0;
        if (result != MPG123_NEW_FORMAT) return -1;
        if (done > 0) return (int)done;
        if (!take_format(stream)) return -1;
    }
}

int mp3_seek(audio_stream *stream, int64_t position) {
    if (position < 0 || position >= stream->length) return -1;
    return mpg123_seek(handle_of(stream), (off_t)position, SEEK_SET) < 0 ? -1 : 0;
}

int64_t mp3_tell(audio_stream *stream) { return mpg123_tell(handle_of(stream)); }

constexpr const char *mp3_extensions[] = {".mp3", nullptr};

} // namespace
} // namespace audio

// C linkage and export come from the declaration in the public header.
const audio_decoder decoder_mp3 = {
    audio::mp3_extensions, // exts
    1,                     // ext_count
    audio::mp3_init,       // init: starts mpg123
    audio::mp3_exit,       // exit: stops it, releases the tag converters
    audio::mp3_open,
    audio::mp3_close,
    audio::mp3_read,
    audio::mp3_seek,
    audio::mp3_tell,
};
