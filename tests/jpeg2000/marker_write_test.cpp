#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "codestream_support.h"
#include "j2k_test_support.h"
#include "opj_streams.h"
#include "J2kHeaderRewrite.h"
#include "param_tree.h"

namespace {

// Writes one object's segment; checks that measuring gives the same length as writing.
std::vector<uint8_t> written(kdu_params *obj, kdu_params *ref = nullptr, int tpart = 0) {
  int measured = obj->write_segment(nullptr, ref, tpart);
  vector_sink sink;
  int length = obj->write_segment(&sink, ref, tpart);
  std::vector<uint8_t> bytes = sink.take();
  EXPECT_EQ(measured, length);
  EXPECT_EQ((int)bytes.size(), length);
  if (bytes.size() >= 4) {
    EXPECT_EQ((int)((bytes[2] << 8) | bytes[3]), length - 2) << "length field";
  }
  return bytes;
}

// Offers a written segment (marker and length included) to `obj`'s reader.
bool read_back(kdu_params *obj, const std::vector<uint8_t> &seg, int tpart = 0) {
  if (seg.size() < 4) return false;
  return obj->read_segment((uint16_t)((seg[0] << 8) | seg[1]), (int)seg.size() - 4, seg.data() + 4, tpart);
}

int ival(kdu_params *obj, const char *name, int rec = 0, int fld = 0) {
  int v = -12345;
  EXPECT_TRUE(obj->get_value(name, rec, fld, v)) << name << " " << rec << "," << fld;
  return v;
}

bool bval(kdu_params *obj, const char *name, int rec = 0, int fld = 0) {
  bool v = false;
  EXPECT_TRUE(obj->get_value(name, rec, fld, v)) << name;
  return v;
}

float fval(kdu_params *obj, const char *name, int rec = 0, int fld = 0) {
  float v = -1.0f;
  EXPECT_TRUE(obj->get_value(name, rec, fld, v)) << name << " " << rec;
  return v;
}

void set_canvas(kdu_params *siz, int h, int w, int comps) {
  siz->set_value("Ssize", 0, 0, h);
  siz->set_value("Ssize", 0, 1, w);
  siz->set_value("Sorigin", 0, 0, 0);
  siz->set_value("Sorigin", 0, 1, 0);
  siz->set_value("Stiles", 0, 0, h);
  siz->set_value("Stiles", 0, 1, w);
  siz->set_value("Stile_origin", 0, 0, 0);
  siz->set_value("Stile_origin", 0, 1, 0);
  siz->set_value("Scomponents", 0, 0, comps);
  siz->set_value("Ssigned", 0, 0, false);
  siz->set_value("Sprecision", 0, 0, 8);
  siz->set_value("Ssampling", 0, 0, 1);
  siz->set_value("Ssampling", 0, 1, 1);
}

// A complete main-header COD: reversible, no precincts unless given.
void set_cod(kdu_params *cod, int levels, bool precincts = false) {
  cod->set_value("Cycc", 0, 0, false);
  cod->set_value("Clayers", 0, 0, 1);
  cod->set_value("Cuse_sop", 0, 0, false);
  cod->set_value("Cuse_eph", 0, 0, false);
  cod->set_value("Corder", 0, 0, 0);
  cod->set_value("Calign_blk_last", 0, 0, false);
  cod->set_value("Calign_blk_last", 0, 1, false);
  cod->set_value("Clevels", 0, 0, levels);
  cod->set_value("Creversible", 0, 0, true);
  cod->set_value("Ckernels", 0, 0, 1);
  cod->set_value("Cblk", 0, 0, 64);
  cod->set_value("Cblk", 0, 1, 64);
  cod->set_value("Cmodes", 0, 0, 0);
  cod->set_value("Cuse_precincts", 0, 0, precincts);
  if (precincts)
    for (int r = 0; r <= levels; r++) {
      cod->set_value("Cprecincts", r, 0, 256 >> (r > 3 ? 3 : r));
      cod->set_value("Cprecincts", r, 1, 128 >> (r > 3 ? 3 : r));
    }
}

void set_ranges(kdu_params *qcd, int levels) {
  qcd->set_value("Qguard", 0, 0, 2);
  for (int r = 0; r < 3 * levels + 1; r++) qcd->set_value("Qabs_ranges", r, 0, 8 + r % 4);
}

}  // namespace

