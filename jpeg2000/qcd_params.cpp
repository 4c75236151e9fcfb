#include "qcd_params.h"

#include <cmath>

#include "kdu_messages.h"
#include "siz_params.h"

namespace {

// Width in bytes of a component index in marker segments.
int comp_index_bytes(kdu_params *obj) {
  int num = 0;
  kdu_params *siz = obj->access_cluster("SIZ");
  if (siz != nullptr)
    siz->get_value("Scomponents", 0, 0, num);
  else
    num = obj->get_num_comps();
  return (num > 256) ? 2 : 1;
}

void not_consumed(const char *segment, const uint8_t *bp, const uint8_t *end) {
  if (bp == end)
    return;
  kdu_error e;
  e << "Malformed " << segment << " marker segment encountered. The final " << (int)(end - bp)
    << " bytes were not consumed!";
}

void too_small(const char *segment) {
  kdu_error e;
  e << "Malformed " << segment << " marker segment encountered. Marker segment is too small.";
}

} // namespace

// ---------------------------------------------------------------------------------------------
qcd_params::qcd_params() : kdu_params("QCD", true, true, false) {
  add_attribute("Qguard",
                "Number of guard bits to prevent overflow in the magnitude bit-plane "
                "representation.\n\t\t[Default is 1]",
                0, "I");
  add_attribute("Qderived", "Quantization steps derived from LL band parameters?", 0, "B");
  add_attribute("Qstep",
                "Base step size to be used in deriving irreversible quantization step sizes for "
                "every subband.\n\t\t[Default is 1/256]",
                0, "F");
  add_attribute("Qabs_steps",
                "Absolute quantization step sizes for each subband, expressed as a fraction of "
                "the nominal dynamic range for that subband.",
                ATTR_MANY_RECORDS, "F");
  add_attribute("Qabs_ranges",
                "Number of range bits used to code each subband during reversible compression.",
                ATTR_MANY_RECORDS, "I");
}

bool qcd_params::read_segment(uint16_t code, int num_bytes, const uint8_t *bytes,
                              int tpart_idx) {
  if (tpart_idx != 0)
    return false;
  const uint8_t *bp = bytes, *end = bytes + num_bytes;
  try {
    if (comp_idx >= 0) {
      if (code != KDU_QCC)
        return false;
      if ((int)read_big_endian(bp, end, comp_index_bytes(this)) != comp_idx)
        return false;
    } else if (code != KDU_QCD)
      return false;
    int sqcd = (int)read_big_endian(bp, end, 1);
    set_value("Qguard", 0, 0, sqcd >> 5);
    int style = sqcd & 0x1F;
    int records = 0;
    if (style == 0) {
      for (; bp < end; records++)
        set_value("Qabs_ranges", records, 0, (int)(read_big_endian(bp, end, 1) >> 3));
    } else if (style == 1 || style == 2) {
      set_value("Qderived", 0, 0, style == 1);
      for (; end - bp >= 2; records++) {
        int v = (int)read_big_endian(bp, end, 2);
        float step = (1.0f + (float)(v & 0x7FF) / 2048.0f) / std::ldexp(1.0f, v >> 11);
        set_value("Qabs_steps", records, 0, step);
      }
    } else {
      kdu_error e;
      e << "Undefined style byte found in QCD/QCC marker segment!";
    }
    if (records == 0)
      throw kd_short_segment{bp};
  } catch (kd_short_segment &) {
    too_small("QCD/QCC");
  }
  not_consumed("QCD/QCC", bp, end);
  return true;
}

