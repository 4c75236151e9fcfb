// The placeable-metafile decoder: header checks, records played into pixels, malformed records.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "IRKCoder.h"
#include "MetafileTestSupport.h"
#include "RKParam.h"
#include "RKWMFDecoder.h"

using namespace RKSDK;
using namespace rktest;

namespace {

const uint16_t REC_CREATEBRUSH = 0x02FC, REC_CREATEPEN = 0x02FA, REC_SELECT = 0x012D, REC_DELETEOBJ = 0x01F0,
               REC_RECTANGLE = 0x041B, REC_ELLIPSE = 0x0418, REC_ROUNDRECT = 0x061C, REC_LINETO = 0x0213,
               REC_MOVETO = 0x0214, REC_SETPIXEL = 0x041F, REC_POLYGON = 0x0324, REC_POLYLINE = 0x0325,
               REC_POLYPOLYGON = 0x0538, REC_SETWINDOWEXT = 0x020C, REC_SETPOLYFILLMODE = 0x0106,
               REC_SETTEXTCOLOR = 0x0209, REC_TEXTOUT = 0x0521, REC_EXTTEXTOUT = 0x0A32, REC_STRETCHDIB = 0x0F43,
               REC_ARC = 0x0817, REC_CREATEFONT = 0x02FB;

// Plays the metafile; the image (type 1005) holds one reference, or is null.
RKImage* play(const WmfWriter& w) {
  RKWMFDecoder d;
  d.addRef();
  if (!d.openMemory(w.bytes.data(), int(w.bytes.size()))) return nullptr;
  return d.getImage();
}

void brush(WmfWriter& w, Rgb c) { w.rec(REC_CREATEBRUSH, {0, WmfWriter::rg(c), WmfWriter::b0(c), 0}); }
void pen(WmfWriter& w, Rgb c) { w.rec(REC_CREATEPEN, {0, 1, 0, WmfWriter::rg(c), WmfWriter::b0(c)}); }

// The body of a REC_STRETCHDIB drawing a bitmap 1:1 at (x, y): words, header, palette and rows.
std::vector<uint8_t> stretchDib(int x, int y, int width, int height, int bits, const std::vector<uint8_t>& palette,
                                const std::vector<uint8_t>& rows, uint32_t compression = 0) {
  std::vector<uint8_t> b;
  int h = height < 0 ? -height : height;
  for (uint16_t v : {uint16_t(0x0020), uint16_t(0x00CC), uint16_t(0), uint16_t(h), uint16_t(width), uint16_t(0),
                     uint16_t(0), uint16_t(h), uint16_t(width), uint16_t(y), uint16_t(x)})
    put16(b, v);
  put32(b, 40);
  put32(b, uint32_t(width));
  put32(b, uint32_t(height));
  put16(b, 1);
  put16(b, uint16_t(bits));
  put32(b, compression);
  for (int i = 0; i < 5; ++i) put32(b, 0);
  b.insert(b.end(), palette.begin(), palette.end());
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

struct Recorder : IRKCoderListener {
  std::vector<std::pair<int, int>> rows;
  int finished = 0;
  void rowDecoded(int row, int count) override { rows.push_back({row, count}); }
  void decodeFinished() override { ++finished; }
};

}  // namespace

// ---- header ----

TEST(WmfDecoderHeader, SizeFromBoxAndUnitsPerInch) {
  WmfWriter w(0, 0, 2880, 1440, 1440);
  w.end();
  RKWMFDecoder d;
  ASSERT_EQ(d.openMemory(w.bytes.data(), int(w.bytes.size())), 1);
  EXPECT_EQ(d.getWidth(), 192);
  EXPECT_EQ(d.getHeight(), 96);
  RKParam info;
  ASSERT_EQ(d.getInfo(&info), 1);
  EXPECT_EQ(info.getInt("IMAGE_ImageType"), 1003);
  EXPECT_EQ(info.getInt("IMAGE_Width"), 192);
  EXPECT_EQ(info.getInt("IMAGE_Height"), 96);
  EXPECT_EQ(d.readRaw(nullptr), 192 * 96 * 3);
}

TEST(WmfDecoderHeader, RefusesBadHeaders) {
  struct Case {
    WmfWriter w;
    const char* what;
  } cases[] = {
      {WmfWriter(0, 0, 10, 10, 96, 4, false), "checksum"},
      {WmfWriter(0, 0, 10, 10, 0), "zero units per inch"},
      {WmfWriter(10, 0, 5, 10), "right left of left"},
      {WmfWriter(0, 10, 10, 5), "bottom above top"},
  };
  for (auto& c : cases) {
    c.w.end();
    RKWMFDecoder d;
    EXPECT_EQ(d.openMemory(c.w.bytes.data(), int(c.w.bytes.size())), 0) << c.what;
    RKParam info;
    EXPECT_EQ(d.getInfo(&info), 0) << c.what;
    EXPECT_EQ(d.getImage(), nullptr) << c.what;
  }
  WmfWriter good(0, 0, 10, 10);
  for (size_t n : {size_t(0), size_t(10), size_t(21), size_t(30), size_t(39)}) {
    RKWMFDecoder d;
    EXPECT_EQ(d.openMemory(good.bytes.data(), int(n)), 0) << n;
  }
  RKWMFDecoder d;
  EXPECT_EQ(d.openMemory(nullptr, 10), 0);
  EXPECT_EQ(d.openMemory(good.bytes.data(), -1), 0);
  EXPECT_EQ(d.readRaw(nullptr), 0);
}

TEST(WmfDecoderHeader, OpenContentsReportsTheOpen) {
  WmfWriter w(0, 0, 8, 4);
  w.end();
  RKImage* file = new RKImage(3001, w.bytes.data(), int(w.bytes.size()), 0, 0, 0, 0, 0);
  file->addRef();
  RKWMFDecoder d;
  EXPECT_EQ(d.openContents(file), 1);
  EXPECT_EQ(d.getWidth(), 8);
  file->release();
  std::vector<uint8_t> junk(60, 0x41);
  RKImage* bad = new RKImage(3001, junk.data(), int(junk.size()), 0, 0, 0, 0, 0);
  bad->addRef();
  EXPECT_EQ(d.openContents(bad), 0);
  EXPECT_EQ(d.openMemory(junk.data(), int(junk.size())), 0);
  EXPECT_EQ(d.openContents(nullptr), 0);
  bad->release();
}

// ---- playback ----

TEST(WmfDecoderPlay, HeadersAndEndGiveAWhiteCanvas) {
  WmfWriter w(0, 0, 12, 7);
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(im->getPixelType(), 1005u);
  EXPECT_EQ(im->getWidth(), 12);
  EXPECT_EQ(im->getHeight(), 7);
  EXPECT_EQ(countNot(im, kWhite, 0, 0, 12, 7), 0);
  im->release();
}

TEST(WmfDecoderPlay, RectangleEllipseAndRoundRectUseSelectedPenAndBrush) {
  WmfWriter w(0, 0, 60, 20);
  pen(w, kBlue);
  brush(w, kRed);
  w.rec(REC_SELECT, {0}).rec(REC_SELECT, {1});
  w.rec(REC_RECTANGLE, {10, 10, 0, 0});         // bottom, right, top, left
  w.rec(REC_ELLIPSE, {20, 40, 0, 20});          // drawn
  w.rec(REC_ROUNDRECT, {4, 4, 20, 60, 0, 42});  // ellipse 4 x 4
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(pixelOf(im, 0, 0), kBlue);
  EXPECT_EQ(pixelOf(im, 9, 5), kBlue);
  EXPECT_EQ(pixelOf(im, 5, 5), kRed);
  EXPECT_EQ(countNot(im, kRed, 1, 1, 9, 9), 0);
  EXPECT_EQ(pixelOf(im, 10, 10), kWhite);  // right and bottom left out
  EXPECT_EQ(pixelOf(im, 30, 10), kRed);    // ellipse centre
  EXPECT_EQ(pixelOf(im, 20, 0), kWhite);   // its bounding corner
  EXPECT_EQ(pixelOf(im, 51, 10), kRed);    // round rectangle interior
  im->release();
}

TEST(WmfDecoderPlay, LineToDrawsFromTheCurrentPosition) {
  WmfWriter w(0, 0, 20, 10);
  pen(w, kGreen);
  w.rec(REC_SELECT, {0});
  w.rec(REC_MOVETO, {3, 2});  // y, x
  w.rec(REC_LINETO, {3, 12});
  w.rec(REC_LINETO, {8, 12});
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  for (int x = 2; x < 12; ++x) EXPECT_EQ(pixelOf(im, x, 3), kGreen) << x;
  EXPECT_EQ(pixelOf(im, 1, 3), kWhite);
  for (int y = 3; y < 8; ++y) EXPECT_EQ(pixelOf(im, 12, y), kGreen) << y;
  EXPECT_EQ(pixelOf(im, 12, 8), kWhite);  // the last end point is not drawn
  EXPECT_EQ(countNot(im, kWhite, 0, 0, 20, 10), 15);
  im->release();
}

TEST(WmfDecoderPlay, SetPixelAndArc) {
  WmfWriter w(0, 0, 40, 40);
  w.rec(REC_SETPIXEL, {WmfWriter::rg(Rgb{10, 20, 30}), WmfWriter::b0(Rgb{10, 20, 30}), 5, 7});
  pen(w, kRed);
  w.rec(REC_SELECT, {0});
  // A full ellipse (start equals end) inside 10..30.
  w.rec(REC_ARC, {10, 20, 10, 20, 30, 30, 10, 10});
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(pixelOf(im, 7, 5), (Rgb{10, 20, 30}));
  EXPECT_GT(countBgr(im, kRed, 10, 10, 30, 30), 20);
  EXPECT_EQ(pixelOf(im, 20, 20), kWhite);  // an arc is not filled
  EXPECT_EQ(countNot(im, kWhite, 31, 0, 40, 40), 0);
  im->release();
}

TEST(WmfDecoderPlay, PolygonsPolylinesAndMapping) {
  WmfWriter w(0, 0, 40, 20);
  brush(w, kGreen);
  pen(w, kGreen);
  w.rec(REC_SELECT, {0}).rec(REC_SELECT, {1});
  w.rec(REC_SETWINDOWEXT, {200, 400});  // height, width: ten times the image
  // Inside the image: drawn where it stands although an extent is set.
  w.rec(REC_POLYGON, {4, 2, 2, 10, 2, 10, 10, 2, 10});
  // One point beyond the width: every point maps through the extent (x / 10, y / 10).
  w.rec(REC_POLYGON, {4, 200, 20, 300, 20, 300, 100, 200, 100});
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(pixelOf(im, 6, 6), kGreen);
  EXPECT_EQ(pixelOf(im, 25, 6), kGreen);
  EXPECT_EQ(pixelOf(im, 35, 6), kWhite);
  im->release();

  // The pen colour 31, 26, 23 leaves polygons out, not polylines.
  WmfWriter s(0, 0, 20, 20);
  brush(s, kRed);
  pen(s, Rgb{31, 26, 23});
  s.rec(REC_SELECT, {0}).rec(REC_SELECT, {1});
  s.rec(REC_POLYGON, {4, 2, 2, 10, 2, 10, 10, 2, 10});
  s.rec(REC_POLYLINE, {2, 2, 15, 12, 15});
  s.rec(REC_POLYPOLYGON, {1, 4, 12, 2, 18, 2, 18, 8, 12, 8});
  s.end();
  im = play(s);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(pixelOf(im, 6, 6), kWhite);
  EXPECT_EQ(pixelOf(im, 5, 15), (Rgb{31, 26, 23}));
  EXPECT_EQ(pixelOf(im, 15, 5), kRed);  // poly-polygons skip the colour test
  im->release();
}

TEST(WmfDecoderPlay, PolyPolygonDrawsEachList) {
  WmfWriter w(0, 0, 30, 10);
  brush(w, kBlue);
  w.rec(REC_SELECT, {0});
  w.rec(REC_POLYPOLYGON, {2, 3, 4, 1, 1, 8, 1, 1, 8, 12, 1, 28, 1, 28, 9, 12, 9});
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(pixelOf(im, 2, 3), kBlue);
  EXPECT_EQ(pixelOf(im, 20, 5), kBlue);
  EXPECT_EQ(pixelOf(im, 10, 5), kWhite);
  im->release();
}

TEST(WmfDecoderPlay, ObjectStoresFollowThePolyFillMode) {
  // A, B created; index 0 deleted; C created: the table holds C, B, the list B, C.
  auto file = [](uint16_t mode, uint16_t index) {
    WmfWriter w(0, 0, 10, 10, 96, 2);
    brush(w, kRed);
    brush(w, kGreen);
    w.rec(REC_DELETEOBJ, {0});
    brush(w, kBlue);
    pen(w, kBlack);  // fills no table entry (the table is full) but joins the list
    w.rec(REC_SELECT, {3});
    if (mode) w.rec(REC_SETPOLYFILLMODE, {mode});
    w.rec(REC_SELECT, {index});
    w.rec(REC_RECTANGLE, {10, 10, 0, 0});
    w.end();
    RKImage* im = play(w);
    Rgb c = im ? pixelOf(im, 5, 5) : kBlack;
    if (im) im->release();
    return c;
  };
  EXPECT_EQ(file(0, 0), kGreen);  // list
  EXPECT_EQ(file(0, 1), kBlue);
  EXPECT_EQ(file(2, 1), kBlue);
  EXPECT_EQ(file(1, 0), kBlue);  // table
  EXPECT_EQ(file(1, 1), kGreen);
  // Beyond the table or the list nothing is selected: the back-end's own brush stays.
  Rgb none = file(1, 7);
  EXPECT_EQ(file(0, 9), none);
  EXPECT_FALSE(none == kRed || none == kGreen || none == kBlue);
}

TEST(WmfDecoderPlay, NullPensAndBrushesAndPatternBrushSlots) {
  const uint16_t DIBCREATEPATTERNBRUSH = 0x0142, PS_NULL_STYLE = 5, BS_NULL_STYLE = 1;
  WmfWriter w(0, 0, 40, 10, 96, 8);
  w.rec(REC_CREATEPEN, {PS_NULL_STYLE, 1, 0, WmfWriter::rg(kBlue), WmfWriter::b0(kBlue)});  // 0
  w.rec(REC_CREATEBRUSH, {BS_NULL_STYLE, WmfWriter::rg(kBlue), WmfWriter::b0(kBlue), 0});   // 1
  w.recBytes(DIBCREATEPATTERNBRUSH, std::vector<uint8_t>(8 + 40 + 8 + 4, 0));               // 2
  pen(w, kGreen);                                                                           // 3
  brush(w, kRed);                                                                           // 4
  w.rec(REC_SETPOLYFILLMODE, {1});                                                          // selections by table entry
  w.rec(REC_SELECT, {3}).rec(REC_SELECT, {1}).rec(REC_RECTANGLE, {10, 10, 0, 0});           // green outline, no fill
  w.rec(REC_SELECT, {0}).rec(REC_SELECT, {4}).rec(REC_RECTANGLE, {10, 20, 0, 10});          // red fill, no outline
  w.rec(REC_SELECT, {1}).rec(REC_RECTANGLE, {10, 30, 0, 20});                               // nothing
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(pixelOf(im, 0, 5), kGreen);
  EXPECT_EQ(countBgr(im, kWhite, 1, 1, 9, 9), 64);
  EXPECT_EQ(countBgr(im, kRed, 10, 0, 19, 9), 81);
  EXPECT_EQ(countBgr(im, kWhite, 19, 0, 20, 10), 10);
  EXPECT_EQ(countBgr(im, kWhite, 20, 0, 40, 10), 200);
  EXPECT_EQ(countBgr(im, kBlue, 0, 0, 40, 10), 0);
  im->release();
}

TEST(WmfDecoderPlay, PolyPolygonInsideAnotherIsAHoleAndTheDefaultBrushIsWhite) {
  WmfWriter w(0, 0, 40, 20);
  w.rec(REC_SETPOLYFILLMODE, {1});
  w.rec(REC_POLYPOLYGON, {2, 4, 4, 0, 0, 20, 0, 20, 20, 0, 20, 5, 5, 15, 5, 15, 15, 5, 15});
  brush(w, kBlue);
  w.rec(REC_SELECT, {0});
  w.rec(REC_POLYPOLYGON, {2, 4, 4, 20, 0, 40, 0, 40, 20, 20, 20, 25, 5, 35, 5, 35, 15, 25, 15});
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  // No brush selected: white inside a black outline.
  EXPECT_EQ(pixelOf(im, 0, 10), kBlack);
  EXPECT_EQ(countBgr(im, kWhite, 1, 1, 19, 19) + countBgr(im, kBlack, 1, 1, 19, 19), 18 * 18);
  EXPECT_EQ(countBgr(im, kWhite, 6, 6, 15, 15), 81);
  EXPECT_EQ(pixelOf(im, 22, 10), kBlue);
  EXPECT_EQ(countBgr(im, kWhite, 26, 6, 35, 15), 81);
  im->release();
}

namespace {

// Plays in bands of three rows.
class BandedWmfDecoder : public RKWMFDecoder {
 protected:
  int bandRows(int, int) override { return 3; }
};

}  // namespace

TEST(WmfDecoderPlay, BandsGiveTheSamePictureAsOnePass) {
  WmfWriter w(0, 0, 40, 20);
  pen(w, kBlue);
  brush(w, kRed);
  w.rec(REC_SELECT, {0}).rec(REC_SELECT, {1});
  w.rec(REC_RECTANGLE, {17, 12, 1, 1});
  w.rec(REC_ELLIPSE, {19, 26, 2, 14});
  w.rec(REC_ROUNDRECT, {5, 5, 19, 39, 2, 27});
  w.rec(REC_POLYGON, {3, 2, 19, 20, 4, 38, 19});
  w.rec(REC_MOVETO, {0, 0}).rec(REC_LINETO, {19, 39});
  w.rec(REC_ARC, {0, 39, 10, 20, 20, 10, 0, 0});
  w.rec(REC_SETPIXEL, {0x1020, 0x30, 10, 5});
  w.recBytes(REC_STRETCHDIB, stretchDib(30, 14, 2, 2, 24, {}, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}));
  w.rec(REC_SETTEXTCOLOR, {WmfWriter::rg(kGreen), WmfWriter::b0(kGreen)});
  w.recBytes(REC_TEXTOUT, {2, 0, 'H', 'g', 4, 0, 3, 0});
  w.end();
  RKImage* whole = play(w);
  ASSERT_NE(whole, nullptr);
  BandedWmfDecoder banded;
  banded.addRef();
  ASSERT_EQ(banded.openMemory(w.bytes.data(), int(w.bytes.size())), 1);
  RKImage* bands = banded.getImage();
  ASSERT_NE(bands, nullptr);
  EXPECT_TRUE(samePixels(whole, bands));
  EXPECT_LT(countBgr(bands, kWhite, 0, 0, 40, 20), 500);
  whole->release();
  bands->release();
}

