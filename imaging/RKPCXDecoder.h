// Decoder of PCX files, rows run-length encoded or stored as they are, into one image of type
// 1003 (red, green, blue): 8-bit files through the 256-colour palette at their end, all others
// as three planes of bytes. No decoded buffer is kept: each getBuffer decodes afresh.
#ifndef RK_IMAGING_RKPCXDECODER_H
#define RK_IMAGING_RKPCXDECODER_H

#include <vector>

#include "RKDecoderFrame.h"

namespace RKSDK {

class RKPCXDecoder : public RKImageDecoder {
 public:
  RKPCXDecoder();

  virtual int getBitsPerPixel();
  virtual int getXDensity();
  virtual int getYDensity();

  int readHeader() override;
  int decode(RKBuffer* target) override;
  // Decodes one row of n bytes from the data at pos into dst, advancing pos past the row's
  // bytes: n bytes copied as stored for encoding 0, else run-length codes, where a run that
  // passes the end of the row is cut there. The bytes produced (n), or -1 when the data ends
  // first.
  virtual int decodeRow(const std::vector<u8>& data, size_t& pos, u8* dst, int n);
  // The two layouts, into target (allocated here); 1 or 0.
  virtual int decodePlanes(RKBuffer* target);
  virtual int decodePalette(RKBuffer* target);

 protected:
  unsigned int pixelType() override;
  void writeInfo(RKParam* properties) override;
  int keepsDecoded() override;

  // The encoded data from byte 128 to the end of the stream, and whether the rows the header
  // promises can fit in it.
  bool readData(std::vector<u8>& data, int rowBytes);

  int m_bitsPerPixel;
  int m_xDensity;
  int m_yDensity;
  int m_planes;
  int m_bitsPerPlane;
  u16 m_bytesPerLine;
  int m_version;           // 0 and 3: written without palette information
  int m_encoding;          // 0: rows stored as they are; 1: run-length encoded rows
  u8 m_headerPalette[48];  // 16 entries of red, green, blue, for files of four 1-bit planes
};

}  // namespace RKSDK

#endif
