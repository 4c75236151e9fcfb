// Release of precincts: a precinct is destroyed exactly once, when the last of its code-blocks
// is closed and all its layers have been read, whatever the progression order of the packets and
// the order in which the code-blocks are opened and closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "codestream_support.h"
#include "opj_streams.h"

namespace {

struct open_block {
  kd_subband_state *band;
  kd_point idx;
};

enum block_order { RASTER, REVERSED, SHUFFLED };

// What the test knows of one precinct table entry, found independently of the decoder's own
// bookkeeping: the precinct whose block range holds a block is looked up in the whole table.
struct precinct_slot {
  kd_precinct_state *precinct = nullptr;
  int blocks = 0, closed = 0;
  bool released = false;
};

struct release_counts {
  int precincts_seen = 0, released = 0, kept_incomplete = 0;
};

// The table entry of the live precinct of `res` whose blocks in band `b` include block `idx`.
size_t find_slot(kd_resolution_state &res, size_t b, kd_point idx) {
  const kd_subband_state &band = res.bands[b];
  int gy = band.first_block.y + idx.y, gx = band.first_block.x + idx.x;
  for (size_t k = 0; k < res.precincts.size(); k++) {
    kd_precinct_state *p = res.precincts[k];
    if (p == nullptr || p == kd_resolution_state::expired()) continue;
    const kd_precinct_band &pb = p->bands[b];
    if (gy >= pb.first_block.y && gy < pb.first_block.y + pb.num_blocks.y && gx >= pb.first_block.x &&
        gx < pb.first_block.x + pb.num_blocks.x)
      return k;
  }
  return res.precincts.size();
}

// Opens and closes every code-block of every tile in the given order and checks each precinct
// table entry after every close, counting over the stream.
void check_release(const std::vector<uint8_t> &bytes, block_order order, const std::string &what,
                   release_counts &counts) {
  memory_source src(bytes);
  kdu_codestream cs;
  codestream_guard guard{cs};
  cs.start_input(&src);
  cs.set_fussy(true);
  kd_stream_state *st = cs.get_state();
  kd_region range;
  cs.get_tile_range(range);
  std::mt19937 shuffle_seed(17);
  for (int ty = 0; ty < range.size_y; ty++)
    for (int tx = 0; tx < range.size_x; tx++) {
      kdu_tile_handle tile = cs.acquire_tile({range.pos_y + ty, range.pos_x + tx});
      kd_tile_state *ts = tile.get_state();
      std::vector<open_block> blocks;
      for (kd_tile_comp_state &tc : ts->comps)
        for (kd_resolution_state &res : tc.resolutions)
          for (kd_subband_state &band : res.bands)
            for (int by = 0; by < band.num_blocks.y; by++)
              for (int bx = 0; bx < band.num_blocks.x; bx++) blocks.push_back({&band, {by, bx}});
      if (order == REVERSED) std::reverse(blocks.begin(), blocks.end());
      if (order == SHUFFLED) std::shuffle(blocks.begin(), blocks.end(), shuffle_seed);

      std::map<std::pair<kd_resolution_state *, size_t>, precinct_slot> slots;
      for (const open_block &ob : blocks) {
        kd_resolution_state &res = *ob.band->resolution;
        size_t b = (size_t)(ob.band - res.bands.data());
        kd_working_block *blk = ob.band->begin_block(ob.idx);
        size_t k = find_slot(res, b, ob.idx);
        ASSERT_LT(k, res.precincts.size()) << what << ": an open block without a live precinct";
        precinct_slot &slot = slots[{&res, k}];
        kd_precinct_state *p = res.precincts[k];
        if (slot.precinct == nullptr) {
          slot.precinct = p;
          for (const kd_precinct_band &pb : p->bands) slot.blocks += pb.num_blocks.y * pb.num_blocks.x;
          counts.precincts_seen++;
        }
        ASSERT_EQ(slot.precinct, p) << what << ": a precinct was made twice";
        ASSERT_FALSE(slot.released) << what;
        bool complete = p->layers_read >= ts->num_layers;
        ob.band->end_block(blk);
        slot.closed++;
        if (slot.closed == slot.blocks && complete) {
          EXPECT_EQ(res.precincts[k], kd_resolution_state::expired()) << what << ": not released after its last block";
          slot.released = true;
          counts.released++;
        } else
          EXPECT_EQ(res.precincts[k], p) << what << ": released before its last block and layer";
      }
      // Nothing else went: every other entry that was seen still holds its precinct.
      for (auto &entry : slots) {
        const precinct_slot &slot = entry.second;
        kd_precinct_state *now = entry.first.first->precincts[entry.first.second];
        EXPECT_EQ(now == kd_resolution_state::expired(), slot.released) << what;
        if (!slot.released && now == slot.precinct) {
          EXPECT_LT(slot.precinct->layers_read, ts->num_layers) << what;
          counts.kept_incomplete++;
        }
      }
      tile.close();
    }
  // Every chunk of compressed data went back with its block or precinct.
  EXPECT_EQ(st->buf_server->get_handed_out(), 0) << what;
}

}  // namespace

