// The code-stream: its main header read marker by marker into the parameter objects, the
// canvas and tile grid, and the tiles handed out one at a time.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "kd_input.h"

struct kd_point {
  int y = 0, x = 0;
};

struct kd_region {
  int pos_y = 0, pos_x = 0, size_y = 0, size_x = 0;
};

class siz_params;
class kd_tile_state;
class kd_pph_list;
struct kd_working_block;

// Reads marker codes and their segments from an input.
class kd_marker_reader {
 public:
  explicit kd_marker_reader(kd_input *in) : in(in) {}
  // True with the code (and, where it has one, the segment) of the next marker.
  bool fetch_marker(bool exclude_stuff_bytes, bool skip_to_marker);
  uint16_t get_code() const { return code; }
  int get_length() const { return length; }
  // False for a marker without a segment (such as SOD, or a reserved code 0xFF30 to 0xFF3F).
  bool has_segment() const { return segment; }
  const uint8_t *get_bytes() const { return body.data(); }
  void clear() {
    code = 0;
    length = 0;
    segment = false;
  }
  void set_input(kd_input *input) { in = input; }

 private:
  bool fail() {
    clear();
    return false;
  }
  kd_input *in;
  uint16_t code = 0;
  int length = 0;
  bool segment = false;
  std::vector<uint8_t> body;
};

// Writes "<NAME>" for the known marker codes, else the code in hexadecimal.
void write_marker_name(uint16_t code, std::ostream &out);
void write_marker_name(uint16_t code, class kdu_message &out);

class kd_stream_state {
 public:
  kd_stream_state() = default;
  ~kd_stream_state();
  kd_stream_state(const kd_stream_state &) = delete;
  kd_stream_state &operator=(const kd_stream_state &) = delete;

  void build_stream_state();
  kd_tile_state *make_tile(int tile_num);
  bool tile_expired(int tile_num) const;
  // Creates the tile's parameter objects when they do not exist yet.
  void make_tile_params(int tile_num);
  // Deletes the tile's parameter objects when none of them was given a value of its own (the
  // tile had no marker segments): they only repeat the main header. They are made again if
  // the tile is ever needed.
  void release_tile_params(int tile_num);

  kd_compressed_input *input = nullptr;
  kd_marker_reader *marker = nullptr;
  siz_params *siz = nullptr;
  int num_components = 0;
  std::vector<kd_point> sub_sampling;
  std::vector<int> precision;
  std::vector<bool> is_signed;
  kd_region canvas;
  kd_region tile_partition;
  kd_point num_tiles;
  int first_apparent_component = 0;
  int num_apparent_components = 0;
  int discard_levels = 0;
  int max_apparent_layers = 65535;
  int max_tile_layers = 1;
  bool resilient = false;
  bool fussy = false;
  bool persistent = false;
  bool tiles_accessed = false;
  int num_open_tiles = 0;
  kd_region region;
  std::vector<kd_tile_state *> tile_refs;
  std::vector<bool> tile_params_made;
  kd_tile_state *active_tile = nullptr;
  kd_chunk_server *buf_server = nullptr;
  kd_working_block *block = nullptr;        // the working block while no code-block is open
  kd_working_block *block_owned = nullptr;  // the same record, owned even while it is lent out
  kd_pph_list *ppm_markers = nullptr;

  static kd_tile_state *expired_tile() { return reinterpret_cast<kd_tile_state *>(~(uintptr_t)0); }
};

class kdu_tile_handle {
 public:
  kdu_tile_handle() = default;
  explicit kdu_tile_handle(kd_tile_state *state) : state(state) {}
  bool exists() const { return state != nullptr; }
  void close();
  kd_tile_state *get_state() const { return state; }

 private:
  kd_tile_state *state = nullptr;
};

class kdu_codestream {
 public:
  bool exists() const { return state != nullptr; }
  // Reads the main header; on an error what was built stays with the handle until destroy().
  void start_input(kdu_compressed_source *source);
  // Deletes the state; the source is not closed.
  void destroy();
  void apply_input_restrictions(int first_component, int max_components);
  void get_component_region(int comp_idx, kd_region &dims);
  void get_tile_range(kd_region &dims);
  kdu_tile_handle acquire_tile(kd_point tile_idx);
  int get_num_components();
  int get_bit_depth(int comp_idx);
  bool get_signed(int comp_idx);
  kd_stream_state *get_state() const { return state; }
  // Sets the copies that the working block of the code-blocks carries.
  void set_fussy(bool fussy);
  void set_resilient(bool resilient);

 private:
  kd_stream_state *state = nullptr;
};
