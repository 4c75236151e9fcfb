// PBM, PGM and PPM decoder (magic P1 to P6), plain (ASCII) and raw (binary) forms.
//
// Header: "P" and the form digit, then width, height and (except for bitmaps) the maximum value,
// as decimal numbers separated by white space, where '#' starts a comment that runs to the end of
// the line. One white-space byte separates the header from raw data. Raw samples take one byte,
// or two (most significant first) when the maximum value exceeds 255; raw bitmap rows are packed
// eight pixels a byte, most significant bit first, each row starting on a new byte.
//
// Bitmaps give one grey component of precision 1 whose sample is 1 for white and 0 for black (the
// file stores 1 for black); grey maps one grey component; pixmaps red, green and blue. The
// precision is the number of bits the maximum value needs. Samples above the maximum are clamped.
#include "internal.h"

#include <new>

namespace {

constexpr uint32_t kMaxValueLimit = 65535;

// Skips white space and comments.
void skipSpace(rkjas::Reader &in) {
  for (;;) {
    int c = in.peek();
    if (rkjas::isSpace(c)) {
      in.getc();
    } else if (c == '#') {
      while (c != -1 && c != '\n' && c != '\r') c = in.getc();
    } else {
      return;
    }
  }
}

// Reads an unsigned decimal number after optional white space and comments. Values beyond limit
// saturate at limit + 1, so that callers can refuse them without overflow.
bool getNumber(rkjas::Reader &in, uint32_t limit, uint32_t &value) {
  skipSpace(in);
  if (!rkjas::isDigit(in.peek())) return false;
  uint64_t v = 0;
  while (rkjas::isDigit(in.peek())) {
    v = v * 10 + uint64_t(in.getc() - '0');
    if (v > limit) v = uint64_t(limit) + 1;
  }
  value = uint32_t(v);
  return true;
}

int bitsFor(uint32_t maxval) {
  int bits = 0;
  while (maxval) {
    ++bits;
    maxval >>= 1;
  }
  return bits;
}

bool readPlainBitmap(rkjas::Reader &in, jas_image_t &image) {
  std::vector<int32_t> &out = image.cmpts[0].samples;
  for (int32_t &s : out) {
    skipSpace(in);
    int c = in.getc();
    if (c != '0' && c != '1') return false;
    s = c == '0' ? 1 : 0;
  }
  return true;
}

bool readRawBitmap(rkjas::Reader &in, jas_image_t &image) {
  rkjas::Component &cmpt = image.cmpts[0];
  const size_t rowBytes = (size_t(cmpt.width) + 7) / 8;
  int32_t *out = cmpt.samples.data();
  for (int y = 0; y < cmpt.height; ++y) {
    const unsigned char *row = in.take(rowBytes);
    if (!row) return false;
    for (int x = 0; x < cmpt.width; ++x) *out++ = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 0 : 1;
  }
  return true;
}

bool readPlainSamples(rkjas::Reader &in, jas_image_t &image, uint32_t maxval) {
  const size_t count = image.cmpts.size();
  const size_t plane = image.cmpts[0].samples.size();
  for (size_t i = 0; i < plane; ++i) {
    for (size_t c = 0; c < count; ++c) {
      uint32_t v;
      if (!getNumber(in, kMaxValueLimit, v)) return false;
      image.cmpts[c].samples[i] = int32_t(v > maxval ? maxval : v);
    }
  }
  return true;
}

bool readRawSamples(rkjas::Reader &in, jas_image_t &image, uint32_t maxval) {
  const size_t count = image.cmpts.size();
  const size_t plane = image.cmpts[0].samples.size();
  const size_t bytes = maxval > 255 ? 2 : 1;
  int32_t *planes[3] = {};
  for (size_t c = 0; c < count; ++c) planes[c] = image.cmpts[c].samples.data();
  // The whole raster must be present; the image size was bounded before allocating.
  const unsigned char *p = in.take(plane * count * bytes);
  if (!p) return false;
  for (size_t i = 0; i < plane; ++i) {
    for (size_t c = 0; c < count; ++c) {
      uint32_t v = bytes == 2 ? (uint32_t(p[0]) << 8) | p[1] : p[0];
      p += bytes;
      planes[c][i] = int32_t(v > maxval ? maxval : v);
    }
  }
  return true;
}

jas_image_t *decode(jas_stream_t *stream) {
  rkjas::Reader in(stream);
  if (!in.valid()) return nullptr;
  if (in.getc() != 'P') return nullptr;
  const int form = in.getc() - '0';
  if (form < 1 || form > 6) return nullptr;
  const bool bitmap = form == 1 || form == 4;
  const bool pixmap = form == 3 || form == 6;
  const bool raw = form >= 4;

  uint32_t width, height, maxval = 1;
  const uint32_t sizeLimit = 0x7fffffff;
  if (!getNumber(in, sizeLimit, width) || !getNumber(in, sizeLimit, height)) return nullptr;
  if (!bitmap && !getNumber(in, kMaxValueLimit, maxval)) return nullptr;
  if (width == 0 || height == 0 || width > sizeLimit || height > sizeLimit) return nullptr;
  if (maxval == 0 || maxval > kMaxValueLimit) return nullptr;
  // Exactly one white-space byte ends the header.
  if (!rkjas::isSpace(in.getc())) return nullptr;

  const int count = pixmap ? 3 : 1;
  // Each sample needs at least one byte of input (raw bitmaps an eighth): refuse sizes the data
  // cannot hold before allocating for them.
  const uint64_t samples = uint64_t(width) * height * uint64_t(count);
  const uint64_t needed = raw && bitmap ? (uint64_t(width) + 7) / 8 * height : samples;
  if (needed > in.remaining()) return nullptr;

  std::unique_ptr<jas_image_t> image =
      rkjas::makeImage(pixmap ? JAS_CLRSPC_SRGB : JAS_CLRSPC_SGRAY, count, width, height, bitsFor(maxval), 0);
  if (!image) return nullptr;
  if (pixmap) {
    image->cmpts[0].type = JAS_IMAGE_CT_RGB_R;
    image->cmpts[1].type = JAS_IMAGE_CT_RGB_G;
    image->cmpts[2].type = JAS_IMAGE_CT_RGB_B;
  } else {
    image->cmpts[0].type = JAS_IMAGE_CT_GRAY_Y;
  }

  bool ok;
  if (bitmap)
    ok = raw ? readRawBitmap(in, *image) : readPlainBitmap(in, *image);
  else
    ok = raw ? readRawSamples(in, *image, maxval) : readPlainSamples(in, *image, maxval);
  return ok ? image.release() : nullptr;
}

}  // namespace

extern "C" jas_image_t *pnm_decode(jas_stream_t *in, const char *) {
  try {
    return decode(in);
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
}
