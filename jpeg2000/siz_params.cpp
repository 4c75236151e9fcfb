#include "siz_params.h"

#include <vector>

#include "kdu_messages.h"

namespace {

int64_t ceil_div(int64_t a, int64_t b) { return (a >= 0) ? (a + b - 1) / b : a / b; }

const char *const siz_descriptions[] = {
    "Canvas dimensions: vertical dimension first.\n\t\t[For compressors, this will normally be "
    "derived from the dimensions of the individual image components. Explicitly supplying the "
    "canvas dimensions may be desirable if the source image files do not indicate their "
    "dimensions, or if custom sub-sampling factors are desired.]",
    "Image origin on canvas: vertical coordinate first.\n\t\t[Defaults to {0,0}, or the tile "
    "origin if one is given]",
    "Tile partition size: vertical dimension first.\n\t\t[Defaults to {0,0}]",
    "Tile origin on the canvas: vertical coordinate first.\n\t\t[Defaults to {0,0}]",
    "Number of image components.\n\t\t[For compressors, this will normally be deduced from the "
    "number and type of image files supplied to the compressor.]",
    "Indicates whether each image component contains signed or unsigned sample values.\n\t\t[For "
    "compressors, this will normally be deduced from the image files supplied to the "
    "compressor, but may be explicitly set if raw input files are to be used. The last "
    "supplied identifier is repeated indefinitely for all remaining components.]",
    "Indicates the bit-depth of each image component.\n\t\t[For compressors, this will normally "
    "be deduced from the image files supplied to the compressor, but may be explicitly set if "
    "raw input files are to be used. The last supplied value is repeated indefinitely for all "
    "remaining components.]",
    "Indicates the sub-sampling factors for each image component. In each record, the vertical "
    "factor appears first, followed by the horizontal sub-sampling factor. The last supplied "
    "record is repeated indefinitely for all remaining components.\n\t\t[For compressors, a "
    "suitable set of sub-sampling factors will normally be deduced from the individual image "
    "component dimensions.]",
    "Indicates the dimensions (vertical, then horizontal) of each individual image component. "
    "The last supplied record is repeated indefinitely for all remaining components.\n\t\t[For "
    "compressors, the image component dimensions will normally be deduced from the image files "
    "supplied to the compressor, but may be explicitly set if raw input files are to be used.]",
};

// Extent of a component on one axis with factor f, canvas end `end` and origin `origin`.
int64_t extent_of(int64_t end, int64_t origin, int64_t f) { return ceil_div(end, f) - ceil_div(origin, f); }

}  // namespace

siz_params::siz_params() : kdu_params("SIZ", false, false, false) {
  add_attribute("Ssize", siz_descriptions[0], 0, "II");
  add_attribute("Sorigin", siz_descriptions[1], 0, "II");
  add_attribute("Stiles", siz_descriptions[2], 0, "II");
  add_attribute("Stile_origin", siz_descriptions[3], 0, "II");
  add_attribute("Scomponents", siz_descriptions[4], 0, "I");
  add_attribute("Ssigned", siz_descriptions[5], 3, "B");
  add_attribute("Sprecision", siz_descriptions[6], 3, "I");
  add_attribute("Ssampling", siz_descriptions[7], 3, "II");
  add_attribute("Sdims", siz_descriptions[8], 3, "II");
}

