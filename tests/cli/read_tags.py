#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Reads a file's tags and pictures with mutagen, each format in its own words (ID3 frames, Vorbis
# comments, MP4 atoms), and prints them as one JSON object for the tests:
#   {"kind": "MP3", "id3": 3, "tags": {"title": ..., ...}, "pictures": [{"mime", "type", "md5"}]}
import base64
import hashlib
import json
import sys

import mutagen
from mutagen.flac import Picture


def picture(mime, kind, data):
    return {"mime": mime, "type": kind, "md5": hashlib.md5(data).hexdigest()}


def mp3(f):
    t = f.tags
    def text(frame):
        return str(t[frame].text[0]) if frame in t else None
    comments = t.getall("COMM")
    tags = {"title": text("TIT2"), "artist": text("TPE1"), "album": text("TALB"), "date": text("TDRC"),
            "genre": text("TCON"), "track": text("TRCK"), "comment": comments[0].text[0] if comments else None}
    pictures = [picture(p.mime, int(p.type), p.data) for p in t.getall("APIC")]
    return tags, pictures, {"id3": t.version[1], "txxx": len(t.getall("TXXX"))}


def vorbis(f, pictures):
    def text(key):
        return f.tags[key][0] if key in f.tags else None
    tags = {"title": text("title"), "artist": text("artist"), "album": text("album"), "date": text("date"),
            "genre": text("genre"), "track": text("tracknumber"),
            "comment": text("comment") or text("description")}
    return tags, [picture(p.mime, int(p.type), p.data) for p in pictures], {}


def ogg(f):
    blocks = [Picture(base64.b64decode(b)) for b in f.tags.get("metadata_block_picture", [])]
    return vorbis(f, blocks)


def mp4(f):
    t = f.tags
    def text(atom):
        return str(t[atom][0]) if atom in t else None
    track = None
    if "trkn" in t:
        number, count = t["trkn"][0]
        track = str(number) if count == 0 else "%d/%d" % (number, count)
    tags = {"title": text("\xa9nam"), "artist": text("\xa9ART"), "album": text("\xa9alb"), "date": text("\xa9day"),
            "genre": text("\xa9gen"), "track": track, "comment": text("\xa9cmt")}
    kinds = {13: "image/jpeg", 14: "image/png"}
    pictures = [picture(kinds.get(c.imageformat, "?"), 3, bytes(c)) for c in t.get("covr", [])]
    return tags, pictures, {}


f = mutagen.File(sys.argv[1])
kind = type(f).__name__
readers = {"MP3": mp3, "FLAC": lambda f: vorbis(f, f.pictures), "OggOpus": ogg, "OggVorbis": ogg, "MP4": mp4}
tags, pictures, extra = readers[kind](f) if f is not None and f.tags is not None else ({}, [], {})
print(json.dumps(dict(kind=kind, tags={k: v for k, v in tags.items() if v is not None}, pictures=pictures, **extra)))
