// The SIZ marker segment: canvas, image region, tile partition and the components' number,
// signedness, bit depth and sub-sampling.  The SIZ object heads the whole parameter tree.
#pragma once

#include "kdu_params.h"

constexpr uint16_t KDU_SOC = 0xFF4F;
constexpr uint16_t KDU_SIZ = 0xFF51;
constexpr uint16_t KDU_COD = 0xFF52;
constexpr uint16_t KDU_COC = 0xFF53;
constexpr uint16_t KDU_TLM = 0xFF55;
constexpr uint16_t KDU_PLM = 0xFF57;
constexpr uint16_t KDU_PLT = 0xFF58;
constexpr uint16_t KDU_QCD = 0xFF5C;
constexpr uint16_t KDU_QCC = 0xFF5D;
constexpr uint16_t KDU_RGN = 0xFF5E;
constexpr uint16_t KDU_POC = 0xFF5F;
constexpr uint16_t KDU_PPM = 0xFF60;
constexpr uint16_t KDU_PPT = 0xFF61;
constexpr uint16_t KDU_CRG = 0xFF63;
constexpr uint16_t KDU_COM = 0xFF64;
constexpr uint16_t KDU_SOT = 0xFF90;
constexpr uint16_t KDU_SOP = 0xFF91;
constexpr uint16_t KDU_EPH = 0xFF92;
constexpr uint16_t KDU_SOD = 0xFF93;
constexpr uint16_t KDU_EOC = 0xFFD9;

// Codes reserved for markers without a marker segment (T.800 Table A.1); readers skip them.
constexpr bool kd_reserved_without_segment(uint16_t code) { return code >= 0xFF30 && code <= 0xFF3F; }

// Largest component bit depth that the decoder accepts.
constexpr int KDU_MAX_PRECISION = 38;

class siz_params : public kdu_params {
 public:
  siz_params();
  kdu_params *make_instance() override { return nullptr; }
  void copy_transformed(kdu_params *source, int skip_components, int discard_levels, bool transpose, bool vflip,
                        bool hflip) override;
  int write_segment(kd_byte_writer *out, kdu_params *ref, int tpart_idx) override;
  bool read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tpart_idx) override;
  void finalize() override;

  // Canvas-extent search of one axis: the canvas end that gives every component its extent
  // with some factor from 1 to 255.
  static bool find_canvas_extent(int num_comps, const int *extents, int origin, int &end);

 private:
  void fail_with_attributes(const char *prefix, const char *text);
};
