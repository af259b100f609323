#!/usr/bin/env bash
# Generates the media fixtures of the audio tests into DIR: tones made with
# sox, encoded with lame, flac and oggenc, with the PCM that flac -d and
# oggdec deliver for them (NAME.raw), and files edited byte by byte.
# Usage: make_fixtures.sh DIR
set -euo pipefail

dir=${1:?usage: make_fixtures.sh DIR}
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# synth FILE RATE CHANNELS SECONDS [BITS]: signed samples, WAV or raw by the
# file's extension, a pitch per channel so that swapped channels show.
synth() {
  local voices=() i
  for ((i = 0; i < $3; i++)); do voices+=(sine $((440 + 220 * i))); done
  sox -q -n -r "$2" -c "$3" -b "${5:-16}" -e signed "$1" synth "$4" "${voices[@]}" gain -3
}

# mp3 NAME RATE CHANNELS SECONDS [lame options...]
mp3() {
  synth "$work/$1.wav" "$2" "$3" "$4"
  lame --quiet "${@:5}" "$work/$1.wav" "$dir/$1.mp3"
}
mp3 stereo_44100 44100 2 2.0 -b 128
mp3 mono_22050 22050 1 1.5 -b 64
mp3 stereo_32000 32000 2 1.0 -b 96
mp3 short_mono_16000 16000 1 0.3 -b 32
mp3 long_stereo_44100 44100 2 30.0 -b 192 # for the benchmarks
# Variable bit rate without the Info frame that states the length.
mp3 vbr_no_info_44100 44100 2 3.0 -V 2 -t
# Two rates one after the other: decoding them meets a format change.
mp3 part_44100 44100 2 0.5 -b 128 -t
mp3 part_22050 22050 2 0.5 -b 64 -t
cat "$dir/part_44100.mp3" "$dir/part_22050.mp3" >"$dir/rate_change.mp3"
# A title in CP949 bytes in a frame marked ISO-8859-1, as legacy Korean
# taggers wrote it: lame stores the Latin-1 reading of those bytes as such.
title=$(printf '한글 노래' | iconv -f UTF-8 -t CP949 | iconv -f LATIN1 -t UTF-8)
LC_ALL=C.UTF-8 mp3 tagged_cp949 16000 1 0.3 -b 32 --id3v2-only --id3v2-latin1 \
  --tt "$title" --ta 'Tolmek Ensemble' --ty 2024
printf 'This is not MPEG audio at all.\n%.0s' {1..400} >"$dir/not_audio.mp3"

# flac_tone NAME RATE CHANNELS SECONDS BITS [flac options...]
raw=(--force-raw-format --endian=little --sign=signed)
flac_tone() {
  synth "$work/$1.raw" "$2" "$3" "$4" "$5"
  flac -s -f "${raw[@]}" --sample-rate="$2" --channels="$3" --bps="$5" "${@:6}" \
       -o "$dir/$1.flac" "$work/$1.raw"
  # The PCM of flac -d as the decoder delivers it: the first two channels,
  # or the single one on both.
  flac -s -f -d "${raw[@]}" -o "$work/$1.decoded" "$dir/$1.flac"
  sox -t raw -r "$2" -e signed -b "$5" -c "$3" "$work/$1.decoded" -t raw "$dir/$1.flac.raw" \
      remix 1 "$((($3 > 1) + 1))"
}
flac_tone stereo_44100 44100 2 3.0 16 --blocksize=4096
flac_tone small_blocks 44100 2 1.0 16 --blocksize=256 -T TITLE=Later -T ALBUM=Later
flac_tone mono_22050 22050 1 1.0 16
flac_tone six_channels 48000 6 1.0 16
flac_tone bits8 8000 1 0.5 8
flac_tone bits24 44100 2 0.5 24
flac_tone long_stereo_44100 44100 2 30.0 16

# ogg_tone NAME RATE CHANNELS SECONDS [oggenc options...]
ogg_tone() {
  synth "$work/$1.wav" "$2" "$3" "$4"
  oggenc -Q "${@:5}" -o "$dir/$1.ogg" "$work/$1.wav"
  oggdec -Q -R -o "$dir/$1.ogg.raw" "$dir/$1.ogg"
}
ogg_tone stereo_44100 44100 2 3.0
ogg_tone mono_22050 22050 1 1.0 -c TITLE=First -c ARTIST=Tolmek -c TITLE=Second \
  -c title=lower -c DATE=2024 -c ALBUM=A~B

# tagged.flac: a comment block made by hand before the encoder's, of which
# only the first counts. zero_total.flac: no total length in STREAMINFO
# (bits at bytes 21 to 25). mono_22050.ogg: the album's "~" becomes a stray
# 0xFF byte, which the encoders refuse, under a new page checksum.
python3 - "$dir" <<'PYTHON'
import struct, sys
def edit(name, change, out=None):
    data = bytearray(open(f"{sys.argv[1]}/{name}", "rb").read())
    change(data)
    open(f"{sys.argv[1]}/{out or name}", "wb").write(data)
def add_block(data):
    comments = [b"TITLE=First", b"ARTIST=Tolmek", b"TITLE=Second", b"title=lower", b"DATE=2024",
                b"ALBUM=A\xffB"]
    body = struct.pack("<I4sI", 4, b"hand", len(comments))
    body += b"".join(struct.pack("<I", len(c)) + c for c in comments)
    data[42:42] = bytes([4]) + len(body).to_bytes(3, "big") + body
def zero_total(data):
    data[21] &= 0xF0
    data[22:26] = bytes(4)
def crc(data, value=0):
    for byte in data:
        value ^= byte << 24
        for _ in range(8):
            value = ((value << 1) ^ (0x04C11DB7 if value >> 31 else 0)) & 0xFFFFFFFF
    return value
def stray_byte(data):
    at = data.index(b"ALBUM=A~B") + 7
    data[at] = 0xFF
    page = data.rindex(b"OggS", 0, at)
    segments = data[page + 26]
    end = page + 27 + segments + sum(data[page + 27:page + 27 + segments])
    data[page + 22:page + 26] = bytes(4)
    data[page + 22:page + 26] = crc(data[page:end]).to_bytes(4, "little")
edit("small_blocks.flac", add_block, "tagged.flac")
edit("small_blocks.flac", zero_total, "zero_total.flac")
edit("mono_22050.ogg", stray_byte)
PYTHON
cp "$dir/small_blocks.flac.raw" "$dir/zero_total.flac.raw"