TEST(WmfDecoderPlay, TheObjectCountCostsNoObjectsAndNothingPerBand) {
  // A canvas played in bands, its objects in the first slots, deleted and made again.
  auto picture = [](uint16_t objects) {
    WmfWriter w(0, 0, 1200, 1000, 96, objects);
    pen(w, kBlue);
    brush(w, kRed);
    w.rec(REC_SELECT, {0}).rec(REC_SELECT, {1});
    w.rec(REC_RECTANGLE, {990, 600, 10, 10});
    w.rec(REC_DELETEOBJ, {1});
    brush(w, kGreen);
    w.rec(REC_SELECT, {1});
    w.rec(REC_ROUNDRECT, {40, 40, 900, 1190, 100, 500});
    w.rec(REC_MOVETO, {999, 0}).rec(REC_LINETO, {0, 1199});
    w.end();
    return w;
  };
  SlotPlays plays = playWithFewAndManySlots(picture, play);
  ASSERT_NE(plays.few, nullptr);
  ASSERT_NE(plays.many, nullptr);
  EXPECT_TRUE(samePixels(plays.few, plays.many));
  EXPECT_EQ(pixelOf(plays.many, 100, 500), kRed);
  EXPECT_EQ(pixelOf(plays.many, 1000, 500), kGreen);
  // Fewer allocations for the 65519 further slots than slots, let alone slots times bands.
  EXPECT_LT(plays.extraAllocations, 65519);
  plays.few->release();
  plays.many->release();
}

