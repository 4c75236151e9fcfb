#include "kd_synthesis.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "kd_decoder.h"
#include "kd_tile.h"

namespace {

// The amount a lifting step subtracts from a sample whose neighbours are a and b.
struct reversible_term {
  int c, d;
  int32_t operator()(int32_t a, int32_t b) const {
    int64_t sum = (int64_t)a + b;
    return (int32_t)((sum * c + ((int64_t)1 << d >> 1)) >> d);
  }
};

// The same with the factor and shift fixed at compile time (the 5/3 kernel's steps).
template <int C, int D>
struct fixed_reversible_term {
  int32_t operator()(int32_t a, int32_t b) const {
    int64_t sum = (int64_t)a + b;
    return (int32_t)((sum * C + ((int64_t)1 << D >> 1)) >> D);
  }
};

// Runs `step` with the term for factor c and shift d, specialised for the common steps.
template <class Step>
void with_reversible_term(int c, int d, Step step) {
  if (c == -1 && d == 1)
    step(fixed_reversible_term<-1, 1>{});
  else if (c == 1 && d == 2)
    step(fixed_reversible_term<1, 2>{});
  else
    step(reversible_term{c, d});
}

struct float_term {
  float lambda;
  float operator()(float a, float b) const { return (a + b) * lambda; }
};

inline int32_t lift_sub(int32_t x, int32_t t) { return (int32_t)((int64_t)x - t); }
inline float lift_sub(float x, float t) { return x - t; }

// One lifting step along a line of n >= 2 interleaved samples starting at absolute position
// `first`: updates the samples whose parity is `parity`, replacing a missing neighbour at
// either end by the other one (whole-sample symmetric extension).
template <class T, class Term>
void lift_line(T *x, int n, int first, int parity, Term term) {
  int i = ((first & 1) == parity) ? 0 : 1;
  if (i == 0) {
    x[0] = lift_sub(x[0], term(x[1], x[1]));
    i = 2;
  }
  for (; i + 1 < n; i += 2) x[i] = lift_sub(x[i], term(x[i - 1], x[i + 1]));
  if (i < n) x[i] = lift_sub(x[i], term(x[i - 1], x[i - 1]));
}

// The same step across rows: each row of the updated parity takes the term of the rows above
// and below it, column by column.
template <class T, class Term>
void lift_rows(std::vector<T> &buf, int rows, int width, int first, int parity, Term term) {
  for (int i = ((first & 1) == parity) ? 0 : 1; i < rows; i += 2) {
    T *x = buf.data() + (size_t)i * (size_t)width;
    const T *a = buf.data() + (size_t)((i > 0) ? i - 1 : i + 1) * (size_t)width;
    const T *b = buf.data() + (size_t)((i + 1 < rows) ? i + 1 : i - 1) * (size_t)width;
    for (int k = 0; k < width; k++) x[k] = lift_sub(x[k], term(a[k], b[k]));
  }
}

template <class T>
T *line_data(kd_line &l);
template <>
int32_t *line_data<int32_t>(kd_line &l) {
  return l.ints.data();
}
template <>
float *line_data<float>(kd_line &l) {
  return l.floats.data();
}

}  // namespace

kd_synthesis::kd_synthesis(kd_resolution_state *res, float normalisation)
    : kernels(res->comp->kernel_id, res->comp->reversible), reversible(res->comp->reversible) {
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
    step_c.push_back((int)std::floor(st.lambda * (float)(1 << st.downshift) + 0.5f));
  }

  // Irreversible children carry the kernel's scale factors as far as each transform is present.
  bool vertical = (y1 - y0) > 1, horizontal = (x1 - x0) > 1;
  // A low-band sample is scaled by the high-pass factor and a high-band sample by the low-pass
  // one: the subband steps carry no band gain, and these products restore the unit-gain
  // normalisation of the transform.
  float lf = reversible ? 1.0f : kernels.get_high_factor();
  float hf = reversible ? 1.0f : kernels.get_low_factor();
  float vl = vertical ? lf : 1.0f, vh = vertical ? hf : 1.0f;
  float hl_ = horizontal ? lf : 1.0f, hh_ = horizontal ? hf : 1.0f;
  float n_ll = normalisation / (vl * hl_), n_hl = normalisation / (vl * hh_);
  float n_lh = normalisation / (vh * hl_), n_hh = normalisation / (vh * hh_);

  kd_tile_comp_state *tc = res->comp;
  kd_resolution_state *lower = &tc->resolutions[(size_t)res->res_idx - 1];
  if (lower->res_idx == 0)
    low.reset(new kd_decoder(&lower->bands[0], reversible, n_ll));
  else
    low.reset(new kd_synthesis(lower, n_ll));
  auto make = [&](int orientation, float norm) -> kdu_pull_ifc_base * {
    for (kd_subband_state &b : res->bands)
      if (b.orientation == orientation) return new kd_decoder(&b, reversible, norm);
    return nullptr;
  };
  hl.reset(make(HL_BAND, n_hl));
  lh.reset(make(LH_BAND, n_lh));
  hh.reset(make(HH_BAND, n_hh));
}

