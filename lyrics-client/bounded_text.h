// Building a string in a fixed buffer without ever writing past it.
#pragma once

template <typename Char>
class BoundedText {
 public:
  // `capacity` counts characters, terminator included; it must be at least 1.
  BoundedText(Char *buffer, int capacity) : buffer_(buffer), capacity_(capacity) {
    buffer_[0] = Char{};
  }

  // Appends `count` characters of `text`; what does not fit is cut off.
  BoundedText &append(const Char *text, int count) {
    for (int i = 0; i < count; ++i) {
      if (length_ + 1 >= capacity_) {
        cut_ = true;
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

  BoundedText &append_hex(unsigned long value) {
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
  Char *buffer_;
  int capacity_;
  int length_ = 0;
  bool cut_ = false;
};
