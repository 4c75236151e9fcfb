// Byte sink of the marker-segment writers: a 512-byte buffer that a derived class empties into
// wherever it delivers its bytes.
#pragma once

#include <cstdint>

class kd_byte_writer {
 public:
  virtual ~kd_byte_writer() = default;
  // Hands the bytes from the start of the buffer up to `next` on and resets `next` to the start.
  virtual void flush_buffer() = 0;

  int write(uint8_t byte) {
    if (next == end) flush_buffer();
    *next++ = byte;
    return 1;
  }
  int write(uint16_t word) {
    write((uint8_t)(word >> 8));
    write((uint8_t)word);
    return 2;
  }
  int write(uint32_t word) {
    write((uint16_t)(word >> 16));
    write((uint16_t)word);
    return 4;
  }

 protected:
  uint8_t buffer[512];
  uint8_t *next = buffer;
  uint8_t *end = buffer + sizeof(buffer);
};
