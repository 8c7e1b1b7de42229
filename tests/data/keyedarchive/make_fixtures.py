#!/usr/bin/env python3
"""Writes the keyed-archive fixtures by hand, object by object, with Python's plistlib.

dictionary.bplist: {"com.apple.FinderInfo": 32 bytes, "note": "hello"} as an NSDictionary with
its values inline, the form the encoder writes.
mutable.bplist: the same entries as NSMutableDictionary with NSMutableData values ("NS.data")
and an NSMutableString key, plus an empty value, the shapes other archivers produce.
empty.bplist: an empty NSDictionary.
"""
import plistlib
from plistlib import UID

FINDER_INFO = bytes.fromhex("54455854747478740100000000000000" "00000000000000000000000000000000")


def archive(objects):
    return plistlib.dumps(
        {"$version": 100000, "$archiver": "NSKeyedArchiver", "$top": {"root": UID(1)}, "$objects": objects},
        fmt=plistlib.FMT_BINARY, sort_keys=False)


dictionary = archive([
    "$null",
    {"NS.keys": [UID(2), UID(3)], "NS.objects": [UID(4), UID(5)], "$class": UID(6)},
    "com.apple.FinderInfo",
    "note",
    FINDER_INFO,
    b"hello",
    {"$classname": "NSDictionary", "$classes": ["NSDictionary", "NSObject"]},
])

mutable = archive([
    "$null",
    {"NS.keys": [UID(2), UID(3), UID(4)], "NS.objects": [UID(5), UID(7), UID(8)], "$class": UID(9)},
    "com.apple.FinderInfo",
    {"NS.string": "note", "$class": UID(10)},
    "empty",
    {"NS.data": FINDER_INFO, "$class": UID(6)},
    {"$classname": "NSMutableData", "$classes": ["NSMutableData", "NSData", "NSObject"]},
    {"NS.data": b"hello", "$class": UID(6)},
    b"",
    {"$classname": "NSMutableDictionary", "$classes": ["NSMutableDictionary", "NSDictionary", "NSObject"]},
    {"$classname": "NSMutableString", "$classes": ["NSMutableString", "NSString", "NSObject"]},
])

empty = archive([
    "$null",
    {"NS.keys": [], "NS.objects": [], "$class": UID(2)},
    {"$classname": "NSDictionary", "$classes": ["NSDictionary", "NSObject"]},
])

for name, data in (("dictionary.bplist", dictionary), ("mutable.bplist", mutable), ("empty.bplist", empty)):
    with open(name, "wb") as f:
        f.write(data)
