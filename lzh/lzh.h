// The member stream codec: an LZ77 coder with a 4096-byte window whose literals and match
// lengths share one adaptive Huffman code of 314 symbols.
//
// A client decodes through lzh/lzh_stream.h: its read and write procedures and their context
// go with each call, so the codec keeps no state between calls and serves several clients.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/exceptions.h"

// The decoder's own failure: a call it cannot carry out (buffer sizes out of range). The end of
// the input, inside a code or after the end marker, is no failure.
SFX_DECLARE_EXCEPTION(ECompress, Exception);

// Convenience for tools and tests: decodes a whole stream held in memory.
std::vector<uint8_t> LzhDecodeBuffer(const uint8_t* data, size_t size);

// Encodes a whole buffer into one stream. Levels 1..9 trade speed for size; every level's
// output decodes exactly, with or without a guard against a lone final marker byte.
constexpr int kLzhDefaultLevel = 6;
std::vector<uint8_t> LzhEncode(const uint8_t* data, size_t size, int level = kLzhDefaultLevel);
