#include "JasperTestUtil.h"

#include <gtest/gtest.h>

TEST(ImageInterface, StreamsOverMemory) {
  char data[] = "P5 1 1 255\n\x07";
  EXPECT_EQ(jas_stream_memopen(data, -1), nullptr);
  jas_stream_t *empty = jas_stream_memopen(nullptr, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(pnm_decode(empty, nullptr), nullptr);
  EXPECT_EQ(jas_stream_close(empty), 0);

  jas_stream_t *s = jas_stream_memopen(data, int(sizeof data - 1));
  ImagePtr img(pnm_decode(s, nullptr));
  jas_stream_close(s);
  ASSERT_TRUE(img);
  EXPECT_EQ(jas_image_readcmptsample(img.get(), 0, 0, 0), 7);
  EXPECT_EQ(pnm_decode(nullptr, nullptr), nullptr);
  EXPECT_EQ(pgx_decode(nullptr, nullptr), nullptr);
  EXPECT_EQ(ras_decode(nullptr, nullptr), nullptr);
}

TEST(ImageInterface, FormatNamesSelectTheirDecoder) {
  EXPECT_GE(jas_image_strtofmt("pnm"), 0);
  EXPECT_GE(jas_image_strtofmt("pgx"), 0);
  EXPECT_GE(jas_image_strtofmt("ras"), 0);
  EXPECT_EQ(jas_image_strtofmt("xyz"), -1);
  EXPECT_EQ(jas_image_strtofmt(nullptr), -1);
  // Each decoder reads only its own format.
  const std::string pnm = "P5 1 1 255\n\x07";
  EXPECT_TRUE(decodeBytes(pnm, "pnm"));
  EXPECT_FALSE(decodeBytes(pnm, "pgx"));
  EXPECT_FALSE(decodeBytes(pnm, "ras"));
  EXPECT_FALSE(decodeBytes(pnm, "xyz"));
}

TEST(ImageInterface, QueriesOutsideTheImageGiveNeutralValues) {
  ImagePtr img = decodeBytes("P6 2 1 255\n" + bytes({1, 2, 3, 4, 5, 6}), "pnm");
  ASSERT_TRUE(img);
  EXPECT_EQ(jas_image_width(img.get()), 2);
  EXPECT_EQ(jas_image_height(img.get()), 1);
  EXPECT_EQ(jas_image_cmptwidth(img.get(), 3), 0);
  EXPECT_EQ(jas_image_cmptheight(img.get(), -1), 0);
  EXPECT_EQ(jas_image_cmptprec(img.get(), 3), 0);
  EXPECT_EQ(jas_image_cmpttype(img.get(), 3), JAS_IMAGE_CT_UNKNOWN);
  EXPECT_EQ(jas_image_readcmptsample(img.get(), 0, 2, 0), 0);
  EXPECT_EQ(jas_image_readcmptsample(img.get(), 0, 0, 1), 0);
  EXPECT_EQ(jas_image_readcmptsample(img.get(), 3, 0, 0), 0);
  EXPECT_EQ(jas_image_numcmpts(nullptr), 0);
  jas_image_destroy(nullptr);
}

TEST(ImageInterface, AreaReadsFillAndReshapeTheMatrix) {
  ImagePtr img = decodeBytes("P5 3 2 255\n" + bytes({1, 2, 3, 4, 5, 6}), "pnm");
  ASSERT_TRUE(img);
  jas_matrix_t *m = jas_matrix_create(1, 1);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(jas_image_readcmpt(img.get(), 0, 1, 0, 2, 2, m), 0);
  EXPECT_EQ(jas_matrix_numrows(m), 2);
  EXPECT_EQ(jas_matrix_numcols(m), 2);
  EXPECT_EQ(jas_matrix_get(m, 0, 0), 2);
  EXPECT_EQ(jas_matrix_get(m, 0, 1), 3);
  EXPECT_EQ(jas_matrix_get(m, 1, 0), 5);
  EXPECT_EQ(jas_matrix_get(m, 1, 1), 6);
  // Rows are contiguous behind the first entry's address.
  jas_seqent_t *row = jas_matrix_getref(m, 1, 0);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row[1], 6);
  EXPECT_EQ(jas_matrix_getref(m, 2, 0), nullptr);
  EXPECT_EQ(jas_matrix_get(m, 0, 2), 0);

  EXPECT_EQ(jas_image_readcmpt(img.get(), 0, 2, 0, 2, 1, m), -1);
  EXPECT_EQ(jas_image_readcmpt(img.get(), 0, 0, 1, 1, 2, m), -1);
  EXPECT_EQ(jas_image_readcmpt(img.get(), 0, -1, 0, 1, 1, m), -1);
  EXPECT_EQ(jas_image_readcmpt(img.get(), 1, 0, 0, 1, 1, m), -1);
  EXPECT_EQ(jas_image_readcmpt(img.get(), 0, 0, 0, 1, 1, nullptr), -1);
  jas_matrix_destroy(m);
  EXPECT_EQ(jas_matrix_create(-1, 1), nullptr);
}
