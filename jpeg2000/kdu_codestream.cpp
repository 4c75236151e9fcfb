#include "kdu_codestream.h"

#include <iomanip>

#include "cod_params.h"
#include "kd_packets.h"
#include "kd_tile.h"
#include "kdu_messages.h"
#include "qcd_params.h"
#include "siz_params.h"

namespace {

const char *marker_name(uint16_t code) {
  switch (code) {
    case KDU_SOC:
      return "SOC";
    case KDU_SIZ:
      return "SIZ";
    case KDU_COD:
      return "COD";
    case KDU_COC:
      return "COC";
    case KDU_TLM:
      return "TLM";
    case KDU_PLM:
      return "PLM";
    case KDU_PLT:
      return "PLT";
    case KDU_QCD:
      return "QCD";
    case KDU_QCC:
      return "QCC";
    case KDU_RGN:
      return "RGN";
    case KDU_POC:
      return "POC";
    case KDU_PPM:
      return "PPM";
    case KDU_PPT:
      return "PPT";
    case KDU_CRG:
      return "CRG";
    case KDU_COM:
      return "COM";
    case KDU_SOT:
      return "SOT";
    case KDU_SOP:
      return "SOP";
    case KDU_EPH:
      return "EPH";
    case KDU_SOD:
      return "SOD";
    case KDU_EOC:
      return "EOC";
    default:
      return nullptr;
  }
}

int64_t ceil_div(int64_t a, int64_t b) { return (a >= 0) ? (a + b - 1) / b : -((-a) / b); }
int64_t floor_div(int64_t a, int64_t b) { return (a >= 0) ? a / b : -((-a + b - 1) / b); }

}  // namespace

void write_marker_name(uint16_t code, std::ostream &out) {
  const char *name = marker_name(code);
  if (name != nullptr) {
    out << "<" << name << ">";
    return;
  }
  std::ios_base::fmtflags flags = out.flags();
  out << "0x" << std::hex << std::nouppercase << std::setw(4) << std::setfill('0') << code;
  out.flags(flags);
  out << std::setfill(' ');
}

void write_marker_name(uint16_t code, kdu_message &out) { write_marker_name(code, out.stream()); }

// ---------------------------------------------------------------------------------------------
bool kd_marker_reader::fetch_marker(bool exclude_stuff_bytes, bool skip_to_marker) {
  in->disable_marker_watch();
  segment = false;
  uint8_t byte = 0, b;
  bool have_ff = false;
  for (;;) {
    if (!have_ff) {
      if (!in->get_byte(byte)) return fail();
      if (byte != 0xFF) {
        if (!skip_to_marker) {
          in->putback(byte);
          return fail();
        }
        continue;
      }
    }
    have_ff = false;
    if (!in->get_byte(b)) return fail();
    code = (uint16_t)(0xFF00 | b);
    bool valid = !(exclude_stuff_bytes && b < 0x90);
    if (valid && (code == KDU_SOP || code == KDU_SOT)) {
      uint8_t l1, l2;
      if (!in->get_byte(l1)) return fail();
      if (!in->get_byte(l2)) {
        return fail();
      }
      length = (l1 << 8) | l2;
      if (length != ((code == KDU_SOP) ? 4 : 10)) {
        in->putback(l2);
        in->putback(l1);
        kdu_warning w;
        w << ((code == KDU_SOP) ? "Skipping over corrupt SOP marker code!" : "Skipping over corrupt SOT marker code!");
        continue;  // the scan goes on after the code
      }
    } else if (valid && code == KDU_EOC) {
      uint8_t next;
      if (!in->get_byte(next)) return fail();  // the end of the stream
      in->putback(next);
      valid = false;
      kdu_warning w;
      w << "Disregarding non-terminal EOC marker.";
    }
    if (!valid) {
      if (!skip_to_marker) {
        in->putback(b);
        in->putback((uint8_t)0xFF);
        return fail();
      }
      if (b == 0xFF) have_ff = true;
      continue;
    }
    break;
  }
  if (code == KDU_SOC || code == KDU_SOD || code == KDU_EPH) {
    length = 0;
    return true;
  }
  if (marker_name(code) == nullptr) {
    kdu_warning w;
    w << "Unrecognized/unimplemented marker code, ";
    write_marker_name(code, w);
    w << ", found in code-stream.";
    if (kd_reserved_without_segment(code)) {
      length = 0;
      return true;
    }
  }
  if (code != KDU_SOP && code != KDU_SOT) {
    uint8_t l1, l2;
    if (!in->get_byte(l1) || !in->get_byte(l2)) return fail();
    length = (l1 << 8) | l2;
  }
  length -= 2;
  if (length < 0) return fail();
  if ((size_t)length > body.size()) body.resize((size_t)length * 2);
  if (in->read_block(body.data(), length) < length) return fail();
  segment = true;
  return true;
}