bool siz_params::read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tpart_idx) {
  if (code != KDU_SIZ || tpart_idx != 0) return false;
  const uint8_t *bp = bytes, *end = bytes + num_bytes;
  try {
    uint32_t rsiz = read_big_endian(bp, end, 2);
    // Capabilities 1 and 2 are the restricted profiles of the baseline standard, which this
    // decoder reads like unrestricted streams.
    if (rsiz > 2) {
      kdu_error e;
      e << "Non-Part1 SIZ marker segment encountered!";
    }
    uint32_t v[8];
    for (int i = 0; i < 8; i++) {
      v[i] = read_big_endian(bp, end, 4);
      if (v[i] > 0x7FFFFFFFu) {
        kdu_error e;
        e << "Malformed SIZ marker segment encountered. Canvas and tile coordinates of 2^31 or "
             "more cannot be processed.";
      }
    }
    set_value("Ssize", 0, 1, (int)v[0]);
    set_value("Ssize", 0, 0, (int)v[1]);
    set_value("Sorigin", 0, 1, (int)v[2]);
    set_value("Sorigin", 0, 0, (int)v[3]);
    set_value("Stiles", 0, 1, (int)v[4]);
    set_value("Stiles", 0, 0, (int)v[5]);
    set_value("Stile_origin", 0, 1, (int)v[6]);
    set_value("Stile_origin", 0, 0, (int)v[7]);
    int num = (int)read_big_endian(bp, end, 2);
    set_value("Scomponents", 0, 0, num);
    for (int c = 0; c < num; c++) {
      int ssiz = (int)read_big_endian(bp, end, 1);
      int precision = (ssiz & 0x7F) + 1;
      if (precision > KDU_MAX_PRECISION) {
        kdu_error e;
        e << "Malformed SIZ marker segment encountered. Component bit-depths may not exceed " << KDU_MAX_PRECISION
          << " bits.";
      }
      set_value("Ssigned", c, 0, (ssiz & 0x80) != 0);
      set_value("Sprecision", c, 0, precision);
      set_value("Ssampling", c, 1, (int)read_big_endian(bp, end, 1));
      set_value("Ssampling", c, 0, (int)read_big_endian(bp, end, 1));
    }
  } catch (kd_short_segment &) {
    kdu_error e;
    e << "Malformed SIZ marker segment encountered. Marker segment is too small.";
  }
  if (bp != end) {
    kdu_error e;
    e << "Malformed SIZ marker segment encountered. The final " << (int)(end - bp) << " bytes were not consumed!";
  }
  return true;
}

void siz_params::fail_with_attributes(const char *prefix, const char *text) {
  kdu_error e;
  e << prefix << text;
  print_attributes(e.stream(), true);
  e << "\n";
}

bool siz_params::find_canvas_extent(int num_comps, const int *extents, int origin, int &end) {
  int64_t O = origin;
  int64_t D = 0;
  for (int c = 0; c < num_comps; c++)
    if (extents[c] > D) D = extents[c];
  for (int64_t s = 1; s <= 255; s++) {
    int64_t lo = (ceil_div(O, s) + D - 1) * s + 1;
    int64_t hi = (ceil_div(O, s) + D) * s;
    bool ok = true;
    for (int c = 0; c < num_comps && ok; c++) {
      int64_t d = extents[c];
      if (d <= 0) {
        ok = false;
        break;
      }
      auto hi_end = [&](int64_t f) { return (ceil_div(O, f) + d) * f; };
      auto lo_end = [&](int64_t f) { return hi_end(f) - f + 1; };
      int64_t f = (lo - O) / d;
      if (f < 1)
        f = 1;
      else
        while (f > 1 && hi_end(f) > lo) f--;
      while (hi_end(f) < lo) f++;
      if (lo_end(f) > lo) lo = lo_end(f);
      if (lo > hi) {
        ok = false;
        break;
      }
      int64_t last = hi_end(f);
      while (f < 255 && lo_end(f + 1) <= hi) {
        f++;
        last = hi_end(f);
      }
      if (last < hi) hi = last;
      if (lo > hi) ok = false;
    }
    if (ok && lo <= 0x7FFFFFFF) {
      end = (int)lo;
      return true;
    }
  }
  return false;
}

