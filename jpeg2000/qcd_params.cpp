#include "qcd_params.h"

#include <algorithm>
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
  if (bp == end) return;
  kdu_error e;
  e << "Malformed " << segment << " marker segment encountered. The final " << (int)(end - bp)
    << " bytes were not consumed!";
}

void too_small(const char *segment) {
  kdu_error e;
  e << "Malformed " << segment << " marker segment encountered. Marker segment is too small.";
}

}  // namespace

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
  add_attribute("Qabs_ranges", "Number of range bits used to code each subband during reversible compression.",
                ATTR_MANY_RECORDS, "I");
}

bool qcd_params::read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tpart_idx) {
  if (tpart_idx != 0) return false;
  const uint8_t *bp = bytes, *end = bytes + num_bytes;
  try {
    if (comp_idx >= 0) {
      if (code != KDU_QCC) return false;
      if ((int)read_big_endian(bp, end, comp_index_bytes(this)) != comp_idx) return false;
    } else if (code != KDU_QCD)
      return false;
    int sqcd = (int)read_big_endian(bp, end, 1);
    set_value("Qguard", 0, 0, sqcd >> 5);
    int style = sqcd & 0x1F;
    int records = 0;
    if (style == 0) {
      for (; bp < end; records++) set_value("Qabs_ranges", records, 0, (int)(read_big_endian(bp, end, 1) >> 3));
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
    if (records == 0) throw kd_short_segment{bp};
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
  if (cod != nullptr) cod = cod->access_relation(tile_idx, comp_idx, 0);
  bool reversible = false;
  int levels = 0, kernels = 1;
  if (cod != nullptr) {
    cod->get_value("Creversible", 0, 0, reversible);
    cod->get_value("Clevels", 0, 0, levels);
    cod->get_value("Ckernels", 0, 0, kernels);
  }
  if (levels < 0) levels = 0;
  int n = 3 * levels + 1;
  float fval;
  int ival;
  int s = 0, r = 0;
  while (get_value("Qabs_steps", s, 0, fval, true, false)) s++;
  while (get_value("Qabs_ranges", r, 0, ival, true, false)) r++;

  bool derived;
  if (!reversible) {
    float base;
    bool use_base = false;
    if (get_value("Qstep", 0, 0, base)) {
      if (!get_value("Qderived", 0, 0, derived)) set_value("Qderived", 0, 0, derived = false);
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
      if (s == 1 && !have_derived) set_value("Qderived", 0, 0, derived = true);
      if (s > 1) {
        if (!have_derived) set_value("Qderived", 0, 0, derived = false);
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
      if (!get_value("Qderived", 0, 0, derived)) set_value("Qderived", 0, 0, derived = false);
      use_base = true;
    } else if (!get_value("Qderived", 0, 0, derived))
      set_value("Qderived", 0, 0, derived = false);
    if (use_base) expand_base_step(this, levels, kernels, base, derived);
    get_value("Qderived", 0, 0, derived);
    int used = derived ? 1 : n;
    for (int k = 0; k < used; k++) {
      if (!get_value("Qabs_steps", k, 0, fval)) break;
      int eps, mu;
      split_step_size(fval, eps, mu);
      set_value("Qabs_steps", k, 0, (1.0f + (float)mu / 2048.0f) / std::ldexp(1.0f, eps));
    }
    if (use_base) set_derived("Qabs_steps");
  } else {
    if (!get_value("Qderived", 0, 0, derived)) set_value("Qderived", 0, 0, false);
    if (r < n) {
      kdu_params *siz = access_cluster("SIZ");
      int precision = 0;
      if (siz == nullptr || !siz->get_value("Sprecision", (comp_idx < 0) ? 0 : comp_idx, 0, precision)) {
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

bool rgn_params::read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tpart_idx) {
  if (tpart_idx != 0 || code != KDU_RGN || comp_idx < 0) return false;
  const uint8_t *bp = bytes, *end = bytes + num_bytes;
  try {
    if ((int)read_big_endian(bp, end, comp_index_bytes(this)) != comp_idx) return false;
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
  if (!get_value("Rlevels", 0, 0, val)) set_value("Rlevels", 0, 0, 4);
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
  if (tile_idx < 0) return nullptr;
  poc_params *next = new poc_params;
  next->join_tree(this, tile_idx, comp_idx);
  return next;
}

bool poc_params::read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int) {
  if (code != KDU_POC) return false;
  const uint8_t *bp = bytes, *end = bytes + num_bytes;
  int w = comp_index_bytes(this);
  try {
    int records = num_bytes / (5 + 2 * w);
    if (records < 1) throw kd_short_segment{bp};
    for (int r = 0; r < records; r++) {
      set_value("Porder", r, 0, (int)read_big_endian(bp, end, 1));
      set_value("Porder", r, 1, (int)read_big_endian(bp, end, w));
      set_value("Porder", r, 2, (int)read_big_endian(bp, end, 2));
      set_value("Porder", r, 3, (int)read_big_endian(bp, end, 1));
      int ce = (int)read_big_endian(bp, end, w);
      if (w == 1 && ce == 0) ce = 256;
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

bool crg_params::read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tpart_idx) {
  if (tpart_idx != 0 || code != KDU_CRG || tile_idx >= 0 || comp_idx >= 0) return false;
  const uint8_t *bp = bytes, *end = bytes + num_bytes;
  int num = 0;
  kdu_params *siz = access_cluster("SIZ");
  if (siz != nullptr) siz->get_value("Scomponents", 0, 0, num);
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

// ---------------------------------------------------------------------------------------------
namespace {

// Writes a component index in w bytes.
void write_component(kd_byte_writer *out, int w, int comp) {
  if (w == 2)
    out->write((uint16_t)comp);
  else
    out->write((uint8_t)comp);
}

int components_in_siz(kdu_params *obj) {
  int num = 0;
  kdu_params *siz = obj->access_cluster("SIZ");
  if (siz != nullptr) siz->get_value("Scomponents", 0, 0, num);
  return num;
}

// The COD object that governs a QCD object, with its level count and reversibility.
bool governing_cod(kdu_params *qcd, int &levels, bool &reversible) {
  kdu_params *cod = qcd->access_cluster("COD");
  if (cod != nullptr) cod = cod->access_relation(qcd->get_tile(), qcd->get_comp(), 0);
  return cod != nullptr && cod->get_value("Clevels", 0, 0, levels) && cod->get_value("Creversible", 0, 0, reversible);
}

}  // namespace

void qcd_params::copy_transformed(kdu_params *source, int, int, bool transpose, bool, bool) {
  int ival;
  bool bval;
  if (source->get_value("Qguard", 0, 0, ival, false)) set_value("Qguard", 0, 0, ival);
  if (source->get_value("Qderived", 0, 0, bval, false)) set_value("Qderived", 0, 0, bval);
  // Records run LL, then HL, LH, HH per level; transposition exchanges HL and LH.
  auto target_record = [transpose](int r) {
    if (!transpose || r == 0) return r;
    return (r % 3 == 1) ? r + 1 : (r % 3 == 2) ? r - 1 : r;
  };
  float fval;
  for (int r = 0; source->get_value("Qabs_steps", r, 0, fval, false, r == 0); r++)
    set_value("Qabs_steps", target_record(r), 0, fval);
  for (int r = 0; source->get_value("Qabs_ranges", r, 0, ival, false, r == 0); r++)
    set_value("Qabs_ranges", target_record(r), 0, ival);
}

int qcd_params::write_segment(kd_byte_writer *out, kdu_params *ref, int tpart_idx) {
  if (tpart_idx != 0) return 0;
  int levels, guard;
  bool reversible, derived = false;
  if (!governing_cod(this, levels, reversible)) {
    kdu_error e;
    e << "Cannot write QCD/QCC marker segment without first completing relevant COD/COC "
         "information!";
  }
  if (!get_value("Qguard", 0, 0, guard)) {
    kdu_error e;
    e << "Cannot write QCD/QCC marker segment yet! No info on guard bits.";
  }
  if (!reversible && !get_value("Qderived", 0, 0, derived)) {
    kdu_error e;
    e << "Cannot write QCD/QCC marker segment yet!  Not clear whether quant steps are derived "
         "from the LL band step size.";
  }
  int num_bands = derived ? 1 : 3 * levels + 1;

  if (ref != nullptr) {
    int ref_levels, ref_guard;
    bool ref_reversible, ref_derived = false;
    if (!governing_cod(ref, ref_levels, ref_reversible)) {
      kdu_error e;
      e << "Cannot write QCD/QCC marker segment without first completing all relevant COD/COC "
           "information!";
    }
    bool same = ref_reversible == reversible && ref_levels == levels && ref->get_value("Qguard", 0, 0, ref_guard) &&
                ref_guard == guard;
    if (same && !reversible) same = ref->get_value("Qderived", 0, 0, ref_derived) && ref_derived == derived;
    for (int i = 0; same && i < num_bands; i++)
      if (reversible) {
        int mine, theirs;
        if (!get_value("Qabs_ranges", i, 0, mine)) {
          kdu_error e;
          e << "Cannot write QCD/QCC marker segment yet!  Absolute reversible ranging "
               "information not available.";
        }
        same = ref->get_value("Qabs_ranges", i, 0, theirs) && theirs == mine;
      } else {
        float mine, theirs;
        if (!get_value("Qabs_steps", i, 0, mine)) {
          kdu_error e;
          e << "Cannot write QCD/QCC marker segment yet!  Absolute step size information not "
               "available.";
        }
        same = ref->get_value("Qabs_steps", i, 0, theirs) && theirs == mine;
      }
    if (same) return 0;
  }
  if (guard < 0 || guard > 7) {
    kdu_error e;
    e << "Illegal number of guard bits, " << guard << ". Legal range is from 0 to 7.";
  }
  int w = (get_num_comps() > 256) ? 2 : 1;
  int length = ((comp_idx < 0) ? 5 : 5 + w) + num_bands * (reversible ? 1 : 2);
  if (out == nullptr) return length;

  out->write((uint16_t)((comp_idx < 0) ? KDU_QCD : KDU_QCC));
  out->write((uint16_t)(length - 2));
  if (comp_idx >= 0) write_component(out, w, comp_idx);
  out->write((uint8_t)(guard * 32 + (reversible ? 0 : derived ? 1 : 2)));
  for (int i = 0; i < num_bands; i++)
    if (reversible) {
      int range;
      if (!get_value("Qabs_ranges", i, 0, range)) {
        kdu_error e;
        e << "Insufficient absolute ranging parameters available for writing QCD/QCC marker "
             "segment";
      }
      if (range < 0 || range > 31) {
        kdu_error e;
        e << "Absolute ranging parameters for reversibly compressed subbands must be "
             "non-negative, no larger than 31!";
      }
      out->write((uint8_t)(range * 8));
    } else {
      float step;
      if (!get_value("Qabs_steps", i, 0, step)) {
        kdu_error e;
        e << "Insufficient absolute quantization step size parameters available for writing "
             "QCD/QCC marker segment.";
      }
      int eps, mu;
      split_step_size(step, eps, mu);
      out->write((uint16_t)(eps * 2048 + mu));
    }
  return length;
}

// ---------------------------------------------------------------------------------------------
void rgn_params::copy_transformed(kdu_params *source, int, int, bool, bool, bool) {
  int shift;
  if (source->get_value("Rshift", 0, 0, shift, false)) set_value("Rshift", 0, 0, shift);
}

int rgn_params::write_segment(kd_byte_writer *out, kdu_params *ref, int tpart_idx) {
  if (tpart_idx != 0 || comp_idx < 0) return 0;
  int shift = 0, ref_shift = 0;
  get_value("Rshift", 0, 0, shift);
  if (ref != nullptr) ref->get_value("Rshift", 0, 0, ref_shift);
  if (shift == ref_shift) return 0;
  if (shift < 0 || shift > 255) {
    kdu_error e;
    e << "Illegal ROI up-shift, " << shift << ". Legal range is from 0 to 255!";
  }
  int w = (get_num_comps() > 256) ? 2 : 1;
  int length = 6 + w;
  if (out == nullptr) return length;
  out->write((uint16_t)KDU_RGN);
  out->write((uint16_t)(length - 2));
  write_component(out, w, comp_idx);
  out->write((uint8_t)0);
  out->write((uint8_t)shift);
  return length;
}

// ---------------------------------------------------------------------------------------------
void poc_params::copy_transformed(kdu_params *source, int skip_components, int, bool, bool, bool) {
  int f[6];
  if (!source->get_value("Porder", 0, 0, f[0], false)) return;
  for (int r = 0;; r++) {
    bool complete = true;
    for (int k = 0; k < 6 && complete; k++) complete = source->get_value("Porder", r, k, f[k], false, r == 0);
    if (!complete) break;
    f[1] = std::max(0, f[1] - skip_components);
    f[4] -= skip_components;
    if (f[4] < 1) {
      f[4] = 1;
      f[2] = 0;
    }
    for (int k = 0; k < 6; k++) set_value("Porder", r, k, f[k]);
  }
}

int poc_params::write_segment(kd_byte_writer *out, kdu_params *ref, int tpart_idx) {
  if (tpart_idx != inst_idx) return 0;
  int v, n = 0;
  while (get_value("Porder", n, 0, v, false, false)) n++;
  if (n == 0) return 0;
  auto incomplete = [] {
    kdu_error e;
    e << "Information required to write POC marker segment is not currently complete!";
  };
  kdu_params *second = access_relation(tile_idx, -1, 1);
  if (ref != nullptr && ref->get_tile() != tile_idx &&
      (second == nullptr || !second->get_value("Porder", 0, 0, v, false, false))) {
    bool same = true;
    for (int r = 0; r < n && same; r++)
      for (int k = 0; k < 6 && same; k++) {
        int theirs;
        if (!get_value("Porder", r, k, v)) incomplete();
        same = ref->get_value("Porder", r, k, theirs) && theirs == v;
      }
    if (same) return 0;
  }
  bool wide = components_in_siz(this) > 256;
  int w = wide ? 2 : 1, bound = wide ? 16384 : 256;
  int length = 4 + n * (5 + 2 * w);
  if (out == nullptr) return length;
  out->write((uint16_t)KDU_POC);
  out->write((uint16_t)(length - 2));
  for (int r = 0; r < n; r++) {
    int f[6];
    for (int k = 0; k < 6; k++)
      if (!get_value("Porder", r, k, f[k])) incomplete();
    if (f[0] < 0 || f[0] > 32) {
      kdu_error e;
      e << "Illegal lower bound, " << f[0]
        << ", for resolution level indices in progression order change attribute.  Legal "
           "range is from 0 to 32.";
    }
    if (f[3] <= f[0] || f[3] > 33) {
      kdu_error e;
      e << "Illegal upper bound (exclusive), " << f[3]
        << ", for resolution level indices in progression order change attribute.  Legal "
           "range is from the lower bound + 1 to 33.";
    }
    if (f[1] < 0 || f[1] >= bound) {
      kdu_error e;
      e << "Illegal lower bound, " << f[1]
        << ", for component indices in progression order change attribute. Legal range is "
           "from 0 to "
        << bound - 1 << ".";
    }
    if (f[4] <= f[1] || f[4] > bound) {
      kdu_error e;
      e << "Illegal upper bound (exclusive), " << f[4]
        << ", for component indices in progression order change attribute. Legal range is "
           "from the lower bound + 1 to "
        << bound << ".";
    }
    if (f[2] < 0 || f[2] > 65535) {
      kdu_error e;
      e << "Illegal upper bound (exclusive), " << f[2]
        << ", for layer indices in progression order change attribute. Legal range is from 0 "
           "to "
        << 65535 << ".";
    }
    out->write((uint8_t)f[0]);
    write_component(out, w, f[1]);
    out->write((uint16_t)f[2]);
    out->write((uint8_t)f[3]);
    write_component(out, w, (w == 1 && f[4] == 256) ? 0 : f[4]);
    out->write((uint8_t)f[5]);
  }
  return length;
}

// ---------------------------------------------------------------------------------------------
void crg_params::copy_transformed(kdu_params *source, int skip_components, int, bool transpose, bool vflip,
                                  bool hflip) {
  if (vflip || hflip) delete_unparsed_attribute("CRGoffset");
  float y, x;
  if (!source->get_value("CRGoffset", 0, 0, y, false, false)) return;
  int fv = transpose ? 1 : 0, fh = 1 - fv, n = 0;
  float last_y = 0.0f, last_x = 0.0f;
  for (;
       source->get_value("CRGoffset", n, fv, y, false, false) && source->get_value("CRGoffset", n, fh, x, false, false);
       n++) {
    last_y = y;
    last_x = x;
    if (n >= skip_components) {
      set_value("CRGoffset", n - skip_components, 0, y);
      set_value("CRGoffset", n - skip_components, 1, x);
    }
  }
  if (n > 0 && n <= skip_components) {
    set_value("CRGoffset", 0, 0, last_y);
    set_value("CRGoffset", 0, 1, last_x);
  }
}

int crg_params::write_segment(kd_byte_writer *out, kdu_params *, int tpart_idx) {
  float y, x;
  if (tpart_idx != 0 || comp_idx != -1 || !get_value("CRGoffset", 0, 0, y, true, false)) return 0;
  int num = components_in_siz(this);
  int length = 4 + 4 * num;
  if (out == nullptr) return length;
  out->write((uint16_t)KDU_CRG);
  out->write((uint16_t)(length - 2));
  for (int c = 0; c < num; c++) {
    if (!get_value("CRGoffset", c, 0, y) || !get_value("CRGoffset", c, 1, x)) {
      kdu_error e;
      e << "Component registration information incomplete!";
    }
    if (!(y >= 0.0f && y < 1.0f && x >= 0.0f && x < 1.0f)) {
      kdu_error e;
      e << "Illegal component registration offsets, {" << y << "," << x
        << "}.  Legal range is from 0.0 to 1.0 (exclusive).";
    }
    float fx = std::floor(x * 65536.0f + 0.5f), fy = std::floor(y * 65536.0f + 0.5f);
    out->write((uint16_t)std::min(fx, 65535.0f));
    out->write((uint16_t)std::min(fy, 65535.0f));
  }
  return length;
}
