// The COD and COC marker segments: progression, layers, SOP/EPH use, the colour transform,
// decomposition levels, code-block size and modes, wavelet kernels and precinct sizes.
#pragma once

#include "kdu_params.h"

constexpr int Cmodes_BYPASS = 1;
constexpr int Cmodes_RESET = 2;
constexpr int Cmodes_RESTART = 4;
constexpr int Cmodes_CAUSAL = 8;
constexpr int Cmodes_ERTERM = 16;
constexpr int Cmodes_SEGMARK = 32;

constexpr int Corder_LRCP = 0;
constexpr int Corder_RLCP = 1;
constexpr int Corder_RPCL = 2;
constexpr int Corder_PCRL = 3;
constexpr int Corder_CPRL = 4;

class cod_params : public kdu_params {
 public:
  cod_params();
  kdu_params *make_instance() override { return nullptr; }
  void copy_transformed(kdu_params *source, int skip_components, int discard_levels, bool transpose, bool vflip,
                        bool hflip) override;
  int write_segment(kd_byte_writer *out, kdu_params *ref, int tpart_idx) override;
  bool read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tpart_idx) override;
  void finalize() override;
};