TEST(WmfDecoderPlay, TextInTheTextColour) {
  WmfWriter w(0, 0, 80, 30);
  pen(w, kBlue);
  w.rec(REC_SELECT, {0});
  w.rec(REC_SETTEXTCOLOR, {WmfWriter::rg(kRed), WmfWriter::b0(kRed)});
  // REC_TEXTOUT of an odd length: the position follows the padding byte.
  std::vector<uint8_t> body;
  put16(body, 3);
  for (char c : std::string("HHH")) body.push_back(uint8_t(c));
  body.push_back(0);  // padding
  put16(body, 5);     // y
  put16(body, 4);     // x
  w.recBytes(REC_TEXTOUT, body);
  // A line after the text is in the pen colour again.
  w.rec(REC_MOVETO, {28, 0}).rec(REC_LINETO, {28, 80});
  // REC_EXTTEXTOUT without a rectangle clips everything away.
  std::vector<uint8_t> ext;
  for (uint16_t v : {uint16_t(5), uint16_t(50), uint16_t(2), uint16_t(0)}) put16(ext, v);
  ext.push_back('H');
  ext.push_back('H');
  w.recBytes(REC_EXTTEXTOUT, ext);
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  int red = countBgr(im, kRed, 0, 0, 80, 28);
  EXPECT_GT(red, 10);
  EXPECT_EQ(countBgr(im, kRed, 0, 0, 3, 28), 0);    // nothing left of x
  EXPECT_EQ(countNot(im, kWhite, 0, 0, 80, 4), 0);  // nothing above y
  EXPECT_EQ(countNot(im, kWhite, 45, 0, 80, 28), 0);
  EXPECT_EQ(pixelOf(im, 40, 28), kBlue);
  im->release();
}

