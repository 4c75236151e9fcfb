// PBM, PGM and PPM decoder (magic P1 to P6), plain (ASCII) and raw (binary) forms.
//
// Header: "P" and the form digit, then width, height and (except for bitmaps) the maximum value,
// as decimal numbers separated by white space, where '#' starts a comment that runs to the end of
// the line. One white-space byte separates the header from raw data. Raw samples take one byte,
// or two (most significant first) when the maximum value exceeds 255; raw bitmap rows are packed
// eight pixels a byte, most significant bit first, each row starting on a new byte.
//
// Bitmaps give one grey component of precision 1 whose sample is 1 for white and 0 for black (the
// file stores 1 for black); grey maps one grey component; pixmaps red, green and blue. Samples
// above the maximum are clamped. A maximum of the form 2^n - 1 gives precision n and the samples
// as stored; any other maximum (100, 1000) says where white is, so the samples are scaled from it
// to the full range of precision 8 (maximum below 256) or 16, rounded: white stays white.
// Components of 8 bits or less keep one byte a sample.
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

// The precision samples of a maximum value are given in (see the file comment).
int precisionFor(uint32_t maxval) {
  const int bits = bitsFor(maxval);
  if ((uint32_t(1) << bits) - 1 == maxval) return bits;
  return maxval < 256 ? 8 : 16;
}

// Sample value of every stored value 0 to maxval at the precision above.
std::vector<uint32_t> sampleTable(uint32_t maxval) {
  const uint32_t top = (uint32_t(1) << precisionFor(maxval)) - 1;
  std::vector<uint32_t> table(size_t(maxval) + 1);
  for (uint32_t v = 0; v <= maxval; ++v) table[v] = uint32_t((uint64_t(v) * top + maxval / 2) / maxval);
  return table;
}

void putSample(rkjas::Component &cmpt, size_t i, uint32_t v) {
  if (cmpt.compact())
    cmpt.bytes[i] = uint8_t(v);
  else
    cmpt.samples[i] = int32_t(v);
}

bool readPlainBitmap(rkjas::Reader &in, jas_image_t &image) {
  rkjas::Component &cmpt = image.cmpts[0];
  const size_t count = size_t(cmpt.width) * size_t(cmpt.height);
  for (size_t i = 0; i < count; ++i) {
    skipSpace(in);
    int c = in.getc();
    if (c != '0' && c != '1') return false;
    putSample(cmpt, i, c == '0' ? 1 : 0);
  }
  return true;
}

bool readRawBitmap(rkjas::Reader &in, jas_image_t &image) {
  rkjas::Component &cmpt = image.cmpts[0];
  const size_t rowBytes = (size_t(cmpt.width) + 7) / 8;
  size_t i = 0;
  for (int y = 0; y < cmpt.height; ++y) {
    const unsigned char *row = in.take(rowBytes);
    if (!row) return false;
    for (int x = 0; x < cmpt.width; ++x) putSample(cmpt, i++, ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 0 : 1);
  }
  return true;
}

bool readPlainSamples(rkjas::Reader &in, jas_image_t &image, uint32_t maxval) {
  const std::vector<uint32_t> table = sampleTable(maxval);
  const size_t count = image.cmpts.size();
  const size_t plane = size_t(image.cmpts[0].width) * size_t(image.cmpts[0].height);
  for (size_t i = 0; i < plane; ++i) {
    for (size_t c = 0; c < count; ++c) {
      uint32_t v;
      if (!getNumber(in, kMaxValueLimit, v)) return false;
      putSample(image.cmpts[c], i, table[v > maxval ? maxval : v]);
    }
  }
  return true;
}

bool readRawSamples(rkjas::Reader &in, jas_image_t &image, uint32_t maxval) {
  const size_t count = image.cmpts.size();
  const size_t plane = size_t(image.cmpts[0].width) * size_t(image.cmpts[0].height);
  const size_t bytes = maxval > 255 ? 2 : 1;
  // The whole raster must be present; the image size was bounded before allocating.
  const unsigned char *p = in.take(plane * count * bytes);
  if (!p) return false;
  // Every stored value, clamped to the maximum, to its sample.
  std::vector<uint32_t> table = sampleTable(maxval);
  table.resize(bytes == 2 ? 65536 : 256, table.back());
  if (bytes == 1 && maxval == 255) {
    // Raw 8-bit samples as they stand: the components read them in place.
    for (size_t c = 0; c < count; ++c) {
      image.cmpts[c].bytes.reset();
      image.cmpts[c].view = p + c;
      image.cmpts[c].step = count;
    }
    return true;
  }
  if (bytes == 1) {
    // One byte a stored sample gives compact components: a byte table, no per-sample branch.
    uint8_t small[256];
    for (size_t v = 0; v < 256; ++v) small[v] = uint8_t(table[v]);
    if (count == 1) {
      uint8_t *out = image.cmpts[0].bytes.get();
      for (size_t i = 0; i < plane; ++i) out[i] = small[p[i]];
      return true;
    }
    uint8_t *r = image.cmpts[0].bytes.get(), *g = image.cmpts[1].bytes.get(), *b = image.cmpts[2].bytes.get();
    for (size_t i = 0; i < plane; ++i, p += 3) {
      r[i] = small[p[0]];
      g[i] = small[p[1]];
      b[i] = small[p[2]];
    }
    return true;
  }
  for (size_t i = 0; i < plane; ++i) {
    for (size_t c = 0; c < count; ++c, p += 2) putSample(image.cmpts[c], i, table[(uint32_t(p[0]) << 8) | p[1]]);
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

  std::unique_ptr<jas_image_t> image = rkjas::makeImage(pixmap ? JAS_CLRSPC_SRGB : JAS_CLRSPC_SGRAY, count, width,
                                                        height, precisionFor(maxval), 0, true);
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
