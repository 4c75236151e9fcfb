#include "RKJP2Decoder2.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "RKParam.h"
#include "RKString.h"
#include "jp2_file_reader.h"
#include "kd_decoder.h"
#include "kd_synthesis.h"
#include "kd_tile.h"
#include "kdu_codestream.h"
#include "kdu_messages.h"

namespace RKSDK {

namespace {

// The decoder's stream as the box layer reads it.
class JP2IOStream : public jp2_stream {
 public:
  explicit JP2IOStream(IRKIOStream* stream) : m_stream(stream) {}
  int read(void* buffer, int count) override { return m_stream->read(buffer, count); }
  int seek(int64_t offset, int origin) override {
    if (origin == 1) {
      // Relative seeks longer than an int go in steps.
      while (offset > INT_MAX || offset < INT_MIN) {
        int part = offset > 0 ? INT_MAX : INT_MIN;
        if (!m_stream->seek(part, 1)) return 0;
        offset -= part;
      }
    } else if (offset > INT_MAX || offset < INT_MIN) {
      return 0;
    }
    return m_stream->seek((int)offset, origin);
  }
  int64_t tell() override { return m_stream->tell(); }

 private:
  IRKIOStream* m_stream;
};

// The code-stream of a JP2 file: the bytes of its open code-stream box.
class JP2StreamSource : public kdu_compressed_source {
 public:
  explicit JP2StreamSource(IRKIOStream* stream) : m_io(stream) {}
  ~JP2StreamSource() override { close(); }
  bool open() { return read_jp2_header(*m_reader, &m_io); }
  int read(uint8_t* buf, int count) override { return m_reader ? m_reader->box.read(buf, count) : 0; }
  bool close() override {
    if (m_reader) {
      m_reader->box.close();
      m_reader.reset();
    }
    return true;
  }

 private:
  JP2IOStream m_io;
  std::unique_ptr<jp2_file_reader> m_reader{new jp2_file_reader};
};

// A raw code-stream straight from the stream.
class JPCStreamSource : public kdu_compressed_source {
 public:
  explicit JPCStreamSource(IRKIOStream* stream) : m_stream(stream) {}
  int read(uint8_t* buf, int count) override {
    int n = m_stream->read(buf, count);
    return n > 0 ? n : 0;
  }

 private:
  IRKIOStream* m_stream;
};

inline uint8_t clamp_byte(int64_t v) { return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v); }
inline uint8_t clamp_byte32(int32_t v) { return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v); }

// Writes `width` integer samples of the given depth as bytes to dest, dest + gap, ..., centred
// on 128; samples shallower than 8 bits are scaled up and clamp at their largest step.
template <class T>
void transferIntegers(uint8_t* dest, const T* s, int width, int gap, int depth) {
  if (depth >= 8) {
    int shift = std::min(depth - 8, 62);
    if (shift == 0) {
      for (int i = 0; i < width; i++, dest += gap) *dest = clamp_byte32((int32_t)s[i] + 128);
      return;
    }
    int64_t half = ((int64_t)1 << shift) >> 1;
    for (int i = 0; i < width; i++, dest += gap) *dest = clamp_byte((((int64_t)s[i] + half) >> shift) + 128);
    return;
  }
  int up = 8 - std::max(depth, 1);
  for (int i = 0; i < width; i++, dest += gap) {
    int64_t v = (int64_t)s[i] * ((int64_t)1 << up) + 128;
    if (v > 255) v = (s[i] >= 0) ? 256 - ((int64_t)1 << up) : 0;
    *dest = clamp_byte(v);
  }
}