TEST(WmfDecoderPlay, ExtTextOutWithAClipRectangleAndAFont) {
  WmfWriter w(0, 0, 80, 40);
  std::vector<uint8_t> font;
  put16(font, uint16_t(-20));  // height
  put16(font, 0);
  put16(font, 0);
  put16(font, 0);
  put16(font, 700);
  font.insert(font.end(), {0, 0, 0, 0, 0, 0, 0, 0});
  for (char c : std::string("DejaVu Sans  ")) font.push_back(uint8_t(c));
  font.push_back(0);
  w.recBytes(REC_CREATEFONT, font);
  w.rec(REC_SELECT, {0});
  std::vector<uint8_t> ext;
  for (uint16_t v :
       {uint16_t(10), uint16_t(10), uint16_t(2), uint16_t(4), uint16_t(10), uint16_t(10), uint16_t(60), uint16_t(35)})
    put16(ext, v);
  ext.push_back('M');
  ext.push_back('M');
  w.recBytes(REC_EXTTEXTOUT, ext);
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_GT(countBgr(im, kBlack, 10, 10, 60, 35), 20);
  EXPECT_EQ(countNot(im, kWhite, 0, 0, 80, 10), 0);
  EXPECT_EQ(countNot(im, kWhite, 60, 0, 80, 40), 0);
  im->release();
}

