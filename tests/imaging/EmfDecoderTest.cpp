// The enhanced-metafile decoder: header checks, records played into pixels, malformed records.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "MetafileTestSupport.h"
#include "RKEMFDecoder.h"
#include "RKParam.h"
#include "TempPrefix.h"

using namespace RKSDK;
using namespace rktest;

namespace {

const uint32_t POLYLINE = 4, POLYLINETO = 6, POLYPOLYLINE = 7, SETWINDOWEXTEX = 9, SETPIXELV = 15, SETPOLYFILLMODE = 19,
               SETTEXTCOLOR = 24, MOVETOEX = 27, SELECT = 37, CREATEPEN = 38, CREATEBRUSH = 39, DELETEOBJ = 40,
               ELLIPSE = 42, RECTANGLE = 43, ROUNDRECT = 44, PIE = 47, LINETO = 54, BITBLT = 76, STRETCHDIBITS = 81,
               EXTTEXTOUTA = 83, EXTTEXTOUTW = 84, POLYGON16 = 86, POLYPOLYGON16 = 91, EXTCREATEPEN = 95,
               POLYTEXTOUTA = 96;

// Plays the metafile; the image (type 1003) holds one reference, or is null.
RKImage* play(const EmfWriter& w) {
  RKEMFDecoder d;
  d.addRef();
  if (!d.openMemory(w.bytes.data(), int(w.bytes.size()))) return nullptr;
  return d.getImage();
}

void pen(EmfWriter& w, Rgb c) { w.rec(CREATEPEN, {1, 0, 1, 0, EmfWriter::ref(c)}); }
void brush(EmfWriter& w, Rgb c) { w.rec(CREATEBRUSH, {2, 0, EmfWriter::ref(c), 0}); }

// A body of bounds, a count and 16-bit points.
std::vector<uint8_t> points16(std::initializer_list<uint16_t> xy) {
  std::vector<uint8_t> b(16, 0);
  put32(b, uint32_t(xy.size() / 2));
  for (uint16_t v : xy) put16(b, v);
  return b;
}

// A bitmap header of 40 bytes.
std::vector<uint8_t> bitmapHeader(int32_t width, int32_t height, int bits) {
  std::vector<uint8_t> b;
  put32(b, 40);
  put32(b, uint32_t(width));
  put32(b, uint32_t(height));
  put16(b, 1);
  put16(b, uint16_t(bits));
  for (int i = 0; i < 6; ++i) put32(b, 0);
  return b;
}

// A STRETCHDIBITS body drawing the bitmap at (x, y) in its own size.
std::vector<uint8_t> stretchDibits(int x, int y, int32_t width, int32_t height, int bits,
                                   const std::vector<uint8_t>& rows) {
  int h = height < 0 ? -height : height;
  std::vector<uint8_t> b(16, 0);
  for (uint32_t v : {uint32_t(x), uint32_t(y), 0u, 0u, uint32_t(width), uint32_t(h), 80u, 40u, 120u,
                     uint32_t(rows.size()), 0u, 0xCC0020u, uint32_t(width), uint32_t(h)})
    put32(b, v);
  std::vector<uint8_t> header = bitmapHeader(width, height, bits);
  b.insert(b.end(), header.begin(), header.end());
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

// A BITBLT body drawing the bitmap at (x, y) in its own size.
std::vector<uint8_t> bitblt(int x, int y, int32_t width, int32_t height, int bits, const std::vector<uint8_t>& rows) {
  int h = height < 0 ? -height : height;
  std::vector<uint8_t> b(16, 0);
  for (uint32_t v : {uint32_t(x), uint32_t(y), uint32_t(width), uint32_t(h), 0xCC0020u, 0u, 0u}) put32(b, v);
  b.resize(b.size() + 24, 0);  // transform
  for (uint32_t v : {0u, 0u, 100u, 40u, 140u, uint32_t(rows.size())}) put32(b, v);
  std::vector<uint8_t> header = bitmapHeader(width, height, bits);
  b.insert(b.end(), header.begin(), header.end());
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

// An EXTTEXTOUTA or W body with the text at (x, y).
std::vector<uint8_t> extText(int x, int y, const std::u16string& text, bool wide) {
  std::vector<uint8_t> b(16, 0);
  for (uint32_t v : {1u, 0u, 0u, uint32_t(x), uint32_t(y), uint32_t(text.size()), 76u, 0u}) put32(b, v);
  b.resize(b.size() + 20, 0);  // rectangle and spacing offset
  for (char16_t c : text) {
    if (wide)
      put16(b, c);
    else
      b.push_back(uint8_t(c));
  }
  return b;
}

}  // namespace

// ---- header ----

TEST(EmfDecoderHeader, SizeFromBoundsAndInformation) {
  EmfWriter w(0, 0, 99, 49);
  w.end();
  RKEMFDecoder d;
  ASSERT_EQ(d.openMemory(w.bytes.data(), int(w.bytes.size())), 1);
  EXPECT_EQ(d.getWidth(), 99);
  EXPECT_EQ(d.getHeight(), 49);
  RKParam info;
  ASSERT_EQ(d.getInfo(&info), 1);
  EXPECT_EQ(info.getInt("IMAGE_ImageType"), 1003);
  EXPECT_EQ(info.getInt("IMAGE_Width"), 99);
  RKImage* im = d.getImage();
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(im->getPixelType(), 1003u);
  EXPECT_EQ(countRgb(im, kWhite, 0, 0, 99, 49), 99 * 49);
  EXPECT_EQ(d.readRaw(nullptr), 99 * 49 * 3);
  im->release();
}

TEST(EmfDecoderHeader, ExtensionsAndDescriptionMustBePresent) {
  // A header that claims the second extension needs its bytes.
  EmfWriter big(0, 0, 10, 10, 108);
  RKEMFDecoder d;
  EXPECT_EQ(d.openMemory(big.bytes.data(), 108), 1);
  EXPECT_EQ(d.openMemory(big.bytes.data(), 104), 0);
  EXPECT_EQ(d.openMemory(big.bytes.data(), 96), 0);
  EXPECT_EQ(d.openMemory(big.bytes.data(), 87), 0);
  EmfWriter small(0, 0, 10, 10, 88);
  EXPECT_EQ(d.openMemory(small.bytes.data(), 88), 1);
  // A description is read; one that lies beyond the file is refused.
  EmfWriter described(0, 0, 10, 10, 116, 3, u"abc");  // odd length: the header is padded
  brush(described, kRed);
  described.rec(SELECT, {2}).rec(RECTANGLE, {0, 0, 10, 10}).end();
  ASSERT_EQ(d.openMemory(described.bytes.data(), int(described.bytes.size())), 1);
  RKImage* im = d.getImage();
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(rgbPixelOf(im, 5, 5), kRed);  // records read from the end of the header record
  im->release();
  EmfWriter lying(0, 0, 10, 10, 88);
  set32(lying.bytes, 60, 0x40000000);
  set32(lying.bytes, 64, 88);
  EXPECT_EQ(d.openMemory(lying.bytes.data(), int(lying.bytes.size())), 0);
  set32(lying.bytes, 60, 2);
  set32(lying.bytes, 64, 0xFFFFFFF0);
  EXPECT_EQ(d.openMemory(lying.bytes.data(), int(lying.bytes.size())), 0);
}

TEST(EmfDecoderHeader, RefusesEmptyAndInvertedBounds) {
  for (auto b : {std::vector<int32_t>{10, 0, 5, 10},
                 {0, 10, 10, 5},
                 {0, 0, 0, 10},
                 {INT32_MIN, 0, INT32_MAX, 10},
                 {0, 0, 100000, 100000}}) {
    EmfWriter w(b[0], b[1], b[2], b[3]);
    w.end();
    RKEMFDecoder d;
    EXPECT_EQ(d.openMemory(w.bytes.data(), int(w.bytes.size())), 0) << b[0] << " " << b[2];
    EXPECT_EQ(d.getImage(), nullptr);
    EXPECT_EQ(d.readRaw(nullptr), -1);
  }
  RKEMFDecoder d;
  EXPECT_EQ(d.openMemory(nullptr, 4), 0);
}

// ---- playback ----

TEST(EmfDecoderPlay, ShapesWithSelectedPenAndBrush) {
  EmfWriter w(0, 0, 60, 30);
  pen(w, kBlue);
  brush(w, kRed);
  w.rec(SELECT, {1}).rec(SELECT, {2});
  w.rec(RECTANGLE, {0, 0, 10, 10});
  w.rec(ELLIPSE, {20, 0, 40, 20});  // left out
  w.rec(ROUNDRECT, {40, 0, 60, 20, 4, 4});
  w.rec(PIE, {0, 12, 16, 28, 16, 20, 8, 12});
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(rgbPixelOf(im, 0, 0), kBlue);
  EXPECT_EQ(countRgb(im, kRed, 1, 1, 9, 9), 64);
  EXPECT_EQ(rgbPixelOf(im, 10, 10), kWhite);
  EXPECT_EQ(countRgb(im, kWhite, 20, 0, 40, 20), 400);
  EXPECT_EQ(rgbPixelOf(im, 50, 10), kRed);
  EXPECT_EQ(rgbPixelOf(im, 12, 17), kRed);  // inside the quarter from 0 to 90 degrees
  EXPECT_EQ(rgbPixelOf(im, 4, 24), kWhite);
  im->release();
}

TEST(EmfDecoderPlay, LinesPixelsAndColoursInTheRecordForm) {
  EmfWriter w(0, 0, 20, 10);
  w.rec(EXTCREATEPEN, {1, 0, 0, 0, 0, 0, 1, 0, EmfWriter::ref(kGreen), 0, 0});
  w.rec(SELECT, {1});
  w.rec(MOVETOEX, {2, 3}).rec(LINETO, {12, 3}).rec(LINETO, {12, 8});
  w.rec(SETPIXELV, {18, 1, 0x00302010});
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  for (int x = 2; x < 12; ++x) EXPECT_EQ(rgbPixelOf(im, x, 3), kGreen) << x;
  for (int y = 3; y < 8; ++y) EXPECT_EQ(rgbPixelOf(im, 12, y), kGreen) << y;
  EXPECT_EQ(rgbPixelOf(im, 12, 8), kWhite);
  EXPECT_EQ(rgbPixelOf(im, 18, 1), (Rgb{0x10, 0x20, 0x30}));
  im->release();
}

TEST(EmfDecoderPlay, PointListsAndMapping) {
  EmfWriter w(0, 0, 40, 20);
  pen(w, kBlue);
  brush(w, kGreen);
  w.rec(SELECT, {1}).rec(SELECT, {2});
  w.rec(SETWINDOWEXTEX, {400, 200});
  w.recBytes(POLYGON16, points16({2, 2, 10, 2, 10, 10, 2, 10}));            // inside: as it stands
  w.recBytes(POLYGON16, points16({200, 20, 300, 20, 300, 100, 200, 100}));  // mapped: / 10
  // A 32-bit polyline with a negative x (beyond the width as unsigned): mapped.
  w.rec(POLYLINE, {0, 0, 0, 0, 2, uint32_t(-10), 150, 390, 150});
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(rgbPixelOf(im, 6, 6), kGreen);
  EXPECT_EQ(rgbPixelOf(im, 25, 6), kGreen);
  EXPECT_EQ(rgbPixelOf(im, 35, 6), kWhite);
  EXPECT_EQ(rgbPixelOf(im, 20, 15), kBlue);
  EXPECT_EQ(rgbPixelOf(im, 20, 16), kWhite);
  im->release();
}

TEST(EmfDecoderPlay, PolyPolygonsAndPolyLineToMoveThePosition) {
  EmfWriter w(0, 0, 30, 20);
  pen(w, kRed);
  brush(w, kBlue);
  w.rec(SELECT, {1}).rec(SELECT, {2});
  std::vector<uint8_t> b(16, 0);
  for (uint32_t v : {2u, 7u, 3u, 4u}) put32(b, v);
  for (uint16_t v : {1, 1, 8, 1, 1, 8, 12, 1, 28, 1, 28, 9, 12, 9}) put16(b, v);
  w.recBytes(POLYPOLYGON16, b);
  w.rec(POLYLINETO, {0, 0, 0, 0, 2, 0, 15, 10, 15});
  w.rec(LINETO, {10, 19});
  w.rec(POLYPOLYLINE, {0, 0, 0, 0, 1, 2, 2, 20, 12, 29, 12});
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(rgbPixelOf(im, 2, 3), kBlue);
  EXPECT_EQ(rgbPixelOf(im, 20, 5), kBlue);
  EXPECT_EQ(rgbPixelOf(im, 5, 15), kRed);
  EXPECT_EQ(rgbPixelOf(im, 10, 17), kRed);  // from the polyline's last point down
  EXPECT_EQ(rgbPixelOf(im, 25, 12), kRed);
  im->release();
}

TEST(EmfDecoderPlay, ObjectsLiveInTheSlotsTheirRecordsName) {
  // Selects brush index after the given records and fills a rectangle: the colour inside.
  auto fill = [](std::initializer_list<std::pair<uint32_t, Rgb>> brushes, uint32_t index, uint32_t mode = 0) {
    EmfWriter w(0, 0, 10, 10, 88, 4);
    for (const auto& b : brushes) w.rec(CREATEBRUSH, {b.first, 0, EmfWriter::ref(b.second), 0});
    if (mode) w.rec(SETPOLYFILLMODE, {mode});
    if (index != 0xFFFFFFFFu) w.rec(SELECT, {index});
    w.rec(RECTANGLE, {0, 0, 10, 10});
    w.end();
    RKImage* im = play(w);
    Rgb c = im ? rgbPixelOf(im, 5, 5) : Rgb{1, 2, 3};
    if (im) im->release();
    return c;
  };
  // Created out of order: each in its own slot, whatever the creation order and fill mode.
  EXPECT_EQ(fill({{3, kRed}, {1, kGreen}}, 3), kRed);
  EXPECT_EQ(fill({{3, kRed}, {1, kGreen}}, 1), kGreen);
  EXPECT_EQ(fill({{3, kRed}, {1, kGreen}}, 1, 1), kGreen);
  EXPECT_EQ(fill({{3, kRed}, {1, kGreen}}, 3, 2), kRed);
  // A slot filled again holds the newer object.
  EXPECT_EQ(fill({{2, kRed}, {2, kBlue}}, 2), kBlue);
  // Nothing selected, or an empty or out-of-range slot: the white brush a playback starts with.
  EXPECT_EQ(fill({{1, kRed}}, 0xFFFFFFFFu), kWhite);
  EXPECT_EQ(fill({{1, kRed}}, 2), kWhite);
  EXPECT_EQ(fill({{1, kRed}}, 9), kWhite);
  // Stock brushes by their numbers with bit 31 set.
  EXPECT_EQ(fill({{1, kRed}}, 0x80000004u), kBlack);
  EXPECT_EQ(fill({{1, kRed}}, 0x80000001u), (Rgb{0xC0, 0xC0, 0xC0}));

  // Deleting empties the slot named, and a later record may fill it again.
  EmfWriter w(0, 0, 20, 10, 88, 3);
  brush(w, kRed);  // slot 2
  w.rec(CREATEBRUSH, {1, 0, EmfWriter::ref(kGreen), 0});
  w.rec(DELETEOBJ, {2}).rec(SELECT, {2}).rec(RECTANGLE, {0, 0, 10, 10});
  w.rec(CREATEBRUSH, {2, 0, EmfWriter::ref(kBlue), 0}).rec(SELECT, {2}).rec(RECTANGLE, {10, 0, 20, 10});
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(rgbPixelOf(im, 5, 5), kWhite);
  EXPECT_EQ(rgbPixelOf(im, 0, 5), kBlack);  // the black pen a playback starts with
  EXPECT_EQ(rgbPixelOf(im, 15, 5), kBlue);
  im->release();
}

TEST(EmfDecoderPlay, NullPensAndBrushesDrawNothing) {
  const uint32_t PS_NULL_STYLE = 5, BS_NULL_STYLE = 1;
  EmfWriter w(0, 0, 60, 10, 88, 8);
  w.rec(CREATEPEN, {1, PS_NULL_STYLE, 1, 0, EmfWriter::ref(kBlue)});
  w.rec(CREATEBRUSH, {2, BS_NULL_STYLE, EmfWriter::ref(kBlue), 0});
  w.rec(CREATEPEN, {3, 0, 1, 0, EmfWriter::ref(kGreen)});
  w.rec(CREATEBRUSH, {4, 0, EmfWriter::ref(kRed), 0});
  // Extended pen with the null style.
  w.rec(EXTCREATEPEN, {5, 0, 0, 0, 0, PS_NULL_STYLE, 1, 0, EmfWriter::ref(kBlue), 0, 0});
  w.rec(SELECT, {3}).rec(SELECT, {2}).rec(RECTANGLE, {0, 0, 10, 10});   // green outline, no fill
  w.rec(SELECT, {1}).rec(SELECT, {4}).rec(RECTANGLE, {10, 0, 20, 10});  // red fill, no outline
  w.rec(SELECT, {5}).rec(RECTANGLE, {20, 0, 30, 10});                   // the same
  // The stock null pen and brush.
  w.rec(SELECT, {3}).rec(SELECT, {0x80000005u}).rec(RECTANGLE, {30, 0, 40, 10});
  w.rec(SELECT, {0x80000008u}).rec(SELECT, {4}).rec(RECTANGLE, {40, 0, 50, 10});
  w.rec(SELECT, {0x80000005u}).rec(RECTANGLE, {50, 0, 60, 10});  // nothing at all
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(rgbPixelOf(im, 0, 5), kGreen);
  EXPECT_EQ(countRgb(im, kWhite, 1, 1, 9, 9), 64);
  for (int left : {10, 20, 40}) {
    // With no outline the fill covers all but the right column and the bottom row.
    EXPECT_EQ(countRgb(im, kRed, left, 0, left + 9, 9), 81) << left;
    EXPECT_EQ(countRgb(im, kWhite, left + 9, 0, left + 10, 10), 10) << left;
    EXPECT_EQ(countRgb(im, kWhite, left, 9, left + 10, 10), 10) << left;
  }
  EXPECT_EQ(rgbPixelOf(im, 30, 5), kGreen);
  EXPECT_EQ(countRgb(im, kWhite, 31, 1, 39, 9), 64);
  EXPECT_EQ(countRgb(im, kWhite, 50, 0, 60, 10), 100);
  EXPECT_EQ(countRgb(im, kBlue, 0, 0, 60, 10), 0);
  im->release();
}

TEST(EmfDecoderPlay, PathsSurviveUntilFilledOrStroked) {
  const uint32_t BEGINPATH = 59, ENDPATH = 60, CLOSEFIGURE = 61, FILLPATH = 62, STROKEANDFILLPATH = 63, STROKEPATH = 64,
                 ABORTPATH = 68, POLYBEZIERTO16 = 88, POLYLINETO16 = 89;
  // A square 2..12 built from a line, a straight Bezier curve and a polyline, closed.
  auto square = [&](EmfWriter& w, int x) {
    w.rec(BEGINPATH, {});
    w.rec(MOVETOEX, {uint32_t(x + 2), 2}).rec(LINETO, {uint32_t(x + 12), 2});
    w.recBytes(POLYBEZIERTO16, points16({uint16_t(x + 12), 5, uint16_t(x + 12), 9, uint16_t(x + 12), 12}));
    w.recBytes(POLYLINETO16, points16({uint16_t(x + 2), 12}));
    w.rec(CLOSEFIGURE, {}).rec(ENDPATH, {});
  };
  EmfWriter w(0, 0, 80, 14, 88, 4);
  pen(w, kGreen);
  brush(w, kRed);
  w.rec(SELECT, {1}).rec(SELECT, {2});
  square(w, 0);
  w.rec(FILLPATH, {0, 0, 0, 0});
  square(w, 20);
  w.rec(STROKEPATH, {0, 0, 0, 0});
  square(w, 40);
  w.rec(STROKEANDFILLPATH, {0, 0, 0, 0});
  square(w, 60);
  w.rec(ABORTPATH, {}).rec(FILLPATH, {0, 0, 0, 0});
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  // Filled: the inside in the brush colour, no outline.
  EXPECT_EQ(countRgb(im, kRed, 3, 3, 12, 12), 81);
  EXPECT_EQ(countRgb(im, kGreen, 0, 0, 20, 14), 0);
  // Stroked: the four sides in the pen colour, the inside left white.
  EXPECT_EQ(rgbPixelOf(im, 27, 2), kGreen);
  EXPECT_EQ(rgbPixelOf(im, 32, 7), kGreen);
  EXPECT_EQ(rgbPixelOf(im, 27, 12), kGreen);
  EXPECT_EQ(rgbPixelOf(im, 22, 7), kGreen);
  EXPECT_EQ(countRgb(im, kWhite, 23, 3, 32, 12), 81);
  // Both.
  EXPECT_EQ(rgbPixelOf(im, 42, 7), kGreen);
  EXPECT_EQ(rgbPixelOf(im, 47, 12), kGreen);
  EXPECT_EQ(countRgb(im, kRed, 43, 3, 52, 12), 81);
  // Given up: nothing.
  EXPECT_EQ(countRgb(im, kWhite, 60, 0, 80, 14), 20 * 14);
  im->release();
}

TEST(EmfDecoderPlay, PolyPolygonInsideAnotherIsAHole) {
  EmfWriter w(0, 0, 20, 20);
  brush(w, kBlue);
  w.rec(SELECT, {2}).rec(SETPOLYFILLMODE, {1});
  std::vector<uint8_t> b(16, 0);
  for (uint32_t v : {2u, 8u, 4u, 4u}) put32(b, v);
  for (uint16_t v : {0, 0, 20, 0, 20, 20, 0, 20, 5, 5, 15, 5, 15, 15, 5, 15}) put16(b, v);
  w.recBytes(POLYPOLYGON16, b);
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(rgbPixelOf(im, 2, 10), kBlue);
  EXPECT_EQ(rgbPixelOf(im, 17, 10), kBlue);
  EXPECT_EQ(countRgb(im, kWhite, 6, 6, 15, 15), 81);
  im->release();
}

namespace {

// Plays in bands of three rows.
class BandedEmfDecoder : public RKEMFDecoder {
 protected:
  int bandRows(int, int) override { return 3; }
};

}  // namespace

TEST(EmfDecoderPlay, BandsGiveTheSamePictureAsOnePass) {
  EmfWriter w(0, 0, 40, 20);
  pen(w, kBlue);
  brush(w, kRed);
  w.rec(SELECT, {1}).rec(SELECT, {2});
  w.rec(RECTANGLE, {1, 1, 12, 17});
  w.rec(ROUNDRECT, {14, 2, 26, 19, 5, 5});
  w.rec(PIE, {26, 0, 40, 14, 40, 7, 33, 0});
  w.recBytes(POLYGON16, points16({2, 19, 20, 4, 38, 19}));
  w.rec(MOVETOEX, {0, 0}).rec(LINETO, {39, 19});
  w.recBytes(88, points16({10, 0, 30, 20, 39, 5}));  // POLYBEZIERTO16
  w.rec(SETPIXELV, {5, 10, 0x00302010});
  w.recBytes(STRETCHDIBITS, stretchDibits(30, 14, 2, 2, 24, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}));
  w.rec(SETTEXTCOLOR, {0x00FF00});
  w.recBytes(EXTTEXTOUTA, extText(3, 4, u"Hg", false));
  w.end();
  RKImage* whole = play(w);
  ASSERT_NE(whole, nullptr);
  BandedEmfDecoder banded;
  banded.addRef();
  ASSERT_EQ(banded.openMemory(w.bytes.data(), int(w.bytes.size())), 1);
  RKImage* bands = banded.getImage();
  ASSERT_NE(bands, nullptr);
  EXPECT_TRUE(samePixels(whole, bands));
  EXPECT_LT(countRgb(bands, kWhite, 0, 0, 40, 20), 500);
  whole->release();
  bands->release();
}

TEST(EmfDecoderPlay, TheHandleCountCostsNoObjectsAndNothingPerBand) {
  // A canvas played in bands, its objects in the first slots, deleted and made again.
  auto picture = [](uint16_t handles) {
    EmfWriter w(0, 0, 1200, 1000, 88, handles);
    pen(w, kBlue);
    brush(w, kRed);
    w.rec(SELECT, {1}).rec(SELECT, {2});
    w.rec(RECTANGLE, {10, 10, 600, 990});
    w.rec(DELETEOBJ, {2});
    w.rec(CREATEBRUSH, {2, 0, EmfWriter::ref(kGreen), 0}).rec(SELECT, {2});
    w.rec(ROUNDRECT, {500, 100, 1190, 900, 40, 40});
    w.rec(MOVETOEX, {0, 999}).rec(LINETO, {1199, 0});
    w.end();
    return w;
  };
  SlotPlays plays = playWithFewAndManySlots(picture, play);
  ASSERT_NE(plays.few, nullptr);
  ASSERT_NE(plays.many, nullptr);
  EXPECT_TRUE(samePixels(plays.few, plays.many));
  EXPECT_EQ(rgbPixelOf(plays.many, 100, 500), kRed);
  EXPECT_EQ(rgbPixelOf(plays.many, 1000, 500), kGreen);
  // Fewer allocations for the 65519 further slots than slots, let alone slots times bands.
  EXPECT_LT(plays.extraAllocations, 65519);
  plays.few->release();
  plays.many->release();
}

TEST(EmfDecoderPlay, TextRecordsDrawInTheTextColour) {
  for (uint32_t type : {EXTTEXTOUTA, EXTTEXTOUTW}) {
    EmfWriter w(0, 0, 80, 30);
    pen(w, kBlue);
    w.rec(SELECT, {1});
    w.rec(SETTEXTCOLOR, {255});  // red
    w.recBytes(type, extText(4, 5, u"HH", type == EXTTEXTOUTW));
    w.rec(MOVETOEX, {0, 28}).rec(LINETO, {80, 28});
    w.end();
    RKImage* im = play(w);
    ASSERT_NE(im, nullptr);
    EXPECT_GT(countRgb(im, kRed, 0, 0, 80, 28), 10) << type;
    EXPECT_EQ(countRgb(im, kRed, 0, 0, 3, 28), 0);
    EXPECT_EQ(countRgb(im, kWhite, 0, 0, 80, 4), 320);
    EXPECT_EQ(countRgb(im, kWhite, 40, 0, 80, 28), 40 * 28);
    EXPECT_EQ(rgbPixelOf(im, 40, 28), kBlue);
    im->release();
  }
  // POLYTEXTOUTA: two strings, each at its own point.
  EmfWriter w(0, 0, 80, 60);
  std::vector<uint8_t> b(16, 0);
  for (uint32_t v : {1u, 0u, 0u, 2u}) put32(b, v);
  for (uint32_t v : {4u, 2u, 1u, 120u}) put32(b, v);
  b.resize(b.size() + 24, 0);
  for (uint32_t v : {44u, 32u, 1u, 121u}) put32(b, v);
  b.resize(b.size() + 24, 0);
  b.push_back('H');
  b.push_back('H');
  w.recBytes(POLYTEXTOUTA, b);
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_GT(countRgb(im, kBlack, 0, 0, 30, 30), 5);
  EXPECT_GT(countRgb(im, kBlack, 40, 30, 80, 60), 5);
  EXPECT_EQ(countRgb(im, kWhite, 40, 0, 80, 30), 40 * 30);
  im->release();
}

TEST(EmfDecoderPlay, BitmapsKeepRowOrderAndPadding) {
  // 24 bits, 3 x 2 stored bottom row first with rows padded to 12 bytes: the top row is red,
  // green, blue; the bottom one white, black, white.
  std::vector<uint8_t> rows = {255, 255, 255, 0, 0,   0, 255, 255, 255, 0, 0, 0,
                               0,   0,   255, 0, 255, 0, 255, 0,   0,   0, 0, 0};
  // 32 bits, 2 x 2 stored top row first.
  std::vector<uint8_t> top = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0};
  EmfWriter w(0, 0, 20, 20);
  w.recBytes(STRETCHDIBITS, stretchDibits(2, 3, 3, 2, 24, rows));
  w.recBytes(BITBLT, bitblt(10, 10, 2, -2, 32, top));
  w.recBytes(BITBLT, bitblt(15, 15, 2, 2, 8, {1, 2, 0, 0, 3, 4, 0, 0}));  // not drawable
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(rgbPixelOf(im, 2, 3), kRed);
  EXPECT_EQ(rgbPixelOf(im, 3, 3), kGreen);
  EXPECT_EQ(rgbPixelOf(im, 4, 3), kBlue);
  EXPECT_EQ(rgbPixelOf(im, 2, 4), kWhite);
  EXPECT_EQ(rgbPixelOf(im, 3, 4), kBlack);
  EXPECT_EQ(rgbPixelOf(im, 4, 4), kWhite);
  EXPECT_EQ(rgbPixelOf(im, 10, 10), kRed);
  EXPECT_EQ(rgbPixelOf(im, 11, 10), kGreen);
  EXPECT_EQ(rgbPixelOf(im, 10, 11), kBlue);
  EXPECT_EQ(rgbPixelOf(im, 11, 11), kBlack);
  EXPECT_EQ(countRgb(im, kWhite, 15, 15, 17, 17), 4);
  im->release();
}