void siz_params::finalize() {
  const char *prefix = "Problem trying to finalize SIZ information. ";
  int num = 0;
  bool have_comps = get_value("Scomponents", 0, 0, num);
  int tmp;
  bool have_sampling = get_value("Ssampling", 0, 0, tmp);
  bool have_dims = get_value("Sdims", 0, 0, tmp);
  int y1 = 0, x1 = 0, y0 = 0, x0 = 0;
  bool have_size = get_value("Ssize", 0, 0, y1) && get_value("Ssize", 0, 1, x1);
  if (!(get_value("Sorigin", 0, 0, y0) && get_value("Sorigin", 0, 1, x0))) y0 = x0 = 0;

  if (!have_comps) {
    const char *counted = have_sampling ? "Ssampling" : (have_dims ? "Sdims" : nullptr);
    if (counted != nullptr) {
      num = 1;
      while (get_value(counted, num, 0, tmp, false, false)) num++;
      have_comps = true;
    }
  }
  if (!have_comps)
    fail_with_attributes(prefix,
                         "Insufficient data supplied to determine the number of image "
                         "components! Available information is as follows:\n\n");
  if (num < 0) num = 0;

  std::vector<int> heights((size_t)num), widths((size_t)num), yfac((size_t)num), xfac((size_t)num);
  if (have_dims)
    for (int c = 0; c < num; c++)
      if (!(get_value("Sdims", c, 0, heights[(size_t)c]) && get_value("Sdims", c, 1, widths[(size_t)c]))) {
        kdu_error e;
        e << prefix << "Component dimensions are only partially available!";
      }
  if (have_sampling)
    for (int c = 0; c < num; c++) {
      if (!(get_value("Ssampling", c, 0, yfac[(size_t)c]) && get_value("Ssampling", c, 1, xfac[(size_t)c]))) {
        kdu_error e;
        e << "Problem trying to finalize SIZ information "
          << "Component sub-sampling factors are only partially available!";
      }
      if (yfac[(size_t)c] < 1 || xfac[(size_t)c] < 1) {
        kdu_error e;
        e << "Image component sub-sampling factors must be strictly positive!";
      }
    }
  if (!have_dims && !have_sampling) {
    kdu_error e;
    e << prefix
      << "Must have either the individual component dimensions or the component sub-sampling "
         "factors.";
  }

  if (have_sampling && !have_dims) {
    if (!have_size)
      fail_with_attributes(prefix,
                           "Must have either the image component dimensions or the "
                           "canvas size! Available information is as follows:\n\n");
    for (int c = 0; c < num; c++) {
      int64_t w = extent_of(x1, x0, xfac[(size_t)c]);
      int64_t h = extent_of(y1, y0, yfac[(size_t)c]);
      widths[(size_t)c] = (int)w;
      heights[(size_t)c] = (int)h;
      set_value("Sdims", c, 0, heights[(size_t)c]);
      set_value("Sdims", c, 1, widths[(size_t)c]);
    }
    have_dims = true;
  }

  if (!have_size) {
    if (have_sampling) {
      for (int axis = 1; axis >= 0; axis--) {
        const std::vector<int> &fac = axis ? xfac : yfac;
        const std::vector<int> &ext = axis ? widths : heights;
        int64_t origin = axis ? x0 : y0;
        int64_t best_lo = INT64_MIN, best_hi = INT64_MAX;
        for (int c = 0; c < num; c++) {
          int64_t s = fac[(size_t)c];
          int64_t hi = (ceil_div(origin, s) + ext[(size_t)c]) * s;
          int64_t lo = hi - s + 1;
          if (lo > best_lo) best_lo = lo;
          if (hi < best_hi) best_hi = hi;
        }
        if (best_lo > best_hi || best_lo > 0x7FFFFFFF)
          fail_with_attributes(prefix, axis ? "Horizontal component dimensions and sub-sampling "
                                              "factors are incompatible. Available information "
                                              "is as follows:\n\n"
                                            : "Vertical component dimensions and sub-sampling "
                                              "factors are incompatible. Available information "
                                              "is as follows:\n\n");
        (axis ? x1 : y1) = (int)best_lo;
      }
    } else {
      if (!find_canvas_extent(num, widths.data(), x0, x1) || !find_canvas_extent(num, heights.data(), y0, y1))
        fail_with_attributes("Problem trying to finalize SIZ information ",
                             "Component dimensions are not consistent with a legal set of "
                             "sub-sampling factors. Available information is as follows:\n\n");
    }
    set_value("Ssize", 0, 0, y1);
    set_value("Ssize", 0, 1, x1);
    have_size = true;
  }

  if (!have_sampling) {
    for (int c = 0; c < num; c++)
      for (int axis = 1; axis >= 0; axis--) {
        int64_t d = axis ? widths[(size_t)c] : heights[(size_t)c];
        int64_t E = axis ? x1 : y1, O = axis ? x0 : y0;
        const char *incompatible = axis ? "Horizontal canvas and image component dimensions are not compatible.  "
                                          "Available information is as follows:\n\n"
                                        : "Vertical canvas and image component dimensions are not compatible.  "
                                          "Available information is as follows:\n\n";
        if (d <= 0) fail_with_attributes(prefix, incompatible);
        int64_t s = (E - O) / d;
        if (s < 1)
          s = 1;
        else
          while (s > 1 && extent_of(E, O, s) < d) s--;
        while (extent_of(E, O, s) > d) s++;
        if (extent_of(E, O, s) != d || s > 0x7FFFFFFF) fail_with_attributes(prefix, incompatible);
        (axis ? xfac : yfac)[(size_t)c] = (int)s;
        set_value("Ssampling", c, axis, (int)s);
      }
  }

  for (int c = 0; c < num; c++)
    if (extent_of(x1, x0, xfac[(size_t)c]) != widths[(size_t)c] ||
        extent_of(y1, y0, yfac[(size_t)c]) != heights[(size_t)c])
      fail_with_attributes(prefix,
                           "Dimensions are inconsistent.  Available information is as "
                           "follows:\n\n");

  int ty0, tx0, ty, tx;
  if (!(get_value("Stile_origin", 0, 0, ty0) && get_value("Stile_origin", 0, 1, tx0))) {
    ty0 = y0;
    tx0 = x0;
    set_value("Stile_origin", 0, 0, ty0);
    set_value("Stile_origin", 0, 1, tx0);
  }
  if (!(get_value("Stiles", 0, 0, ty) && get_value("Stiles", 0, 1, tx))) {
    ty = (int)((int64_t)y1 - ty0);
    tx = (int)((int64_t)x1 - tx0);
    set_value("Stiles", 0, 0, ty);
    set_value("Stiles", 0, 1, tx);
  }
  if (!((int64_t)tx0 <= x0 && (int64_t)x0 < (int64_t)tx0 + tx && (int64_t)ty0 <= y0 && (int64_t)y0 < (int64_t)ty0 + ty))
    fail_with_attributes("Problems trying to finalize SIZ information. ",
                         "Illegal tile origin coordinates.  The first tile must have a non-empty "
                         "intersection with the image region on the canvas. Available "
                         "information is as follows:\n\n");
}