TEST(PrecinctRelease, EachPrecinctGoesWithItsLastBlockInEveryOrder) {
  const char *orders[] = {"LRCP", "RLCP", "RPCL", "PCRL", "CPRL"};
  // Several code-blocks per precinct and band, and precincts of a single 1 x 1 code-block.
  const char *layouts[] = {"-n 3 -c [16,16],[8,8] -b 4,4", "-n 3 -c [4,4]", "-n 2 -t 16,16 -c [4,4] -d 3,5 -T 1,2"};
  for (const char *layout : layouts)
    for (const char *po : orders) {
      std::string options = std::string(layout) + " -r 40,20,10 -p " + po;
      auto s = opj_encode(options, 37, 23, 3);
      REQUIRE_OPJ(s);
      for (block_order order : {RASTER, REVERSED, SHUFFLED}) {
        std::string what = options + " order " + std::to_string((int)order);
        release_counts counts;
        EXPECT_EQ(error_text([&] { check_release(s, order, what, counts); }), "") << what;
        EXPECT_GT(counts.precincts_seen, 10) << what;
        EXPECT_EQ(counts.released, counts.precincts_seen) << what;
        EXPECT_EQ(counts.kept_incomplete, 0) << what;
      }
    }
}

TEST(PrecinctRelease, PrecinctsMissingLayersStayUntilTheTileGoes) {
  // The stream ends within the last of three layers (its packets are about as long as the
  // others): the precincts whose last packet never came are kept when their blocks close, and go
  // with the tile.
  auto s = opj_encode("-n 3 -c [8,8] -b 4,4 -r 40,20,10 -p LRCP", 37, 23, 3);
  REQUIRE_OPJ(s);
  decoded_stream whole;
  ASSERT_EQ(error_text([&] { decode_all_blocks(s, whole); }), "");
  ASSERT_EQ(whole.packets, whole.expected_packets);
  std::vector<uint8_t> cut(s.begin(), s.begin() + (long)(s.size() * 9 / 10));
  for (block_order order : {RASTER, REVERSED, SHUFFLED}) {
    release_counts counts;
    EXPECT_EQ(error_text([&] { check_release(cut, order, "cut", counts); }), "");
    EXPECT_GT(counts.kept_incomplete, 0);
    EXPECT_GT(counts.released, 0);
    EXPECT_EQ(counts.released + counts.kept_incomplete, counts.precincts_seen);
  }
}

// A legal 256 x 256 grey stream whose precincts, and so code-blocks, are 1 x 1 (2 x 2 with one
// DWT level) and whose only tile-part holds no packet data: every block decodes empty.
TEST(PrecinctRelease, TinyPrecinctsWithoutPacketData) {
  for (int levels : {0, 1}) {
    int pp = levels;  // precinct exponent: 1 x 1 without levels, else 2 x 2
    byte_builder b;
    b.u16(0xFF4F);
    b.u16(0xFF51).u16(41).u16(0).u32(256).u32(256).u32(0).u32(0).u32(256).u32(256).u32(0).u32(0).u16(1);
    b.u8(7).u8(1).u8(1);
    b.u16(0xFF52).u16((unsigned)(13 + levels)).u8(1).u8(0).u16(1).u8(0).u8((unsigned)levels).u8(4).u8(4).u8(0).u8(1);
    for (int r = 0; r <= levels; r++) b.u8((unsigned)(pp * 16 + pp));
    b.u16(0xFF5C).u16((unsigned)(4 + 3 * levels)).u8(0x40);
    for (int k = 0; k < 1 + 3 * levels; k++) b.u8(9 << 3);
    b.u16(0xFF90).u16(10).u16(0).u32(14).u8(0).u8(1);
    b.u16(0xFF93);
    b.u16(0xFFD9);
    EXPECT_EQ(b.size(), 82 + 4 * levels);
    decoded_stream d;
    EXPECT_EQ(error_text([&] { decode_all_blocks(b.bytes, d); }), "") << levels;
    EXPECT_EQ(d.blocks, levels == 0 ? 256 * 256 : 64 * 64 + 3 * 128 * 128) << levels;
    EXPECT_EQ(d.coded_blocks, 0) << levels;
    EXPECT_EQ(d.packets, 0) << levels;
  }
}
