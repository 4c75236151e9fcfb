#include "kd_block_decoder.h"

#include <algorithm>
#include <cstring>

#include "cod_params.h"
#include "kd_tile.h"
#include "kdu_messages.h"

namespace {

struct mq_state {
  uint16_t qe;
  uint8_t nmps, nlps, swap;
};

// ISO/IEC 15444-1 Table C.2.
constexpr mq_state mq_table[47] = {
    {0x5601, 1, 1, 1},   {0x3401, 2, 6, 0},   {0x1801, 3, 9, 0},   {0x0AC1, 4, 12, 0},
    {0x0521, 5, 29, 0},  {0x0221, 38, 33, 0}, {0x5601, 7, 6, 1},   {0x5401, 8, 14, 0},
    {0x4801, 9, 14, 0},  {0x3801, 10, 14, 0}, {0x3001, 11, 17, 0}, {0x2401, 12, 18, 0},
    {0x1C01, 13, 20, 0}, {0x1601, 29, 21, 0}, {0x5601, 15, 14, 1}, {0x5401, 16, 14, 0},
    {0x5101, 17, 15, 0}, {0x4801, 18, 16, 0}, {0x3801, 19, 17, 0}, {0x3401, 20, 18, 0},
    {0x3001, 21, 19, 0}, {0x2801, 22, 19, 0}, {0x2401, 23, 20, 0}, {0x2201, 24, 21, 0},
    {0x1C01, 25, 22, 0}, {0x1801, 26, 23, 0}, {0x1601, 27, 24, 0}, {0x1401, 28, 25, 0},
    {0x1201, 29, 26, 0}, {0x1101, 30, 27, 0}, {0x0AC1, 31, 28, 0}, {0x09C1, 32, 29, 0},
    {0x08A1, 33, 30, 0}, {0x0521, 34, 31, 0}, {0x0441, 35, 32, 0}, {0x02A1, 36, 33, 0},
    {0x0221, 37, 34, 0}, {0x0141, 38, 35, 0}, {0x0111, 39, 36, 0}, {0x0085, 40, 37, 0},
    {0x0049, 41, 38, 0}, {0x0025, 42, 39, 0}, {0x0015, 43, 40, 0}, {0x0009, 44, 41, 0},
    {0x0005, 45, 42, 0}, {0x0001, 45, 43, 0}, {0x5601, 46, 46, 0},
};

constexpr int RUN_CTX = 17, UNIFORM_CTX = 18;
constexpr uint8_t SIG = 1, VISITED = 2, REFINED = 4, NEGATIVE = 8;

// Neighbourhood bits: 0 top-left, 1 top, 2 top-right, 3 left, 5 right, 6 bottom-left,
// 7 bottom, 8 bottom-right (bit 4, the sample itself, is never set here).
struct context_tables {
  uint8_t sig[3][512]; // LL/LH, HL, HH
  uint8_t sign[81];    // by (H + 1) * 27 + ... see below
  context_tables() {
    for (int m = 0; m < 512; m++) {
      int h = ((m >> 3) & 1) + ((m >> 5) & 1);
      int v = ((m >> 1) & 1) + ((m >> 7) & 1);
      int d = (m & 1) + ((m >> 2) & 1) + ((m >> 6) & 1) + ((m >> 8) & 1);
      sig[0][m] = label(h, v, d);
      sig[1][m] = label(v, h, d);
      int hv = h + v;
      uint8_t l;
      if (d >= 3)
        l = 8;
      else if (d == 2)
        l = (hv >= 1) ? 7 : 6;
      else if (d == 1)
        l = (hv >= 2) ? 5 : (hv == 1) ? 4 : 3;
      else
        l = (hv >= 2) ? 2 : (uint8_t)hv;
      sig[2][m] = l;
    }
  }
  static uint8_t label(int h, int v, int d) {
    if (h == 2)
      return 8;
    if (h == 1)
      return (v >= 1) ? 7 : (d >= 1) ? 6 : 5;
    if (v == 2)
      return 4;
    if (v == 1)
      return 3;
    return (d >= 2) ? 2 : (uint8_t)d;
  }
};

const context_tables tables;

const uint8_t *sig_table_for(int orientation) {
  if (orientation == HL_BAND)
    return tables.sig[1];
  if (orientation == HH_BAND)
    return tables.sig[2];
  return tables.sig[0];
}

} // namespace

