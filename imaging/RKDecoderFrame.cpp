#include "RKDecoderFrame.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>

#include "RKFileStream.h"
#include "RKParam.h"

namespace RKSDK {

// ---- shared open operations ----

RKDecoderFrame::RKDecoderFrame() : m_stream(nullptr), m_headerRead(0), m_width(0), m_height(0) {}

RKDecoderFrame::~RKDecoderFrame() { releaseStream(); }

int RKDecoderFrame::isKind(RKObject* object, const char* kind) {
  if (!object || !kind) return 0;
  const char* path = object->getClassName();
  if (!path) return 0;
  size_t length = std::strlen(kind);
  for (const char* dot = std::strchr(path, '.'); dot; dot = std::strchr(dot + 1, '.'))
    if (std::strncmp(dot + 1, kind, length) == 0) return 1;
  return 0;
}

RKBufferStream* RKDecoderFrame::makeReadStream(RKBuffer* buffer) {
  if (!buffer) return nullptr;
  RKBufferStream* stream = new (std::nothrow) RKBufferStream(buffer);
  if (!stream) return nullptr;
  stream->addRef();
  stream->setMode(0);
  return stream;
}

int64_t RKDecoderFrame::imageBytes(int64_t width, int64_t height, int64_t bytesPerPixel) {
  if (width < 0 || height < 0 || bytesPerPixel < 0) return -1;
  if (width == 0 || height == 0 || bytesPerPixel == 0) return 0;
  if (width > RK_MAX_IMAGE_BYTES || height > RK_MAX_IMAGE_BYTES / width) return -1;
  int64_t area = width * height;
  if (bytesPerPixel > RK_MAX_IMAGE_BYTES / area) return -1;
  return area * bytesPerPixel;
}

void RKDecoderFrame::putInfo(RKParam* properties, const char* key, int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64, value);
  properties->set(key, text);
}

void RKDecoderFrame::notifyRow(int row, int rowCount) {
  if (m_listener) m_listener->rowDecoded(row, rowCount);
}

void RKDecoderFrame::notifyFinished() {
  if (m_listener) m_listener->decodeFinished();
}

void RKDecoderFrame::releaseStream() {
  if (m_stream) m_stream->release();
  m_stream = nullptr;
}

int RKDecoderFrame::getWidth() { return m_width; }
int RKDecoderFrame::getHeight() { return m_height; }

int RKDecoderFrame::openStream(IRKIOStream* stream) {
  m_headerRead = 0;
  if (stream) stream->addRef();
  releaseStream();
  m_stream = stream;
  if (!m_stream) return 0;
  dropDecoded();
  if (!readHeader()) return 0;
  m_headerRead = 1;
  return 1;
}

int RKDecoderFrame::openFile(RKString path) {
  m_headerRead = 0;
  RKFileStream* file = new (std::nothrow) RKFileStream();
  if (!file) return 0;
  file->addRef();
  if (!file->open(path, 0)) {
    file->release();
    return 0;
  }
  int result = openStream(file);
  file->release();
  return result;
}

int RKDecoderFrame::openBuffer(RKBuffer* buffer) {
  m_headerRead = 0;
  RKBufferStream* stream = makeReadStream(buffer);
  if (!stream) return 0;
  int result = openStream(stream);
  stream->release();
  return result;
}

int RKDecoderFrame::openMemory(const void* data, int length) {
  m_headerRead = 0;
  if (!data || length < 0) return 0;
  RKBuffer* copy = new (std::nothrow) RKBuffer();
  if (!copy) return 0;
  copy->addRef();
  if (length > 0 && (!copy->allocate(length) || copy->writeAt(0, data, length) != length)) {
    copy->release();
    return 0;
  }
  int result = openBuffer(copy);
  copy->release();
  return result;
}

