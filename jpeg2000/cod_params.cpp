#include "cod_params.h"

#include <algorithm>

#include "kdu_messages.h"
#include "siz_params.h"

namespace {

const char *const order_pattern = "(LRCP=0,RLCP=1,RPCL=2,PCRL=3,CPRL=4)";
const char *const modes_pattern = "[BYPASS=1|RESET=2|RESTART=4|CAUSAL=8|ERTERM=16|SEGMARK=32]";

}  // namespace

cod_params::cod_params() : kdu_params("COD", true, true, false) {
  add_attribute("Cycc",
                "RGB to Luminance-Chrominance conversion?\n\t\t[Default is to convert 3 "
                "component images]",
                ATTR_NO_COMPONENT_VALUES, "B");
  add_attribute("Clayers", "Number of quality layers.\n\t\t[Default is 1]", ATTR_NO_COMPONENT_VALUES, "I");
  add_attribute("Cuse_sop", "Include SOP markers (i.e., resync markers)?\n\t\t[Default is no SOP markers]",
                ATTR_NO_COMPONENT_VALUES, "B");
  add_attribute("Cuse_eph",
                "Include EPH markers (marker end of each packet header)?\n\t\t[Default is no "
                "EPH markers]",
                ATTR_NO_COMPONENT_VALUES, "B");
  add_attribute("Corder",
                "Default progression order (may be overridden by POCorder).  The four character "
                "identifiers have the following interpretation: L=layer; R=resolution; "
                "C=component; P=position. The first character in the identifier refers to the "
                "index which progresses most slowly, while the last refers to the index which "
                "progresses most quickly.\n\t\t[Default is LRCP]",
                ATTR_NO_COMPONENT_VALUES, order_pattern);
  add_attribute("Calign_blk_last",
                "If \"yes\", the code-block partition is aligned so that the last sample in "
                "each nominal block (ignoring the effect of boundaries) is aligned at a multiple "
                "of the block dimension (a power of 2).  Equivalently, the first sample in each "
                "nominal block lies at a location which is a multiple of the block dimension, "
                "plus 1. By default (i.e., \"no\"), the first sample of each block is aligned at "
                "a multiple of the block dimension. The alignment is specified separately for "
                "both dimensions, with the vertical dimension specified first.",
                ATTR_NO_COMPONENT_VALUES, "BB");
  add_attribute("Clevels", "Number of wavelet decomposition levels, or stages.\n\t\t[Default is 5]", 0, "I");
  add_attribute("Creversible", "Reversible compression?\n\t\t[Default is irreversible]", 0, "B");
  add_attribute("Ckernels",
                "Wavelet kernels to use.\n\t\t[Default is W5X3 for reversible compression and "
                "W9X7 for irreversible compression]",
                0, "(W9X7=0,W5X3=1)");
  add_attribute("Cuse_precincts",
                "Explicitly specify whether or not precinct dimensions are supplied.\n\t\t"
                "[Default is \"no\" unless `Cprecincts' is used]",
                0, "B");
  add_attribute("Cprecincts",
                "Precinct dimensions (must be powers of 2). Multiple records may be supplied, in "
                "which case the first record refers to the highest resolution level and "
                "subsequent records to lower resolution levels. The last specified record is "
                "used for any remaining lower resolution levels.Inside each record, vertical "
                "coordinates appear first.",
                ATTR_MANY_RECORDS | ATTR_EXTEND_LAST_RECORD, "II");
  add_attribute("Cblk",
                "Nominal code-block dimensions (must be powers of 2 and no less than 4). Actual "
                "dimensions are subject to precinct, tile and image dimensions. Vertical "
                "coordinates appear first.\n\t\t[Default block dimensions are {64,64}]",
                0, "II");
  add_attribute("Cmodes",
                "Block coder mode switches. Any combination is legal.\n\t\t[By default, all "
                "mode switches are turned off]",
                0, modes_pattern);
  add_attribute("Clev_weights",
                "Weighting factors for each successive resolution level, starting from the "
                "highest resolution and working down to the lowest (but not including the LL "
                "band!!). The last supplied weight is repeated as necessary.  Weight values are "
                "squared to obtain energy weights for weighted MSE calculations.  The LL subband "
                "always has a weight of 1.0, regardless of the number of resolution levels.",
                ATTR_MANY_RECORDS | ATTR_EXTEND_LAST_RECORD, "F");
  add_attribute("Cband_weights",
                "Weighting factors for each successive subband, starting from the highest "
                "frequency subbands and working down (i.e., HH1, LH1, HL1, HH2, ...). The last "
                "supplied weight is repeated as necessary for all remaining subbands (except the "
                "LL band). If `Clev_weights' is also supplied, both sets of weighting factors "
                "are combined (multiplied).  Weight values are squared to obtain energy weights "
                "for weighted MSE calculations.  The LL subband always has a weight of 1.0; "
                "although this might not be the optimal policy for colour images, it avoids "
                "problems which may occur when tiles are inter-mixed with different numbers of "
                "resolution levels.",
                ATTR_MANY_RECORDS | ATTR_EXTEND_LAST_RECORD, "F");
}

