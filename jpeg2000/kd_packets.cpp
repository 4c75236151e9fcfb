#include "kd_packets.h"

#include <cstring>

#include "kd_tile.h"
#include "kdu_codestream.h"
#include "kdu_messages.h"
#include "siz_params.h"
#include "cod_params.h"

// ---------------------------------------------------------------------------------------------
kd_pph_list::~kd_pph_list() {
  while (head != nullptr) {
    kd_pph_segment *next = head->next;
    delete head;
    head = next;
  }
}

void kd_pph_list::store_pph_marker(const kd_marker_reader &marker) {
  if (marker.get_length() < 1) {
    kdu_error e;
    e << "PPM/PPT marker segments must be at least 3 bytes long!";
  }
  int z = marker.get_bytes()[0];
  kd_pph_segment **where = &head;
  while (*where != nullptr && (*where)->z <= z) {
    if ((*where)->z == z) {
      kdu_error e;
      e << "Found multiple PPM/PPT markers with identical Zppt/Zppm indices within the same "
           "header scope (main or tile-part header)!";
    }
    where = &(*where)->next;
  }
  // The segment joins the list only once it holds its copy of the body.
  std::unique_ptr<kd_pph_segment> seg(new kd_pph_segment);
  seg->code = marker.get_code();
  seg->length = marker.get_length();
  seg->bytes.reset(new uint8_t[(size_t)seg->length]);
  std::memcpy(seg->bytes.get(), marker.get_bytes(), (size_t)seg->length);
  seg->z = z;
  seg->next = *where;
  *where = seg.release();
}

void kd_pph_list::drop_used() {
  while (head != nullptr && head->read_pos >= head->length) {
    kd_pph_segment *next = head->next;
    delete head;
    head = next;
  }
}

