// Decoder of PGX files into one image of type 1003: each grey sample spread to red, green and
// blue.
#ifndef RK_IMAGING_RKPGXDECODER_H
#define RK_IMAGING_RKPGXDECODER_H

#include "RKJasperDecoder.h"

namespace RKSDK {

class RKPGXDecoder : public RKJasperDecoder {
 public:
  RKPGXDecoder();

 protected:
  const char* jasperFormat() override;
  int convert(jas_image_t* image, RKBuffer* contents) override;
};

}  // namespace RKSDK

#endif
