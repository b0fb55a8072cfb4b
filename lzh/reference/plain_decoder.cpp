// The yardstick decoder: the stream format followed step by step, the way a careful C
// programmer would write it from the format's description: one bit at a time from a 16-bit
// bit buffer, the code tree walked node by node, the frequency update climbing parent by
// parent, no lookup tables beyond the fixed distance prefix tables. Built at -O2 like an
// ordinary C project; the benchmark measures the production decoder against it.
#include "lzh/reference/plain_decoder.h"

#include <string.h>

namespace {

enum { N = 4096, F = 60, kSymbols = 314, T = kSymbols * 2 - 1, R = T - 1 };
enum { kFreqLimit = 0x8000 };

struct PlainState {
  size_t (*source)(void*, unsigned char*, size_t);
  unsigned char inBuf[kPlainBufferLimit];
  unsigned inSize, inCount, inNext;
  unsigned char outBuf[kPlainBufferLimit];
  unsigned outSize, outCount;
  int guard;
  unsigned rebuilds;
  void (*sink)(void*, const unsigned char*, unsigned);
  void* context;

  unsigned bitBuffer, bitCount;
  int endOfInput;

  unsigned freq[T + 1];
  int parent[T + kSymbols];
  int child[T];
  unsigned char ring[N];
  unsigned char distUpper[256], distLength[256];
};

int GetByte(PlainState* s) {
  if (s->inNext == s->inCount) {
    size_t n = s->source(s->context, s->inBuf, s->inSize);
    s->inCount = (unsigned)n;
    s->inNext = 0;
    if (n == 0) return -1;
  }
  return s->inBuf[s->inNext++];
}

void PutByte(PlainState* s, unsigned char c) {
  if (s->outCount == s->outSize) {
    s->sink(s->context, s->outBuf, s->outSize);
    s->outCount = 0;
  }
  s->outBuf[s->outCount++] = c;
}

void Refill(PlainState* s) {
  if (s->bitCount < 8) {
    int c = GetByte(s);
    if (c < 0) {
      s->endOfInput = 1;
      c = 0;
    }
    s->bitBuffer |= (unsigned)c << (8 - s->bitCount);
    s->bitCount += 8;
  }
}

int ReadBit(PlainState* s) {
  Refill(s);
  int b = (s->bitBuffer >> 15) & 1;
  s->bitBuffer = (s->bitBuffer << 1) & 0xFFFF;
  s->bitCount--;
  return b;
}

int ReadEightBits(PlainState* s) {
  Refill(s);
  int b = (s->bitBuffer >> 8) & 0xFF;
  s->bitBuffer = (s->bitBuffer << 8) & 0xFFFF;
  s->bitCount -= 8;
  return b;
}

void InitTree(PlainState* s) {
  int i, j;
  for (i = 0; i < kSymbols; i++) {
    s->freq[i] = 1;
    s->child[i] = i + T;
    s->parent[i + T] = i;
  }
  i = 0;
  j = kSymbols;
  while (j <= R) {
    s->freq[j] = s->freq[i] + s->freq[i + 1];
    s->child[j] = i;
    s->parent[i] = s->parent[i + 1] = j;
    i += 2;
    j++;
  }
  s->freq[T] = 0xFFFF;
  s->parent[R] = 0;
}

void RebuildTree(PlainState* s) {
  int i, j, k;
  unsigned f;
  s->rebuilds++;
  j = 0;
  for (i = 0; i < T; i++) {
    if (s->child[i] >= T) {
      s->freq[j] = (s->freq[i] + 1) / 2;
      s->child[j] = s->child[i];
      j++;
    }
  }
  for (i = 0, j = kSymbols; j < T; i += 2, j++) {
    f = s->freq[j] = s->freq[i] + s->freq[i + 1];
    for (k = j - 1; f < s->freq[k]; k--) {
    }
    k++;
    memmove(&s->freq[k + 1], &s->freq[k], (j - k) * sizeof s->freq[0]);
    s->freq[k] = f;
    memmove(&s->child[k + 1], &s->child[k], (j - k) * sizeof s->child[0]);
    s->child[k] = i;
  }
  for (i = 0; i < T; i++) {
    k = s->child[i];
    s->parent[k] = i;
    if (k < T) s->parent[k + 1] = i;
  }
}

void UpdateTree(PlainState* s, int c) {
  int i, j, k, l;
  if (s->freq[R] == kFreqLimit) RebuildTree(s);
  c = s->parent[c + T];
  do {
    k = ++s->freq[c];
    if ((unsigned)k > s->freq[l = c + 1]) {
      while ((unsigned)k > s->freq[++l]) {
      }
      l--;
      s->freq[c] = s->freq[l];
      s->freq[l] = k;
      i = s->child[c];
      s->parent[i] = l;
      if (i < T) s->parent[i + 1] = l;
      j = s->child[l];
      s->child[l] = i;
      s->parent[j] = c;
      if (j < T) s->parent[j + 1] = c;
      s->child[c] = j;
      c = l;
    }
  } while ((c = s->parent[c]) != 0);
}

// Only the byte 0x80 is held, unread, and the root's 1-branch is a leaf: true when the input
// ends after it, which makes that byte the end marker.
int OnlyMarkerLeft(PlainState* s) {
  Refill(s);
  if (s->bitCount != 8 || s->bitBuffer != 0x8000 || s->endOfInput || s->child[s->child[R] + 1] < T) return 0;
  if (s->inNext < s->inCount) return 0;
  s->inCount = (unsigned)s->source(s->context, s->inBuf, s->inSize);
  s->inNext = 0;
  return s->inCount == 0;
}

// Returns the symbol, -1 when the input ran out inside its code, -2 at a guarded marker byte.
int DecodeSymbol(PlainState* s) {
  if (s->guard && OnlyMarkerLeft(s)) return -2;
  unsigned c = s->child[R];
  while (c < T) {
    c += ReadBit(s);
    c = s->child[c];
    if (s->endOfInput && s->bitBuffer == 0) return -1;
  }
  c -= T;
  UpdateTree(s, (int)c);
  return (int)c;
}

int DecodeDistance(PlainState* s) {
  unsigned i = ReadEightBits(s);
  unsigned c = (unsigned)s->distUpper[i] << 6;
  int j = s->distLength[i] - 2;
  while (j--) i = (i << 1) + ReadBit(s);
  return (int)(c | (i & 0x3F));
}

void MakeDistanceTables(PlainState* s) {
  static const int lengths[6] = {3, 4, 5, 6, 7, 8};
  static const int counts[6] = {1, 3, 8, 12, 24, 16};
  int b = 0, u = 0;
  for (int g = 0; g < 6; g++)
    for (int n = 0; n < counts[g]; n++, u++)
      for (int e = 0; e < (1 << (8 - lengths[g])); e++, b++) {
        s->distUpper[b] = (unsigned char)u;
        s->distLength[b] = (unsigned char)lengths[g];
      }
}

}  // namespace

