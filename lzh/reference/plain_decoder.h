// A decoder written for comparison only, straight from the format's rules (see the .cpp).
// The benchmark sets the production decoder against it; the unit tests and the decode fuzz
// target hold the production decoder to it, output and procedure calls alike.
#pragma once

#include <cstddef>

enum { kPlainBufferLimit = 32768 };

struct PlainOptions {
  unsigned inputBufferSize = 4096;   // what `source` is asked for, at most kPlainBufferLimit
  unsigned outputBufferSize = 4096;  // the blocks `sink` is handed
  // Stops at a final lone byte 0x80 (the end marker) instead of reading its 1-bit as the start
  // of one more symbol, as the production decoder does.
  bool guardMarkerByte = false;
};

enum class PlainEnd { EndMarker, InputRanOut, GuardedMarker };

struct PlainReport {
  size_t produced = 0;
  unsigned rebuilds = 0;  // of the code tree, when the root's count reached its limit
  PlainEnd end = PlainEnd::EndMarker;
};

// Decodes one stream: `source` fills a buffer of the input buffer size (returning how many it
// placed, 0 at the end), decoded bytes reach `sink` in full output blocks, each handed over
// when the next byte arrives, and once more at the end. Returns the number of bytes decoded.
size_t PlainDecode(size_t (*source)(void* context, unsigned char* buffer, size_t size),
                   void (*sink)(void* context, const unsigned char* bytes, unsigned count),
                   void* context, const PlainOptions& options = PlainOptions(), PlainReport* report = nullptr);
