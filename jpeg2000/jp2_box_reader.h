// Boxes of a JP2 file: the byte stream that a file is read from and the reader of one open box.
#pragma once

#include <cstdint>

// The byte stream under a JP2 file, with the conventions of the foundation's streams: read
// returns the bytes read (0 at the end, -1 on error), seek takes origin 0 (start), 1 (current
// position) or 2 (end) and returns 1 or 0, tell returns the position or -1.
class jp2_stream {
 public:
  virtual ~jp2_stream() = default;
  virtual int read(void *buffer, int count) = 0;
  virtual int seek(int64_t offset, int origin) = 0;
  virtual int64_t tell() = 0;
};

constexpr uint32_t jp2_box_code(char a, char b, char c, char d) {
  return ((uint32_t)(uint8_t)a << 24) | ((uint32_t)(uint8_t)b << 16) | ((uint32_t)(uint8_t)c << 8) |
         (uint32_t)(uint8_t)d;
}

constexpr uint32_t jp2_signature_4cc = jp2_box_code('j', 'P', ' ', ' ');
constexpr uint32_t jp2_file_type_4cc = jp2_box_code('f', 't', 'y', 'p');
constexpr uint32_t jp2_header_4cc = jp2_box_code('j', 'p', '2', 'h');
constexpr uint32_t jp2_image_header_4cc = jp2_box_code('i', 'h', 'd', 'r');
constexpr uint32_t jp2_bits_per_component_4cc = jp2_box_code('b', 'p', 'c', 'c');
constexpr uint32_t jp2_colour_4cc = jp2_box_code('c', 'o', 'l', 'r');
constexpr uint32_t jp2_palette_4cc = jp2_box_code('p', 'c', 'l', 'r');
constexpr uint32_t jp2_component_mapping_4cc = jp2_box_code('c', 'm', 'a', 'p');
constexpr uint32_t jp2_channel_definition_4cc = jp2_box_code('c', 'd', 'e', 'f');
constexpr uint32_t jp2_resolution_4cc = jp2_box_code('r', 'e', 's', ' ');
constexpr uint32_t jp2_capture_resolution_4cc = jp2_box_code('r', 'e', 's', 'c');
constexpr uint32_t jp2_display_resolution_4cc = jp2_box_code('r', 'e', 's', 'd');
constexpr uint32_t jp2_code_stream_4cc = jp2_box_code('j', 'p', '2', 'c');
constexpr uint32_t jp2_brand = jp2_box_code('j', 'p', '2', ' ');

class jp2_box_reader {
 public:
  jp2_box_reader() = default;
  ~jp2_box_reader();
  jp2_box_reader(const jp2_box_reader &) = delete;
  jp2_box_reader &operator=(const jp2_box_reader &) = delete;

  // Opens the next box of the stream (top level) or of the parent box (sub-box); false when
  // no further box is there.
  bool open(jp2_stream *stream);
  bool open(jp2_box_reader *parent);
  // Reads at most the remaining bytes of the box; returns the count read.
  int read(uint8_t *buffer, int count);
  bool read(uint32_t &value);
  bool read(uint16_t &value);
  bool read(uint8_t &value);
  // True when the box had been read to its end; otherwise skips the rest and returns false.
  bool close();

  uint32_t get_box_type() const { return type; }
  bool is_open() const { return type != 0; }
  uint32_t get_remaining() const { return remaining; }
  bool runs_to_end() const { return remaining == unlimited; }

 private:
  static constexpr uint32_t unlimited = 0xFFFFFFFFu;
  bool read_header();
  int read_raw(uint8_t *buffer, int count);
  void skip(uint32_t count);

  uint32_t type = 0;
  uint32_t length = 0;
  uint32_t remaining = 0;
  jp2_stream *stream = nullptr;
  jp2_box_reader *parent = nullptr;
};
