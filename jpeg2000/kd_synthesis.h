// One level of the inverse wavelet transform over a resolution of a tile-component: pulls the
// next lower resolution and the three high bands from child nodes, row by row as its own rows
// are asked for, and runs them through a vertical lifting pipeline of a few rows.
#pragma once

#include <memory>
#include <vector>

#include "kd_line.h"
#include "kdu_kernels.h"

class kd_resolution_state;

class kd_synthesis : public kdu_pull_ifc_base {
 public:
  // Builds the children and reserves this node's lines in `pool`; use_16 selects 16-bit
  // samples (the caller's choice from the component's precision).
  kd_synthesis(kd_resolution_state *res, kd_line_pool *pool, bool use_16, float normalisation);
  void produce_line(kd_line &line, bool may_exchange) override;

  struct lifting_step {
    bool odd;      // updates the odd (high-band) samples
    float lambda;  // irreversible factor
    int c, d;      // reversible factor and downshift
    int32_t F;     // irreversible 16-bit factor, lambda * 2^16
  };

 private:
  template <class T>
  void pull_row(int r, int slot);
  template <class T>
  void run_wave(int r);
  template <class T>
  void emit(int slot, kd_line &line);

  std::unique_ptr<kdu_pull_ifc_base> low, hl, lh, hh;
  kdu_kernels kernels;
  bool reversible, use_16;
  std::vector<lifting_step> steps;
  int y0 = 0, y1 = 0, x0 = 0, x1 = 0;  // region on the resolution grid, ends exclusive
  int n_lo = 0, n_hi = 0;              // samples of the low and high halves of a row
  bool empty = false, vertical = false, horizontal = false;
  int upshift = 0;
  // The vertical pipeline: rows in a ring, each as its low and high half.
  int ring = 0;
  std::unique_ptr<kd_line[]> lo_rows, hi_rows;
  int next_wave = 0;  // next row (or virtual row past the end) to run the lifting wave for
  int next_out = 0;
};
