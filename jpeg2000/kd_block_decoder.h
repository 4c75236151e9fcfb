// Code-block decoder: the MQ arithmetic decoder and the three coding passes (significance
// propagation, magnitude refinement, cleanup) with every code-block mode switch.
//
// Output: one 32-bit word per sample in the working block's sample area, row by row with a row
// pitch of the block width: bit 31 is the sign and the magnitude is aligned so that the
// highest bit-plane a block can carry lies at bit 30.
#pragma once

#include <cstdint>

struct kd_working_block;

class kdu_block_decoder_base {
 public:
  virtual ~kdu_block_decoder_base() = default;
  virtual void decode_block(kd_working_block *block) = 0;
};

class kd_block_decoder : public kdu_block_decoder_base {
 public:
  void decode_block(kd_working_block *block) override;

  // A context is an index into the decoder's state table: probability state * 2 + MPS.
  using mq_context = uint8_t;

  // MQ decoder registers; the passes copy them into a local for their loops.
  struct mq_decoder {
    uint32_t A = 0, C = 0;
    int CT = 0;
    const uint8_t *bp = nullptr, *seg_end = nullptr;
    int fed = 0;  // 0xFF bytes fed from past the segment's end
    inline void byte_in();
    // Inlined into the pass loops, where almost all of the decoding time goes.
#if defined(__GNUC__)
    __attribute__((always_inline))
#endif
    inline int
    decode(mq_context &cx);
  };

  // Raw (bypass) bit reader.
  struct raw_reader {
    const uint8_t *bp = nullptr, *seg_end = nullptr;
    int bits = 0;
    uint8_t B = 0;
    int overrun = 0;  // bytes read past the segment's end
    inline int bit();
  };

 private:
  void mq_start(const uint8_t *data, const uint8_t *end);
  bool mq_check_termination(bool strict) const;
  void raw_start(const uint8_t *data, const uint8_t *end);
  bool raw_check_termination(bool strict) const;
  void reset_contexts();

  template <bool RAW, bool CAUSAL>
  void run_significance_pass(int p, const uint8_t *sig_table);
  template <bool RAW>
  void run_refinement_pass(int p);
  template <bool CAUSAL>
  void run_cleanup_pass(int p, const uint8_t *sig_table);

  mq_decoder mq;
  raw_reader raw;
  mq_context contexts[19];

  // Per-sample state words (neighbour significance and signs, the sample's own flags) stripe
  // by stripe with a one-sample border; samples as sign-magnitude words.
  uint16_t *flags = nullptr;
  int32_t *samples = nullptr;
  int width = 0, height = 0, pitch = 0;  // pitch: state words from one stripe to the next
};
