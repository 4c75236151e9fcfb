// Synthesis trees (wavelet synthesis over subband decoders) run over committed code-streams
// made by the OpenJPEG encoder: reversible streams must give the encoded picture exactly at its
// own depth, irreversible ones must stay close to the OpenJPEG decoder's output.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Jpeg2000VectorFiles.h"
#include "codestream_support.h"
#include "kd_decoder.h"
#include "kd_synthesis.h"

namespace {

std::vector<uint8_t> load(const std::string &name) { return loadJpeg2000Vector(name); }

struct pgx_image {
  int width = 0, height = 0, depth = 0;
  bool is_signed = false;
  std::vector<int> samples;
};

pgx_image load_pgx(const std::string &name) {
  std::vector<uint8_t> b = load(name);
  pgx_image img;
  size_t eol = 0;
  while (eol < b.size() && b[eol] != '\n') eol++;
  std::string head(b.begin(), b.begin() + (long)eol);
  char sign = '+';
  if (std::sscanf(head.c_str(), "PG ML %c %d %d %d", &sign, &img.depth, &img.width, &img.height) != 4) return img;
  img.is_signed = sign == '-';
  int nb = img.depth <= 8 ? 1 : 2;
  for (size_t k = eol + 1; k + (size_t)nb <= b.size() && img.samples.size() < (size_t)img.width * img.height;
       k += (size_t)nb) {
    int v = (nb == 1) ? b[k] : (b[k] << 8 | b[k + 1]);
    if (img.is_signed && v >= (1 << (8 * nb - 1))) v -= 1 << (8 * nb);
    img.samples.push_back(v);
  }
  return img;
}

// Decodes component `comp` of a code-stream through synthesis trees, tile by tile, into samples
// at the component's own depth (unsigned samples carry their offset again).
std::vector<int> decode_component(const std::vector<uint8_t> &bytes, int comp, int &width, int &height,
                                  bool use_16 = false) {
  memory_source src(bytes);
  kdu_codestream cs;
  codestream_guard guard{cs};
  cs.start_input(&src);
  cs.set_fussy(true);
  kd_region dims;
  cs.get_component_region(comp, dims);
  width = dims.size_x;
  height = dims.size_y;
  int depth = cs.get_bit_depth(comp);
  int offset = cs.get_signed(comp) ? 0 : 1 << (depth - 1);
  std::vector<int> out((size_t)width * (size_t)height, 0);
  kd_region range;
  cs.get_tile_range(range);
  for (int ty = 0; ty < range.size_y; ty++)
    for (int tx = 0; tx < range.size_x; tx++) {
      kdu_tile_handle tile = cs.acquire_tile({range.pos_y + ty, range.pos_x + tx});
      kd_tile_comp_state &tc = tile.get_state()->comps[(size_t)comp];
      kd_resolution_state &top = tc.resolutions.back();
      std::unique_ptr<kdu_pull_ifc_base> node;
      kd_line_pool pool;
      kd_line line;
      pool.reserve(line, top.region.size_x, tc.reversible, use_16);
      if (top.res_idx > 0)
        node.reset(new kd_synthesis(&top, &pool, use_16, 1.0f));
      else
        node.reset(new kd_decoder(&top.bands[0], &pool, tc.reversible, use_16, 1.0f));
      pool.create();
      for (int r = 0; r < top.region.size_y; r++) {
        node->produce_line(line, true);
        for (int x = 0; x < line.width; x++) {
          double f = use_16 ? line.s16()[x] / 8192.0 : line.reversible ? 0.0 : line.f32()[x];
          int v = !line.reversible ? (int)std::lround(f * std::ldexp(1.0, depth))
                  : use_16         ? line.s16()[x]
                                   : line.s32()[x];
          int gy = top.region.pos_y + r - dims.pos_y, gx = top.region.pos_x + x - dims.pos_x;
          out[(size_t)gy * (size_t)width + (size_t)gx] = v + offset;
        }
      }
      node.reset();
      tile.close();
    }
  return out;
}

}  // namespace

