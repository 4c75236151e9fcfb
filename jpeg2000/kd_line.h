// One line of samples handed between the nodes of a tile-component's synthesis tree, and the
// base of those nodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reversible lines hold exact integers; irreversible lines hold floats in the nominal range
// -0.5..0.5.
struct kd_line {
  int width = 0;
  bool reversible = true;
  std::vector<int32_t> ints;
  std::vector<float> floats;

  void create(int w, bool rev) {
    width = w;
    reversible = rev;
    if (rev)
      ints.assign((size_t)w, 0);
    else
      floats.assign((size_t)w, 0.0f);
  }
  // Like create, but leaves the samples unset: for a producer that writes them all next.
  void reshape(int w, bool rev) {
    width = w;
    reversible = rev;
    if (rev)
      ints.resize((size_t)w);
    else
      floats.resize((size_t)w);
  }
};

class kdu_pull_ifc_base {
 public:
  virtual ~kdu_pull_ifc_base() = default;
  // Fills `line` (sized by the node) with the node's next line.
  virtual void produce_line(kd_line &line, bool may_exchange) = 0;
};
