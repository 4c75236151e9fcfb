// Test helper: files of the BMP, TGA, PCX, GIF, icon and Sun raster formats built byte by byte.
#ifndef RK_TESTS_RASTER_FILE_WRITERS_H
#define RK_TESTS_RASTER_FILE_WRITERS_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ByteWriter.h"

// A bitmap file: the 54-byte header, zeros up to the end of an info header longer than 40 bytes,
// then extra (palette or masks), then the stored rows.
inline std::string bmpFile(int32_t w, int32_t h, int bitCount, const std::string& extra, const std::string& rows,
                           uint32_t compression = 0, uint32_t infoSize = 40, uint32_t coloursUsed = 0) {
  const size_t pad = infoSize > 40 ? infoSize - 40 : 0;
  std::string s = "BM";
  put32(s, uint32_t(54 + pad + extra.size() + rows.size()));
  put32(s, 0);
  put32(s, uint32_t(54 + pad + extra.size()));
  put32(s, infoSize);
  put32(s, uint32_t(w));
  put32(s, uint32_t(h));
  put16(s, 1);
  put16(s, bitCount);
  put32(s, compression);
  put32(s, uint32_t(rows.size()));
  put32(s, 2835);
  put32(s, 3780);
  put32(s, coloursUsed);
  put32(s, 0);
  return s + std::string(pad, '\0') + extra + rows;
}

// A TGA file; a non-empty map is stored as entries mapFirst to mapFirst + mapEntries - 1.
inline std::string tgaFile(int type, int depth, int w, int h, int descriptor, const std::string& data,
                           const std::string& map = "", int mapEntries = 0, int entrySize = 0,
                           const std::string& id = "", int mapFirst = 0) {
  std::string s;
  s.push_back(char(id.size()));
  s.push_back(char(map.empty() ? 0 : 1));
  s.push_back(char(type));
  put16(s, mapFirst);
  put16(s, mapEntries);
  s.push_back(char(entrySize));
  put16(s, 0);
  put16(s, 0);
  put16(s, w);
  put16(s, h);
  s.push_back(char(depth));
  s.push_back(char(descriptor));
  return s + id + map + data;
}

inline std::string pcxFile(int bitsPerPlane, int planes, int w, int h, int bytesPerLine, const std::string& data,
                           int xmin = 0, int ymin = 0) {
  std::string s(128, '\0');
  s[0] = 10;
  s[1] = 5;
  s[2] = 1;
  s[3] = char(bitsPerPlane);
  auto at16 = [&s](int off, int v) {
    s[size_t(off)] = char(v);
    s[size_t(off + 1)] = char(v >> 8);
  };
  at16(4, xmin);
  at16(6, ymin);
  at16(8, xmin + w - 1);
  at16(10, ymin + h - 1);
  at16(12, 300);
  at16(14, 300);
  s[65] = char(planes);
  at16(66, bytesPerLine);
  return s + data;
}

// LZW data of indexes with minimum code size 8, written without compression: literal codes
// only, with a clear code often enough that the codes stay 9 bits wide.
inline std::string lzwData(const std::vector<int>& indexes, int minSize = 8) {
  const int clear = 1 << minSize, size = minSize + 1;
  std::vector<int> codes{clear};
  int group = 0;
  for (int i : indexes) {
    if (group == clear - 2) {
      codes.push_back(clear);
      group = 0;
    }
    codes.push_back(i);
    ++group;
  }
  codes.push_back(clear + 1);
  std::string bytes;
  uint32_t acc = 0;
  int bits = 0;
  for (int c : codes) {
    acc |= uint32_t(c) << bits;
    bits += size;
    while (bits >= 8) {
      bytes.push_back(char(acc & 0xFF));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) bytes.push_back(char(acc & 0xFF));
  std::string blocks(1, char(minSize));
  for (size_t i = 0; i < bytes.size(); i += 255) {
    std::string part = bytes.substr(i, 255);
    blocks.push_back(char(part.size()));
    blocks += part;
  }
  return blocks + std::string(1, '\0');
}

inline std::string gifHeader(int w, int h, const std::string& globalTable, const char* version = "89a") {
  std::string s = std::string("GIF") + version;
  put16(s, w);
  put16(s, h);
  int n = 0;
  while ((2 << n) * 3 < int(globalTable.size())) ++n;
  s.push_back(char(globalTable.empty() ? 0 : 0x80 | n));
  s.push_back(0);
  s.push_back(0);
  return s + globalTable;
}

inline std::string frameData(int left, int top, int w, int h, const std::vector<int>& indexes, bool interlaced = false,
                             const std::string& localTable = "") {
  std::string s = "\x2C";
  put16(s, left);
  put16(s, top);
  put16(s, w);
  put16(s, h);
  int n = 0;
  while ((2 << n) * 3 < int(localTable.size())) ++n;
  s.push_back(char((interlaced ? 0x40 : 0) | (localTable.empty() ? 0 : 0x80 | n)));
  return s + localTable + lzwData(indexes);
}

struct IconEntry {
  IconEntry(int w, int h, int bits, std::string table, std::string rows, std::string andMask, uint32_t sizeField)
      : width(w),
        height(h),
        bitCount(bits),
        palette(std::move(table)),
        colour(std::move(rows)),
        mask(std::move(andMask)),
        imageSizeField(sizeField) {}
  int width, height, bitCount;
  std::string palette, colour, mask;  // palette: the colour table, or the masks of bit fields
  uint32_t imageSizeField;
  uint32_t compression = 0, coloursUsed = 0, infoSize = 40;
};

inline std::string iconFile(const std::vector<IconEntry>& entries, int type = 1, int reserved = 0) {
  std::string dir, body;
  put16(dir, reserved);
  put16(dir, type);
  put16(dir, int(entries.size()));
  uint32_t offset = uint32_t(6 + 16 * entries.size());
  for (const IconEntry& e : entries) {
    std::string bmp;
    put32(bmp, e.infoSize);
    put32(bmp, uint32_t(e.width));
    put32(bmp, uint32_t(e.height * 2));
    put16(bmp, 1);
    put16(bmp, e.bitCount);
    put32(bmp, e.compression);
    put32(bmp, e.imageSizeField);
    put32(bmp, 0);
    put32(bmp, 0);
    put32(bmp, e.coloursUsed);
    put32(bmp, 0);
    bmp += std::string(e.infoSize > 40 ? e.infoSize - 40 : 0, '\0');
    bmp += e.palette + e.colour + e.mask;
    dir.push_back(char(e.width));
    dir.push_back(char(e.height));
    dir += std::string(6, '\0');
    put32(dir, uint32_t(bmp.size()));
    put32(dir, offset + uint32_t(body.size()));
    body += bmp;
  }
  return dir + body;
}

inline std::string rasFile(uint32_t w, uint32_t h, uint32_t depth, const std::string& data, uint32_t type = 1) {
  std::string s;
  for (uint32_t v : {0x59A66A95u, w, h, depth, uint32_t(data.size()), type, 0u, 0u})
    for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>(v >> shift));
  return s + data;
}

#endif
