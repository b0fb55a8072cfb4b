// Little-endian reading and writing for the PE image code: reads are checked against the bytes
// that are there and raise EBadImage; writes go to places the writer has sized itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/sfxpack/pe/pe_image.h"

[[noreturn]] inline void Reject(const std::string& reason) { throw EBadImage(reason); }

class View {
 public:
  View(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit View(const Bytes& bytes) : View(bytes.data(), bytes.size()) {}

  size_t Size() const { return size_; }
  bool Holds(size_t at, size_t count) const { return at <= size_ && count <= size_ - at; }
  void Need(size_t at, size_t count, const char* what) const {
    if (!Holds(at, count)) Reject(std::string(what) + " lies beyond the end of the data");
  }
  uint16_t U16(size_t at) const {
    Need(at, 2, "a field");
    return static_cast<uint16_t>(data_[at] | data_[at + 1] << 8);
  }
  uint32_t U32(size_t at) const {
    Need(at, 4, "a field");
    return static_cast<uint32_t>(data_[at]) | static_cast<uint32_t>(data_[at + 1]) << 8 |
           static_cast<uint32_t>(data_[at + 2]) << 16 | static_cast<uint32_t>(data_[at + 3]) << 24;
  }
  Bytes Copy(size_t at, size_t count) const {
    Need(at, count, "a block");
    return Bytes(data_ + at, data_ + at + count);
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

inline void Put16(Bytes& out, size_t at, uint16_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void Put32(Bytes& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void Append16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void PadTo(Bytes& out, size_t alignment) {
  while (out.size() % alignment != 0) out.push_back(0);
}