int RKDecoderFrame::openContents(RKObject* holder) {
  m_headerRead = 0;
  // Only an image carries a file's bytes as its pixel buffer; anything else (an image group
  // among them, whose path also holds ".RKImage") is refused.
  RKImage* image = isKind(holder, "RKImage") ? dynamic_cast<RKImage*>(holder) : nullptr;
  if (!image) return 0;
  RKBuffer* contents = image->getBuffer();
  if (!contents) return 0;
  int result = openBuffer(contents);
  contents->release();
  return result;
}

int RKDecoderFrame::setSource(RKObject* source) {
  if (!source) return 0;
  // The first kind found in the path decides; an object that only looks like that kind (a
  // buffer stream for ".RKBuffer", an image group for ".RKImage") is refused.
  if (isKind(source, "RKString")) {
    RKString* path = dynamic_cast<RKString*>(source);
    return path ? openFile(*path) : 0;
  }
  if (isKind(source, "RKBuffer")) {
    RKBuffer* buffer = dynamic_cast<RKBuffer*>(source);
    return buffer ? openBuffer(buffer) : 0;
  }
  if (isKind(source, "IRKIOStream")) {
    IRKIOStream* stream = dynamic_cast<IRKIOStream*>(source);
    return stream ? openStream(stream) : 0;
  }
  if (isKind(source, "RKImage")) return openContents(source);
  return 0;
}

// ---- single-image decoders ----

RKImageDecoder::RKImageDecoder() : m_decoded(nullptr) {}

RKImageDecoder::~RKImageDecoder() { dropDecoded(); }

void RKImageDecoder::dropDecoded() {
  if (m_decoded) m_decoded->release();
  m_decoded = nullptr;
}

unsigned int RKImageDecoder::infoPixelType() { return pixelType(); }
void RKImageDecoder::writeInfo(RKParam*) {}
int RKImageDecoder::keepsDecoded() { return 1; }
void RKImageDecoder::prepareImage(RKImage*) {}

int RKImageDecoder::rawBytesPerPixel() { return RKImage::bytesPerPixel(pixelType()) == 4 ? 4 : 3; }

RKBuffer* RKImageDecoder::getBuffer() {
  if (!m_headerRead) return nullptr;
  if (m_decoded) {
    m_decoded->addRef();
    return m_decoded;
  }
  RKBuffer* buffer = new (std::nothrow) RKBuffer();
  if (!buffer) return nullptr;
  buffer->addRef();
  if (!decode(buffer)) {
    buffer->release();
    m_headerRead = 0;
    return nullptr;
  }
  if (keepsDecoded()) {
    m_decoded = buffer;
    m_decoded->addRef();
  }
  return buffer;
}

RKImage* RKImageDecoder::getImage() {
  RKBuffer* buffer = getBuffer();
  if (!buffer) return nullptr;
  RKImage* image = new (std::nothrow) RKImage(pixelType(), buffer, 0, 0, m_width, m_height, 0);
  if (image) {
    prepareImage(image);
    image->addRef();
  }
  buffer->release();
  return image;
}

int RKImageDecoder::getInfo(RKParam* properties) {
  if (!m_headerRead || !properties) return 0;
  putInfo(properties, "IMAGE_ImageType", infoPixelType());
  putInfo(properties, "IMAGE_Width", m_width);
  putInfo(properties, "IMAGE_Height", m_height);
  writeInfo(properties);
  return 1;
}

int RKImageDecoder::readRaw(void* destination) {
  if (!m_headerRead) return -1;
  // The size is taken before any decode, so a copy never exceeds what a size query promised.
  int64_t size = imageBytes(m_width, m_height, rawBytesPerPixel());
  if (size < 0) return -1;
  if (!destination) return static_cast<int>(size);
  RKBuffer* buffer = getBuffer();
  if (!buffer) return static_cast<int>(size);
  int result = static_cast<int>(size);
  if (buffer->getSize() < size)
    result = -1;  // the decoded pixels are fewer than the size says: refuse to read past them
  else if (size > 0)
    std::memcpy(destination, buffer->getData(0), static_cast<size_t>(size));
  buffer->release();
  return result;
}

