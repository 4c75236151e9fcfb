// PGX decoder: one grey component.
//
// Header line: "PG", white space, the byte order ("ML": most significant byte first, "LM": least
// significant first), white space, an optional sign ('+' unsigned, '-' signed two's complement),
// the precision in bits, the width and the height, as decimal numbers separated by white space,
// and one white-space byte. Then width x height samples, rows top first, each in (precision + 7) / 8
// bytes; bits above the precision are ignored.
#include "internal.h"

#include <new>

namespace {

void skipSpace(rkjas::Reader &in) {
  while (rkjas::isSpace(in.peek())) in.getc();
}

bool getNumber(rkjas::Reader &in, uint32_t &value) {
  skipSpace(in);
  if (!rkjas::isDigit(in.peek())) return false;
  uint64_t v = 0;
  while (rkjas::isDigit(in.peek())) {
    v = v * 10 + uint64_t(in.getc() - '0');
    if (v > 0x7fffffff) v = 0x80000000u;  // saturates; refused by the callers' range checks
  }
  value = uint32_t(v);
  return true;
}

jas_image_t *decode(jas_stream_t *stream) {
  rkjas::Reader in(stream);
  if (!in.valid()) return nullptr;
  if (in.getc() != 'P' || in.getc() != 'G') return nullptr;
  skipSpace(in);
  const int b0 = in.getc(), b1 = in.getc();
  bool bigEndian;
  if (b0 == 'M' && b1 == 'L')
    bigEndian = true;
  else if (b0 == 'L' && b1 == 'M')
    bigEndian = false;
  else
    return nullptr;
  skipSpace(in);
  bool sgnd = false;
  if (in.peek() == '+' || in.peek() == '-') sgnd = in.getc() == '-';

  uint32_t prec, width, height;
  if (!getNumber(in, prec) || !getNumber(in, width) || !getNumber(in, height)) return nullptr;
  if (prec < 1 || prec > 31 || width == 0 || height == 0 || width > 0x7fffffff || height > 0x7fffffff) return nullptr;
  if (!rkjas::isSpace(in.getc())) return nullptr;

  const size_t bytes = (prec + 7) / 8;
  // The whole raster must be present before anything is allocated for it.
  if (uint64_t(width) * height > in.remaining() / bytes) return nullptr;
  std::unique_ptr<jas_image_t> image = rkjas::makeImage(JAS_CLRSPC_SGRAY, 1, width, height, int(prec), sgnd ? 1 : 0);
  if (!image) return nullptr;
  rkjas::Component &cmpt = image->cmpts[0];
  cmpt.type = JAS_IMAGE_CT_GRAY_Y;

  const unsigned char *p = in.take(cmpt.samples.size() * bytes);
  if (!p) return nullptr;
  const uint32_t mask = (uint32_t(1) << prec) - 1;
  const uint32_t signBit = uint32_t(1) << (prec - 1);
  for (int32_t &s : cmpt.samples) {
    uint32_t v = 0;
    if (bigEndian) {
      for (size_t i = 0; i < bytes; ++i) v = (v << 8) | p[i];
    } else {
      for (size_t i = bytes; i-- > 0;) v = (v << 8) | p[i];
    }
    p += bytes;
    v &= mask;
    if (sgnd && (v & signBit))
      s = int32_t(int64_t(v) - (int64_t(1) << prec));
    else
      s = int32_t(v);
  }
  return image.release();
}

}  // namespace

extern "C" jas_image_t *pgx_decode(jas_stream_t *in, const char *) {
  try {
    return decode(in);
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
}