// Writes a line's samples as bytes to dest, dest + gap, ...: integers of the given depth,
// fixed point with 13 fraction bits or floats in the nominal range -0.5..0.5, each centred on
// 128.
void transferSamples(uint8_t* dest, const kd_line& line, int offset, int width, int gap, int depth) {
  if (line.use_16) {
    const int16_t* s = line.s16() + offset;
    if (line.reversible) {
      transferIntegers(dest, s, width, gap, depth);
    } else if (depth >= 8) {
      for (int i = 0; i < width; i++, dest += gap) *dest = clamp_byte32((((int32_t)s[i] + 16) >> 5) + 128);
    } else {
      // To the component's own depth first, then as an integer sample.
      std::vector<int16_t> t((size_t)width);
      for (int i = 0; i < width; i++) t[(size_t)i] = (int16_t)(((int32_t)s[i] + (1 << (12 - depth))) >> (13 - depth));
      transferIntegers(dest, t.data(), width, gap, depth);
    }
  } else if (line.reversible) {
    transferIntegers(dest, line.s32() + offset, width, gap, depth);
  } else {
    const float* s = line.f32() + offset;
    for (int i = 0; i < width; i++, dest += gap) {
      // Clamped first so that corrupt samples (huge, infinite or NaN) convert safely.
      float f = s[i];
      if (!(f >= -1.0f))
        f = (f != f) ? 0.0f : -1.0f;
      else if (f > 1.0f)
        f = 1.0f;
      // |f| <= 1, so the product fits and the conversion truncates towards zero.
      int32_t t = (int32_t)((double)f * -65536.0);
      *dest = clamp_byte32(((128 - t) >> 8) + 128);
    }
  }
}

// Turns Y, Cb, Cr (or Y, Db, Dr) lines into R, G, B in place; the form follows the first line.
void inverseColourTransform(kd_line& l0, kd_line& l1, kd_line& l2, int width) {
  if (l0.use_16) {
    int16_t *y = l0.s16(), *c1 = l1.s16(), *c2 = l2.s16();
    if (l0.reversible) {
      for (int i = 0; i < width; i++) {
        int32_t g = (int32_t)y[i] - (((int32_t)c1[i] + c2[i]) >> 2);
        y[i] = (int16_t)(g + c2[i]);
        c2[i] = (int16_t)(g + c1[i]);
        c1[i] = (int16_t)g;
      }
    } else {
      for (int i = 0; i < width; i++) {
        int32_t yy = (int32_t)y[i] * 16384, cb = c1[i], cr = c2[i];
        y[i] = (int16_t)((yy + 22970 * cr + 8192) >> 14);
        c1[i] = (int16_t)((yy - 5638 * cb - 11700 * cr + 8192) >> 14);
        c2[i] = (int16_t)((yy + 29032 * cb + 8192) >> 14);
      }
    }
    return;
  }
  if (l0.reversible) {
    int32_t *y = l0.s32(), *db = l1.s32(), *dr = l2.s32();
    for (int i = 0; i < width; i++) {
      int64_t g = (int64_t)y[i] - (((int64_t)db[i] + dr[i]) >> 2);
      int64_t r = g + dr[i], b = g + db[i];
      y[i] = (int32_t)r;
      db[i] = (int32_t)g;
      dr[i] = (int32_t)b;
    }
    return;
  }
  const double a = 0.114 * 1.772 / 0.587, b = 0.299 * 1.402 / 0.587;
  float *y = l0.f32(), *cb = l1.f32(), *cr = l2.f32();
  for (int i = 0; i < width; i++) {
    double Y = y[i], Cb = cb[i], Cr = cr[i];
    y[i] = (float)(Y + 1.402 * Cr);
    cb[i] = (float)(Y - a * Cb - b * Cr);
    cr[i] = (float)(Y + 1.772 * Cb);
  }
}

}  // namespace

struct RKJPEG2000State {
  std::unique_ptr<kdu_compressed_source> source;
  kdu_codestream codestream;
  kd_region dims;
  ~RKJPEG2000State() {
    try {
      if (codestream.exists()) codestream.destroy();
    } catch (...) {
    }
  }
};