TEST(MarkerWrite, SegmentLengthsMeasuredAndWritten) {
  auto tree = make_tree(0, 3);
  set_canvas(tree.get(), 32, 64, 1);
  EXPECT_EQ(written(tree.get()).size(), 43u);

  kdu_params *cod = object(tree.get(), "COD", -1, -1);
  set_cod(cod, 5);
  EXPECT_EQ(written(cod).size(), 14u);
  cod->set_value("Cuse_precincts", 0, 0, true);
  cod->set_value("Cprecincts", 0, 0, 128);
  cod->set_value("Cprecincts", 0, 1, 128);
  EXPECT_EQ(written(cod).size(), 20u);

  kdu_params *qcd = object(tree.get(), "QCD", -1, -1);
  cod->set_value("Cuse_precincts", 0, 0, false);
  set_ranges(qcd, 5);
  EXPECT_EQ(written(qcd).size(), 21u);
  cod->set_value("Creversible", 0, 0, false);
  cod->set_value("Ckernels", 0, 0, 0);
  qcd->set_value("Qderived", 0, 0, true);
  qcd->set_value("Qabs_steps", 0, 0, 0.25f);
  EXPECT_EQ(written(qcd).size(), 7u);

  tree->set_value("Scomponents", 0, 0, 3);
  kdu_params *rgn = object(tree.get(), "RGN", -1, 1);
  rgn->set_value("Rshift", 0, 0, 6);
  EXPECT_EQ(written(rgn).size(), 7u);

  kdu_params *poc = object(tree.get(), "POC", -1, -1);
  for (int r = 0; r < 2; r++)
    for (int k = 0; k < 6; k++) poc->set_value("Porder", r, k, (int[]){0, 0, 1, 1 + r, 3, 2}[k]);
  EXPECT_EQ(written(poc).size(), 18u);

  kdu_params *crg = object(tree.get(), "CRG", -1, -1);
  crg->set_value("CRGoffset", 0, 0, 0.5f);
  crg->set_value("CRGoffset", 0, 1, 0.25f);
  EXPECT_EQ(written(crg).size(), 16u);

  // Every writer but POC answers only tile-part 0.
  for (kdu_params *p : {(kdu_params *)tree.get(), cod, qcd, rgn, crg})
    EXPECT_EQ(p->write_segment(nullptr, nullptr, 1), 0) << p->identify_cluster();

  auto wide = make_tree(0, 300);
  wide->set_value("Scomponents", 0, 0, 300);
  set_cod(object(wide.get(), "COD", -1, -1), 2);
  kdu_params *coc = object(wide.get(), "COD", -1, 3);
  std::vector<uint8_t> seg = written(coc);
  ASSERT_EQ(seg.size(), 12u);
  EXPECT_EQ(seg[1], 0x53);
  EXPECT_EQ(seg[4], 0);
  EXPECT_EQ(seg[5], 3);
}

TEST(MarkerWrite, SizBytesAndSinkFlushing) {
  siz_params siz;
  set_canvas(&siz, 768, 1024, 2);
  siz.set_value("Sorigin", 0, 0, 2);
  siz.set_value("Sorigin", 0, 1, 1);
  siz.set_value("Ssigned", 1, 0, true);
  siz.set_value("Sprecision", 1, 0, 12);
  siz.set_value("Ssampling", 1, 0, 1);
  siz.set_value("Ssampling", 1, 1, 2);
  byte_builder b;
  b.u16(0xFF51).u16(44).u16(0).u32(1024).u32(768).u32(1).u32(2).u32(1024).u32(768);
  b.u32(0).u32(0).u16(2).u8(7).u8(1).u8(1).u8(0x8B).u8(2).u8(1);
  EXPECT_EQ(written(&siz), b.bytes);

  // A segment longer than the sink's buffer passes through it in pieces.
  siz_params big;
  set_canvas(&big, 8, 8, 300);
  vector_sink sink;
  EXPECT_EQ(big.write_segment(&sink, nullptr, 0), 940);
  EXPECT_EQ(sink.flushes, 1);
  std::vector<uint8_t> bytes = sink.take();
  ASSERT_EQ(bytes.size(), 940u);
  EXPECT_EQ(bytes[939], 1);
  siz_params back;
  ASSERT_TRUE(read_back(&back, bytes));
  EXPECT_EQ(ival(&back, "Scomponents"), 300);
  EXPECT_EQ(ival(&back, "Sprecision", 299), 8);
}

TEST(MarkerWrite, SizFailures) {
  siz_params empty;
  EXPECT_EQ(error_text([&] { empty.write_segment(nullptr, nullptr, 0); }), "Unable to write SIZ marker segment yet!");
  siz_params siz;
  set_canvas(&siz, 16, 16, 1);
  siz.set_value("Sprecision", 0, 0, 39);
  EXPECT_EQ(siz.write_segment(nullptr, nullptr, 0), 43) << "checked only while writing";
  EXPECT_EQ(error_text([&] { written(&siz); }),
            "Illegal image sample bit-depth, 39. Legal range is from 1 to 38 bits per sample.");
  siz.set_value("Sprecision", 0, 0, 8);
  siz.set_value("Ssampling", 0, 1, 256);
  EXPECT_EQ(error_text([&] { written(&siz); }),
            "Illegal component sub-sampling factors, {1,256}. Legal range is from 1 to 255.");
  siz.set_value("Ssampling", 0, 1, 1);
  siz.set_value("Sorigin", 0, 1, 16);
  EXPECT_EQ(error_text([&] { written(&siz); }),
            "Cannot write SIZ marker with illegal canvas coordinates. The first tile is required "
            "to have a non-empty intersection with the image region on the canvas.");
  siz.set_value("Scomponents", 0, 0, 0);
  EXPECT_EQ(error_text([&] { siz.write_segment(nullptr, nullptr, 0); }),
            "Illegal number of image components! Must be in the range 1 to 16384.");
}

