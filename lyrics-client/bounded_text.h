// Building a string in a fixed buffer without ever writing past it.
#pragma once

#include <type_traits>

template <typename Char>
class BoundedText {
public:
    // `capacity` counts characters, terminator included; it must be at least 1.
    BoundedText(Char *buffer, int capacity) : buffer_(buffer), capacity_(capacity) {
        buffer_[0] = Char{};
    }

    // Appends `count` characters of `text`; what does not fit is cut off,
    // and with it a character that would lose its end (UTF-8 bytes or the
    // first half of a UTF-16 surrogate pair), so a cut text stays readable.
    BoundedText &append(const Char *text, int count) {
        for (int i = 0; i < count; ++i) {
            if (length_ + 1 >= capacity_) {
                cut_ = true;
                drop_unfinished_character();
                break;
            }
            buffer_[length_++] = text[i];
        }
        buffer_[length_] = Char{};
        return *this;
    }

    BoundedText &append(const Char *text) {
        int count = 0;
        while (text[count] != Char{}) ++count;
        return append(text, count);
    }

    BoundedText &append_hex(unsigned long long value) {
        Char digits[2 * sizeof value];
        int count = 0;
        do {
            digits[sizeof digits / sizeof *digits - 1 - count++] = "0123456789abcdef"[value & 15];
            value >>= 4;
        } while (value != 0);
        return append(digits + sizeof digits / sizeof *digits - count, count);
    }

    // True while nothing had to be cut off.
    bool complete() const { return !cut_; }
    int length() const { return length_; }

private:
    void drop_unfinished_character() {
        if constexpr (sizeof(Char) == 1) {
            // The last lead byte stands before at most three continuation bytes
            // (10xxxxxx); its high bits tell how many it wants.
            int lead = length_ - 1;
            while (lead >= 0 && length_ - lead <= 3 && (unit(lead) & 0xC0) == 0x80) --lead;
            if (lead < 0 || unit(lead) < 0xC0) return;
            int wanted = unit(lead) >= 0xF0 ? 4 : unit(lead) >= 0xE0 ? 3 : 2;
            if (length_ - lead < wanted) length_ = lead;
        } else if constexpr (sizeof(Char) == 2) {
            if (length_ > 0 && unit(length_ - 1) >= 0xD800 && unit(length_ - 1) <= 0xDBFF)
                --length_;
        }
    }
    unsigned unit(int index) const {
        return static_cast<std::make_unsigned_t<Char>>(buffer_[index]);
    }

    Char *buffer_;
    int capacity_;
    int length_ = 0;
    bool cut_ = false;
};
