// A decoder written for comparison only, straight from the format's rules (see the .cpp).
#pragma once

#include <cstddef>

// Decodes a whole stream from memory; decoded bytes reach `sink` in blocks of 4096 and
// once more at the end. Returns the number of bytes decoded.
size_t PlainDecode(const unsigned char* in, size_t inSize,
                   void (*sink)(void* context, const unsigned char* bytes, unsigned count),
                   void* context);
