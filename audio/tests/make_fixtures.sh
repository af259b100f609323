#!/usr/bin/env bash
# Generates the audio tests' media into DIR: sox tones encoded with lame, flac and oggenc,
# the PCM of reference decoders beside them (NAME.raw), and files edited or tagged byte by byte.
set -euo pipefail
dir=${1:?usage: make_fixtures.sh DIR}
rm -rf "$dir" && mkdir -p "$dir" # no stale files: the tool test takes every *.tags
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
mp3 part_44100 44100 2 0.5 -b 128 -t
mp3 part_22050 22050 2 0.5 -b 64 -t
cat "$dir/part_44100.mp3" "$dir/part_22050.mp3" >"$dir/rate_change.mp3"
printf 'This is not MPEG audio at all.\n%.0s' {1..400} >"$dir/not_audio.mp3"
# mpg123's PCM in the format the tests ask for, mixed and resampled as the decoder has it do;
# through a pipe where the rate changes, as mpg123 then rewinds a file it writes.
mpg123 -q -s -r 22050 -0 --resample NtoM "$dir/stereo_44100.mp3" >"$dir/stereo_44100.mp3.raw"
mpg123 -q -s -r 48000 --stereo --resample NtoM "$dir/mono_22050.mp3" >"$dir/mono_22050.mp3.raw"
mpg123 -q -s "$dir"/part_{44100,22050}.mp3 | cat >"$dir/rate_change.mp3.raw"

flac_tone() { # NAME RATE CHANNELS SECONDS BITS FLAC_OPTIONS...
  synth "$work/$1.raw" "$2" "$3" "$4" "$5"
  flac -s -f --force-raw-format --endian=little --sign=signed --sample-rate="$2" --channels="$3" \
       --bps="$5" "${@:6}" -o "$dir/$1.flac" "$work/$1.raw"
  # Decoded by sox's libFLAC as the decoder delivers it: the first two channels, or the one on both.
  sox "$dir/$1.flac" -t raw "$dir/$1.flac.raw" remix 1 "$((($3 > 1) + 1))"
}
flac_tone stereo_44100 44100 2 3.0 16 --blocksize=4096
flac_tone small_blocks 44100 2 1.0 16 --blocksize=256 -T TITLE=Later -T ALBUM=Later
flac_tone mono_22050 22050 1 1.0 16
flac_tone six_channels 48000 6 1.0 16
flac_tone bits8 8000 1 0.5 8
flac_tone bits24 44100 2 0.5 24

ogg_tone() { # NAME RATE CHANNELS SECONDS OGGENC_OPTIONS...
  synth "$work/$1.wav" "$2" "$3" "$4"
  oggenc -Q "${@:5}" -o "$dir/$1.ogg" "$work/$1.wav"
  oggdec -Q -R -o "$dir/$1.ogg.raw" "$dir/$1.ogg"
}
ogg_tone stereo_44100 44100 2 3.0
ogg_tone mono_22050 22050 1 1.0 -c TITLE=First -c ARTIST=Tolmek -c TITLE=Second \
  -c title=lower -c ALBUM=A~B -c GENRE=Pop
for kind in mp3 flac ogg; do head -c 100 "$dir/stereo_44100.$kind" >"$dir/head.$kind"; done

# tagged.flac: a comment block before the encoder's. zero_total, zero_rate, understated.flac:
# no length, 0 Hz, a largest block below the blocks'. mono_22050.ogg: "~" becomes 0xFF, which
# encoders refuse, under a new checksum. id3_*.mp3: a short tone between hand-made tags.
python3 - "$dir" <<'PYTHON'
import struct, sys, zlib
def read(name): return bytearray(open(f"{sys.argv[1]}/{name}", "rb").read())
def write(name, data): open(f"{sys.argv[1]}/{name}", "wb").write(data)
block = struct.pack("<I4sI", 4, b"hand", 6) + b"".join(struct.pack("<I", len(c)) + c for c in
    [b"TITLE=First", b"ARTIST=Tolmek", b"TITLE=Second", b"title=lower", b"ALBUM=A\xffB",
     b"GENRE=Pop"])
# STREAMINFO from byte 8: largest block at 10, then at 18 20 bits of rate, 3 of channels - 1
# (here 1), 5 of bits - 1 (here 15) and 36 of length.
for name, at, new, old in [("tagged", 42, b"\4" + len(block).to_bytes(3, "big") + block, 0),
                           ("zero_total", 22, bytes(4), 4), ("zero_rate", 18, b"\0\0\x02", 3),
                           ("understated", 10, b"\0\x10", 2)]:
    data = read("small_blocks.flac")
    data[at:at + old] = new  # old bytes replaced
    write(f"{name}.flac", data)
