#include "tools/sfxpack/installer/listing.h"

std::string AttributeText(int32_t attributes) {
  static const struct {
    int32_t bit;
    char letter;
  } kLetters[] = {{1, 'R'}, {2, 'H'}, {4, 'S'}, {16, 'D'}, {32, 'A'}};
  int32_t known = 0;
  std::string text;
  for (const auto& entry : kLetters) {
    known |= entry.bit;
    text.push_back((attributes & entry.bit) != 0 ? entry.letter : '.');
  }
  return (attributes & ~known) != 0 ? std::to_string(attributes) : text;
}
