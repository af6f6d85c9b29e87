#!/usr/bin/env python3
"""Writes the seed inputs of the tag fuzzer (tests/fuzz/corpus/seed-*): small ID3v2.3 and
ID3v2.4 tags that reach each branch of the reader, followed by a little MPEG-like audio.
The fuzzer's own findings are merged into the same folder (tests/fuzz/README.md).

Usage: tools/make_tag_fuzz_seeds.py [OUTDIR]   (default tests/fuzz/corpus)
"""
import os
import struct
import sys
import zlib


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def unsync(b):
    out = bytearray()
    for i, x in enumerate(b):
        out.append(x)
        if x == 0xFF and i + 1 < len(b) and (b[i + 1] == 0 or b[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def frame3(fid, data, status=0, fmt=0, extra=b""):
    return fid + struct.pack(">I", len(data) + len(extra)) + bytes([status, fmt]) + extra + data


def frame4(fid, data, status=0, fmt=0, extra=b""):
    return fid + syncsafe(len(data) + len(extra)) + bytes([status, fmt]) + extra + data


def tag(version, flags, body, padding=16):
    body = body + b"\0" * padding
    return b"ID3" + bytes([version, 0, flags]) + syncsafe(len(body)) + body


AUDIO = bytes([0xFF, 0xFB, 0x90, 0x64]) + bytes(range(0, 256, 7)) + b"\xff\x00\xff\xe0"
COMM_L1 = b"\x00ENG\x00A comment"
COMM_U16 = b"\x01ENG\xff\xfe\x00\x00" + "Hi".encode("utf-16-le")


def seeds():
    title = b"\x00Title \xe9"
    yield "v3-plain", tag(3, 0, frame3(b"TIT2", title) + frame3(b"TPE1", b"\x00Artist") +
                          frame3(b"COMM", COMM_L1))
    yield "v3-unsync", tag(3, 0x80, unsync(frame3(b"TIT2", b"\x00a\xff\x00b\xff\xe0") +
                                           frame3(b"TALB", b"\x00\xff")))
    ext_crc = struct.pack(">IBBI", 10, 0x80, 0, 16) + struct.pack(">I", 0x12FF00AB)
    yield "v3-ext-crc", tag(3, 0x40, ext_crc + frame3(b"TIT2", title))
    yield "v3-ext-plain", tag(3, 0x40, struct.pack(">IBBI", 6, 0, 0, 16) + frame3(b"TIT2", title))
    plain = b"\x00Compressed title text text text"
    yield "v3-compressed", tag(3, 0, frame3(b"TIT2", zlib.compress(plain), fmt=0x80,
                                            extra=struct.pack(">I", len(plain))))
    yield "v3-grouped-encrypted", tag(3, 0, frame3(b"TIT2", title, status=0xE0, fmt=0x60,
                                                   extra=b"\x01\x02"))
    yield "v3-utf16", tag(3, 0, frame3(b"TIT2", b"\x01\xff\xfe" + "Hi".encode("utf-16-le")) +
                          frame3(b"COMM", COMM_U16))
    yield "v4-plain", tag(4, 0, frame4(b"TIT2", b"\x03Title \xc3\xa9") +
                          frame4(b"TPE1", b"\x02" + "Ab".encode("utf-16-be")) +
                          frame4(b"COMM", COMM_L1))
    yield "v4-unsync-frames", tag(4, 0x80, frame4(b"TIT2", unsync(b"\x00x\xff\xe0y"), fmt=0x02) +
                                  frame4(b"TALB", unsync(b"\x00\xff\x00"), fmt=0x03,
                                         extra=syncsafe(3)))
    yield "v4-compressed-dli", tag(4, 0, frame4(b"TIT2", zlib.compress(plain), fmt=0x09,
                                                extra=syncsafe(len(plain))))
    yield "v4-grouped-dli", tag(4, 0, frame4(b"TIT2", title, fmt=0x41, extra=b"\x07" + syncsafe(len(title))))
    ext4 = syncsafe(15) + b"\x01\x70" + b"\x00" + b"\x05" + b"\x01\x02\x03\x04\x05" + b"\x01\x42"
    yield "v4-ext-all", tag(4, 0x40, ext4 + frame4(b"TIT2", title))
    yield "v4-footer", tag(4, 0x10, frame4(b"TIT2", title), padding=0) + b"3DI\x04\x00\x10" + syncsafe(len(frame4(b"TIT2", title)))
    yield "v3-mp3e-padding", tag(3, 0, frame3(b"TIT2", title) + b"MP3ext", padding=4)
    yield "v3-lowercase-id", tag(3, 0, frame3(b"tit2", title))
    yield "v3-bad-id", tag(3, 0, frame3(b"TI-2", title))
    yield "v3-text-tab", tag(3, 0, frame3(b"TIT2", b"\x00a\tb"))
    yield "v3-no-padding", tag(3, 0, frame3(b"TIT2", title), padding=0)
    yield "v3-frame-too-big", b"ID3\x03\x00\x00" + syncsafe(20) + b"TIT2\x00\x00\x10\x00\x00\x00" + b"\0" * 10
    yield "v2-version", b"ID3\x02\x00\x00" + syncsafe(10) + b"\0" * 10
    yield "no-tag", b"ID4" + AUDIO
    yield "short-file", b"ID3\x03\x00\x00" + syncsafe(100000) + b"\0" * 20


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), "..", "tests", "fuzz", "corpus")
    os.makedirs(out, exist_ok=True)
    for name, data in seeds():
        with open(os.path.join(out, "seed-" + name), "wb") as f:
            f.write(data + AUDIO)


if __name__ == "__main__":
    main()