RKJPEG2000Decoder::RKJPEG2000Decoder(const char* rateKey, bool boxes)
    : m_rateKey(rateKey), m_rate(1.0f), m_boxes(boxes), m_state(nullptr) {
  kdu_install_exception_handler();
}

RKJPEG2000Decoder::~RKJPEG2000Decoder() { releaseCodestream(); }

int RKJPEG2000Decoder::setRate(float rate) {
  m_rate = rate;
  return 1;
}

float RKJPEG2000Decoder::getRate() { return m_rate; }

void RKJPEG2000Decoder::releaseCodestream() {
  delete m_state;
  m_state = nullptr;
}

int RKJPEG2000Decoder::readHeader() {
  releaseCodestream();
  m_width = 0;
  m_height = 0;
  if (!m_stream) return 0;
  try {
    std::unique_ptr<RKJPEG2000State> st(new RKJPEG2000State);
    if (m_boxes) {
      JP2StreamSource* jp2 = new JP2StreamSource(m_stream);
      st->source.reset(jp2);
      if (!jp2->open()) return 0;
    } else {
      st->source.reset(new JPCStreamSource(m_stream));
    }
    st->codestream.start_input(st->source.get());
    st->codestream.set_resilient(false);
    st->codestream.set_fussy(true);
    st->codestream.get_component_region(0, st->dims);
    if (st->dims.size_x <= 0 || st->dims.size_y <= 0) return 0;
    m_width = st->dims.size_x;
    m_height = st->dims.size_y;
    m_state = st.release();
    return 1;
  } catch (const kdu_exception&) {
  } catch (const std::bad_alloc&) {
  }
  m_width = 0;
  m_height = 0;
  return 0;
}

int RKJPEG2000Decoder::decode(RKBuffer* target) {
  if (!m_headerRead || !target || !m_state) return 0;
  int ok = 0;
  try {
    ok = decodeTiles(target);
  } catch (const kdu_exception&) {
    ok = 0;
  } catch (const std::bad_alloc&) {
    ok = 0;
  }
  releaseCodestream();
  releaseStream();
  return ok;
}

