// Helpers of the codec library tests: decoding byte strings and reading whole components.
#ifndef RK_TESTS_JASPER_TEST_UTIL_H
#define RK_TESTS_JASPER_TEST_UTIL_H

#include <jasper/jasper.h>

#include <memory>
#include <string>
#include <vector>

// Destroys the image, then lets go of the bytes it was decoded from (which it may read).
struct ImageDeleter {
  std::shared_ptr<const std::string> bytes;
  void operator()(jas_image_t *image) const { jas_image_destroy(image); }
};
using ImagePtr = std::unique_ptr<jas_image_t, ImageDeleter>;

// Decodes a copy of bytes, kept with the image, with the decoder of the named format ("pnm",
// "pgx", "ras").
inline ImagePtr decodeBytes(const std::string &bytes, const char *format) {
  jas_init();
  auto kept = std::make_shared<const std::string>(bytes);
  jas_stream_t *stream = jas_stream_memopen(const_cast<char *>(kept->data()), int(kept->size()));
  if (!stream) return ImagePtr(nullptr, ImageDeleter{kept});
  ImagePtr image(jas_image_decode(stream, jas_image_strtofmt(format), nullptr), ImageDeleter{kept});
  jas_stream_close(stream);
  return image;
}

// All samples of a component, rows top first, read a row at a time.
inline std::vector<long> samplesOf(jas_image_t *image, int cmpt) {
  std::vector<long> out;
  const jas_image_coord_t w = jas_image_cmptwidth(image, cmpt), h = jas_image_cmptheight(image, cmpt);
  jas_matrix_t *row = jas_matrix_create(1, w);
  for (jas_image_coord_t y = 0; y < h; ++y) {
    if (jas_image_readcmpt(image, cmpt, 0, y, w, 1, row) != 0) break;
    for (jas_image_coord_t x = 0; x < w; ++x) out.push_back(long(jas_matrix_get(row, 0, x)));
  }
  jas_matrix_destroy(row);
  return out;
}

// Expects count components of the given precision and size, typed 0, 1, 2... in order.
#define EXPECT_COMPONENTS(img, count, prec, w, h)     \
  do {                                                \
    ASSERT_EQ(jas_image_numcmpts(img), (count));      \
    for (int c_ = 0; c_ < (count); ++c_) {            \
      EXPECT_EQ(jas_image_cmpttype(img, c_), c_);     \
      EXPECT_EQ(jas_image_cmptprec(img, c_), (prec)); \
      EXPECT_EQ(jas_image_cmptsgnd(img, c_), 0);      \
      EXPECT_EQ(jas_image_cmptwidth(img, c_), (w));   \
      EXPECT_EQ(jas_image_cmptheight(img, c_), (h));  \
    }                                                 \
  } while (0)

inline std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(char(v));
  return s;
}

#endif
