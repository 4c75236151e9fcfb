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
    {0x5601, 1, 1, 1},   {0x3401, 2, 6, 0},   {0x1801, 3, 9, 0},   {0x0AC1, 4, 12, 0},  {0x0521, 5, 29, 0},
    {0x0221, 38, 33, 0}, {0x5601, 7, 6, 1},   {0x5401, 8, 14, 0},  {0x4801, 9, 14, 0},  {0x3801, 10, 14, 0},
    {0x3001, 11, 17, 0}, {0x2401, 12, 18, 0}, {0x1C01, 13, 20, 0}, {0x1601, 29, 21, 0}, {0x5601, 15, 14, 1},
    {0x5401, 16, 14, 0}, {0x5101, 17, 15, 0}, {0x4801, 18, 16, 0}, {0x3801, 19, 17, 0}, {0x3401, 20, 18, 0},
    {0x3001, 21, 19, 0}, {0x2801, 22, 19, 0}, {0x2401, 23, 20, 0}, {0x2201, 24, 21, 0}, {0x1C01, 25, 22, 0},
    {0x1801, 26, 23, 0}, {0x1601, 27, 24, 0}, {0x1401, 28, 25, 0}, {0x1201, 29, 26, 0}, {0x1101, 30, 27, 0},
    {0x0AC1, 31, 28, 0}, {0x09C1, 32, 29, 0}, {0x08A1, 33, 30, 0}, {0x0521, 34, 31, 0}, {0x0441, 35, 32, 0},
    {0x02A1, 36, 33, 0}, {0x0221, 37, 34, 0}, {0x0141, 38, 35, 0}, {0x0111, 39, 36, 0}, {0x0085, 40, 37, 0},
    {0x0049, 41, 38, 0}, {0x0025, 42, 39, 0}, {0x0015, 43, 40, 0}, {0x0009, 44, 41, 0}, {0x0005, 45, 42, 0},
    {0x0001, 45, 43, 0}, {0x5601, 46, 46, 0},
};

constexpr int RUN_CTX = 17, UNIFORM_CTX = 18;

// Decoder states with the MPS folded in: entry 2 * state + mps.
struct mq_entry {
  uint32_t qe;
  uint8_t nmps, nlps;
};

struct mq_entries {
  mq_entry e[94];
  mq_entries() : e() {
    for (int s = 0; s < 47; s++)
      for (int mps = 0; mps < 2; mps++) {
        mq_entry &x = e[2 * s + mps];
        x.qe = mq_table[s].qe;
        x.nmps = (uint8_t)(2 * mq_table[s].nmps + mps);
        x.nlps = (uint8_t)(2 * mq_table[s].nlps + (mq_table[s].swap ? 1 - mps : mps));
      }
  }
};

const mq_entries mq_states;

// State word of a sample, kept stripe by stripe: the four rows of a stripe column lie together,
// so that one 64-bit read tells whether a column has anything to code.  Bits 0-8 hold the significance of the 3 x 3 neighbourhood, row by
// row from the top left, with bit 4 the sample's own; the neighbour bits are set when the
// neighbour becomes significant, so a context is a table look-up.  Signs of the four direct
// neighbours follow the sample's own flags.
constexpr uint32_t NB_TL = 1, NB_T = 2, NB_TR = 4, NB_L = 8, SIG = 16, NB_R = 32, NB_BL = 64, NB_B = 128, NB_BR = 256;
constexpr uint32_t NB_MASK = 0x1EF;  // the eight neighbours
constexpr uint32_t VISITED = 1u << 9, REFINED = 1u << 10;
constexpr int NEGATIVE_SHIFT = 11, NEG_T_SHIFT = 12, NEG_L_SHIFT = 13, NEG_R_SHIFT = 14, NEG_B_SHIFT = 15;

