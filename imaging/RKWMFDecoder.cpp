#include "RKWMFDecoder.h"

#include <cstring>
#include <new>

#include <windows.h>

#include "IRKGraphics.h"
#include "MetafileObject.h"
#include "MetafileRecord.h"
#include "RKParam.h"
#include "RKPixelConvert.h"
#include "RKPoint.h"
#include "RKRect.h"

namespace RKSDK {

namespace {

// Function numbers of the records the player draws or keeps state from.
enum : uint16_t {
  WMF_EOF = 0x0000,
  WMF_CREATEPALETTE = 0x00F7,
  WMF_SETBKMODE = 0x0102,
  WMF_SETPOLYFILLMODE = 0x0106,
  WMF_DIBCREATEPATTERNBRUSH = 0x0142,
  WMF_SELECTOBJECT = 0x012D,
  WMF_DELETEOBJECT = 0x01F0,
  WMF_CREATEPATTERNBRUSH = 0x01F9,
  WMF_SETBKCOLOR = 0x0201,
  WMF_SETTEXTCOLOR = 0x0209,
  WMF_SETWINDOWEXT = 0x020C,
  WMF_LINETO = 0x0213,
  WMF_MOVETO = 0x0214,
  WMF_CREATEPENINDIRECT = 0x02FA,
  WMF_CREATEFONTINDIRECT = 0x02FB,
  WMF_CREATEBRUSHINDIRECT = 0x02FC,
  WMF_POLYGON = 0x0324,
  WMF_POLYLINE = 0x0325,
  WMF_ELLIPSE = 0x0418,
  WMF_RECTANGLE = 0x041B,
  WMF_SETPIXEL = 0x041F,
  WMF_TEXTOUT = 0x0521,
  WMF_POLYPOLYGON = 0x0538,
  WMF_ROUNDRECT = 0x061C,
  WMF_CREATEREGION = 0x06FF,
  WMF_ARC = 0x0817,
  WMF_EXTTEXTOUT = 0x0A32,
  WMF_STRETCHDIB = 0x0F43
};

const int PLACEABLE_SIZE = 22;
const int METAHEADER_SIZE = 18;
const int BITMAPINFOHEADER_SIZE = 40;

// The body holds the function number and words 1 to count.
bool hasWords(const MetafileRecord& record, int count) { return record.has(0, 2 * int64_t(count) + 2); }

// Word n behind the function number (word 1 is the first parameter).
uint16_t word(const MetafileRecord& record, int n) { return record.u16(2 * int64_t(n)); }

// The colour of words n (red, green) and n + 1 (blue).
void colorOfWords(const MetafileRecord& record, int n, RKColor& color) {
  uint16_t first = word(record, n);
  color.setRed(uint8_t(first & 0xFF));
  color.setGreen(uint8_t(first >> 8));
  color.setBlue(uint8_t(word(record, n + 1) & 0xFF));
}

}  // namespace

RKWMFDecoder::RKWMFDecoder()
    : m_currentX(0),
      m_currentY(0),
      m_image(nullptr),
      m_slotLookup(0),
      m_alternateFill(0),
      m_totalSize(0),
      m_objectCount(0) {
  appendClassName("RKWMFDecoder");
}

RKWMFDecoder::~RKWMFDecoder() { close(); }

void RKWMFDecoder::dropDecoded() {
  if (m_image) m_image->release();
  m_image = nullptr;
}

void RKWMFDecoder::closeStream() { releaseStream(); }

void RKWMFDecoder::close() {
  closeStream();
  dropDecoded();
}

int RKWMFDecoder::readHeader(IRKIOStream* stream) { return RKDecoderFrame::openStream(stream); }

int RKWMFDecoder::readHeader() {
  uint8_t placeable[PLACEABLE_SIZE];
  uint8_t meta[METAHEADER_SIZE];
  if (!m_stream || metafileReadFully(m_stream, placeable, PLACEABLE_SIZE) != PLACEABLE_SIZE) return 0;
  auto u16At = [](const uint8_t* p, int offset) { return uint16_t(p[offset] | (p[offset + 1] << 8)); };
  uint16_t sum = 0;
  for (int i = 0; i < 10; ++i) sum ^= u16At(placeable, 2 * i);
  if (sum != u16At(placeable, 20)) return 0;
  if (metafileReadFully(m_stream, meta, METAHEADER_SIZE) != METAHEADER_SIZE) return 0;
  int left = int16_t(u16At(placeable, 6));
  int top = int16_t(u16At(placeable, 8));
  int right = int16_t(u16At(placeable, 10));
  int bottom = int16_t(u16At(placeable, 12));
  uint16_t unitsPerInch = u16At(placeable, 14);
  // A zero resolution would divide by zero; an inverted box has no size.
  if (unitsPerInch == 0 || right < left || bottom < top) return 0;
  float scale = float(unitsPerInch) / 96.0f;
  int width = metafileTruncate(float(right - left) / scale);
  int height = metafileTruncate(float(bottom - top) / scale);
  if (imageBytes(width, height, 3) < 0) return 0;
  m_slotLookup = 0;
  m_width = width;
  m_height = height;
  m_totalSize = uint32_t(meta[6]) | (uint32_t(meta[7]) << 8) | (uint32_t(meta[8]) << 16) | (uint32_t(meta[9]) << 24);
  m_objectCount = u16At(meta, 10);
  return 1;
}

RKImage* RKWMFDecoder::getImage() {
  if (!m_headerRead) return nullptr;
  if (m_image) {
    m_image->addRef();
    return m_image;
  }
  RKImage* image = new (std::nothrow) RKImage();
  if (!image) return nullptr;
  image->addRef();
  m_image = image;
  if (!play(image)) {
    dropDecoded();
    m_headerRead = 0;
    return nullptr;
  }
  m_image->addRef();
  return m_image;
}

int RKWMFDecoder::play(RKImage* target) {
  if (!m_headerRead || !target || !m_stream) return 0;
  int64_t bytes = imageBytes(m_width, m_height, 3);
  RKBuffer* canvas = bytes >= 0 ? new (std::nothrow) RKBuffer() : nullptr;
  if (canvas) {
    canvas->addRef();
    if (bytes > 0 && !canvas->allocate(int(bytes))) {
      canvas->release();
      canvas = nullptr;
    }
  }
  if (!canvas) {
    closeStream();
    m_headerRead = 0;
    return 0;
  }
  if (bytes > 0) std::memset(canvas->getData(0), 0xFF, size_t(bytes));
  target->setWidth(m_width);
  target->setHeight(m_height);
  target->setBuffer(RK_PIXEL_BGR24, canvas);

  // The records are played once for each band of rows, from where the header left off, with
  // one object table for the picture, emptied for each band.
  MetafileObjectStore* objects = new (std::nothrow) MetafileObjectStore();
  int result = objects && objects->init(m_objectCount);
  const int start = m_stream->tell();
  int rows = bandRows(m_width, m_height);
  if (rows < 1 || rows > m_height) rows = m_height;
  if (!result) {
    // No table: nothing is played.
  } else if (m_width > 0 && m_height > 0) {
    for (int top = 0; top < m_height && result; top += rows) {
      if (top > 0 && !m_stream->seek(start, RK_SEEK_SET)) break;
      objects->reset();
      result = playBand(*objects, canvas, top, rows < m_height - top ? rows : m_height - top);
    }
  } else {
    // An empty canvas still has its records read (and its progress told).
    result = playBand(*objects, canvas, 0, 0);
  }
  delete objects;
  canvas->release();
  closeStream();
  if (!result) {
    m_headerRead = 0;
    return 0;
  }
  notifyFinished();
  return 1;
}

int RKWMFDecoder::bandRows(int width, int height) { return metafileBandRows(width, height); }

int RKWMFDecoder::playBand(MetafileObjectStore& objects, RKBuffer* canvas, int top, int rows) {
  IRKGraphics* graphics = metafileBandBegin(RK_PIXEL_BGR24, canvas, m_width, m_height, top, rows);
  if (!graphics) return 0;
  m_textColor = RKColor();
  m_windowExtent.setSize(0, 0);
  m_currentX = m_currentY = 0;
  m_slotLookup = m_alternateFill = 0;
  // Progress is told in the first band.
  bool tell = m_listener && top == 0;
  MetafileRecord record;
  int played = 0;
  uint16_t function = 0xFFFF;
  while (function != WMF_EOF) {
    uint8_t sizeBytes[4];
    if (metafileReadFully(m_stream, sizeBytes, 4) != 4) break;
    uint32_t words = uint32_t(sizeBytes[0]) | (uint32_t(sizeBytes[1]) << 8) | (uint32_t(sizeBytes[2]) << 16) |
                     (uint32_t(sizeBytes[3]) << 24);
    // Below three words there is no function number: the records cannot be followed.
    if (words < 3) break;
    if (!record.read(m_stream, int64_t(words) * 2 - 4)) break;
    function = record.u16(0);
    if (tell) {
      notifyRow(played, int(m_totalSize));
      played += int(words);
    }
    if (!playRecord(function, record, graphics, objects)) break;
  }
  if (tell) notifyRow(int(m_totalSize), int(m_totalSize));
  metafileBandEnd(graphics);
  return 1;
}

bool RKWMFDecoder::playRecord(uint16_t function, MetafileRecord& record, IRKGraphics* graphics,
                              MetafileObjectStore& objects) {
  switch (function) {
    case WMF_CREATEPALETTE:
    case WMF_CREATEPATTERNBRUSH:
    case WMF_DIBCREATEPATTERNBRUSH:
    case WMF_CREATEPENINDIRECT:
    case WMF_CREATEFONTINDIRECT:
    case WMF_CREATEBRUSHINDIRECT:
    case WMF_CREATEREGION:
      return createObject(function, record, objects);
    case WMF_SETBKMODE:
      if (hasWords(record, 1)) graphics->setTransparentText(word(record, 1) == 2 ? 0 : 1);
      return true;
    case WMF_SETPOLYFILLMODE:
      if (hasWords(record, 1)) {
        if (word(record, 1) == 1)
          m_slotLookup = m_alternateFill = 1;
        else if (word(record, 1) == 2)
          m_slotLookup = m_alternateFill = 0;
      }
      return true;
    case WMF_SELECTOBJECT:
      if (hasWords(record, 1)) objects.select(graphics, word(record, 1), m_slotLookup);
      return true;
    case WMF_DELETEOBJECT:
      if (hasWords(record, 1)) objects.remove(word(record, 1));
      return true;
    case WMF_SETBKCOLOR:
      if (hasWords(record, 2)) {
        RKColor* background = graphics->getBackgroundColor();
        if (background) {
          colorOfWords(record, 1, *background);
          background->release();
        }
      }
      return true;
    case WMF_SETTEXTCOLOR:
      if (hasWords(record, 2)) colorOfWords(record, 1, m_textColor);
      return true;
    case WMF_SETWINDOWEXT:
      if (hasWords(record, 2)) m_windowExtent.setSize(word(record, 2), word(record, 1));
      return true;
    case WMF_LINETO:
      if (hasWords(record, 2)) {
        graphics->drawLine(m_currentX, m_currentY, word(record, 2), word(record, 1), 1);
        m_currentX = word(record, 2);
        m_currentY = word(record, 1);
      }
      return true;
    case WMF_MOVETO:
      if (hasWords(record, 2)) {
        m_currentX = word(record, 2);
        m_currentY = word(record, 1);
      }
      return true;
    case WMF_POLYGON:
    case WMF_POLYLINE:
    case WMF_POLYPOLYGON:
      playPointList(function, record, graphics);
      return true;
    case WMF_ELLIPSE:
    case WMF_RECTANGLE:
      if (hasWords(record, 4)) {
        int left = word(record, 4), top = word(record, 3);
        int right = word(record, 2), bottom = word(record, 1);
        if (function == WMF_ELLIPSE)
          graphics->drawEllipse(left, top, right - left, bottom - top);
        else
          graphics->drawRect(left, top, right - left, bottom - top);
      }
      return true;
    case WMF_SETPIXEL:
      if (hasWords(record, 4)) {
        RKColor color;
        colorOfWords(record, 1, color);
        graphics->setPixel(word(record, 4), word(record, 3), color);
      }
      return true;
    case WMF_TEXTOUT:
    case WMF_EXTTEXTOUT:
      playText(function, record, graphics);
      return true;
    case WMF_ROUNDRECT:
      if (hasWords(record, 6)) {
        int left = word(record, 6), top = word(record, 5);
        graphics->drawRoundRect(left, top, word(record, 4) - left, word(record, 3) - top, word(record, 2),
                                word(record, 1));
      }
      return true;
    case WMF_ARC:
      if (hasWords(record, 8)) {
        int left = word(record, 8), top = word(record, 7);
        graphics->drawArc(left, top, word(record, 6) - left, word(record, 5) - top, word(record, 4), word(record, 3),
                          word(record, 2), word(record, 1));
      }
      return true;
    case WMF_STRETCHDIB:
      playStretchDib(record, graphics);
      return true;
    default:
      // Mapping modes, origins, clipping, alignment, fills by area and the rest leave the
      // picture as it is.
      return true;
  }
}

bool RKWMFDecoder::createObject(uint16_t function, MetafileRecord& record, MetafileObjectStore& objects) {
  MetafileObject object;
  switch (function) {
    case WMF_CREATEPALETTE:
      object.kind = RK_METAOBJ_PALETTE;
      break;
    case WMF_CREATEPATTERNBRUSH:
    case WMF_DIBCREATEPATTERNBRUSH:
      object.kind = RK_METAOBJ_PATTERN;
      break;
    case WMF_CREATEREGION:
      object.kind = RK_METAOBJ_REGION;
      break;
    case WMF_CREATEPENINDIRECT:
      if (!hasWords(record, 5)) return true;
      object.kind = RK_METAOBJ_PEN;
      object.none = (word(record, 1) & PS_STYLE_MASK) == PS_NULL;
      colorOfWords(record, 4, *object.color);
      break;
    case WMF_CREATEBRUSHINDIRECT:
      if (!hasWords(record, 3)) return true;
      object.kind = RK_METAOBJ_BRUSH;
      object.none = word(record, 1) == BS_NULL;
      colorOfWords(record, 2, *object.color);
      break;
    case WMF_CREATEFONTINDIRECT: {
      // Height, width, escapement, orientation and weight words, then the flag bytes; the face
      // name runs from byte 20 to the end of the record.
      if (!record.has(0, 20)) return true;
      object.kind = RK_METAOBJ_FONT;
      // Heights and widths are signed: a negative height asks for a character height.
      object.font->setHeight(record.i16(2));
      object.font->setWidth(record.i16(4));
      object.font->setWeight(record.u16(10));
      object.font->setItalic(u32(int8_t(record.data()[12])));
      object.font->setUnderline(u32(int8_t(record.data()[13])));
      object.font->setStrikeOut(u32(int8_t(record.data()[14])));
      RKString face = metafileNarrowText(record.data() + 20, record.size() - 20);
      if (!face.isEmpty()) face.trimRight();
      object.font->setFaceName(face);
      break;
    }
    default:
      return true;
  }
  return objects.create(object) != 0;
}

void RKWMFDecoder::playPointList(uint16_t function, MetafileRecord& record, IRKGraphics* graphics) {
  if (!hasWords(record, 1)) return;
  int lists = 1;
  int64_t pointsAt = 4;  // byte of the first point
  if (function == WMF_POLYPOLYGON) {
    lists = word(record, 1);
    pointsAt = 4 + 2 * int64_t(lists);
    if (!record.has(4, 2 * int64_t(lists))) return;
  }
  // Every list must lie inside the body before any is drawn.
  int64_t total = 0;
  for (int i = 0; i < lists; ++i) total += function == WMF_POLYPOLYGON ? word(record, 2 + i) : word(record, 1);
  if (!record.has(pointsAt, total * 4)) return;
  if (total == 0) return;
  RKPoint* points = new (std::nothrow) RKPoint[size_t(total)];
  int* counts = new (std::nothrow) int[size_t(lists)];
  if (points && counts) {
    int64_t at = pointsAt;
    RKPoint* list = points;
    for (int i = 0; i < lists; ++i) {
      int count = function == WMF_POLYPOLYGON ? word(record, 2 + i) : word(record, 1);
      counts[i] = count;
      for (int p = 0; p < count; ++p, at += 4) list[p].setLocation(record.u16(at), record.u16(at + 2));
      mapMetafilePoints(list, count, m_width, m_height, m_windowExtent);
      list += count;
    }
    if (function == WMF_POLYLINE) {
      graphics->drawPolyline(points, counts[0]);
    } else if (function == WMF_POLYGON) {
      RKColor* pen = graphics->getColor();
      // A polygon in the pen colour 31, 26, 23 is left out.
      bool skip = pen && pen->getRed() == 31 && pen->getGreen() == 26 && pen->getBlue() == 23;
      if (!skip) graphics->drawPolygon(points, counts[0], m_alternateFill);
      if (pen) pen->release();
    } else {
      // The polygons are filled together: one inside another is a hole.
      graphics->drawPolyPolygon(points, counts, lists, m_alternateFill);
    }
  }
  delete[] counts;
  delete[] points;
}

void RKWMFDecoder::playText(uint16_t function, MetafileRecord& record, IRKGraphics* graphics) {
  if (function == WMF_TEXTOUT) {
    if (!hasWords(record, 1)) return;
    int64_t length = word(record, 1);
    int64_t yAt = 4 + ((length + 1) & ~int64_t(1));
    if (!record.has(yAt, 4)) return;
    RKString text = metafileNarrowText(record.data() + 4, length);
    int y = record.u16(yAt);
    int x = record.u16(yAt + 2);
    drawInTextColor(graphics, m_textColor, [&] { graphics->drawString(text, x, y); });
    return;
  }
  if (!hasWords(record, 4)) return;
  int y = word(record, 1);
  int x = word(record, 2);
  int64_t count = word(record, 3);
  uint16_t options = word(record, 4);
  int64_t textAt = 10;
  RKRect rect(0, 0, 0, 0);
  if (options & 0x0006) {
    if (!hasWords(record, 8)) return;
    // Clipped or opaque: a rectangle, of which the right and bottom edges are kept.
    rect = RKRect(x, y, record.i16(14) - x, record.i16(16) - y);
    textAt = 18;
  }
  if (!record.has(textAt, count)) return;
  RKString text = metafileNarrowText(record.data() + textAt, count);
  drawInTextColor(graphics, m_textColor, [&] { graphics->drawText(text, rect, 0x20); });
}

void RKWMFDecoder::playStretchDib(MetafileRecord& record, IRKGraphics* graphics) {
  if (!hasWords(record, 11) || !record.has(24, BITMAPINFOHEADER_SIZE)) return;
  int srcHeight = word(record, 4), srcWidth = word(record, 5);
  int srcY = word(record, 6), srcX = word(record, 7);
  int dstHeight = word(record, 8), dstWidth = word(record, 9);
  int dstY = word(record, 10), dstX = word(record, 11);
  int32_t width = record.i32(28);
  int32_t height = record.i32(32);
  int bitCount = record.u16(38);
  uint32_t compression = record.u32(40);
  if (width <= 0 || height == 0 || height == INT32_MIN) return;
  int rows = height < 0 ? -height : height;

  uint8_t palette[1024];
  std::memset(palette, 0, sizeof palette);
  int64_t pixelsAt = 64;
  int rgb565 = 0;
  if (bitCount >= 1 && bitCount <= 8) {
    int64_t paletteBytes = (int64_t(1) << bitCount) * 4;
    if (!record.has(64, paletteBytes)) return;
    std::memcpy(palette, record.data() + 64, size_t(paletteBytes));
    pixelsAt = 64 + paletteBytes;
  } else if (compression == 3) {
    // Three colour masks behind the header; the first tells 5-6-5 from 5-5-5.
    if (!record.has(64, 12)) return;
    rgb565 = record.u32(64) == 0xF800;
    pixelsAt = 64 + 12;
  }
  int64_t stride = ((int64_t(bitCount) * width + 7) / 8 + 3) / 4 * 4;
  int64_t outBytes = imageBytes(width, rows, 4);
  if (outBytes <= 0 || !record.has(pixelsAt, stride * rows)) return;
  // Rows are stored bottom row first unless the height is negative.
  drawMetafileBitmap(
      graphics, RK_PIXEL_BGRA32, width, height, record.data() + pixelsAt, stride,
      [&](const uint8_t* in, uint8_t* out) { convertDibRow(palette, in, out, width, bitCount, rgb565); }, srcX, srcY,
      srcWidth, srcHeight, dstX, dstY, dstWidth, dstHeight);
}

void RKWMFDecoder::convertDibRow(const uint8_t* palette, const uint8_t* source, uint8_t* destination, int width,
                                 int bitCount, int rgb565) {
  switch (bitCount) {
    case 1:
    case 4:
    case 8:
      for (int x = 0; x < width; ++x) {
        int index;
        if (bitCount == 1)
          index = (source[x / 8] >> (7 - x % 8)) & 1;
        else if (bitCount == 4)
          index = x % 2 == 0 ? source[x / 2] >> 4 : source[x / 2] & 0x0F;
        else
          index = source[x];
        std::memcpy(destination + 4 * x, palette + 4 * index, 4);
      }
      break;
    case 16:
      if (rgb565)
        convertRGB565ToBGRA(source, destination, width);
      else
        convertRGB555ToBGRA(source, destination, width);
      break;
    case 24:
      expandRGB24To32(source, destination, width);
      break;
    case 32:
      std::memcpy(destination, source, size_t(width) * 4);
      break;
    default:
      break;
  }
}

int RKWMFDecoder::getInfo(RKParam* properties) {
  if (!m_headerRead || !properties) return 0;
  putInfo(properties, "IMAGE_ImageType", RK_PIXEL_RGB24);
  putInfo(properties, "IMAGE_Width", m_width);
  putInfo(properties, "IMAGE_Height", m_height);
  return 1;
}

int RKWMFDecoder::readRaw(void* destination) {
  int64_t size = imageBytes(m_width, m_height, 3);
  if (size < 0) return -1;
  if (!destination) return int(size);
  RKImage* image = getImage();
  if (!image) return int(size);
  RKBuffer* pixels = image->getBuffer();
  if (pixels) {
    // The canvas is exactly width x height x 3 bytes; never copy more than promised.
    int64_t n = pixels->getSize() < size ? pixels->getSize() : size;
    if (n > 0) std::memcpy(destination, pixels->getData(0), size_t(n));
    pixels->release();
  }
  image->release();
  return int(size);
}

int RKWMFDecoder::decodeTo(RKObject* target) {
  if (!target) return 0;
  if (isKind(target, "RKImage")) {
    RKImage* image = dynamic_cast<RKImage*>(target);
    if (!image) return 0;
    if (m_image) {
      *image = *m_image;
      return 1;
    }
    if (!play(image)) return 0;
    image->addRef();
    m_image = image;
    return 1;
  }
  if (isKind(target, "RKBuffer")) {
    RKBuffer* buffer = dynamic_cast<RKBuffer*>(target);
    RKImage* image = buffer ? getImage() : nullptr;
    if (!image) return 0;
    RKBuffer* pixels = image->getBuffer();
    if (pixels) {
      *buffer = *pixels;
      pixels->release();
    }
    image->release();
    return pixels ? 1 : 0;
  }
  return 0;
}

}  // namespace RKSDK
