// The leaf of a synthesis tree: decodes a subband one row of code-blocks at a time, restores
// region-of-interest background samples and dequantises into one block row of lines.
#pragma once

#include <cstdint>
#include <memory>

#include "kd_block_decoder.h"
#include "kd_line.h"

class kd_subband_state;
struct kd_working_block;

class kd_decoder : public kdu_pull_ifc_base {
 public:
  // Reserves one row of code-blocks of lines in `pool` (16-bit or 32-bit samples);
  // normalisation scales the irreversible step; reversible subbands ignore it.
  kd_decoder(kd_subband_state *band, kd_line_pool *pool, bool reversible, bool use_16, float normalisation);
  void produce_line(kd_line &line, bool may_exchange) override;

  int get_width() const { return width; }

 private:
  void decode_block_row();
  void dequantise(kd_working_block *blk, int row0);
  template <class T>
  void dequantise_rows(kd_working_block *blk, int oy, int ox, int ys, int ye, int xs, int xe);

  kd_subband_state *band;
  kd_block_decoder decoder;
  bool reversible, use_16;
  int mb, roi_shift;
  double step;  // step times normalisation, irreversible only
  int width, height;
  int nominal_rows = 0;  // lines of one block row
  int next_block_row = 0;
  int buffered_rows = 0, next_buffered = 0, rows_done = 0;
  std::unique_ptr<kd_line[]> lines;  // one block row
};
