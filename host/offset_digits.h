// Where a stub keeps the archive's offset in its program file: nine decimal digits with
// leading zeros, which the build sets to the stub's own size after linking and the builder
// sets again when it rewrites a stub.
//   Win32 stub: string resource SFX_OFFSET_STRING_ID, held as a string table entry is, a
//     16-bit length followed by that many UTF-16 characters.
//   native stub: SFX_OFFSET_MARKER followed by the digits in ASCII, in its data.
// Only #defines, in the plain form NAME value: the stub's resource script includes this file
// and scripts/patch_offset.py reads its values from here.
#ifndef SFX_HOST_OFFSET_DIGITS_H
#define SFX_HOST_OFFSET_DIGITS_H

#define SFX_OFFSET_DIGIT_COUNT 9
#define SFX_OFFSET_PLACEHOLDER "000047616"
#define SFX_OFFSET_MARKER "SFX-ARCHIVE-OFFSET:"
#define SFX_OFFSET_STRING_ID 1

#endif