TEST(EmfDecoderPlay, CachesAndDecodesIntoImages) {
  EmfWriter w(0, 0, 6, 4);
  brush(w, kRed);
  w.rec(SELECT, {2}).rec(RECTANGLE, {0, 0, 6, 4});
  w.end();
  RKEMFDecoder d;
  ASSERT_EQ(d.openMemory(w.bytes.data(), int(w.bytes.size())), 1);
  RKImage* a = d.getImage();
  RKImage* b = d.getImage();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  std::vector<uint8_t> raw(72);
  EXPECT_EQ(d.readRaw(raw.data()), 72);
  EXPECT_EQ(raw[(1 * 6 + 1) * 3], 255);
  RKImage* target = new RKImage();
  target->addRef();
  EXPECT_EQ(d.decodeTo(target), 1);
  EXPECT_EQ(target->getWidth(), 6);
  EXPECT_EQ(target->getPixelType(), 1003u);
  EXPECT_EQ(rgbPixelOf(target, 2, 2), kRed);
  RKBuffer* buffer = new RKBuffer();
  buffer->addRef();
  EXPECT_EQ(d.decodeTo(buffer), 0);
  buffer->release();
  target->release();
  a->release();
  b->release();
}

TEST(EmfDecoderPlay, TraceFileOnAnUnmappedDriveWritesNothing) {
  TempPrefix prefix;
  std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(prefix.root());
  EmfWriter w(0, 0, 4, 4);
  w.rec(MOVETOEX, {1, 1});
  w.end();
  RKImage* im = play(w);
  EXPECT_NE(im, nullptr);
  if (im) im->release();
  size_t entries = 0;
  for (auto& e : std::filesystem::recursive_directory_iterator(prefix.root())) {
    (void)e;
    ++entries;
  }
  std::filesystem::current_path(here);
  EXPECT_EQ(entries, 1u);  // drive_c only
}

