#!/usr/bin/python3
"""Lists a compound file with olefile: one line per stream, "path<TAB>size<TAB>adler32",
then "rb-ok" when every storage's sibling tree is a red-black tree in the format's
name order (length first, then upper case), else "rb-bad NAME"."""
import sys
import zlib

import olefile

NOSTREAM = 0xFFFFFFFF


def key(entry):
    return (len(entry.name), entry.name.upper())


def black_height(ole, sid, low, high):
    """Black height of the subtree at sid, or None when it breaks a rule."""
    if sid == NOSTREAM:
        return 1
    entry = ole.direntries[sid] or ole._load_direntry(sid)
    if (low is not None and key(entry) <= low) or (high is not None and key(entry) >= high):
        return None
    for child in (entry.sid_left, entry.sid_right):
        if entry.color == 0 and child != NOSTREAM and ole._load_direntry(child).color == 0:
            return None
    left = black_height(ole, entry.sid_left, low, key(entry))
    right = black_height(ole, entry.sid_right, key(entry), high)
    if left is None or left != right:
        return None
    return left + (entry.color == 1)


def main():
    sys.setrecursionlimit(100000)
    ole = olefile.OleFileIO(sys.argv[1])
    for path in sorted(ole.listdir(streams=True, storages=False)):
        data = ole.openstream(path).read()
        print("%s\t%d\t%d" % ("/".join(path), len(data), zlib.adler32(data)))
    bad = [e.name for e in ole.direntries if e is not None and e.entry_type in (1, 5)
           and black_height(ole, e.sid_child, None, None) is None]
    print("rb-bad " + " ".join(bad) if bad else "rb-ok")


main()