TEST(WmfDecoderPlay, StretchDibRowOrderAndFormats) {
  // 24 bits, 3 x 2, bottom row first: the top row is red, green, blue; the bottom row white,
  // black, white. Rows are padded to 12 bytes.
  std::vector<uint8_t> rows = {255, 255, 255, 0, 0,   0, 255, 255, 255, 0, 0, 0,
                               0,   0,   255, 0, 255, 0, 255, 0,   0,   0, 0, 0};
  WmfWriter w(0, 0, 20, 20);
  w.recBytes(REC_STRETCHDIB, stretchDib(2, 3, 3, 2, 24, {}, rows));
  // 1 bit, 2 x 2, top row first (negative height), palette black and red.
  std::vector<uint8_t> mono = {0x80, 0, 0, 0, 0x40, 0, 0, 0};
  w.recBytes(REC_STRETCHDIB, stretchDib(10, 10, 2, -2, 1, {0, 0, 0, 0, 0, 0, 255, 0}, mono));
  // 16 bits 5-6-5 through bit fields, one pixel of pure green.
  std::vector<uint8_t> masks;
  put32(masks, 0xF800);
  put32(masks, 0x07E0);
  put32(masks, 0x001F);
  std::vector<uint8_t> g565 = {0xE0, 0x07, 0, 0};
  std::vector<uint8_t> body = stretchDib(15, 15, 1, 1, 16, masks, g565, 3);
  w.recBytes(REC_STRETCHDIB, body);
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(pixelOf(im, 2, 3), kRed);
  EXPECT_EQ(pixelOf(im, 3, 3), kGreen);
  EXPECT_EQ(pixelOf(im, 4, 3), kBlue);
  EXPECT_EQ(pixelOf(im, 2, 4), kWhite);
  EXPECT_EQ(pixelOf(im, 3, 4), kBlack);
  EXPECT_EQ(pixelOf(im, 10, 10), kRed);
  EXPECT_EQ(pixelOf(im, 11, 10), kBlack);
  EXPECT_EQ(pixelOf(im, 10, 11), kBlack);
  EXPECT_EQ(pixelOf(im, 11, 11), kRed);
  EXPECT_EQ(pixelOf(im, 15, 15), (Rgb{0, 252, 0}));
  im->release();
}

