#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "jp2_file_reader.h"
#include "kdu_codestream.h"
#include "opj_streams.h"

namespace {

// A stream over bytes in memory that notes how far it was read.
class memory_stream : public jp2_stream {
 public:
  explicit memory_stream(std::vector<uint8_t> data) : data(std::move(data)) {}
  int read(void *buffer, int count) override {
    if (count <= 0 || pos >= data.size()) return 0;
    size_t n = std::min((size_t)count, data.size() - pos);
    std::memcpy(buffer, data.data() + pos, n);
    pos += n;
    return (int)n;
  }
  int seek(int64_t offset, int origin) override {
    int64_t base = (origin == 0) ? 0 : (origin == 1) ? (int64_t)pos : (int64_t)data.size();
    int64_t target = base + offset;
    if (target < 0) return 0;
    pos = (size_t)std::min<int64_t>(target, (int64_t)data.size());
    return 1;
  }
  int64_t tell() override { return (int64_t)pos; }
  std::vector<uint8_t> data;
  size_t pos = 0;
};

std::vector<uint8_t> box(const char *type, const std::vector<uint8_t> &content) {
  byte_builder b;
  b.u32((uint32_t)content.size() + 8).tag(type).append(content);
  return b.bytes;
}

std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (auto &p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<uint8_t> signature() { return byte_builder().u32(12).tag("jP  ").u32(0x0D0A870A).bytes; }
std::vector<uint8_t> ftyp() {
  return box("ftyp", byte_builder().tag("jp2 ").u32(0).tag("jpx ").tag("jpxb").tag("jp2 ").bytes);
}
std::vector<uint8_t> ihdr(uint32_t h, uint32_t w, unsigned nc, unsigned bpc) {
  return box("ihdr", byte_builder().u32(h).u32(w).u16(nc).u8(bpc).u8(7).u8(0).u8(0).bytes);
}
std::vector<uint8_t> colr_enum(uint32_t cs) { return box("colr", byte_builder().u8(1).u8(0).u8(0).u32(cs).bytes); }
std::vector<uint8_t> jp2c() { return box("jp2c", {0xFF, 0x4F, 0xFF, 0x51}); }

std::vector<uint8_t> grey_icc() {
  byte_builder p;
  p.u32(0).u32(0).u32(0).tag("scnr").tag("GRAY").tag("XYZ ");
  while (p.size() < 128) p.u8(0);
  p.u32(1);                        // one tag
  p.tag("kTRC").u32(144).u32(14);  // curv with one gamma value
  p.tag("curv").u32(0).u32(1).u16(0x0100);
  p.bytes[0] = 0;
  p.bytes[3] = (uint8_t)p.size();
  return p.bytes;
}

struct header_result {
  bool ok = false;
  std::string error;
  std::unique_ptr<memory_stream> stream;  // outlives the reader, which keeps reading from it
  jp2_file_reader reader;
};

void read_header(const std::vector<uint8_t> &file, header_result &r) {
  r.stream.reset(new memory_stream(file));
  r.error = error_text([&] { r.ok = read_jp2_header(r.reader, r.stream.get()); });
  EXPECT_LE(r.stream->pos, file.size());
}

std::vector<uint8_t> standard_file(const std::vector<uint8_t> &header_content) {
  return cat({signature(), ftyp(), box("jp2h", header_content), jp2c()});
}

}  // namespace

TEST(Jp2Header, EncoderFileWalksToTheCodeStream) {
  auto file = opj_encode("-n 3", 33, 17, 3, "jp2");
  REQUIRE_OPJ(file);
  memory_stream stream(file);
  jp2_file_reader reader;
  bool ok = false;
  ASSERT_EQ(error_text([&] { ok = read_jp2_header(reader, &stream); }), "");
  ASSERT_TRUE(ok);
  EXPECT_EQ(reader.dimensions.width, 33u);
  EXPECT_EQ(reader.dimensions.height, 17u);
  EXPECT_EQ(reader.dimensions.num_components, 3);
  EXPECT_EQ(reader.dimensions.bit_depths[2], 8);
  EXPECT_EQ(reader.colour.space, JP2_sRGB_SPACE);
  EXPECT_EQ(reader.channels.colour_component[2], 2);
  ASSERT_EQ(reader.box.get_box_type(), jp2_code_stream_4cc);
  uint8_t soc[2];
  ASSERT_EQ(reader.box.read(soc, 2), 2);
  EXPECT_EQ(soc[0], 0xFF);
  EXPECT_EQ(soc[1], 0x4F);

  auto grey = opj_encode("-n 2", 20, 10, 1, "jp2");
  header_result r;
  read_header(grey, r);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.reader.colour.space, JP2_sLUM_SPACE);
  EXPECT_EQ(r.reader.channels.colour_component[1], -1);
}

