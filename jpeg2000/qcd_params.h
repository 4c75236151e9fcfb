// The QCD/QCC (quantisation), RGN (region of interest), POC (progression order change) and CRG
// (component registration) marker segments.
#pragma once

#include "kdu_params.h"

class qcd_params : public kdu_params {
 public:
  qcd_params();
  kdu_params *make_instance() override { return nullptr; }
  void copy_transformed(kdu_params *source, int skip_components, int discard_levels, bool transpose, bool vflip,
                        bool hflip) override;
  int write_segment(kd_byte_writer *out, kdu_params *ref, int tpart_idx) override;
  bool read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tpart_idx) override;
  void finalize() override;
};

class rgn_params : public kdu_params {
 public:
  rgn_params();
  kdu_params *make_instance() override { return nullptr; }
  void copy_transformed(kdu_params *source, int skip_components, int discard_levels, bool transpose, bool vflip,
                        bool hflip) override;
  int write_segment(kd_byte_writer *out, kdu_params *ref, int tpart_idx) override;
  bool read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tpart_idx) override;
  void finalize() override;
};

class poc_params : public kdu_params {
 public:
  poc_params();
  kdu_params *make_instance() override;
  void copy_transformed(kdu_params *source, int skip_components, int discard_levels, bool transpose, bool vflip,
                        bool hflip) override;
  int write_segment(kd_byte_writer *out, kdu_params *ref, int tpart_idx) override;
  bool read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tpart_idx) override;
};

class crg_params : public kdu_params {
 public:
  crg_params();
  kdu_params *make_instance() override { return nullptr; }
  void copy_transformed(kdu_params *source, int skip_components, int discard_levels, bool transpose, bool vflip,
                        bool hflip) override;
  int write_segment(kd_byte_writer *out, kdu_params *ref, int tpart_idx) override;
  bool read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tpart_idx) override;
};