TEST(WmfDecoderPlay, CachesListensAndDecodesIntoTargets) {
  WmfWriter w(0, 0, 6, 4);
  brush(w, kRed);
  w.rec(REC_SELECT, {0}).rec(REC_RECTANGLE, {4, 6, 0, 0});
  w.end();
  RKWMFDecoder d;
  Recorder listener;
  d.setListener(&listener);
  ASSERT_EQ(d.openMemory(w.bytes.data(), int(w.bytes.size())), 1);
  RKImage* a = d.getImage();
  RKImage* b = d.getImage();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);  // cached
  EXPECT_EQ(listener.finished, 1);
  ASSERT_EQ(listener.rows.size(), 5u);  // one per record, then the total
  EXPECT_EQ(listener.rows[0], (std::pair<int, int>{0, 1000}));
  EXPECT_EQ(listener.rows[1], (std::pair<int, int>{7, 1000}));
  EXPECT_EQ(listener.rows[4], (std::pair<int, int>{1000, 1000}));
  std::vector<uint8_t> raw(6 * 4 * 3);
  EXPECT_EQ(d.readRaw(raw.data()), 72);
  EXPECT_EQ(raw[(1 * 6 + 1) * 3 + 2], 255);
  EXPECT_EQ(raw[(1 * 6 + 1) * 3 + 0], 0);
  RKImage* target = new RKImage();
  target->addRef();
  EXPECT_EQ(d.decodeTo(target), 1);
  EXPECT_EQ(target->getWidth(), 6);
  EXPECT_EQ(pixelOf(target, 2, 2), kRed);
  RKBuffer* buffer = new RKBuffer();
  buffer->addRef();
  EXPECT_EQ(d.decodeTo(buffer), 1);
  EXPECT_EQ(buffer->getSize(), 72);
  RKParam other;
  EXPECT_EQ(d.decodeTo(&other), 0);
  buffer->release();
  target->release();
  a->release();
  b->release();

  // Playing straight into a target makes it the cache.
  RKWMFDecoder e;
  ASSERT_EQ(e.openMemory(w.bytes.data(), int(w.bytes.size())), 1);
  RKImage* into = new RKImage();
  into->addRef();
  EXPECT_EQ(e.decodeTo(into), 1);
  RKImage* cached = e.getImage();
  EXPECT_EQ(cached, into);
  cached->release();
  into->release();
}