TEST(MarkerWrite, CodBytesExponentsAndPrecincts) {
  auto tree = make_tree(0, 1);
  set_canvas(tree.get(), 64, 64, 1);
  kdu_params *cod = object(tree.get(), "COD", -1, -1);
  set_cod(cod, 1, true);
  cod->set_value("Cuse_sop", 0, 0, true);
  cod->set_value("Corder", 0, 0, 2);
  cod->set_value("Clayers", 0, 0, 300);
  cod->set_value("Cmodes", 0, 0, Cmodes_RESET | Cmodes_CAUSAL);
  cod->set_value("Cblk", 0, 0, 32);
  cod->set_value("Cblk", 0, 1, 128);
  byte_builder b;
  b.u16(0xFF52).u16(14).u8(0x03).u8(2).u16(300).u8(0);
  b.u8(1).u8(5).u8(3).u8(10).u8(1).u8(0x76).u8(0x87);
  EXPECT_EQ(written(cod), b.bytes);

  // Round trip through the reader.
  auto back = make_tree(0, 1);
  kdu_params *cod2 = object(back.get(), "COD", -1, -1);
  ASSERT_TRUE(read_back(cod2, b.bytes));
  EXPECT_EQ(ival(cod2, "Cblk", 0, 0), 32);
  EXPECT_EQ(ival(cod2, "Cblk", 0, 1), 128);
  EXPECT_EQ(ival(cod2, "Cprecincts", 0, 0), 256);
  EXPECT_EQ(ival(cod2, "Cprecincts", 0, 1), 128);
  EXPECT_EQ(ival(cod2, "Cprecincts", 1, 0), 128);
  EXPECT_EQ(ival(cod2, "Cprecincts", 1, 1), 64);
  EXPECT_EQ(ival(cod2, "Clayers"), 300);
  EXPECT_EQ(ival(cod2, "Corder"), 2);
  EXPECT_TRUE(bval(cod2, "Cuse_sop"));
  EXPECT_FALSE(bval(cod2, "Cuse_eph"));
  EXPECT_EQ(ival(cod2, "Cmodes"), Cmodes_RESET | Cmodes_CAUSAL);

  cod->set_value("Cblk", 0, 0, 64);
  cod->set_value("Cblk", 0, 1, 64);
  EXPECT_EQ(written(cod)[10], 4);
  EXPECT_EQ(written(cod)[11], 4);
  cod->set_value("Cblk", 0, 0, 128);
  cod->set_value("Cblk", 0, 1, 128);
  EXPECT_EQ(error_text([&] { written(cod); }),
            "Maximum code-block dimensions must be no less than 4 and the maximum code-block "
            "area must not exceed 4096 samples!");
  cod->set_value("Cblk", 0, 0, 48);
  cod->set_value("Cblk", 0, 1, 64);
  EXPECT_EQ(error_text([&] { written(cod); }), "Maximum code-block dimensions must be powers of 2!");
  cod->set_value("Cblk", 0, 0, 64);
  cod->set_value("Cprecincts", 0, 1, 96);
  EXPECT_EQ(error_text([&] { written(cod); }), "Precinct dimensions must be exact powers of 2!");
  cod->set_value("Cprecincts", 0, 1, 1 << 16);
  EXPECT_EQ(error_text([&] { written(cod); }), "Precinct dimensions may not exceed 2^15!");
  cod->set_value("Cprecincts", 0, 1, 128);
  cod->set_value("Ckernels", 0, 0, 0);
  EXPECT_EQ(error_text([&] { written(cod); }),
            "You must use the W5X3 kernels for reversible compression and either the W5X3 or "
            "the W9X7 kernels for irreversible compression.");
  cod->set_value("Ckernels", 0, 0, 1);
  cod->set_value("Clevels", 0, 0, 33);
  EXPECT_EQ(error_text([&] { cod->write_segment(nullptr, nullptr, 0); }),
            "Illegal number of DWT levels, 33. Legal range is 0 to 32!");
}

