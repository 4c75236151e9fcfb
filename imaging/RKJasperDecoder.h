// Shared part of the decoders that hand their format to the image codec library (PNM, PGX, Sun
// raster).
//
// Unlike the other decoders of the frame, these decode at open time: every open ends by taking
// all the input bytes and decoding them at once. No input stream is kept and there is no separate
// header step, so the header-read flag of the frame doubles as the decoded flag: it is set only
// together with the decoded buffer, and every open drops the buffer of the previous one.
//
// A member supplies the codec library's format name and convert(), which turns the decoded
// components into the decoded buffer, width, height and pixel type (or refuses the image).
#ifndef RK_IMAGING_RKJASPERDECODER_H
#define RK_IMAGING_RKJASPERDECODER_H

#include <jasper/jasper.h>

#include "RKDecoderFrame.h"

namespace RKSDK {

class RKJasperDecoder : public RKImageDecoder {
 public:
  ~RKJasperDecoder() override;

  // Reads the stream from its position to its end, then openBuffer of those bytes. A stream
  // whose available() fails, or that delivers fewer bytes than it announced, gives 0.
  int openStream(IRKIOStream* stream) override;
  // Decodes the buffer's bytes (the file contents) at once.
  int openBuffer(RKBuffer* buffer) override;

  // Decodes file contents into the decoded buffer; 1, or 0 with no decoded buffer. (The frame
  // calls this hook only when a header was read but nothing decoded, which never happens here:
  // it is then handed an empty buffer and fails.)
  int decode(RKBuffer* contents) override;

 protected:
  explicit RKJasperDecoder(unsigned int initialPixelType);

  // The codec library's name of the format ("pnm", "pgx", "ras").
  virtual const char* jasperFormat() = 0;
  // Fills m_decoded (one reference), m_width, m_height and m_pixelType from image; the file
  // contents are at hand for members that need to look at them. 1, or 0 to refuse the image.
  virtual int convert(jas_image_t* image, RKBuffer* contents) = 0;

  int readHeader() override;
  unsigned int pixelType() override;

  // Checks that every component of image is width x height and that the pixels fit the
  // library's size cap, then makes m_decoded of width x height x bytesPerPixel bytes.
  int makeDecoded(jas_image_t* image, int bytesPerPixel);
  // Copies component c into m_decoded as bytes: the sample of pixel i goes to byte
  // i x step + offset. Samples are brought to 8 bits unless raw (raw samples are clamped to a
  // byte). After each row, rowDecoded(rowBase + y, rowCount) when rowCount > 0.
  int copyComponent(jas_image_t* image, int c, int step, int offset, bool raw, int rowBase, int rowCount);
  // Places the three components of an RGB image by their colour type: type t at byte
  // byteOf[t] of each 3-byte pixel; progress per row and component.
  int copyColour(jas_image_t* image, const int byteOf[3]);
  // copyColour's road for three unsigned 8-bit components; 0 when they are of another kind.
  int copyEightBitColour(jas_image_t* image, const int byteOf[3]);

  unsigned int m_pixelType;
};

}  // namespace RKSDK

#endif