// ---- malformed records ----

TEST(WmfDecoderMalformed, BadRecordSizesEndThePlayback) {
  for (uint32_t size : {0u, 1u, 2u, 0x7FFFFFFFu, 0xFFFFFFFFu, 200u}) {
    WmfWriter w(0, 0, 10, 10);
    brush(w, kRed);
    w.rec(REC_SELECT, {0}).rec(REC_RECTANGLE, {5, 5, 0, 0});
    w.recSized(size, REC_RECTANGLE, {10, 10, 5, 5});
    w.rec(REC_RECTANGLE, {10, 10, 5, 5});
    w.end();
    RKImage* im = play(w);
    ASSERT_NE(im, nullptr) << size;
    EXPECT_EQ(pixelOf(im, 2, 2), kRed) << size;
    EXPECT_EQ(pixelOf(im, 7, 7), kWhite) << size;
    im->release();
  }
}

TEST(WmfDecoderMalformed, TruncatedFilesGiveWhatWasDrawn) {
  WmfWriter w(0, 0, 10, 10);
  brush(w, kRed);
  w.rec(REC_SELECT, {0}).rec(REC_RECTANGLE, {5, 5, 0, 0});
  size_t full = w.bytes.size();
  w.rec(REC_RECTANGLE, {10, 10, 5, 5});
  for (size_t cut = full; cut < w.bytes.size(); ++cut) {
    RKWMFDecoder d;
    ASSERT_EQ(d.openMemory(w.bytes.data(), int(cut)), 1);
    RKImage* im = d.getImage();
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(pixelOf(im, 2, 2), kRed);
    EXPECT_EQ(pixelOf(im, 7, 7), kWhite) << cut;
    im->release();
  }
}

