#!/usr/bin/env python3
"""Writes a freshly linked stub's own file size into its archive-offset digits.

The Win32 stub carries the nine digits as string resource 1 (UTF-16, length-prefixed); the
native stub carries them behind the marker b"SFX-ARCHIVE-OFFSET:". A stub straight from the
linker holds the placeholder 000047616 in exactly one of these places.
"""
import sys

PLACEHOLDER = "000047616"
NATIVE_MARKER = b"SFX-ARCHIVE-OFFSET:"


def patch(path):
    with open(path, "rb") as f:
        image = bytearray(f.read())
    digits = "%09d" % len(image)
    if len(digits) != 9:
        sys.exit("%s: too large for nine offset digits" % path)
    utf16 = b"\x09\x00" + PLACEHOLDER.encode("utf-16-le")
    native = NATIVE_MARKER + PLACEHOLDER.encode("ascii")
    for pattern, encode, skip in ((utf16, lambda d: d.encode("utf-16-le"), 2),
                                  (native, lambda d: d.encode("ascii"), len(NATIVE_MARKER))):
        count = image.count(pattern)
        if count > 1:
            sys.exit("%s: offset placeholder found %d times" % (path, count))
        if count == 1:
            at = image.index(pattern) + skip
            new = encode(digits)
            image[at:at + len(new)] = new
            with open(path, "wb") as f:
                f.write(image)
            return
    sys.exit("%s: no archive-offset placeholder found" % path)


if __name__ == "__main__":
    for p in sys.argv[1:]:
        patch(p)
