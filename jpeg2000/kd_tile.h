// Tiles, tile-components, resolutions, subbands, precincts and code-blocks of a code-stream,
// the progression of packets through them, and the working record through which one
// code-block's data reaches the block decoder.
#pragma once

#include <cstdint>
#include <vector>

#include "kdu_codestream.h"

class kd_tile_state;
class kd_tile_comp_state;
class kd_resolution_state;
class kd_subband_state;
class kd_precinct_state;
class kd_pph_input;

constexpr int LL_BAND = 0, HL_BAND = 1, LH_BAND = 2, HH_BAND = 3;

// Largest number of DWT levels, code-block exponent and exponent sum that tiles accept.
constexpr int KD_MAX_LEVELS = 32;
constexpr int KD_MAX_BLOCK_EXPONENT = 10;       // block dimension 1024
constexpr int KD_MAX_BLOCK_AREA_EXPONENT = 12;  // block area 4096
// Home-made limit on the packets of one tile, so that corrupt geometry cannot ask for tables
// larger than any real stream needs.
constexpr int64_t KD_MAX_TILE_PACKETS = (int64_t)1 << 22;

struct kd_working_block {
  kd_region region;
  kd_point size;
  int modes = 0;
  int orientation = LL_BAND;
  bool resilient = false, fussy = false;
  int num_passes = 0;
  int missing_msbs = 0;
  std::vector<int> pass_lengths;
  std::vector<uint16_t> pass_slopes;
  std::vector<uint8_t> byte_store;  // one free byte before the data, two spare bytes after
  int num_bytes = 0;
  uint8_t *bytes() { return byte_store.data() + 1; }
  // Working areas of the block decoder, kept between blocks.
  std::vector<int32_t> sample_area;
  std::vector<int32_t> state_area;
  class kd_block_state *block = nullptr;
  class kd_precinct_state *precinct = nullptr;  // the precinct that holds `block`
  kd_point block_idx;
};

// One code-block of a precinct, which is also the node type of the precinct's tag trees.
class kd_block_state {
 public:
  // Tag-tree node values.
  uint16_t value = 0;
  uint16_t lower_bound = 0;
  bool known = false;
  kd_block_state *parent = nullptr;

  // Code-block data.
  bool included = false;
  bool not_stored = false;  // area outside the region of interest: data dropped
  uint8_t msbs = 0;         // missing most significant bit-planes
  uint8_t lblock = 3;
  uint8_t passes = 0;  // coding passes read so far
  uint32_t bytes_stored = 0;
  uint32_t body_bytes = 0;  // body bytes of the current packet
  uint32_t store_size = 0;  // bytes written to the chunk store
  kd_buf_chunk *first_chunk = nullptr, *last_chunk = nullptr;
  int write_pos = 0;

  void store(kd_chunk_server *server, const uint8_t *data, int count);
};

struct kd_precinct_band {
  kd_point first_block;  // block indices of the band
  kd_point num_blocks;
  std::vector<kd_block_state> blocks;                     // leaves in raster order
  std::vector<kd_block_state> inclusion_tree, msbs_tree;  // tag trees, leaves first
};

class kd_precinct_state {
 public:
  kd_precinct_state(kd_resolution_state *res, kd_point idx);
  ~kd_precinct_state();
  bool read_next_packet();
  void release_chunks();

  kd_resolution_state *resolution;
  kd_point idx;
  int layers_read = 0;
  int num_layers;
  std::vector<kd_precinct_band> bands;
  int blocks_not_closed = 0;
  bool corrupt = false;

 private:
  bool read_packet_header(kd_input *hdr_in, int layer, int64_t &body_total);
  void read_packet_body();
  bool resynchronise();
  bool count_lost_packet();
};

class kd_subband_state {
 public:
  kd_resolution_state *resolution = nullptr;
  int orientation = LL_BAND;
  int band_idx = 0;  // QCD order
  kd_region region;
  kd_point block_origin, block_size;
  kd_point first_block, num_blocks;
  float step = 1.0f;
  int epsilon = 0;
  int mb = 0;
  int roi_mb = 0;
  float roi_weight = -1.0f;
  float band_weight = 1.0f;