bool cod_params::read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tpart_idx) {
  if (tpart_idx != 0) return false;
  const uint8_t *bp = bytes, *end = bytes + num_bytes;
  bool use_precincts = false;
  if (comp_idx >= 0) {
    if (code != KDU_COC) return false;
    try {
      int which = (int)read_big_endian(bp, end, (get_num_comps() > 256) ? 2 : 1);
      if (which != comp_idx) return false;
      int scoc = (int)read_big_endian(bp, end, 1);
      if (scoc != 0 && scoc != 1) {
        kdu_error e;
        e << "Malformed COC marker segment. Invalid \"Scoc\" value!";
      }
      use_precincts = (scoc & 1) != 0;
      set_value("Cuse_precincts", 0, 0, use_precincts);
    } catch (kd_short_segment &) {
      kdu_error e;
      e << "Malformed COC marker segment encountered. Marker segment is too small.";
    }
  } else {
    if (code != KDU_COD) return false;
    try {
      int scod = (int)read_big_endian(bp, end, 1);
      if (scod & ~0x1F) {
        kdu_error e;
        e << "Malformed COD marker segment encountered. Invalid \"Scod\" value!";
      }
      use_precincts = (scod & 1) != 0;
      set_value("Cuse_precincts", 0, 0, use_precincts);
      set_value("Cuse_sop", 0, 0, (scod & 2) != 0);
      set_value("Cuse_eph", 0, 0, (scod & 4) != 0);
      set_value("Calign_blk_last", 0, 1, (scod & 8) != 0);
      set_value("Calign_blk_last", 0, 0, (scod & 16) != 0);
      set_value("Corder", 0, 0, (int)read_big_endian(bp, end, 1));
      set_value("Clayers", 0, 0, (int)read_big_endian(bp, end, 2));
      set_value("Cycc", 0, 0, (int)read_big_endian(bp, end, 1));
    } catch (kd_short_segment &) {
      kdu_error e;
      e << "Malformed COD marker segment encountered. Marker segment is too small.";
    }
  }

  try {
    int levels = (int)read_big_endian(bp, end, 1);
    set_value("Clevels", 0, 0, levels);
    // The exponents are applied as 32-bit shifts with counts taken modulo 32; tile set-up
    // refuses the values that lie outside the legal range.
    int xcb = (int)read_big_endian(bp, end, 1);
    set_value("Cblk", 0, 1, (int)(1u << ((xcb + 2) & 31)));
    int ycb = (int)read_big_endian(bp, end, 1);
    set_value("Cblk", 0, 0, (int)(1u << ((ycb + 2) & 31)));
    set_value("Cmodes", 0, 0, (int)read_big_endian(bp, end, 1));
    int transform = (int)read_big_endian(bp, end, 1);
    if (transform > 2) {
      kdu_error e;
      e << "Illegal DWT kernels specification found in COD/COC marker segment.";
    }
    set_value("Creversible", 0, 0, transform == 1);
    set_value("Ckernels", 0, 0, (transform == 0) ? 0 : 1);
    if (use_precincts)
      for (int i = 0; i <= levels; i++) {
        int byte = (int)read_big_endian(bp, end, 1);
        set_value("Cprecincts", levels - i, 0, 1 << (byte >> 4));
        set_value("Cprecincts", levels - i, 1, 1 << (byte & 15));
      }
  } catch (kd_short_segment &) {
    kdu_error e;
    e << "Malformed COD/COC marker segment encountered. Marker segment is too small.";
  }
  if (bp != end) {
    kdu_error e;
    e << "Malformed COD/COC marker segment encountered. The final " << (int)(end - bp) << " bytes were not consumed!";
  }
  return true;
}

