#include "RKPGXDecoder.h"

namespace RKSDK {

RKPGXDecoder::RKPGXDecoder() : RKJasperDecoder(RK_PIXEL_RGB24) { appendClassName("RKPGXDecoder"); }

const char* RKPGXDecoder::jasperFormat() { return "pgx"; }

int RKPGXDecoder::convert(jas_image_t* image, RKBuffer*) {
  if (jas_clrspc_fam(jas_image_clrspc(image)) != JAS_CLRSPC_FAM_GRAY || jas_image_numcmpts(image) != 1) return 0;
  // The grey samples go to the red byte of each pixel, row by row (with the row progress), and
  // are then copied to green and blue.
  if (!makeDecoded(image, 3) || !copyComponent(image, 0, 3, 0, false, 0, m_height)) return 0;
  u8* p = m_decoded->getData(0);
  const size_t pixels = size_t(m_width) * size_t(m_height);
  for (size_t i = 0; i < pixels; ++i, p += 3) p[1] = p[2] = p[0];
  return 1;
}

}  // namespace RKSDK
