// Wavelet kernels: the lifting steps of the 9/7 and 5/3 transforms, their synthesis impulse
// responses and the gains derived from them.
#pragma once

#include <cstddef>
#include <vector>

constexpr int Ckernels_W9X7 = 0;
constexpr int Ckernels_W5X3 = 1;

struct kd_lifting_step {
  float lambda;
  int downshift;  // reversible use only
};

class kdu_kernels {
 public:
  kdu_kernels(int kernel_id, bool reversible);

  int get_num_steps() const { return (int)steps.size(); }
  const kd_lifting_step &get_step(int n) const { return steps[(size_t)n]; }
  float get_low_factor() const { return low_factor; }
  float get_high_factor() const { return high_factor; }
  // Synthesis impulse responses, centred: element k of the vector is tap k - get_*_extent().
  const std::vector<double> &get_low_response() const { return low_response; }
  const std::vector<double> &get_high_response() const { return high_response; }

  // Energy of the synthesis response of the low-pass chain (band type 2) or of the high-pass
  // branch (band type 3) after the given number of levels.
  double band_energy_gain(int band_type, int num_levels) const;
  // Worst-case amplitude gains of the low-pass chain and of the high-pass branch after the
  // given number of levels; returns the worst-case gain of each lifting step's intermediate
  // result of that level's synthesis, one entry per step.
  std::vector<double> worst_case_gains(int num_levels, double &low_gain, double &high_gain) const;

 private:
  std::vector<double> chain_response(int band_type, int num_levels) const;
  std::vector<kd_lifting_step> steps;
  bool reversible;
  float low_factor = 1.0f, high_factor = 1.0f;
  std::vector<double> low_response, high_response;
};
