// Packet level of the decoder: packed packet headers (PPM/PPT) and the packet-header bit reader.
// Packets themselves are read by kd_precinct_state::read_next_packet (kd_packets.cpp).
#pragma once

#include <cstdint>
#include <memory>

#include "kd_input.h"

class kd_marker_reader;

struct kd_pph_segment {
  uint16_t code;
  int length;
  std::unique_ptr<uint8_t[]> bytes;  // copy of the segment body
  int z;
  int read_pos = 1;
  kd_pph_segment *next = nullptr;
};

class kd_pph_list {
 public:
  explicit kd_pph_list(bool is_ppm) : is_ppm(is_ppm) {}
  ~kd_pph_list();
  kd_pph_list(const kd_pph_list &) = delete;
  kd_pph_list &operator=(const kd_pph_list &) = delete;

  // Stores the marker reader's current PPM or PPT segment in Z order.
  void store_pph_marker(const kd_marker_reader &marker);
  // Gives the packed headers of one tile-part to `input` (PPM: Nppm bytes; PPT: everything).
  void transfer_pph_bytes(kd_pph_input *input);
  // Drops the packed headers of one tile-part (PPM only).
  void skip_pph_bytes();
  bool empty() const { return head == nullptr; }

 private:
  void drop_used();
  bool is_ppm;
  kd_pph_segment *head = nullptr;
};

// Thrown by the header bit reader when the header source runs dry.
struct kd_header_exhausted {};
// Thrown for packet headers that break the decoder's representation (13) or the inclusion tree
// rule (21).
struct kd_header_code {
  int code;
};

class kd_header_in {
 public:
  explicit kd_header_in(kd_input *in) : in(in) {}
  int next_bit() {
    if (bits_left == 0) {
      bits_left = (byte == 0xFF) ? 7 : 8;
      if (!in->get_byte(byte)) throw kd_header_exhausted();
    }
    bits_left--;
    return (byte >> bits_left) & 1;
  }
  uint32_t get_bits(int count) {
    if (count > 32) throw kd_header_code{13};
    uint32_t v = 0;
    while (count-- > 0) v = (v << 1) | (uint32_t)next_bit();
    return v;
  }
  // Skips the byte that follows a header's final 0xFF.  A header never ends in 0xFF (T.800
  // B.10.1): after a final 0xFF the encoder emits one more byte, which holds the stuffed zero
  // bit, however many bits of the 0xFF carried header data (the rest are padding).
  void finish() {
    if (byte == 0xFF) {
      uint8_t dummy;
      if (!in->get_byte(dummy)) throw kd_header_exhausted();
    }
  }

 private:
  kd_input *in;
  uint8_t byte = 0;
  int bits_left = 0;
};
