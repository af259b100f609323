#!/usr/bin/env bash
# Generates the audio tests' media into DIR: sox tones encoded with lame, flac
# and oggenc, the PCM of flac -d and oggdec beside them (NAME.raw), and files
# edited byte by byte. Usage: make_fixtures.sh DIR
set -euo pipefail
dir=${1:?usage: make_fixtures.sh DIR}
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

synth() { # FILE RATE CHANNELS SECONDS [BITS]: a pitch per channel, so that swaps show
  local voices=() i
  for ((i = 0; i < $3; i++)); do voices+=(sine $((440 + 220 * i))); done
  sox -q -n -r "$2" -c "$3" -b "${5:-16}" -e signed "$1" synth "$4" "${voices[@]}" gain -3
}
mp3() { # NAME RATE CHANNELS SECONDS LAME_OPTIONS...
  synth "$work/$1.wav" "$2" "$3" "$4"
  lame --quiet "${@:5}" "$work/$1.wav" "$dir/$1.mp3"
}
mp3 stereo_44100 44100 2 2.0 -b 128
mp3 mono_22050 22050 1 1.5 -b 64
mp3 short_mono_16000 16000 1 0.3 -b 32
mp3 long_stereo_44100 44100 2 30.0 -b 192 # for the benchmarks
mp3 part_44100 44100 2 0.5 -b 128 -t
mp3 part_22050 22050 2 0.5 -b 64 -t
cat "$dir/part_44100.mp3" "$dir/part_22050.mp3" >"$dir/rate_change.mp3"
# CP949 bytes in a frame marked ISO-8859-1, as legacy Korean taggers wrote them.
title=$(printf '한글 노래' | iconv -f UTF-8 -t CP949 | iconv -f LATIN1 -t UTF-8)
LC_ALL=C.UTF-8 mp3 tagged_cp949 16000 1 0.3 -b 32 --id3v2-only --id3v2-latin1 \
  --tt "$title" --ta 'Tolmek Ensemble' --ty 2024
printf 'This is not MPEG audio at all.\n%.0s' {1..400} >"$dir/not_audio.mp3"

raw=(--force-raw-format --endian=little --sign=signed)
flac_tone() { # NAME RATE CHANNELS SECONDS BITS FLAC_OPTIONS...
  synth "$work/$1.raw" "$2" "$3" "$4" "$5"
  flac -s -f "${raw[@]}" --sample-rate="$2" --channels="$3" --bps="$5" "${@:6}" \
       -o "$dir/$1.flac" "$work/$1.raw"
  flac -s -f -d "${raw[@]}" -o "$work/$1.decoded" "$dir/$1.flac"
  # As the decoder delivers it: the first two channels, or the one on both.
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

ogg_tone() { # NAME RATE CHANNELS SECONDS OGGENC_OPTIONS...
  synth "$work/$1.wav" "$2" "$3" "$4"
  oggenc -Q "${@:5}" -o "$dir/$1.ogg" "$work/$1.wav"
  oggdec -Q -R -o "$dir/$1.ogg.raw" "$dir/$1.ogg"
}
ogg_tone stereo_44100 44100 2 3.0
ogg_tone mono_22050 22050 1 1.0 -c TITLE=First -c ARTIST=Tolmek -c TITLE=Second \
  -c title=lower -c ALBUM=A~B

# tagged.flac: a comment block before the encoder's. zero_total.flac: no total
# length. understated.flac: a largest block below the blocks'. zero_rate.flac: 0 Hz.
# mono_22050.ogg: "~" becomes 0xFF, which encoders refuse, under a new checksum.
python3 - "$dir" <<'PYTHON'
import struct, sys
def edit(name, out, change):
    data = bytearray(open(f"{sys.argv[1]}/{name}", "rb").read())
    change(data)
    open(f"{sys.argv[1]}/{out}", "wb").write(data)
def add_block(data):
    comments = [b"TITLE=First", b"ARTIST=Tolmek", b"TITLE=Second", b"title=lower", b"ALBUM=A\xffB"]
    body = struct.pack("<I4sI", 4, b"hand", len(comments))
    body += b"".join(struct.pack("<I", len(c)) + c for c in comments)
    data[42:42] = bytes([4]) + len(body).to_bytes(3, "big") + body
def zero_total(data):
    data[21], data[22:26] = data[21] & 0xF0, bytes(4)
def understated(data):
    data[10:12] = b"\0\x10"
def zero_rate(data):
    data[18:21] = bytes([0, 0, data[20] & 0x0F])
def ogg_crc(page, value=0):
    for byte in page:
        value ^= byte << 24
        for _ in range(8):
            value = ((value << 1) ^ (0x04C11DB7 if value >> 31 else 0)) & 0xFFFFFFFF
    return value.to_bytes(4, "little")
def stray_byte(data):
    at = data.index(b"ALBUM=A~B") + 7
    page = data.rindex(b"OggS", 0, at)
    segments = data[page + 27:page + 27 + data[page + 26]]
    data[at], data[page + 22:page + 26] = 0xFF, bytes(4)
    data[page + 22:page + 26] = ogg_crc(data[page:page + 27 + len(segments) + sum(segments)])
edit("small_blocks.flac", "tagged.flac", add_block)
edit("small_blocks.flac", "zero_total.flac", zero_total)
edit("small_blocks.flac", "zero_rate.flac", zero_rate)
edit("small_blocks.flac", "understated.flac", understated)
edit("mono_22050.ogg", "mono_22050.ogg", stray_byte)
PYTHON
cp "$dir/small_blocks.flac.raw" "$dir/zero_total.flac.raw"
