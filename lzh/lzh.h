// The member stream codec: an LZ77 coder with a 4096-byte window whose literals and match
// lengths share one adaptive Huffman code of 314 symbols.
//
// Decoding follows the classic buffered-callback design: the client installs a read and a
// write procedure, sets the buffer sizes, and calls LzhDecode once per member.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/exceptions.h"

// Raised inside the decoder when the input runs out in the middle of a symbol code; the
// decoder catches it itself.
SFX_DECLARE_EXCEPTION(ECompress, Exception);

// Read procedure: place up to `requested` bytes at `buffer`, report how many in `delivered`.
// 0 delivered means no input is left.
using LzhReadProcType = void (*)(uint8_t* buffer, uint16_t requested, uint16_t& delivered);
// Write procedure: take `count` decoded bytes.
using LzhWriteProcType = void (*)(const uint8_t* buffer, uint16_t count, uint16_t& written);

extern LzhReadProcType LzhReadProc;
extern LzhWriteProcType LzhWriteProc;

void SetInputBufferSize(uint16_t size);   // clamped to 16..32768; 1024 until set
void SetOutputBufferSize(uint16_t size);
uint16_t InputBufferSize();
uint16_t OutputBufferSize();

// Decodes one stream from LzhReadProc to LzhWriteProc. Reports nothing; only a failure of
// the final hand-over of output (or out of memory) leaves it as an exception.
void LzhDecode();

// Convenience for tools and tests: decodes a whole stream held in memory.
std::vector<uint8_t> LzhDecodeBuffer(const uint8_t* data, size_t size);

// Encodes a whole buffer into one stream. Levels 1..9 trade speed for size; every level's
// output decodes with LzhDecode.
constexpr int kLzhDefaultLevel = 6;
std::vector<uint8_t> LzhEncode(const uint8_t* data, size_t size, int level = kLzhDefaultLevel);