struct context_tables {
  uint8_t sig[3][512];  // LL/LH, HL, HH; indexed by the neighbourhood bits
  // Sign context (bits 0-4) and the flip bit (bit 7), indexed by the state word's significance
  // bits of the top, left, right and bottom neighbours (bits 1, 3, 5, 7) and their signs
  // (bits 8-11).
  uint8_t sign[4096];
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
    for (int i = 0; i < 4096; i++) {
      // Neighbour n: 0 top, 1 left, 2 right, 3 bottom.
      auto contribution = [i](int n) { return ((i >> (2 * n + 1)) & 1) ? (((i >> (n + 8)) & 1) ? -1 : 1) : 0; };
      int h = std::max(-1, std::min(1, contribution(1) + contribution(2)));
      int v = std::max(-1, std::min(1, contribution(0) + contribution(3)));
      int ctx, flip;
      if (h == 0) {
        ctx = (v == 0) ? 9 : 10;
        flip = (v < 0) ? 1 : 0;
      } else {
        ctx = (v == 0) ? 12 : (v == h) ? 13 : 11;
        flip = (h < 0) ? 1 : 0;
      }
      sign[i] = (uint8_t)(ctx | (flip << 7));
    }
  }
  static uint8_t label(int h, int v, int d) {
    if (h == 2) return 8;
    if (h == 1) return (v >= 1) ? 7 : (d >= 1) ? 6 : 5;
    if (v == 2) return 4;
    if (v == 1) return 3;
    return (d >= 2) ? 2 : (uint8_t)d;
  }
};

const context_tables tables;

const uint8_t *sig_table_for(int orientation) {
  if (orientation == HL_BAND) return tables.sig[1];
  if (orientation == HH_BAND) return tables.sig[2];
  return tables.sig[0];
}

inline int sign_index(uint32_t v) { return (int)((v & (NB_T | NB_L | NB_R | NB_B)) | ((v >> 4) & 0xF00)); }

// Marks the sample at `f` (row y of the block) significant and tells its neighbours.  In
// stripe-causal mode the row above a stripe does not see the stripe.
constexpr uint64_t lanes(uint32_t bits) { return (uint64_t)bits * 0x0001000100010001ull; }

inline uint64_t column_word(const uint16_t *f) {
  uint64_t w;
  std::memcpy(&w, f, sizeof w);
  return w;
}

// Marks the sample at `f` (row k of its stripe; sp is the distance between stripes) significant
// and tells its neighbours.  In stripe-causal mode the row above a stripe does not see it.
template <bool CAUSAL>
inline void make_significant(uint16_t *f, int sp, int k, uint32_t neg) {
  int up = (k == 0) ? 3 - sp : -1;
  int down = (k == 3) ? sp - 3 : 1;
  if (!CAUSAL || k != 0) {
    f[up - 4] |= NB_BR;
    f[up] |= (uint16_t)(NB_B | (neg << NEG_B_SHIFT));
    f[up + 4] |= NB_BL;
  }
  f[-4] |= (uint16_t)(NB_R | (neg << NEG_R_SHIFT));
  f[0] |= (uint16_t)(SIG | (neg << NEGATIVE_SHIFT));
  f[4] |= (uint16_t)(NB_L | (neg << NEG_L_SHIFT));
  f[down - 4] |= NB_TR;
  f[down] |= (uint16_t)(NB_T | (neg << NEG_T_SHIFT));
  f[down + 4] |= NB_TL;
}