// ---------------------------------------------------------------------------------------------
namespace {

// Mirrors one axis so that sample x becomes sample -x: `end` and `origin` of the image, the tile
// origin `t0` and the tile size `ts`.  A single tile column is first widened to a power of two.
void flip_axis(int &end, int &origin, int &t0, int &ts) {
  if ((int64_t)t0 + ts >= end)
    for (int k = 0; k <= 30; k++)
      if ((1 << k) >= ts) {
        ts = 1 << k;
        break;
      }
  int new_end = 1 - origin, new_origin = 1 - end;
  int64_t new_t0 = 1 - (int64_t)t0;
  while (new_t0 > new_origin) new_t0 -= ts;
  end = new_end;
  origin = new_origin;
  t0 = (int)new_t0;
}

int64_t gcd64(int64_t a, int64_t b) {
  while (b != 0) {
    int64_t r = a % b;
    a = b;
    b = r;
  }
  return a;
}

void canvas_conversion_error() {
  kdu_error e;
  e << "Error attempting to convert geometrically transformed canvas coordinates to legal "
       "marker ranges.  Try using a smaller precinct size (you can use the transcoding utility "
       "to achieve this at the same time as geometric transformations.)";
}

// Least common multiple of a period and a term; both positive and below 2^31.
int64_t period_lcm(int64_t period, int64_t term) {
  int64_t l = period / gcd64(period, term) * term;
  if (l > 0x7FFFFFFF) canvas_conversion_error();
  return l;
}

}  // namespace