// ---- malformed records ----

TEST(EmfDecoderMalformed, BadRecordSizesEndThePlayback) {
  for (uint32_t size : {0u, 4u, 7u, 0x7FFFFFF0u, 0xFFFFFFFFu, 400u}) {
    EmfWriter w(0, 0, 10, 10);
    brush(w, kRed);
    w.rec(SELECT, {2}).rec(RECTANGLE, {0, 0, 5, 5});
    w.recSized(RECTANGLE, size, {5, 5, 10, 10});
    w.rec(RECTANGLE, {5, 5, 10, 10});
    w.end();
    RKImage* im = play(w);
    ASSERT_NE(im, nullptr) << size;
    EXPECT_EQ(rgbPixelOf(im, 2, 2), kRed) << size;
    EXPECT_EQ(rgbPixelOf(im, 7, 7), kWhite) << size;
    im->release();
  }
  // Truncated anywhere in the last record, or without an end record.
  EmfWriter w(0, 0, 10, 10);
  brush(w, kRed);
  w.rec(SELECT, {2}).rec(RECTANGLE, {0, 0, 5, 5});
  size_t full = w.bytes.size();
  w.rec(RECTANGLE, {5, 5, 10, 10});
  for (size_t cut = full; cut < w.bytes.size(); ++cut) {
    RKEMFDecoder d;
    ASSERT_EQ(d.openMemory(w.bytes.data(), int(cut)), 1);
    RKImage* im = d.getImage();
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(rgbPixelOf(im, 2, 2), kRed);
    EXPECT_EQ(rgbPixelOf(im, 7, 7), kWhite) << cut;
    im->release();
  }
}