TEST(Jp2Header, EveryHeaderBoxKind) {
  auto header = cat({
      ihdr(10, 20, 2, 255),
      box("bpcc", {0x07, 0x8B}),
      box("colr", cat({{2, 0, 0}, grey_icc()})),
      box("pclr", byte_builder().u16(2).u8(2).u8(0x07).u8(0xA5).u8(1).bytes),  // depth 8 and signed 38
      box("pclr_", {}),                                                        // unknown sub-box, skipped
      box("cmap", byte_builder().u16(0).u8(1).u8(1).bytes),
      box("cdef", byte_builder().u16(2).u16(0).u16(0).u16(1).u16(0).u16(1).u16(0).bytes),
      box("res ", cat({box("resc", byte_builder().u16(72).u16(1).u16(144).u16(1).u8(0).u8(0).bytes),
                       box("resd", byte_builder().u16(3).u16(1).u16(3).u16(1).u8(2).u8(2).bytes)})),
  });
  // The palette needs entries: rebuild it with two of them.
  byte_builder pclr;
  pclr.u16(2).u8(2).u8(0x07).u8(0x9F);  // 8 bits unsigned, 32 bits signed
  pclr.u8(10).u32(0xFFFFFFFF).u8(20).u32(5);
  header = cat({
      ihdr(10, 20, 2, 255),
      box("bpcc", {0x07, 0x8B}),
      box("colr", cat({{2, 0, 0}, grey_icc()})),
      colr_enum(16),  // only the first colour box counts
      box("pclr", pclr.bytes),
      box("abcd", {1, 2, 3}),
      box("cmap", byte_builder().u16(0).u8(1).u8(1).u16(1).u8(0).u8(0).bytes),
      box("cdef", byte_builder().u16(2).u16(0).u16(0).u16(1).u16(1).u16(1).u16(0).bytes),
      box("res ", cat({box("resc", byte_builder().u16(72).u16(1).u16(144).u16(1).u8(0).u8(0).bytes),
                       box("resd", byte_builder().u16(3).u16(1).u16(3).u16(1).u8(2).u8(2).bytes)})),
  });
  auto file = cat({signature(), ftyp(), box("uuid", std::vector<uint8_t>(20, 1)), box("jp2h", header),
                   box("xml ", {'<', 'a', '/', '>'}), jp2c()});
  header_result r;
  read_header(file, r);
  ASSERT_EQ(r.error, "");
  ASSERT_TRUE(r.ok);
  const jp2_file_reader &h = r.reader;
  EXPECT_EQ(h.dimensions.bit_depths[0], 8);
  EXPECT_EQ(h.dimensions.bit_depths[1], -12);
  EXPECT_EQ(h.colour.space, JP2_iccLUM_SPACE);
  ASSERT_EQ(h.colour.icc.curves[0].size(), 1u);
  EXPECT_EQ(h.colour.icc.curves[0][0], 0x0100);
  EXPECT_EQ(h.palette.num_entries, 2);
  EXPECT_EQ(h.palette.bit_depths[1], -32);
  EXPECT_EQ(h.palette.luts[1][0], -1);
  EXPECT_EQ(h.palette.luts[1][1], 5);
  EXPECT_EQ(h.palette.luts[0][1], 20);
  EXPECT_EQ(h.channels.colour_component[0], 0);
  EXPECT_EQ(h.channels.colour_lut[0], 1);
  EXPECT_FLOAT_EQ(h.resolution.resolution, 300.0f);
  EXPECT_FLOAT_EQ(h.resolution.aspect_ratio, 1.0f);
  EXPECT_TRUE(h.resolution.from_display);
  EXPECT_EQ(r.reader.box.get_box_type(), jp2_code_stream_4cc);
}