void cod_params::finalize() {
  int ival;
  bool bval;
  if (comp_idx < 0) {  // attributes that only the main header and tiles may hold
    if (!get_value("Clayers", 0, 0, ival)) set_value("Clayers", 0, 0, 1);
    if (!get_value("Cuse_sop", 0, 0, bval)) set_value("Cuse_sop", 0, 0, false);
    if (!get_value("Cuse_eph", 0, 0, bval)) set_value("Cuse_eph", 0, 0, false);
    if (!get_value("Corder", 0, 0, ival)) set_value("Corder", 0, 0, Corder_LRCP);
    if (!get_value("Calign_blk_last", 0, 0, bval)) set_value("Calign_blk_last", 0, 0, false);
    if (!get_value("Calign_blk_last", 0, 1, bval)) set_value("Calign_blk_last", 0, 1, false);
  }
  if (!get_value("Clevels", 0, 0, ival)) set_value("Clevels", 0, 0, 5);

  bool reversible = false;
  if (get_value("Creversible", 0, 0, reversible, false) && !get_value("Ckernels", 0, 0, ival, false))
    set_value("Ckernels", 0, 0, reversible ? 1 : 0);
  if (!get_value("Creversible", 0, 0, reversible)) {
    reversible = false;
    set_value("Creversible", 0, 0, false);
  }
  if (!get_value("Ckernels", 0, 0, ival)) set_value("Ckernels", 0, 0, reversible ? 1 : 0);
  if (!get_value("Cblk", 0, 0, ival)) set_value("Cblk", 0, 0, 64);
  if (!get_value("Cblk", 0, 1, ival)) set_value("Cblk", 0, 1, 64);
  if (!get_value("Cmodes", 0, 0, ival)) set_value("Cmodes", 0, 0, 0);

  kdu_params *siz = access_cluster("SIZ");
  int num_comps = 0;
  if (siz != nullptr) siz->get_value("Scomponents", 0, 0, num_comps);
  if (comp_idx < 0) {
    bool ycc;
    if (!get_value("Cycc", 0, 0, ycc)) {
      bool compatible = (num_comps == 3);
      bool rev0 = false;
      int prec0 = 0, sy0 = 0, sx0 = 0;
      for (int c = 0; c < 3 && compatible; c++) {
        kdu_params *coc = access_relation(tile_idx, c, 0);
        bool rev = false;
        if (coc != nullptr) coc->get_value("Creversible", 0, 0, rev);
        int prec = 0, sy = 0, sx = 0;
        siz->get_value("Sprecision", c, 0, prec);
        siz->get_value("Ssampling", c, 0, sy);
        siz->get_value("Ssampling", c, 1, sx);
        if (c == 0) {
          rev0 = rev;
          prec0 = prec;
          sy0 = sy;
          sx0 = sx;
        } else if (rev != rev0 || prec != prec0 || sy != sy0 || sx != sx0)
          compatible = false;
      }
      set_value("Cycc", 0, 0, compatible);
      ycc = compatible;
    }
    if (ycc && num_comps < 3) set_value("Cycc", 0, 0, false);
  }

  if (get_value("Cprecincts", 0, 0, ival, false, false)) set_value("Cuse_precincts", 0, 0, true);
  if (!get_value("Cuse_precincts", 0, 0, bval)) set_value("Cuse_precincts", 0, 0, false);
}

