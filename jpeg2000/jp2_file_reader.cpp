#include "jp2_file_reader.h"

#include <cmath>
#include <cstring>

#include "kdu_messages.h"

namespace {

[[noreturn]] void jp2_fail(const char *text) {
  {
    kdu_error e;
    e << text;
  }
  throw kdu_exception();  // only reached when an error handler returns
}

// Decodes a bit-depth byte: a set top bit gives a signed depth.
int decode_depth(uint8_t byte) { return (byte & 0x80) ? -((byte & 0x7F) + 1) : (byte & 0x7F) + 1; }

uint32_t be32(const uint8_t *p) {
  return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

}  // namespace

// ---------------------------------------------------------------------------------------------
void jp2_image_geometry::read_box(jp2_box_reader &box) {
  if (is_read) jp2_fail("JP2 file contains multiple image header (ihdr) boxes!");
  uint32_t h, w;
  uint16_t nc;
  uint8_t bpc, c, unk, ip;
  if (!(box.read(h) && box.read(w) && box.read(nc) && box.read(bpc) && box.read(c) && box.read(unk) && box.read(ip)))
    jp2_fail("Malformed image header box (ihdr) found in JP2 file.  Not all fields were present.");
  if (!box.close()) jp2_fail("Malformed image header box (ihdr) found in JP2 file.  The box appears to be too long.");
  if (nc < 1 || nc > 16384 || c != 7 || unk > 1 || ip > 1 || (bpc != 255 && (bpc & 0x7F) > 37))
    jp2_fail(
        "Malformed image header box (ihdr) found in JP2 file.  The box contains fields which "
        "do not conform to their legal range.");
  if (h >= 0x80000000u || w >= 0x80000000u)
    jp2_fail(
        "Sorry: Cannot process JP2 files whose image header box contains height and width "
        "values larger than 2^{31}-1.");
  is_read = true;
  height = h;
  width = w;
  num_components = nc;
  colour_space_unknown = (unk != 0);
  ipr = (ip != 0);
  bit_depths.assign(nc, (bpc == 255) ? 0 : decode_depth(bpc));
}

void jp2_image_geometry::read_bpcc_box(jp2_box_reader &box) {
  bool all_zero = true;
  for (int d : bit_depths)
    if (d != 0) all_zero = false;
  if (!all_zero)
    jp2_fail(
        "Encountered an illegal bits per component (bpcc) box in a JP2 header box.  The bpcc "
        "box is legal only if the image header box does not specify bit-depth information.");
  for (int &d : bit_depths) {
    uint8_t byte;
    if (!box.read(byte))
      jp2_fail(
          "Malformed bits per component (bpcc) box found in JP2 file.  The box contains "
          "insufficient bit-depth specifiers.");
    if ((byte & 0x7F) > 37)
      jp2_fail(
          "Malformed bits per component (bpcc) box found in JP2 file.  The box contains an "
          "illegal bit-depth specifier.  Bit depths may not exceed 38 bits per sample.");
    d = decode_depth(byte);
  }
  if (!box.close())
    jp2_fail(
        "Malformed bits per component (bpcc) box found in JP2 file.  The box appears to be "
        "too long.");
}

void jp2_image_geometry::finalize() {
  bool ok = num_components >= 1 && num_components <= 16384;
  for (int d : bit_depths)
    if (d == 0 || d < -38 || d > 38) ok = false;
  if (!ok)
    jp2_fail(
        "Incomplete or invalid dimensional information provided for the JP2 file image "
        "header box.");
}

// ---------------------------------------------------------------------------------------------
void jp2_colour::read_box(jp2_box_reader &box) {
  if (is_read) {  // only the first colour box counts
    box.close();
    return;
  }
  uint8_t meth, prec, appr;
  if (!(box.read(meth) && box.read(prec) && box.read(appr)) || (meth != 1 && meth != 2))
    jp2_fail(
        "Malformed colour specification (colr) box found in JP2 file.  Insufficient or "
        "illegal fields found in box.");
  precedence = prec;
  approx = appr;
  if (meth == 1) {
    uint32_t cs;
    if (!box.read(cs))
      jp2_fail(
          "Malformed colour specification (colr) box found in JP2 file.  Insufficient or "
          "illegal fields found in box.");
    // 18 is the standard code of sYCC; 22 is accepted for it as well.
    if (cs == 16) {
      space = JP2_sRGB_SPACE;
      num_colours = 3;
    } else if (cs == 17) {
      space = JP2_sLUM_SPACE;
      num_colours = 1;
    } else if (cs == 18 || cs == 22) {
      space = JP2_sYCC_SPACE;
      num_colours = 3;
    } else
      jp2_fail(
          "Illegal enumerated colour space found in JP2 colour specification (colr) box.  "
          "Allowed values are 16, 17 and 22, corresponding to sRGB, sLUM and sYCC, "
          "respectively.");
    if (!box.close())
      jp2_fail(
          "Malformed colour specification (colr) box found in JP2 file.  The box appears to "
          "be too large.");
  } else {
    // The profile is read by what the file holds, never by what the box claims.
    std::vector<uint8_t> data;
    uint8_t chunk[4096];
    int got;
    while ((got = box.read(chunk, (int)sizeof(chunk))) > 0) data.insert(data.end(), chunk, chunk + got);
    bool truncated = !box.runs_to_end() && box.get_remaining() > 0;
    box.close();
    if (truncated) jp2_fail("JP2 file terminated unexpectedly inside the colour specification (colr) box.");
    read_icc_profile(data.data(), data.size());
    has_icc = true;
    num_colours = icc.num_colours;
    space = (num_colours == 1) ? JP2_iccLUM_SPACE : JP2_iccRGB_SPACE;
  }
  is_read = true;
}

void jp2_colour::read_icc_profile(const uint8_t *data, size_t size) {
  if (size < 132 || be32(data) < 132) jp2_fail("Embedded ICC profile for JP2 file does not have a complete header.");
  size_t end = be32(data);
  if (end > size) end = size;  // only the bytes actually held count
  if (be32(data + 12) != jp2_box_code('s', 'c', 'n', 'r'))
    jp2_fail(
        "Embedded ICC profile for JP2 file must contain an input device profile (as opposed "
        "to a display profile, output profile, link profile, etc.).");
  icc = jp2_icc_profile();
  icc.num_colours = (be32(data + 16) == jp2_box_code('G', 'R', 'A', 'Y')) ? 1 : 3;
  uint32_t num_tags = be32(data + 128);
  bool have_curve[3] = {false, false, false}, have_xyz[3] = {false, false, false};
  for (uint32_t t = 0; t < num_tags; t++) {
    uint64_t at = 132 + 12 * (uint64_t)t;
    if (at + 12 > end) jp2_fail("Embedded ICC profile for JP2 file appears to have been truncated!");
    uint32_t sig = be32(data + at), offset = be32(data + at + 4), length = be32(data + at + 8);
    int curve = -1, xyz = -1;
    if (sig == jp2_box_code('k', 'T', 'R', 'C') && icc.num_colours == 1)
      curve = 0;
    else if (sig == jp2_box_code('r', 'T', 'R', 'C'))
      curve = 0;
    else if (sig == jp2_box_code('g', 'T', 'R', 'C'))
      curve = 1;
    else if (sig == jp2_box_code('b', 'T', 'R', 'C'))
      curve = 2;
    else if (sig == jp2_box_code('r', 'X', 'Y', 'Z'))
      xyz = 0;
    else if (sig == jp2_box_code('g', 'X', 'Y', 'Z'))
      xyz = 1;
    else if (sig == jp2_box_code('b', 'X', 'Y', 'Z'))
      xyz = 2;
    if (curve >= 0) {
      if ((uint64_t)offset + length > end)
        jp2_fail("Illegal tag offset or length value supplied in the JP2 embedded icc profile.");
      if (length < 12 || be32(data + offset) != jp2_box_code('c', 'u', 'r', 'v'))
        jp2_fail(
            "Did not find a valid `curv' data type in the embedded ICC profile's tone "
            "reproduction curve tag.");
      uint32_t count = be32(data + offset + 8);
      if (12 + 2 * (uint64_t)count > length)
        jp2_fail(
            "The `curv' data type used to represent an embedded ICC profile's tone "
            "reproduction curve appears to have been truncated.");
      std::vector<uint16_t> &points = icc.curves[curve];
      points.resize(count);
      for (uint32_t i = 0; i < count; i++)
        points[i] = (uint16_t)((data[offset + 12 + 2 * i] << 8) | data[offset + 13 + 2 * i]);
      have_curve[curve] = true;
    } else if (xyz >= 0) {
      if ((uint64_t)offset + length > end)
        jp2_fail("Illegal tag offset or length value supplied in JP2 embedded icc profile.");
      if (length < 20 || be32(data + offset) != jp2_box_code('X', 'Y', 'Z', ' '))
        jp2_fail(
            "Did not find a valid `XYZ ' data type in the embedded ICC profile's colorant "
            "description tag.");
      for (int k = 0; k < 3; k++) icc.colorants[xyz][k] = (int32_t)be32(data + offset + 8 + 4 * k) / 65536.0;
      have_xyz[xyz] = true;
    }
  }
  for (int c = 0; c < icc.num_colours; c++)
    if (!have_curve[c])
      jp2_fail(
          "Embedded ICC profile for JP2 file does not contain a complete set of tone "
          "reproduction curves!");
  if (icc.num_colours == 3 && !(have_xyz[0] && have_xyz[1] && have_xyz[2]))
    jp2_fail(
        "Embedded ICC profile for JP2 file does not contain a complete set of primary "
        "colorant specifications.");
}

void jp2_colour::finalize() {
  if (!is_read) jp2_fail("No JP2 file colour information available!");
}

// ---------------------------------------------------------------------------------------------
void jp2_palette_table::read_box(jp2_box_reader &box) {
  if (is_read) jp2_fail("JP2 file contains multiple palette (pclr) boxes!");
  uint16_t ne;
  uint8_t npc;
  if (!(box.read(ne) && box.read(npc)) || ne < 1 || ne > 1024 || npc < 1)
    jp2_fail(
        "Malformed palette (pclr) box found in JP2 file.  Insufficient or illegal fields "
        "encountered.");
  is_read = true;
  num_entries = ne;
  num_columns = npc;
  bit_depths.assign(npc, 0);
  for (int c = 0; c < npc; c++) {
    uint8_t b;
    if (!box.read(b))
      jp2_fail(
          "Malformed palette (pclr) box found in JP2 file.  The box contains insufficient "
          "bit-depth specifiers.");
    if ((b & 0x7F) > 37)
      jp2_fail(
          "Malformed palette (pclr) box found in JP2 file.  The box contains an illegal "
          "bit-depth specifier.  Bit depths may not exceed 38 bits per sample.");
    bit_depths[(size_t)c] = decode_depth(b);
  }
  luts.assign(npc, std::vector<int64_t>(ne, 0));
  for (int e = 0; e < ne; e++)
    for (int c = 0; c < npc; c++) {
      int depth = std::abs(bit_depths[(size_t)c]);
      int nbytes = (depth + 7) / 8;
      uint8_t buf[5];
      if (box.read(buf, nbytes) < nbytes)
        jp2_fail(
            "Malformed palette (pclr) box found in JP2 file.  The box contains insufficient "
            "palette entries.");
      uint64_t v = 0;
      for (int k = 0; k < nbytes; k++) v = (v << 8) | buf[k];
      v &= (depth >= 64) ? ~(uint64_t)0 : (((uint64_t)1 << depth) - 1);
      int64_t value = (int64_t)v;
      if (bit_depths[(size_t)c] < 0 && (v >> (depth - 1)) & 1) value -= (int64_t)1 << depth;
      luts[(size_t)c][(size_t)e] = value;
    }
  if (!box.close()) jp2_fail("Malformed palette (pclr) box found in JP2 file.  Box appears to be too long.");
}

void jp2_palette_table::finalize() {
  if (!is_read) return;
  bool ok = num_columns >= 1 && num_columns <= 255 && num_entries >= 1 && num_entries <= 1024;
  for (int d : bit_depths)
    if (d == 0 || d < -32 || d > 32) ok = false;
  if (!ok) jp2_fail("Incomplete or invalid information provided for the JP2 file palette box.");
}

// ---------------------------------------------------------------------------------------------
jp2_channels::jp2_channels() {
  for (int c = 0; c < 3; c++) {
    colour_component[c] = c;
    colour_lut[c] = -1;
  }
}

void jp2_channels::read_cmap_box(jp2_box_reader &box) {
  if (have_cmap) jp2_fail("Multiple instances of the component mapping (cmap) box encountered in JP2 file!");
  have_cmap = true;
  if (!box.runs_to_end() && (box.get_remaining() % 4) != 0)
    jp2_fail(
        "Malformed component mapping (cmap) box encountered in JP2 file.  The body of any "
        "such box must contain exactly four bytes for each channel and there must be at "
        "least one channel.");
  for (;;) {
    uint8_t b[4];
    int got = box.read(b, 4);
    if (got == 0) break;
    if (got < 4)
      jp2_fail(
          "Malformed component mapping (cmap) box encountered in JP2 file.  Invalid or "
          "truncated mapping specs.");
    jp2_channel_mapping m{(b[0] << 8) | b[1], b[2], b[3]};
    if (m.mapping_type > 1)
      jp2_fail(
          "Malformed component mapping (cmap) box encountered in JP2 file.  Invalid or "
          "truncated mapping specs.");
    if (m.mapping_type == 0) m.palette_column = -1;
    cmap.push_back(m);
  }
  if (cmap.empty())
    jp2_fail(
        "Malformed component mapping (cmap) box encountered in JP2 file.  The body of the "
        "box does not appear to contain any channel mappings.");
  box.close();
}

void jp2_channels::read_cdef_box(jp2_box_reader &box) {
  uint16_t n;
  if (have_cdef || !box.read(n) || n == 0)
    jp2_fail(
        "Malformed channel definition (cdef) box found in JP2 file.  Missing or invalid "
        "fields.");
  have_cdef = true;
  for (int i = 0; i < n; i++) {
    uint16_t cn, typ, asoc;
    if (!(box.read(cn) && box.read(typ)) || (typ > 2 && typ != 65535))
      jp2_fail(
          "Malformed channel definition (cdef) box found in JP2 file.  Missing or invalid "
          "fields.");
    if (!box.read(asoc))
      jp2_fail(
          "Malformed channel definition (cdef) box found in JP2 file.  Missing or invalid "
          "channel association information.");
    cdef.push_back({cn, typ, asoc});
  }
  if (!box.close())
    jp2_fail(
        "Malformed channel definition (cdef) box found in JP2 file.  The box appears to be "
        "too long.");
}

void jp2_channels::finalize(int colours, int num_components, int num_palette_columns) {
  num_colours = colours;
  for (int c = colours; c < 3; c++) {
    colour_component[c] = -1;
    colour_lut[c] = -1;
  }
  // Channels: those of the component mapping, or one per component used directly.
  // Without a mapping, channel n is component n; a missing component is reported below.
  int num_channels = have_cmap ? (int)cmap.size() : 65536;
  auto channel_source = [&](int ch, int &comp, int &lut) {
    if (have_cmap) {
      comp = cmap[(size_t)ch].component;
      lut = cmap[(size_t)ch].palette_column;
    } else {
      comp = ch;
      lut = -1;
    }
  };
  if (have_cdef) {
    int defined = 0;
    for (const jp2_channel_definition &d : cdef)
      if (d.type == 0 && d.association >= 1 && d.association < 65535 && d.association > defined)
        defined = d.association;
    if (defined != colours)
      jp2_fail(
          "Attempting to use a `jp2_channels' object whose number of colours differs from "
          "that specified by the `jp2_colour' object.");
  }
  if (have_cmap)
    for (size_t i = 0; i < cmap.size(); i++)
      for (size_t j = 0; j < cmap.size(); j++)
        if (cmap[i].component == cmap[j].component && cmap[i].mapping_type == 0 && cmap[j].mapping_type == 1)
          jp2_fail(
              "It is illegal to use any image component directly as well as through a "
              "colour palette mapping.");
  if (have_cdef) {
    for (size_t i = 0; i < cdef.size(); i++)
      for (size_t j = i + 1; j < cdef.size(); j++) {
        if (cdef[i].type > 2 || cdef[j].type > 2 || cdef[i].type == cdef[j].type) continue;
        if (cdef[i].channel >= num_channels || cdef[j].channel >= num_channels) continue;
        int ci, li, cj, lj;
        channel_source(cdef[i].channel, ci, li);
        channel_source(cdef[j].channel, cj, lj);
        if (ci == cj && li == lj)
          jp2_fail(
              "It is illegal to specify the same source component/palette LUT combination "
              "for use with different types of colour reproduction functions, where the "
              "three types are colour, opacity and pre-multiplied opacity.");
      }
    if (have_cmap)
      for (const jp2_channel_definition &d : cdef)
        if (d.channel >= (int)cmap.size())
          jp2_fail(
              "The JP2 file's colour definition (cdef) box references a channel which is not "
              "defined within the colour mapping (cmap) box.");
  }

  // Every colour channel needs a source.
  for (int c = 0; c < colours && c < 3; c++) {
    int channel = -1;
    if (have_cdef) {
      for (const jp2_channel_definition &d : cdef)
        if (d.type == 0 && d.association == c + 1) channel = d.channel;
    } else
      channel = c;
    if (channel < 0 || channel >= num_channels)
      jp2_fail(
          "Insufficient channel association information for a valid JP2 file.  Every colour "
          "channel must be associated with an image component in some way or another.");
    channel_source(channel, colour_component[c], colour_lut[c]);
  }
  if (have_cdef)
    for (const jp2_channel_definition &d : cdef)
      if ((d.type == 1 || d.type == 2) && d.association == 0 && d.channel < num_channels) {
        channel_source(d.channel, opacity_component, opacity_lut);
        opacity_premultiplied = (d.type == 2);
      }

  auto check = [&](int comp, int lut) {
    if (comp < 0) return;
    if (comp >= num_components)
      jp2_fail(
          "Attempting to describe a colour channel in terms of a non-existent image "
          "component!");
    if (lut >= 0 && lut >= num_palette_columns)
      jp2_fail(
          "Attempting to describe a colour channel in terms of a non-existent palette "
          "component (lookup table).");
  };
  for (int c = 0; c < colours && c < 3; c++) check(colour_component[c], colour_lut[c]);
  check(opacity_component, opacity_lut);
  if (have_cmap)
    for (const jp2_channel_mapping &m : cmap) check(m.component, m.palette_column);
}

// ---------------------------------------------------------------------------------------------
void jp2_resolution_info::read_box(jp2_box_reader &box) {
  if (is_read) jp2_fail("JP2 file contains multiple instances of the resolution (res) box!");
  is_read = true;
  bool any = false;
  jp2_box_reader sub;
  while (sub.open(&box)) {
    uint32_t type = sub.get_box_type();
    if (type != jp2_capture_resolution_4cc && type != jp2_display_resolution_4cc) {
      sub.close();
      continue;
    }
    uint16_t vn, vd, hn, hd;
    uint8_t ve, he;
    if (!(sub.read(vn) && sub.read(vd) && sub.read(hn) && sub.read(hd) && sub.read(ve) && sub.read(he)) || vn == 0 ||
        vd == 0 || hn == 0 || hd == 0)
      jp2_fail(
          "Malformed capture or display resolution sub-box found in JP2 file.  Insufficient "
          "or illegal data fields.");
    if (!sub.close())
      jp2_fail(
          "Malformed capture or display resolution sub-box found in JP2 file.  Box appears "
          "to be too long.");
    double vres = (double)vn / vd * std::pow(10.0, (int8_t)ve);
    double hres = (double)hn / hd * std::pow(10.0, (int8_t)he);
    if (!any || type == jp2_display_resolution_4cc) {
      resolution = (float)vres;
      aspect_ratio = (float)(hres / vres);
      from_display = (type == jp2_display_resolution_4cc);
    }
    any = true;
  }
  if (!any)
    jp2_fail(
        "The JP2 resolution box must contain at least one of the capture or display "
        "resolution sub-boxes.");
  if (!box.close()) jp2_fail("Malformed resolution box found in JP2 file.  Box appears to be too long.");
}

// ---------------------------------------------------------------------------------------------
jp2_file_reader::~jp2_file_reader() {}

bool read_jp2_header(jp2_file_reader &reader, jp2_stream *stream) {
  reader.stream = stream;
  jp2_box_reader &box = reader.box;
  if (!box.open(stream) || box.get_box_type() != jp2_signature_4cc) return false;
  uint32_t signature;
  if (!box.read(signature) || signature != 0x0D0A870Au || !box.close()) return false;

  bool have_ftyp = false;
  for (;;) {
    if (!box.open(stream)) return false;
    uint32_t type = box.get_box_type();
    if (type == jp2_file_type_4cc) {
      uint32_t brand, minor, entry;
      bool compatible = false;
      if (box.read(brand) && box.read(minor))
        while (box.read(entry))
          if (entry == jp2_brand) compatible = true;
      box.close();
      if (!compatible) return false;
      have_ftyp = true;
    } else if (type == jp2_header_4cc) {
      if (!have_ftyp) return false;
      jp2_box_reader sub;
      while (sub.open(&box)) {
        switch (sub.get_box_type()) {
          case jp2_image_header_4cc:
            reader.dimensions.read_box(sub);
            break;
          case jp2_bits_per_component_4cc:
            reader.dimensions.read_bpcc_box(sub);
            break;
          case jp2_colour_4cc:
            reader.colour.read_box(sub);
            break;
          case jp2_palette_4cc:
            reader.palette.read_box(sub);
            break;
          case jp2_channel_definition_4cc:
            reader.channels.read_cdef_box(sub);
            break;
          case jp2_component_mapping_4cc:
            reader.channels.read_cmap_box(sub);
            break;
          case jp2_resolution_4cc:
            reader.resolution.read_box(sub);
            break;
          default:
            break;
        }
        sub.close();
      }
      reader.dimensions.finalize();
      reader.colour.finalize();
      reader.palette.finalize();
      if (!(reader.resolution.aspect_ratio > 0.0f)) reader.resolution.aspect_ratio = 1.0f;
      if (!(reader.resolution.resolution > 0.0f)) reader.resolution.resolution = 1.0f;
      reader.channels.finalize(reader.colour.num_colours, reader.dimensions.num_components,
                               reader.palette.is_read ? reader.palette.num_columns : 0);
      if (!box.close()) return false;
    } else if (type == jp2_code_stream_4cc)
      return true;
    else
      box.close();
  }
}
