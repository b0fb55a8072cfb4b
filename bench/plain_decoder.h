// A decoder written for comparison only, straight from the format's rules (see the .cpp).
#pragma once

#include <cstddef>

// Decodes one stream: `source` fills a buffer of 4096 bytes (returning how many it placed,
// 0 at the end), decoded bytes reach `sink` in blocks of 4096 and once more at the end.
// Returns the number of bytes decoded.
size_t PlainDecode(size_t (*source)(void* context, unsigned char* buffer, size_t size),
                   void (*sink)(void* context, const unsigned char* bytes, unsigned count),
                   void* context);
