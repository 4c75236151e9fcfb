// Internal structures of the codec library and the byte reader the format decoders share.
#ifndef RK_JASPER_INTERNAL_H
#define RK_JASPER_INTERNAL_H

#include <jasper/jasper.h>

#include <cstdint>
#include <memory>
#include <vector>

struct jas_stream_t {
  const unsigned char *data;
  size_t size;
  size_t pos;
};

struct jas_matrix_t {
  jas_matind_t rows;
  jas_matind_t cols;
  std::vector<jas_seqent_t> entries;
};

namespace rkjas {

// Our own limit, not the formats': no image holds more samples than this over all components, so
// a lying header cannot make us allocate without bound.
constexpr uint64_t kMaxSamples = uint64_t(1) << 28;

struct Component {
  jas_image_cmpttype_t type = JAS_IMAGE_CT_UNKNOWN;
  int width = 0;
  int height = 0;
  int prec = 0;
  int sgnd = 0;
  // width x height samples, rows top first: in samples, or one byte each in bytes for compact
  // components (unsigned, precision 8 or less), whose samples stays empty.
  // A component may instead read its bytes in place from the decoded stream's data (view), every
  // step-th byte: raw 8-bit samples that need no scaling are not copied.
  std::vector<int32_t> samples;
  std::unique_ptr<uint8_t[]> bytes;
  const uint8_t *view = nullptr;
  size_t step = 1;
  bool compact() const { return bytes != nullptr; }
  int32_t at(size_t i) const { return view ? int32_t(view[i * step]) : bytes ? int32_t(bytes[i]) : samples[i]; }
};

}  // namespace rkjas

struct jas_image_t {
  jas_clrspc_t clrspc = JAS_CLRSPC_UNKNOWN;
  std::vector<rkjas::Component> cmpts;
};

namespace rkjas {

// Makes an image of count components, each width x height with the given precision, or null when
// the size is zero, negative or beyond kMaxSamples. Component types are left to the caller. With
// compact set, unsigned components of precision 8 or less keep their samples in bytes, which
// are left unset for the caller to fill.
std::unique_ptr<jas_image_t> makeImage(jas_clrspc_t clrspc, int count, int64_t width, int64_t height, int prec,
                                       int sgnd, bool compact = false);

// Sequential reads from the unread part of a stream; every read is bounded by the stream's end.
class Reader {
 public:
  explicit Reader(jas_stream_t *stream) : s_(stream) {}
  bool valid() const { return s_ != nullptr && (s_->data != nullptr || s_->size == 0); }
  size_t remaining() const { return s_->size - s_->pos; }
  // Next byte, or -1 at the end.
  int getc() { return s_->pos < s_->size ? s_->data[s_->pos++] : -1; }
  int peek() const { return s_->pos < s_->size ? s_->data[s_->pos] : -1; }
  // Address of the next n bytes, consumed; null (nothing consumed) when fewer remain.
  const unsigned char *take(size_t n) {
    if (n > remaining()) return nullptr;
    const unsigned char *p = s_->data + s_->pos;
    s_->pos += n;
    return p;
  }
  // Big-endian 32-bit word.
  bool getU32be(uint32_t &v) {
    const unsigned char *p = take(4);
    if (!p) return false;
    v = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    return true;
  }

 private:
  jas_stream_t *s_;
};

inline bool isSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
inline bool isDigit(int c) { return c >= '0' && c <= '9'; }

}  // namespace rkjas

#endif
