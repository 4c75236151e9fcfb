// Decoder of uncompressed Windows bitmap files (1, 4, 8, 16, 24 and 32 bits a pixel) into one
// image: 1007 (blue, green, red, alpha 255) for 32 bits, else 1005 (blue, green, red).
#ifndef RK_IMAGING_RKBMPDECODER_H
#define RK_IMAGING_RKBMPDECODER_H

#include "RKDecoderFrame.h"

namespace RKSDK {

class RKBMPDecoder : public RKImageDecoder {
 public:
  RKBMPDecoder();

  virtual int getComponentCount();
  virtual int getXPerMeter();
  virtual int getYPerMeter();
  virtual int getXPerInch();
  virtual int getYPerInch();

  int readHeader() override;
  int decode(RKBuffer* target) override;
  // One stored row of width pixels of bitsPerPixel bits into blue, green, red (and 255 for
  // 32 bits); nothing is written for other depths.
  virtual void convertRow(const u8* palette, const u8* src, u8* dst, int width, int bitsPerPixel);

 protected:
  unsigned int pixelType() override;
  void writeInfo(RKParam* properties) override;

  int m_components;
  int m_xPerMeter;
  int m_yPerMeter;
  int m_xPerInch;
  int m_yPerInch;
  u8 m_palette[256 * 4];
  u32 m_dataOffset;
  int m_bitsPerPixel;
  int m_stride;
  int m_is565;
  int m_topDown;
};

}  // namespace RKSDK

#endif
