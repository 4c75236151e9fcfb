#include "RKTIFFDecoder.h"

#include <tiffio.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>

namespace RKSDK {

// What libtiff hands back to the client I/O functions: the decoder's stream and the span of
// the TIFF file in it (offset 0 of the file is the stream position base).
struct RKTIFFClient {
  int64_t base;
  int64_t end;
  IRKIOStream* stream;  // the decoder's reference
};

namespace {

const int RK_PALETTE_ENTRIES = 256;

void silentHandler(const char*, const char*, va_list) {}

// libtiff's handlers are global; set them once.
void silenceLibrary() {
  static const bool silenced = [] {
    TIFFSetErrorHandler(silentHandler);
    TIFFSetWarningHandler(silentHandler);
    return true;
  }();
  (void)silenced;
}

tmsize_t clientRead(thandle_t handle, void* buffer, tmsize_t size) {
  RKTIFFClient* client = static_cast<RKTIFFClient*>(handle);
  if (!client || !client->stream || size <= 0) return 0;
  tmsize_t done = 0;
  while (done < size) {
    int chunk = static_cast<int>(std::min<tmsize_t>(size - done, INT_MAX));
    int got = client->stream->read(static_cast<u8*>(buffer) + done, chunk);
    if (got <= 0) break;
    done += got;
    if (got < chunk) break;
  }
  return done;
}

tmsize_t clientWrite(thandle_t handle, void* buffer, tmsize_t size) {
  RKTIFFClient* client = static_cast<RKTIFFClient*>(handle);
  if (!client || !client->stream || size <= 0 || size > INT_MAX) return 0;
  int written = client->stream->write(buffer, static_cast<int>(size));
  return written < 0 ? 0 : written;
}

// Offsets are relative to the file's base; positions the stream cannot take give -1, and so
// does a seek that left the stream elsewhere than asked (libtiff compares the result).
toff_t clientSeek(thandle_t handle, toff_t offset, int whence) {
  RKTIFFClient* client = static_cast<RKTIFFClient*>(handle);
  if (!client || !client->stream) return static_cast<toff_t>(-1);
  int64_t target;
  int origin = whence;
  if (whence == SEEK_SET) {
    if (offset > static_cast<toff_t>(INT_MAX)) return static_cast<toff_t>(-1);
    target = client->base + static_cast<int64_t>(offset);
  } else if (whence == SEEK_CUR || whence == SEEK_END) {
    target = static_cast<int64_t>(offset);
  } else {
    if (offset > static_cast<toff_t>(INT_MAX)) return static_cast<toff_t>(-1);
    target = static_cast<int64_t>(offset);
    origin = SEEK_SET;
  }
  if (target < INT_MIN || target > INT_MAX) return static_cast<toff_t>(-1);
  client->stream->seek(static_cast<int>(target), origin);
  int position = client->stream->tell();
  if (position < client->base) return static_cast<toff_t>(-1);
  return static_cast<toff_t>(position - client->base);
}

int clientClose(thandle_t handle) {
  RKTIFFClient* client = static_cast<RKTIFFClient*>(handle);
  return client && client->stream ? 0 : -1;
}

toff_t clientSize(thandle_t handle) {
  RKTIFFClient* client = static_cast<RKTIFFClient*>(handle);
  if (!client || !client->stream) return 0;
  return static_cast<toff_t>(client->end - client->base);
}

// A resolution truncated toward zero, kept inside the int range (NaN gives 0).
int64_t truncateResolution(float value) {
  if (!(value > 0)) return 0;
  if (value >= static_cast<float>(INT_MAX)) return INT_MAX;
  return static_cast<int64_t>(value);
}

}  // namespace

RKTIFFDecoder::RKTIFFDecoder()
    : m_components(0),
      m_xDensity(0),
      m_yDensity(0),
      m_bitsPerSample(0),
      m_cmyk(0),
      m_keep(0),
      m_planar(0),
      m_palette(nullptr),
      m_tiff(nullptr),
      m_client(nullptr) {
  appendClassName("RKTIFFDecoder");
  silenceLibrary();
}

RKTIFFDecoder::~RKTIFFDecoder() { endLibrary(); }

int RKTIFFDecoder::getComponentCount() { return m_components; }
int RKTIFFDecoder::getXDensity() { return m_xDensity; }
int RKTIFFDecoder::getYDensity() { return m_yDensity; }

unsigned int RKTIFFDecoder::pixelType() { return m_cmyk ? RK_PIXEL_CMYK32 : RK_PIXEL_RGB24; }
unsigned int RKTIFFDecoder::infoPixelType() { return RK_PIXEL_RGB24; }
int RKTIFFDecoder::rawBytesPerPixel() { return 3; }

void RKTIFFDecoder::writeInfo(RKParam* properties) {
  putInfo(properties, "TIFF_NumComponents", m_components);
  putInfo(properties, "TIFF_XDensity", m_xDensity);
  putInfo(properties, "TIFF_YDensity", m_yDensity);
}

void RKTIFFDecoder::prepareImage(RKImage* image) {
  image->setDensity(static_cast<unsigned int>(m_xDensity), static_cast<unsigned int>(m_yDensity));
}

void RKTIFFDecoder::endLibrary() {
  // The handle goes first: closing it calls back into the client record.
  if (m_tiff) TIFFClose(m_tiff);
  m_tiff = nullptr;
  delete m_client;
  m_client = nullptr;
  delete[] m_palette;
  m_palette = nullptr;
}

void RKTIFFDecoder::close() {
  endLibrary();
  releaseStream();
}

void RKTIFFDecoder::reset() {
  close();
  dropDecoded();
}

int RKTIFFDecoder::fail() {
  close();
  m_headerRead = 0;
  return 0;
}

u8* RKTIFFDecoder::makePalette(int photometric) {
  if (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK &&
      photometric != PHOTOMETRIC_PALETTE)
    return nullptr;
  // Always 256 entries, so that no index of an 8-bit row leaves the table.
  u8* palette = new (std::nothrow) u8[RK_PALETTE_ENTRIES * 3]();
  if (!palette) return nullptr;
  int entries = 1 << m_bitsPerSample;
  if (photometric == PHOTOMETRIC_PALETTE) {
    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    if (!TIFFGetField(m_tiff, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue) {
      delete[] palette;
      return nullptr;
    }
    // libtiff holds 2^bits entries in each table.
    for (int i = 0; i < entries; ++i) {
      palette[i * 3] = static_cast<u8>(red[i] >> 8);
      palette[i * 3 + 1] = static_cast<u8>(green[i] >> 8);
      palette[i * 3 + 2] = static_cast<u8>(blue[i] >> 8);
    }
    return palette;
  }
  // Grey levels, black to white for black-is-zero files and the other way round, each the
  // nearest of 0 to 255; for 1 bit this is the two-entry palette of bilevel files.
  int top = entries - 1;
  for (int i = 0; i < entries; ++i) {
    int step = photometric == PHOTOMETRIC_MINISWHITE ? top - i : i;
    u8 value = static_cast<u8>(top > 0 ? (step * 255 + top / 2) / top : 0);
    palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = value;
  }
  return palette;
}

int RKTIFFDecoder::readHeader() {
  endLibrary();
  if (!m_stream) return 0;
  int base = m_stream->tell();
  int available = m_stream->available();
  if (base < 0) return 0;
  RKTIFFClient* client = new (std::nothrow) RKTIFFClient();
  if (!client) return 0;
  client->base = base;
  client->end = base + static_cast<int64_t>(available > 0 ? available : 0);
  client->stream = m_stream;
  m_tiff = TIFFClientOpen("tiff", "rm", static_cast<thandle_t>(client), clientRead, clientWrite, clientSeek,
                          clientClose, clientSize, nullptr, nullptr);
  if (!m_tiff) {
    delete client;
    return 0;
  }
  m_client = client;

  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t samples = 1;
  uint16_t bits = 1;
  uint16_t photometric = 0xFFFF;  // no default in libtiff
  uint16_t unit = RESUNIT_INCH;
  uint16_t compression = COMPRESSION_NONE;
  uint16_t planar = PLANARCONFIG_CONTIG;
  float xResolution = 0;
  float yResolution = 0;
  TIFFGetFieldDefaulted(m_tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetFieldDefaulted(m_tiff, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(m_tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(m_tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  const bool hasPhotometric = TIFFGetField(m_tiff, TIFFTAG_PHOTOMETRIC, &photometric) != 0;
  TIFFGetFieldDefaulted(m_tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
  TIFFGetField(m_tiff, TIFFTAG_XRESOLUTION, &xResolution);
  TIFFGetField(m_tiff, TIFFTAG_YRESOLUTION, &yResolution);
  TIFFGetFieldDefaulted(m_tiff, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(m_tiff, TIFFTAG_PLANARCONFIG, &planar);
  uint16_t format = SAMPLEFORMAT_UINT;
  uint16_t inks = INKSET_CMYK;
  TIFFGetField(m_tiff, TIFFTAG_SAMPLEFORMAT, &format);
  const bool hasInks = TIFFGetField(m_tiff, TIFFTAG_INKSET, &inks) != 0;

  // The scanline reader cannot read tiles, and rows are converted at 1 to 8 bits a sample.
  if (TIFFIsTiled(m_tiff) || bits < 1 || bits > 8 || width > INT_MAX || height > INT_MAX) return fail();
  // Rows are delivered as stored, top stored row first and left to right, whatever the
  // orientation: it asks the viewer how to show the picture, it does not change the pixels.
  // Samples are read as unsigned whole numbers (an undefined format is taken as such); signed
  // and floating-point samples are refused.
  if (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_VOID) return fail();
  // Without a photometric interpretation only what the other tags settle is decoded: one-bit
  // fax-coded pixels are white-is-zero, as the fax standard defines them; a colour map makes
  // one-sample pixels palette indexes; an ink set belongs to separated pixels only. Anything else
  // could be read more than one way (grey either way up, RGB, YCbCr or CIELab) and is refused.
  if (!hasPhotometric) {
    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    const bool fax = compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
                     compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
    if (samples == 1 && bits == 1 && fax)
      photometric = PHOTOMETRIC_MINISWHITE;
    else if (samples == 1 && TIFFGetField(m_tiff, TIFFTAG_COLORMAP, &red, &green, &blue))
      photometric = PHOTOMETRIC_PALETTE;
    else if (hasInks)
      photometric = PHOTOMETRIC_SEPARATED;
    else
      return fail();
  }
  // JPEG-compressed YCbCr pixels: libtiff's JPEG codec gives them as red, green, blue. Other
  // YCbCr files (subsampled raw samples) and the remaining colour models have no conversion here.
  if (photometric == PHOTOMETRIC_YCBCR) {
    if (compression != COMPRESSION_JPEG || !TIFFSetField(m_tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
      return fail();
    photometric = PHOTOMETRIC_RGB;
  } else if (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK &&
             photometric != PHOTOMETRIC_RGB && photometric != PHOTOMETRIC_PALETTE &&
             photometric != PHOTOMETRIC_SEPARATED) {
    return fail();
  }
  // Separated pixels are cyan, magenta, yellow and black only with the CMYK ink set.
  if (photometric == PHOTOMETRIC_SEPARATED && inks != INKSET_CMYK) return fail();
  // Samples kept of each pixel: one index or grey level, red, green and blue, or four inks; the
  // rest (alpha and other extra samples) are dropped. Pixels of several samples are read at 8
  // bits a sample only.
  if (photometric == PHOTOMETRIC_SEPARATED)
    m_keep = 4;
  else if (samples >= 3 && photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK &&
           photometric != PHOTOMETRIC_PALETTE)
    m_keep = 3;
  else
    m_keep = 1;
  if (samples < m_keep || (samples > 1 && bits != 8)) return fail();
  m_planar = planar == PLANARCONFIG_SEPARATE && samples > 1;
  m_width = static_cast<int>(width);
  m_height = static_cast<int>(height);
  m_components = samples;
  m_bitsPerSample = bits;
  m_cmyk = photometric == PHOTOMETRIC_SEPARATED;
  m_palette = makePalette(photometric);

  if (unit == RESUNIT_NONE) {
    m_xDensity = m_yDensity = 0;
  } else if (unit == RESUNIT_INCH) {
    m_xDensity = static_cast<int>(truncateResolution(xResolution));
    m_yDensity = static_cast<int>(truncateResolution(yResolution));
  } else if (unit == RESUNIT_CENTIMETER) {
    m_xDensity = static_cast<int>(std::min<int64_t>(truncateResolution(xResolution) * 100, INT_MAX));
    m_yDensity = static_cast<int>(std::min<int64_t>(truncateResolution(yResolution) * 100, INT_MAX));
  }
  return 1;
}

int RKTIFFDecoder::decode(RKBuffer* target) {
  if (!m_headerRead || !m_tiff || !target) return 0;
  int bytes = m_cmyk ? 4 : 3;
  int64_t size = imageBytes(m_width, m_height, bytes);
  // libtiff writes whole scanlines, which may be longer than the pixels they give.
  tmsize_t lineSize = TIFFScanlineSize(m_tiff);
  if (size < 0 || lineSize <= 0 || imageBytes(lineSize, 1, 1) < 0) return fail();
  // A file of which no row can be read is refused; when its strips show that already, before
  // anything is allocated or walked for its rows.
  if (m_height > 0 && !stripsHoldARow(static_cast<uint64_t>(lineSize))) return fail();
  if (!target->allocate(static_cast<int>(size))) return fail();
  std::unique_ptr<u8[]> work(new (std::nothrow) u8[static_cast<size_t>(lineSize)]);
  u8* out = target->getData(0);
  if (!work || (size > 0 && !out)) return fail();

  const size_t stride = static_cast<size_t>(m_width) * bytes;
  const size_t line = static_cast<size_t>(lineSize);
  const size_t width = static_cast<size_t>(m_width);
  const size_t samples = static_cast<size_t>(m_components);
  const size_t keep = static_cast<size_t>(m_keep);
  // Rows that libtiff read; a file of which none can be read is refused, while one cut short
  // keeps the rows before the cut. A row libtiff cannot read gives black (or palette entry 0),
  // never bytes of an earlier row: the samples it would have given are cleared in the target,
  // which costs what the row's pixels cost, whatever the length of the file's scanline.
  int64_t rowsRead = 0;
  // Separate planes are read one after the other, each from its first row to its last (libtiff
  // reads compressed strips forward only), every sample spread to its place in the pixels; a
  // grey or palette plane is packed as a one-sample row is.
  for (size_t c = 0; m_planar && c < keep; ++c) {
    for (int r = 0; r < m_height; ++r) {
      u8* row = out + stride * r;
      const bool got = TIFFReadScanline(m_tiff, work.get(), static_cast<uint32_t>(r), static_cast<uint16_t>(c)) >= 0;
      if (got) ++rowsRead;
      if (keep == 1) {
        if (got)
          std::memcpy(row, work.get(), std::min(width, line));
        else
          std::memset(row, 0, std::min(width, line));
      } else {
        const size_t pixels = std::min(width, line);
        for (size_t x = 0; x < pixels; ++x) row[x * keep + c] = got ? work[x] : 0;
      }
    }
  }
  for (int r = 0; r < m_height; ++r) {
    u8* row = out + stride * r;
    const uint32_t y = static_cast<uint32_t>(r);
    if (m_planar) {
      // Planes were read whole above; only the conversion is left.
    } else if (samples == keep && line == stride) {
      if (TIFFReadScanline(m_tiff, row, y, 0) < 0)
        std::memset(row, 0, stride);
      else
        ++rowsRead;
    } else {
      const bool got = TIFFReadScanline(m_tiff, work.get(), y, 0) >= 0;
      if (got) ++rowsRead;
      if (samples == 1) {
        if (got)
          std::memcpy(row, work.get(), std::min(width, line));
        else
          std::memset(row, 0, std::min(width, line));
      } else {
        const size_t pixels = std::min(width, line / samples);
        const u8* in = work.get();
        if (!got)
          std::memset(row, 0, pixels * keep);
        else
          for (size_t x = 0; x < pixels; ++x, in += samples) std::memcpy(row + x * keep, in, keep);
      }
    }
    if (keep == 1) convertRow(m_palette, row, m_width, m_bitsPerSample);
    notifyRow(r, m_height);
  }
  if (rowsRead == 0 && m_height > 0) return fail();
  int cmyk = m_cmyk;
  close();
  if (!cmyk) notifyFinished();
  return 1;
}

bool RKTIFFDecoder::stripsHoldARow(uint64_t lineSize) {
  // A stream that did not tell its length gives no bound.
  if (m_client->end <= m_client->base) return true;
  const uint64_t fileBytes = static_cast<uint64_t>(m_client->end - m_client->base);
  uint16_t compression = COMPRESSION_NONE;
  uint32_t perStrip = 0;
  TIFFGetFieldDefaulted(m_tiff, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(m_tiff, TIFFTAG_ROWSPERSTRIP, &perStrip);
  const uint32_t height = static_cast<uint32_t>(m_height);
  if (perStrip == 0 || perStrip > height) perStrip = height;
  const uint32_t strips = TIFFNumberOfStrips(m_tiff);
  const uint32_t planes = m_planar ? static_cast<uint32_t>(m_keep) : 1;
  for (uint32_t plane = 0; plane < planes; ++plane) {
    for (uint32_t first = 0; first < height; first += perStrip) {
      const uint32_t strip = TIFFComputeStrip(m_tiff, first, static_cast<uint16_t>(plane));
      if (strip >= strips) continue;
      const uint64_t offset = TIFFGetStrileOffset(m_tiff, strip);
      const uint64_t count = TIFFGetStrileByteCount(m_tiff, strip);
      const uint64_t inFile = offset < fileBytes ? std::min(count, fileBytes - offset) : 0;
      // Uncompressed rows are whole scanlines of the strip's bytes; a compressed strip may hold
      // its rows in any number of bytes but one.
      if (compression == COMPRESSION_NONE ? inFile >= lineSize : inFile > 0) return true;
    }
  }
  return false;
}

void RKTIFFDecoder::convertRow(const u8* palette, u8* row, int width, int bitsPerSample) {
  if (!palette || bitsPerSample < 1 || bitsPerSample > 8) {
    std::memset(row, 0, static_cast<size_t>(width) * 3);
    return;
  }
  // Samples are packed most significant bits first and may straddle two bytes. From the last
  // pixel to the first: pixel i reads bytes up to (i x bits + bits - 1) / 8, never past byte i,
  // and writes from byte 3 x i on, so no index is overwritten before it is read.
  if (bitsPerSample == 8) {  // one byte a sample: the common case, without bit arithmetic
    for (int i = width - 1; i >= 0; --i) std::memcpy(row + 3 * static_cast<size_t>(i), palette + 3 * row[i], 3);
    return;
  }
  const unsigned int mask = (1u << bitsPerSample) - 1;
  for (int i = width - 1; i >= 0; --i) {
    const size_t bit = static_cast<size_t>(i) * static_cast<size_t>(bitsPerSample);
    const size_t at = bit / 8;
    const int shift = 16 - bitsPerSample - static_cast<int>(bit % 8);
    unsigned int pair = static_cast<unsigned int>(row[at]) << 8;
    if (shift < 8) pair |= row[at + 1];
    const unsigned int index = (pair >> shift) & mask;
    std::memcpy(row + 3 * static_cast<size_t>(i), palette + 3 * index, 3);
  }
}

int RKTIFFDecoder::readRaw(void* destination) {
  if (!m_headerRead) {
    int64_t size = imageBytes(m_width, m_height, rawBytesPerPixel());
    return size < 0 ? -1 : static_cast<int>(size);
  }
  return RKImageDecoder::readRaw(destination);
}

}  // namespace RKSDK
