#include "kd_synthesis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "kd_decoder.h"
#include "kd_tile.h"

namespace {

using step_t = kd_synthesis::lifting_step;

// The amount a lifting step subtracts from a sample whose neighbours are a and b, per sample
// form. Reversible: ((a + b) c + 2^d / 2) >> d; irreversible 16-bit: ((a + b) F + 2^15) >> 16;
// float: (a + b) lambda.
template <class T>
struct reversible_term {
  int c, d;
  T operator()(T x, T a, T b) const {
    int64_t sum = (int64_t)a + b;
    return (T)((int64_t)x - ((sum * c + ((int64_t)1 << d >> 1)) >> d));
  }
};

template <class T, int C, int D>
struct fixed_reversible_term {
  T operator()(T x, T a, T b) const {
    using wide = typename std::conditional<sizeof(T) == 2, int32_t, int64_t>::type;
    wide sum = (wide)a + b;
    return (T)((wide)x - ((sum * C + ((wide)1 << D >> 1)) >> D));
  }
};

struct fixed_point_term {
  int32_t F;
  int16_t operator()(int16_t x, int16_t a, int16_t b) const {
    return (int16_t)(x - (int32_t)((((int64_t)a + b) * F + 32768) >> 16));
  }
};

struct float_term {
  float lambda;
  float operator()(float x, float a, float b) const { return x - (a + b) * lambda; }
};

template <class T, class Apply>
void with_integer_term(const step_t &st, Apply apply) {
  if (st.c == -1 && st.d == 1)
    apply(fixed_reversible_term<T, -1, 1>{});
  else if (st.c == 1 && st.d == 2)
    apply(fixed_reversible_term<T, 1, 2>{});
  else
    apply(reversible_term<T>{st.c, st.d});
}

// Runs `apply` with the term of `st` for sample type T.
template <class T, class Apply>
void with_term(const step_t &st, bool reversible, Apply apply) {
  if constexpr (std::is_same<T, float>::value) {
    (void)reversible;
    apply(float_term{st.lambda});
  } else if constexpr (std::is_same<T, int16_t>::value) {
    if (reversible)
      with_integer_term<T>(st, apply);
    else
      apply(fixed_point_term{st.F});
  } else {
    (void)reversible;
    with_integer_term<T>(st, apply);
  }
}

// dst[k] -= term(src[k + off], src[k + off + 1]) for k < n.
template <class T, class Term>
void lift_h(T *__restrict dst, int n, const T *__restrict src, int off, Term term) {
  src += off;
  for (int k = 0; k < n; k++) dst[k] = term(dst[k], src[k], src[k + 1]);
}

// dst[k] -= term(a[k], b[k]) for k < n.
template <class T, class Term>
void lift_v(T *__restrict dst, int n, const T *__restrict a, const T *__restrict b, Term term) {
  for (int k = 0; k < n; k++) dst[k] = term(dst[k], a[k], b[k]);
}

template <class T>
T *samples_of(const kd_line &l) {
  return static_cast<T *>(l.samples);
}

}  // namespace