TEST(EmfDecoderMalformed, LyingCountsAndOffsetsAreSkipped) {
  EmfWriter w(0, 0, 20, 20, 88, 4);
  brush(w, kRed);
  w.rec(SELECT, {2});
  w.rec(RECTANGLE, {0, 0, 10});
  w.rec(SELECT, {});
  w.rec(CREATEBRUSH, {3, 0});
  w.rec(CREATEPEN, {3, 0, 0});
  w.rec(POLYLINE, {0, 0, 0, 0, 100, 1, 1, 5, 5});
  w.rec(POLYLINE, {0, 0, 0, 0, 0x40000000, 1, 1});
  w.recBytes(POLYGON16, std::vector<uint8_t>(18, 0));
  w.rec(POLYPOLYLINE, {0, 0, 0, 0, 2, 3, 1, 1, 1, 1, 5, 5, 9, 9});  // counts 1 + 1 != 3
  w.rec(POLYPOLYLINE, {0, 0, 0, 0, 0x40000000, 2, 1});
  w.rec(POLYPOLYLINE, {0, 0, 0, 0, 1, 50, 50});
  std::vector<uint8_t> t = extText(1, 1, u"HH", false);
  set32(t, 40, 0x7FFFFFFF);  // string offset beyond the record
  w.recBytes(EXTTEXTOUTA, t);
  t = extText(1, 1, u"HH", true);
  set32(t, 36, 1000);  // count beyond the record
  w.recBytes(EXTTEXTOUTW, t);
  w.rec(POLYTEXTOUTA, {0, 0, 0, 0, 1, 0, 0, 5000000});
  w.rec(EXTTEXTOUTA, {0, 0, 0, 0, 1, 0, 0, 1, 1});
  std::vector<uint8_t> rows(24, 0);
  std::vector<uint8_t> bmp = stretchDibits(0, 0, 4, 2, 24, rows);  // 24 bytes for 2 x 12 needed... 4 px: 12
  set32(bmp, 52, 23);                                              // bits size below the rows
  w.recBytes(STRETCHDIBITS, bmp);
  bmp = stretchDibits(0, 0, 3, 2, 24, rows);
  set32(bmp, 48, 0xFFFFFFF0);  // bits offset beyond the record
  w.recBytes(STRETCHDIBITS, bmp);
  bmp = stretchDibits(0, 0, 3, 2, 24, rows);
  set32(bmp, 40, 5000);  // header offset beyond the record
  w.recBytes(STRETCHDIBITS, bmp);
  bmp = stretchDibits(0, 0, 3, 2, 24, rows);
  set32(bmp, 44, 0);  // no header
  w.recBytes(STRETCHDIBITS, bmp);
  bmp = stretchDibits(0, 0, 0x7FFFFFFF, 2, 24, rows);
  w.recBytes(STRETCHDIBITS, bmp);
  bmp = bitblt(0, 0, 3, 2, 24, rows);
  bmp.resize(80);
  w.recBytes(BITBLT, bmp);
  w.rec(SETPIXELV, {1, 1});
  w.rec(LINETO, {5});
  w.rec(ROUNDRECT, {0, 0, 5, 5, 1});
  w.rec(RECTANGLE, {10, 10, 20, 20});  // still played
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(countRgb(im, kWhite, 0, 0, 10, 10), 100);
  EXPECT_EQ(rgbPixelOf(im, 15, 15), kRed);
  im->release();
}
