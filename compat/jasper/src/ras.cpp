// Sun raster decoder, uncompressed files (types 0 and 1).
//
// Header: eight big-endian 32-bit words: magic 0x59A66A95, width, height, depth, data length,
// type, colour-map type and colour-map length in bytes. The colour map follows the header and is
// skipped; then the rows, top first, each padded to a multiple of 16 bits. Pixels are packed most
// significant bit first. Depths 24 and 32 give red, green and blue components of 8 bits: the
// pixel's last byte is red, the one before green, the one before that blue (a 32-bit pixel's
// first byte is unused). Every other depth gives one grey component holding the pixel value.
// Run-length encoded (type 2) and RGB-ordered (type 3) files are refused.
#include "internal.h"

#include <new>

namespace {

constexpr uint32_t kMagic = 0x59A66A95;
enum { kTypeOld = 0, kTypeStandard = 1 };
enum { kMapNone = 0, kMapEqualRgb = 1, kMapRaw = 2 };

jas_image_t *decode(jas_stream_t *stream) {
  rkjas::Reader in(stream);
  if (!in.valid()) return nullptr;
  uint32_t magic, width, height, depth, length, type, mapType, mapLength;
  if (!in.getU32be(magic) || !in.getU32be(width) || !in.getU32be(height) || !in.getU32be(depth) ||
      !in.getU32be(length) || !in.getU32be(type) || !in.getU32be(mapType) || !in.getU32be(mapLength))
    return nullptr;
  (void)length;  // zero in old files; the size follows from the other fields
  if (magic != kMagic) return nullptr;
  if (type != kTypeOld && type != kTypeStandard) return nullptr;
  if (width == 0 || height == 0 || width > 0x7fffffff || height > 0x7fffffff) return nullptr;
  if (depth < 1 || depth > 32) return nullptr;
  if (mapType != kMapNone && mapType != kMapEqualRgb && mapType != kMapRaw) return nullptr;
  if (mapType == kMapEqualRgb && mapLength % 3 != 0) return nullptr;
  if (!in.take(mapLength)) return nullptr;

  const uint64_t rowBytes = (uint64_t(width) * depth + 15) / 16 * 2;
  if (rowBytes * height > in.remaining()) return nullptr;
  const bool rgb = depth == 24 || depth == 32;
  std::unique_ptr<jas_image_t> image =
      rkjas::makeImage(rgb ? JAS_CLRSPC_SRGB : JAS_CLRSPC_SGRAY, rgb ? 3 : 1, width, height, rgb ? 8 : int(depth), 0);
  if (!image) return nullptr;

  if (rgb) {
    image->cmpts[0].type = JAS_IMAGE_CT_RGB_R;
    image->cmpts[1].type = JAS_IMAGE_CT_RGB_G;
    image->cmpts[2].type = JAS_IMAGE_CT_RGB_B;
    const size_t step = depth / 8;
    int32_t *r = image->cmpts[0].samples.data();
    int32_t *g = image->cmpts[1].samples.data();
    int32_t *b = image->cmpts[2].samples.data();
    for (uint32_t y = 0; y < height; ++y) {
      const unsigned char *p = in.take(size_t(rowBytes));
      for (uint32_t x = 0; x < width; ++x, p += step) {
        *b++ = p[step - 3];
        *g++ = p[step - 2];
        *r++ = p[step - 1];
      }
    }
  } else {
    image->cmpts[0].type = JAS_IMAGE_CT_GRAY_Y;
    int32_t *out = image->cmpts[0].samples.data();
    const uint64_t mask = (uint64_t(1) << depth) - 1;
    for (uint32_t y = 0; y < height; ++y) {
      const unsigned char *p = in.take(size_t(rowBytes));
      if (depth == 8) {
        for (uint32_t x = 0; x < width; ++x) *out++ = p[x];
        continue;
      }
      uint64_t bits = 0;
      uint32_t count = 0;
      for (uint32_t x = 0; x < width; ++x) {
        while (count < depth) {
          bits = (bits << 8) | *p++;
          count += 8;
        }
        count -= depth;
        *out++ = int32_t((bits >> count) & mask);
        bits &= (uint64_t(1) << count) - 1;
      }
    }
  }
  return image.release();
}

}  // namespace

extern "C" jas_image_t *ras_decode(jas_stream_t *in, const char *) {
  try {
    return decode(in);
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
}
