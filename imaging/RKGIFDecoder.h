// Decoder of GIF files (87a and 89a) with all their frames into an image group: one image of
// type 1007 (blue, green, red, alpha) a frame, each later frame composed over the one before,
// with its delay in milliseconds.
#ifndef RK_IMAGING_RKGIFDECODER_H
#define RK_IMAGING_RKGIFDECODER_H

#include <vector>

#include "RKDecoderFrame.h"

namespace RKSDK {

class RKGIFDecoder : public RKImageGroupDecoder {
 public:
  RKGIFDecoder();

 protected:
  int readHeader() override;
  int decodeGroup(RKImageGroup* target) override;

  // A colour table: entries of red, green, blue.
  struct ColourTable {
    int count = 0;
    std::vector<u8> rgb;
  };
  // The graphic control in force; it stays until the next graphic-control extension.
  struct GraphicControl {
    int disposal = 0;
    int userInput = 0;
    int transparent = 0;
    int delay = 0;  // hundredths of a second
    int transparentIndex = 0;
  };

  bool readTable(int count, ColourTable& table);
  void readGraphicControl(GraphicControl& control);
  // Skips data sub-blocks up to and including the empty one.
  void skipSubBlocks();
  // What reading one frame leaves the decode to do.
  enum FrameResult { FRAME_FAILED, FRAME_READ, FRAME_LAST };
  // Reads one frame (after its 2C byte) and adds it to group. FRAME_FAILED when the file is cut
  // inside the image descriptor or the local colour table; FRAME_LAST when the frame would take
  // the group's pixels past groupLimit() (the frame is not added).
  FrameResult readFrame(RKImageGroup* group, const GraphicControl& control, int64_t& groupBytes);
  // Bytes of LZW data in the sub-blocks ahead as their count bytes declare them (the stream is
  // left where it was).
  int64_t frameDataBytes();
  // Most pixel bytes that all frames of one group may hold together.
  virtual int64_t groupLimit() { return RK_MAX_IMAGE_BYTES; }
  // Decodes the frame's LZW data into pixels (width x height x 4 bytes); the number of pixels
  // its data gave, those of a sub-block cut by the end of the file included.
  int64_t decodeLzw(u8* pixels, int width, int height, bool interlaced, const ColourTable& table,
                    const GraphicControl& control);

  int m_globalFlag;
  int m_colourResolution;
  int m_sortFlag;
  ColourTable m_global;
};

}  // namespace RKSDK

#endif