TEST(Jp2Header, ColourSpacesAccepted) {
  for (uint32_t cs : {16u, 18u, 22u}) {
    header_result r;
    read_header(standard_file(cat({ihdr(4, 4, 3, 7), colr_enum(cs)})), r);
    EXPECT_TRUE(r.ok) << cs << r.error;
    EXPECT_EQ(r.reader.colour.num_colours, 3);
  }
  header_result bad;
  read_header(standard_file(cat({ihdr(4, 4, 3, 7), colr_enum(19)})), bad);
  EXPECT_EQ(bad.error.find("Illegal enumerated colour space"), 0u);
}

TEST(Jp2Boxes, LengthForms) {
  // jp2c running to the end of the file, then with an extended length, then with an extended
  // length whose high word is set (also to the end).
  auto head = cat({signature(), ftyp(), box("jp2h", cat({ihdr(4, 4, 1, 7), colr_enum(17)}))});
  auto to_end = cat({head, byte_builder().u32(0).tag("jp2c").u16(0xFF4F).bytes});
  header_result r1;
  read_header(to_end, r1);
  ASSERT_TRUE(r1.ok);
  EXPECT_TRUE(r1.reader.box.runs_to_end());
  uint8_t b[8];
  EXPECT_EQ(r1.reader.box.read(b, 8), 2);
  EXPECT_TRUE(r1.reader.box.close());

  auto extended = cat({head, byte_builder().u32(1).tag("jp2c").u32(0).u32(18).u16(0xFF4F).bytes});
  header_result r2;
  read_header(extended, r2);
  ASSERT_TRUE(r2.ok);
  EXPECT_EQ(r2.reader.box.get_remaining(), 2u);

  auto huge = cat({head, byte_builder().u32(1).tag("jp2c").u32(1).u32(0).u16(0xFF4F).bytes});
  header_result r3;
  read_header(huge, r3);
  ASSERT_TRUE(r3.ok);
  EXPECT_TRUE(r3.reader.box.runs_to_end());

  header_result r4, r5;
  read_header(cat({head, byte_builder().u32(3).tag("jp2c").bytes}), r4);
  EXPECT_EQ(r4.error, "Illegal box length field encountered in JP2 file.");
  read_header(cat({head, byte_builder().u32(1).tag("jp2c").u32(0).u32(15).bytes}), r5);
  EXPECT_EQ(r5.error, "Illegal extended box length encountered in JP2 file.");
}

TEST(Jp2Boxes, StructuralMismatchesFail) {
  auto header = box("jp2h", cat({ihdr(4, 4, 1, 7), colr_enum(17)}));
  struct {
    const char *why;
    std::vector<uint8_t> file;
  } cases[] = {
      {"bad signature", cat({byte_builder().u32(12).tag("jP  ").u32(0x0D0A870B).bytes, ftyp(), header, jp2c()})},
      {"signature too long",
       cat({byte_builder().u32(13).tag("jP  ").u32(0x0D0A870A).u8(0).bytes, ftyp(), header, jp2c()})},
      {"no jp2 brand",
       cat({signature(), box("ftyp", byte_builder().tag("jpx ").u32(0).tag("jpx ").bytes), header, jp2c()})},
      {"header before file type", cat({signature(), header, ftyp(), jp2c()})},
      {"no code-stream", cat({signature(), ftyp(), header})},
      {"empty", {}},
  };
  for (auto &c : cases) {
    header_result r;
    read_header(c.file, r);
    EXPECT_FALSE(r.ok) << c.why;
    EXPECT_EQ(r.error, "") << c.why;
  }
}

TEST(Jp2Boxes, SubBoxLongerThanItsParentStaysInside) {
  // An image header claiming 4000 bytes inside a header box of 30: limited to the header box,
  // so its own check reports the excess and nothing past the header box is read for it.
  auto bad_ihdr = byte_builder().u32(4000).tag("ihdr").u32(4).u32(4).u16(1).u8(7).u8(7).u8(0).u8(0).bytes;
  auto file = cat({signature(), ftyp(), box("jp2h", bad_ihdr), jp2c()});
  header_result r;
  read_header(file, r);
  EXPECT_EQ(r.error, "No JP2 file colour information available!");  // ihdr read, colour missing
  header_result r2;
  auto with_colr = cat({signature(), ftyp(), box("jp2h", cat({colr_enum(17), bad_ihdr})), jp2c()});
  read_header(with_colr, r2);
  EXPECT_TRUE(r2.ok) << r2.error;
  EXPECT_EQ(r2.reader.dimensions.width, 4u);

  // A colour box claiming gigabytes of profile at the end of the file.
  auto huge_colr =
      cat({signature(), ftyp(),
           byte_builder().u32(0x7FFFFFF0).tag("jp2h").u32(0x7FFFFF00).tag("colr").u8(2).u8(0).u8(0).u32(200).bytes});
  header_result r3;
  read_header(huge_colr, r3);
  EXPECT_EQ(r3.error, "JP2 file terminated unexpectedly inside the colour specification (colr) box.");
}

