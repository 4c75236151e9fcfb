// TIFF decoder: reads the first image of a TIFF file through libtiff's scanline reader.
#ifndef RK_IMAGING_RKTIFFDECODER_H
#define RK_IMAGING_RKTIFFDECODER_H

#include "RKDecoderFrame.h"

struct tiff;

namespace RKSDK {

struct RKTIFFClient;

// Pixel type 1003 (red, green, blue), or 1027 (cyan, magenta, yellow, black unchanged) for
// separated files. One-sample files go through a palette: the file's colour map, or a grey
// ramp for white-is-zero and black-is-zero files. Rows come in stored order, top stored row
// first, whatever the orientation tag. Tiled files, files of more than 8 bits a sample, of
// signed or floating-point samples or of inks other than CMYK are refused at open, and so are
// files without a photometric interpretation but where their other tags settle it (one-bit fax
// coding, a colour map, an ink set). The libtiff handle lives from a successful open to the end
// of the decode, which closes the decoder's stream; the decoded pixels stay cached.
class RKTIFFDecoder : public RKImageDecoder {
 public:
  RKTIFFDecoder();
  ~RKTIFFDecoder() override;

  // Samples per pixel.
  virtual int getComponentCount();
  // Densities from the resolution: per inch, per centimetre times 100, or 0 without a unit.
  virtual int getXDensity();
  virtual int getYDensity();
  // Closes the libtiff handle, frees the palette and releases the kept stream.
  virtual void close();
  // close, then drops the decoded pixels.
  virtual void reset();

  // Counts 3 bytes a pixel (CMYK files too); before any open the size is 0, whatever the
  // header-read flag.
  int readRaw(void* destination) override;

 protected:
  int readHeader() override;
  int decode(RKBuffer* target) override;
  unsigned int pixelType() override;
  unsigned int infoPixelType() override;
  int rawBytesPerPixel() override;
  void writeInfo(RKParam* properties) override;
  void prepareImage(RKImage* image) override;

  // Expands width packed palette indexes (1 to 8 bits each, most significant bits first) at the
  // start of row into 3-byte pixels of the same row; rows without a palette become black.
  void convertRow(const u8* palette, u8* row, int width, int bitsPerSample);

 private:
  RKTIFFDecoder(const RKTIFFDecoder&) = delete;
  RKTIFFDecoder& operator=(const RKTIFFDecoder&) = delete;

  void endLibrary();
  // Closes the decoder (header-read flag clear); 0.
  int fail();
  // The palette of one-sample files by photometric interpretation; null when none applies.
  u8* makePalette(int photometric);
  // Whether any strip of the planes read has, inside the file, the bytes of a row of lineSize
  // bytes (uncompressed) or any byte (compressed): libtiff reads no row of a file without one.
  bool stripsHoldARow(uint64_t lineSize);

  int m_components;
  int m_xDensity;
  int m_yDensity;
  int m_bitsPerSample;
  int m_cmyk;
  int m_keep;     // samples of each pixel the picture takes: 1 (through the palette), 3 or 4
  int m_planar;   // set when each sample has a plane of its own
  u8* m_palette;  // 256 entries of red, green, blue
  tiff* m_tiff;
  RKTIFFClient* m_client;
};

}  // namespace RKSDK

#endif