// ---------------------------------------------------------------------------------------------
void kd_block_decoder::mq_byte_in() {
  if (B == 0xFF) {
    uint8_t next = (bp + 1 < seg_end + 2) ? bp[1] : 0xFF;
    if (next > 0x8F) {
      C += 0xFF00;
      CT = 8;
      synthesised++;
    } else {
      bp++;
      B = *bp;
      C += (uint32_t)B << 9;
      CT = 7;
    }
  } else {
    bp++;
    B = *bp;
    C += (uint32_t)B << 8;
    CT = 8;
  }
}

void kd_block_decoder::mq_start(const uint8_t *data, const uint8_t *end) {
  bp = data;
  seg_end = end;
  synthesised = 0;
  B = *bp;
  C = (uint32_t)B << 16;
  mq_byte_in();
  C <<= 7;
  CT -= 7;
  A = 0x8000;
}

int kd_block_decoder::mq_decode_symbol(mq_context &cx) {
  const mq_state &s = mq_table[cx.state];
  uint32_t qe = s.qe;
  int d;
  A -= qe;
  if ((C >> 16) < qe) {
    if (A < qe) {
      d = cx.mps;
      cx.state = s.nmps;
    } else {
      d = 1 - cx.mps;
      if (s.swap)
        cx.mps = (uint8_t)(1 - cx.mps);
      cx.state = s.nlps;
    }
    A = qe;
  } else {
    C -= qe << 16;
    if (A & 0x8000)
      return cx.mps;
    if (A < qe) {
      d = 1 - cx.mps;
      if (s.swap)
        cx.mps = (uint8_t)(1 - cx.mps);
      cx.state = s.nlps;
    } else {
      d = cx.mps;
      cx.state = s.nmps;
    }
  }
  do {
    if (CT == 0)
      mq_byte_in();
    A <<= 1;
    C <<= 1;
    CT--;
  } while ((A & 0x8000) == 0);
  return d;
}

bool kd_block_decoder::mq_check_termination(bool strict) {
  if (!strict)
    return true;
  // A predictably terminated segment is consumed to its end.  The decoder fetches bytes only
  // as its register drains, so after the last symbol up to two bytes of a correctly terminated
  // segment may still lie ahead; more than that means the segment holds data that no symbol
  // used.
  return bp >= seg_end - 2;
}

void kd_block_decoder::raw_start(const uint8_t *data, const uint8_t *end) {
  bp = data;
  seg_end = end;
  raw_bits = 0;
  B = 0;
}

int kd_block_decoder::raw_bit() {
  if (raw_bits == 0) {
    bool after_ff = (B == 0xFF);
    B = (bp < seg_end) ? *bp++ : 0xFF;
    raw_bits = after_ff ? 7 : 8;
  }
  raw_bits--;
  return (B >> raw_bits) & 1;
}

bool kd_block_decoder::raw_check_termination(bool strict) {
  if (!strict)
    return true;
  return bp >= seg_end - 1;
}

void kd_block_decoder::reset_contexts() {
  for (mq_context &c : contexts)
    c = {0, 0};
  contexts[0].state = 4;
  contexts[RUN_CTX].state = 3;
  contexts[UNIFORM_CTX].state = 46;
}

// ---------------------------------------------------------------------------------------------
int kd_block_decoder::neighbourhood(int y, int x, bool causal) const {
  const uint8_t *f = flags + (y + 1) * pitch + (x + 1);
  int m = (f[-pitch - 1] & SIG) | ((f[-pitch] & SIG) << 1) | ((f[-pitch + 1] & SIG) << 2) |
          ((f[-1] & SIG) << 3) | ((f[1] & SIG) << 5);
  if (!(causal && (y & 3) == 3))
    m |= ((f[pitch - 1] & SIG) << 6) | ((f[pitch] & SIG) << 7) | ((f[pitch + 1] & SIG) << 8);
  return m;
}

int kd_block_decoder::decode_sign(int y, int x, bool causal, bool raw) {
  if (raw)
    return raw_bit();
  const uint8_t *f = flags + (y + 1) * pitch + (x + 1);
  auto contribution = [](uint8_t v) { return (v & SIG) ? ((v & NEGATIVE) ? -1 : 1) : 0; };
  int h = contribution(f[-1]) + contribution(f[1]);
  int v = contribution(f[-pitch]);
  if (!(causal && (y & 3) == 3))
    v += contribution(f[pitch]);
  h = std::max(-1, std::min(1, h));
  v = std::max(-1, std::min(1, v));
  int ctx, flip;
  if (h == 0) {
    ctx = (v == 0) ? 9 : 10;
    flip = (v < 0) ? 1 : 0;
  } else {
    ctx = (v == 0) ? 12 : (v == h) ? 13 : 11;
    flip = (h < 0) ? 1 : 0;
  }
  return mq_decode_symbol(contexts[ctx]) ^ flip;
}