def reversed_bits(value, bits): return int(f"{value:0{bits}b}"[::-1], 2)
def ogg_crc(page):  # zlib's CRC-32 with the bits reversed, without its initial and final inversion
    crc = zlib.crc32(bytes(reversed_bits(byte, 8) for byte in page), 0xFFFFFFFF) ^ 0xFFFFFFFF
    return reversed_bits(crc, 32).to_bytes(4, "little")
ogg = read("mono_22050.ogg")
at = ogg.index(b"ALBUM=A~B") + 7
page = ogg.rindex(b"OggS", 0, at)
end = page + 27 + ogg[page + 26] + sum(ogg[page + 27:page + 27 + ogg[page + 26]])
ogg[at], ogg[page + 22:page + 26] = 0xFF, bytes(4)
ogg[page + 22:page + 26] = ogg_crc(ogg[page:end])
write("mono_22050.ogg", ogg)
mp3 = read("stereo_44100.mp3")  # with bytes that are no MPEG audio in the middle
write("damaged.mp3", mp3[:20000] + read("not_audio.mp3")[:3000] + mp3[20000:])

# ID3v2 frames are (id, encoding byte + text); their sizes are plain in version 3,
# syncsafe (7 bits a byte) in 4, as is the tag's own.
def id3v2(version, *frames):
    size = lambda n, bits=7: bytes(n >> bits * i & (1 << bits) - 1 for i in (3, 2, 1, 0))
    body = b"".join(i + size(len(f), 7 if version == 4 else 8) + b"\0\0" + f for i, f in frames)
    return b"ID3" + bytes([version, 0, 0]) + size(len(body)) + body
def id3v1(title, artist=b"", year=b""):  # no album, comment or genre
    fields = title.ljust(30, b"\0") + artist.ljust(60, b"\0") + year.ljust(34, b"\0")
    return b"TAG" + fields + b"\xff"
# NAME.tags: the native encoding to set (or none), then the lines tolmek tags prints.
def expect(name, encoding, lines): write(f"{name}.tags", f"{encoding}\n{lines}\n".encode())
audio = read("short_mono_16000.mp3")
def id3(name, encoding, tags, v2=b"", v1=b""):
    write(f"id3_{name}.mp3", v2 + audio + v1)
    expect(f"id3_{name}.mp3", encoding, tags)
latin1, utf16, utf8 = b"\0", b"\1", b"\3"  # the encoding bytes
cp949, bad = "한글 노래".encode("cp949"), "\ufffd"  # for each ill-formed part
# Only ISO-8859-1 texts are re-decoded; a cut character ends the text; a text may grow threefold.
id3("grows", "CP1252", "title: " + "€" * 30 + "\nyear: 2001\ngenre: Pop\ndescription: C",
    id3v2(3, (b"TIT2", latin1 + b"\x80" * 30), (b"TYER", latin1 + b"2001"),
          (b"TCON", latin1 + b"Pop"), (b"COMM", latin1 + b"eng\0C")))
id3("cp949", "CP949", "title: 한글 노래\nalbum: Caf",
    id3v2(4, (b"TIT2", latin1 + cp949), (b"TALB", latin1 + b"Caf\xe9")))
# First lines, in any encoding.
id3("lines", "", "title: 첫 줄\nalbum: 앨범",
    id3v2(4, (b"TIT2", utf8 + "첫 줄\n둘째".encode()),
          (b"TALB", utf16 + b"\xff\xfe" + "앨범\rB".encode("utf-16-le"))))
# ID3v2 wins with an album alone.
id3("album_only", "", "album: B", id3v2(3, (b"TALB", latin1 + b"B")), id3v1(b"Old", year=b"1987"))
id3("ill_formed", "", f"title: A{bad}B{bad}C{bad}{bad}\nartist: A{bad}{bad}{bad}",  # a surrogate
    id3v2(4, (b"TIT2", utf8 + b"A\xffB\xe2\x82C\xe0\x80"),
          (b"TPE1", utf16 + b"\xff\xfeA\0\0\xdc\n\0")))
id3("v1_latin1", "", f"title: Caf{bad}", v1=id3v1(b"Caf\xe9"))
id3("v1", "CP1252", "title: " + "€" * 30 + "\nartist: Tolmek\nyear: 1987",  # spaces trimmed
    v1=id3v1(b"\x80" * 30, b"Tolmek".ljust(30), b"1987"))
# Upper-case keys of the first comment block, the later winning.
for name in ["tagged.flac", "mono_22050.ogg"]:
    expect(name, "", f"title: Second\nartist: Tolmek\nalbum: A{bad}B\ngenre: Pop")
PYTHON
cp "$dir/small_blocks.flac.raw" "$dir/zero_total.flac.raw"
