// Decoder of Sun raster files of 24 and 32 bits into one image of type 1005 (blue, green, red).
#ifndef RK_IMAGING_RKRASDECODER_H
#define RK_IMAGING_RKRASDECODER_H

#include "RKJasperDecoder.h"

namespace RKSDK {

class RKRASDecoder : public RKJasperDecoder {
 public:
  RKRASDecoder();

 protected:
  const char* jasperFormat() override;
  int convert(jas_image_t* image, RKBuffer* contents) override;
};

}  // namespace RKSDK

#endif