template <class T>
void kd_synthesis::fill_row(T *row, kd_line &low_line, kd_line &high_line, int) {
  // Even columns are low-band samples, odd ones high-band samples; a short line leaves zeros.
  int width = x1 - x0;
  int lo_first = x0 & 1, hi_first = 1 - lo_first;
  int n_lo = (width - lo_first + 1) / 2, n_hi = (width - hi_first + 1) / 2;
  const T *lo = line_data<T>(low_line), *hi = line_data<T>(high_line);
  int m_lo = std::max(0, std::min(n_lo, low_line.width)), m_hi = std::max(0, std::min(n_hi, high_line.width));
  T *d = row + lo_first;
  for (int k = 0; k < m_lo; k++) d[2 * k] = lo[k];
  for (int k = m_lo; k < n_lo; k++) d[2 * k] = T(0);
  d = row + hi_first;
  for (int k = 0; k < m_hi; k++) d[2 * k] = hi[k];
  for (int k = m_hi; k < n_hi; k++) d[2 * k] = T(0);
}

template <>
void kd_synthesis::lift_row<int32_t>(int32_t *row) const {
  int width = x1 - x0;
  for (int s = kernels.get_num_steps() - 1; s >= 0; s--)
    with_reversible_term(step_c[(size_t)s], kernels.get_step(s).downshift,
                         [&](auto term) { lift_line(row, width, x0, (s & 1) ? 0 : 1, term); });
}

template <>
void kd_synthesis::lift_row<float>(float *row) const {
  int width = x1 - x0;
  for (int s = kernels.get_num_steps() - 1; s >= 0; s--)
    lift_line(row, width, x0, (s & 1) ? 0 : 1, float_term{kernels.get_step(s).lambda});
}

template <>
void kd_synthesis::lift_columns<int32_t>(std::vector<int32_t> &buf) const {
  for (int s = kernels.get_num_steps() - 1; s >= 0; s--)
    with_reversible_term(step_c[(size_t)s], kernels.get_step(s).downshift,
                         [&](auto term) { lift_rows(buf, y1 - y0, x1 - x0, y0, (s & 1) ? 0 : 1, term); });
}

template <>
void kd_synthesis::lift_columns<float>(std::vector<float> &buf) const {
  for (int s = kernels.get_num_steps() - 1; s >= 0; s--)
    lift_rows(buf, y1 - y0, x1 - x0, y0, (s & 1) ? 0 : 1, float_term{kernels.get_step(s).lambda});
}

template <class T>
void kd_synthesis::synthesise(std::vector<T> &buf) {
  int width = x1 - x0, rows = y1 - y0;
  buf.assign((size_t)width * (size_t)rows, T(0));
  kd_line a, b, none;
  none.create(0, reversible);
  for (int r = 0; r < rows; r++) {
    int y = y0 + r;
    // Even rows come from the lower resolution and HL, odd rows from LH and HH.
    kdu_pull_ifc_base *left = ((y & 1) == 0) ? low.get() : lh.get();
    kdu_pull_ifc_base *right = ((y & 1) == 0) ? hl.get() : hh.get();
    kd_line *la = &none, *lb = &none;
    if (left) {
      left->produce_line(a, false);
      la = &a;
    }
    if (right) {
      right->produce_line(b, false);
      lb = &b;
    }
    T *row = buf.data() + (size_t)r * (size_t)width;
    fill_row<T>(row, *la, *lb, y);
    if (width > 1)
      lift_row<T>(row);
    else if (reversible && (x0 & 1))
      for (int i = 0; i < width; i++) row[i] = (T)((int32_t)row[i] >> 1);
  }
  if (rows > 1)
    lift_columns<T>(buf);
  else if (reversible && (y0 & 1))
    for (T &v : buf) v = (T)((int32_t)v >> 1);
}

void kd_synthesis::produce_line(kd_line &line, bool) {
  int width = empty ? 0 : x1 - x0;
  if (empty || next_row >= y1 - y0) {
    line.create(width, reversible);
    return;
  }
  line.reshape(width, reversible);
  if (!done) {
    if (reversible)
      synthesise(ints);
    else
      synthesise(floats);
    done = true;
    low.reset();
    hl.reset();
    lh.reset();
    hh.reset();
  }
  size_t off = (size_t)next_row * (size_t)width;
  if (reversible)
    std::memcpy(line.ints.data(), ints.data() + off, (size_t)width * sizeof(int32_t));
  else
    std::memcpy(line.floats.data(), floats.data() + off, (size_t)width * sizeof(float));
  next_row++;
}
