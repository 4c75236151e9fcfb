// The leaf of a synthesis tree: decodes a subband one row of code-blocks at a time, restores
// region-of-interest background samples and dequantises into lines.
#pragma once

#include <cstdint>
#include <vector>

#include "kd_block_decoder.h"
#include "kd_line.h"

class kd_subband_state;
struct kd_working_block;

class kd_decoder : public kdu_pull_ifc_base {
 public:
  // normalisation scales the irreversible step; reversible subbands ignore it.
  kd_decoder(kd_subband_state *band, bool reversible, float normalisation);
  void produce_line(kd_line &line, bool may_exchange) override;

  int get_width() const { return width; }

 private:
  void decode_block_row();
  void dequantise(kd_working_block *blk, int row0);

  kd_subband_state *band;
  kd_block_decoder decoder;
  bool reversible;
  int mb, roi_shift;
  double step;  // step times normalisation, irreversible only
  int width, height;
  int next_block_row = 0;
  int buffered_rows = 0, next_buffered = 0, rows_done = 0;
  std::vector<int32_t> ints;
  std::vector<float> floats;
};