TEST(MarkerWrite, CodReferenceAndColourTransform) {
  auto tree = make_tree(1, 3);
  set_canvas(tree.get(), 64, 64, 3);
  kdu_params *main_cod = object(tree.get(), "COD", -1, -1);
  set_cod(main_cod, 3, true);
  kdu_params *tile_cod = object(tree.get(), "COD", 0, -1);
  EXPECT_EQ(tile_cod->write_segment(nullptr, main_cod, 0), 0) << "inherits every value";
  tile_cod->set_value("Cmodes", 0, 0, Cmodes_BYPASS);
  std::vector<uint8_t> seg = written(tile_cod, main_cod);
  ASSERT_EQ(seg.size(), 18u);
  EXPECT_EQ(seg[12], Cmodes_BYPASS);
  tile_cod->set_value("Cmodes", 0, 0, 0);
  for (int r = 0; r <= 3; r++)
    for (int f = 0; f < 2; f++) tile_cod->set_value("Cprecincts", r, f, ival(main_cod, "Cprecincts", r, f));
  EXPECT_EQ(tile_cod->write_segment(nullptr, main_cod, 0), 0);
  tile_cod->set_value("Cprecincts", 2, 1, 16);
  EXPECT_EQ(written(tile_cod, main_cod).size(), 18u) << "a precinct record differs";

  kdu_params *coc = object(tree.get(), "COD", -1, 1);
  EXPECT_EQ(coc->write_segment(nullptr, main_cod, 0), 0);
  coc->set_value("Clevels", 0, 0, 2);
  seg = written(coc, main_cod);
  ASSERT_EQ(seg.size(), 14u) << "three precinct bytes";
  EXPECT_EQ(seg[5], 1) << "Scoc";
  EXPECT_EQ(seg[6], 2) << "levels";

  main_cod->set_value("Cycc", 0, 0, true);
  tree->set_value("Sprecision", 1, 0, 10);
  EXPECT_EQ(error_text([&] { main_cod->write_segment(nullptr, nullptr, 0); }),
            "You cannot use a colour transform unless the first 3 image components have "
            "identical bit-depths and are either all reversible or all irreversible.");
  tree->set_value("Sprecision", 1, 0, 8);
  EXPECT_EQ(written(main_cod)[8], 1) << "colour transform byte";
  coc->set_value("Creversible", 0, 0, false);
  EXPECT_NE(error_text([&] { main_cod->write_segment(nullptr, nullptr, 0); }), "");
}

TEST(MarkerWrite, QcdBytesReferenceAndRoundTrip) {
  auto tree = make_tree(1, 2);
  set_canvas(tree.get(), 64, 64, 2);
  kdu_params *cod = object(tree.get(), "COD", -1, -1);
  kdu_params *qcd = object(tree.get(), "QCD", -1, -1);
  EXPECT_EQ(error_text([&] { qcd->write_segment(nullptr, nullptr, 0); }),
            "Cannot write QCD/QCC marker segment without first completing relevant COD/COC "
            "information!");
  set_cod(cod, 1);
  EXPECT_EQ(error_text([&] { qcd->write_segment(nullptr, nullptr, 0); }),
            "Cannot write QCD/QCC marker segment yet! No info on guard bits.");
  set_ranges(qcd, 1);
  byte_builder b;
  b.u16(0xFF5C).u16(7).u8(0x40).u8(64).u8(72).u8(80).u8(88);
  EXPECT_EQ(written(qcd), b.bytes);

  kdu_params *tile_qcd = object(tree.get(), "QCD", 0, -1);
  EXPECT_EQ(tile_qcd->write_segment(nullptr, qcd, 0), 0);
  for (int r = 0; r < 4; r++) tile_qcd->set_value("Qabs_ranges", r, 0, ival(qcd, "Qabs_ranges", r));
  EXPECT_EQ(tile_qcd->write_segment(nullptr, qcd, 0), 0);
  tile_qcd->set_value("Qabs_ranges", 3, 0, 12);
  EXPECT_EQ(written(tile_qcd, qcd).size(), 9u);

  // Irreversible, expounded steps; the reader gives back the same steps.
  cod->set_value("Creversible", 0, 0, false);
  cod->set_value("Ckernels", 0, 0, 0);
  EXPECT_EQ(error_text([&] { qcd->write_segment(nullptr, nullptr, 0); }),
            "Cannot write QCD/QCC marker segment yet! Not clear whether quant steps are derived "
            "from the LL band step size.");
  qcd->set_value("Qderived", 0, 0, false);
  const float steps[4] = {0.5f, 0.25f, 0.1875f, 1.0f / 1024};
  for (int r = 0; r < 4; r++) qcd->set_value("Qabs_steps", r, 0, steps[r]);
  std::vector<uint8_t> seg = written(qcd);
  ASSERT_EQ(seg.size(), 13u);
  EXPECT_EQ(seg[4], 0x42);
  EXPECT_EQ((seg[5] << 8) | seg[6], 1 * 2048) << "0.5 is 2^-1";
  kdu_params *qcc = object(tree.get(), "QCD", -1, 1);
  seg = written(qcc);
  ASSERT_EQ(seg.size(), 14u) << "a QCC carries its component index";
  EXPECT_EQ(seg[1], 0x5D);
  EXPECT_EQ(seg[4], 1);
  auto back = make_tree(0, 2);
  kdu_params *qcc2 = object(back.get(), "QCD", -1, 1);
  ASSERT_TRUE(read_back(qcc2, seg));
  for (int r = 0; r < 4; r++) EXPECT_FLOAT_EQ(fval(qcc2, "Qabs_steps", r), steps[r]);
  EXPECT_EQ(ival(qcc2, "Qguard"), 2);
  EXPECT_EQ(qcc->write_segment(nullptr, qcd, 0), 0) << "QCC repeats the QCD";

  qcd->set_value("Qguard", 0, 0, 8);
  EXPECT_EQ(error_text([&] { qcd->write_segment(nullptr, nullptr, 0); }),
            "Illegal number of guard bits, 8. Legal range is from 0 to 7.");
}

