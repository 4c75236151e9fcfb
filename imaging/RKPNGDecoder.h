// PNG decoder: an adapter over libpng that yields blue, green, red (and alpha) bytes.
#ifndef RK_IMAGING_RKPNGDECODER_H
#define RK_IMAGING_RKPNGDECODER_H

#include "RKDecoderFrame.h"

namespace RKSDK {

struct RKPNGState;

// Pixel type 1005 (depth 24) or 1007 (depth 32: non-interlaced files with an alpha channel or a
// transparency chunk). Interlaced files always decode with depth 24. The library state lives
// from a successful open to the end of the decode, which closes the decoder's stream: a second
// decode needs a new open, while the decoded pixels stay cached.
class RKPNGDecoder : public RKImageDecoder {
 public:
  RKPNGDecoder();
  ~RKPNGDecoder() override;

  // Bits of one decoded pixel, 24 or 32; 0 before a header was read.
  virtual int getDepth();
  // Ends the library state and releases the kept stream.
  virtual void close();
  // close, then drops the decoded pixels.
  virtual void closeAll();

  // Copies from the decoded pixels only; never decodes.
  int readRaw(void* destination) override;
  // An image gets the decoded pixels only when they were decoded already.
  int decodeTo(RKObject* target) override;

 protected:
  int readHeader() override;
  int decode(RKBuffer* target) override;
  unsigned int pixelType() override;
  void writeInfo(RKParam* properties) override;

 private:
  RKPNGDecoder(const RKPNGDecoder&) = delete;
  RKPNGDecoder& operator=(const RKPNGDecoder&) = delete;

  void endLibrary();
  // Ends the library state and closes the decoder (header-read flag clear); 0.
  int fail();
  // The steps of decode; they run under its setjmp.
  int setTransformations(int interlaced);
  int readRows(u8* out);
  int readInterlaced(u8* out);

  int m_depth;
  RKPNGState* m_state;
};

}  // namespace RKSDK

#endif
