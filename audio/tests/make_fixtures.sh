#!/usr/bin/env bash
# Generates the MP3 fixtures of the audio tests into DIR: tones made with
# sox and encoded with lame at several rates and channel counts, and one
# file with an ID3v2.3 tag written byte by byte.
# Usage: make_fixtures.sh DIR
set -euo pipefail

dir=${1:?usage: make_fixtures.sh DIR}
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# synth FILE RATE CHANNELS SECONDS [BITS]: a tone of signed samples, WAV
# or raw by the file's extension. Different pitches per channel, so that
# swapped or mixed channels show.
synth() {
  local voices=() i
  for ((i = 0; i < $3; i++)); do voices+=(sine $((440 + 220 * i))); done
  sox -q -n -r "$2" -c "$3" -b "${5:-16}" -e signed "$1" synth "$4" "${voices[@]}" gain -3
}

# tone NAME RATE CHANNELS SECONDS [lame options...]
tone() {
  synth "$work/$1.wav" "$2" "$3" "$4"
  local name=$1
  shift 4
  lame --quiet "$@" "$work/$name.wav" "$dir/$name.mp3"
}

tone stereo_44100 44100 2 2.0 -b 128
tone mono_22050 22050 1 1.5 -b 64
tone stereo_32000 32000 2 1.0 -b 96
tone mono_8000 8000 1 1.0 -b 16
tone short_mono_16000 16000 1 0.3 -b 32
# Without the Info frame that states the length, in variable bit rate, so
# that only a scan of the whole file knows the exact length.
tone vbr_no_info_44100 44100 2 3.0 -V 2 -t
# Two streams of different rates one after the other, each without an
# Info frame, so that decoding them meets a format change.
tone part_44100 44100 2 0.5 -b 128 -t
tone part_22050 22050 2 0.5 -b 64 -t
cat "$dir/part_44100.mp3" "$dir/part_22050.mp3" >"$dir/rate_change.mp3"
rm "$dir/part_44100.mp3" "$dir/part_22050.mp3"
# A longer one for throughput measurements.
tone long_stereo_44100 44100 2 30.0 -b 192

# An ID3v2.3 tag by hand: a title frame marked ISO-8859-1 that really holds
# CP949 bytes, as legacy Korean taggers wrote it, an artist and a year.
# Every size stays below 128, so the last byte of a size field holds it.
export LC_ALL=C # lengths in bytes
# frame ID TEXT: a text frame in ISO-8859-1
frame() { printf "%s\\0\\0\\0\\x$(printf %02x $((${#2} + 1)))\\0\\0\\0%s" "$1" "$2"; }
title=$(printf '한글 노래' | iconv -f UTF-8 -t CP949)
{ frame TIT2 "$title"; frame TPE1 'Tolmek Ensemble'; frame TYER 2024; } >"$work/frames"
{
  printf "ID3\\3\\0\\0\\0\\0\\0\\x$(printf %02x "$(stat -c %s "$work/frames")")"
  cat "$work/frames" "$dir/short_mono_16000.mp3"
} >"$dir/tagged_cp949.mp3"

printf 'This is not MPEG audio at all.\n%.0s' {1..400} >"$dir/not_audio.mp3"

# FLAC files, each with its PCM as flac -d delivers it (all channels, raw).
# flac_tone NAME RATE CHANNELS SECONDS BITS [flac options...]
raw=(--force-raw-format --endian=little --sign=signed)
flac_tone() {
  synth "$work/$1.raw" "$2" "$3" "$4" "$5"
  flac -s -f "${raw[@]}" --sample-rate="$2" --channels="$3" --bps="$5" "${@:6}" \
       -o "$dir/$1.flac" "$work/$1.raw"
  flac -s -f -d "${raw[@]}" -o "$dir/$1.flac.raw" "$dir/$1.flac"
}
flac_tone stereo_44100 44100 2 3.0 16 --blocksize=4096
flac_tone small_blocks 44100 2 1.0 16 --blocksize=256
flac_tone mono_22050 22050 1 1.0 16
flac_tone six_channels 48000 6 1.0 16
flac_tone bits8 8000 1 0.5 8
flac_tone bits24 44100 2 0.5 24
flac_tone long_stereo_44100 44100 2 30.0 16
rm "$dir/long_stereo_44100.flac.raw"
# Comments in two blocks, of which only the first counts: the encoder's,
# and before it one made by hand (after the STREAMINFO block, bytes 8 to
# 41) with upper- and lower-case keys, a repeated TITLE and a DATE. Then a
# STREAMINFO that does not state the total length (bits at bytes 21 to 25).
flac -s -f "${raw[@]}" --sample-rate=44100 --channels=2 --bps=16 --blocksize=256 \
     -T TITLE=Later -T ALBUM=Later -o "$work/tagged.flac" "$work/small_blocks.raw"
python3 - "$dir" "$work/tagged.flac" <<'PYTHON'
import struct, sys
comments = [b"TITLE=First", b"ARTIST=Tolmek", b"title=lower", b"TITLE=Second", b"DATE=2024",
            b"ALBUM=A\xffB"]
body = struct.pack("<I", 4) + b"hand" + struct.pack("<I", len(comments))
body += b"".join(struct.pack("<I", len(c)) + c for c in comments)
data = bytearray(open(sys.argv[2], "rb").read())
data[42:42] = bytes([4]) + len(body).to_bytes(3, "big") + body
open(sys.argv[1] + "/tagged.flac", "wb").write(data)
data = bytearray(open(sys.argv[1] + "/small_blocks.flac", "rb").read())
data[21] &= 0xF0
data[22:26] = bytes(4)
open(sys.argv[1] + "/zero_total.flac", "wb").write(data)
PYTHON

# Ogg Vorbis files, each with its PCM as oggdec delivers it (raw).
# ogg_tone NAME RATE CHANNELS SECONDS [oggenc options...]
ogg_tone() {
  synth "$work/$1.wav" "$2" "$3" "$4"
  local name=$1
  shift 4
  oggenc -Q "$@" -o "$dir/$name.ogg" "$work/$name.wav"
  oggdec -Q -R -o "$dir/$name.ogg.raw" "$dir/$name.ogg"
}
ogg_tone stereo_44100 44100 2 3.0
ogg_tone mono_22050 22050 1 1.0 -c TITLE=First -c ARTIST=Tolmek -c title=lower \
  -c TITLE=Second -c DATE=2024 -c ALBUM=A~B
# The encoders refuse ill-formed UTF-8: the album's "~" becomes a stray 0xFF
# byte, and its page's checksum is made again.
python3 - "$dir/mono_22050.ogg" <<'PYTHON'
import sys
def crc(page):
    value = 0
    for byte in page:
        value ^= byte << 24
        for _ in range(8):
            value = (value << 1) ^ (0x04C11DB7 if value & 0x80000000 else 0)
            value &= 0xFFFFFFFF
    return value
data = bytearray(open(sys.argv[1], "rb").read())
at = data.index(b"ALBUM=A~B") + 7
data[at] = 0xFF
page = data.rindex(b"OggS", 0, at)
length = 27 + data[page + 26]
length += sum(data[page + 27:page + length])
data[page + 22:page + 26] = bytes(4)
data[page + 22:page + 26] = crc(data[page:page + length]).to_bytes(4, "little")
open(sys.argv[1], "wb").write(data)
PYTHON
