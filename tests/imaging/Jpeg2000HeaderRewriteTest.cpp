// Committed code-streams whose main header is read into parameter objects and written back by
// them decode to the same pixels as the originals.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DecodedImage.h"
#include "J2kHeaderRewrite.h"
#include "RKJP2Decoder2.h"

using namespace RKSDK;

namespace {

std::vector<uint8_t> committedStream(const std::string& name) {
  std::string here = __FILE__;
  std::ifstream f(here.substr(0, here.find_last_of('/')) + "/../jpeg2000/data/" + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(Jpeg2000HeaderRewrite, RewrittenHeadersDecodeToTheSamePixels) {
  const char* streams[] = {"i97_grey12", "i97_grey8", "i97_rgb10", "i97_rgb8",    "r53_grey12",
                           "r53_grey16", "r53_grey4", "r53_grey8", "r53_modes",   "r53_nodwt",
                           "r53_rgb12",  "r53_rgb8",  "r53_roi",   "r53_signed12"};
  for (const char* stem : streams) {
    SCOPED_TRACE(stem);
    std::vector<uint8_t> original = committedStream(std::string(stem) + ".j2k");
    ASSERT_FALSE(original.empty());
    std::vector<uint8_t> rewritten = rewrite_header(original);
    ASSERT_FALSE(rewritten.empty());
    DecodedImage a = decodeWith<RKJPCDecoder2>(original);
    DecodedImage b = decodeWith<RKJPCDecoder2>(rewritten);
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.type, b.type);
    EXPECT_TRUE(a.pixels == b.pixels);
  }
}