void qcd_params::finalize() {
  int guard;
  if (!get_value("Qguard", 0, 0, guard)) {
    guard = 1;
    set_value("Qguard", 0, 0, 1);
  }
  kdu_params *cod = access_cluster("COD");
  if (cod != nullptr)
    cod = cod->access_relation(tile_idx, comp_idx, 0);
  bool reversible = false;
  int levels = 0, kernels = 1;
  if (cod != nullptr) {
    cod->get_value("Creversible", 0, 0, reversible);
    cod->get_value("Clevels", 0, 0, levels);
    cod->get_value("Ckernels", 0, 0, kernels);
  }
  if (levels < 0)
    levels = 0;
  int n = 3 * levels + 1;
  float fval;
  int ival;
  int s = 0, r = 0;
  while (get_value("Qabs_steps", s, 0, fval, true, false))
    s++;
  while (get_value("Qabs_ranges", r, 0, ival, true, false))
    r++;

  bool derived;
  if (!reversible) {
    float base;
    bool use_base = false;
    if (get_value("Qstep", 0, 0, base)) {
      if (!get_value("Qderived", 0, 0, derived))
        set_value("Qderived", 0, 0, derived = false);
      if (get_value("Qabs_steps", 0, 0, fval, false)) {
        kdu_warning w;
        w << "Some absolute step sizes which you have supplied will be ignored, since `Qstep' "
             "has been used or a default value for `Qstep' has been forced.  If you want to "
             "specify explicit absolute step sizes, you must not use `Qstep' anywhere in the "
             "inheritance path of the relevant tile-component.";
      }
      use_base = true;
    } else if (s > 0 && s < n) {
      bool have_derived = get_value("Qderived", 0, 0, derived);
      if (s == 1 && !have_derived)
        set_value("Qderived", 0, 0, derived = true);
      if (s > 1) {
        if (!have_derived)
          set_value("Qderived", 0, 0, derived = false);
        base = 1.0f / 256.0f;
        set_value("Qstep", 0, 0, base);
        use_base = !derived;
      } else if (!derived) {
        get_value("Qabs_steps", 0, 0, fval);
        base = 1.0f / 256.0f;
        set_value("Qstep", 0, 0, base);
        use_base = true;
        kdu_warning w;
        w << "A single absolute step size (value = " << fval
          << "), which you have provided will be ignored, since the relevant tile, component "
             "or tile-component also has `Qderived' equal to \"no\".";
      }
    } else if (s == 0) {
      base = 1.0f / 256.0f;
      set_value("Qstep", 0, 0, base);
      if (!get_value("Qderived", 0, 0, derived))
        set_value("Qderived", 0, 0, derived = false);
      use_base = true;
    } else if (!get_value("Qderived", 0, 0, derived))
      set_value("Qderived", 0, 0, derived = false);
    if (use_base)
      expand_base_step(this, levels, kernels, base, derived);
    get_value("Qderived", 0, 0, derived);
    int used = derived ? 1 : n;
    for (int k = 0; k < used; k++) {
      if (!get_value("Qabs_steps", k, 0, fval))
        break;
      int eps, mu;
      split_step_size(fval, eps, mu);
      set_value("Qabs_steps", k, 0, (1.0f + (float)mu / 2048.0f) / std::ldexp(1.0f, eps));
    }
    if (use_base)
      set_derived("Qabs_steps");
  } else {
    if (!get_value("Qderived", 0, 0, derived))
      set_value("Qderived", 0, 0, false);
    if (r < n) {
      kdu_params *siz = access_cluster("SIZ");
      int precision = 0;
      if (siz == nullptr ||
          !siz->get_value("Sprecision", (comp_idx < 0) ? 0 : comp_idx, 0, precision)) {
        kdu_error e;
        e << "Trying to finalize quantization parameter attributes without first providing any "
             "information about the image component bit-depths (i.e. \"Sprecision\").";
      }
      int B = precision + ((precision < 5) ? 1 : 0);
      set_value("Qabs_ranges", 0, 0, B - guard + 3);
      for (int d = 0, k = 1; d < levels; d++) {
        set_value("Qabs_ranges", k++, 0, B - guard + 4);
        set_value("Qabs_ranges", k++, 0, B - guard + 4);
        set_value("Qabs_ranges", k++, 0, B - guard + 5);
      }
      set_derived("Qabs_ranges");
    }
  }
}

// ---------------------------------------------------------------------------------------------
rgn_params::rgn_params() : kdu_params("RGN", true, true, false) {
  add_attribute("Rshift", "Region of interest up-shift value.", 0, "I");
  add_attribute("Rlevels",
                "Number of initial (highest frequency) DWT levels through which to propagate "
                "geometric information concerning the foreground region for ROI "
                "processing.\n\t\t[Default is 4]",
                0, "I");
  add_attribute("Rweight", "Region of interest significance weight.", 0, "F");
}

