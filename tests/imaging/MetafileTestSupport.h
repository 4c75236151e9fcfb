// Byte-by-byte writers of the two metafile formats for the decoder tests, and pixel readers of
// the images the players give.
#ifndef RK_TEST_METAFILE_SUPPORT_H
#define RK_TEST_METAFILE_SUPPORT_H

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "AllocationCount.h"
#include "GraphicsTestSupport.h"
#include "RKImage.h"

namespace rktest {

inline void put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
inline void set32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// A placeable metafile: header, then records of 16-bit words.
struct WmfWriter {
  std::vector<uint8_t> bytes;

  WmfWriter(int16_t left, int16_t top, int16_t right, int16_t bottom, uint16_t unitsPerInch = 96, uint16_t objects = 8,
            bool goodChecksum = true) {
    uint16_t w[10] = {0xCDD7,       0x9AC6, 0, uint16_t(left), uint16_t(top), uint16_t(right), uint16_t(bottom),
                      unitsPerInch, 0,      0};
    uint16_t sum = 0;
    for (uint16_t v : w) {
      put16(bytes, v);
      sum ^= v;
    }
    put16(bytes, goodChecksum ? sum : uint16_t(sum ^ 1));
    put16(bytes, 1);      // type
    put16(bytes, 9);      // header size in words
    put16(bytes, 0x300);  // version
    put32(bytes, 1000);   // file size in words
    put16(bytes, objects);
    put32(bytes, 100);  // largest record
    put16(bytes, 0);
  }
  // A record of the function number and the given words; its size counts them.
  WmfWriter& rec(uint16_t function, std::initializer_list<uint16_t> words) {
    return rec(function, std::vector<uint16_t>(words));
  }
  WmfWriter& rec(uint16_t function, const std::vector<uint16_t>& words) {
    put32(bytes, uint32_t(3 + words.size()));
    put16(bytes, function);
    for (uint16_t v : words) put16(bytes, v);
    return *this;
  }
  // A record whose body is the given bytes behind the function number (padded to even).
  WmfWriter& recBytes(uint16_t function, std::vector<uint8_t> body) {
    if (body.size() % 2) body.push_back(0);
    put32(bytes, uint32_t(3 + body.size() / 2));
    put16(bytes, function);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return *this;
  }
  // A record with a stated size in words that need not match the words that follow.
  WmfWriter& recSized(uint32_t sizeWords, uint16_t function, std::initializer_list<uint16_t> words) {
    put32(bytes, sizeWords);
    put16(bytes, function);
    for (uint16_t v : words) put16(bytes, v);
    return *this;
  }
  WmfWriter& end() { return rec(0, {}); }
  // Words of a colour: red and green, then blue.
  static uint16_t rg(Rgb c) { return uint16_t(c.r | (c.g << 8)); }
  static uint16_t b0(Rgb c) { return c.b; }
};

// An enhanced metafile: the header record, then records of a type, a size and a body.
struct EmfWriter {
  std::vector<uint8_t> bytes;

  // The header record is headerSize bytes long (88, 100 or 108 and up); a description of the
  // given characters, when not empty, follows the header fields.
  EmfWriter(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t headerSize = 88, uint16_t handles = 8,
            const std::u16string& description = u"") {
    put32(bytes, 1);
    put32(bytes, headerSize);
    for (int32_t v : {left, top, right, bottom}) put32(bytes, uint32_t(v));
    for (int i = 0; i < 4; ++i) put32(bytes, 0);  // frame
    put32(bytes, 0x464D4520);                     // signature
    put32(bytes, 0x10000);
    put32(bytes, 0);  // file size
    put32(bytes, 0);  // records
    put16(bytes, handles);
    put16(bytes, 0);
    put32(bytes, uint32_t(description.size()));
    size_t fields = headerSize >= 108 ? 108 : headerSize >= 100 ? 100 : 88;
    put32(bytes, description.empty() ? 0 : uint32_t(fields));
    put32(bytes, 0);                              // palette entries
    for (int i = 0; i < 4; ++i) put32(bytes, 0);  // device sizes
    while (bytes.size() < fields) put32(bytes, 0);
    for (char16_t c : description) put16(bytes, c);
    while (bytes.size() < headerSize) bytes.push_back(0);
  }
  // A record of type with 32-bit values as its body.
  EmfWriter& rec(uint32_t type, std::initializer_list<uint32_t> values) {
    put32(bytes, type);
    put32(bytes, uint32_t(8 + 4 * values.size()));
    for (uint32_t v : values) put32(bytes, v);
    return *this;
  }
  // A record of type with the given body bytes (padded to four).
  EmfWriter& recBytes(uint32_t type, std::vector<uint8_t> body) {
    while (body.size() % 4) body.push_back(0);
    put32(bytes, type);
    put32(bytes, uint32_t(8 + body.size()));
    bytes.insert(bytes.end(), body.begin(), body.end());
    return *this;
  }
  EmfWriter& recSized(uint32_t type, uint32_t size, std::initializer_list<uint32_t> values) {
    put32(bytes, type);
    put32(bytes, size);
    for (uint32_t v : values) put32(bytes, v);
    return *this;
  }
  EmfWriter& end() { return rec(14, {0, 16, 0}); }
  static uint32_t ref(Rgb c) { return uint32_t(c.r) | (uint32_t(c.g) << 8) | (uint32_t(c.b) << 16); }
};

// The pixel of a type-1003 image (red, green, blue).
inline Rgb rgbPixelOf(RKSDK::RKImage* im, int x, int y) {
  RKSDK::RKBuffer* b = im->getBuffer();
  const uint8_t* p = b->getData((y * im->getWidth() + x) * 3);
  Rgb c{p[0], p[1], p[2]};
  b->release();
  return c;
}

// Pixels of [l, r) x [t, b) of a type-1003 image equal to c.
inline int countRgb(RKSDK::RKImage* im, Rgb c, int l, int t, int r, int b) {
  int n = 0;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x)
      if (rgbPixelOf(im, x, y) == c) ++n;
  return n;
}

// Pixels of [l, r) x [t, b) of a type-1005 image equal to c.
inline int countBgr(RKSDK::RKImage* im, Rgb c, int l, int t, int r, int b) {
  int n = 0;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x)
      if (pixelOf(im, x, y) == c) ++n;
  return n;
}

// Whether two images hold the same pixel bytes.
inline bool samePixels(RKSDK::RKImage* a, RKSDK::RKImage* b) {
  RKSDK::RKBuffer* pa = a->getBuffer();
  RKSDK::RKBuffer* pb = b->getBuffer();
  bool same = pa->getSize() == pb->getSize() && std::memcmp(pa->getData(0), pb->getData(0), size_t(pa->getSize())) == 0;
  pa->release();
  pb->release();
  return same;
}

// A picture played with 16 and with 65535 object slots declared: both images (one reference
// each, or null) and how many more allocations the second play asked for.
struct SlotPlays {
  RKSDK::RKImage* few = nullptr;
  RKSDK::RKImage* many = nullptr;
  int64_t extraAllocations = 0;
};
template <class Picture, class Play>
SlotPlays playWithFewAndManySlots(Picture picture, Play play) {
  const auto fewSlots = picture(16), manySlots = picture(65535);
  SlotPlays plays;
  const size_t few = allocationsOf([&] { plays.few = play(fewSlots); });
  const size_t many = allocationsOf([&] { plays.many = play(manySlots); });
  plays.extraAllocations = int64_t(many) - int64_t(few);
  return plays;
}

}  // namespace rktest

#endif