inline int32_t significant_value(uint32_t neg, int p) {
  uint32_t half = (p > 0) ? (1u << (p - 1)) : 0u;
  return (int32_t)((neg << 31) | (1u << p) | half);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
inline void kd_block_decoder::mq_decoder::byte_in() {
  if (*bp == 0xFF) {
    // The segment is followed by two 0xFF bytes, which stop the reader at its end.
    uint8_t next = (bp + 1 < seg_end + 2) ? bp[1] : 0xFF;
    if (next > 0x8F) {
      C += 0xFF00;
      CT = 8;
      fed++;
    } else {
      bp++;
      C += (uint32_t)*bp << 9;
      CT = 7;
    }
  } else {
    bp++;
    C += (uint32_t)*bp << 8;
    CT = 8;
    if (bp >= seg_end) fed++;
  }
}

inline int kd_block_decoder::mq_decoder::decode(mq_context &cx) {
  const mq_entry &s = mq_states.e[cx];
  uint32_t qe = s.qe;
  int d;
  A -= qe;
  if ((C >> 16) < qe) {
    if (A < qe) {
      d = cx & 1;
      cx = s.nmps;
    } else {
      d = 1 - (cx & 1);
      cx = s.nlps;
    }
    A = qe;
  } else {
    C -= qe << 16;
    if (A & 0x8000) return cx & 1;
    if (A < qe) {
      d = 1 - (cx & 1);
      cx = s.nlps;
    } else {
      d = cx & 1;
      cx = s.nmps;
    }
  }
  do {
    if (CT == 0) byte_in();
    A <<= 1;
    C <<= 1;
    CT--;
  } while ((A & 0x8000) == 0);
  return d;
}

void kd_block_decoder::mq_start(const uint8_t *data, const uint8_t *end) {
  mq.bp = data;
  mq.seg_end = end;
  mq.fed = (data >= end) ? 1 : 0;
  mq.C = (uint32_t)*data << 16;
  mq.byte_in();
  mq.C <<= 7;
  mq.CT -= 7;
  mq.A = 0x8000;
}

bool kd_block_decoder::mq_check_termination(bool strict) const {
  if (!strict) return true;
  // A predictably terminated segment is consumed to its end, and the decoder's position lies
  // where the encoder's flush leaves it: the bits it has taken from the 0xFF bytes fed past the
  // end, less those still waiting in C, are 3 to 31 (the flush leaves 3 to 15 bits of its last
  // bytes unwritten, 8 more for each final 0xFF byte dropped). Any other count means that symbols were decoded from bytes that the encoder
  // did not write for them.
  if (mq.bp < mq.seg_end) return false;
  int past = 8 * mq.fed - mq.CT;
  return past >= 3 && past <= 31;
}

void kd_block_decoder::raw_start(const uint8_t *data, const uint8_t *end) {
  raw.bp = data;
  raw.seg_end = end;
  raw.bits = 0;
  raw.B = 0;
  raw.overrun = 0;
}

inline int kd_block_decoder::raw_reader::bit() {
  if (bits == 0) {
    bool after_ff = (B == 0xFF);
    if (bp < seg_end)
      B = *bp++;
    else {
      B = 0xFF;
      overrun++;
    }
    bits = after_ff ? 7 : 8;
  }
  bits--;
  return (B >> bits) & 1;
}

bool kd_block_decoder::raw_check_termination(bool strict) const {
  if (!strict) return true;
  // Every bit read came from the segment, the segment is used up, and the bits after the last
  // one used up to the byte boundary are the padding 0101...; after a final 0xFF byte the
  // encoder may add one byte 0x2A (seven padding bits).
  if (raw.overrun > 0) return false;
  if (raw.bits > 0) {
    if (raw.bp != raw.seg_end) return false;
    return (raw.B & ((1u << raw.bits) - 1)) == (0x55u >> (8 - raw.bits));
  }
  if (raw.bp == raw.seg_end) return true;
  return raw.B == 0xFF && raw.bp + 1 == raw.seg_end && *raw.bp == 0x2A;
}

void kd_block_decoder::reset_contexts() {
  for (mq_context &c : contexts) c = 0;
  contexts[0] = 2 * 4;
  contexts[RUN_CTX] = 2 * 3;
  contexts[UNIFORM_CTX] = 2 * 46;
}

// ---------------------------------------------------------------------------------------------
// The passes walk the block in stripes of four rows, column by column, with the coder's
// registers held in locals.
template <bool RAW, bool CAUSAL>
void kd_block_decoder::run_significance_pass(int p, const uint8_t *sig_table) {
  mq_decoder m = mq;
  raw_reader r = raw;
  mq_context *cx = contexts;
  const int pitch = this->pitch;
  for (int y0 = 0; y0 < height; y0 += 4) {
    int rows = std::min(4, height - y0);
    uint16_t *col = flags + (size_t)(y0 / 4 + 1) * (size_t)pitch + 4;
    int32_t *out = samples + (size_t)y0 * (size_t)width;
    for (int x = 0; x < width; x++, col += 4, out++) {
      uint16_t *f = col;
      // A column with no significant neighbour anywhere codes nothing in this pass.
      if ((column_word(col) & lanes(NB_MASK)) == 0) continue;
      for (int k = 0; k < rows; k++, f++) {
        uint32_t v = *f;
        if ((v & SIG) || !(v & NB_MASK)) continue;
        int bit = RAW ? r.bit() : m.decode(cx[sig_table[v & NB_MASK]]);
        *f = (uint16_t)(v | VISITED);
        if (bit) {
          uint32_t neg;
          if (RAW)
            neg = (uint32_t)r.bit();
          else {
            int sc = tables.sign[sign_index(v)];
            neg = (uint32_t)(m.decode(cx[sc & 0x1F]) ^ (sc >> 7));
          }
          make_significant<CAUSAL>(f, pitch, k, neg);
          out[(size_t)k * (size_t)width] = significant_value(neg, p);
        }
      }
    }
  }
  mq = m;
  raw = r;
}

template <bool RAW>
void kd_block_decoder::run_refinement_pass(int p) {
  mq_decoder m = mq;
  raw_reader r = raw;
  mq_context *cx = contexts;
  uint32_t bit_p = 1u << p, half = (p > 0) ? (1u << (p - 1)) : 0;
  for (int y0 = 0; y0 < height; y0 += 4) {
    int rows = std::min(4, height - y0);
    uint16_t *col = flags + (size_t)(y0 / 4 + 1) * (size_t)pitch + 4;
    int32_t *out = samples + (size_t)y0 * (size_t)width;
    for (int x = 0; x < width; x++, col += 4, out++) {
      uint16_t *f = col;
      if ((column_word(col) & lanes(SIG)) == 0) continue;
      for (int k = 0; k < rows; k++, f++) {
        uint32_t v = *f;
        if ((v & (SIG | VISITED)) != SIG) continue;
        int bit;
        if (RAW)
          bit = r.bit();
        else
          bit = m.decode(cx[(v & REFINED) ? 16 : (v & NB_MASK) ? 15 : 14]);
        *f = (uint16_t)(v | REFINED);
        int32_t *s = out + (size_t)k * (size_t)width;
        uint32_t w = (uint32_t)*s;
        if (!bit) w &= ~bit_p;
        *s = (int32_t)(w | half);
      }
    }
  }
  mq = m;
  raw = r;
}

template <bool CAUSAL>
void kd_block_decoder::run_cleanup_pass(int p, const uint8_t *sig_table) {
  mq_decoder m = mq;
  mq_context *cx = contexts;
  const int pitch = this->pitch;
  for (int y0 = 0; y0 < height; y0 += 4) {
    int rows = std::min(4, height - y0);
    uint16_t *col = flags + (size_t)(y0 / 4 + 1) * (size_t)pitch + 4;
    int32_t *out = samples + (size_t)y0 * (size_t)width;
    for (int x = 0; x < width; x++, col += 4, out++) {
      uint16_t *f = col;
      int k = 0;
      uint64_t w = column_word(col);
      if (rows == 4 && ((w | (w >> 5)) & lanes(SIG)) == lanes(SIG)) {
        // Every sample is significant or was visited: nothing to code, only the marks to clear.
        w &= ~lanes(VISITED);
        std::memcpy(col, &w, sizeof w);
        continue;
      }
      if (rows == 4 && (w & lanes(NB_MASK | SIG | VISITED)) == 0) {
        // Run mode: one symbol says whether the whole column stays insignificant.
        if (m.decode(cx[RUN_CTX]) == 0) continue;
        k = m.decode(cx[UNIFORM_CTX]) << 1;
        k |= m.decode(cx[UNIFORM_CTX]);
        f += k;
        int sc = tables.sign[sign_index(*f)];
        uint32_t neg = (uint32_t)(m.decode(cx[sc & 0x1F]) ^ (sc >> 7));
        make_significant<CAUSAL>(f, pitch, k, neg);
        out[(size_t)k * (size_t)width] = significant_value(neg, p);
        k++;
        f++;
      }
      for (; k < rows; k++, f++) {
        uint32_t v = *f;
        if (v & (SIG | VISITED)) {
          *f = (uint16_t)(v & ~VISITED);  // the next significance pass starts afresh
          continue;
        }
        if (m.decode(cx[sig_table[v & NB_MASK]])) {
          int sc = tables.sign[sign_index(v)];
          uint32_t neg = (uint32_t)(m.decode(cx[sc & 0x1F]) ^ (sc >> 7));
          make_significant<CAUSAL>(f, pitch, k, neg);
          out[(size_t)k * (size_t)width] = significant_value(neg, p);
        }
      }
    }
  }
  mq = m;
}

// ---------------------------------------------------------------------------------------------
void kd_block_decoder::decode_block(kd_working_block *block) {
  width = std::max(0, block->size.x);
  height = std::max(0, block->size.y);
  size_t num_samples = (size_t)width * (size_t)height;
  if (block->sample_area.size() < std::max<size_t>(num_samples, 4096))
    block->sample_area.resize(std::max<size_t>(num_samples, 4096));
  // Stripes of four rows, each stripe column by column with a guard column on either side,
  // and a guard stripe above and below.
  pitch = (width + 2) * 4;
  size_t num_flags = (size_t)((height + 3) / 4 + 2) * (size_t)pitch;
  if (block->state_area.size() * 2 < num_flags) block->state_area.resize((num_flags + 1) / 2);
  samples = block->sample_area.data();
  flags = reinterpret_cast<uint16_t *>(block->state_area.data());
  std::memset(samples, 0, num_samples * sizeof(int32_t));
  std::memset(flags, 0, num_flags * sizeof(uint16_t));
  if (num_samples == 0) return;

  int missing = block->missing_msbs;
  int max_passes = (missing >= 30) ? 0 : 3 * (30 - missing) - 2;
  int num_passes = std::min(block->num_passes, max_passes);
  block->num_passes = num_passes;
  if (num_passes <= 0) return;

  if (block->byte_store.size() < (size_t)block->num_bytes + 3) block->byte_store.resize((size_t)block->num_bytes + 3);
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
    int type = (z == 0) ? 2 : (z - 1) % 3;  // 0 significance, 1 refinement, 2 cleanup
    if (modes & Cmodes_RESTART)
      seg_passes = 1;
    else if (modes & Cmodes_BYPASS)
      seg_passes = (z < 10) ? 10 - z : (type == 2 ? 1 : 2);
    else
      seg_passes = num_passes - z;
    if ((modes & Cmodes_BYPASS) && z >= 10 && type != 2) raw = true;
    bool truncated = false;
    if (z + seg_passes > num_passes) {
      seg_passes = num_passes - z;
      truncated = true;
    }
    int seg_bytes = 0;
    for (int k = z; k < z + seg_passes; k++) seg_bytes += block->pass_lengths[(size_t)k];
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
      if (t == 0 && z > 0) p--;
      if (p < 1) {
        z = num_passes;
        break;
      }
      if ((modes & Cmodes_RESET) && z > 0) reset_contexts();
      if (t == 0) {
        if (raw)
          causal ? run_significance_pass<true, true>(p, sig_table) : run_significance_pass<true, false>(p, sig_table);
        else
          causal ? run_significance_pass<false, true>(p, sig_table) : run_significance_pass<false, false>(p, sig_table);
      } else if (t == 1) {
        raw ? run_refinement_pass<true>(p) : run_refinement_pass<false>(p);
      } else {
        causal ? run_cleanup_pass<true>(p, sig_table) : run_cleanup_pass<false>(p, sig_table);
        if (modes & Cmodes_SEGMARK) {
          int sym = 0;
          for (int s = 0; s < 4; s++) sym = (sym << 1) | mq.decode(contexts[UNIFORM_CTX]);
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
    if (ok) ok = raw ? raw_check_termination(strict) : mq_check_termination(strict);
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
