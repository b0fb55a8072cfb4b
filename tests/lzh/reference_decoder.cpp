#include "reference_decoder.h"

#include <algorithm>

namespace {

const int N = 4096;
const int F = 60;
const int T = 627;
const int R = 626;

struct InputRanOut {};
struct Guarded {};

class Reference {
 public:
  Reference(const std::vector<uint8_t>& input, const ReferenceOptions& options)
      : input_(input), options_(options) {}

  ReferenceResult Run() {
    inBuf_.assign(options_.inputBufferSize, 0);
    outBuf_.assign(options_.outputBufferSize, 0);
    BuildDistanceTables();
    InitTree();
    for (int i = 0; i < N - F; ++i) ring_[i] = ' ';
    r_ = N - F;
    try {
      for (;;) {
        int c = DecodeSymbol();
        if (c < 256) {
          Store(static_cast<uint8_t>(c));
        } else {
          int d = DecodeDistance();
          int start = (r_ - d - 1) & (N - 1);
          int len = c - 253;
          for (int k = 0; k < len; ++k) Store(ring_[(start + k) & (N - 1)]);
        }
        if (eoi_ && bitBuf_ == 0x8000) break;
      }
    } catch (const InputRanOut&) {
      result_.end = ReferenceEnd::InputRanOut;
    } catch (const Guarded&) {
      result_.end = ReferenceEnd::GuardedMarker;
    }
    Write(outCount_);
    return result_;
  }

 private:
  void BuildDistanceTables() {
    // Row by row: code length, how many upper values have it.
    const int rows[6][2] = {{3, 1}, {4, 3}, {5, 8}, {6, 12}, {7, 24}, {8, 16}};
    int b = 0, u = 0;
    for (auto& row : rows)
      for (int n = 0; n < row[1]; ++n, ++u)
        for (int e = 0; e < (256 >> row[0]); ++e, ++b) {
          dUpper_[b] = u;
          dLen_[b] = row[0];
        }
  }

  int Fetch() {
    if (inPos_ < inCount_) return inBuf_[inPos_++];
    size_t n = std::min<size_t>(options_.inputBufferSize, input_.size() - consumed_);
    ++result_.readCalls;
    std::copy(input_.begin() + consumed_, input_.begin() + consumed_ + n, inBuf_.begin());
    consumed_ += n;
    result_.consumed = consumed_;
    inCount_ = static_cast<int>(n);
    inPos_ = 0;
    if (n == 0) return -1;
    return inBuf_[inPos_++];
  }

  void Refill() {
    if (bitCount_ < 8) {
      int c = Fetch();
      if (c < 0) {
        eoi_ = true;
        c = 0;
      }
      bitBuf_ = static_cast<uint16_t>(bitBuf_ | (c << (8 - bitCount_)));
      bitCount_ += 8;
    }
  }

  int ReadBit() {
    Refill();
    int bit = (bitBuf_ >> 15) & 1;
    bitBuf_ = static_cast<uint16_t>(bitBuf_ << 1);
    --bitCount_;
    return bit;
  }

  int ReadEightBits() {
    Refill();
    int v = bitBuf_ >> 8;
    bitBuf_ = static_cast<uint16_t>(bitBuf_ << 8);
    bitCount_ -= 8;
    return v;
  }

  void Write(int count) {
    result_.writeSizes.push_back(static_cast<uint16_t>(count));
    result_.output.insert(result_.output.end(), outBuf_.begin(), outBuf_.begin() + count);
  }

  void Store(uint8_t c) {
    if (outCount_ == options_.outputBufferSize) {
      Write(outCount_);
      outCount_ = 0;
    }
    outBuf_[outCount_++] = c;
    ring_[r_] = c;
    r_ = (r_ + 1) & (N - 1);
  }