// ---------------------------------------------------------------------------------------------
kd_stream_state::~kd_stream_state() {
  delete ppm_markers;
  delete marker;
  delete input;
  delete block_owned;
  for (kd_tile_state *&t : tile_refs)
    if (t != nullptr && t != expired_tile()) {
      kd_tile_state *tile = t;
      t = nullptr;
      delete tile;
    }
  delete siz;
  if (buf_server != nullptr && --buf_server->use_count == 0) delete buf_server;
}

void kd_stream_state::build_stream_state() {
  siz->finalize();
  int sy = 0, sx = 0, oy = 0, ox = 0, ty = 0, tx = 0, toy = 0, tox = 0;
  bool ok = siz->get_value("Scomponents", 0, 0, num_components) && siz->get_value("Ssize", 0, 0, sy) &&
            siz->get_value("Ssize", 0, 1, sx) && siz->get_value("Sorigin", 0, 0, oy) &&
            siz->get_value("Sorigin", 0, 1, ox) && siz->get_value("Stiles", 0, 0, ty) &&
            siz->get_value("Stiles", 0, 1, tx) && siz->get_value("Stile_origin", 0, 0, toy) &&
            siz->get_value("Stile_origin", 0, 1, tox);
  // All canvas and tile arithmetic is done in 64 bits.
  int64_t height = (int64_t)sy - oy, width = (int64_t)sx - ox;
  if (!ok || height < 1 || width < 1 || height > 0x7FFFFFFF || width > 0x7FFFFFFF || ty < 1 || tx < 1 || toy > oy ||
      tox > ox || (int64_t)toy + ty <= oy || (int64_t)tox + tx <= ox) {
    kdu_error e;
    e << "Illegal canvas coordinates: the first tile is required to have a non-empty "
         "intersection with the image on the high resolution grid.";
  }
  canvas.pos_y = oy;
  canvas.pos_x = ox;
  canvas.size_y = (int)height;
  canvas.size_x = (int)width;
  tile_partition.pos_y = toy;
  tile_partition.pos_x = tox;
  tile_partition.size_y = ty;
  tile_partition.size_x = tx;

  if (num_components < 1 || num_components > 16384) {
    kdu_error e;
    e << "Illegal canvas coordinates: the first tile is required to have a non-empty "
         "intersection with the image on the high resolution grid.";
  }
  sub_sampling.resize((size_t)num_components);
  precision.resize((size_t)num_components);
  is_signed.resize((size_t)num_components);
  for (int c = 0; c < num_components; c++) {
    int p;
    bool s;
    if (!siz->get_value("Sprecision", c, 0, p)) {
      kdu_error e;
      e << "No information available concerning component sample bit-depths (i.e., sample "
           "precision).";
    }
    if (!siz->get_value("Ssigned", c, 0, s)) {
      kdu_error e;
      e << "No information available regarding whether components are signed or unsigned.";
    }
    kd_point f;
    if (!siz->get_value("Ssampling", c, 0, f.y) || !siz->get_value("Ssampling", c, 1, f.x)) {
      kdu_error e;
      e << "No information available concerning component sub-sampling factors.";
    }
    precision[(size_t)c] = p;
    is_signed[(size_t)c] = s;
    sub_sampling[(size_t)c] = f;
  }

  int64_t rows = ceil_div((int64_t)oy + height - toy, ty);
  int64_t cols = ceil_div((int64_t)ox + width - tox, tx);
  if (rows * cols > 65535) {
    kdu_error e;
    e << "Maximum number of allowable tiles is 65535 for any JPEG2000 code-stream.  You have "
         "managed to exceed this number!!";
  }
  num_tiles.y = (int)rows;
  num_tiles.x = (int)cols;
  tile_refs.assign((size_t)(rows * cols), nullptr);
  tile_params_made.assign((size_t)(rows * cols), false);

  // Parameter objects of the main header; those of a tile are made when the tile is first met,
  // which keeps the tree as small as the stream that describes it.
  for (int c = -1; c < num_components; c++) {
    (new cod_params)->join_tree(siz, -1, c);
    (new qcd_params)->join_tree(siz, -1, c);
    (new rgn_params)->join_tree(siz, -1, c);
  }
  (new poc_params)->join_tree(siz, -1, -1);
  (new crg_params)->join_tree(siz, -1, -1);

  buf_server = new kd_chunk_server;
  block = block_owned = new kd_working_block;
  block->resilient = resilient;
  block->fussy = fussy;

  for (;;) {
    if (!marker->fetch_marker(false, false)) {
      kdu_error e;
      e << "Code-stream must contain at least one SOT marker!";
    }
    if (marker->get_code() == KDU_SOT) break;
    if (kd_reserved_without_segment(marker->get_code())) continue;
    if (marker->get_code() == KDU_PPM) {
      if (ppm_markers == nullptr) ppm_markers = new kd_pph_list(true);
      ppm_markers->store_pph_marker(*marker);
    } else
      siz->route_segment(marker->get_code(), marker->get_length(), marker->get_bytes(), -1, 0);
  }
  region = canvas;
  first_apparent_component = 0;
  num_apparent_components = num_components;
  discard_levels = 0;
  max_apparent_layers = 65535;
  tiles_accessed = false;
}

