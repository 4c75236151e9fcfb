#include "RKRASDecoder.h"

namespace RKSDK {

RKRASDecoder::RKRASDecoder() : RKJasperDecoder(RK_PIXEL_BGR24) { appendClassName("RKRASDecoder"); }

const char* RKRASDecoder::jasperFormat() { return "ras"; }

int RKRASDecoder::convert(jas_image_t* image, RKBuffer*) {
  if (jas_clrspc_fam(jas_image_clrspc(image)) != JAS_CLRSPC_FAM_RGB || jas_image_numcmpts(image) != 3) return 0;
  // Type 1005 holds blue, green, red: each colour type goes where the type says.
  static const int byteOf[3] = {2, 1, 0};
  return copyColour(image, byteOf);
}

}  // namespace RKSDK