kd_synthesis::kd_synthesis(kd_resolution_state *res, kd_line_pool *pool, bool use_16, float normalisation)
    : kernels(res->comp->kernel_id, res->comp->reversible), reversible(res->comp->reversible), use_16(use_16) {
  y0 = res->region.pos_y;
  x0 = res->region.pos_x;
  y1 = y0 + std::max(res->region.size_y, 0);
  x1 = x0 + std::max(res->region.size_x, 0);
  if (y1 <= y0 || x1 <= x0) {
    empty = true;
    return;
  }
  for (int s = 0; s < kernels.get_num_steps(); s++) {
    const kd_lifting_step &st = kernels.get_step(s);
    step_t t;
    t.odd = (s & 1) == 0;
    t.lambda = st.lambda;
    t.d = st.downshift;
    t.c = (int)std::floor(st.lambda * (float)(1 << st.downshift) + 0.5f);
    t.F = (int32_t)std::floor((double)st.lambda * 65536.0 + 0.5);
    steps.push_back(t);
  }
  int width = x1 - x0;
  int lo_first = x0 & 1;  // the first column is a high-band sample when x0 is odd
  n_lo = (width - lo_first + 1) / 2;
  n_hi = width - n_lo;
  vertical = (y1 - y0) > 1;
  horizontal = width > 1;

  // Irreversible children carry the kernel's scale factors as far as each transform is present.
  // A low-band sample is scaled by the high-pass factor and a high-band sample by the low-pass
  // one: the subband steps carry no band gain, and these products restore the unit-gain
  // normalisation of the transform.
  float lf = reversible ? 1.0f : kernels.get_high_factor();
  float hf = reversible ? 1.0f : kernels.get_low_factor();
  float vl = vertical ? lf : 1.0f, vh = vertical ? hf : 1.0f;
  float hl_ = horizontal ? lf : 1.0f, hh_ = horizontal ? hf : 1.0f;
  float n_ll = normalisation / (vl * hl_), n_hl = normalisation / (vl * hh_);
  float n_lh = normalisation / (vh * hl_), n_hh = normalisation / (vh * hh_);
  if (!reversible && use_16) {
    // Fixed-point samples must stay inside 16 bits through every lifting step: bound the
    // worst-case gain of the intermediate results and halve the children's scale (shifting
    // the output back up) while it exceeds 6.
    int n = res->res_idx;
    double gl = 1.0, gh = 1.0, low_gain = 1.0, high_gain = 1.0;
    if (n > 1) kernels.worst_case_gains(n - 1, gl, gh);
    std::vector<double> step_gains = kernels.worst_case_gains(n, low_gain, high_gain);
    double bound = normalisation;
    if (vertical)
      for (double g : step_gains) bound = std::max(bound, gl * normalisation * g);
    if (horizontal) {
      double band = std::max(low_gain / kernels.get_low_factor(), high_gain / kernels.get_high_factor());
      for (double g : step_gains) bound = std::max(bound, band * normalisation * g);
    }
    while (bound > 6.0 && upshift < 15) {
      bound *= 0.5;
      n_ll *= 0.5f;
      n_hl *= 0.5f;
      n_lh *= 0.5f;
      n_hh *= 0.5f;
      upshift++;
    }
  }

  kd_tile_comp_state *tc = res->comp;
  kd_resolution_state *lower = &tc->resolutions[(size_t)res->res_idx - 1];
  if (lower->res_idx == 0)
    low.reset(new kd_decoder(&lower->bands[0], pool, reversible, use_16, n_ll));
  else
    low.reset(new kd_synthesis(lower, pool, use_16, n_ll));
  auto make = [&](int orientation, float norm) -> kdu_pull_ifc_base * {
    for (kd_subband_state &b : res->bands)
      if (b.orientation == orientation) return new kd_decoder(&b, pool, reversible, use_16, norm);
    return nullptr;
  };
  hl.reset(make(HL_BAND, n_hl));
  lh.reset(make(LH_BAND, n_lh));
  hh.reset(make(HH_BAND, n_hh));

  // Each lifting step reaches one row further: a row is final once the rows up to the number
  // of steps below it have arrived, and the step that finishes it still reads the row above.
  ring = vertical ? (int)steps.size() + 2 : 1;
  lo_rows.reset(new kd_line[(size_t)ring]);
  hi_rows.reset(new kd_line[(size_t)ring]);
  for (int i = 0; i < ring; i++) {
    pool->reserve(lo_rows[(size_t)i], n_lo, reversible, use_16);
    pool->reserve(hi_rows[(size_t)i], n_hi, reversible, use_16);
  }
  next_wave = next_out = y0;
}

// Fills ring slot `slot` with row r, horizontally synthesised: even rows from the lower
// resolution and HL, odd rows from LH and HH.
template <class T>
void kd_synthesis::pull_row(int r, int slot) {
  kd_line &lo = lo_rows[(size_t)slot], &hi = hi_rows[(size_t)slot];
  kdu_pull_ifc_base *left = ((r & 1) == 0) ? low.get() : lh.get();
  kdu_pull_ifc_base *right = ((r & 1) == 0) ? hl.get() : hh.get();
  if (n_lo > 0) {
    if (left)
      left->produce_line(lo, false);
    else
      std::memset(lo.samples, 0, (size_t)n_lo * sizeof(T));
  }
  if (n_hi > 0) {
    if (right)
      right->produce_line(hi, false);
    else
      std::memset(hi.samples, 0, (size_t)n_hi * sizeof(T));
  }
  T *l = samples_of<T>(lo), *h = samples_of<T>(hi);
  if (!horizontal) {
    // A single column at an odd position is a high-band sample alone.
    if (reversible && (x0 & 1))
      for (int k = 0; k < n_hi; k++) h[k] = (T)((int32_t)h[k] >> 1);
    return;
  }
  bool even_start = (x0 & 1) == 0;
  for (int s = (int)steps.size() - 1; s >= 0; s--) {
    const step_t &st = steps[(size_t)s];
    if (st.odd) {
      // High samples from their low neighbours, the low half extended by its edge samples.
      l[-1] = l[0];
      l[n_lo] = l[n_lo - 1];
      with_term<T>(st, reversible, [&](auto term) { lift_h(h, n_hi, l, even_start ? 0 : -1, term); });
    } else {
      h[-1] = h[0];
      h[n_hi] = h[n_hi - 1];
      with_term<T>(st, reversible, [&](auto term) { lift_h(l, n_lo, h, even_start ? -1 : 0, term); });
    }
  }
}

