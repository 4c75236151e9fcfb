#include "kd_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "kd_tile.h"
#include "kdu_messages.h"

kd_decoder::kd_decoder(kd_subband_state *band, kd_line_pool *pool, bool reversible, bool use_16, float normalisation)
    : band(band),
      reversible(reversible),
      use_16(use_16),
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
  if (width == 0) return;
  // The first block row may be shorter than the nominal block height, never taller.
  int64_t bh = (int64_t)1 << std::min(band->block_size.y, 30);
  nominal_rows = (int)std::min<int64_t>(bh, height);
  lines.reset(new kd_line[(size_t)nominal_rows]);
  for (int i = 0; i < nominal_rows; i++) pool->reserve(lines[(size_t)i], width, reversible, use_16);
}

void kd_decoder::produce_line(kd_line &line, bool) {
  if (width == 0) return;
  if (rows_done >= height) {
    std::memset(line.samples, 0, (size_t)line.width * line.sample_bytes());
    return;
  }
  if (next_buffered >= buffered_rows) decode_block_row();
  const kd_line &src = lines[(size_t)next_buffered];
  std::memcpy(line.samples, src.samples, (size_t)std::min(width, line.width) * line.sample_bytes());
  next_buffered++;
  rows_done++;
}

void kd_decoder::decode_block_row() {
  int by = next_block_row++;
  // The rows of this block row within the subband.
  int64_t bh = (int64_t)1 << std::min(band->block_size.y, 30);
  int64_t top = (int64_t)(band->first_block.y + by) * bh + band->block_origin.y;
  int64_t r0 = std::max<int64_t>(top, band->region.pos_y);
  int64_t r1 = std::min<int64_t>(top + bh, (int64_t)band->region.pos_y + height);
  buffered_rows = (int)std::min<int64_t>(std::max<int64_t>(r1 - r0, 0), nominal_rows);
  next_buffered = 0;
  for (int i = 0; i < buffered_rows; i++)
    std::memset(lines[(size_t)i].samples, 0, (size_t)width * lines[(size_t)i].sample_bytes());
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

template <class T>
void kd_decoder::dequantise_rows(kd_working_block *blk, int oy, int ox, int ys, int ye, int xs, int xe) {
  const int w = blk->size.x;
  if (reversible) {
    int shift = std::min(31 - mb, 31);  // mb > 31 was refused at construction
    for (int y = ys; y < ye; y++) {
      const int32_t *src = blk->sample_area.data() + (size_t)y * (size_t)w;
      T *dst = static_cast<T *>(lines[(size_t)(oy + y)].samples) + ox;
      for (int x = xs; x < xe; x++) {
        uint32_t word = (uint32_t)src[x];
        int32_t v = (int32_t)((word & 0x7FFFFFFFu) >> shift);
        dst[x] = (T)((word & 0x80000000u) ? -v : v);
      }
    }
    return;
  }
  double delta = std::ldexp(step, mb - 31);
  if (sizeof(T) == 2) {
    // Fixed point with 13 fraction bits: the top 15 magnitude bits times a 32-bit-scaled step.
    // Steps of corrupt streams are clamped so that the products stay inside 64 bits.
    double scaled = delta * 8192.0 * 4294967296.0 + 0.5;
    if (!(scaled < 1099511627776.0)) scaled = 1099511627776.0;
    int64_t f = (int64_t)scaled;
    for (int y = ys; y < ye; y++) {
      const int32_t *src = blk->sample_area.data() + (size_t)y * (size_t)w;
      T *dst = static_cast<T *>(lines[(size_t)(oy + y)].samples) + ox;
      for (int x = xs; x < xe; x++) {
        uint32_t word = (uint32_t)src[x];
        int64_t m = (int64_t)(word & 0x7FFFFFFFu);
        if (word & 0x80000000u) m = -m;
        dst[x] = (T)((((m + 32768) >> 16) * f + 32768) >> 16);
      }
    }
    return;
  }
  float fdelta = (float)delta;
  for (int y = ys; y < ye; y++) {
    const int32_t *src = blk->sample_area.data() + (size_t)y * (size_t)w;
    T *dst = static_cast<T *>(lines[(size_t)(oy + y)].samples) + ox;
    for (int x = xs; x < xe; x++) {
      uint32_t word = (uint32_t)src[x];
      float v = (float)(word & 0x7FFFFFFFu) * fdelta;
      dst[x] = (T)((word & 0x80000000u) ? -v : v);
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
  if (use_16)
    dequantise_rows<int16_t>(blk, oy, ox, ys, ye, xs, xe);
  else if (reversible)
    dequantise_rows<int32_t>(blk, oy, ox, ys, ye, xs, xe);
  else
    dequantise_rows<float>(blk, oy, ox, ys, ye, xs, xe);
}
