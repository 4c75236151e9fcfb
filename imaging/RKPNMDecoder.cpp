#include "RKPNMDecoder.h"

namespace RKSDK {

namespace {

// Colour family under which some builds of the codec library report bitmaps; others report them
// as grey, and the file's magic ("P1" or "P4") tells them apart.
const int BILEVEL_FAMILY = 6;

bool isBitmapFile(RKBuffer* contents) {
  const u8* magic = contents->getSize() >= 2 ? contents->getData(0) : nullptr;
  return magic && magic[0] == 'P' && (magic[1] == '1' || magic[1] == '4');
}

}  // namespace

RKPNMDecoder::RKPNMDecoder() : RKJasperDecoder(RK_PIXEL_RGB24) { appendClassName("RKPNMDecoder"); }

const char* RKPNMDecoder::jasperFormat() { return "pnm"; }

unsigned int RKPNMDecoder::infoPixelType() { return RK_PIXEL_RGB24; }

// What the decoded pixels hold: 3 bytes for pixmaps, 1 for grey maps and bitmaps.
int RKPNMDecoder::rawBytesPerPixel() { return RKImage::bytesPerPixel(m_pixelType); }

int RKPNMDecoder::convert(jas_image_t* image, RKBuffer* contents) {
  const int family = jas_clrspc_fam(jas_image_clrspc(image));
  const int count = jas_image_numcmpts(image);
  if (family == JAS_CLRSPC_FAM_RGB && count == 3) {
    static const int byteOf[3] = {0, 1, 2};
    if (!copyColour(image, byteOf)) return 0;
    m_pixelType = RK_PIXEL_RGB24;
    return 1;
  }
  if (count != 1 || (family != JAS_CLRSPC_FAM_GRAY && family != BILEVEL_FAMILY)) return 0;
  const bool bilevel = family == BILEVEL_FAMILY || isBitmapFile(contents);
  if (!makeDecoded(image, 1) || !copyComponent(image, 0, 1, 0, bilevel, 0, 0)) return 0;
  notifyRow(100, 100);
  m_pixelType = bilevel ? RK_PIXEL_BILEVEL : RK_PIXEL_GREY8;
  return 1;
}

}  // namespace RKSDK
