// Decoder of Windows icon and cursor files into an image group: one image of type 1007 (blue,
// green, red, alpha) for each directory entry, its AND mask turned into alpha.
#ifndef RK_IMAGING_RKICODECODER_H
#define RK_IMAGING_RKICODECODER_H

#include <vector>

#include "RKDecoderFrame.h"

namespace RKSDK {

class RKICODecoder : public RKImageGroupDecoder {
 public:
  RKICODecoder();

  // Reads the directory (the header step of the frame).
  virtual int readDirectory();
  // Decodes the entries into group; an entry that fails ends the decode with 0. Entries share no
  // limit on their data, which several may point at: an entry that would take the group's pixels
  // past groupLimit() ends the group with the entries before it (none: 0).
  virtual int readEntries(RKImageGroup* group);
  // One stored colour row of width pixels of bitCount bits into blue, green, red, alpha;
  // nothing is written for depths without a decoding.
  virtual void convertRow(const u8* palette, const u8* src, u8* dst, int width, int bitCount);

 protected:
  int readHeader() override;
  int decodeGroup(RKImageGroup* target) override;
  // One entry's image, one reference for the caller; or null, with over set when the image
  // would hold more than budget pixel bytes (nothing is allocated for it then).
  RKImage* readEntry(const u8* entry, int64_t budget, bool& over);
  // Most pixel bytes that all images of one group may hold together.
  virtual int64_t groupLimit() { return RK_MAX_IMAGE_BYTES; }

  std::vector<u8> m_directory;
  int m_count;
  int m_is565;
};

}  // namespace RKSDK

#endif