void kd_stream_state::make_tile_params(int t) {
  if (t < 0 || (size_t)t >= tile_params_made.size() || tile_params_made[(size_t)t]) return;
  tile_params_made[(size_t)t] = true;
  for (int c = -1; c < num_components; c++) {
    (new cod_params)->join_tree(siz, t, c);
    (new qcd_params)->join_tree(siz, t, c);
    (new rgn_params)->join_tree(siz, t, c);
  }
  (new poc_params)->join_tree(siz, t, -1);
}

void kd_stream_state::release_tile_params(int t) {
  if (t < 0 || (size_t)t >= tile_params_made.size() || !tile_params_made[(size_t)t] || siz == nullptr) return;
  const char *clusters[] = {"COD", "QCD", "RGN", "POC"};
  std::vector<kdu_params *> heads;
  for (const char *name : clusters) {
    kdu_params *cluster = siz->access_cluster(name);
    if (cluster == nullptr) continue;
    for (int c = -1; c < num_components; c++)
      for (int inst = 0;; inst++) {
        kdu_params *p = cluster->access_relation(t, c, inst);
        if (p == nullptr || p->get_tile() != t) break;
        if (p->holds_values()) return;
      }
    kdu_params *head = cluster->access_relation(t, -1, 0);
    if (head != nullptr && head->get_tile() == t) heads.push_back(head);
  }
  // A tile head takes its components and instances with it.
  for (kdu_params *head : heads) delete head;
  tile_params_made[(size_t)t] = false;
}

bool kd_stream_state::tile_expired(int t) const { return tile_refs[(size_t)t] == expired_tile(); }

kd_tile_state *kd_stream_state::make_tile(int t) {
  make_tile_params(t);
  kd_tile_state *tile = new kd_tile_state(this, t);
  tile_refs[(size_t)t] = tile;
  kd_region &r = tile->region;
  bool meets = r.size_y > 0 && r.size_x > 0 && (int64_t)r.pos_y < (int64_t)region.pos_y + region.size_y &&
               (int64_t)r.pos_y + r.size_y > region.pos_y && (int64_t)r.pos_x < (int64_t)region.pos_x + region.size_x &&
               (int64_t)r.pos_x + r.size_x > region.pos_x;
  if (!persistent && !meets) {
    delete tile;  // leaves the expired mark
    return expired_tile();
  }
  // The structures are built once the tile's first tile-part header has been read, whose
  // segments may set the tile's own coding style, quantisation and ROI shift.
  return tile;
}

// ---------------------------------------------------------------------------------------------
void kdu_codestream::start_input(kdu_compressed_source *source) {
  state = new kd_stream_state;
  state->input = new kd_compressed_input(source);
  state->marker = new kd_marker_reader(state->input);
  if (!state->marker->fetch_marker(false, false) || state->marker->get_code() != KDU_SOC) {
    kdu_error e;
    e << "Code-stream must start with an SOC marker!";
  }
  state->siz = new siz_params;
  if (!state->marker->fetch_marker(false, false) ||
      !state->siz->route_segment(state->marker->get_code(), state->marker->get_length(), state->marker->get_bytes(), -1,
                                 0)) {
    kdu_error e;
    e << "Code-stream must contain a valid SIZ marker segment, immediately after the SOC "
         "marker!";
  }
  state->build_stream_state();
}

