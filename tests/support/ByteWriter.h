// Test helper: little-endian fields appended to a byte string.
#ifndef RK_TESTS_BYTE_WRITER_H
#define RK_TESTS_BYTE_WRITER_H

#include <cstdint>
#include <string>

inline void put16(std::string& s, int v) {
  s.push_back(static_cast<char>(v));
  s.push_back(static_cast<char>(v >> 8));
}

inline void put32(std::string& s, uint32_t v) {
  put16(s, static_cast<int>(v & 0xFFFF));
  put16(s, static_cast<int>(v >> 16));
}

#endif