TEST(MarkerWrite, RgnPocAndCrg) {
  auto tree = make_tree(1, 3);
  set_canvas(tree.get(), 64, 64, 3);
  tree->set_value("Scomponents", 0, 0, 3);
  kdu_params *rgn = object(tree.get(), "RGN", -1, 2);
  EXPECT_EQ(rgn->write_segment(nullptr, nullptr, 0), 0);
  rgn->set_value("Rshift", 0, 0, 5);
  byte_builder b;
  b.u16(0xFF5E).u16(5).u8(2).u8(0).u8(5);
  EXPECT_EQ(written(rgn), b.bytes);
  kdu_params *ref = object(tree.get(), "RGN", 0, 2);
  ref->set_value("Rshift", 0, 0, 5);
  EXPECT_EQ(rgn->write_segment(nullptr, ref, 0), 0);
  ref->set_value("Rshift", 0, 0, 4);
  EXPECT_EQ(written(rgn, ref).size(), 7u);
  EXPECT_EQ(object(tree.get(), "RGN", -1, -1)->write_segment(nullptr, nullptr, 0), 0);
  rgn->set_value("Rshift", 0, 0, 256);
  EXPECT_EQ(error_text([&] { rgn->write_segment(nullptr, nullptr, 0); }),
            "Illegal ROI up-shift, 256. Legal range is from 0 to 255!");

  kdu_params *poc = object(tree.get(), "POC", -1, -1);
  const int records[2][6] = {{0, 0, 4, 2, 256, 1}, {2, 1, 5, 33, 3, 4}};
  for (int r = 0; r < 2; r++)
    for (int k = 0; k < 6; k++) poc->set_value("Porder", r, k, records[r][k]);
  b = byte_builder();
  b.u16(0xFF5F).u16(16).u8(0).u8(0).u16(4).u8(2).u8(0).u8(1);
  b.u8(2).u8(1).u16(5).u8(33).u8(3).u8(4);
  EXPECT_EQ(written(poc), b.bytes);
  auto back = make_tree(0, 3);
  kdu_params *poc2 = object(back.get(), "POC", -1, -1);
  ASSERT_TRUE(read_back(poc2, b.bytes));
  for (int r = 0; r < 2; r++)
    for (int k = 0; k < 6; k++) EXPECT_EQ(ival(poc2, "Porder", r, k), records[r][k]);

  // A tile's records that repeat the main header's are not written again.
  kdu_params *tile_poc = object(tree.get(), "POC", 0, -1);
  for (int r = 0; r < 2; r++)
    for (int k = 0; k < 6; k++) tile_poc->set_value("Porder", r, k, records[r][k]);
  EXPECT_EQ(tile_poc->write_segment(nullptr, poc, 0), 0);
  tile_poc->set_value("Porder", 1, 2, 6);
  EXPECT_EQ(tile_poc->write_segment(nullptr, poc, 0), 18);
  tile_poc->set_value("Porder", 1, 2, 5);
  // A second instance holds the records of tile-part 1.
  kdu_params *second = tile_poc->make_instance();
  ASSERT_NE(second, nullptr);
  for (int k = 0; k < 6; k++) second->set_value("Porder", 0, k, records[1][k]);
  EXPECT_EQ(second->write_segment(nullptr, nullptr, 0), 0);
  EXPECT_EQ(written(second, nullptr, 1).size(), 11u);
  EXPECT_EQ(tile_poc->write_segment(nullptr, poc, 0), 18) << "instance 1 forces the write";
  EXPECT_EQ(tile_poc->write_segment(nullptr, poc, 1), 0);

  auto wide = make_tree(0, 1);
  wide->set_value("Scomponents", 0, 0, 300);
  kdu_params *wpoc = object(wide.get(), "POC", -1, -1);
  for (int k = 0; k < 6; k++) wpoc->set_value("Porder", 0, k, records[0][k]);
  std::vector<uint8_t> seg = written(wpoc);
  ASSERT_EQ(seg.size(), 13u);
  EXPECT_EQ((seg[10] << 8) | seg[11], 256);
  wpoc->set_value("Porder", 0, 3, 0);
  EXPECT_EQ(error_text([&] { written(wpoc); }),
            "Illegal upper bound (exclusive), 0, for resolution level indices in progression "
            "order change attribute. Legal range is from the lower bound + 1 to 33.");
  wpoc->set_value("Porder", 0, 3, 2);
  wpoc->set_value("Porder", 0, 4, 16385);
  EXPECT_EQ(error_text([&] { written(wpoc); }),
            "Illegal upper bound (exclusive), 16385, for component indices in progression "
            "order change attribute. Legal range is from the lower bound + 1 to 16384.");

  kdu_params *crg = object(tree.get(), "CRG", -1, -1);
  EXPECT_EQ(crg->write_segment(nullptr, nullptr, 0), 0);
  crg->set_value("CRGoffset", 0, 0, 0.5f);
  crg->set_value("CRGoffset", 0, 1, 0.25f);
  crg->set_value("CRGoffset", 1, 0, std::nextafter(1.0f, 0.0f));
  crg->set_value("CRGoffset", 1, 1, 0.0f);
  b = byte_builder();
  b.u16(0xFF63).u16(14).u16(16384).u16(32768).u16(0).u16(65535).u16(0).u16(65535);
  EXPECT_EQ(written(crg), b.bytes) << "the last record serves the third component";
  crg->set_value("CRGoffset", 1, 1, 1.0f);
  EXPECT_EQ(error_text([&] { written(crg); }),
            "Illegal component registration offsets, {1,1}. Legal range is from 0.0 to 1.0 "
            "(exclusive).");
}