// ---------------------------------------------------------------------------------------------
void cod_params::copy_transformed(kdu_params *source, int skip_components, int discard_levels, bool transpose,
                                  bool vflip, bool hflip) {
  // Own values of the source: no inheritance, extension for record 0 only.
  auto own_int = [source](const char *name, int rec, int fld, int &v) {
    return source->get_value(name, rec, fld, v, false, rec == 0, true);
  };
  auto own_bool = [source](const char *name, int rec, int fld, bool &v) {
    return source->get_value(name, rec, fld, v, false, rec == 0, true);
  };
  int fv = transpose ? 1 : 0, fh = 1 - fv;
  int ival, iv, ih;
  bool bval, bv, bh;
  if (comp_idx < 0) {
    if (own_bool("Cycc", 0, 0, bval)) set_value("Cycc", 0, 0, bval && skip_components == 0);
    if (own_int("Clayers", 0, 0, ival)) set_value("Clayers", 0, 0, ival);
    if (own_bool("Cuse_sop", 0, 0, bval)) set_value("Cuse_sop", 0, 0, bval);
    if (own_bool("Cuse_eph", 0, 0, bval)) set_value("Cuse_eph", 0, 0, bval);
    if (own_int("Corder", 0, 0, ival)) set_value("Corder", 0, 0, ival);
    if (own_bool("Calign_blk_last", 0, fv, bv) && own_bool("Calign_blk_last", 0, fh, bh)) {
      set_value("Calign_blk_last", 0, 0, bv != vflip);
      set_value("Calign_blk_last", 0, 1, bh != hflip);
    }
  }
  if (own_int("Clevels", 0, 0, ival)) {
    if (ival < discard_levels) {
      kdu_error e;
      e << "Attempting to discard too many resolution levels!  Cannot discard more resolution "
           "levels than there are DWT levels.";
    }
    set_value("Clevels", 0, 0, ival - discard_levels);
  }
  if (own_bool("Creversible", 0, 0, bval)) set_value("Creversible", 0, 0, bval);
  if (own_int("Ckernels", 0, 0, ival)) set_value("Ckernels", 0, 0, ival);
  if (own_bool("Cuse_precincts", 0, 0, bval)) set_value("Cuse_precincts", 0, 0, bval);
  if (own_int("Cmodes", 0, 0, ival)) set_value("Cmodes", 0, 0, ival);
  if (own_int("Cblk", 0, fv, iv) && own_int("Cblk", 0, fh, ih)) {
    set_value("Cblk", 0, 0, iv);
    set_value("Cblk", 0, 1, ih);
  }
  // The first records belong to the highest resolutions, which are dropped.
  if (source->get_value("Cprecincts", discard_levels, fv, iv, false, true, true) &&
      source->get_value("Cprecincts", discard_levels, fh, ih, false, true, true)) {
    set_value("Cprecincts", 0, 0, iv);
    set_value("Cprecincts", 0, 1, ih);
    for (int r = discard_levels + 1; source->get_value("Cprecincts", r, fv, iv, false, false, true) &&
                                     source->get_value("Cprecincts", r, fh, ih, false, false, true);
         r++) {
      set_value("Cprecincts", r - discard_levels, 0, iv);
      set_value("Cprecincts", r - discard_levels, 1, ih);
    }
  }
}

namespace {

// The fourteen values that a COD/COC segment carries besides the precinct sizes.
struct cod_values {
  int v[14];
  bool read(kdu_params *obj) {
    static const char *const names[14] = {
        "Cycc",    "Clayers",     "Cuse_sop", "Cuse_eph", "Corder", "Calign_blk_last", "Calign_blk_last",
        "Clevels", "Creversible", "Ckernels", "Cblk",     "Cblk",   "Cmodes",          "Cuse_precincts"};
    static const int fields[14] = {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0};
    for (int i = 0; i < 14; i++)
      if (!obj->get_value(names[i], 0, fields[i], v[i])) return false;
    return true;
  }
  int ycc() const { return v[0]; }
  int layers() const { return v[1]; }
  int levels() const { return v[7]; }
  bool precincts() const { return v[13] != 0; }
};

bool same_precincts(kdu_params *a, kdu_params *b, int levels) {
  for (int r = 0; r <= levels; r++)
    for (int f = 0; f < 2; f++) {
      int va, vb;
      if (!a->get_value("Cprecincts", r, f, va) || !b->get_value("Cprecincts", r, f, vb) || va != vb) return false;
    }
  return true;
}

}  // namespace

