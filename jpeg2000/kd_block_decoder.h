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

  struct mq_context {
    uint8_t state;
    uint8_t mps;
  };

private:
  // MQ decoder.
  void mq_start(const uint8_t *data, const uint8_t *end);
  int mq_decode_symbol(mq_context &cx);
  bool mq_check_termination(bool strict);
  void mq_byte_in();
  // Raw (bypass) bit reader.
  void raw_start(const uint8_t *data, const uint8_t *end);
  int raw_bit();
  bool raw_check_termination(bool strict);
  void reset_contexts();

  bool run_significance_pass(int p, bool causal, bool raw, const uint8_t *sig_table);
  void run_refinement_pass(int p, bool causal, bool raw);
  bool run_cleanup_pass(int p, bool causal, const uint8_t *sig_table);
  int decode_sign(int y, int x, bool causal, bool raw);
  int neighbourhood(int y, int x, bool causal) const;

  uint32_t A = 0, C = 0;
  int CT = 0;
  const uint8_t *bp = nullptr, *seg_end = nullptr;
  uint8_t B = 0;
  int synthesised = 0;
  int raw_bits = 0;
  mq_context contexts[19];

  // Per-sample flags with a one-sample border; samples as sign-magnitude words.
  uint8_t *flags = nullptr;
  int32_t *samples = nullptr;
  int width = 0, height = 0, pitch = 0;
};