TEST(Jp2Boxes, HeaderBoxErrors) {
  auto ok_colr = colr_enum(17);
  struct {
    std::vector<uint8_t> header;
    const char *expect;
  } cases[] = {
      {cat({ihdr(4, 4, 1, 7), ihdr(4, 4, 1, 7), ok_colr}), "JP2 file contains multiple image header (ihdr) boxes!"},
      {cat({box("ihdr", {0, 0, 0, 4}), ok_colr}),
       "Malformed image header box (ihdr) found in JP2 file. Not all fields were present."},
      {cat({box("ihdr", cat({byte_builder().u32(4).u32(4).u16(1).u8(7).u8(7).u8(0).u8(0).u8(0).bytes})), ok_colr}),
       "Malformed image header box (ihdr) found in JP2 file. The box appears to be too long."},
      {cat({ihdr(4, 4, 0, 7), ok_colr}),
       "Malformed image header box (ihdr) found in JP2 file. The box contains fields which do not conform to their legal range."},
      {cat({ihdr(4, 4, 1, 38), ok_colr}),
       "Malformed image header box (ihdr) found in JP2 file. The box contains fields which do not conform to their legal range."},
      {cat({ihdr(0x80000000u, 4, 1, 7), ok_colr}),
       "Sorry: Cannot process JP2 files whose image header box contains height and width values larger than 2^{31}-1."},
      {cat({ihdr(4, 4, 2, 7), box("bpcc", {7, 7}), ok_colr}),
       "Encountered an illegal bits per component (bpcc) box in a JP2 header box. The bpcc box is legal only if the image header box does not specify bit-depth information."},
      {cat({ihdr(4, 4, 2, 255), box("bpcc", {7}), ok_colr}),
       "Malformed bits per component (bpcc) box found in JP2 file. The box contains insufficient bit-depth specifiers."},
      {cat({ihdr(4, 4, 1, 255), box("bpcc", {38}), ok_colr}),
       "Malformed bits per component (bpcc) box found in JP2 file. The box contains an illegal bit-depth specifier. Bit depths may not exceed 38 bits per sample."},
      {cat({ihdr(4, 4, 1, 255), ok_colr}),
       "Incomplete or invalid dimensional information provided for the JP2 file image header box."},
      {cat({ihdr(4, 4, 1, 7)}), "No JP2 file colour information available!"},
      {cat({ihdr(4, 4, 1, 7), box("colr", {3, 0, 0})}),
       "Malformed colour specification (colr) box found in JP2 file. Insufficient or illegal fields found in box."},
      {cat({ihdr(4, 4, 1, 7), box("colr", {1, 0, 0, 0, 0, 0, 17, 0})}),
       "Malformed colour specification (colr) box found in JP2 file. The box appears to be too large."},
      {cat({ihdr(4, 4, 1, 7), box("colr", cat({{2, 0, 0}, std::vector<uint8_t>(100, 0)}))}),
       "Embedded ICC profile for JP2 file does not have a complete header."},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("pclr", byte_builder().u16(0).u8(1).bytes)}),
       "Malformed palette (pclr) box found in JP2 file. Insufficient or illegal fields encountered."},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("pclr", byte_builder().u16(1).u8(2).u8(7).bytes)}),
       "Malformed palette (pclr) box found in JP2 file. The box contains insufficient bit-depth specifiers."},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("pclr", byte_builder().u16(2).u8(1).u8(7).u8(1).bytes)}),
       "Malformed palette (pclr) box found in JP2 file. The box contains insufficient palette entries."},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("pclr", byte_builder().u16(1).u8(1).u8(7).u8(1).u8(9).bytes)}),
       "Malformed palette (pclr) box found in JP2 file. Box appears to be too long."},
      {cat({ihdr(4, 4, 1, 7), ok_colr,
            box("pclr", byte_builder().u16(1).u8(1).u8(0x25).u8(1).u8(2).u8(3).u8(4).u8(5).bytes)}),
       "Incomplete or invalid information provided for the JP2 file palette box."},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("cmap", {0, 0, 0})}),
       "Malformed component mapping (cmap) box encountered in JP2 file. The body of any such box must contain exactly four bytes for each channel and there must be at least one channel."},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("cmap", {})}),
       "Malformed component mapping (cmap) box encountered in JP2 file. The body of the box does not appear to contain any channel mappings."},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("cmap", {0, 0, 0, 0}), box("cmap", {0, 0, 0, 0})}),
       "Multiple instances of the component mapping (cmap) box encountered in JP2 file!"},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("cmap", {0, 5, 0, 0})}),
       "Attempting to describe a colour channel in terms of a non-existent image component!"},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("pclr", byte_builder().u16(1).u8(1).u8(7).u8(1).bytes),
            box("cmap", {0, 0, 1, 3})}),
       "Attempting to describe a colour channel in terms of a non-existent palette component (lookup table)."},
      {cat({ihdr(4, 4, 2, 7), ok_colr, box("pclr", byte_builder().u16(1).u8(1).u8(7).u8(1).bytes),
            box("cmap", {0, 0, 1, 0, 0, 0, 0, 0})}),
       "It is illegal to use any image component directly as well as through a colour palette mapping."},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("cmap", {0, 0, 0, 0}),
            box("cdef", byte_builder().u16(1).u16(4).u16(0).u16(1).bytes)}),
       "The JP2 file's colour definition (cdef) box references a channel which is not defined within the colour mapping (cmap) box."},
      {cat({ihdr(4, 4, 2, 7), ok_colr, box("cdef", byte_builder().u16(1).u16(1).u16(1).u16(0).bytes)}),
       "Attempting to use a `jp2_channels' object whose number of colours differs from that specified by the `jp2_colour' object."},
      {cat({ihdr(4, 4, 2, 7), ok_colr,
            box("cdef", byte_builder().u16(2).u16(0).u16(0).u16(1).u16(0).u16(1).u16(0).bytes)}),
       "It is illegal to specify the same source component/palette LUT combination for use with different types of colour reproduction functions, where the three types are colour, opacity and pre-multiplied opacity."},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("cdef", byte_builder().u16(1).u16(3).u16(0).u16(1).bytes)}),
       "Attempting to describe a colour channel in terms of a non-existent image component!"},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("cdef", byte_builder().u16(1).u16(0).u16(0).bytes)}),
       "Malformed channel definition (cdef) box found in JP2 file. Missing or invalid channel association information."},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("cdef", byte_builder().u16(1).u16(0).u16(0).u16(1).u8(0).bytes)}),
       "Malformed channel definition (cdef) box found in JP2 file. The box appears to be too long."},
      {cat({ihdr(4, 4, 1, 7), colr_enum(16)}),
       "Attempting to describe a colour channel in terms of a non-existent image component!"},
      {cat({ihdr(4, 4, 1, 7), ok_colr, box("res ", {})}),
       "The JP2 resolution box must contain at least one of the capture or display resolution sub-boxes."},
      {cat({ihdr(4, 4, 1, 7), ok_colr,
            box("res ", box("resc", byte_builder().u16(1).u16(0).u16(1).u16(1).u8(0).u8(0).bytes))}),
       "Malformed capture or display resolution sub-box found in JP2 file. Insufficient or illegal data fields."},
      {cat({ihdr(4, 4, 1, 7), ok_colr,
            box("res ", box("resd", byte_builder().u16(1).u16(1).u16(1).u16(1).u8(0).u8(0).u8(0).bytes))}),
       "Malformed capture or display resolution sub-box found in JP2 file. Box appears to be too long."},
  };
  for (auto &c : cases) {
    header_result r;
    read_header(standard_file(c.header), r);
    EXPECT_EQ(r.error, folded(c.expect));
  }
}

