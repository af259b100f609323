#!/usr/bin/env bash
# Generates the audio tests' media into DIR: the conformance matrix of matrix.rows, each file with
# its format's own decoder's PCM (NAME.raw), its tags (NAME.tags) and its line in matrix.txt (NAME,
# host rate and channels, the number of formats, the rate, channels and bytes of each in turn, the
# read sizes); files edited or tagged byte by byte, and files no decoder takes (no formats).
set -euo pipefail
dir=${1:?usage: make_fixtures.sh DIR}
rm -rf "$dir" && mkdir -p "$dir" # no stale files: the tool test takes every *.tags
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

synth() { # FILE RATE CHANNELS SECONDS [BITS]: a pitch per channel, so that swaps show
  local voices=() i
  for ((i = 0; i < $3; i++)); do voices+=(sine $((440 + 220 * i))); done
  sox -V1 -R -n -r "$2" -c "$3" -b "${5:-16}" -e signed "$1" synth "$4" "${voices[@]}" gain -3
}
declare -A formats # by name: "RATE CHANNELS BYTES" of the PCM of each format in turn
reference() { # NAME TONE_RATE TONE_CHANNELS HOST_RATE HOST_CHANNELS: NAME.raw and its format
  local rate=$2 channels=2 forced=() raw=$dir/$1.raw
  case $1 in
    *.mp3) # forced as the decoder forces it: to no rate beyond 96 kHz, then to stereo
      (($4 > 96000)) || { rate=$4 channels=$5 forced=(-r "$4" --resample NtoM); }
      [ "$channels" = 1 ] && forced+=(-0) || forced+=(--stereo)
      mpg123 -q -s "${forced[@]}" "$dir/$1" >"$raw" ;;
    *.ogg) oggdec -Q -R -o "$raw" "$dir/$1" && channels=$3 ;;
    *.flac) # the first two channels, or the one on both
      flac -d -s -F -c --force-raw-format --endian=little --sign=signed "$dir/$1" |
        sox -t raw -r "$2" -c "$3" -b 16 -e signed - -t raw "$raw" remix 1 "$((($3 > 1) + 1))" ;;
  esac
  formats[$1]="$rate $channels $(stat -c %s "$raw")"
}
row() { # NAME RATE CHANNELS SECONDS HOST_RATE HOST_CHANNELS READS TAGS ENCODER OPTIONS...
  local in=$work/$1.wav out=$dir/$1 part
  [ "$8" = - ] || printf '\n%s\n' "${shown[$8]}" >"$dir/$1.tags"
  [[ $9 == @(links|made) ]] || synth "$in" "$2" "$3" "$4"
  case $9 in
    lame) lame --quiet "${@:10}" "$in" "$out" ;;
    oggenc) oggenc -Q "${@:10}" -o "$out" "$in" ;;
    flac) flac -s -f --channel-map=none "${@:10}" -o "$out" "$in" ;;
    ffmpeg) ffmpeg -nostdin -loglevel error -y -i "$in" "${@:10}" "$out" ;;
    links) # earlier rows one after another, decoded as they were
      for part in "${@:10}"; do
        cat "$dir/$part" >>"$out" && cat "$dir/$part.raw" >>"$out.raw"
        formats[$1]+=" ${formats[$part]}"
      done ;;
  esac
  [ "$9" = links ] || reference "$1" "$2" "$3" "$5" "$6"
  local -a pcm=(${formats[$1]})
  [ "$7" = - ] || echo "$1 $5 $6 $((${#pcm[@]} / 3)) ${pcm[*]} ${7//,/ }" >>"$dir/matrix.txt"
}
# The tags rows write, as comments and as lame's options, and as tolmek tags prints them (after the
# native encoding: none); ffmpeg writes year and comment of MP3 where mpg123 does not read them.
tags="title=봄날 artist=ovra album=Tolmek year=2024 genre=Pop description=matrix"
lame_tags="--tt 봄날 --ta ovra --tl Tolmek --ty 2024 --tg Pop --tc matrix"
all=$'title: 봄날\nartist: ovra\nalbum: Tolmek\nyear: 2024\ngenre: Pop\ndescription: matrix'
declare -A shown=([all]=$all [ffmpeg]=$'title: 봄날\nartist: ovra\nalbum: Tolmek\ngenre: Pop')
cycling=1,3,4095,2,7,65537,5
head -c 1000000 /dev/zero | tr '\0' P >"$work/cover"
while read -r line; do [[ $line == @(|\#*) ]] || eval "row $line"; done \
  <"$(dirname "$0")/matrix.rows"
printf 'This is not MPEG audio at all.\n%.0s' {1..400} >"$dir/not_audio.mp3"
for kind in mp3 flac ogg; do head -c 100 "$dir/stereo_44100.$kind" >"$dir/head.$kind"; done
for bits in 8 24; do synth "$dir/bits$bits.flac" 8000 1 0.5 $bits; done

# tagged.flac: a comment block before the encoder's. zero_total, zero_rate, understated.flac:
# no length, 0 Hz, a largest block below the blocks'. mono_22050.ogg: "~" becomes 0xFF, which
# encoders refuse, under a new checksum. id3_*.mp3: a short tone between hand-made tags.
python3 - "$dir" <<'PYTHON'
import struct, sys, zlib
def read(name): return bytearray(open(f"{sys.argv[1]}/{name}", "rb").read())
def write(name, data): open(f"{sys.argv[1]}/{name}", "wb").write(data)
block = struct.pack("<I4sI", 4, b"hand", 6) + b"".join(struct.pack("<I", len(c)) + c for c in
    [b"TITLE=First", b"Artist=Tolmek", b"TITLE=Second", b"title=Later", b"album=A\xffB",
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
at = ogg.index(b"album=A~B") + 7
page = ogg.rindex(b"OggS", 0, at)
end = page + 27 + ogg[page + 26] + sum(ogg[page + 27:page + 27 + ogg[page + 26]])
ogg[at], ogg[page + 22:page + 26] = 0xFF, bytes(4)
ogg[page + 22:page + 26] = ogg_crc(ogg[page:end])
write("mono_22050.ogg", ogg)
mp3 = read("stereo_44100.mp3")  # with bytes that are no MPEG audio in the middle
write("damaged.mp3", mp3[:20000] + read("not_audio.mp3")[:3000] + mp3[20000:])
flac = read("stereo_44100.flac")  # a frame's header lost, and cut within a frame
frame = flac.index(b"\xff\xf8", len(flac) // 2)
write("damaged.flac", flac[:frame] + bytes(6) + flac[frame + 6:])
write("cut.flac", flac[:len(flac) * 7 // 10])

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
id3("lines", "CP949", "title: 첫 줄\nalbum: 앨범",
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
write("id3_front.flac", id3v2(3, (b"TIT2", latin1 + b"Front")) + read("small_blocks.flac"))
# Keys in any letter case, the later winning; of the first comment block.
for name in ["tagged.flac", "mono_22050.ogg"]:
    expect(name, "", f"title: Later\nartist: Tolmek\nalbum: A{bad}B\ngenre: Pop")
PYTHON

for name in zero_total id3_front damaged cut; do row $name.flac 44100 2 - 0 0 $cycling - made; done
for name in flac.ogg flac.mp3 ogg.flac; do cp "$dir/stereo_44100.${name%.*}" "$dir/$name"; done
for f in missing.{mp3,ogg,flac} not_audio.mp3 bits{8,24}.flac zero_rate.flac head.{mp3,ogg,flac} \
  flac.{ogg,mp3} ogg.flac; do echo "$f 44100 2 0 1"; done >>"$dir/matrix.txt"