  void InitTree() {
    for (int i = 0; i < 314; ++i) {
      freq_[i] = 1;
      son_[i] = i + T;
      prnt_[i + T] = i;
    }
    int i = 0;
    for (int j = 314; j < T; ++j) {
      freq_[j] = freq_[i] + freq_[i + 1];
      son_[j] = i;
      prnt_[i] = prnt_[i + 1] = j;
      i += 2;
    }
    freq_[T] = 0xFFFF;
    prnt_[R] = 0;
  }

  void RebuildTree() {
    ++result_.rebuilds;
    int j = 0;
    for (int i = 0; i < T; ++i)
      if (son_[i] >= T) {
        freq_[j] = (freq_[i] + 1) / 2;
        son_[j] = son_[i];
        ++j;
      }
    int i = 0;
    for (j = 314; j < T; ++j) {
      unsigned f = freq_[i] + freq_[i + 1];
      int k = j - 1;
      while (f < freq_[k]) --k;
      ++k;
      for (int m = j; m > k; --m) {
        freq_[m] = freq_[m - 1];
        son_[m] = son_[m - 1];
      }
      freq_[k] = static_cast<uint16_t>(f);
      son_[k] = i;
      i += 2;
    }
    for (i = 0; i < T; ++i) {
      int v = son_[i];
      if (v >= T) {
        prnt_[v] = i;
      } else {
        prnt_[v] = i;
        prnt_[v + 1] = i;
      }
    }
  }

  void UpdateTree(int s) {
    if (freq_[R] == 0x8000) RebuildTree();
    int x = prnt_[s + T];
    do {
      unsigned k = ++freq_[x];
      if (freq_[x + 1] < k) {
        int l = x + 1;
        while (freq_[l + 1] < k) ++l;
        freq_[x] = freq_[l];
        freq_[l] = static_cast<uint16_t>(k);
        int i = son_[x];
        prnt_[i] = l;
        if (i < T) prnt_[i + 1] = l;
        int j = son_[l];
        son_[l] = i;
        prnt_[j] = x;
        if (j < T) prnt_[j + 1] = x;
        son_[x] = j;
        x = l;
      }
      x = prnt_[x];
    } while (x != 0);
  }

  // The lone marker byte: exactly 0x80 held after the refill that the first bit would make,
  // and the read procedure has nothing more (the fast decoder asks it once to find out).
  bool OnlyMarkerLeft() {
    Refill();
    if (bitCount_ != 8 || bitBuf_ != 0x8000 || eoi_ || inPos_ < inCount_) return false;
    if (consumed_ < input_.size()) return false;
    ++result_.readCalls;
    return true;
  }

  int DecodeSymbol() {
    int x = son_[R];
    if (options_.guardMarkerByte && son_[x + 1] >= T && OnlyMarkerLeft()) throw Guarded{};
    for (;;) {
      x = son_[x + ReadBit()];
      if (eoi_ && bitBuf_ == 0) {
        bitBuf_ = 0x8000;
        throw InputRanOut{};
      }
      if (x >= T) break;
    }
    ++result_.symbols;
    UpdateTree(x - T);
    return x - T;
  }

  int DecodeDistance() {
    int b = ReadEightBits();
    int n = dLen_[b] - 2;
    int v = b;
    while (n-- > 0) v = ((v << 1) + ReadBit()) & 0xFFFF;
    return (dUpper_[b] << 6) | (v & 0x3F);
  }

  const std::vector<uint8_t>& input_;
  ReferenceOptions options_;
  ReferenceResult result_;
  std::vector<uint8_t> inBuf_, outBuf_;
  int inPos_ = 0, inCount_ = 0, outCount_ = 0;
  size_t consumed_ = 0;
  uint16_t bitBuf_ = 0;
  int bitCount_ = 0;
  bool eoi_ = false;
  uint8_t ring_[N] = {};
  int r_ = 0;
  uint16_t freq_[T + 1] = {};
  int son_[T] = {};
  int prnt_[T + 314] = {};
  int dUpper_[256] = {}, dLen_[256] = {};
};

}  // namespace

ReferenceResult ReferenceDecode(const std::vector<uint8_t>& input, const ReferenceOptions& options) {
  return Reference(input, options).Run();
}