void siz_params::copy_transformed(kdu_params *source, int skip_components, int discard_levels, bool transpose,
                                  bool vflip, bool hflip) {
  static const char *const canvas[4] = {"Ssize", "Sorigin", "Stiles", "Stile_origin"};
  int v[4], h[4];  // vertical and horizontal values of the target
  int fv = transpose ? 1 : 0, fh = 1 - fv;
  for (int a = 0; a < 4; a++)
    if (!source->get_value(canvas[a], 0, fv, v[a]) || !source->get_value(canvas[a], 0, fh, h[a])) {
      kdu_error e;
      e << "Unable to copy SIZ parameters, unless all canvas coordinates are available.  Try "
           "using `siz_params::finalize' before attempting the copy.";
    }
  if (hflip) flip_axis(h[0], h[1], h[3], h[2]);
  if (vflip) flip_axis(v[0], v[1], v[3], v[2]);
  for (int a = 0; a < 4; a++) {
    set_value(canvas[a], 0, 0, v[a]);
    set_value(canvas[a], 0, 1, h[a]);
  }

  int num = 0;
  if (!source->get_value("Scomponents", 0, 0, num)) return;
  if (num <= skip_components) {
    kdu_error e;
    e << "Attempting to discard all of the components from an existing code-stream!";
  }
  set_value("Scomponents", 0, 0, num - skip_components);
  for (int c = skip_components; c < num; c++) {
    int t = c - skip_components, ival, sy, sx;
    bool bval;
    if (source->get_value("Sprecision", c, 0, ival)) set_value("Sprecision", t, 0, ival);
    if (source->get_value("Ssigned", c, 0, bval)) set_value("Ssigned", t, 0, bval);
    if (source->get_value("Ssampling", c, fv, sy) && source->get_value("Ssampling", c, fh, sx)) {
      int64_t y = (int64_t)sy << discard_levels, x = (int64_t)sx << discard_levels;
      if (y > 255 || x > 255) {
        kdu_error e;
        e << "Current algorithm for discarding resolution levels from an existing code-stream "
             "for transcoding operates by multiplying the sub-sampling factors in the SIZ "
             "marker.  For the current code-stream, this results in sub-sampling factors which "
             "exceed the legal range of 1 to 255.";
      }
      set_value("Ssampling", t, 0, (int)y);
      set_value("Ssampling", t, 1, (int)x);
    }
  }
}

