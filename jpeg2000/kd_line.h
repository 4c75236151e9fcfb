// One line of samples handed between the nodes of a tile-component's synthesis tree, the pool
// that holds the storage of all lines of a tile, and the base of the nodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Sample forms: 16-bit integers (reversible) or fixed point with 13 fraction bits
// (irreversible, nominal range -4096..4096); 32-bit integers (reversible) or floats
// (irreversible, nominal range -0.5..0.5). A line's storage has room for two samples before
// its first and after its last, used by the horizontal transform's edge extension.
struct kd_line {
  int width = 0;
  bool reversible = true;
  bool use_16 = false;
  void *samples = nullptr;

  int16_t *s16() const { return static_cast<int16_t *>(samples); }
  int32_t *s32() const { return static_cast<int32_t *>(samples); }
  float *f32() const { return static_cast<float *>(samples); }
  size_t sample_bytes() const { return use_16 ? 2 : 4; }
  // A line over another line's storage, starting `offset` samples in.
  kd_line view(int offset, int w) const {
    kd_line l = *this;
    l.width = w;
    l.samples = static_cast<char *>(samples) + (size_t)offset * sample_bytes();
    return l;
  }
};

// Hands out the line storage of one tile from a single block: lines are reserved while the
// nodes are built, then `create` allocates the block (only when it is too small for what was
// reserved; a pool is reused from tile to tile) and points every reserved line into it.
class kd_line_pool {
 public:
  void reserve(kd_line &line, int width, bool reversible, bool use_16) {
    line.width = width;
    line.reversible = reversible;
    line.use_16 = use_16;
    line.samples = nullptr;
    size_t bytes = ((size_t)(width > 0 ? width : 0) + 4) * (use_16 ? 2 : 4);
    bytes = (bytes + 15) & ~(size_t)15;
    pending.push_back({&line, reserved + (use_16 ? 4 : 8)});
    reserved += bytes;
  }
  void create() {
    if (reserved > block_size) {
      block.reset();
      block.reset(new uint64_t[(reserved + 7) / 8]);
      block_size = reserved;
      allocations++;
    }
    char *base = reinterpret_cast<char *>(block.get());
    for (const entry &e : pending) e.line->samples = base + e.offset;
    pending.clear();
  }
  // Forgets the reservations (the block stays for the next tile).
  void restart() {
    pending.clear();
    reserved = 0;
  }
  size_t get_block_size() const { return block_size; }
  int get_allocations() const { return allocations; }

 private:
  struct entry {
    kd_line *line;
    size_t offset;
  };
  std::vector<entry> pending;
  size_t reserved = 0, block_size = 0;
  int allocations = 0;
  std::unique_ptr<uint64_t[]> block;
};

class kdu_pull_ifc_base {
 public:
  virtual ~kdu_pull_ifc_base() = default;
  // Fills `line` (of the width and form the node produces) with the node's next line.
  virtual void produce_line(kd_line &line, bool may_exchange) = 0;
};