size_t PlainDecode(size_t (*source)(void* context, unsigned char* buffer, size_t size),
                   void (*sink)(void* context, const unsigned char* bytes, unsigned count),
                   void* context, const PlainOptions& options, PlainReport* report) {
  static PlainState state;
  PlainState* s = &state;
  memset(s, 0, sizeof *s);
  s->inSize = options.inputBufferSize;
  s->outSize = options.outputBufferSize;
  s->guard = options.guardMarkerByte;
  s->source = source;
  s->sink = sink;
  s->context = context;
  MakeDistanceTables(s);
  InitTree(s);
  memset(s->ring, ' ', N - F);
  int r = N - F;
  size_t produced = 0;
  PlainEnd end = PlainEnd::EndMarker;
  for (;;) {
    int c = DecodeSymbol(s);
    if (c < 0) {
      end = c == -1 ? PlainEnd::InputRanOut : PlainEnd::GuardedMarker;
      break;
    }
    if (c < 256) {
      PutByte(s, (unsigned char)c);
      s->ring[r++] = (unsigned char)c;
      r &= N - 1;
      produced++;
    } else {
      int i = (r - DecodeDistance(s) - 1) & (N - 1);
      int j = c - 253;
      for (int k = 0; k < j; k++) {
        c = s->ring[(i + k) & (N - 1)];
        PutByte(s, (unsigned char)c);
        s->ring[r++] = (unsigned char)c;
        r &= N - 1;
        produced++;
      }
    }
    if (s->endOfInput && s->bitBuffer == 0x8000) break;
  }
  sink(context, s->outBuf, s->outCount);
  if (report) {
    report->produced = produced;
    report->rebuilds = s->rebuilds;
    report->end = end;
  }
  return produced;
}
