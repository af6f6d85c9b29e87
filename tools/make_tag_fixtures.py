#!/usr/bin/python3
"""Writes the interoperation fixtures of the tag tests: MP3-like files tagged by mutagen (the
Debian package python3-mutagen), and expected.tsv with the texts each file holds.

    tools/make_tag_fixtures.py [OUTDIR]     (default tests/data/tags)

Files (each: an ID3v2 tag written by mutagen, then the same 4 KB of MPEG-like audio):
  v23-latin1.mp3      ID3v2.3, Latin-1 texts, 300 bytes of padding
  v23-utf16.mp3       ID3v2.3, UTF-16 texts with byte-order marks (mutagen's v2.3 form of UTF-8)
  v24-utf8.mp3        ID3v2.4, UTF-8 texts
  v24-utf16be.mp3     ID3v2.4, UTF-16BE texts (encoding 2)
  v23-picture.mp3     ID3v2.3 with a 30 KB APIC frame before the comment
  v24-picture.mp3     ID3v2.4 with the same picture
  v23-unsync.mp3      v23-picture's tag unsynchronised as a whole (header flag 0x80)
  v24-unsync.mp3      v24-picture's frames unsynchronised one by one (frame flag 0x02)
mutagen writes no unsynchronisation itself, so the last two re-emit mutagen's tag with
mutagen's own unsynch.encode; every file is read back by mutagen to check its texts.

expected.tsv: file, frame ID (COMM: the first comment with an empty description), and the text
as Latin-1 bytes in hex.
"""
import os
import random
import struct
import sys

from mutagen.id3 import (APIC, COMM, ID3, TALB, TCON, TIT2, TPE1, TRCK, TYER, PictureType)
from mutagen.id3._util import unsynch

TEXTS = {
    "TIT2": "Caf\u00e9 del Mar \u00bfqu\u00e9?",
    "TPE1": "\u00c6r\u00f8 & S\u00f6hne",
    "TALB": "Gr\u00fc\u00dfe aus K\u00f6ln",
    "TYER": "1999",
    "TCON": "(17)Rock",
    "TRCK": "4/12",
}
COMMENT = "Line one, \u00e0 la carte \u00ff!"


def audio():
    rng = random.Random(4242)
    frame = bytearray()
    while len(frame) < 4096:
        frame += b"\xff\xfb\x90\x64" + bytes(rng.randrange(256) for _ in range(413))
    return bytes(frame[:4096])


def picture():
    rng = random.Random(99)
    body = bytes(rng.randrange(256) for _ in range(30000))
    return b"\x89PNG\r\n\x1a\n" + body.replace(b"\xff\xff", b"\xff\xe0")


def make_tags(encoding, with_picture):
    tags = ID3()
    for fid, text in TEXTS.items():
        cls = {"TIT2": TIT2, "TPE1": TPE1, "TALB": TALB, "TYER": TYER, "TCON": TCON,
               "TRCK": TRCK}[fid]
        tags.add(cls(encoding=encoding, text=[text]))
    if with_picture:
        tags.add(APIC(encoding=0, mime="image/png", type=PictureType.COVER_FRONT, desc="",
                      data=picture()))
    tags.add(COMM(encoding=encoding, lang="eng", desc="", text=[COMMENT]))
    return tags


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def unsyncsafe(b):
    return (b[0] << 21) | (b[1] << 14) | (b[2] << 7) | b[3]


def split_tag(data):
    """Header, frames bytes, padding length of a tag mutagen wrote (no extended header)."""
    size = unsyncsafe(data[6:10])
    body = data[10:10 + size]
    pos = 0
    while pos + 10 <= len(body) and body[pos:pos + 4] != b"\0\0\0\0":
        fsize = struct.unpack(">I", body[pos + 4:pos + 8])[0] if data[3] == 3 \
            else unsyncsafe(body[pos + 4:pos + 8])
        pos += 10 + fsize
    return data[:10], body[:pos], len(body) - pos, data[10 + size:]


def unsync_v23(path):
    data = open(path, "rb").read()
    header, frames, padding, rest = split_tag(data)
    body = unsynch.encode(frames + b"\0" * padding)
    new = b"ID3\x03\x00" + bytes([header[5] | 0x80]) + syncsafe(len(body)) + body
    open(path, "wb").write(new + rest)


def unsync_v24(path):
    data = open(path, "rb").read()
    header, frames, padding, rest = split_tag(data)
    out = bytearray()
    pos = 0
    while pos < len(frames):
        fid = frames[pos:pos + 4]
        size = unsyncsafe(frames[pos + 4:pos + 8])
        status, fmt = frames[pos + 8], frames[pos + 9]
        payload = unsynch.encode(frames[pos + 10:pos + 10 + size])
        out += fid + syncsafe(len(payload)) + bytes([status, fmt | 0x02]) + payload
        pos += 10 + size
    body = bytes(out) + b"\0" * padding
    new = b"ID3\x04\x00" + bytes([header[5] | 0x80]) + syncsafe(len(body)) + body
    open(path, "wb").write(new + rest)


def check(path):
    tags = ID3(path, translate=False)
    for fid, text in TEXTS.items():
        got = str(tags[fid].text[0])
        assert got == text, (path, fid, got, text)
    comments = [f for f in tags.getall("COMM") if f.desc == ""]
    assert str(comments[0].text[0]) == COMMENT, (path, comments)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "tags")
    os.makedirs(out, exist_ok=True)
    plans = [
        ("v23-latin1.mp3", 3, 0, False, None),
        ("v23-utf16.mp3", 3, 1, False, None),
        ("v24-utf8.mp3", 4, 3, False, None),
        ("v24-utf16be.mp3", 4, 2, False, None),
        ("v23-picture.mp3", 3, 1, True, None),
        ("v24-picture.mp3", 4, 3, True, None),
        ("v23-unsync.mp3", 3, 0, True, unsync_v23),
        ("v24-unsync.mp3", 4, 1, True, unsync_v24),
    ]
    rows = []
    for name, version, encoding, with_picture, post in plans:
        path = os.path.join(out, name)
        with open(path, "wb") as f:
            f.write(audio())
        make_tags(encoding, with_picture).save(path, v2_version=version,
                                               padding=lambda info: 300)
        if post:
            post(path)
        check(path)
        for fid, text in TEXTS.items():
            rows.append((name, fid, text.encode("latin-1").hex()))
        rows.append((name, "COMM", COMMENT.encode("latin-1").hex()))
    with open(os.path.join(out, "expected.tsv"), "w") as f:
        f.write("# file\tframe\ttext as Latin-1 hex (written by tools/make_tag_fixtures.py)\n")
        for row in rows:
            f.write("\t".join(row) + "\n")
    with open(os.path.join(out, "audio.bin"), "wb") as f:
        f.write(audio())


if __name__ == "__main__":
    main()