TEST(WmfDecoderMalformed, ShortAndLyingRecordsAreSkipped) {
  WmfWriter w(0, 0, 20, 20, 96, 2);
  brush(w, kRed);
  w.rec(REC_SELECT, {0});
  w.rec(REC_RECTANGLE, {5, 5});                  // two of four words
  w.rec(REC_SELECT, {});                         // no index
  w.rec(REC_CREATEBRUSH, {0, 0xFF});             // colour cut off
  w.rec(REC_POLYGON, {200, 1, 1, 5, 1, 5, 5});   // count past the record
  w.rec(REC_POLYPOLYGON, {3, 4});                // counts past the record
  w.rec(REC_POLYPOLYGON, {1, 40, 1, 1});         // points past the record
  w.rec(REC_TEXTOUT, {40, 0x4141});              // text past the record
  w.rec(REC_EXTTEXTOUT, {1, 1, 90, 0, 0x4141});  // count past the record
  w.rec(REC_EXTTEXTOUT, {1, 1, 2, 4, 0});        // rectangle cut off
  w.recBytes(REC_CREATEFONT, {0, 0, 0});         // fields cut off
  std::vector<uint8_t> dib = stretchDib(0, 0, 4, 4, 24, {}, std::vector<uint8_t>(45, 0));
  w.recBytes(REC_STRETCHDIB, dib);  // rows cut short
  std::vector<uint8_t> pal = stretchDib(0, 0, 2, 2, 8, std::vector<uint8_t>(100, 0), {});
  w.recBytes(REC_STRETCHDIB, pal);                                           // palette cut short
  w.recBytes(REC_STRETCHDIB, stretchDib(0, 0, 0x7FFF, 0x7FFF, 32, {}, {}));  // huge
  std::vector<uint8_t> neg = stretchDib(0, 0, 2, 2, 24, {}, std::vector<uint8_t>(16, 0));
  set32(neg, 30, 0x80000000u);  // height INT_MIN
  w.recBytes(REC_STRETCHDIB, neg);
  w.recBytes(REC_STRETCHDIB, {1, 2, 3});  // words cut off
  w.rec(REC_ARC, {1, 2, 3});
  w.rec(REC_ROUNDRECT, {1});
  w.rec(REC_SETPIXEL, {0xFF});
  w.rec(REC_LINETO, {3});
  w.rec(REC_RECTANGLE, {20, 20, 10, 10});  // still played
  w.end();
  RKImage* im = play(w);
  ASSERT_NE(im, nullptr);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(pixelOf(im, x, y), kWhite) << x << "," << y;
  EXPECT_EQ(pixelOf(im, 15, 15), kRed);
  im->release();
}