int cod_params::write_segment(kd_byte_writer *out, kdu_params *ref, int tpart_idx) {
  if (tpart_idx != 0) return 0;
  cod_values mine;
  if (!mine.read(this)) {
    kdu_error e;
    e << "Unable to write COD marker segment yet! Some info missing.";
  }
  int levels = mine.levels();
  if (ref != nullptr) {
    cod_values theirs;
    if (theirs.read(ref) && std::equal(mine.v, mine.v + 14, theirs.v) &&
        (!mine.precincts() || same_precincts(this, ref, levels)))
      return 0;
  }
  if (mine.layers() < 0 || mine.layers() > 65535) {
    kdu_error e;
    e << "Illegal number of quality layers, " << mine.layers() << ".";
  }
  if (levels < 0 || levels > 32) {
    kdu_error e;
    e << "Illegal number of DWT levels, " << levels << ". Legal range is 0 to 32!";
  }
  if (comp_idx < 0 && mine.ycc()) {
    kdu_params *siz = access_cluster("SIZ");
    bool rev0 = false, rev;
    int prec0 = 0, prec;
    for (int c = 0; c < 3; c++) {
      kdu_params *coc = access_relation(tile_idx, c, 0);
      if (coc == nullptr) break;
      rev = false;
      prec = 0;
      coc->get_value("Creversible", 0, 0, rev);
      if (siz != nullptr) siz->get_value("Sprecision", c, 0, prec);
      if (c == 0) {
        rev0 = rev;
        prec0 = prec;
      } else if (rev != rev0 || prec != prec0) {
        kdu_error e;
        e << "You cannot use a colour transform unless the first 3 image components have "
             "identical bit-depths and are either all reversible or all irreversible.";
      }
    }
  }
  int num_precincts = mine.precincts() ? levels + 1 : 0;
  int w = (get_num_comps() > 256) ? 2 : 1;
  int length = (comp_idx < 0) ? 14 + num_precincts : 10 + w + num_precincts;
  if (out == nullptr) return length;

  bool align_y = mine.v[5] != 0, align_x = mine.v[6] != 0;
  if (comp_idx < 0 && (align_y || align_x)) {
    kdu_warning warn;
    warn << "The \"Calign_blk_last\" options are the subject of a proposed ammendment (PDAM) to "
            "JPEG2000, Part 1. Even if the PDAM is unsuccessful, Part 2 of the standard will "
            "support this useful feature.";
  }
  bool exact_x, exact_y;
  int xcb = ceil_log2(mine.v[11], exact_x), ycb = ceil_log2(mine.v[10], exact_y);
  if (!exact_x || !exact_y) {
    kdu_error e;
    e << "Maximum code-block dimensions must be powers of 2!";
  }
  if (xcb < 2 || ycb < 2 || xcb + ycb > 12) {
    kdu_error e;
    e << "Maximum code-block dimensions must be no less than 4 and the maximum code-block area "
         "must not exceed 4096 samples!";
  }
  bool reversible = mine.v[8] != 0;
  int transform = 0;
  if (mine.v[9] == 1) {
    transform = reversible ? 1 : 2;
    if (!reversible) {
      kdu_warning warn;
      warn << "The irreversible W5X3 DWT kernels were dropped from FPDAM-1 at the Singapore "
              "meeting in March, 2001.  You can still use them with Zizeve for experimentation "
              "purposes.";
    }
  } else if (reversible) {
    kdu_error e;
    e << "You must use the W5X3 kernels for reversible compression and either the W5X3 or the "
         "W9X7 kernels for irreversible compression.";
  }

  if (comp_idx < 0) {
    out->write((uint16_t)KDU_COD);
    out->write((uint16_t)(length - 2));
    out->write((uint8_t)((mine.precincts() ? 1 : 0) | (mine.v[2] ? 2 : 0) | (mine.v[3] ? 4 : 0) | (align_x ? 8 : 0) |
                         (align_y ? 16 : 0)));
    out->write((uint8_t)mine.v[4]);
    out->write((uint16_t)mine.layers());
    out->write((uint8_t)(mine.ycc() ? 1 : 0));
  } else {
    out->write((uint16_t)KDU_COC);
    out->write((uint16_t)(length - 2));
    if (w == 2)
      out->write((uint16_t)comp_idx);
    else
      out->write((uint8_t)comp_idx);
    out->write((uint8_t)(mine.precincts() ? 1 : 0));
  }
  out->write((uint8_t)levels);
  out->write((uint8_t)(xcb - 2));
  out->write((uint8_t)(ycb - 2));
  out->write((uint8_t)mine.v[12]);
  out->write((uint8_t)transform);
  for (int i = 0; i < num_precincts; i++) {
    int ph = 0, pw = 0;
    if (!get_value("Cprecincts", levels - i, 0, ph) || !get_value("Cprecincts", levels - i, 1, pw)) {
      kdu_error e;
      e << "No precinct dimensions supplied for COD/COC!";
    }
    bool ex_y, ex_x;
    int ppy = ceil_log2(ph, ex_y), ppx = ceil_log2(pw, ex_x);
    if (!ex_y || !ex_x) {
      kdu_error e;
      e << "Precinct dimensions must be exact powers of 2!";
    }
    if (ppy > 15 || ppx > 15) {
      kdu_error e;
      e << "Precinct dimensions may not exceed 2^15!";
    }
    out->write((uint8_t)(ppy * 16 + ppx));
  }
  return length;
}
