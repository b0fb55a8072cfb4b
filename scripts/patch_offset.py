#!/usr/bin/env python3
"""Writes a freshly linked stub's own file size into its archive-offset digits.

Where a stub carries the digits, and the placeholder that a stub straight from the linker holds
in exactly one of those places, is read from host/offset_digits.h.
"""
import os
import re
import sys

HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "host", "offset_digits.h")


def contract():
    with open(HEADER) as f:
        values = dict(re.findall(r"^#define (SFX_OFFSET_\w+) (.+)$", f.read(), re.M))
    return (int(values["SFX_OFFSET_DIGIT_COUNT"]), values["SFX_OFFSET_PLACEHOLDER"].strip('"'),
            values["SFX_OFFSET_MARKER"].strip('"').encode("ascii"))


def patch(path):
    count, placeholder, marker = contract()
    with open(path, "rb") as f:
        image = bytearray(f.read())
    digits = "%0*d" % (count, len(image))
    if len(digits) != count:
        sys.exit("%s: too large for %d offset digits" % (path, count))
    # The string resource: its 16-bit length, then UTF-16 characters.
    utf16 = count.to_bytes(2, "little") + placeholder.encode("utf-16-le")
    native = marker + placeholder.encode("ascii")
    for pattern, encoding, skip in ((utf16, "utf-16-le", 2), (native, "ascii", len(marker))):
        found = image.count(pattern)
        if found > 1:
            sys.exit("%s: offset placeholder found %d times" % (path, found))
        if found == 1:
            at = image.index(pattern) + skip
            new = digits.encode(encoding)
            image[at:at + len(new)] = new
            with open(path, "wb") as f:
                f.write(image)
            return
    sys.exit("%s: no archive-offset placeholder found" % path)


if __name__ == "__main__":
    for p in sys.argv[1:]:
        patch(p)
