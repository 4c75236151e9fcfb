// The image-file source: recognises a file's format by its first ten bytes or, failing that, by
// the extension of its name, and builds the matching decoder on request. As a source of pins it
// hands the file's undecoded bytes (an image of type 3001) to every connected pin.
//
// Calling order: setFile, then getImage (or getImageGroup) as often as wanted. Every decoder is
// a local object that lives for one getImage or getImageGroup call.
#ifndef RK_IMAGING_RKIMGFILESRC_H
#define RK_IMAGING_RKIMGFILESRC_H

#include <vector>

#include "IRKSrcPin.h"
#include "RKImage.h"
#include "RKImageGroup.h"
#include "RKString.h"

namespace RKSDK {

// Format codes of the image-file source.
enum {
  RK_FORMAT_NONE = 1000,  // not probed, or not recognised
  RK_FORMAT_JPEG = 1012,
  RK_FORMAT_BMP = 1013,
  RK_FORMAT_PNG = 1014,
  RK_FORMAT_GIF = 1015,
  RK_FORMAT_PCX = 1017,
  RK_FORMAT_TIFF = 1018,
  RK_FORMAT_JP2 = 1019,  // JPEG 2000 file
  RK_FORMAT_JPC = 1020,  // JPEG 2000 code-stream
  RK_FORMAT_PGX = 1021,
  RK_FORMAT_PPM = 1022,
  RK_FORMAT_PGM = 1023,
  RK_FORMAT_PBM = 1024,
  RK_FORMAT_RAS = 1025,  // Sun raster
  RK_FORMAT_TGA = 1026,
  RK_FORMAT_ICO = 1030,
  RK_FORMAT_CUR = 1031,
  RK_FORMAT_WMF = 1032,  // placeable Windows metafile
  RK_FORMAT_EMF = 1033   // enhanced metafile
};

class RKImgFileSrc : public virtual RKObject, public virtual IRKPin, public virtual IRKSrcPin {
 public:
  RKImgFileSrc();
  ~RKImgFileSrc() override;

  // Forgets the previous file, then probes path; on success keeps path. 1 when recognised.
  virtual int setFile(RKString path);
  // The file's image (for groups their first image), one reference for the caller; null when
  // nothing is set or the decoder cannot open or decode the file.
  virtual RKImage* getImage();
  // All frames of a GIF file, one reference for the caller; null for every other format.
  virtual RKImageGroup* getImageGroup();
  // Reads the first ten bytes of path and stores the format they (or the extension) name.
  // 0 when the file cannot be opened, is shorter than ten bytes, or is not recognised; the
  // format code is changed only on success.
  virtual int probeType(RKString path);

  // The format code (1000 when none).
  int getFormat() override;
  // Reads the file afresh for each connected pin and hands it an image of type 3001 over the
  // file's bytes (nominal size 320 x 240). A file that cannot be opened or read is skipped.
  void pushFile() override;
  // Calls broadcast of every connected pin with argument, in list order.
  void broadcast(void* argument) override;

  // The format code named by the first ten bytes of a file, or RK_FORMAT_NONE.
  static int formatOfBytes(const unsigned char* bytes);
  // The format code named by the extension of path (case ignored), or RK_FORMAT_NONE.
  static int formatOfExtension(const RKString& path);

 private:
  // The connected pins, each with a reference added for the caller.
  std::vector<IRKPin*> pinsHeld();
  // The file's bytes as a new buffer (one reference), or null when it cannot be read.
  RKBuffer* readFileBytes();

  int m_format;
  RKString m_path;
};

}  // namespace RKSDK

#endif
