// Arbitrary bytes as a stub: the offset digits are found only inside the image, and an image
// that PeImage reads and rebuilds reads back with the same resources.
#include <cstdlib>

#include "tools/sfxpack/pe/pe_image.h"
#include "tools/sfxpack/stub/stub_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TOffsetDigits found;
  std::string reason;
  if (FindOffsetDigits(data, size, found, reason)) {
    const size_t width = found.carrier == OffsetCarrier::PeStringResource ? 2 : 1;
    if (found.position + width * found.digitCount > size) std::abort();
  }
  try {
    const PeImage image(data, size);
    if (!(PeImage(image.Build()).Resources() == image.Resources())) std::abort();
  } catch (const EBadImage&) {
  }
  return 0;
}