bool kd_block_decoder::run_significance_pass(int p, bool causal, bool raw,
                                             const uint8_t *sig_table) {
  int32_t half = (p > 0) ? (1 << (p - 1)) : 0;
  for (int y0 = 0; y0 < height; y0 += 4)
    for (int x = 0; x < width; x++)
      for (int y = y0; y < y0 + 4 && y < height; y++) {
        uint8_t &f = flags[(y + 1) * pitch + (x + 1)];
        if (f & SIG)
          continue;
        int m = neighbourhood(y, x, causal);
        if (m == 0)
          continue;
        int bit = raw ? raw_bit() : mq_decode_symbol(contexts[sig_table[m]]);
        f |= VISITED;
        if (bit) {
          int sign = decode_sign(y, x, causal, raw);
          f |= SIG | (sign ? NEGATIVE : 0);
          samples[y * width + x] = (int32_t)((sign ? 0x80000000u : 0u) | (1u << p) | (uint32_t)half);
        }
      }
  return true;
}

void kd_block_decoder::run_refinement_pass(int p, bool causal, bool raw) {
  uint32_t bit_p = 1u << p, half = (p > 0) ? (1u << (p - 1)) : 0;
  for (int y0 = 0; y0 < height; y0 += 4)
    for (int x = 0; x < width; x++)
      for (int y = y0; y < y0 + 4 && y < height; y++) {
        uint8_t &f = flags[(y + 1) * pitch + (x + 1)];
        if ((f & (SIG | VISITED)) != SIG)
          continue;
        int bit;
        if (raw)
          bit = raw_bit();
        else {
          int ctx = 16;
          if (!(f & REFINED))
            ctx = (neighbourhood(y, x, causal) != 0) ? 15 : 14;
          bit = mq_decode_symbol(contexts[ctx]);
        }
        f |= REFINED;
        uint32_t w = (uint32_t)samples[y * width + x];
        if (!bit)
          w &= ~bit_p;
        w |= half;
        samples[y * width + x] = (int32_t)w;
      }
}

bool kd_block_decoder::run_cleanup_pass(int p, bool causal, const uint8_t *sig_table) {
  uint32_t half = (p > 0) ? (1u << (p - 1)) : 0;
  for (int y0 = 0; y0 < height; y0 += 4)
    for (int x = 0; x < width; x++) {
      int y = y0;
      int rows = std::min(4, height - y0);
      if (rows == 4) {
        bool run = true;
        for (int k = 0; k < 4 && run; k++) {
          uint8_t f = flags[(y0 + k + 1) * pitch + (x + 1)];
          if ((f & (SIG | VISITED)) || neighbourhood(y0 + k, x, causal) != 0)
            run = false;
        }
        if (run) {
          if (mq_decode_symbol(contexts[RUN_CTX]) == 0)
            continue;
          int r = mq_decode_symbol(contexts[UNIFORM_CTX]) << 1;
          r |= mq_decode_symbol(contexts[UNIFORM_CTX]);
          y = y0 + r;
          int sign = decode_sign(y, x, causal, false);
          flags[(y + 1) * pitch + (x + 1)] |= SIG | (sign ? NEGATIVE : 0);
          samples[y * width + x] = (int32_t)((sign ? 0x80000000u : 0u) | (1u << p) | half);
          y++;
        }
      }
      for (; y < y0 + rows; y++) {
        uint8_t &f = flags[(y + 1) * pitch + (x + 1)];
        if (f & (SIG | VISITED))
          continue;
        int m = neighbourhood(y, x, causal);
        if (mq_decode_symbol(contexts[sig_table[m]])) {
          int sign = decode_sign(y, x, causal, false);
          f |= SIG | (sign ? NEGATIVE : 0);
          samples[y * width + x] = (int32_t)((sign ? 0x80000000u : 0u) | (1u << p) | half);
        }
      }
    }
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      flags[(y + 1) * pitch + (x + 1)] &= (uint8_t)~VISITED;
  return true;
}

