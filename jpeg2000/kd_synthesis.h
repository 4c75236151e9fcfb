// One level of the inverse wavelet transform over a resolution of a tile-component: pulls the
// next lower resolution and the three high bands from child nodes and hands out the
// resolution's lines top first.
#pragma once

#include <memory>
#include <vector>

#include "kd_line.h"
#include "kdu_kernels.h"

class kd_resolution_state;

class kd_synthesis : public kdu_pull_ifc_base {
 public:
  kd_synthesis(kd_resolution_state *res, float normalisation);
  void produce_line(kd_line &line, bool may_exchange) override;

 private:
  template <class T>
  void synthesise(std::vector<T> &buf);
  template <class T>
  void fill_row(T *row, kd_line &low_line, kd_line &high_line, int y);
  template <class T>
  void lift_row(T *row) const;
  template <class T>
  void lift_columns(std::vector<T> &buf) const;

  std::unique_ptr<kdu_pull_ifc_base> low, hl, lh, hh;
  kdu_kernels kernels;
  bool reversible;
  int y0 = 0, y1 = 0, x0 = 0, x1 = 0;  // region on the resolution grid, ends exclusive
  bool empty = false, done = false;
  int next_row = 0;
  std::vector<int32_t> ints;  // the whole synthesised region, row by row
  std::vector<float> floats;
  std::vector<int> step_c;  // reversible integer factors
};
