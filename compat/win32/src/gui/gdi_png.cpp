// PNG output of surfaces, for the window manager's screenshots and for tests.
#include "compat_gdi.h"
#include "gdi_internal.h"
#include "gdi_private.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace rkgdi {

BOOL WritePng(const void* bits, int width, int height, int stride, const char* path) {
  if (!bits || !path || width <= 0 || height <= 0 || stride < width * 4) return FALSE;
  FILE* f = std::fopen(path, "wb");
  if (!f) return FALSE;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<png_byte> row(size_t(width) * 3);
  bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const uint8_t* src = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
      const uint8_t* s = src + size_t(y) * size_t(stride);
      for (int x = 0; x < width; ++x) {
        row[size_t(x) * 3] = s[x * 4 + 2];
        row[size_t(x) * 3 + 1] = s[x * 4 + 1];
        row[size_t(x) * 3 + 2] = s[x * 4];
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  return std::fclose(f) == 0 && ok ? TRUE : FALSE;
}

}  // namespace rkgdi

BOOL compat_SaveDCPng(HDC hdc, const char* path) {
  rkgdi::DC* dc = rkgdi::lookupDC(hdc);
  rkgdi::Target t;
  int w, h;
  if (!dc || !rkgdi::surfaceOf(dc, t, w, h)) return FALSE;
  return rkgdi::WritePng(t.bits, w, h, t.stride, path);
}

BOOL compat_WritePngBGRX(const void* bits, int width, int height, int stride, const char* path) {
  return rkgdi::WritePng(bits, width, height, stride, path);
}
