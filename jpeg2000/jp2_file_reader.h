// The header of a JP2 file: signature, file type and the JP2 header box with its image header,
// bit depth, colour, palette, channel and resolution boxes.  The members are read, validated
// and kept; the decoder applies none of them to the samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "jp2_box_reader.h"

class jp2_image_geometry {
 public:
  void read_box(jp2_box_reader &box);
  void read_bpcc_box(jp2_box_reader &box);
  void finalize();

  bool is_read = false;
  uint32_t height = 0, width = 0;
  int num_components = 0;
  bool colour_space_unknown = false;
  bool ipr = false;
  // Per component: +n for n unsigned bits, -n for n signed bits, 0 when not yet given.
  std::vector<int> bit_depths;
};

enum jp2_colour_space {
  JP2_UNKNOWN_SPACE = 0,
  JP2_sLUM_SPACE,
  JP2_sRGB_SPACE,
  JP2_sYCC_SPACE,
  JP2_iccLUM_SPACE,
  JP2_iccRGB_SPACE
};

struct jp2_icc_profile {
  int num_colours = 0;
  std::vector<uint16_t> curves[3];  // tone reproduction curves (one entry: a gamma)
  double colorants[3][3] = {};      // rXYZ, gXYZ, bXYZ
};

class jp2_colour {
 public:
  void read_box(jp2_box_reader &box);
  void read_icc_profile(const uint8_t *data, size_t size);
  void finalize();

  bool is_read = false;
  int num_colours = 0;
  jp2_colour_space space = JP2_UNKNOWN_SPACE;
  int precedence = 0, approx = 0;
  jp2_icc_profile icc;
  bool has_icc = false;
};

class jp2_palette_table {
 public:
  void read_box(jp2_box_reader &box);
  void finalize();

  bool is_read = false;
  int num_entries = 0, num_columns = 0;
  std::vector<int> bit_depths;             // signed depth per column, as in the image header
  std::vector<std::vector<int64_t>> luts;  // per column, one value per entry
};

struct jp2_channel_mapping {
  int component, mapping_type, palette_column;
};

struct jp2_channel_definition {
  int channel, type, association;
};

class jp2_channels {
 public:
  jp2_channels();
  void read_cmap_box(jp2_box_reader &box);
  void read_cdef_box(jp2_box_reader &box);
  void finalize(int num_colours, int num_components, int num_palette_columns);

  bool have_cmap = false, have_cdef = false;
  std::vector<jp2_channel_mapping> cmap;
  std::vector<jp2_channel_definition> cdef;
  // Resolved: per colour channel, the component and palette column (-1 for direct use).
  int num_colours = 3;
  int colour_component[3], colour_lut[3];
  int opacity_component = -1, opacity_lut = -1;
  bool opacity_premultiplied = false;
};

class jp2_resolution_info {
 public:
  void read_box(jp2_box_reader &box);

  bool is_read = false;
  float aspect_ratio = 1.0f;
  float resolution = 1.0f;
  bool from_display = false;
};

class jp2_file_reader {
 public:
  jp2_file_reader() = default;
  ~jp2_file_reader();
  jp2_file_reader(const jp2_file_reader &) = delete;
  jp2_file_reader &operator=(const jp2_file_reader &) = delete;

  jp2_image_geometry dimensions;
  jp2_colour colour;
  jp2_palette_table palette;
  jp2_channels channels;
  jp2_resolution_info resolution;
  jp2_box_reader box;  // the open code-stream box after a successful read_jp2_header
  jp2_stream *stream = nullptr;
};

// Walks the file up to its code-stream box; true with that box open in `reader.box`.
bool read_jp2_header(jp2_file_reader &reader, jp2_stream *stream);