bool rgn_params::read_segment(uint16_t code, int num_bytes, const uint8_t *bytes,
                              int tpart_idx) {
  if (tpart_idx != 0 || code != KDU_RGN || comp_idx < 0)
    return false;
  const uint8_t *bp = bytes, *end = bytes + num_bytes;
  try {
    if ((int)read_big_endian(bp, end, comp_index_bytes(this)) != comp_idx)
      return false;
    if (read_big_endian(bp, end, 1) != 0) {
      kdu_error e;
      e << "Encountered non-Part1 RGN marker segment!";
    }
    set_value("Rshift", 0, 0, (int)read_big_endian(bp, end, 1));
  } catch (kd_short_segment &) {
    too_small("RGN");
  }
  not_consumed("RGN", bp, end);
  return true;
}

void rgn_params::finalize() {
  int val;
  if (!get_value("Rlevels", 0, 0, val))
    set_value("Rlevels", 0, 0, 4);
  if (get_value("Rshift", 0, 0, val) && val >= 38) {
    kdu_warning w;
    w << "Up-shift values in the RGN marker segment should not need to exceed 37 under any "
         "circumstances.  The use of a larger value, "
      << val << " in this case, may cause problems.";
  }
}

// ---------------------------------------------------------------------------------------------
poc_params::poc_params() : kdu_params("POC", true, false, true) {
  add_attribute("Porder", "Progression order change information.", ATTR_MANY_RECORDS,
                "IIIII(LRCP=0,RLCP=1,RPCL=2,PCRL=3,CPRL=4)");
}

kdu_params *poc_params::make_instance() {
  if (tile_idx < 0)
    return nullptr;
  poc_params *next = new poc_params;
  next->join_tree(this, tile_idx, comp_idx);
  return next;
}

bool poc_params::read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int) {
  if (code != KDU_POC)
    return false;
  const uint8_t *bp = bytes, *end = bytes + num_bytes;
  int w = comp_index_bytes(this);
  try {
    int records = num_bytes / (5 + 2 * w);
    if (records < 1)
      throw kd_short_segment{bp};
    for (int r = 0; r < records; r++) {
      set_value("Porder", r, 0, (int)read_big_endian(bp, end, 1));
      set_value("Porder", r, 1, (int)read_big_endian(bp, end, w));
      set_value("Porder", r, 2, (int)read_big_endian(bp, end, 2));
      set_value("Porder", r, 3, (int)read_big_endian(bp, end, 1));
      int ce = (int)read_big_endian(bp, end, w);
      if (w == 1 && ce == 0)
        ce = 256;
      set_value("Porder", r, 4, ce);
      set_value("Porder", r, 5, (int)read_big_endian(bp, end, 1));
    }
  } catch (kd_short_segment &) {
    too_small("POC");
  }
  not_consumed("POC", bp, end);
  return true;
}

// ---------------------------------------------------------------------------------------------
crg_params::crg_params() : kdu_params("CRG", false, false, false) {
  add_attribute("CRGoffset", "Provides additional component registration offsets.",
                ATTR_MANY_RECORDS | ATTR_EXTEND_LAST_RECORD, "FF");
}

bool crg_params::read_segment(uint16_t code, int num_bytes, const uint8_t *bytes,
                              int tpart_idx) {
  if (tpart_idx != 0 || code != KDU_CRG || tile_idx >= 0 || comp_idx >= 0)
    return false;
  const uint8_t *bp = bytes, *end = bytes + num_bytes;
  int num = 0;
  kdu_params *siz = access_cluster("SIZ");
  if (siz != nullptr)
    siz->get_value("Scomponents", 0, 0, num);
  try {
    for (int c = 0; c < num; c++) {
      set_value("CRGoffset", c, 1, (float)read_big_endian(bp, end, 2) / 65536.0f);
      set_value("CRGoffset", c, 0, (float)read_big_endian(bp, end, 2) / 65536.0f);
    }
  } catch (kd_short_segment &) {
    too_small("CRG");
  }
  not_consumed("CRG", bp, end);
  return true;
}