TEST(TransformedCopy, SizFlipsTransposeAndDiscard) {
  auto src = make_tree(0, 2);
  set_canvas(src.get(), 50, 100, 2);
  src->set_value("Ssampling", 1, 0, 1);
  src->set_value("Ssampling", 1, 1, 2);
  src->set_value("Sprecision", 1, 0, 12);
  set_cod(object(src.get(), "COD", -1, -1), 3);

  auto dst = make_tree(1, 2);
  dst->copy_transformed(src.get(), 0, 0, false, false, true);
  EXPECT_EQ(ival(dst.get(), "Stiles", 0, 1), 128);
  EXPECT_EQ(ival(dst.get(), "Sorigin", 0, 1), -99);
  EXPECT_EQ(ival(dst.get(), "Ssize", 0, 1), 1);
  EXPECT_EQ(ival(dst.get(), "Stile_origin", 0, 1), -127);
  EXPECT_EQ(ival(dst.get(), "Sorigin", 0, 0), 0) << "vertical axis untouched";
  EXPECT_EQ(ival(dst.get(), "Stiles", 0, 0), 50);

  // Writing needs the COD information of every tile-component to normalise the canvas.
  EXPECT_EQ(error_text([&] { written(dst.get()); }),
            "Attempting to write geometrically transformed SIZ marker information without "
            "attaching and finalizing all tile-component COD marker information. This is "
            "essential to establish canvas coordinate equivalence relationships.");
  object(dst.get(), "COD", -1, -1)->copy_transformed(object(src.get(), "COD", -1, -1), 0, 0, false, false, true);
  std::vector<uint8_t> seg = written(dst.get());
  siz_params back;
  ASSERT_TRUE(read_back(&back, seg));
  // Horizontal period: lcm(128, 1 x 2^(15+j), 2 x 2^(15+j)) for j up to 3 levels, i.e. 2^19.
  int shift = 1 << 19;
  EXPECT_EQ(ival(&back, "Stile_origin", 0, 1), -127 + shift);
  EXPECT_EQ(ival(&back, "Sorigin", 0, 1), -99 + shift);
  EXPECT_EQ(ival(&back, "Ssize", 0, 1), 1 + shift);
  EXPECT_EQ(ival(&back, "Ssize", 0, 1) - ival(&back, "Sorigin", 0, 1), 100) << "same width";
  EXPECT_EQ(ival(&back, "Stiles", 0, 1), 128);
  EXPECT_EQ(ival(&back, "Stile_origin", 0, 0), 0);

  // Transposition with two discarded levels and one skipped component.
  siz_params t;
  t.copy_transformed(src.get(), 1, 2, true, false, false);
  EXPECT_EQ(ival(&t, "Scomponents"), 1);
  EXPECT_EQ(ival(&t, "Ssize", 0, 0), 100);
  EXPECT_EQ(ival(&t, "Ssize", 0, 1), 50);
  EXPECT_EQ(ival(&t, "Sprecision", 0), 12);
  EXPECT_EQ(ival(&t, "Ssampling", 0, 0), 8);
  EXPECT_EQ(ival(&t, "Ssampling", 0, 1), 4);
  seg = written(&t);
  siz_params t_back;
  ASSERT_TRUE(read_back(&t_back, seg));
  EXPECT_EQ(ival(&t_back, "Ssize", 0, 0), 100);
  EXPECT_EQ(ival(&t_back, "Stiles", 0, 1), 50);
  EXPECT_EQ(ival(&t_back, "Ssampling", 0, 0), 8);

  siz_params none;
  EXPECT_EQ(error_text([&] { none.copy_transformed(src.get(), 2, 0, false, false, false); }),
            "Attempting to discard all of the components from an existing code-stream!");
  EXPECT_EQ(error_text([&] { none.copy_transformed(src.get(), 0, 8, false, false, false); }),
            "Current algorithm for discarding resolution levels from an existing code-stream for "
            "transcoding operates by multiplying the sub-sampling factors in the SIZ marker. For "
            "the current code-stream, this results in sub-sampling factors which exceed the "
            "legal range of 1 to 255.");
  siz_params blank;
  EXPECT_EQ(error_text([&] { none.copy_transformed(&blank, 0, 0, false, false, false); }),
            "Unable to copy SIZ parameters, unless all canvas coordinates are available. Try "
            "using `siz_params::finalize' before attempting the copy.");
}

