#include "cod_params.h"

#include "kdu_messages.h"
#include "siz_params.h"

namespace {

const char *const order_pattern = "(LRCP=0,RLCP=1,RPCL=2,PCRL=3,CPRL=4)";
const char *const modes_pattern = "[BYPASS=1|RESET=2|RESTART=4|CAUSAL=8|ERTERM=16|SEGMARK=32]";

} // namespace

cod_params::cod_params() : kdu_params("COD", true, true, false) {
  add_attribute("Cycc",
                "RGB to Luminance-Chrominance conversion?\n\t\t[Default is to convert 3 "
                "component images]",
                ATTR_NO_COMPONENT_VALUES, "B");
  add_attribute("Clayers", "Number of quality layers.\n\t\t[Default is 1]",
                ATTR_NO_COMPONENT_VALUES, "I");
  add_attribute("Cuse_sop",
                "Include SOP markers (i.e., resync markers)?\n\t\t[Default is no SOP markers]",
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
  add_attribute("Clevels",
                "Number of wavelet decomposition levels, or stages.\n\t\t[Default is 5]", 0, "I");
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

bool cod_params::read_segment(uint16_t code, int num_bytes, const uint8_t *bytes,
                              int tpart_idx) {
  if (tpart_idx != 0)
    return false;
  const uint8_t *bp = bytes, *end = bytes + num_bytes;
  bool use_precincts = false;
  if (comp_idx >= 0) {
    if (code != KDU_COC)
      return false;
    try {
      int which = (int)read_big_endian(bp, end, (get_num_comps() > 256) ? 2 : 1);
      if (which != comp_idx)
        return false;
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
    if (code != KDU_COD)
      return false;
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
    e << "Malformed COD/COC marker segment encountered. The final " << (int)(end - bp)
      << " bytes were not consumed!";
  }
  return true;
}

void cod_params::finalize() {
  int ival;
  bool bval;
  if (comp_idx < 0) { // attributes that only the main header and tiles may hold
  if (!get_value("Clayers", 0, 0, ival))
    set_value("Clayers", 0, 0, 1);
  if (!get_value("Cuse_sop", 0, 0, bval))
    set_value("Cuse_sop", 0, 0, false);
  if (!get_value("Cuse_eph", 0, 0, bval))
    set_value("Cuse_eph", 0, 0, false);
  if (!get_value("Corder", 0, 0, ival))
    set_value("Corder", 0, 0, Corder_LRCP);
  if (!get_value("Calign_blk_last", 0, 0, bval))
    set_value("Calign_blk_last", 0, 0, false);
  if (!get_value("Calign_blk_last", 0, 1, bval))
    set_value("Calign_blk_last", 0, 1, false);
  }
  if (!get_value("Clevels", 0, 0, ival))
    set_value("Clevels", 0, 0, 5);

  bool reversible = false;
  if (get_value("Creversible", 0, 0, reversible, false) && !get_value("Ckernels", 0, 0, ival, false))
    set_value("Ckernels", 0, 0, reversible ? 1 : 0);
  if (!get_value("Creversible", 0, 0, reversible)) {
    reversible = false;
    set_value("Creversible", 0, 0, false);
  }
  if (!get_value("Ckernels", 0, 0, ival))
    set_value("Ckernels", 0, 0, reversible ? 1 : 0);
  if (!get_value("Cblk", 0, 0, ival))
    set_value("Cblk", 0, 0, 64);
  if (!get_value("Cblk", 0, 1, ival))
    set_value("Cblk", 0, 1, 64);
  if (!get_value("Cmodes", 0, 0, ival))
    set_value("Cmodes", 0, 0, 0);

  kdu_params *siz = access_cluster("SIZ");
  int num_comps = 0;
  if (siz != nullptr)
    siz->get_value("Scomponents", 0, 0, num_comps);
  if (comp_idx < 0) {
    bool ycc;
    if (!get_value("Cycc", 0, 0, ycc)) {
      bool compatible = (num_comps == 3);
      bool rev0 = false;
      int prec0 = 0, sy0 = 0, sx0 = 0;
      for (int c = 0; c < 3 && compatible; c++) {
        kdu_params *coc = access_relation(tile_idx, c, 0);
        bool rev = false;
        if (coc != nullptr)
          coc->get_value("Creversible", 0, 0, rev);
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
    if (ycc && num_comps < 3)
      set_value("Cycc", 0, 0, false);
  }

  if (get_value("Cprecincts", 0, 0, ival, false, false))
    set_value("Cuse_precincts", 0, 0, true);
  if (!get_value("Cuse_precincts", 0, 0, bval))
    set_value("Cuse_precincts", 0, 0, false);
}
