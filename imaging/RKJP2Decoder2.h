// Decoders of JPEG 2000 data for the image-file source: RKJP2Decoder2 reads JP2 files,
// RKJPCDecoder2 raw code-streams. Both present the single-image decoder operations (getImage,
// getBuffer, the five opens) and give images of type 1003 (red, green, blue); a one-component
// image is expanded to equal red, green and blue.
//
// readHeader reads the main header (JP2: the boxes up to the code-stream box first); the first
// getBuffer decodes every tile, caches the pixels and releases the code-stream. Any error of
// the code-stream, a size that does not fit, or memory running out fails the open or the
// decode cleanly.
#ifndef RK_IMAGING_RKJP2DECODER2_H
#define RK_IMAGING_RKJP2DECODER2_H

#include "RKDecoderFrame.h"

namespace RKSDK {

struct RKJPEG2000State;

// What the two twins share: the rate reported by getInfo and the decode steps.
class RKJPEG2000Decoder : public RKImageDecoder {
 public:
  ~RKJPEG2000Decoder() override;

  // Stores the rate that getInfo reports; the decode does not read it. Returns 1.
  virtual int setRate(float rate);
  virtual float getRate();

  // Frees the code-stream and the source over the stream; the decoded pixels stay.
  virtual void releaseCodestream();

 protected:
  // rateKey: the getInfo key of the rate ("JP2_Rate" or "JPC_Rate"); boxes: JP2 box layer.
  RKJPEG2000Decoder(const char* rateKey, bool boxes);

  int readHeader() override;
  int decode(RKBuffer* target) override;
  unsigned int pixelType() override;
  void writeInfo(RKParam* properties) override;

 private:
  int decodeTiles(RKBuffer* target);

  const char* m_rateKey;
  float m_rate;
  bool m_boxes;
  RKJPEG2000State* m_state;
};

class RKJP2Decoder2 : public RKJPEG2000Decoder {
 public:
  RKJP2Decoder2();
};

class RKJPCDecoder2 : public RKJPEG2000Decoder {
 public:
  RKJPCDecoder2();
};

}  // namespace RKSDK

#endif