TEST(TransformedCopy, CodLevelsPrecinctsAndFlags) {
  auto src = make_tree(0, 1);
  kdu_params *cod = object(src.get(), "COD", -1, -1);
  set_cod(cod, 5);
  cod->set_value("Cuse_precincts", 0, 0, true);
  cod->set_value("Cblk", 0, 0, 32);
  cod->set_value("Cycc", 0, 0, true);
  cod->set_value("Calign_blk_last", 0, 0, true);
  for (int r = 0; r < 4; r++) {
    cod->set_value("Cprecincts", r, 0, 1024 >> r);
    cod->set_value("Cprecincts", r, 1, 2048 >> r);
  }

  auto dst = make_tree(0, 1);
  kdu_params *copy = object(dst.get(), "COD", -1, -1);
  copy->copy_transformed(cod, 1, 2, true, false, true);
  EXPECT_EQ(ival(copy, "Clevels"), 3);
  EXPECT_FALSE(bval(copy, "Cycc")) << "a skipped component ends the colour transform";
  EXPECT_EQ(ival(copy, "Cblk", 0, 0), 64);
  EXPECT_EQ(ival(copy, "Cblk", 0, 1), 32);
  EXPECT_FALSE(bval(copy, "Calign_blk_last", 0, 0));
  EXPECT_FALSE(bval(copy, "Calign_blk_last", 0, 1)) << "transposed, then inverted";
  EXPECT_EQ(ival(copy, "Cprecincts", 0, 0), 512);
  EXPECT_EQ(ival(copy, "Cprecincts", 0, 1), 256);
  EXPECT_EQ(ival(copy, "Cprecincts", 1, 0), 256);
  EXPECT_EQ(ival(copy, "Cprecincts", 1, 1), 128);
  int v;
  EXPECT_FALSE(copy->get_value("Cprecincts", 2, 0, v, false, false));

  // The written copy reads back as the transformed parameters.
  std::vector<uint8_t> seg = written(copy);
  ASSERT_EQ(seg.size(), 18u);
  auto back = make_tree(0, 1);
  kdu_params *cod2 = object(back.get(), "COD", -1, -1);
  ASSERT_TRUE(read_back(cod2, seg));
  EXPECT_EQ(ival(cod2, "Clevels"), 3);
  EXPECT_EQ(ival(cod2, "Cblk", 0, 1), 32);
  for (int r = 0; r <= 3; r++)
    for (int f = 0; f < 2; f++) EXPECT_EQ(ival(cod2, "Cprecincts", r, f), ival(copy, "Cprecincts", r, f)) << r << f;

  kdu_params *plain = object(dst.get(), "COD", -1, 0);
  plain->copy_transformed(cod, 0, 0, false, false, false);
  EXPECT_EQ(ival(plain, "Clevels"), 5);
  EXPECT_FALSE(plain->get_value("Cycc", 0, 0, v, false)) << "only defaults take Cycc";
  EXPECT_EQ(error_text([&] { plain->copy_transformed(cod, 0, 6, false, false, false); }),
            "Attempting to discard too many resolution levels! Cannot discard more resolution "
            "levels than there are DWT levels.");
}