TEST(Jp2Boxes, IccProfileChecks) {
  auto profile = grey_icc();
  auto with = [](std::vector<uint8_t> p) {
    return standard_file(cat({ihdr(4, 4, 1, 7), box("colr", cat({{2, 0, 0}, p}))}));
  };
  header_result ok;
  read_header(with(profile), ok);
  EXPECT_TRUE(ok.ok) << ok.error;

  auto display = profile;
  std::memcpy(&display[12], "mntr", 4);
  auto many_tags = profile;
  many_tags[128] = 0x10;
  auto bad_offset = profile;
  bad_offset[139] = 200;
  auto not_curve = profile;
  std::memcpy(&not_curve[144], "para", 4);
  auto long_curve = profile;
  long_curve[155] = 9;
  auto rgb = profile;
  std::memcpy(&rgb[16], "RGB ", 4);
  // Three tone curves (all sharing one curv) but no colorant tags.
  byte_builder three;
  three.u32(0).u32(0).u32(0).tag("scnr").tag("RGB ").tag("XYZ ");
  while (three.size() < 128) three.u8(0);
  three.u32(3);
  for (const char *t : {"rTRC", "gTRC", "bTRC"}) three.tag(t).u32(168).u32(14);
  three.tag("curv").u32(0).u32(1).u16(0x0100);
  three.bytes[3] = (uint8_t)three.size();
  auto rgb_curves_only = three.bytes;
  struct {
    std::vector<uint8_t> p;
    const char *expect;
  } cases[] = {
      {display,
       "Embedded ICC profile for JP2 file must contain an input device profile (as opposed to a display profile, output profile, link profile, etc.)."},
      {many_tags, "Embedded ICC profile for JP2 file appears to have been truncated!"},
      {bad_offset, "Illegal tag offset or length value supplied in the JP2 embedded icc profile."},
      {not_curve, "Did not find a valid `curv' data type in the embedded ICC profile's tone reproduction curve tag."},
      {long_curve,
       "The `curv' data type used to represent an embedded ICC profile's tone reproduction curve appears to have been truncated."},
      {rgb, "Embedded ICC profile for JP2 file does not contain a complete set of tone reproduction curves!"},
      {rgb_curves_only,
       "Embedded ICC profile for JP2 file does not contain a complete set of primary colorant specifications."},
  };
  for (auto &c : cases) {
    header_result r;
    read_header(with(c.p), r);
    EXPECT_EQ(r.error, folded(c.expect));
  }
}