void kdu_codestream::destroy() {
  delete state;
  state = nullptr;
}

void kdu_codestream::set_fussy(bool fussy) {
  state->fussy = fussy;
  if (state->block_owned != nullptr) state->block_owned->fussy = fussy;
}

void kdu_codestream::set_resilient(bool resilient) {
  state->resilient = resilient;
  if (state->block_owned != nullptr) state->block_owned->resilient = resilient;
}

void kdu_codestream::apply_input_restrictions(int, int max_components) {
  if (state->input == nullptr) {
    kdu_error e;
    e << "Input restrictions may be applied only to codestream objects opened for input!";
  }
  if (state->tiles_accessed) {
    if (state->num_open_tiles > 0) {
      kdu_error e;
      e << "You may apply restrictions to the resolution or number of image components only "
           "after closing all open tiles.";
    }
    if (!state->persistent) {
      kdu_error e;
      e << "You may not apply restrictions to the resolution or number of image components "
           "after the first tile access, unless the codestream object is set up to be "
           "persistent.";
    }
  }
  if (state->num_components < 1) {
    kdu_error e;
    e << "The range of apparent image components supplied to "
         "`kdu_codestream::apply_input_restrictions' is empty or illegal!";
  }
  state->first_apparent_component = 0;
  state->num_apparent_components =
      (max_components < 1) ? state->num_components : std::min(max_components, state->num_components);
  state->discard_levels = 0;
  state->max_apparent_layers = 65535;
  state->region = state->canvas;
}

void kdu_codestream::get_component_region(int comp_idx, kd_region &dims) {
  int c = comp_idx + state->first_apparent_component;
  int64_t fy = (int64_t)state->sub_sampling[(size_t)c].y << state->discard_levels;
  int64_t fx = (int64_t)state->sub_sampling[(size_t)c].x << state->discard_levels;
  const kd_region &r = state->region;
  int64_t y0 = ceil_div(r.pos_y, fy), y1 = ceil_div((int64_t)r.pos_y + r.size_y, fy);
  int64_t x0 = ceil_div(r.pos_x, fx), x1 = ceil_div((int64_t)r.pos_x + r.size_x, fx);
  dims.pos_y = (int)y0;
  dims.pos_x = (int)x0;
  dims.size_y = (int)(y1 - y0);
  dims.size_x = (int)(x1 - x0);
}

void kdu_codestream::get_tile_range(kd_region &dims) {
  const kd_region &r = state->region, &t = state->tile_partition;
  int64_t ry = (int64_t)r.pos_y - t.pos_y, rx = (int64_t)r.pos_x - t.pos_x;
  int64_t fy = floor_div(ry, t.size_y), ly = ceil_div(ry + r.size_y, t.size_y);
  int64_t fx = floor_div(rx, t.size_x), lx = ceil_div(rx + r.size_x, t.size_x);
  dims.pos_y = (int)fy;
  dims.pos_x = (int)fx;
  dims.size_y = (r.size_y > 0) ? (int)(ly - fy) : 0;
  dims.size_x = (r.size_x > 0) ? (int)(lx - fx) : 0;
}

kdu_tile_handle kdu_codestream::acquire_tile(kd_point idx) {
  state->tiles_accessed = true;
  if (idx.y < 0 || idx.x < 0 || idx.y >= state->num_tiles.y || idx.x >= state->num_tiles.x) {
    kdu_error e;
    e << "Attempting to access a tile which has already been discarded or closed!";
  }
  int t = idx.y * state->num_tiles.x + idx.x;
  kd_tile_state *tile = state->tile_refs[(size_t)t];
  if (tile == nullptr) tile = state->make_tile(t);
  if (tile == kd_stream_state::expired_tile() || tile->closed) {
    kdu_error e;
    e << "Attempting to access a tile which has already been discarded or closed!";
  }
  tile->read_first_part_header();
  tile->activate();
  return kdu_tile_handle(tile);
}

int kdu_codestream::get_num_components() { return state->num_apparent_components; }

int kdu_codestream::get_bit_depth(int comp_idx) {
  return state->precision[(size_t)(comp_idx + state->first_apparent_component)];
}

bool kdu_codestream::get_signed(int comp_idx) {
  return state->is_signed[(size_t)(comp_idx + state->first_apparent_component)];
}

void kdu_tile_handle::close() {
  if (state != nullptr) state->close();
  state = nullptr;
}