TEST(TransformedCopy, QcdRgnPocCrg) {
  qcd_params qsrc, qdst;
  for (int r = 0; r < 7; r++) qsrc.set_value("Qabs_steps", r, 0, 1.0f / (float)(r + 1));
  qsrc.set_value("Qguard", 0, 0, 3);
  qsrc.set_value("Qderived", 0, 0, false);
  qsrc.set_value("Qstep", 0, 0, 0.125f);
  qdst.copy_transformed(&qsrc, 0, 0, true, false, false);
  const int from[7] = {0, 2, 1, 3, 5, 4, 6};
  for (int r = 0; r < 7; r++) EXPECT_FLOAT_EQ(fval(&qdst, "Qabs_steps", r), 1.0f / (float)(from[r] + 1)) << r;
  EXPECT_EQ(ival(&qdst, "Qguard"), 3);
  float f;
  EXPECT_FALSE(qdst.get_value("Qstep", 0, 0, f));

  rgn_params rsrc, rdst;
  rsrc.set_value("Rshift", 0, 0, 9);
  rsrc.set_value("Rlevels", 0, 0, 2);
  rdst.copy_transformed(&rsrc, 1, 1, true, true, true);
  EXPECT_EQ(ival(&rdst, "Rshift"), 9);
  int v;
  EXPECT_FALSE(rdst.get_value("Rlevels", 0, 0, v));

  poc_params psrc, p2, p3, pnone;
  const int rec[6] = {0, 2, 10, 5, 3, 0};
  for (int k = 0; k < 6; k++) psrc.set_value("Porder", 0, k, rec[k]);
  p2.copy_transformed(&psrc, 2, 1, true, false, false);
  p3.copy_transformed(&psrc, 3, 0, false, false, false);
  const int want2[6] = {0, 0, 10, 5, 1, 0}, want3[6] = {0, 0, 0, 5, 1, 0};
  for (int k = 0; k < 6; k++) {
    EXPECT_EQ(ival(&p2, "Porder", 0, k), want2[k]) << k;
    EXPECT_EQ(ival(&p3, "Porder", 0, k), want3[k]) << k;
  }
  pnone.copy_transformed(&p2, 0, 0, false, false, false);
  pnone.copy_transformed(&pnone, 0, 0, false, false, false);
  EXPECT_EQ(ival(&pnone, "Porder", 0, 1), 0);

  crg_params csrc, cdst, clast, cflip;
  for (int c = 0; c < 3; c++) {
    csrc.set_value("CRGoffset", c, 0, 0.125f * (float)(c + 1));
    csrc.set_value("CRGoffset", c, 1, 0.0625f * (float)(c + 1));
  }
  cdst.copy_transformed(&csrc, 1, 0, true, false, false);
  EXPECT_FLOAT_EQ(fval(&cdst, "CRGoffset", 0, 0), 0.125f);
  EXPECT_FLOAT_EQ(fval(&cdst, "CRGoffset", 0, 1), 0.25f);
  EXPECT_FLOAT_EQ(fval(&cdst, "CRGoffset", 1, 0), 0.1875f);
  EXPECT_FALSE(cdst.get_value("CRGoffset", 2, 0, f, false, false));
  clast.copy_transformed(&csrc, 5, 0, false, false, false);
  EXPECT_FLOAT_EQ(fval(&clast, "CRGoffset", 0, 0), 0.375f) << "the last record survives";
  cflip.set_value("CRGoffset", 0, 0, 0.5f);
  cflip.set_value("CRGoffset", 4, 0, 0.5f);
  cflip.set_value("CRGoffset", 4, 1, 0.5f);
  crg_params blank;
  cflip.copy_transformed(&blank, 0, 0, false, true, false);
  EXPECT_FALSE(cflip.get_value("CRGoffset", 0, 0, f)) << "a flip empties the offsets";
}

namespace {

void expect_same_decoding(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
  decoded_stream da, db;
  decode_all_blocks(a, da);
  decode_all_blocks(b, db);
  EXPECT_EQ(da.width, db.width);
  EXPECT_EQ(da.height, db.height);
  EXPECT_EQ(da.blocks, db.blocks);
  EXPECT_EQ(da.coded_blocks, db.coded_blocks);
  EXPECT_GT(da.coded_blocks, 0);
  EXPECT_EQ(da.packets, db.packets);
  EXPECT_EQ(da.samples, db.samples);
  ASSERT_EQ(da.bands.size(), db.bands.size());
  EXPECT_FALSE(da.bands.empty());
  for (auto &entry : da.bands) {
    auto it = db.bands.find(entry.first);
    ASSERT_NE(it, db.bands.end());
    EXPECT_EQ(entry.second.first.size_x, it->second.first.size_x);
    EXPECT_EQ(entry.second.first.size_y, it->second.first.size_y);
    EXPECT_EQ(entry.second.second, it->second.second);
  }
}

}  // namespace

TEST(HeaderRewrite, RewrittenMainHeaderDecodesTheSame) {
  struct {
    const char *options;
    int comps;
  } cases[] = {
      {"-n 3", 3},
      {"-n 4 -b 16,32 -c [64,64],[32,32] -p RPCL -SOP -EPH -M 3", 3},
      {"-n 2 -r 20,5 -POC T0=0,0,2,2,3,LRCP/T0=0,0,3,3,3,RLCP", 1},
      {"-n 1 -ROI c=0,U=3", 3},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.options);
    auto cs = opj_encode(c.options, 37, 23, c.comps);
    REQUIRE_OPJ(cs);
    std::vector<uint8_t> rewritten = rewrite_header(cs);
    ASSERT_FALSE(rewritten.empty());
    expect_same_decoding(cs, rewritten);
    // The encoder's own segments come back byte for byte (comments aside).
    size_t rest;
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> before, after;
    for (auto &seg : main_header(cs, rest))
      if (seg.code != KDU_COM) before.push_back({seg.code, seg.body});
    for (auto &seg : main_header(rewritten, rest)) after.push_back({seg.code, seg.body});
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(before, after);
    // Writing the rewritten header again changes nothing.
    EXPECT_EQ(rewrite_header(rewritten), rewritten);
  }
}
