#!/usr/bin/python3
"""Prints what mutagen reads from an MP3 file's ID3v2 tag, for the tag interoperation tests:
    version <major>
    size <bytes of the tag, header included>
    <frame ID> <text as Latin-1 hex>     for TIT2 TPE1 TALB TYER TCON TRCK
    COMM <text as Latin-1 hex>           the first comment with an empty description
Exit status 3 when mutagen finds no tag.
"""
import sys

from mutagen.id3 import ID3, ID3NoHeaderError


def main():
    try:
        tags = ID3(sys.argv[1], translate=False)
    except ID3NoHeaderError:
        sys.exit(3)
    print("version", tags.version[1])
    print("size", tags.size)
    for fid in ("TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK"):
        if fid in tags:
            print(fid, str(tags[fid].text[0]).encode("latin-1", "replace").hex())
    comments = [f for f in tags.getall("COMM") if f.desc == ""]
    if comments:
        print("COMM", str(comments[0].text[0]).encode("latin-1", "replace").hex())


if __name__ == "__main__":
    main()