void kd_pph_list::transfer_pph_bytes(kd_pph_input *input) {
  int64_t count = 0x7FFFFFFF;
  if (is_ppm) {
    drop_used();
    if (head == nullptr) {
      kdu_error e;
      e << "Insufficient packet header data in PPM marker segments!";
    }
    if (head->length - head->read_pos < 4) {
      kdu_error e;
      e << "Encountered malformed PPM marker: 4-byte Nppm values may not straddle multiple PPM "
           "marker segments.  Problem is most likely due to a previously incorrect Nppm value.";
    }
    const uint8_t *p = head->bytes.get() + head->read_pos;
    count = ((int64_t)p[0] << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    head->read_pos += 4;
  }
  while (count > 0) {
    drop_used();
    if (head == nullptr) {
      if (!is_ppm) break;
      kdu_error e;
      e << "Insufficient packet header data in PPM marker segments, or else Nppm values must be "
           "incorrect!";
    }
    int n = head->length - head->read_pos;
    if (n > count) n = (int)count;
    input->append_bytes(head->bytes.get() + head->read_pos, n);
    head->read_pos += n;
    count -= n;
  }
  drop_used();
}

void kd_pph_list::skip_pph_bytes() {
  int64_t count = 0;
  for (int i = 0; i < 4; i++) {
    drop_used();
    if (head == nullptr) {
      kdu_error e;
      e << "Insufficient packet header data in PPM marker segments!";
    }
    count = (count << 8) | head->bytes[head->read_pos++];
  }
  while (count > 0) {
    drop_used();
    if (head == nullptr) {
      kdu_error e;
      e << "Insufficient packet header data in PPM marker segments, or else Nppm values must be "
           "incorrect!";
    }
    int n = head->length - head->read_pos;
    if (n > count) n = (int)count;
    head->read_pos += n;
    count -= n;
  }
}

// ---------------------------------------------------------------------------------------------
void kd_block_state::store(kd_chunk_server *server, const uint8_t *data, int count) {
  store_size += (uint32_t)kd_append_to_chunks(server, first_chunk, last_chunk, write_pos, data, count);
}

namespace {

// Decodes a tag tree down to `leaf` with the given threshold; true when the leaf's value is
// known to lie below the threshold.
bool decode_tag_tree(kd_header_in &hdr, kd_block_state *leaf, int threshold) {
  kd_block_state *path[40];
  int depth = 0;
  for (kd_block_state *n = leaf; n != nullptr && depth < 40; n = n->parent) path[depth++] = n;
  int parent_value = 0;
  for (int i = depth - 1; i >= 0; i--) {
    kd_block_state *node = path[i];
    if (node->lower_bound < parent_value) node->lower_bound = (uint16_t)parent_value;
    while (!node->known && node->lower_bound < threshold) {
      if (hdr.next_bit())
        node->known = true;
      else
        node->lower_bound++;
    }
    parent_value = node->lower_bound;
  }
  return leaf->known && leaf->lower_bound < threshold;
}

int floor_log2(int n) {
  int r = 0;
  while (n > 1) {
    n >>= 1;
    r++;
  }
  return r;
}

struct segment_record {
  int length, passes;
};

}  // namespace

// Reads the code-block headers of one packet, adding each block's body length to body_total.
bool kd_precinct_state::read_packet_header(kd_input *hdr_in, int layer, int64_t &body_total) {
  kd_header_in hdr(hdr_in);
  kd_stream_state *cs = resolution->comp->tile->codestream;
  if (hdr.next_bit() == 0) {
    for (kd_precinct_band &b : bands)
      for (kd_block_state &blk : b.blocks) blk.body_bytes = 0;
    hdr.finish();
    return true;
  }
  for (kd_precinct_band &b : bands) {
    for (size_t i = 0; i < b.blocks.size(); i++) {
      kd_block_state &blk = b.blocks[i];
      blk.body_bytes = 0;
      if (!blk.included) {
        if (!decode_tag_tree(hdr, &b.inclusion_tree[i], layer + 1)) continue;
        if (b.inclusion_tree[i].lower_bound != layer) throw kd_header_code{21};
        blk.included = true;
        int t = 1;
        while (!decode_tag_tree(hdr, &b.msbs_tree[i], t)) {
          if (++t > 255) throw kd_header_code{13};
        }
        blk.msbs = (uint8_t)b.msbs_tree[i].lower_bound;
        blk.lblock = 3;
      } else if (hdr.next_bit() == 0)
        continue;

      // Number of new coding passes.
      int new_passes;
      if (hdr.next_bit() == 0)
        new_passes = 1;
      else if (hdr.next_bit() == 0)
        new_passes = 2;
      else {
        int v = (int)hdr.get_bits(2);
        if (v < 3)
          new_passes = 3 + v;
        else {
          v = (int)hdr.get_bits(5);
          new_passes = (v < 31) ? 6 + v : 37 + (int)hdr.get_bits(7);
        }
      }
      while (hdr.next_bit()) {
        if (blk.lblock == 255) throw kd_header_code{13};
        blk.lblock++;
      }
      if (blk.passes + new_passes > 254) throw kd_header_code{13};

      segment_record segs[164];
      int num_segs = 0;
      int p = blk.passes, remaining = new_passes;
      uint32_t packet_bytes = 0;
      int modes = resolution->comp->modes;
      while (remaining > 0) {
        int capacity = remaining;
        if (modes & Cmodes_RESTART)
          capacity = 1;
        else if (modes & Cmodes_BYPASS)
          capacity = (p < 10) ? 10 - p : (((p - 10) % 3 == 0) ? 2 : 1);
        int n = (capacity < remaining) ? capacity : remaining;
        int bits = blk.lblock + floor_log2(n);
        if (bits > 32) throw kd_header_code{13};
        uint32_t len = hdr.get_bits(bits);
        if (len >= 32768 || (uint64_t)packet_bytes + len + blk.bytes_stored >= 65536) throw kd_header_code{13};
        packet_bytes += len;
        segs[num_segs++] = {(int)len, n};
        p += n;
        remaining -= n;
      }
      blk.passes = (uint8_t)p;
      blk.body_bytes = packet_bytes;
      blk.bytes_stored += packet_bytes;
      body_total += packet_bytes;
      if (!blk.not_stored) {
        uint8_t rec[2 + 3 * 164];
        int k = 0;
        rec[k++] = (uint8_t)(layer >> 8);
        rec[k++] = (uint8_t)layer;
        for (int s = 0; s < num_segs; s++) {
          int len = segs[s].length | ((s + 1 < num_segs) ? 0x8000 : 0);
          rec[k++] = (uint8_t)(len >> 8);
          rec[k++] = (uint8_t)len;
          rec[k++] = (uint8_t)segs[s].passes;
        }
        blk.store(cs->buf_server, rec, k);
      }
    }
  }
  hdr.finish();
  return true;
}

void kd_precinct_state::read_packet_body() {
  kd_stream_state *cs = resolution->comp->tile->codestream;
  uint8_t buf[512];
  for (kd_precinct_band &b : bands)
    for (kd_block_state &blk : b.blocks) {
      uint32_t left = blk.body_bytes;
      while (left > 0) {
        int want = (left > sizeof(buf)) ? (int)sizeof(buf) : (int)left;
        int got = cs->input->read_block(buf, want);
        if (got <= 0) return;  // the input ended: later blocks receive nothing
        if (!blk.not_stored) blk.store(cs->buf_server, buf, got);
        left -= (uint32_t)got;
        if (got < want) return;
      }
    }
}

// Resilient reading: searches the stream for the next SOP and holds it for the tile.  False
// when a tile-part or the stream ends first.
bool kd_precinct_state::resynchronise() {
  kd_tile_state *tile = resolution->comp->tile;
  kd_stream_state *cs = tile->codestream;
  cs->input->disable_marker_watch();
  for (;;) {
    if (!cs->marker->fetch_marker(true, true)) {
      if (cs->input->budget_exhausted())
        cs->active_tile = nullptr;
      else
        tile->end_reading();
      return false;
    }
    if (cs->marker->get_code() == KDU_SOT) {
      cs->active_tile = nullptr;
      return false;
    }
    if (cs->marker->get_code() == KDU_SOP) {
      tile->holds_sop = true;
      tile->held_sop = (cs->marker->get_bytes()[0] << 8) | cs->marker->get_bytes()[1];
      return true;
    }
  }
}

// Counts the due packet as read without data (it was lost to corruption).
bool kd_precinct_state::count_lost_packet() {
  kd_tile_state *tile = resolution->comp->tile;
  layers_read++;
  tile->packets_read++;
  if (tile->packets_read >= tile->total_packets) tile->end_reading();
  return true;
}

bool kd_precinct_state::read_next_packet() {
  kd_tile_state *tile = resolution->comp->tile;
  kd_stream_state *cs = tile->codestream;
  kd_compressed_input *in = cs->input;
  bool resilient = cs->resilient && tile->pph == nullptr;

  // Resilient reading after damage: packets that lie before the held SOP are lost, and a
  // corrupt precinct gives up the rest of its packets.
  bool sop_consumed = false;
  if (corrupt || tile->holds_sop) {
    if (!resilient) return false;
    for (;;) {
      if (!tile->holds_sop && !resynchronise()) return false;
      int ahead = (tile->held_sop - (int)(tile->packets_read & 0xFFFF)) & 0xFFFF;
      if (ahead != 0 && ahead < 0x8000) return count_lost_packet();
      tile->holds_sop = false;
      if (ahead == 0) {
        if (corrupt) return count_lost_packet();  // its data is passed over by the next search
        sop_consumed = true;
        break;
      }
    }
  }
  auto recover = [&]() {
    in->disable_marker_watch();
    corrupt = true;
    if (!resynchronise()) return false;
    return count_lost_packet();
  };

  if (tile->use_sop && !sop_consumed) {
    if (cs->marker->fetch_marker(true, false)) {
      uint16_t code = cs->marker->get_code();
      if (code == KDU_SOT) {
        cs->active_tile = nullptr;
        return false;
      }
      if (code != KDU_SOP && resilient) return recover();
      if (code != KDU_SOP) {
        kdu_error e;
        e << "Illegal marker code found while attempting to read a packet from the "
             "code-stream!\n"
          << "\tIllegal marker code is ";
        write_marker_name(code, e);
        e << ".\n"
          << "Use the resilient option if you would like to try to recover from this error.";
      }
      int seq = (cs->marker->get_bytes()[0] << 8) | cs->marker->get_bytes()[1];
      if (seq != (int)(tile->packets_read & 0xFFFF) && resilient) {
        tile->holds_sop = true;
        tile->held_sop = seq;
        return read_next_packet();
      }
      if (seq != (int)(tile->packets_read & 0xFFFF)) {
        kdu_error e;
        e << "Out-of-sequence SOP marker found while attempting to read a packet from the "
             "code-stream!\n"
          << "\tFound sequence number " << seq << ", but expected " << (int)(tile->packets_read & 0xFFFF) << ".\n"
          << "Use the resilient option if you would like to try to recover from this error.";
      }
    }
  }
  kd_input *hdr_in = (tile->pph != nullptr) ? (kd_input *)tile->pph : (kd_input *)in;
  bool packed = (tile->pph != nullptr);
  uint8_t probe;
  if (!hdr_in->get_byte(probe)) {
    if (packed || in->budget_exhausted()) {  // the tile-part ended
      cs->active_tile = nullptr;
      return false;
    }
    tile->end_reading();
    return false;
  }
  hdr_in->putback(probe);

  int layer = layers_read;
  int64_t body_total = 0;
  try {
    if (cs->fussy)
      hdr_in->enable_marker_watch(true);
    else if (cs->resilient)
      hdr_in->enable_marker_watch(false);
    read_packet_header(hdr_in, layer, body_total);
    hdr_in->disable_marker_watch();
    if (tile->use_eph) {
      uint8_t a, b;
      if (!hdr_in->get_byte(a) || !hdr_in->get_byte(b)) {
        if (packed) {
          kdu_error e;
          e << "Exhausted PPM/PPT marker segment data while attempting to parse a packet header!";
        }
        tile->end_reading();
        return false;
      }
      if ((a != 0xFF || b != 0x92) && resilient) return recover();
      if (a != 0xFF || b != 0x92) {
        kdu_error e;
        e << "Expected to find EPH marker following packet header.  "
          << "Found ";
        write_marker_name((uint16_t)((a << 8) | b), e);
        e << " instead.";
      }
    }
  } catch (kd_header_exhausted &) {
    hdr_in->disable_marker_watch();
    if (packed) {
      kdu_error e;
      e << "Exhausted PPM/PPT marker segment data while attempting to parse a packet header!";
    }
    if (in->budget_exhausted()) {
      cs->active_tile = nullptr;
      return false;
    }
    tile->end_reading();
    return false;
  } catch (kd_header_code &c) {
    hdr_in->disable_marker_watch();
    if (resilient) return recover();
    if (c.code == 13) {
      kdu_error e;
      e << "Packet header contains a representation which is not strictly illegal, but "
           "unreasonably large so that it exceeds the dynamic range available for our internal "
           "representation!  The problem is most likely due to a corrupt or incorrectly "
           "constructed code-stream.";
    } else {
      kdu_error e;
      e << "Illegal inclusion tag tree encountered while decoding a packet header.  This "
           "problem can arise if empty packets are used (i.e., packets whose first header bit is "
           "0) and the value coded by the inclusion tag tree in a subsequent packet is not "
           "exactly equal to the index of the quality layer in which each code-block makes its "
           "first contribution.  Such an error may arise from a mis-interpretation of the "
           "standard.  The problem may also occur as a result of a corrupted code-stream.";
    }
  } catch (kd_marker_exception &m) {
    hdr_in->disable_marker_watch();
    if (resilient) return recover();
    kdu_error e;
    e << "Illegal marker code, ";
    write_marker_name(m.code, e);
    e << ", found while reading packet header.";
  }

  if (body_total > 0) {
    try {
      if (cs->fussy)
        in->enable_marker_watch(true);
      else if (cs->resilient)
        in->enable_marker_watch(false);
      read_packet_body();
      bool ended_ff = in->last_byte_was_ff();
      in->disable_marker_watch();
      if (ended_ff && resilient) {
        in->putback((uint8_t)0xFF);
        return recover();
      }
      if (ended_ff) {
        kdu_error e;
        e << "Packet body terminated with an FF!";
      }
    } catch (kd_marker_exception &m) {
      in->disable_marker_watch();
      if (resilient) return recover();
      kdu_error e;
      e << "Illegal marker code, ";
      write_marker_name(m.code, e);
      e << ", found while reading packet body.";
    }
  }
  layers_read++;
  tile->packets_read++;
  if (tile->packets_read >= tile->total_packets) tile->end_reading();
  return true;
}
