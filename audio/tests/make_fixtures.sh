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

# tone NAME RATE CHANNELS SECONDS [lame options...]
# Different pitches per channel, so that swapped or mixed channels show.
tone() {
  local name=$1 rate=$2 channels=$3 seconds=$4
  shift 4
  local voices=(sine 440)
  [ "$channels" = 2 ] && voices=(sine 440 sine 660)
  sox -q -n -r "$rate" -c "$channels" -b 16 "$work/$name.wav" \
      synth "$seconds" "${voices[@]}" gain -3
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
