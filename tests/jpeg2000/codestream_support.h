// Decodes every code-block of a code-stream held in memory, for the tests.
#pragma once

#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#include "j2k_test_support.h"
#include "kd_block_decoder.h"
#include "kd_tile.h"
#include "kdu_codestream.h"

class memory_source : public kdu_compressed_source {
 public:
  explicit memory_source(const std::vector<uint8_t> &data) : data(data) {}
  int read(uint8_t *buf, int num_bytes) override {
    size_t n = std::min((size_t)num_bytes, data.size() - pos);
    if (n > 0) std::memcpy(buf, data.data() + pos, n);
    pos += n;
    return (int)n;
  }
  const std::vector<uint8_t> &data;
  size_t pos = 0;
};

// Destroys a code-stream when it goes out of scope, also when reading it ends in an error.
struct codestream_guard {
  kdu_codestream &cs;
  ~codestream_guard() { cs.destroy(); }
};

// Reversibly decoded samples of resolution 0 (the whole image when there are no DWT levels),
// per component, on the component grid of the canvas; plus counts of what was decoded.
struct decoded_stream {
  int width = 0, height = 0, components = 0;
  std::vector<std::vector<int>> samples;  // LL band values per component, row-major
  // Reversible coefficients of every subband of tile 0: (component, resolution, band) -> values
  // over the band region, row-major, with the region itself.
  std::map<std::tuple<int, int, int>, std::pair<kd_region, std::vector<int>>> bands;
  int blocks = 0, coded_blocks = 0;
  long long packets = 0, expected_packets = 0;
};

// Fussy reading by default; resilient reading recovers from damaged packets instead.
inline void decode_all_blocks(const std::vector<uint8_t> &bytes, decoded_stream &out, bool resilient = false) {
  memory_source src(bytes);
  kdu_codestream cs;
  codestream_guard guard{cs};
  cs.start_input(&src);
  cs.set_fussy(!resilient);
  cs.set_resilient(resilient);
  kd_stream_state *st = cs.get_state();
  kd_region comp0;
  cs.get_component_region(0, comp0);
  out.width = comp0.size_x;
  out.height = comp0.size_y;
  out.components = cs.get_num_components();
  out.samples.assign((size_t)out.components, std::vector<int>());
  std::vector<kd_region> regions((size_t)out.components);
  for (int c = 0; c < out.components; c++) {
    cs.get_component_region(c, regions[(size_t)c]);
    out.samples[(size_t)c].assign((size_t)regions[(size_t)c].size_x * (size_t)regions[(size_t)c].size_y, 0);
  }
  kd_region range;
  cs.get_tile_range(range);
  kd_block_decoder decoder;
  for (int ty = 0; ty < range.size_y; ty++)
    for (int tx = 0; tx < range.size_x; tx++) {
      kdu_tile_handle tile = cs.acquire_tile({range.pos_y + ty, range.pos_x + tx});
      kd_tile_state *ts = tile.get_state();
      out.expected_packets += ts->total_packets;
      for (kd_tile_comp_state &tc : ts->comps)
        for (kd_resolution_state &res : tc.resolutions)
          for (kd_subband_state &band : res.bands)
            for (int by = 0; by < band.num_blocks.y; by++)
              for (int bx = 0; bx < band.num_blocks.x; bx++) {
                kd_working_block *blk = band.begin_block({by, bx});
                decoder.decode_block(blk);
                out.blocks++;
                if (blk->num_passes > 0) out.coded_blocks++;
                // Background samples of a region of interest come up by the shift; then every
                // word has the subband's top bit-plane at bit 30.
                int shift = 31 - band.mb;
                int rshift = band.roi_mb - band.mb;
                uint32_t fg_mask = (band.mb >= 31)  ? 0x7FFFFFFFu
                                   : (band.mb <= 0) ? 0u
                                                    : ((0xFFFFFFFFu << (31 - band.mb)) & 0x7FFFFFFFu);
                for (int k = 0; rshift > 0 && k < blk->size.y * blk->size.x; k++) {
                  uint32_t w = (uint32_t)blk->sample_area[(size_t)k];
                  uint64_t mag = w & 0x7FFFFFFF;
                  if (mag != 0 && (mag & fg_mask) == 0) {
                    mag = (rshift >= 31) ? 0x7FFFFFFF : std::min<uint64_t>(mag << rshift, 0x7FFFFFFF);
                    blk->sample_area[(size_t)k] = (int32_t)((w & 0x80000000u) | (uint32_t)mag);
                  }
                }
                if (ty == 0 && tx == 0 && tc.reversible) {
                  auto &entry = out.bands[std::make_tuple(tc.comp_idx, res.res_idx, band.orientation)];
                  entry.first = band.region;
                  entry.second.resize((size_t)band.region.size_y * (size_t)band.region.size_x);
                  for (int y = 0; y < blk->size.y; y++)
                    for (int x = 0; x < blk->size.x; x++) {
                      uint32_t w = (uint32_t)blk->sample_area[(size_t)(y * blk->size.x + x)];
                      int v = (shift >= 0 && shift < 32) ? (int)((w & 0x7FFFFFFF) >> shift) : 0;
                      int gy = blk->region.pos_y + y - band.region.pos_y;
                      int gx = blk->region.pos_x + x - band.region.pos_x;
                      entry.second[(size_t)(gy * band.region.size_x + gx)] = (w & 0x80000000u) ? -v : v;
                    }
                }
                if (res.res_idx == 0 && tc.levels == 0) {
                  const kd_region &cr = regions[(size_t)tc.comp_idx];
                  for (int y = 0; y < blk->size.y; y++)
                    for (int x = 0; x < blk->size.x; x++) {
                      uint32_t w = (uint32_t)blk->sample_area[(size_t)(y * blk->size.x + x)];
                      uint32_t mag = w & 0x7FFFFFFF;
                      int v = (shift >= 0 && shift < 32) ? (int)(mag >> shift) : 0;
                      if (w & 0x80000000u) v = -v;
                      int gy = blk->region.pos_y + y - cr.pos_y;
                      int gx = blk->region.pos_x + x - cr.pos_x;
                      if (gy >= 0 && gx >= 0 && gy < cr.size_y && gx < cr.size_x)
                        out.samples[(size_t)tc.comp_idx][(size_t)(gy * cr.size_x + gx)] = v;
                    }
                }
                band.end_block(blk);
              }
      out.packets += ts->packets_read;
      tile.close();
    }
  (void)st;
}