int RKJPEG2000Decoder::decodeTiles(RKBuffer* target) {
  kdu_codestream& cs = m_state->codestream;
  const kd_region& dims = m_state->dims;

  // Three components when components 1 and 2 cover exactly component 0's region, else one.
  int n = cs.get_num_components() >= 3 ? 3 : 1;
  for (int c = 1; c < n; c++) {
    kd_region r;
    cs.get_component_region(c, r);
    if (r.pos_x != dims.pos_x || r.pos_y != dims.pos_y || r.size_x != dims.size_x || r.size_y != dims.size_y) n = 1;
  }
  cs.apply_input_restrictions(0, n);

  // Every image is stored as R, G, B; grey is expanded.
  int64_t bytes = imageBytes(m_width, m_height, 3);
  if (bytes <= 0 || !target->allocate((int)bytes)) return 0;
  uint8_t* data = target->getData(0);
  if (!data) return 0;
  const int64_t stride = (int64_t)m_width * 3;

  kd_region range;
  cs.get_tile_range(range);
  // One block of line storage serves every tile; it grows only for a tile that needs more.
  kd_line_pool pool;
  for (int ty = 0; ty < range.size_y; ty++)
    for (int tx = 0; tx < range.size_x; tx++) {
      kdu_tile_handle tile = cs.acquire_tile({range.pos_y + ty, range.pos_x + tx});
      struct closer {
        kdu_tile_handle& t;
        ~closer() { t.close(); }
      } guard{tile};
      kd_tile_state* ts = tile.get_state();
      if (!ts || ts->comps.empty() || (int)ts->comps.size() < n) return 0;
      kd_tile_comp_state& tc0 = ts->comps[0];
      if (tc0.resolutions.empty()) return 0;
      const kd_region& tr = tc0.resolutions.back().region;
      // Rows and columns of the tile that lie in the image.
      int64_t ry0 = std::max<int64_t>(tr.pos_y, dims.pos_y);
      int64_t ry1 = std::min<int64_t>((int64_t)tr.pos_y + tr.size_y, (int64_t)dims.pos_y + dims.size_y);
      int64_t rx0 = std::max<int64_t>(tr.pos_x, dims.pos_x);
      int64_t rx1 = std::min<int64_t>((int64_t)tr.pos_x + tr.size_x, (int64_t)dims.pos_x + dims.size_x);
      int rows = tr.size_y, width = tr.size_x;
      if (rows <= 0 || width <= 0) continue;

      bool use_ycc = ts->use_ycc && n == 3;
      // 16-bit lines where the precision allows; the colour transform needs one form for all.
      bool forms[3] = {false, false, false};
      for (int c = 0; c < n; c++) {
        kd_tile_comp_state& tc = ts->comps[(size_t)c];
        forms[c] = cs.get_bit_depth(c) + tc.headroom <= 16;
      }
      if (use_ycc) {
        bool all = forms[0] && forms[1] && forms[2];
        bool same_kind =
            ts->comps[0].reversible == ts->comps[1].reversible && ts->comps[0].reversible == ts->comps[2].reversible;
        if (!same_kind) use_ycc = false;
        forms[0] = forms[1] = forms[2] = all;
      }
      pool.restart();
      std::vector<std::unique_ptr<kdu_pull_ifc_base>> nodes((size_t)n);
      std::vector<int> depth((size_t)n);
      kd_line lines[3];
      for (int c = 0; c < n; c++) {
        kd_tile_comp_state& tc = ts->comps[(size_t)c];
        if (tc.resolutions.empty()) return 0;
        kd_resolution_state& top = tc.resolutions.back();
        depth[(size_t)c] = cs.get_bit_depth(c);
        pool.reserve(lines[c], width, tc.reversible, forms[c]);
        if (top.res_idx > 0)
          nodes[(size_t)c].reset(new kd_synthesis(&top, &pool, forms[c], 1.0f));
        else if (!top.bands.empty())
          nodes[(size_t)c].reset(new kd_decoder(&top.bands[0], &pool, tc.reversible, forms[c], 1.0f));
        else
          return 0;
      }
      pool.create();
      for (int c = 0; c < n; c++) std::memset(lines[c].samples, 0, (size_t)width * lines[c].sample_bytes());

      for (int r = 0; r < rows; r++) {
        notifyRow(r + 1, rows);
        for (int c = 0; c < n; c++) nodes[(size_t)c]->produce_line(lines[c], true);
        if (use_ycc) inverseColourTransform(lines[0], lines[1], lines[2], width);
        int64_t y = (int64_t)tr.pos_y + r;
        if (y < ry0 || y >= ry1 || rx1 <= rx0) continue;
        uint8_t* dest = data + (y - dims.pos_y) * stride + (rx0 - dims.pos_x) * 3;
        int skip = (int)(rx0 - tr.pos_x), count = (int)(rx1 - rx0);
        for (int c = 0; c < n; c++) transferSamples(dest + c, lines[c], skip, count, 3, depth[(size_t)c]);
        if (n == 1)
          for (int i = 0; i < count; i++) dest[3 * i + 1] = dest[3 * i + 2] = dest[3 * i];
      }
      notifyFinished();
    }
  return 1;
}

unsigned int RKJPEG2000Decoder::pixelType() { return RK_PIXEL_RGB24; }

void RKJPEG2000Decoder::writeInfo(RKParam* properties) {
  properties->set(m_rateKey, RKString(static_cast<double>(m_rate)));
}

RKJP2Decoder2::RKJP2Decoder2() : RKJPEG2000Decoder("JP2_Rate", true) { appendClassName("RKJP2Decoder2"); }

RKJPCDecoder2::RKJPCDecoder2() : RKJPEG2000Decoder("JPC_Rate", false) { appendClassName("RKJPCDecoder2"); }

}  // namespace RKSDK
