#!/usr/bin/python3
"""Prints what mutagen reads from the ID3v2 tags of MP3 files, for the tag interoperation tests:
    file <name>                          before each file's lines
    version <major>
    size <bytes of the tag, header included>
    <frame ID> <text as Latin-1 hex>     for TIT2 TPE1 TALB TYER TCON TRCK
    COMM <text as Latin-1 hex>           the first comment with an empty description
A file without a tag prints only its "file" line.
"""
import sys

from mutagen.id3 import ID3, ID3NoHeaderError


def dump(path):
    print("file", path)
    try:
        tags = ID3(path, translate=False)
    except ID3NoHeaderError:
        return
    print("version", tags.version[1])
    print("size", tags.size)
    for fid in ("TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK"):
        if fid in tags:
            print(fid, str(tags[fid].text[0]).encode("latin-1", "replace").hex())
    comments = [f for f in tags.getall("COMM") if f.desc == ""]
    if comments:
        print("COMM", str(comments[0].text[0]).encode("latin-1", "replace").hex())


def main():
    for path in sys.argv[1:]:
        dump(path)


if __name__ == "__main__":
    main()