int RKImageDecoder::decodeTo(RKObject* target) {
  if (!m_headerRead || !target) return 0;
  if (isKind(target, "RKImage")) {
    RKImage* image = dynamic_cast<RKImage*>(target);
    if (!image) return 0;
    RKBuffer* buffer = getBuffer();
    if (!buffer) return 0;
    // The size goes first, so that the image never holds pixels under a stale size.
    image->setWidth(m_width);
    image->setHeight(m_height);
    image->setBuffer(pixelType(), buffer);
    prepareImage(image);
    buffer->release();
    return 1;
  }
  if (isKind(target, "RKBuffer")) {
    RKBuffer* buffer = dynamic_cast<RKBuffer*>(target);
    if (!buffer) return 0;
    if (m_decoded) {
      *buffer = *m_decoded;
      return 1;
    }
    if (!decode(buffer)) {
      m_headerRead = 0;
      return 0;
    }
    if (keepsDecoded()) {
      m_decoded = buffer;
      m_decoded->addRef();
    }
    return 1;
  }
  return 0;
}

// ---- multi-image decoders ----

RKImageGroupDecoder::RKImageGroupDecoder() : m_decodedGroup(nullptr) {}

RKImageGroupDecoder::~RKImageGroupDecoder() { dropDecoded(); }

void RKImageGroupDecoder::dropDecoded() {
  if (m_decodedGroup) m_decodedGroup->release();
  m_decodedGroup = nullptr;
}

unsigned int RKImageGroupDecoder::infoPixelType() { return RK_PIXEL_BGRA32; }

RKImageGroup* RKImageGroupDecoder::getImage() {
  if (!m_headerRead) return nullptr;
  if (m_decodedGroup) {
    m_decodedGroup->addRef();
    return m_decodedGroup;
  }
  RKImageGroup* group = new (std::nothrow) RKImageGroup();
  if (!group) return nullptr;
  group->addRef();
  if (!decodeGroup(group)) {
    group->release();
    m_headerRead = 0;
    return nullptr;
  }
  m_decodedGroup = group;
  m_decodedGroup->addRef();
  return group;
}

int RKImageGroupDecoder::getInfo(RKParam* properties) {
  if (!m_headerRead || !properties) return 0;
  putInfo(properties, "IMAGE_ImageType", infoPixelType());
  putInfo(properties, "IMAGE_Width", m_width);
  putInfo(properties, "IMAGE_Height", m_height);
  return 1;
}

int RKImageGroupDecoder::readRaw(void* destination) {
  if (!m_headerRead) return -1;
  RKImageGroup* group = getImage();
  if (!group) return -1;
  int64_t total = 0;
  uint8_t* out = static_cast<uint8_t*>(destination);
  int count = group->getCount();
  for (int i = 0; i < count; ++i) {
    RKImage* image = group->getImage(i);
    RKBuffer* pixels = image ? image->getBuffer() : nullptr;
    if (pixels) {
      int size = pixels->getSize();
      if (out && size > 0) std::memcpy(out + total, pixels->getData(0), size);
      total += size;
      pixels->release();
    }
    if (image) image->release();
  }
  group->release();
  return total > 0x7FFFFFFF ? -1 : static_cast<int>(total);
}

int RKImageGroupDecoder::decodeTo(RKObject* target) {
  if (!m_headerRead || !target || !isKind(target, "RKImageGroup")) return 0;
  RKImageGroup* group = dynamic_cast<RKImageGroup*>(target);
  if (!group) return 0;
  if (m_decodedGroup) {
    *group = *m_decodedGroup;
    return 1;
  }
  if (!decodeGroup(group)) {
    m_headerRead = 0;
    return 0;
  }
  m_decodedGroup = group;
  m_decodedGroup->addRef();
  return 1;
}

}  // namespace RKSDK