  kd_working_block *begin_block(kd_point block_idx);
  void end_block(kd_working_block *block);
};

class kd_resolution_state {
 public:
  ~kd_resolution_state();
  kd_tile_comp_state *comp = nullptr;
  int res_idx = 0;
  int levels_below = 0;  // DWT levels below this resolution's own
  bool propagate_roi = false;
  kd_region region;
  kd_point precinct_origin, precinct_exp;  // precinct size = 2^exp
  kd_point first_precinct, num_precincts;
  std::vector<kd_subband_state> bands;
  std::vector<kd_precinct_state *> precincts;

  kd_precinct_state *access_precinct(kd_point idx);  // makes it on first use; null if expired
  // Destroys the precinct and leaves the expired mark in its table entry.
  void release_precinct(kd_precinct_state *precinct);
  static kd_precinct_state *expired() { return reinterpret_cast<kd_precinct_state *>(~(uintptr_t)0); }
};

class kd_tile_comp_state {
 public:
  kd_tile_state *tile = nullptr;
  int comp_idx = 0;
  kd_point sub_sampling;
  int levels = 0, apparent_levels = 0;
  bool reversible = false;
  int kernel_id = 1;
  int headroom = 4;
  kd_point block_exp;  // nominal code-block size = 2^exp
  int modes = 0;
  bool use_precincts = false;
  int64_t min_step_y = 0, min_step_x = 0;  // smallest precinct step on the canvas
  kd_region region;
  std::vector<kd_resolution_state> resolutions;
};

struct kd_progression {
  int first_res, first_comp, layer_limit, res_limit, comp_limit, order;
};

struct kd_packet_ref {
  int comp, res, layer;
  kd_point precinct;
};

// The packet sequencer of a tile.  Its records are looked up only once the tile has read a
// tile-part header (a POC segment there is the tile's own progression), and looked at again
// after every further tile-part header of the tile.
class kd_packet_order {
 public:
  void init(kd_tile_state *tile);
  // The precinct whose next packet is due, or null when none is due now.
  kd_precinct_state *next_precinct();

 private:
  // Where the records come from: none yet (no tile-part header read), the tile's COD object, the
  // main header's POC object, or the tile's own POC instances (from tile-part headers).
  enum records_source { NO_RECORDS, COD_RECORD, MAIN_POC_RECORDS, TILE_POC_RECORDS };
  void look_at_records();
  bool load_record();
  void build_sequence(const kd_progression &rec);
  kd_tile_state *tile = nullptr;
  records_source source = NO_RECORDS;
  int instance = 0, record = 0;
  int parts_seen = 0;  // tile-parts of the tile read when the records were last looked at
  bool finished = false;
  std::vector<kd_packet_ref> sequence;
  size_t cursor = 0;
  bool spatial_ok = true;
  int max_levels = 0;
};

class kd_tile_state {
 public:
  kd_tile_state(kd_stream_state *codestream, int tile_num);
  ~kd_tile_state();
  void build_structures();
  // Reads the stream up to the end of the tile's first tile-part header (where the tile is
  // built) unless it has been read; a tile with no tile-part left is built as it stands.
  void read_first_part_header();
  void activate();
  void close();
  bool read_part_header();
  void end_reading();
  bool read_packets_of_part();  // reads the packets due in the current tile-part
  void check_coding_partitions(kd_point origin, kd_point exponents);

  kd_stream_state *codestream;
  int tile_num;
  bool is_open = false, closed = false;
  kd_region region;
  int tile_parts_expected = 0, tile_parts_read = 0;
  int num_components = 0;
  int num_layers = 1;
  bool use_sop = false, use_eph = false, use_ycc = false;
  bool align_y = false, align_x = false;
  std::vector<kd_tile_comp_state> comps;
  int64_t total_precincts = 0, total_packets = 0, packets_read = 0;
  bool finished_reading = false;
  bool holds_sop = false;  // resilient reading: an SOP found ahead, with its sequence number
  int held_sop = 0;
  kd_packet_order order;
  kd_pph_input *pph = nullptr;
  bool built = false;  // structures built: at the end of the first tile-part header
};
