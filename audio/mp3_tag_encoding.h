// The native tag encoding of the MP3 decoder: the legacy character set that
// ID3v1 fields and ID3v2 texts marked as ISO-8859-1 are really written in,
// held as two converters shared by every stream.
#pragma once

#include "libiconv.h"

namespace audio {

// A converter is null when absent. Both are absent when no native encoding
// is set; to_latin1 is also absent when the native encoding is ISO-8859-1.
struct TagConverters {
    libiconv_t from_native; // native encoding -> UTF-8
    libiconv_t to_latin1;   // UTF-8 -> ISO-8859-1
};

// The converters in force; they stay valid until the setting changes or
// the converters are released.
TagConverters mp3_tag_converters();

// Closes both converters, from_native first. Returns 0, or -1 at the first
// that cannot be closed (it stays present, and so does any after it). The
// name of the encoding is kept.
int mp3_release_tag_converters();

} // namespace audio