TEST(Jp2Boxes, TruncatedAndCorruptFilesStayInsideTheInput) {
  auto file = opj_encode("-n 2", 16, 16, 3, "jp2");
  if (file.empty()) file = standard_file(cat({ihdr(4, 4, 3, 7), colr_enum(16)}));
  size_t header_end = std::min<size_t>(file.size(), 120);
  for (size_t n = 0; n <= header_end; n++) {
    header_result r;
    read_header(std::vector<uint8_t>(file.begin(), file.begin() + (long)n), r);
  }
  uint32_t seed = 12345;
  for (int round = 0; round < 300; round++) {
    auto bad = file;
    for (int k = 0; k < 3; k++) {
      seed = seed * 1103515245u + 12345u;
      bad[(seed >> 8) % header_end] ^= (uint8_t)(1u << ((seed >> 4) & 7));
    }
    header_result r;
    read_header(bad, r);
  }
}

namespace {

// Serves the code-stream bytes of an open 'jp2c' box.
class box_source : public kdu_compressed_source {
 public:
  explicit box_source(jp2_box_reader &box) : box(box) {}
  int read(uint8_t *buf, int num_bytes) override { return box.read(buf, num_bytes); }
  jp2_box_reader &box;
};

}  // namespace

TEST(Jp2Header, CodeStreamBoxFeedsTheDecoder) {
  auto file = opj_encode("-n 1 -mct 0", 21, 13, 3, "jp2");
  REQUIRE_OPJ(file);
  header_result r;
  read_header(file, r);
  ASSERT_TRUE(r.ok);
  box_source src(r.reader.box);
  kdu_codestream cs;
  ASSERT_EQ(error_text([&] { cs.start_input(&src); }), "");
  kd_region dims;
  cs.get_component_region(0, dims);
  EXPECT_EQ((uint32_t)dims.size_x, r.reader.dimensions.width);
  EXPECT_EQ((uint32_t)dims.size_y, r.reader.dimensions.height);
  EXPECT_EQ(cs.get_num_components(), r.reader.dimensions.num_components);
  cs.destroy();
  EXPECT_FALSE(r.reader.box.close());  // only the main header was read: the rest is skipped
  EXPECT_FALSE(r.reader.box.is_open());
}
