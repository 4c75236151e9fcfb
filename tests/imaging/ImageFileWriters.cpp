#include "ImageFileWriters.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace testimg {

Bytes packRows(int width, int height, int channels, int bits, const std::function<int(int, int, int)>& sample,
               bool bigEndian16) {
  size_t rowBytes = (static_cast<size_t>(width) * channels * bits + 7) / 8;
  Bytes out(rowBytes * height, 0);
  for (int y = 0; y < height; ++y) {
    unsigned char* row = out.data() + rowBytes * y;
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) {
        int v = sample(x, y, c);
        size_t i = static_cast<size_t>(x) * channels + c;
        if (bits == 16) {
          row[i * 2] = static_cast<unsigned char>(bigEndian16 ? v >> 8 : v);
          row[i * 2 + 1] = static_cast<unsigned char>(bigEndian16 ? v : v >> 8);
        } else if (bits == 8) {
          row[i] = static_cast<unsigned char>(v);
        } else {
          // Bit by bit, most significant first: a sample of 3, 5, 6 or 7 bits may straddle bytes.
          for (int b = 0; b < bits; ++b) {
            size_t bit = i * bits + b;
            if (v >> (bits - 1 - b) & 1) row[bit / 8] |= static_cast<unsigned char>(0x80 >> bit % 8);
          }
        }
      }
  }
  return out;
}

namespace {
void pngWrite(png_structp png, png_bytep data, png_size_t length) {
  Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void pngFlush(png_structp) {}
void pngQuiet(png_structp, png_const_charp) {}
}  // namespace

Bytes writePng(const PngSpec& s) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, pngQuiet);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return Bytes();
  }
  png_set_benign_errors(png, 1);
  png_set_write_fn(png, &out, pngWrite, pngFlush);
  png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
               s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (auto& e : s.palette) palette.push_back(png_color{e[0], e[1], e[2]});
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  png_color_16 key = {};
  if (!s.paletteAlpha.empty())
    png_set_tRNS(png, info, s.paletteAlpha.data(), static_cast<int>(s.paletteAlpha.size()), nullptr);
  else if (s.key[0] >= 0) {
    key.gray = key.red = static_cast<png_uint_16>(s.key[0]);
    key.green = static_cast<png_uint_16>(s.key[1]);
    key.blue = static_cast<png_uint_16>(s.key[2]);
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  if (s.gamma > 0) png_set_gAMA(png, info, s.gamma);
  png_write_info(png, info);
  size_t rowBytes = png_get_rowbytes(png, info);
  std::vector<png_bytep> rows;
  for (int y = 0; y < s.height; ++y) rows.push_back(const_cast<png_bytep>(s.rows.data() + rowBytes * y));
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes referencePng(const Bytes& file, bool alpha) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return Bytes();
  image.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  Bytes out(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr)) return Bytes();
  return out;
}

Bytes writeJpeg(const JpegSpec& s) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = s.width;
  c.image_height = s.height;
  c.input_components = s.components;
  c.in_color_space = s.components == 1 ? JCS_GRAYSCALE : s.components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  if (s.density > 0) {
    c.density_unit = 1;
    c.X_density = c.Y_density = static_cast<UINT16>(s.density);
  }
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row =
        const_cast<JSAMPROW>(s.pixels.data() + static_cast<size_t>(c.next_scanline) * s.width * s.components);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes out(mem, mem + size);
  std::free(mem);
  return out;
}

Bytes referenceJpeg(const Bytes& file) {
  jpeg_decompress_struct d;
  jpeg_error_mgr err;
  d.err = jpeg_std_error(&err);
  err.output_message = [](j_common_ptr) {};
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, file.data(), file.size());
  jpeg_read_header(&d, TRUE);
  jpeg_start_decompress(&d);
  size_t stride = static_cast<size_t>(d.output_width) * d.output_components;
  Bytes out(stride * d.output_height);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = out.data() + stride * d.output_scanline;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return out;
}

namespace {
// A growable in-memory file for libtiff.
struct MemFile {
  Bytes data;
  size_t pos = 0;
};
tmsize_t memRead(thandle_t h, void* buf, tmsize_t n) {
  MemFile* f = static_cast<MemFile*>(h);
  size_t left = f->pos < f->data.size() ? f->data.size() - f->pos : 0;
  size_t take = std::min(left, static_cast<size_t>(n));
  std::memcpy(buf, f->data.data() + f->pos, take);
  f->pos += take;
  return static_cast<tmsize_t>(take);
}
tmsize_t memWrite(thandle_t h, void* buf, tmsize_t n) {
  MemFile* f = static_cast<MemFile*>(h);
  if (f->pos + n > f->data.size()) f->data.resize(f->pos + n);
  std::memcpy(f->data.data() + f->pos, buf, n);
  f->pos += n;
  return n;
}
toff_t memSeek(thandle_t h, toff_t off, int whence) {
  MemFile* f = static_cast<MemFile*>(h);
  if (whence == SEEK_SET)
    f->pos = off;
  else if (whence == SEEK_CUR)
    f->pos += static_cast<int64_t>(off);
  else
    f->pos = f->data.size() + static_cast<int64_t>(off);
  return f->pos;
}
int memClose(thandle_t) { return 0; }
toff_t memSize(thandle_t h) { return static_cast<MemFile*>(h)->data.size(); }

TIFF* memOpen(MemFile* f, const char* mode) {
  return TIFFClientOpen("mem", mode, f, memRead, memWrite, memSeek, memClose, memSize, nullptr, nullptr);
}
}  // namespace

