// Decoder of PBM, PGM and PPM files (plain and raw) into one image: 1003 (red, green, blue) for
// pixmaps, 1011 (8-bit grey) for grey maps, 1028 (one bilevel sample a byte: 1 white, 0 black)
// for bitmaps. "IMAGE_ImageType" reports 1003 for every file.
#ifndef RK_IMAGING_RKPNMDECODER_H
#define RK_IMAGING_RKPNMDECODER_H

#include "RKJasperDecoder.h"

namespace RKSDK {

class RKPNMDecoder : public RKJasperDecoder {
 public:
  RKPNMDecoder();

 protected:
  const char* jasperFormat() override;
  int convert(jas_image_t* image, RKBuffer* contents) override;
  unsigned int infoPixelType() override;
  int rawBytesPerPixel() override;
};

}  // namespace RKSDK

#endif
