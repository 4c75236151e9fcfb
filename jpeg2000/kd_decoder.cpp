#include "kd_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "kd_tile.h"
#include "kdu_messages.h"

kd_decoder::kd_decoder(kd_subband_state *band, bool reversible, float normalisation)
    : band(band),
      reversible(reversible),
      mb(band->mb),
      roi_shift(band->roi_mb - band->mb),
      step(reversible ? 0.0 : (double)band->step * normalisation),
      width(band->region.size_x),
      height(band->region.size_y) {
  if (width <= 0 || height <= 0) width = height = 0;
  if (reversible && mb > 31) {
    kdu_error e;
    e << "Insufficient implementation precision available for true reversible processing!";
  }
}

void kd_decoder::produce_line(kd_line &line, bool) {
  if (width == 0 || rows_done >= height) {
    line.create(width, reversible);
    return;
  }
  line.reshape(width, reversible);
  if (next_buffered >= buffered_rows) decode_block_row();
  size_t off = (size_t)next_buffered * (size_t)width;
  if (reversible)
    std::memcpy(line.ints.data(), ints.data() + off, (size_t)width * sizeof(int32_t));
  else
    std::memcpy(line.floats.data(), floats.data() + off, (size_t)width * sizeof(float));
  next_buffered++;
  rows_done++;
}

void kd_decoder::decode_block_row() {
  int by = next_block_row++;
  // The rows of this block row within the subband.
  int64_t bh = (int64_t)1 << band->block_size.y;
  int64_t top = (int64_t)(band->first_block.y + by) * bh + band->block_origin.y;
  int64_t r0 = std::max<int64_t>(top, band->region.pos_y);
  int64_t r1 = std::min<int64_t>(top + bh, (int64_t)band->region.pos_y + height);
  buffered_rows = (int)std::max<int64_t>(r1 - r0, 0);
  next_buffered = 0;
  size_t n = (size_t)buffered_rows * (size_t)width;
  if (reversible)
    ints.assign(n, 0);
  else
    floats.assign(n, 0.0f);
  if (by >= band->num_blocks.y) return;
  for (int bx = 0; bx < band->num_blocks.x; bx++) {
    kd_working_block *blk = band->begin_block({by, bx});
    struct closer {
      kd_subband_state *band;
      kd_working_block *blk;
      ~closer() { band->end_block(blk); }
    } guard{band, blk};
    if (blk->num_passes > 0 && blk->size.y > 0 && blk->size.x > 0) {
      decoder.decode_block(blk);
      dequantise(blk, (int)r0);
    }
  }
}

void kd_decoder::dequantise(kd_working_block *blk, int row0) {
  int h = blk->size.y, w = blk->size.x;
  int oy = blk->region.pos_y - row0, ox = blk->region.pos_x - band->region.pos_x;
  // Clip to the buffered rows and the subband width; a block outside contributes nothing.
  int ys = std::max(0, -oy), ye = std::min(h, buffered_rows - oy);
  int xs = std::max(0, -ox), xe = std::min(w, width - ox);
  if (ys >= ye || xs >= xe || blk->sample_area.size() < (size_t)h * (size_t)w) return;

  if (roi_shift > 0) {
    // Background samples have no bit among the top mb planes: bring them up by the shift.
    uint32_t fg_mask = (mb >= 31) ? 0x7FFFFFFFu : (mb <= 0) ? 0u : ((0xFFFFFFFFu << (31 - mb)) & 0x7FFFFFFFu);
    for (size_t k = 0; k < (size_t)h * (size_t)w; k++) {
      uint32_t word = (uint32_t)blk->sample_area[k];
      uint64_t mag = word & 0x7FFFFFFFu;
      if (mag != 0 && (mag & fg_mask) == 0) {
        mag = (roi_shift >= 31) ? 0x7FFFFFFFu : std::min<uint64_t>(mag << roi_shift, 0x7FFFFFFFu);
        blk->sample_area[k] = (int32_t)((word & 0x80000000u) | (uint32_t)mag);
      }
    }
  }

  if (reversible) {
    int shift = 31 - mb;  // 0..31 (mb > 31 was refused at construction)
    if (shift > 31) shift = 31;
    for (int y = ys; y < ye; y++) {
      const int32_t *src = blk->sample_area.data() + (size_t)y * (size_t)w;
      int32_t *dst = ints.data() + (size_t)(oy + y) * (size_t)width + ox;
      for (int x = xs; x < xe; x++) {
        uint32_t word = (uint32_t)src[x];
        int32_t v = (int32_t)((word & 0x7FFFFFFFu) >> shift);
        dst[x] = (word & 0x80000000u) ? -v : v;
      }
    }
  } else {
    float delta = (float)std::ldexp(step, mb - 31);
    for (int y = ys; y < ye; y++) {
      const int32_t *src = blk->sample_area.data() + (size_t)y * (size_t)w;
      float *dst = floats.data() + (size_t)(oy + y) * (size_t)width + ox;
      for (int x = xs; x < xe; x++) {
        uint32_t word = (uint32_t)src[x];
        float v = (float)(word & 0x7FFFFFFFu) * delta;
        dst[x] = (word & 0x80000000u) ? -v : v;
      }
    }
  }
}
