// JPEG decoder: an adapter over the IJG library's decompressor.
#ifndef RK_IMAGING_RKJPEGDECODER_H
#define RK_IMAGING_RKJPEGDECODER_H

#include "RKDecoderFrame.h"

namespace RKSDK {

struct RKJPEGState;

// Grey and colour files give pixel type 1003 (red, green, blue) with the width rounded up to a
// multiple of 4 pixels; the padding columns are 0. Files the library outputs as CMYK give 1027
// at the file's width. The library state lives from a successful open to the end of the decode,
// which closes the decoder's stream; the decoded pixels stay cached.
class RKJPEGDecoder : public RKImageDecoder {
 public:
  RKJPEGDecoder();
  ~RKJPEGDecoder() override;

  // Colour components of the file after an open, of the decoded rows after a decode.
  virtual int getComponents();
  // The density fields of the file as the library reports them.
  virtual int getXDensity();
  virtual int getYDensity();
  // Ends the library state and releases the kept stream.
  virtual void close();
  // close, then drops the decoded pixels.
  virtual void closeAll();

  // Before any open the size is that of an empty image (0), whatever the header-read flag.
  int readRaw(void* destination) override;

 protected:
  int readHeader() override;
  int decode(RKBuffer* target) override;
  unsigned int pixelType() override;
  void writeInfo(RKParam* properties) override;
  void prepareImage(RKImage* image) override;

  // Scanline row (width pixels of red, green, blue) into row rowIndex of target.
  void convertRGBRow(const u8* row, int width, u8* target, int rowIndex);
  // Scanline row (width grey values) into row rowIndex of target, each value three times.
  void convertGreyRow(const u8* row, int width, u8* target, int rowIndex);

 private:
  RKJPEGDecoder(const RKJPEGDecoder&) = delete;
  RKJPEGDecoder& operator=(const RKJPEGDecoder&) = delete;

  void endLibrary();
  // Ends the library state and closes the decoder (header-read flag clear); 0.
  int fail();
  // The scanline loop of decode; it runs under decode's setjmp.
  int readScanlines(u8* out);

  int m_components;
  int m_xDensity;
  int m_yDensity;
  int m_colorSpace;
  RKJPEGState* m_state;
};

}  // namespace RKSDK

#endif
