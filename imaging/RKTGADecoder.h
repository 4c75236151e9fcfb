// Decoder of Truevision TGA files (raw or run-length encoded; 8-bit colour-mapped or grey,
// 16, 24 and 32 bits; rows in any of the four storage orders, not interleaved) into one image:
// 1007 (blue, green, red, alpha) for 32 bits, else 1005.
#ifndef RK_IMAGING_RKTGADECODER_H
#define RK_IMAGING_RKTGADECODER_H

#include "RKDecoderFrame.h"

namespace RKSDK {

class RKTGADecoder : public RKImageDecoder {
 public:
  RKTGADecoder();

  virtual int getAlphaBits();
  int readHeader() override;
  int decode(RKBuffer* target) override;
  // Releases the decoded buffer and the stream.
  virtual void close();
  // Converts one work row of 8-bit indexes (through palette, or grey without one) or 16-bit
  // pixels into blue, green, red; nothing is written for other depths.
  virtual void convertRow(const u8* palette, const u8* src, u8* dst, int width, int depth);

 protected:
  unsigned int pixelType() override;
  void writeInfo(RKParam* properties) override;

  int m_alphaBits;
  u8 m_header[18];
};

}  // namespace RKSDK

#endif
