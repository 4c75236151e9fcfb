#include "RKEMFDecoder.h"

#include <climits>
#include <cstring>
#include <new>
#include <share.h>
#include <stdio.h>
#include <windows.h>

#include "IRKGraphics.h"
#include "MetafileObject.h"
#include "MetafileRecord.h"
#include "RKParam.h"
#include "RKPoint.h"

namespace RKSDK {

namespace {

const char* const TRACE_PATH = "d:\\function.txt";

// Offsets within the kept header (the file's bytes 8 to 87).
const int HEADER_BOUNDS = 0;
const int HEADER_HANDLES = 48;
const int HEADER_DESCRIPTION_LENGTH = 52;
const int HEADER_DESCRIPTION_OFFSET = 56;

uint32_t u32At(const uint8_t* p, int offset) {
  return uint32_t(p[offset]) | (uint32_t(p[offset + 1]) << 8) | (uint32_t(p[offset + 2]) << 16) |
         (uint32_t(p[offset + 3]) << 24);
}

// A body offset from an offset the file stores relative to the record's first byte.
int64_t bodyOffset(uint32_t stored) { return int64_t(stored) - 8; }

void trace(uint32_t type) {
  FILE* file = _fsopen(TRACE_PATH, "ab", _SH_DENYNO);
  if (!file) return;
  fprintf(file, "%x\r\n", type);
  fclose(file);
}

bool isWide(uint32_t type) { return type == EMR_EXTTEXTOUTW || type == EMR_POLYTEXTOUTW; }

}  // namespace

RKEMFDecoder::RKEMFDecoder()
    : m_image(nullptr), m_hasExtension1(0), m_hasExtension2(0), m_currentX(0), m_currentY(0), m_alternateFill(0) {
  appendClassName("RKEMFDecoder");
  std::memset(m_header, 0, sizeof m_header);
  std::memset(m_extension1, 0, sizeof m_extension1);
  std::memset(m_extension2, 0, sizeof m_extension2);
}

RKEMFDecoder::~RKEMFDecoder() { dropDecoded(); }

void RKEMFDecoder::dropDecoded() {
  if (m_image) m_image->release();
  m_image = nullptr;
}

int RKEMFDecoder::readHeader() {
  dropDecoded();
  if (!m_stream) return 0;
  uint8_t start[8];
  if (metafileReadFully(m_stream, start, 8) != 8 ||
      metafileReadFully(m_stream, m_header, sizeof m_header) != int(sizeof m_header))
    return 0;
  uint32_t headerSize = u32At(start, 4);
  m_hasExtension1 = m_hasExtension2 = 0;
  if (headerSize >= 100) {
    if (metafileReadFully(m_stream, m_extension1, sizeof m_extension1) != int(sizeof m_extension1)) return 0;
    m_hasExtension1 = 1;
  }
  if (headerSize >= 108) {
    if (metafileReadFully(m_stream, m_extension2, sizeof m_extension2) != int(sizeof m_extension2)) return 0;
    m_hasExtension2 = 1;
  }
  m_description = "";
  uint32_t length = u32At(m_header, HEADER_DESCRIPTION_LENGTH);
  if (length != 0) {
    uint32_t offset = u32At(m_header, HEADER_DESCRIPTION_OFFSET);
    MetafileRecord text;
    if (offset > INT_MAX || !m_stream->seek(int(offset), RK_SEEK_SET) || !text.read(m_stream, int64_t(length) * 2))
      return 0;
    m_description = metafileWideText(text.data(), length);
  }
  // The records follow the header record, whatever it holds behind the fields read.
  if (headerSize >= 88 && headerSize <= INT_MAX) m_stream->seek(int(headerSize), RK_SEEK_SET);
  int64_t width = int64_t(int32_t(u32At(m_header, HEADER_BOUNDS + 8))) - int32_t(u32At(m_header, HEADER_BOUNDS));
  int64_t height = int64_t(int32_t(u32At(m_header, HEADER_BOUNDS + 12))) - int32_t(u32At(m_header, HEADER_BOUNDS + 4));
  // An inverted box has no size; one beyond the canvas limit cannot be played.
  if (width <= 0 || height <= 0 || imageBytes(width, height, 3) < 0) return 0;
  m_width = int(width);
  m_height = int(height);
  return 1;
}

RKImage* RKEMFDecoder::getImage() {
  if (m_image) {
    m_image->addRef();
    return m_image;
  }
  if (!m_headerRead) return nullptr;
  int64_t bytes = imageBytes(m_width, m_height, 3);
  RKBuffer* canvas = bytes > 0 ? new (std::nothrow) RKBuffer() : nullptr;
  if (!canvas) return nullptr;
  canvas->addRef();
  if (!canvas->allocate(int(bytes))) {
    canvas->release();
    return nullptr;
  }
  std::memset(canvas->getData(0), 0xFF, size_t(bytes));
  RKImage* image = new (std::nothrow) RKImage(RK_PIXEL_RGB24, canvas, 0, 0, m_width, m_height, 0);
  canvas->release();
  if (!image) return nullptr;
  image->addRef();
  m_image = image;
  if (!play(m_header[HEADER_HANDLES] | (m_header[HEADER_HANDLES + 1] << 8))) {
    dropDecoded();
    return nullptr;
  }
  m_image->addRef();
  return m_image;
}

int RKEMFDecoder::bandRows(int width, int height) { return metafileBandRows(width, height); }

int RKEMFDecoder::play(int handleCount) {
  RKBuffer* canvas = m_headerRead && m_image && m_stream ? m_image->getBuffer() : nullptr;
  if (!canvas) return 0;
  // The records are played once for each band of rows, from where the header left off, with
  // one object table for the picture, emptied for each band.
  MetafileObjectStore* objects = new (std::nothrow) MetafileObjectStore();
  if (!objects || !objects->init(handleCount)) {
    delete objects;
    canvas->release();
    return 0;
  }
  const int start = m_stream->tell();
  int rows = bandRows(m_width, m_height);
  if (rows < 1 || rows > m_height) rows = m_height;
  int result = 1;
  for (int top = 0; top < m_height && result; top += rows) {
    if (top > 0 && !m_stream->seek(start, RK_SEEK_SET)) break;
    objects->reset();
    result = playBand(*objects, canvas, top, rows < m_height - top ? rows : m_height - top);
  }
  delete objects;
  canvas->release();
  return result;
}

int RKEMFDecoder::playBand(MetafileObjectStore& objects, RKBuffer* canvas, int top, int rows) {
  IRKGraphics* graphics = metafileBandBegin(RK_PIXEL_RGB24, canvas, m_width, m_height, top, rows);
  if (!graphics) return 0;
  m_textColor = RKColor();
  m_windowExtent.setSize(0, 0);
  m_currentX = m_currentY = 0;
  m_alternateFill = 0;
  MetafileRecord record;
  uint32_t type = 1;
  while (type != EMR_EOF) {
    uint8_t start[8];
    if (metafileReadFully(m_stream, start, 8) != 8) break;
    type = u32At(start, 0);
    uint32_t size = u32At(start, 4);
    // A record shorter than its own type and size cannot be followed.
    if (size < 8 || !record.read(m_stream, int64_t(size) - 8)) break;
    // Each record is traced once, in the first band.
    if (top == 0) trace(type);
    if (!playRecord(type, record, graphics, objects)) break;
  }
  metafileBandEnd(graphics);
  return 1;
}

bool RKEMFDecoder::playRecord(uint32_t type, MetafileRecord& record, IRKGraphics* graphics,
                              MetafileObjectStore& objects) {
  switch (type) {
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16:
      playPoints(type, record, graphics);
      return true;
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16:
      playPolyPoints(type, record, graphics);
      return true;
    case EMR_SETWINDOWEXTEX:
      if (record.has(0, 8)) m_windowExtent.setSize(record.i32(0), record.i32(4));
      return true;
    case EMR_SETPIXELV:
      if (record.has(0, 12)) {
        RKColor color;
        color.setABGR(record.u32(8));
        graphics->setPixel(record.i32(0), record.i32(4), color);
      }
      return true;
    case EMR_SETBKMODE:
      if (record.has(0, 4)) graphics->setTransparentText(record.u32(0) == 2 ? 0 : 1);
      return true;
    case EMR_SETPOLYFILLMODE:
      if (record.has(0, 4)) {
        if (record.u32(0) == 1)
          m_alternateFill = 1;
        else if (record.u32(0) == 2)
          m_alternateFill = 0;
      }
      return true;
    case EMR_SETTEXTCOLOR:
      if (record.has(0, 4)) m_textColor.setABGR(record.u32(0));
      return true;
    case EMR_SETBKCOLOR:
      if (record.has(0, 4)) {
        RKColor* background = graphics->getBackgroundColor();
        if (background) {
          background->setABGR(record.u32(0));
          background->release();
        }
      }
      return true;
    case EMR_MOVETOEX:
      if (record.has(0, 8)) {
        m_currentX = record.i32(0);
        m_currentY = record.i32(4);
        graphics->moveTo(m_currentX, m_currentY);
      }
      return true;
    case EMR_SELECTOBJECT:
      if (record.has(0, 4)) selectObject(record.u32(0), graphics, objects);
      return true;
    case EMR_DELETEOBJECT:
      if (record.has(0, 4)) objects.remove(record.u32(0));
      return true;
    case EMR_CREATEPEN:
    case EMR_CREATEBRUSHINDIRECT:
    case EMR_CREATEPALETTE:
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT:
    case EMR_EXTCREATEPEN:
      return createObject(type, record, objects);
    case EMR_RECTANGLE:
    case EMR_ROUNDRECT:
    case EMR_ARC:
    case EMR_PIE:
    case EMR_ARCTO: {
      int64_t need = type == EMR_RECTANGLE ? 16 : type == EMR_ROUNDRECT ? 24 : 32;
      if (!record.has(0, need)) return true;
      int left = record.i32(0), top = record.i32(4);
      int width = int(int64_t(record.i32(8)) - left), height = int(int64_t(record.i32(12)) - top);
      if (type == EMR_RECTANGLE) {
        graphics->drawRect(left, top, width, height);
      } else if (type == EMR_ROUNDRECT) {
        graphics->drawRoundRect(left, top, width, height, record.i32(16), record.i32(20));
      } else if (type == EMR_PIE) {
        graphics->drawPie(left, top, width, height, record.i32(16), record.i32(20), record.i32(24), record.i32(28));
      } else {
        graphics->drawArc(left, top, width, height, record.i32(16), record.i32(20), record.i32(24), record.i32(28));
        if (type == EMR_ARCTO) {
          m_currentX = left;
          m_currentY = top;
        }
      }
      return true;
    }
    case EMR_LINETO:
      if (record.has(0, 8)) {
        RKPoint to(record.i32(0), record.i32(4));
        graphics->polylineTo(m_currentX, m_currentY, &to, 1);
        m_currentX = to.x;
        m_currentY = to.y;
      }
      return true;
    case EMR_BEGINPATH:
      graphics->beginPath();
      return true;
    case EMR_ENDPATH:
      graphics->endPath();
      return true;
    case EMR_FILLPATH:
      graphics->fillPath();
      return true;
    case EMR_STROKEANDFILLPATH:
      graphics->strokeAndFillPath();
      return true;
    case EMR_STROKEPATH:
      graphics->strokePath();
      return true;
    case EMR_CLOSEFIGURE:
      graphics->closeFigure();
      return true;
    // A clip path is not applied: the path is given up and the picture drawn unclipped.
    case EMR_ABORTPATH:
    case EMR_SELECTCLIPPATH:
      graphics->abortPath();
      return true;
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_STRETCHDIBITS:
      playBitmap(type, record, graphics);
      return true;
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
    case EMR_POLYTEXTOUTA:
    case EMR_POLYTEXTOUTW:
      playText(type, record, graphics);
      return true;
    default:
      // Mapping modes, transforms, clipping, saved states, alignment and fonts leave the
      // picture as it is.
      return true;
  }
}

bool RKEMFDecoder::createObject(uint32_t type, MetafileRecord& record, MetafileObjectStore& objects) {
  MetafileObject object;
  // The record names the table entry it fills (1 and up; 0 is the metafile itself).
  if (!record.has(0, 4)) return true;
  uint32_t index = record.u32(0);
  switch (type) {
    case EMR_CREATEPEN:
      if (!record.has(16, 4)) return true;
      object.kind = RK_METAOBJ_PEN;
      object.none = (record.u32(4) & PS_STYLE_MASK) == PS_NULL;
      object.color->setABGR(record.u32(16));
      break;
    case EMR_EXTCREATEPEN:
      // Pen style at 20, brush style at 28.
      if (!record.has(32, 4)) return true;
      object.kind = RK_METAOBJ_PEN;
      object.none = (record.u32(20) & PS_STYLE_MASK) == PS_NULL || record.u32(28) == BS_NULL;
      object.color->setABGR(record.u32(32));
      break;
    case EMR_CREATEBRUSHINDIRECT:
      if (!record.has(8, 4)) return true;
      object.kind = RK_METAOBJ_BRUSH;
      object.none = record.u32(4) == BS_NULL;
      object.color->setABGR(record.u32(8));
      break;
    // These only take a slot; the kinds they are filed under draw nothing when selected.
    case EMR_CREATEPALETTE:
      object.kind = RK_METAOBJ_REGION;
      break;
    case EMR_CREATEMONOBRUSH:
      object.kind = RK_METAOBJ_PATTERN;
      break;
    default:
      object.kind = RK_METAOBJ_PALETTE;
      break;
  }
  return objects.put(index, object) != 0;
}

void RKEMFDecoder::selectObject(uint32_t index, IRKGraphics* graphics, MetafileObjectStore& objects) {
  if (!(index & 0x80000000u)) {
    objects.select(graphics, index, 1);
    return;
  }
  // Stock objects: the brushes white to black and null, the pens white, black and null.
  static const uint32_t greys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
  MetafileObject stock;
  uint32_t which = index & 0x7FFFFFFFu;
  if (which <= BLACK_BRUSH) {
    stock.kind = RK_METAOBJ_BRUSH;
    stock.color->setABGR(greys[which]);
  } else if (which == NULL_BRUSH) {
    stock.kind = RK_METAOBJ_BRUSH;
    stock.none = 1;
  } else if (which == WHITE_PEN || which == BLACK_PEN) {
    stock.kind = RK_METAOBJ_PEN;
    stock.color->setABGR(which == WHITE_PEN ? 0xFFFFFF : 0);
  } else if (which == NULL_PEN) {
    stock.kind = RK_METAOBJ_PEN;
    stock.none = 1;
  } else {
    return;
  }
  MetafileObjectStore::apply(graphics, stock);
}

void RKEMFDecoder::playPoints(uint32_t type, MetafileRecord& record, IRKGraphics* graphics) {
  bool small = type >= EMR_POLYBEZIER16;
  uint32_t kind = small ? type - (EMR_POLYBEZIER16 - EMR_POLYBEZIER) : type;
  int64_t pointSize = small ? 4 : 8;
  if (!record.has(16, 4)) return;
  int64_t count = record.u32(16);
  if (count == 0 || !record.has(20, count * pointSize)) return;
  RKPoint* points = new (std::nothrow) RKPoint[size_t(count)];
  if (!points) return;
  for (int64_t i = 0; i < count; ++i) {
    int64_t at = 20 + i * pointSize;
    if (small)
      points[i].setLocation(record.u16(at), record.u16(at + 2));
    else
      points[i].setLocation(record.i32(at), record.i32(at + 4));
  }
  int n = int(count);
  if (kind != EMR_POLYBEZIER && kind != EMR_POLYBEZIERTO)
    mapMetafilePoints(points, n, m_width, m_height, m_windowExtent);
  // The ...TO records draw on from the current position.
  if (kind == EMR_POLYBEZIER)
    graphics->drawBezier(points, n);
  else if (kind == EMR_POLYBEZIERTO)
    graphics->polyBezierTo(m_currentX, m_currentY, points, n);
  else if (kind == EMR_POLYLINETO)
    graphics->polylineTo(m_currentX, m_currentY, points, n);
  else if (kind == EMR_POLYGON)
    graphics->drawPolygon(points, n, m_alternateFill);
  else
    graphics->drawPolyline(points, n);
  if (kind == EMR_POLYBEZIERTO || kind == EMR_POLYLINETO) {
    m_currentX = points[n - 1].x;
    m_currentY = points[n - 1].y;
  }
  delete[] points;
}

void RKEMFDecoder::playPolyPoints(uint32_t type, MetafileRecord& record, IRKGraphics* graphics) {
  bool small = type >= EMR_POLYBEZIER16;
  bool polygons = type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16;
  int64_t pointSize = small ? 4 : 8;
  if (!record.has(16, 8)) return;
  int64_t lists = record.u32(16);
  int64_t total = record.u32(20);
  if (!record.has(24, lists * 4)) return;
  // The lists' counts must add up to the total, and all points must lie in the body.
  int64_t sum = 0;
  for (int64_t i = 0; i < lists; ++i) sum += record.u32(24 + 4 * i);
  int64_t pointsAt = 24 + lists * 4;
  if (sum != total || !record.has(pointsAt, total * pointSize)) return;
  if (total == 0 || total > INT_MAX || lists > INT_MAX) return;
  RKPoint* points = new (std::nothrow) RKPoint[size_t(total)];
  int* counts = new (std::nothrow) int[size_t(lists)];
  if (points && counts) {
    int64_t at = pointsAt;
    RKPoint* list = points;
    for (int64_t i = 0; i < lists; ++i) {
      int n = int(record.u32(24 + 4 * i));
      counts[i] = n;
      for (int p = 0; p < n; ++p, at += pointSize) {
        if (small)
          list[p].setLocation(record.u16(at), record.u16(at + 2));
        else
          list[p].setLocation(record.i32(at), record.i32(at + 4));
      }
      mapMetafilePoints(list, n, m_width, m_height, m_windowExtent);
      if (!polygons && n > 0) graphics->drawPolyline(list, n);
      list += n;
    }
    // The polygons are filled together: one inside another is a hole.
    if (polygons) graphics->drawPolyPolygon(points, counts, int(lists), m_alternateFill);
  }
  delete[] counts;
  delete[] points;
}

void RKEMFDecoder::playText(uint32_t type, MetafileRecord& record, IRKGraphics* graphics) {
  bool wide = isWide(type);
  int64_t charSize = wide ? 2 : 1;
  // Each text: reference point, character count and string offset at entry + 0, 4, 8, 12.
  int64_t first, count;
  if (type == EMR_EXTTEXTOUTA || type == EMR_EXTTEXTOUTW) {
    first = 28;
    count = 1;
  } else {
    if (!record.has(28, 4)) return;
    first = 32;
    count = record.u32(28);
  }
  if (count > 1 && !record.has(first, count * 40)) return;
  for (int64_t i = 0; i < count; ++i) {
    int64_t entry = first + 40 * i;
    if (!record.has(entry, 16) || !record.has(bodyOffset(record.u32(entry + 12)), record.u32(entry + 8) * charSize))
      return;
  }
  for (int64_t i = 0; i < count; ++i) {
    int64_t entry = first + 40 * i;
    int x = record.i32(entry), y = record.i32(entry + 4);
    int64_t n = record.u32(entry + 8);
    const uint8_t* text = record.data() + bodyOffset(record.u32(entry + 12));
    RKString string = wide ? metafileWideText(text, n) : metafileNarrowText(text, n);
    drawInTextColor(graphics, m_textColor, [&] { graphics->drawString(string, x, y); });
  }
}

void RKEMFDecoder::playBitmap(uint32_t type, MetafileRecord& record, IRKGraphics* graphics) {
  bool dib = type == EMR_STRETCHDIBITS;
  if (!record.has(0, dib ? 72 : 92)) return;
  int dstX = record.i32(16), dstY = record.i32(20);
  int dstWidth = record.i32(dib ? 64 : 24), dstHeight = record.i32(dib ? 68 : 28);
  int srcX = record.i32(dib ? 24 : 36), srcY = record.i32(dib ? 28 : 40);
  uint32_t headerAt = record.u32(dib ? 40 : 76), headerSize = record.u32(dib ? 44 : 80);
  uint32_t bitsAt = record.u32(dib ? 48 : 84), bitsSize = record.u32(dib ? 52 : 88);
  if (headerSize == 0 || bitsSize == 0) return;
  int64_t header = bodyOffset(headerAt), bits = bodyOffset(bitsAt);
  if (headerSize < 40 || !record.has(header, 40) || !record.has(bits, bitsSize)) return;
  int32_t width = record.i32(header + 4);
  int32_t height = record.i32(header + 8);
  int bitCount = record.u16(header + 14);
  unsigned int pixelType;
  int bytes;
  switch (bitCount) {
    case 8:
      pixelType = RK_PIXEL_INDEX8;
      bytes = 1;
      break;
    case 16:
      pixelType = RK_PIXEL_RGB555;
      bytes = 2;
      break;
    case 24:
      pixelType = RK_PIXEL_BGR24;
      bytes = 3;
      break;
    case 32:
      pixelType = RK_PIXEL_BGRA32;
      bytes = 4;
      break;
    default:
      return;  // packed bits are no B, G, R triples
  }
  if (width <= 0 || height == 0 || height == INT32_MIN) return;
  int rows = height < 0 ? -height : height;
  int64_t rowBytes = int64_t(width) * bytes;
  int64_t stride = (rowBytes + 3) / 4 * 4;
  int64_t outBytes = imageBytes(width, rows, bytes);
  if (outBytes <= 0 || int64_t(bitsSize) < stride * rows) return;
  // Stored rows are padded to four bytes and run bottom row first unless the height is
  // negative; the image keeps packed rows, top row first.
  drawMetafileBitmap(
      graphics, pixelType, width, height, record.data() + bits, stride,
      [&](const uint8_t* in, uint8_t* out) { std::memcpy(out, in, size_t(rowBytes)); }, srcX, srcY, width, rows, dstX,
      dstY, dstWidth, dstHeight);
}

int RKEMFDecoder::getInfo(RKParam* properties) {
  if (!m_headerRead || !properties) return 0;
  putInfo(properties, "IMAGE_ImageType", RK_PIXEL_RGB24);
  putInfo(properties, "IMAGE_Width", m_width);
  putInfo(properties, "IMAGE_Height", m_height);
  return 1;
}

int RKEMFDecoder::readRaw(void* destination) {
  if (!m_headerRead) return -1;
  RKImage* image = getImage();
  if (!image) return -1;
  RKBuffer* pixels = image->getBuffer();
  int size = pixels ? pixels->getSize() : 0;
  if (destination && size > 0) std::memcpy(destination, pixels->getData(0), size_t(size));
  if (pixels) pixels->release();
  image->release();
  return size;
}

int RKEMFDecoder::decodeTo(RKObject* target) {
  RKImage* into = isKind(target, "RKImage") ? dynamic_cast<RKImage*>(target) : nullptr;
  if (!into) return 0;
  RKImage* image = getImage();
  if (!image) return 0;
  RKBuffer* pixels = image->getBuffer();
  if (pixels) {
    // The size goes first, so that the target never holds pixels under a stale size.
    into->setWidth(image->getWidth());
    into->setHeight(image->getHeight());
    into->setBuffer(image->getPixelType(), pixels);
    pixels->release();
  }
  image->release();
  return pixels ? 1 : 0;
}

}  // namespace RKSDK
