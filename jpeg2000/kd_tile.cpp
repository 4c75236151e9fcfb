#include "kd_tile.h"

#include <algorithm>
#include <memory>

#include "cod_params.h"
#include "kd_packets.h"
#include "kdu_messages.h"
#include "qcd_params.h"
#include "siz_params.h"

namespace {

int64_t ceil_div(int64_t a, int64_t b) { return (a >= 0) ? (a + b - 1) / b : -((-a) / b); }
int64_t floor_div(int64_t a, int64_t b) { return (a >= 0) ? a / b : -((-a + b - 1) / b); }

// Exponent of an exact power of 2, or -1.
int exact_log2(int64_t v) {
  if (v < 1 || (v & (v - 1)) != 0) return -1;
  int e = 0;
  while (((int64_t)1 << e) < v) e++;
  return e;
}

void set_span(int64_t lo, int64_t hi, int &pos, int &size) {
  pos = (int)lo;
  size = (hi > lo) ? (int)(hi - lo) : 0;
}

// Whether a POC object holds records of its own (from its own segment, not inherited).
bool has_own_records(kdu_params *poc) {
  int v;
  return poc != nullptr && poc->get_value("Porder", 0, 0, v, false);
}

// Record k of a POC object, its own (neither inherited nor extrapolated); false when it has none.
bool own_record(kdu_params *poc, int k, kd_progression &rec) {
  int f[6];
  for (int i = 0; i < 6; i++)
    if (poc == nullptr || !poc->get_value("Porder", k, i, f[i], false, false)) return false;
  rec = {f[0], f[1], f[2], f[3], f[4], f[5]};
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
kd_tile_state::kd_tile_state(kd_stream_state *cs, int num) : codestream(cs), tile_num(num) {
  int row = num / cs->num_tiles.x, col = num % cs->num_tiles.x;
  const kd_region &tp = cs->tile_partition, &cv = cs->canvas;
  int64_t y0 = (int64_t)tp.pos_y + (int64_t)row * tp.size_y, y1 = y0 + tp.size_y;
  int64_t x0 = (int64_t)tp.pos_x + (int64_t)col * tp.size_x, x1 = x0 + tp.size_x;
  y0 = std::max<int64_t>(y0, cv.pos_y);
  x0 = std::max<int64_t>(x0, cv.pos_x);
  y1 = std::min<int64_t>(y1, (int64_t)cv.pos_y + cv.size_y);
  x1 = std::min<int64_t>(x1, (int64_t)cv.pos_x + cv.size_x);
  set_span(y0, y1, region.pos_y, region.size_y);
  set_span(x0, x1, region.pos_x, region.size_x);
  num_components = cs->num_components;
}

kd_tile_state::~kd_tile_state() {
  if (codestream->active_tile == this) codestream->active_tile = nullptr;
  comps.clear();  // resolutions release their precincts and chunks
  delete pph;
  if (!codestream->persistent) codestream->release_tile_params(tile_num);
  if ((size_t)tile_num < codestream->tile_refs.size())
    codestream->tile_refs[(size_t)tile_num] = kd_stream_state::expired_tile();
}

void kd_tile_state::check_coding_partitions(kd_point origin, kd_point exponents) {
  if ((origin.y != 0 && origin.y != 1) || (origin.x != 0 && origin.x != 1)) {
    kdu_error e;
    e << "Coding partitions (code-blocks and precinct partitions) must have origin coordinates "
         "equal to 1 or 0 only!";
  }
  if (exponents.y < 0 || exponents.x < 0) {
    kdu_error e;
    e << "Coding partitions (namely, code-block and precinct partitions) must have exact "
         "power-of-2 dimensions!";
  }
}

void kd_tile_state::build_structures() {
  kd_stream_state *cs = codestream;
  kdu_params *cod_head = cs->siz->access_cluster("COD");
  kdu_params *qcd_head = cs->siz->access_cluster("QCD");
  kdu_params *rgn_head = cs->siz->access_cluster("RGN");
  kdu_params *cod = cod_head->access_relation(tile_num, -1);
  bool ok = cod->get_value("Cuse_sop", 0, 0, use_sop) && cod->get_value("Cuse_eph", 0, 0, use_eph) &&
            cod->get_value("Cycc", 0, 0, use_ycc) && cod->get_value("Calign_blk_last", 0, 0, align_y) &&
            cod->get_value("Calign_blk_last", 0, 1, align_x) && cod->get_value("Clayers", 0, 0, num_layers);
  if (!ok || num_layers < 1) {
    kdu_error e;
    e << "Code-stream provides no coding style information (COD marker segment) for tile " << tile_num << ".";
  }
  if (num_layers > cs->max_tile_layers) cs->max_tile_layers = num_layers;

  comps.resize((size_t)num_components);
  total_precincts = 0;
  for (int c = 0; c < num_components; c++) {
    kd_tile_comp_state &tc = comps[(size_t)c];
    tc.tile = this;
    tc.comp_idx = c;
    tc.sub_sampling = cs->sub_sampling[(size_t)c];
    kdu_params *ccod = cod_head->access_relation(tile_num, c);
    kdu_params *cqcd = qcd_head->access_relation(tile_num, c);
    kdu_params *crgn = rgn_head->access_relation(tile_num, c);
    int cblk_y = 0, cblk_x = 0;
    if (!(ccod->get_value("Clevels", 0, 0, tc.levels) && ccod->get_value("Creversible", 0, 0, tc.reversible) &&
          ccod->get_value("Ckernels", 0, 0, tc.kernel_id) &&
          ccod->get_value("Cuse_precincts", 0, 0, tc.use_precincts) && ccod->get_value("Cblk", 0, 0, cblk_y) &&
          ccod->get_value("Cblk", 0, 1, cblk_x) && ccod->get_value("Cmodes", 0, 0, tc.modes))) {
      kdu_error e;
      e << "Code-stream provides no coding style information (COD marker segment) for tile " << tile_num << ".";
    }
    if (tc.levels > KD_MAX_LEVELS) {
      kdu_error e;
      e << "Illegal number of DWT levels, " << tc.levels << ", specified for a tile-component.  At most "
        << KD_MAX_LEVELS << " are allowed.";
    }
    tc.apparent_levels = tc.levels - cs->discard_levels;
    tc.headroom = tc.reversible ? (use_ycc ? 5 : 4) : 7;
    tc.block_exp.y = exact_log2(cblk_y);
    tc.block_exp.x = exact_log2(cblk_x);
    kd_point block_origin{align_y ? 1 : 0, align_x ? 1 : 0};
    check_coding_partitions(block_origin, tc.block_exp);
    if (tc.block_exp.y < 2 || tc.block_exp.x < 2 || tc.block_exp.y > KD_MAX_BLOCK_EXPONENT ||
        tc.block_exp.x > KD_MAX_BLOCK_EXPONENT || tc.block_exp.y + tc.block_exp.x > KD_MAX_BLOCK_AREA_EXPONENT) {
      kdu_error e;
      e << "Illegal code-block dimensions, " << cblk_y << " x " << cblk_x
        << ".  Code-block dimensions must lie between 4 and 1024 and their product may not "
           "exceed 4096.";
    }

    int guard = 1;
    bool derived = false;
    cqcd->get_value("Qguard", 0, 0, guard);
    cqcd->get_value("Qderived", 0, 0, derived);
    int rshift = 0, rlevels = 4;
    float rweight = -1.0f;
    if (crgn != nullptr) {
      crgn->get_value("Rshift", 0, 0, rshift);
      crgn->get_value("Rlevels", 0, 0, rlevels);
      crgn->get_value("Rweight", 0, 0, rweight);
    }
    int precision = cs->precision[(size_t)c];

    const kd_region &tr = region;
    kd_point f = tc.sub_sampling;
    int64_t cy0 = ceil_div(tr.pos_y, f.y), cy1 = ceil_div((int64_t)tr.pos_y + tr.size_y, f.y);
    int64_t cx0 = ceil_div(tr.pos_x, f.x), cx1 = ceil_div((int64_t)tr.pos_x + tr.size_x, f.x);
    set_span(cy0, cy1, tc.region.pos_y, tc.region.size_y);
    set_span(cx0, cx1, tc.region.pos_x, tc.region.size_x);

    tc.resolutions.resize((size_t)tc.levels + 1);
    tc.min_step_y = tc.min_step_x = INT64_MAX;
    for (int r = tc.levels; r >= 0; r--) {
      kd_resolution_state &res = tc.resolutions[(size_t)r];
      res.comp = &tc;
      res.res_idx = r;
      res.levels_below = tc.levels - r;
      res.propagate_roi = (tc.levels - r) < rlevels;
      int64_t scale = (int64_t)1 << res.levels_below;
      set_span(ceil_div(cy0, scale), ceil_div(cy1, scale), res.region.pos_y, res.region.size_y);
      set_span(ceil_div(cx0, scale), ceil_div(cx1, scale), res.region.pos_x, res.region.size_x);
      int ppy = 15, ppx = 15;
      if (tc.use_precincts) {
        int vy = 0, vx = 0;
        if (!ccod->get_value("Cprecincts", tc.levels - r, 0, vy) ||
            !ccod->get_value("Cprecincts", tc.levels - r, 1, vx)) {
          kdu_error e;
          e << "Code-stream provides no precinct dimensions for a tile-component that uses "
               "precincts.";
        }
        ppy = exact_log2(vy);
        ppx = exact_log2(vx);
      }
      res.precinct_exp = {ppy, ppx};
      res.precinct_origin = {0, 0};
      check_coding_partitions(res.precinct_origin, res.precinct_exp);
      if (r > 0 && (ppy < 1 || ppx < 1)) {
        kdu_error e;
        e << "Precinct partition dimensions must be >= 2 in all but the lowest resolution "
             "level!";
      }
      int64_t py0 = floor_div(res.region.pos_y, (int64_t)1 << ppy);
      int64_t py1 = ceil_div((int64_t)res.region.pos_y + res.region.size_y, (int64_t)1 << ppy);
      int64_t px0 = floor_div(res.region.pos_x, (int64_t)1 << ppx);
      int64_t px1 = ceil_div((int64_t)res.region.pos_x + res.region.size_x, (int64_t)1 << ppx);
      res.first_precinct = {(int)py0, (int)px0};
      res.num_precincts = {(res.region.size_y > 0) ? (int)(py1 - py0) : 0,
                           (res.region.size_x > 0) ? (int)(px1 - px0) : 0};
      int64_t count = (int64_t)res.num_precincts.y * res.num_precincts.x;
      total_precincts += count;
      if (total_precincts * num_layers > KD_MAX_TILE_PACKETS) {
        kdu_error e;
        e << "Packet header contains a representation which is not strictly illegal, but "
             "unreasonably large so that it exceeds the dynamic range available for our "
             "internal representation!  The problem is most likely due to a corrupt or "
             "incorrectly constructed code-stream.";
      }
      res.precincts.assign((size_t)count, nullptr);
      if (res.region.size_y > 0 && res.region.size_x > 0) {
        int64_t sy = ((int64_t)f.y) << (ppy + res.levels_below);
        int64_t sx = ((int64_t)f.x) << (ppx + res.levels_below);
        tc.min_step_y = std::min(tc.min_step_y, sy);
        tc.min_step_x = std::min(tc.min_step_x, sx);
      }

      // Subbands.
      int first_band = (r == 0) ? LL_BAND : HL_BAND;
      int last_band = (r == 0) ? LL_BAND : HH_BAND;
      res.bands.resize((size_t)(last_band - first_band + 1));
      int nb = (r == 0) ? tc.levels : tc.levels - r + 1;
      for (int b = first_band; b <= last_band; b++) {
        kd_subband_state &band = res.bands[(size_t)(b - first_band)];
        band.resolution = &res;
        band.orientation = b;
        band.band_idx = (r == 0) ? 0 : 3 * (r - 1) + b;
        int64_t oy = (b == LH_BAND || b == HH_BAND) ? 1 : 0;
        int64_t ox = (b == HL_BAND || b == HH_BAND) ? 1 : 0;
        int64_t scale_b = (int64_t)1 << nb;
        int64_t half = (nb > 0) ? ((int64_t)1 << (nb - 1)) : 0;
        set_span(ceil_div(cy0 - oy * half, scale_b), ceil_div(cy1 - oy * half, scale_b), band.region.pos_y,
                 band.region.size_y);
        set_span(ceil_div(cx0 - ox * half, scale_b), ceil_div(cx1 - ox * half, scale_b), band.region.pos_x,
                 band.region.size_x);
        int bpy = (r > 0) ? ppy - 1 : ppy, bpx = (r > 0) ? ppx - 1 : ppx;
        band.block_size = {std::min(tc.block_exp.y, bpy), std::min(tc.block_exp.x, bpx)};
        band.block_origin = block_origin;
        int64_t bh = (int64_t)1 << band.block_size.y, bw = (int64_t)1 << band.block_size.x;
        int64_t by0 = floor_div(band.region.pos_y - block_origin.y, bh);
        int64_t by1 = ceil_div((int64_t)band.region.pos_y + band.region.size_y - block_origin.y, bh);
        int64_t bx0 = floor_div(band.region.pos_x - block_origin.x, bw);
        int64_t bx1 = ceil_div((int64_t)band.region.pos_x + band.region.size_x - block_origin.x, bw);
        band.first_block = {(int)by0, (int)bx0};
        band.num_blocks = {(band.region.size_y > 0) ? (int)(by1 - by0) : 0,
                           (band.region.size_x > 0) ? (int)(bx1 - bx0) : 0};

        // Quantisation.
        if (tc.reversible) {
          if (!cqcd->get_value("Qabs_ranges", band.band_idx, 0, band.epsilon)) {
            kdu_error e;
            e << "Quantization parameters are missing for one or more subbands of tile " << tile_num << ", component "
              << c << ".";
          }
          band.step = 1.0f / (float)((int64_t)1 << std::min(precision, 62));
        } else {
          float step = 0.0f;
          bool have = derived ? cqcd->get_value("Qabs_steps", 0, 0, step)
                              : cqcd->get_value("Qabs_steps", band.band_idx, 0, step);
          if (!have || !(step > 0.0f)) {
            kdu_error e;
            e << "Quantization parameters are missing for one or more subbands of tile " << tile_num << ", component "
              << c << ".";
          }
          if (derived && r > 1) step *= (float)((int64_t)1 << std::min(r - 1, 62));
          band.step = step;
          band.epsilon = 0;
          while (step < 1.0f && band.epsilon < 255) {
            step *= 2.0f;
            band.epsilon++;
          }
        }
        band.mb = guard + band.epsilon - 1;
        band.roi_mb = band.mb + rshift;
        band.roi_weight = rweight;
        float w = 1.0f;
        if (b != LL_BAND && ccod->get_value("Cband_weights", 3 * (tc.levels - r) + (3 - b), 0, w)) band.band_weight = w;
      }
    }
  }

  if (use_ycc) {
    bool compatible = num_components >= 3;
    for (int c = 1; c < 3 && compatible; c++)
      if (comps[(size_t)c].reversible != comps[0].reversible ||
          comps[(size_t)c].sub_sampling.y != comps[0].sub_sampling.y ||
          comps[(size_t)c].sub_sampling.x != comps[0].sub_sampling.x)
        compatible = false;
    if (!compatible) {
      kdu_error e;
      e << "Illegal colour transform specified when image has insufficient or incompatible "
           "colour components.";
    }
  }
  total_packets = total_precincts * num_layers;
  packets_read = 0;
  order.init(this);
  built = true;
}

void kd_tile_state::read_first_part_header() {
  if (built) return;
  // Reading stops at the end of the header, where the tile is built; packets are read on demand.
  if (tile_parts_read == 0 && !read_part_header()) end_reading();
  // No tile-part of the tile could be read: it is built from the parameters as they stand.
  if (!built) build_structures();
}

void kd_tile_state::activate() {
  kd_stream_state *cs = codestream;
  if (is_open) {
    kdu_error e;
    e << "You must close a tile before you can re-open it.";
  }
  for (kd_tile_comp_state &tc : comps) {
    tc.apparent_levels = tc.levels - cs->discard_levels;
    if (tc.apparent_levels < 0) {
      kdu_error e;
      e << "Attempting to discard more DWT levels than are available in one or more tile "
           "components!";
    }
  }
  is_open = true;
  cs->num_open_tiles++;
}

void kd_tile_state::close() {
  kd_stream_state *cs = codestream;
  if (is_open) {
    is_open = false;
    cs->num_open_tiles--;
  }
  if (!cs->persistent) {
    closed = true;
    if (finished_reading) delete this;
  }
}

void kd_tile_state::end_reading() {
  kd_stream_state *cs = codestream;
  if (cs->active_tile == this) {
    cs->input->clear_budget();
    while (cs->marker->fetch_marker(true, true) && cs->marker->get_code() != KDU_SOT) {
    }
    cs->active_tile = nullptr;
  }
  finished_reading = true;
}

bool kd_tile_state::read_packets_of_part() {
  bool any = false;
  while (codestream->active_tile == this && !finished_reading) {
    kd_precinct_state *p = order.next_precinct();
    if (p == nullptr || !p->read_next_packet()) break;
    any = true;
  }
  return any;
}

bool kd_tile_state::read_part_header() {
  kd_stream_state *cs = codestream;
  for (;;) {
    if (finished_reading || (tile_parts_expected > 0 && tile_parts_read >= tile_parts_expected)) return false;
    kd_marker_reader *m = cs->marker;
    if (cs->active_tile != nullptr) {
      kd_tile_state *other = cs->active_tile;
      if (other != this) other->read_packets_of_part();
      cs->active_tile = nullptr;
      if (other != this && other->closed && other->finished_reading) delete other;
      cs->input->clear_budget();
      if (m->get_code() != KDU_SOT) m->fetch_marker(false, false);
    } else if (m->get_code() != KDU_SOT) {
      cs->input->clear_budget();
      m->fetch_marker(false, false);
    }
    if (m->get_code() == 0 && cs->input->failed()) return false;
    if (m->get_code() != KDU_SOT) {
      kdu_error e;
      e << "Invalid marker code found in code-stream!\n"
        << "\tExpected SOT marker and got ";
      write_marker_name(m->get_code(), e);
      e << ".";
    }
    const uint8_t *sot = m->get_bytes();
    int isot = (sot[0] << 8) | sot[1];
    uint32_t psot = ((uint32_t)sot[2] << 24) | ((uint32_t)sot[3] << 16) | ((uint32_t)sot[4] << 8) | sot[5];
    int tpsot = sot[6], tnsot = sot[7];
    m->clear();
    if (isot != tile_num && psot == 0) {
      finished_reading = true;
      return false;
    }
    if ((size_t)isot >= cs->tile_refs.size()) {
      kdu_error e;
      e << "Missing or out-of-sequence tile-parts for tile number " << isot << " in code-stream!";
    }
    kd_tile_state *target = cs->tile_refs[(size_t)isot];
    if (target == nullptr) target = cs->make_tile(isot);
    if (target == kd_stream_state::expired_tile()) {
      // Skip the discarded tile-part.
      if (cs->ppm_markers != nullptr) cs->ppm_markers->skip_pph_bytes();
      if (psot == 0) return false;
      int64_t left = (int64_t)psot - 12;
      while (left > 0) {
        int n = cs->input->skip((int)std::min<int64_t>(left, 0x40000000));
        if (n <= 0) break;
        left -= n;
      }
      if (!m->fetch_marker(false, false) || m->get_code() != KDU_SOT) {
        if (cs->input->failed()) return false;
        kdu_error e;
        e << "Corrupt SOT length field used to seek over a discarded tile-part.";
      }
      continue;
    }
    if (tpsot != target->tile_parts_read) {
      kdu_error e;
      e << "Missing or out-of-sequence tile-parts for tile number " << isot << " in code-stream!";
    }
    if (tnsot != 0) {
      if (target->tile_parts_expected == 0)
        target->tile_parts_expected = tnsot;
      else if (target->tile_parts_expected != tnsot) {
        kdu_error e;
        e << "The number of tile-parts for tile number " << isot
          << " is identified by different non-zero values in different SOT markers for the "
             "tile!";
      }
    }

    // Tile-part header.
    int64_t header_bytes = 12;
    // The tile-part's PPT segments; an error anywhere in the header releases them.
    std::unique_ptr<kd_pph_list> ppt;
    for (;;) {
      if (!m->fetch_marker(false, false)) {
        if (cs->input->failed()) return false;
        kdu_error e;
        e << "Found non-marker code while looking for SOD marker to terminate a tile-part "
             "header.  Chances are that a marker segment length field is incorrect!";
      }
      uint16_t code = m->get_code();
      if (code == KDU_SOD) {
        header_bytes += 2;
        break;
      }
      header_bytes += m->has_segment() ? 4 + m->get_length() : 2;
      if (kd_reserved_without_segment(code)) continue;
      if (code == KDU_PPT) {
        if (ppt == nullptr) ppt.reset(new kd_pph_list(false));
        ppt->store_pph_marker(*m);
      } else {
        cs->make_tile_params(isot);
        cs->siz->route_segment(code, m->get_length(), m->get_bytes(), isot, tpsot);
      }
    }
    m->clear();
    if (ppt != nullptr && cs->ppm_markers != nullptr) {
      kdu_error e;
      e << "Use of both PPM and PPT marker segments is illegal!";
    }
    if (ppt != nullptr || cs->ppm_markers != nullptr) {
      if (target->pph == nullptr) target->pph = new kd_pph_input(cs->buf_server);
      (ppt != nullptr ? ppt.get() : cs->ppm_markers)->transfer_pph_bytes(target->pph);
      ppt.reset();
    }
    // Only the first tile-part header changes the tile's parameters: the tile is built now.
    if (!target->built) target->build_structures();
    if (psot != 0) cs->input->set_budget((int64_t)psot - header_bytes);
    target->tile_parts_read++;
    cs->active_tile = target;
    if (target == this) return true;
  }
}

// ---------------------------------------------------------------------------------------------
kd_resolution_state::~kd_resolution_state() {
  for (kd_precinct_state *&p : precincts)
    if (p != nullptr && p != expired()) {
      delete p;
      p = nullptr;
    }
}

kd_precinct_state *kd_resolution_state::access_precinct(kd_point idx) {
  if (idx.y < 0 || idx.x < 0 || idx.y >= num_precincts.y || idx.x >= num_precincts.x) return nullptr;
  kd_precinct_state *&ref = precincts[(size_t)idx.y * (size_t)num_precincts.x + (size_t)idx.x];
  if (ref == expired()) return nullptr;
  if (ref == nullptr) ref = new kd_precinct_state(this, idx);
  return ref;
}

void kd_resolution_state::release_precinct(kd_precinct_state *p) {
  precincts[(size_t)p->idx.y * (size_t)num_precincts.x + (size_t)p->idx.x] = expired();
  delete p;
}

kd_precinct_state::kd_precinct_state(kd_resolution_state *res, kd_point pidx) : resolution(res), idx(pidx) {
  num_layers = res->comp->tile->num_layers;
  int r = res->res_idx;
  kd_point abs{res->first_precinct.y + pidx.y, res->first_precinct.x + pidx.x};
  bands.resize(res->bands.size());
  for (size_t b = 0; b < res->bands.size(); b++) {
    kd_subband_state &band = res->bands[b];
    kd_precinct_band &pb = bands[b];
    int ey = (r > 0) ? res->precinct_exp.y - 1 : res->precinct_exp.y;
    int ex = (r > 0) ? res->precinct_exp.x - 1 : res->precinct_exp.x;
    int64_t py = (int64_t)1 << ey, px = (int64_t)1 << ex;
    int64_t y0 = std::max<int64_t>((int64_t)abs.y * py, band.region.pos_y);
    int64_t y1 = std::min<int64_t>(((int64_t)abs.y + 1) * py, (int64_t)band.region.pos_y + band.region.size_y);
    int64_t x0 = std::max<int64_t>((int64_t)abs.x * px, band.region.pos_x);
    int64_t x1 = std::min<int64_t>(((int64_t)abs.x + 1) * px, (int64_t)band.region.pos_x + band.region.size_x);
    if (y1 <= y0 || x1 <= x0) {
      pb.num_blocks = {0, 0};
      continue;
    }
    int64_t bh = (int64_t)1 << band.block_size.y, bw = (int64_t)1 << band.block_size.x;
    int64_t by0 = floor_div(y0 - band.block_origin.y, bh), by1 = ceil_div(y1 - band.block_origin.y, bh);
    int64_t bx0 = floor_div(x0 - band.block_origin.x, bw), bx1 = ceil_div(x1 - band.block_origin.x, bw);
    pb.first_block = {(int)by0, (int)bx0};
    pb.num_blocks = {(int)(by1 - by0), (int)(bx1 - bx0)};
    size_t leaves = (size_t)pb.num_blocks.y * (size_t)pb.num_blocks.x;
    pb.blocks.resize(leaves);
    blocks_not_closed += (int)leaves;
    // Tag trees: leaves first, then each coarser level until one node.
    for (int t = 0; t < 2; t++) {
      std::vector<kd_block_state> &tree = t ? pb.msbs_tree : pb.inclusion_tree;
      size_t total = 0;
      for (int h = pb.num_blocks.y, w = pb.num_blocks.x;; h = (h + 1) / 2, w = (w + 1) / 2) {
        total += (size_t)h * (size_t)w;
        if (h == 1 && w == 1) break;
      }
      tree.resize(total);
      size_t level_start = 0;
      for (int h = pb.num_blocks.y, w = pb.num_blocks.x; !(h == 1 && w == 1);) {
        int ph = (h + 1) / 2, pw = (w + 1) / 2;
        size_t parent_start = level_start + (size_t)h * (size_t)w;
        for (int y = 0; y < h; y++)
          for (int x = 0; x < w; x++)
            tree[level_start + (size_t)y * (size_t)w + (size_t)x].parent =
                &tree[parent_start + (size_t)(y / 2) * (size_t)pw + (size_t)(x / 2)];
        level_start = parent_start;
        h = ph;
        w = pw;
      }
    }
  }
}

kd_precinct_state::~kd_precinct_state() { release_chunks(); }

void kd_precinct_state::release_chunks() {
  kd_chunk_server *server = resolution->comp->tile->codestream->buf_server;
  for (kd_precinct_band &pb : bands)
    for (kd_block_state &blk : pb.blocks) {
      server->return_chunks(blk.first_chunk);
      blk.first_chunk = blk.last_chunk = nullptr;
      blk.write_pos = 0;
      blk.store_size = 0;
    }
}

// ---------------------------------------------------------------------------------------------
kd_working_block *kd_subband_state::begin_block(kd_point block_idx) {
  kd_resolution_state *res = resolution;
  kd_tile_state *tile = res->comp->tile;
  kd_stream_state *cs = tile->codestream;
  int r = res->res_idx;
  int64_t by = (int64_t)(first_block.y + block_idx.y) * ((int64_t)1 << block_size.y);
  int64_t bx = (int64_t)(first_block.x + block_idx.x) * ((int64_t)1 << block_size.x);
  by += block_origin.y;
  bx += block_origin.x;
  int ey = (r > 0) ? res->precinct_exp.y - 1 : res->precinct_exp.y;
  int ex = (r > 0) ? res->precinct_exp.x - 1 : res->precinct_exp.x;
  int64_t y0 = std::max<int64_t>(by, region.pos_y), x0 = std::max<int64_t>(bx, region.pos_x);
  kd_point pidx{(int)(floor_div(y0, (int64_t)1 << ey) - res->first_precinct.y),
                (int)(floor_div(x0, (int64_t)1 << ex) - res->first_precinct.x)};
  kd_precinct_state *precinct = res->access_precinct(pidx);

  while (precinct != nullptr && !tile->finished_reading && precinct->layers_read < tile->num_layers) {
    if (cs->active_tile != tile && !tile->read_part_header()) {
      tile->end_reading();
      break;
    }
    kd_precinct_state *next = tile->order.next_precinct();
    if (next == nullptr || !next->read_next_packet()) {
      if (tile->finished_reading) break;
      if (cs->active_tile == tile) cs->active_tile = nullptr;  // move on to the next tile-part
      if (!tile->read_part_header()) {
        tile->end_reading();
        break;
      }
    }
  }

  kd_working_block *blk = cs->block;
  cs->block = nullptr;
  if (blk == nullptr) {
    kdu_error e;
    e << "Attempting to open a code-block while another one is still open.";
  }
  int64_t y1 = std::min<int64_t>(by + ((int64_t)1 << block_size.y), (int64_t)region.pos_y + region.size_y);
  int64_t x1 = std::min<int64_t>(bx + ((int64_t)1 << block_size.x), (int64_t)region.pos_x + region.size_x);
  set_span(y0, y1, blk->region.pos_y, blk->region.size_y);
  set_span(x0, x1, blk->region.pos_x, blk->region.size_x);
  blk->size = {blk->region.size_y, blk->region.size_x};
  blk->modes = res->comp->modes;
  blk->orientation = orientation;
  blk->num_passes = 0;
  blk->missing_msbs = 0;
  blk->num_bytes = 0;
  blk->block = nullptr;
  blk->precinct = nullptr;
  blk->block_idx = block_idx;
  if (precinct == nullptr) return blk;

  // Locate the block's record in its precinct.
  kd_precinct_band *pb = &precinct->bands[(size_t)(this - res->bands.data())];
  int ly = first_block.y + block_idx.y - pb->first_block.y;
  int lx = first_block.x + block_idx.x - pb->first_block.x;
  if (ly < 0 || lx < 0 || ly >= pb->num_blocks.y || lx >= pb->num_blocks.x) return blk;
  kd_block_state &state = pb->blocks[(size_t)ly * (size_t)pb->num_blocks.x + (size_t)lx];
  blk->block = &state;
  blk->precinct = precinct;
  blk->missing_msbs = state.msbs;

  // Walk the store: per packet the layer, the segment records, then the body bytes.
  std::vector<uint8_t> store(state.store_size);
  size_t at = 0;
  for (kd_buf_chunk *ch = state.first_chunk; ch != nullptr && at < store.size(); ch = ch->next) {
    size_t n = std::min<size_t>(kd_buf_chunk::size, store.size() - at);
    std::copy(ch->data, ch->data + n, store.begin() + (long)at);
    at += n;
  }
  size_t needed_passes = (size_t)state.passes + 32;
  if (blk->pass_lengths.size() < needed_passes) {
    blk->pass_lengths.resize(needed_passes);
    blk->pass_slopes.resize(needed_passes);
  }
  size_t needed_bytes = (size_t)state.bytes_stored + 4096 + 3;
  if (blk->byte_store.size() < needed_bytes) blk->byte_store.resize(needed_bytes);
  int passes = 0, complete_passes = 0;
  int bytes = 0;
  size_t pos = 0;
  while (pos + 2 <= store.size()) {
    int layer = (store[pos] << 8) | store[pos + 1];
    pos += 2;
    int first_pass = passes, body = 0;
    bool more = true;
    while (more && pos + 3 <= store.size()) {
      int len = (store[pos] << 8) | store[pos + 1];
      int n = store[pos + 2];
      pos += 3;
      more = (len & 0x8000) != 0;
      len &= 0x7FFF;
      for (int k = 0; k < n && passes < (int)blk->pass_lengths.size(); k++) {
        blk->pass_lengths[(size_t)passes] = (k == 0) ? len : 0;
        blk->pass_slopes[(size_t)passes] = 0;
        passes++;
      }
      body += len;
    }
    if (layer >= cs->max_apparent_layers) break;
    if (passes > first_pass) blk->pass_slopes[(size_t)(passes - 1)] = (uint16_t)(65535 - layer);
    int avail = (int)std::min<size_t>((size_t)body, store.size() - pos);
    std::copy(store.begin() + (long)pos, store.begin() + (long)pos + avail, blk->bytes() + bytes);
    pos += (size_t)avail;
    // Passes whose bytes arrived complete.
    int cum = bytes;
    for (int k = first_pass; k < passes; k++) {
      cum += blk->pass_lengths[(size_t)k];
      if (cum <= bytes + avail)
        complete_passes = k + 1;
      else
        break;
    }
    bytes += avail;
    if (avail < body) break;
  }
  blk->num_passes = complete_passes;
  blk->num_bytes = bytes;
  return blk;
}

void kd_subband_state::end_block(kd_working_block *blk) {
  kd_resolution_state *res = resolution;
  kd_stream_state *cs = res->comp->tile->codestream;
  cs->block = blk;
  kd_block_state *state = blk->block;
  kd_precinct_state *precinct = blk->precinct;
  blk->block = nullptr;
  blk->precinct = nullptr;
  if (state == nullptr || cs->persistent) return;
  cs->buf_server->return_chunks(state->first_chunk);
  state->first_chunk = state->last_chunk = nullptr;
  state->store_size = 0;
  state->write_pos = 0;
  // The precinct goes once its last block is closed and all its layers are read.
  if (--precinct->blocks_not_closed == 0 && precinct->layers_read >= precinct->num_layers)
    res->release_precinct(precinct);
}

// ---------------------------------------------------------------------------------------------
void kd_packet_order::init(kd_tile_state *t) {
  tile = t;
  max_levels = 0;
  spatial_ok = true;
  for (kd_tile_comp_state &tc : tile->comps) {
    max_levels = std::max(max_levels, tc.levels);
    if (exact_log2(tc.sub_sampling.y) < 0 || exact_log2(tc.sub_sampling.x) < 0) spatial_ok = false;
  }
  // The first progression is chosen when the tile's first tile-part header has been read (a
  // tile without tile-parts is set up without one), and a POC segment there is the tile's own.
  source = NO_RECORDS;
  instance = record = 0;
  parts_seen = 0;
  finished = false;
  sequence.clear();
  cursor = 0;
}

// The tile has read another tile-part header.  The first one chooses where the records come
// from: the tile's own POC instances, else the main header's POC, else the COD object.  A tile
// that has used the main header's records or its COD record takes up its own POC instances when
// a later tile-part header brings the first of them (the packets already read are passed over as
// they come up again); one that uses its own instances looks again for the next instance.
void kd_packet_order::look_at_records() {
  parts_seen = tile->tile_parts_read;
  if (parts_seen < 1) return;
  if (source == TILE_POC_RECORDS) {
    finished = false;  // the header may have brought the next instance
    return;
  }
  // Instance 0 of the tile's POC object has records of its own only from a tile-part header.
  kdu_params *head = tile->codestream->siz->access_cluster("POC");
  bool own = has_own_records(head->access_relation(tile->tile_num, -1, 0));
  if (source != NO_RECORDS && !own) return;
  source = own ? TILE_POC_RECORDS : has_own_records(head) ? MAIN_POC_RECORDS : COD_RECORD;
  instance = record = 0;
  finished = false;
  sequence.clear();
  cursor = 0;
}

bool kd_packet_order::load_record() {
  sequence.clear();
  cursor = 0;
  if (finished || source == NO_RECORDS) return false;
  kd_progression rec;
  if (source == COD_RECORD) {
    if (record > 0) {
      finished = true;
      return false;
    }
    kdu_params *cod = tile->codestream->siz->access_cluster("COD")->access_relation(tile->tile_num, -1);
    int order = 0;
    cod->get_value("Corder", 0, 0, order);
    rec = {0, 0, tile->num_layers, max_levels + 1, tile->num_components, order};
    record = 1;
  } else if (source == MAIN_POC_RECORDS) {
    if (!own_record(tile->codestream->siz->access_cluster("POC"), record, rec)) {
      finished = true;
      return false;
    }
    record++;
  } else {
    // The tile's own instances in order; the next one applies once more tile-parts of the tile
    // have been read than its index.
    kdu_params *head = tile->codestream->siz->access_cluster("POC");
    while (!own_record(head->access_relation(tile->tile_num, -1, instance), record, rec)) {
      if (!has_own_records(head->access_relation(tile->tile_num, -1, instance + 1))) {
        finished = true;  // until a later tile-part header brings the next instance
        return false;
      }
      if (tile->tile_parts_read <= instance + 1) return false;  // not yet: no packet is due
      instance++;
      record = 0;
    }
    record++;
  }
  rec.layer_limit = std::min(rec.layer_limit, tile->num_layers);
  rec.res_limit = std::min(rec.res_limit, max_levels + 1);
  rec.comp_limit = std::min(rec.comp_limit, tile->num_components);
  if ((rec.order == Corder_RPCL || rec.order == Corder_PCRL) && !spatial_ok) {
    kdu_error e;
    e << "Attempting to use a spatially progressive packet sequence where position order "
         "dominates component order. This is illegal when the component sub-sampling factors "
         "are not exact powers of 2!";
  }
  build_sequence(rec);
  return true;
}

void kd_packet_order::build_sequence(const kd_progression &rec) {
  std::vector<kd_packet_ref> &seq = sequence;
  auto add_precincts = [&](int c, int r, int l) {
    kd_tile_comp_state &tc = tile->comps[(size_t)c];
    if (r > tc.levels) return;
    kd_resolution_state &res = tc.resolutions[(size_t)r];
    for (int y = 0; y < res.num_precincts.y; y++)
      for (int x = 0; x < res.num_precincts.x; x++) seq.push_back({c, r, l, {y, x}});
  };
  int c0 = std::max(rec.first_comp, 0), r0 = std::max(rec.first_res, 0);
  switch (rec.order) {
    case Corder_LRCP:
      for (int l = 0; l < rec.layer_limit; l++)
        for (int r = r0; r < rec.res_limit; r++)
          for (int c = c0; c < rec.comp_limit; c++) add_precincts(c, r, l);
      return;
    case Corder_RLCP:
      for (int r = r0; r < rec.res_limit; r++)
        for (int l = 0; l < rec.layer_limit; l++)
          for (int c = c0; c < rec.comp_limit; c++) add_precincts(c, r, l);
      return;
    default:
      break;
  }

  // Position-major orders: positions step over the canvas grid of the smallest precinct step.
  const kd_region &tr = tile->region;
  int64_t ty0 = tr.pos_y, ty1 = (int64_t)tr.pos_y + tr.size_y;
  int64_t tx0 = tr.pos_x, tx1 = (int64_t)tr.pos_x + tr.size_x;
  int64_t step_y = INT64_MAX, step_x = INT64_MAX;
  for (int c = c0; c < rec.comp_limit; c++) {
    step_y = std::min(step_y, tile->comps[(size_t)c].min_step_y);
    step_x = std::min(step_x, tile->comps[(size_t)c].min_step_x);
  }
  if (step_y == INT64_MAX || step_x == INT64_MAX || step_y < 1 || step_x < 1) return;
  // The precinct of (c, r) whose corner lies at canvas position (y, x), if any.
  auto precinct_at = [&](int c, int r, int64_t y, int64_t x, kd_point &p) {
    kd_tile_comp_state &tc = tile->comps[(size_t)c];
    if (r > tc.levels) return false;
    kd_resolution_state &res = tc.resolutions[(size_t)r];
    if (res.num_precincts.y == 0 || res.num_precincts.x == 0) return false;
    int lr = res.levels_below;
    int64_t gy = ((int64_t)tc.sub_sampling.y) << (res.precinct_exp.y + lr);
    int64_t gx = ((int64_t)tc.sub_sampling.x) << (res.precinct_exp.x + lr);
    int64_t ry0 = res.region.pos_y, rx0 = res.region.pos_x;
    bool on_y = (y % gy == 0) || (y == ty0 && ((ry0 << lr) % ((int64_t)1 << (res.precinct_exp.y + lr))) != 0);
    bool on_x = (x % gx == 0) || (x == tx0 && ((rx0 << lr) % ((int64_t)1 << (res.precinct_exp.x + lr))) != 0);
    if (!on_y || !on_x) return false;
    int64_t py = floor_div(ceil_div(y, (int64_t)tc.sub_sampling.y << lr), (int64_t)1 << res.precinct_exp.y) -
                 floor_div(ry0, (int64_t)1 << res.precinct_exp.y);
    int64_t px = floor_div(ceil_div(x, (int64_t)tc.sub_sampling.x << lr), (int64_t)1 << res.precinct_exp.x) -
                 floor_div(rx0, (int64_t)1 << res.precinct_exp.x);
    if (py < 0 || px < 0 || py >= res.num_precincts.y || px >= res.num_precincts.x) return false;
    p = {(int)py, (int)px};
    return true;
  };
  auto next_pos = [](int64_t v, int64_t step) { return v + step - (((v % step) + step) % step); };
  auto add_layers = [&](int c, int r, kd_point p) {
    for (int l = 0; l < rec.layer_limit; l++) seq.push_back({c, r, l, p});
  };
  kd_point p;
  if (rec.order == Corder_RPCL) {
    for (int r = r0; r < rec.res_limit; r++)
      for (int64_t y = ty0; y < ty1; y = next_pos(y, step_y))
        for (int64_t x = tx0; x < tx1; x = next_pos(x, step_x))
          for (int c = c0; c < rec.comp_limit; c++)
            if (precinct_at(c, r, y, x, p)) add_layers(c, r, p);
  } else if (rec.order == Corder_PCRL) {
    for (int64_t y = ty0; y < ty1; y = next_pos(y, step_y))
      for (int64_t x = tx0; x < tx1; x = next_pos(x, step_x))
        for (int c = c0; c < rec.comp_limit; c++)
          for (int r = r0; r < rec.res_limit; r++)
            if (precinct_at(c, r, y, x, p)) add_layers(c, r, p);
  } else if (rec.order == Corder_CPRL) {
    for (int c = c0; c < rec.comp_limit; c++) {
      int64_t sy = tile->comps[(size_t)c].min_step_y, sx = tile->comps[(size_t)c].min_step_x;
      if (sy == INT64_MAX || sx == INT64_MAX) continue;
      for (int64_t y = ty0; y < ty1; y = next_pos(y, sy))
        for (int64_t x = tx0; x < tx1; x = next_pos(x, sx))
          for (int r = r0; r < rec.res_limit; r++)
            if (precinct_at(c, r, y, x, p)) add_layers(c, r, p);
    }
  }
}

kd_precinct_state *kd_packet_order::next_precinct() {
  for (;;) {
    if (parts_seen != tile->tile_parts_read) look_at_records();
    if (cursor >= sequence.size()) {
      if (!load_record()) return nullptr;
      continue;
    }
    const kd_packet_ref &ref = sequence[cursor];
    kd_resolution_state &res = tile->comps[(size_t)ref.comp].resolutions[(size_t)ref.res];
    kd_precinct_state *p = res.access_precinct(ref.precinct);
    if (p != nullptr && p->layers_read == ref.layer) return p;
    cursor++;
  }
}
