// Test helper: what a single-image decoder makes of a file, as plain values.
#ifndef RK_TESTS_DECODED_IMAGE_H
#define RK_TESTS_DECODED_IMAGE_H

#include <initializer_list>
#include <string>
#include <vector>

#include "RKDecoderFrame.h"
#include "RKImage.h"

struct DecodedImage {
  bool ok = false;        // an image with a pixel buffer was made
  unsigned int type = 0;  // 0: no image
  int width = -1, height = -1;
  unsigned int densityX = 0, densityY = 0;
  std::vector<unsigned char> pixels;
  // Bytes of pixel (x, y), count bytes from channel 0.
  std::vector<int> at(int x, int y, int count) const {
    size_t bpp = RKSDK::RKImage::bytesPerPixel(type);
    size_t i = (static_cast<size_t>(y) * width + x) * bpp;
    return std::vector<int>(pixels.begin() + i, pixels.begin() + i + count);
  }
};

// The buffer's bytes; releases the reference it was given with.
inline std::vector<unsigned char> bytesOf(RKSDK::RKBuffer* buffer) {
  std::vector<unsigned char> out;
  if (buffer && buffer->getSize() > 0) out.assign(buffer->getData(0), buffer->getData(0) + buffer->getSize());
  if (buffer) buffer->release();
  return out;
}

// The image's values; releases the reference it was given with. Null gives type 0.
inline DecodedImage valuesOf(RKSDK::RKImage* image) {
  DecodedImage info;
  if (!image) return info;
  RKSDK::RKBuffer* buffer = image->getBuffer();
  info.ok = buffer != nullptr;
  info.type = image->getPixelType();
  info.width = image->getWidth();
  info.height = image->getHeight();
  image->getDensity(&info.densityX, &info.densityY);
  info.pixels = bytesOf(buffer);
  image->release();
  return info;
}

// The image the decoder gives now.
inline DecodedImage imageOf(RKSDK::RKImageDecoder& decoder) { return valuesOf(decoder.getImage()); }

// Opens file from memory and takes the image; type 0 when either fails.
inline DecodedImage decodeImage(RKSDK::RKImageDecoder& decoder, const std::string& file) {
  if (!decoder.openMemory(file.data(), static_cast<int>(file.size()))) return DecodedImage();
  return imageOf(decoder);
}

// Opens the bytes with a fresh decoder of type D and takes its image.
template <class D>
DecodedImage decodeWith(const std::vector<unsigned char>& file) {
  D decoder;
  if (!decoder.openMemory(file.data(), static_cast<int>(file.size()))) return DecodedImage();
  return imageOf(decoder);
}

inline std::string byteString(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

#endif