Bytes writeTiff(const TiffSpec& s) {
  MemFile f;
  TIFF* t = memOpen(&f, "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, s.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, s.height);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, s.samples);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, s.bits);
  if (s.photometric >= 0) TIFFSetField(t, TIFFTAG_PHOTOMETRIC, s.photometric);
  TIFFSetField(t, TIFFTAG_COMPRESSION, s.compression);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, s.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  if (s.compression == COMPRESSION_JPEG) {
    TIFFSetField(t, TIFFTAG_JPEGQUALITY, 95);
    if (s.photometric == PHOTOMETRIC_YCBCR) TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  }
  if (s.extraSamples > 0) {
    std::vector<uint16_t> kinds(s.extraSamples, EXTRASAMPLE_UNASSALPHA);
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, s.extraSamples, kinds.data());
  }
  if (!s.red.empty()) TIFFSetField(t, TIFFTAG_COLORMAP, s.red.data(), s.green.data(), s.blue.data());
  if (s.orientation) TIFFSetField(t, TIFFTAG_ORIENTATION, s.orientation);
  if (s.sampleFormat) TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, s.sampleFormat);
  if (s.inkSet) TIFFSetField(t, TIFFTAG_INKSET, s.inkSet);
  if (s.unit >= 0) {
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, s.unit);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, s.xResolution);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, s.yResolution);
  }
  size_t line = s.rows.size() / s.height;
  if (s.tiled) {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
    Bytes tile(TIFFTileSize(t), 0x55);
    for (int y = 0; y < s.height; y += 16)
      for (int x = 0; x < s.width; x += 16) TIFFWriteTile(t, tile.data(), x, y, 0, 0);
  } else {
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, s.rowsPerStrip > 0 ? s.rowsPerStrip : s.height);
    if (s.planar) {
      Bytes plane(static_cast<size_t>(s.width));
      for (int c = 0; c < s.samples; ++c)
        for (int y = 0; y < s.height; ++y) {
          for (int x = 0; x < s.width; ++x) plane[x] = s.rows[line * y + static_cast<size_t>(x * s.samples + c)];
          TIFFWriteScanline(t, plane.data(), y, static_cast<uint16_t>(c));
        }
    } else {
      for (int y = 0; y < s.height; ++y)
        TIFFWriteScanline(t, const_cast<unsigned char*>(s.rows.data() + line * y), y, 0);
    }
  }
  TIFFClose(t);
  return f.data;
}

Bytes referenceTiff(const Bytes& file) {
  MemFile f;
  f.data = file;
  TIFF* t = memOpen(&f, "r");
  if (!t) return Bytes();
  uint32_t w = 0, h = 0;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
  std::vector<uint32_t> raster(static_cast<size_t>(w) * h);
  Bytes out;
  if (TIFFReadRGBAImageOriented(t, w, h, raster.data(), ORIENTATION_TOPLEFT, 0))
    for (uint32_t p : raster) {
      out.push_back(static_cast<unsigned char>(TIFFGetR(p)));
      out.push_back(static_cast<unsigned char>(TIFFGetG(p)));
      out.push_back(static_cast<unsigned char>(TIFFGetB(p)));
    }
  TIFFClose(t);
  return out;
}

int readableTiles(const Bytes& file) {
  MemFile f;
  f.data = file;
  TIFF* t = memOpen(&f, "r");
  if (!t) return 0;
  int tiles = TIFFIsTiled(t) ? static_cast<int>(TIFFNumberOfTiles(t)) : 0;
  Bytes tile(tiles > 0 ? TIFFTileSize(t) : 0);
  for (int i = 0; i < tiles; ++i)
    if (TIFFReadEncodedTile(t, i, tile.data(), static_cast<tmsize_t>(tile.size())) < 0) tiles = 0;
  TIFFClose(t);
  return tiles;
}

Bytes withStripOffset(const Bytes& file, int strip, uint32_t offset) {
  Bytes out = file;
  auto at16 = [&out](size_t i) { return i + 2 <= out.size() ? out[i] | out[i + 1] << 8 : 0; };
  auto at32 = [&out, &at16](size_t i) {
    return i + 4 <= out.size() ? uint32_t(at16(i)) | uint32_t(at16(i + 2)) << 16 : 0u;
  };
  if (out.size() < 8 || out[0] != 'I' || out[1] != 'I') return out;
  const size_t ifd = at32(4);
  const int entries = at16(ifd);
  for (int e = 0; e < entries; ++e) {
    const size_t entry = ifd + 2 + 12 * static_cast<size_t>(e);
    if (at16(entry) != TIFFTAG_STRIPOFFSETS) continue;
    const int type = at16(entry + 2);
    const uint32_t count = at32(entry + 4);
    const size_t size = type == TIFF_SHORT ? 2 : 4;
    if (static_cast<uint32_t>(strip) >= count) break;
    const size_t place = (count * size <= 4 ? entry + 8 : at32(entry + 8)) + size * static_cast<size_t>(strip);
    if (place + size > out.size()) break;
    for (size_t b = 0; b < size; ++b) out[place + b] = static_cast<unsigned char>(offset >> (8 * b));
  }
  return out;
}

}  // namespace testimg