// Brings in row r (when it exists) and gives each earlier row within reach the lifting step
// whose turn has come: the row j above gets step (steps - j) when its parity matches. A
// neighbour outside the region is replaced by the other neighbour (symmetric extension).
template <class T>
void kd_synthesis::run_wave(int r) {
  int n = (int)steps.size();
  if (r < y1) pull_row<T>(r, (r - y0) % ring);
  for (int j = 1; j <= n; j++) {
    int q = r - j;
    if (q < y0 || q >= y1) continue;
    const step_t &st = steps[(size_t)(n - j)];
    if (((q & 1) != 0) != st.odd) continue;
    int above = (q - 1 >= y0) ? q - 1 : q + 1, below = (q + 1 < y1) ? q + 1 : q - 1;
    int sq = (q - y0) % ring, sa = (above - y0) % ring, sb = (below - y0) % ring;
    with_term<T>(st, reversible, [&](auto term) {
      lift_v(samples_of<T>(lo_rows[(size_t)sq]), n_lo, samples_of<T>(lo_rows[(size_t)sa]),
             samples_of<T>(lo_rows[(size_t)sb]), term);
      lift_v(samples_of<T>(hi_rows[(size_t)sq]), n_hi, samples_of<T>(hi_rows[(size_t)sa]),
             samples_of<T>(hi_rows[(size_t)sb]), term);
    });
  }
}

// Interleaves the low and high halves of a finished row into the caller's line.
template <class T>
void kd_synthesis::emit(int slot, kd_line &line) {
  const T *l = samples_of<T>(lo_rows[(size_t)slot]), *h = samples_of<T>(hi_rows[(size_t)slot]);
  T *out = samples_of<T>(line);
  const T *even = (x0 & 1) ? h : l, *odd = (x0 & 1) ? l : h;
  int width = std::min(x1 - x0, line.width);
  int pairs = width / 2;
  if (upshift == 0) {
    for (int k = 0; k < pairs; k++) {
      out[2 * k] = even[k];
      out[2 * k + 1] = odd[k];
    }
    if (width & 1) out[width - 1] = even[pairs];
  } else if constexpr (std::is_same<T, float>::value) {
    float scale = std::ldexp(1.0f, upshift);
    for (int k = 0; k < pairs; k++) {
      out[2 * k] = even[k] * scale;
      out[2 * k + 1] = odd[k] * scale;
    }
    if (width & 1) out[width - 1] = even[pairs] * scale;
  } else {
    int u = upshift;
    for (int k = 0; k < pairs; k++) {
      out[2 * k] = (T)((uint32_t)even[k] << u);
      out[2 * k + 1] = (T)((uint32_t)odd[k] << u);
    }
    if (width & 1) out[width - 1] = (T)((uint32_t)even[pairs] << u);
  }
}

void kd_synthesis::produce_line(kd_line &line, bool) {
  if (empty) return;
  if (next_out >= y1) {
    std::memset(line.samples, 0, (size_t)line.width * line.sample_bytes());
    return;
  }
  int r = next_out++;
  int slot = (r - y0) % ring;
  auto run = [&](auto sample) {
    using T = decltype(sample);
    if (!vertical) {
      pull_row<T>(r, slot);
      // A single row at an odd position holds high-band samples alone.
      if (reversible && (y0 & 1)) {
        T *l = samples_of<T>(lo_rows[0]), *h = samples_of<T>(hi_rows[0]);
        for (int k = 0; k < n_lo; k++) l[k] = (T)((int32_t)l[k] >> 1);
        for (int k = 0; k < n_hi; k++) h[k] = (T)((int32_t)h[k] >> 1);
      }
    } else {
      int last = std::min(r + (int)steps.size(), y1 - 1 + (int)steps.size());
      while (next_wave <= last) run_wave<T>(next_wave++);
    }
    emit<T>(slot, line);
  };
  if (use_16)
    run(int16_t());
  else if (reversible)
    run(int32_t());
  else
    run(float());
}