// ---------------------------------------------------------------------------------------------
void kd_block_decoder::decode_block(kd_working_block *block) {
  width = std::max(0, block->size.x);
  height = std::max(0, block->size.y);
  size_t num_samples = (size_t)width * (size_t)height;
  if (block->sample_area.size() < std::max<size_t>(num_samples, 4096))
    block->sample_area.resize(std::max<size_t>(num_samples, 4096));
  pitch = width + 2;
  size_t num_flags = (size_t)(height + 2) * (size_t)pitch;
  if (block->state_area.size() * 4 < std::max<size_t>(num_flags, 1600))
    block->state_area.resize((std::max<size_t>(num_flags, 1600) + 3) / 4);
  samples = block->sample_area.data();
  flags = reinterpret_cast<uint8_t *>(block->state_area.data());
  std::memset(samples, 0, num_samples * sizeof(int32_t));
  std::memset(flags, 0, num_flags);
  if (num_samples == 0)
    return;

  int missing = block->missing_msbs;
  int max_passes = (missing >= 30) ? 0 : 3 * (30 - missing) - 2;
  int num_passes = std::min(block->num_passes, max_passes);
  block->num_passes = num_passes;
  if (num_passes <= 0)
    return;

  if (block->byte_store.size() < (size_t)block->num_bytes + 3)
    block->byte_store.resize((size_t)block->num_bytes + 3);
  int modes = block->modes;
  bool causal = (modes & Cmodes_CAUSAL) != 0;
  const uint8_t *sig_table = sig_table_for(block->orientation);
  uint8_t *data = block->bytes();
  int total_bytes = block->num_bytes;
  int offset = 0;
  int p = 30 - missing;
  reset_contexts();

  int z = 0;
  while (z < num_passes) {
    // Choose this codeword segment's passes.
    int seg_passes;
    bool raw = false;
    int type = (z == 0) ? 2 : (z - 1) % 3; // 0 significance, 1 refinement, 2 cleanup
    if (modes & Cmodes_RESTART)
      seg_passes = 1;
    else if (modes & Cmodes_BYPASS)
      seg_passes = (z < 10) ? 10 - z : (type == 2 ? 1 : 2);
    else
      seg_passes = num_passes - z;
    if ((modes & Cmodes_BYPASS) && z >= 10 && type != 2)
      raw = true;
    bool truncated = false;
    if (z + seg_passes > num_passes) {
      seg_passes = num_passes - z;
      truncated = true;
    }
    int seg_bytes = 0;
    for (int k = z; k < z + seg_passes; k++)
      seg_bytes += block->pass_lengths[(size_t)k];
    if (seg_bytes > total_bytes - offset) {
      seg_bytes = std::max(0, total_bytes - offset);
      truncated = true;
    }
    uint8_t *seg = data + offset;
    uint8_t saved[2] = {seg[seg_bytes], seg[seg_bytes + 1]};
    seg[seg_bytes] = 0xFF;
    seg[seg_bytes + 1] = 0xFF;
    if (raw)
      raw_start(seg, seg + seg_bytes);
    else
      mq_start(seg, seg + seg_bytes);

    bool ok = true, segmark_failed = false;
    int segment_start = z;
    for (int k = 0; k < seg_passes; k++, z++) {
      int t = (z == 0) ? 2 : (z - 1) % 3;
      if (t == 0 && z > 0)
        p--;
      if (p < 1) {
        z = num_passes;
        break;
      }
      if ((modes & Cmodes_RESET) && z > 0)
        reset_contexts();
      if (t == 0)
        run_significance_pass(p, causal, raw, sig_table);
      else if (t == 1)
        run_refinement_pass(p, causal, raw);
      else {
        run_cleanup_pass(p, causal, sig_table);
        if (modes & Cmodes_SEGMARK) {
          int sym = 0;
          for (int s = 0; s < 4; s++)
            sym = (sym << 1) | mq_decode_symbol(contexts[UNIFORM_CTX]);
          if (sym != 0xA && (block->fussy || block->resilient)) {
            ok = false;
            segmark_failed = true;
            z++;
            break;
          }
        }
      }
    }
    bool strict = (modes & Cmodes_ERTERM) && (block->fussy || block->resilient) && !truncated;
    if (ok)
      ok = raw ? raw_check_termination(strict) : mq_check_termination(strict);
    seg[seg_bytes] = saved[0];
    seg[seg_bytes + 1] = saved[1];
    offset += seg_bytes;
    if (!ok) {
      if (block->fussy) {
        kdu_error e;
        e << "Encountered incorrectly terminated codeword segment, or invalid SEGMARK symbol in "
             "code-block bit-stream.  You may like to use the \"resilient\" mode to recover "
             "from and conceal such errors.";
      }
      kdu_warning w;
      w << "Corrupted block bit-stream detected.\n";
      // Decode again with the passes that came before the damage: before the current bit-plane
      // after a bad segmentation symbol, before the failing segment after a bad termination.
      int keep = segmark_failed ? ((z >= 3) ? z - 2 : 0) : segment_start;
      if (keep < num_passes) {
        block->num_passes = keep;
        decode_block(block);
      }
      return;
    }
  }
}
