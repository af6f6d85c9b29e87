#!/usr/bin/env bash
# Makes the small audio files of tests/data/audio (committed; run again only to change them).
# Needs sox, lame, ffmpeg and python3. Every file is a 1 kHz sine at half scale unless named
# otherwise, so tests can check levels and spectra as well as lengths.
set -euo pipefail
out="$(cd "$(dirname "$0")/.." && pwd)/tests/data/audio"
mkdir -p "$out"
cd "$out"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

sine() { # sine <rate> <channels> <seconds> <file> [sox output options...]
  local rate=$1 ch=$2 secs=$3 file=$4
  shift 4
  sox -n -r "$rate" -c "$ch" "$@" "$file" synth "$secs" sine 1000 vol 0.5
}

# WAV: 8/16/24-bit integer and 32-bit float, mono and stereo, three rates.
sine 22050 1 0.5 wav_u8_mono_22050.wav -b 8 -e unsigned-integer
sine 44100 2 0.5 wav_s16_stereo_44100.wav -b 16 -e signed-integer
sine 48000 1 0.5 wav_s24_mono_48000.wav -b 24 -e signed-integer
sine 48000 1 0.25 wav_f32_mono_48000.wav -b 32 -e floating-point
# A longer mono file for playback timing tests (2 s).
sine 44100 1 2 wav_s16_mono_44100_2s.wav -b 16 -e signed-integer

# Ogg Vorbis: the stream's granule positions give the exact sample count.
sine 44100 2 1 "$tmp/ogg44.wav" -b 16
sine 22050 1 1 "$tmp/ogg22.wav" -b 16
sine 48000 2 0.5 "$tmp/ogg48.wav" -b 16
ffmpeg -v error -y -i "$tmp/ogg44.wav" -c:a libvorbis -q:a 0 ogg_stereo_44100.ogg
ffmpeg -v error -y -i "$tmp/ogg22.wav" -c:a libvorbis -q:a 0 ogg_mono_22050.ogg
ffmpeg -v error -y -i "$tmp/ogg48.wav" -c:a libvorbis -q:a 0 ogg_stereo_48000.ogg

# MP3: CBR with a LAME/Info header (gapless), VBR with and without a Xing header, mono at
# 22050 Hz, stereo at 48000 Hz, and one behind an ID3v2 tag. 1 s each (44100 frames at 44.1k).
sine 44100 2 1 "$tmp/mp3_44.wav" -b 16
sine 22050 1 1 "$tmp/mp3_22.wav" -b 16
sine 48000 2 1 "$tmp/mp3_48.wav" -b 16
lame --quiet -b 128 "$tmp/mp3_44.wav" mp3_cbr_stereo_44100.mp3
lame --quiet -V 4 "$tmp/mp3_44.wav" mp3_vbr_xing_stereo_44100.mp3
lame --quiet -V 4 -t "$tmp/mp3_44.wav" mp3_vbr_noxing_stereo_44100.mp3
lame --quiet -b 32 -m m "$tmp/mp3_22.wav" mp3_cbr_mono_22050.mp3
lame --quiet -b 128 "$tmp/mp3_48.wav" mp3_cbr_stereo_48000.mp3
lame --quiet -b 64 --tt "Tagged" --ta "Mirvane" --id3v2-only --pad-id3v2-size 2000 \
  "$tmp/mp3_22.wav" mp3_id3v2_mono_22050.mp3

# MP2 through ffmpeg's encoder (no gapless information: whole frames of 1152 samples).
ffmpeg -v error -y -i "$tmp/mp3_44.wav" -c:a mp2 -b:a 128k mp2_stereo_44100.mp2

# MP1: no encoder for layer I is at hand, so write one directly: 40 mono frames at
# 44100 Hz, 128 kbit/s, no CRC; subband 2 carries a square wave, the rest is silent. Every
# frame decodes to 384 samples, 15360 in all.
python3 - <<'PY'
frames = []
for n in range(40):
    bits = []
    def put(value, width):
        for i in reversed(range(width)):
            bits.append((value >> i) & 1)
    # Header: sync, MPEG-1, layer I, no CRC, 128 kbit/s (index 4), 44100 Hz (index 0),
    # no padding, private 0, single channel (3), mode extension 0, no copyright,
    # copy, no emphasis.
    put(0xFFF, 12); put(1, 1); put(3, 2); put(1, 1)
    put(4, 4); put(0, 2); put(0, 1); put(0, 1)
    put(3, 2); put(0, 2); put(0, 1); put(0, 1); put(0, 2)
    # Bit allocation: 4 bits per subband; 3 means 4 bits per sample in subband 2 only.
    for sb in range(32):
        put(3 if sb == 2 else 0, 4)
    put(12, 6)  # scale factor of subband 2
    for s in range(12):
        put(0xE if s % 2 else 0x1, 4)  # alternate high and low codes
    frame_len = 12 * 128000 // 44100 * 4
    while len(bits) % 8:
        bits.append(0)
    data = bytes(int(''.join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))
    frames.append(data + bytes(frame_len - len(data)))
open('mp1_mono_44100.mp1', 'wb').write(b''.join(frames))
PY

# A short stereo sine used by the pan and volume tests (left and right identical).
sine 44100 2 0.3 wav_s16_stereo_44100_pan.wav -b 16 -e signed-integer

du -ch "$out" | tail -1
