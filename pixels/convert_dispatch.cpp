// Runtime choice of the kernel table.
#include "pixels/convert.h"

const PixelKernels* PixelKernelsBest() {
  static const PixelKernels* const best =
      PixelKernelsAvx2() != nullptr   ? PixelKernelsAvx2()
      : PixelKernelsSse2() != nullptr ? PixelKernelsSse2()
                                      : PixelKernelsScalar();
  return best;
}