int siz_params::write_segment(kd_byte_writer *out, kdu_params *, int tpart_idx) {
  if (tpart_idx != 0) return 0;
  int y1 = 0, x1 = 0, y0 = 0, x0 = 0, ty = 0, tx = 0, ty0 = 0, tx0 = 0, num = 0;
  if (!(get_value("Ssize", 0, 0, y1) && get_value("Ssize", 0, 1, x1) && get_value("Sorigin", 0, 0, y0) &&
        get_value("Sorigin", 0, 1, x0) && get_value("Stiles", 0, 0, ty) && get_value("Stiles", 0, 1, tx) &&
        get_value("Stile_origin", 0, 0, ty0) && get_value("Stile_origin", 0, 1, tx0) &&
        get_value("Scomponents", 0, 0, num))) {
    kdu_error e;
    e << "Unable to write SIZ marker segment yet!";
  }
  if (num < 1 || num > 16384) {
    kdu_error e;
    e << "Illegal number of image components! Must be in the range 1 to 16384.";
  }
  int length = 40 + 3 * num;
  if (out == nullptr) return length;

  int64_t X0 = x0, X1 = x1, TX0 = tx0, Y0 = y0, Y1 = y1, TY0 = ty0;
  if ((tx0 < 0 || ty0 < 0) && tx > 0 && ty > 0) {
    // A flipped canvas: shift both axes by multiples of a period that keeps every precinct and
    // code-block partition of every tile-component where it was.
    int64_t px = tx, py = ty;
    int64_t num_tiles = ceil_div(X1 - X0, tx) * ceil_div(Y1 - Y0, ty);
    kdu_params *cod = access_cluster("COD");
    for (int64_t t = -1; t < num_tiles; t++)
      for (int c = 0; c < num; c++) {
        int yr = 1, xr = 1, levels = 0;
        get_value("Ssampling", c, 0, yr);
        get_value("Ssampling", c, 1, xr);
        kdu_params *tc = (cod == nullptr) ? nullptr : cod->access_relation((int)t, c, 0);
        bool use_precincts;
        if (tc == nullptr || !tc->get_value("Clevels", 0, 0, levels) ||
            !tc->get_value("Cuse_precincts", 0, 0, use_precincts)) {
          kdu_error e;
          e << "Attempting to write geometrically transformed SIZ marker information without "
               "attaching and finalizing all tile-component COD marker information.  This is "
               "essential to establish canvas coordinate equivalence relationships.";
        }
        for (int j = levels; j >= 0; j--) {
          int ey = 15, ex = 15;
          if (use_precincts) {
            int ph = 1 << 15, pw = 1 << 15;
            tc->get_value("Cprecincts", levels - j, 0, ph);
            tc->get_value("Cprecincts", levels - j, 1, pw);
            bool exact;
            ey = ceil_log2(ph, exact);
            ex = ceil_log2(pw, exact);
          }
          if (ex + j > 30 || ey + j > 30) canvas_conversion_error();
          int64_t hterm = (int64_t)xr << (ex + j), vterm = (int64_t)yr << (ey + j);
          if (hterm > 0x7FFFFFFF || vterm > 0x7FFFFFFF) canvas_conversion_error();
          px = period_lcm(px, hterm);
          py = period_lcm(py, vterm);
        }
      }
    int64_t hshift = ((TX0 % px) + px) % px - TX0;
    int64_t vshift = ((TY0 % py) + py) % py - TY0;
    X0 += hshift, X1 += hshift, TX0 += hshift;
    Y0 += vshift, Y1 += vshift, TY0 += vshift;
    if (X1 > 0x7FFFFFFF || Y1 > 0x7FFFFFFF) canvas_conversion_error();
  }
  if (!(TX0 <= X0 && X0 < TX0 + tx && TY0 <= Y0 && Y0 < TY0 + ty && X0 < X1 && Y0 < Y1)) {
    kdu_error e;
    e << "Cannot write SIZ marker with illegal canvas coordinates.  The first tile is required "
         "to have a non-empty intersection with the image region on the canvas.";
  }

  out->write((uint16_t)KDU_SIZ);
  out->write((uint16_t)(length - 2));
  out->write((uint16_t)0);
  out->write((uint32_t)X1);
  out->write((uint32_t)Y1);
  out->write((uint32_t)X0);
  out->write((uint32_t)Y0);
  out->write((uint32_t)tx);
  out->write((uint32_t)ty);
  out->write((uint32_t)TX0);
  out->write((uint32_t)TY0);
  out->write((uint16_t)num);
  for (int c = 0; c < num; c++) {
    bool is_signed;
    int precision = 0, yr = 0, xr = 0;
    if (!(get_value("Ssigned", c, 0, is_signed) && get_value("Sprecision", c, 0, precision) &&
          get_value("Ssampling", c, 0, yr) && get_value("Ssampling", c, 1, xr))) {
      kdu_error e;
      e << "Unable to write SIZ marker segment! Precision or sub-sampling information missing "
           "for at least one component.";
    }
    if (precision < 1 || precision > KDU_MAX_PRECISION) {
      kdu_error e;
      e << "Illegal image sample bit-depth, " << precision << ". Legal range is from 1 to 38 bits per sample.";
    }
    if (yr < 1 || yr > 255 || xr < 1 || xr > 255) {
      kdu_error e;
      e << "Illegal component sub-sampling factors, {" << yr << "," << xr << "}. Legal range is from 1 to 255.";
    }
    out->write((uint8_t)((is_signed ? 128 : 0) + precision - 1));
    out->write((uint8_t)xr);
    out->write((uint8_t)yr);
  }
  return length;
}
