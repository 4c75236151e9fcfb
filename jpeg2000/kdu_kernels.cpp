#include "kdu_kernels.h"

#include <cmath>

#include "kdu_messages.h"

namespace {

// Runs the synthesis lifting steps (last to first) on an interleaved signal in which only
// sample `pos` is 1; even positions are low-band samples, odd positions high-band samples.
std::vector<double> lifting_impulse(const std::vector<kd_lifting_step> &steps, int length, int pos) {
  std::vector<double> x((size_t)length, 0.0);
  x[(size_t)pos] = 1.0;
  for (int s = (int)steps.size() - 1; s >= 0; s--) {
    int parity = (s & 1) ? 0 : 1;  // steps 0, 2, ... update the odd samples
    for (int i = parity; i < length; i += 2) {
      double a = (i > 0) ? x[(size_t)(i - 1)] : 0.0;
      double b = (i + 1 < length) ? x[(size_t)(i + 1)] : 0.0;
      x[(size_t)i] -= steps[(size_t)s].lambda * (a + b);
    }
  }
  return x;
}

// Trims a response centred at `centre` to its non-zero taps, keeping it symmetric about the
// centre.
std::vector<double> centred(const std::vector<double> &x, int centre) {
  int extent = 0;
  for (int i = 0; i < (int)x.size(); i++)
    if (x[(size_t)i] != 0.0) {
      int d = std::abs(i - centre);
      if (d > extent) extent = d;
    }
  std::vector<double> r((size_t)(2 * extent + 1));
  for (int k = -extent; k <= extent; k++) r[(size_t)(k + extent)] = x[(size_t)(centre + k)];
  return r;
}

std::vector<double> upsample_convolve(const std::vector<double> &branch, const std::vector<double> &low) {
  std::vector<double> up(branch.size() * 2 - 1, 0.0);
  for (size_t i = 0; i < branch.size(); i++) up[2 * i] = branch[i];
  std::vector<double> out(up.size() + low.size() - 1, 0.0);
  for (size_t i = 0; i < up.size(); i++)
    if (up[i] != 0.0)
      for (size_t j = 0; j < low.size(); j++) out[i + j] += up[i] * low[j];
  return out;
}

}  // namespace

kdu_kernels::kdu_kernels(int kernel_id, bool reversible) : reversible(reversible) {
  if (kernel_id == Ckernels_W9X7) {
    if (reversible) {
      kdu_error e;
      e << "The W9X7 kernel may not be used for reversible compression!";
    }
    steps = {{-1.586134342f, 0}, {-0.052980118f, 0}, {0.882911075f, 0}, {0.443506852f, 0}};
  } else if (kernel_id == Ckernels_W5X3) {
    steps = {{-0.5f, 1}, {0.25f, 2}};
  } else {
    kdu_error e;
    e << "Illegal DWT kernel ID used to construct a `kdu_kernels' object.";
  }

  const int length = 64, centre_low = 32, centre_high = 33;
  low_response = centred(lifting_impulse(steps, length, centre_low), centre_low);
  high_response = centred(lifting_impulse(steps, length, centre_high), centre_high);
  if (!reversible) {
    int el = (int)low_response.size() / 2, eh = (int)high_response.size() / 2;
    double dc = low_response[(size_t)el];
    for (int k = 1; k <= el; k++) dc += 2.0 * low_response[(size_t)(el + k)];
    double nyquist = high_response[(size_t)eh];
    for (int k = 1; k <= eh; k++) nyquist += 2.0 * ((k & 1) ? -1.0 : 1.0) * high_response[(size_t)(eh + k)];
    low_factor = (float)(1.0 / dc);
    high_factor = (float)(1.0 / nyquist);
    for (double &v : low_response) v *= low_factor;
    for (double &v : high_response) v *= high_factor;
  }
}

std::vector<double> kdu_kernels::chain_response(int band_type, int num_levels) const {
  std::vector<double> r = (band_type == 2) ? low_response : high_response;
  for (int d = 1; d < num_levels && d < 4; d++) r = upsample_convolve(r, low_response);
  return r;
}

double kdu_kernels::band_energy_gain(int band_type, int num_levels) const {
  if (num_levels <= 0) return (band_type == 2) ? 1.0 : 0.0;
  std::vector<double> r = chain_response(band_type, num_levels);
  double energy = 0.0;
  for (double v : r) energy += v * v;
  for (int d = 4; d < num_levels; d++) energy *= 2.0;
  return energy;
}

std::vector<double> kdu_kernels::worst_case_gains(int num_levels, double &low_gain, double &high_gain) const {
  std::vector<double> step_gains(steps.size(), 1.0);
  if (num_levels <= 0) {
    low_gain = high_gain = 1.0;
    return step_gains;
  }
  std::vector<double> low = chain_response(2, num_levels);
  std::vector<double> high = chain_response(3, num_levels);
  low_gain = high_gain = 0.0;
  for (double v : low) low_gain += std::fabs(v);
  for (double v : high) high_gain += std::fabs(v);

  // Intermediate results of one level's synthesis: after each lifting step, the largest sum of
  // absolute values over the samples it updated, for unit impulses in either band.
  const int length = 64;
  for (int band = 0; band < 2; band++) {
    std::vector<double> x((size_t)length, 0.0);
    x[(size_t)(32 + band)] = 1.0;
    for (int s = (int)steps.size() - 1; s >= 0; s--) {
      int parity = (s & 1) ? 0 : 1;
      double sum = 0.0;
      for (int i = parity; i < length; i += 2) {
        double a = (i > 0) ? x[(size_t)(i - 1)] : 0.0;
        double b = (i + 1 < length) ? x[(size_t)(i + 1)] : 0.0;
        x[(size_t)i] -= steps[(size_t)s].lambda * (a + b);
        sum += std::fabs(x[(size_t)i]);
      }
      double factor = reversible ? 1.0 : (band == 0 ? low_factor : high_factor);
      double g = sum * factor * ((band == 0) ? low_gain : high_gain);
      step_gains[(size_t)s] = std::fmax(step_gains[(size_t)s], g);
    }
  }
  return step_gains;
}
