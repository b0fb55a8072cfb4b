// Arbitrary bytes as a stub: the offset digits are found only inside the image, and an image
// that PeImage reads and rebuilds reads back with the same resources.
#include <cstdint>
#include <cstdlib>

#include "tools/sfxpack/pe_image.h"
#include "tools/sfxpack/stub_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  TOffsetDigits found;
  std::string reason;
  if (FindOffsetDigits(data, size, found, reason)) {
    const size_t width = found.carrier == OffsetCarrier::PeStringResource ? 2 : 1;
    if (found.position + width * found.digitCount > size) std::abort();
  }
  try {
    const PeImage image(data, size);
    const Bytes rebuilt = image.Build();
    if (!(PeImage(rebuilt).Resources() == image.Resources())) std::abort();
  } catch (const EBadImage&) {
  }
  return 0;
}
