// Test support: PNG, JPEG and TIFF files made in memory by the libraries' own writers, and the
// libraries' own decodes of them for comparison.
#ifndef RK_TESTS_IMAGEFILEWRITERS_H
#define RK_TESTS_IMAGEFILEWRITERS_H

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace testimg {

using Bytes = std::vector<unsigned char>;

// Rows packed as the file formats store them: samples of bits each, most significant bits
// first, 16-bit samples big-endian (PNG) or in host order (TIFF); rows start on a byte.
Bytes packRows(int width, int height, int channels, int bits, const std::function<int(int x, int y, int c)>& sample,
               bool bigEndian16 = true);

struct PngSpec {
  int width = 1, height = 1, colorType = 2, bitDepth = 8;
  bool interlaced = false;
  Bytes rows;
  std::vector<std::array<unsigned char, 3>> palette;
  Bytes paletteAlpha;                     // tRNS of palette files
  std::array<int, 3> key = {-1, -1, -1};  // tRNS colour of grey (key[0]) or RGB files
  double gamma = 0;                       // gAMA when > 0
};
Bytes writePng(const PngSpec& spec);
// libpng's own decode to blue, green, red (alpha) bytes; empty on failure.
Bytes referencePng(const Bytes& file, bool alpha);

struct JpegSpec {
  int width = 1, height = 1, components = 3;  // 1 grey, 3 RGB, 4 CMYK
  Bytes pixels;
  int density = 0;  // JFIF dots per inch when > 0
};
Bytes writeJpeg(const JpegSpec& spec);
// libjpeg's own decode: output rows of width x components bytes.
Bytes referenceJpeg(const Bytes& file);

struct TiffSpec {
  int width = 1, height = 1, samples = 1, bits = 8, photometric = 1;  // photometric -1: no tag
  int compression = 1, rowsPerStrip = 0, extraSamples = 0;
  bool tiled = false;
  bool planar = false;  // rows are given contiguous and written as one plane a sample (8 bits)
  Bytes rows;           // scanlines as TIFFWriteScanline takes them (contiguous red, green, blue
                        // for JPEG-compressed YCbCr, which libtiff converts)
  std::vector<uint16_t> red, green, blue;
  int unit = -1;
  float xResolution = 0, yResolution = 0;
  int orientation = 0, sampleFormat = 0, inkSet = 0;  // written when not 0
};
Bytes writeTiff(const TiffSpec& spec);
// libtiff's own RGBA decode, top row first, as red, green, blue bytes; empty on failure.
Bytes referenceTiff(const Bytes& file);
// The number of tiles of a tiled file when libtiff reads every one of them, else 0.
int readableTiles(const Bytes& file);
// The file with the data of strip strip moved to offset (the bytes there are not changed): a
// strip that runs past the end of the file, as a cut file has it. Little-endian files only.
Bytes withStripOffset(const Bytes& file, int strip, uint32_t offset);

}  // namespace testimg

#endif
