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
  // Reads one frame (after its 2C byte) and adds it to group; false when the file is cut
  // inside the image descriptor or the local colour table.
  bool readFrame(RKImageGroup* group, const GraphicControl& control);
  // Decodes the frame's LZW data into pixels (width x height x 4 bytes).
  void decodeLzw(u8* pixels, int width, int height, bool interlaced, const ColourTable& table,
                 const GraphicControl& control);

  int m_globalFlag;
  int m_colourResolution;
  int m_sortFlag;
  ColourTable m_global;
};

}  // namespace RKSDK

#endif