TEST(Synthesis, ReversibleStreamsReproduceTheirSamplesAtEveryDepth) {
  struct vec {
    const char *name;
    int comps;
  } vectors[] = {{"r53_grey4", 1},    {"r53_grey8", 1}, {"r53_grey12", 1}, {"r53_grey16", 1},
                 {"r53_signed12", 1}, {"r53_modes", 1}, {"r53_nodwt", 3},  {"r53_erterm", 1}};
  for (const vec &v : vectors) {
    std::vector<uint8_t> bytes = load(std::string(v.name) + ".j2k");
    ASSERT_FALSE(bytes.empty()) << v.name;
    for (int c = 0; c < v.comps; c++) {
      pgx_image want = load_pgx(std::string(v.name) + ".src" + std::to_string(c) + ".pgx");
      int w = 0, h = 0;
      std::vector<int> got, got16;
      ASSERT_EQ(error_text([&] { got = decode_component(bytes, c, w, h); }), "") << v.name;
      // Up to 12 bits the samples also fit 16-bit lines.
      if (want.depth <= 12) {
        ASSERT_EQ(error_text([&] { got16 = decode_component(bytes, c, w, h, true); }), "") << v.name;
        EXPECT_EQ(got16, got) << v.name << " component " << c << " in 16-bit lines";
      }
      ASSERT_EQ(w, want.width) << v.name;
      ASSERT_EQ(h, want.height) << v.name;
      size_t mismatches = 0;
      for (size_t k = 0; k < got.size(); k++)
        if (got[k] != want.samples[k]) mismatches++;
      EXPECT_EQ(mismatches, 0u) << v.name << " component " << c;
    }
  }
}

TEST(Synthesis, IrreversibleStreamsStayWithinTwoSteps) {
  // Tolerance: two units of an 8-bit sample, scaled to the component's depth.
  struct vec {
    const char *name;
    bool use_16;
  } vectors[] = {{"i97_grey8", false}, {"i97_grey8", true}, {"i97_grey12", false}, {"i97_grey12_big", false}};
  for (const vec &v : vectors) {
    const char *name = v.name;
    std::vector<uint8_t> bytes = load(std::string(name) + ".j2k");
    pgx_image ref = load_pgx(std::string(name) + ".ref0.pgx");
    ASSERT_FALSE(ref.samples.empty()) << name;
    int w = 0, h = 0;
    std::vector<int> got;
    ASSERT_EQ(error_text([&] { got = decode_component(bytes, 0, w, h, v.use_16); }), "") << name;
    ASSERT_EQ(got.size(), ref.samples.size()) << name;
    int tolerance = 2 << (ref.depth - 8);
    int worst = 0;
    double total = 0;
    for (size_t k = 0; k < got.size(); k++) {
      int clamped = std::max(0, std::min(got[k], (1 << ref.depth) - 1));
      worst = std::max(worst, std::abs(clamped - ref.samples[k]));
      total += std::abs(clamped - ref.samples[k]);
    }
    EXPECT_LE(worst, tolerance) << name;
    EXPECT_LT(total / (double)got.size(), 0.5 * (1 << (ref.depth - 8))) << name;
  }
}

TEST(Synthesis, DecoderAloneServesAStreamWithoutLevels) {
  // Without DWT levels the top resolution is the single LL band.
  std::vector<uint8_t> bytes = load("r53_nodwt.j2k");
  pgx_image want = load_pgx("r53_nodwt.src1.pgx");
  int w = 0, h = 0;
  std::vector<int> got = decode_component(bytes, 1, w, h);
  EXPECT_EQ(got, want.samples);
}

TEST(Synthesis, KernelAndPrecisionErrors) {
  EXPECT_EQ(error_text([] { kdu_kernels k(Ckernels_W9X7, true); }),
            "The W9X7 kernel may not be used for reversible compression!");
  EXPECT_EQ(error_text([] { kdu_kernels k(7, false); }),
            "Illegal DWT kernel ID used to construct a `kdu_kernels' object.");
  kd_subband_state band;
  band.mb = 32;
  band.roi_mb = 32;
  kd_line_pool pool;
  EXPECT_EQ(error_text([&] { kd_decoder d(&band, &pool, true, false, 1.0f); }),
            "Insufficient implementation precision available for true reversible processing!");
  // An empty subband reserves no lines and hands out nothing.
  band.mb = 8;
  band.region = {0, 0, 0, 5};
  kd_line_pool empty_pool;
  kd_decoder empty(&band, &empty_pool, true, false, 1.0f);
  empty_pool.create();
  EXPECT_EQ(empty_pool.get_block_size(), 0u);
  kd_line line;
  empty.produce_line(line, true);
  EXPECT_EQ(line.samples, nullptr);
}

TEST(Synthesis, CorruptTerminatedSegmentIsReportedInFussyMode) {
  // Every pass of these streams ends a predictably terminated segment; one flipped bit leaves
  // the block decodable to its end, but not where the encoder's termination put it.
  int w = 0, h = 0;
  std::vector<int> got;
  EXPECT_EQ(error_text([&] { got = decode_component(load("r53_erterm.j2k"), 0, w, h); }), "");
  EXPECT_EQ(got, load_pgx("r53_erterm.src0.pgx").samples);
  EXPECT_EQ(error_text([&] { decode_component(load("r53_erterm_bad.j2k"), 0, w, h); }),
            "Encountered incorrectly terminated codeword segment, or invalid SEGMARK symbol in code-block "
            "bit-stream. You may like to use the \"resilient\" mode to recover from and conceal such errors.");
}
