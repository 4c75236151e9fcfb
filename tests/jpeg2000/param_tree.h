// Builds a parameter tree the way the code-stream does: SIZ at the head, then COD, QCD and RGN
// objects for every (tile, component) from -1, POC per tile, CRG for the main header.
#pragma once

#include <memory>

#include "cod_params.h"
#include "qcd_params.h"
#include "siz_params.h"

inline std::unique_ptr<siz_params> make_tree(int num_tiles, int num_comps, siz_params *existing = nullptr) {
  std::unique_ptr<siz_params> siz(existing ? existing : new siz_params);
  for (int t = -1; t < num_tiles; t++) {
    for (int c = -1; c < num_comps; c++) {
      (new cod_params)->join_tree(siz.get(), t, c);
      (new qcd_params)->join_tree(siz.get(), t, c);
      (new rgn_params)->join_tree(siz.get(), t, c);
    }
    (new poc_params)->join_tree(siz.get(), t, -1);
  }
  (new crg_params)->join_tree(siz.get(), -1, -1);
  return siz;
}

inline kdu_params *object(kdu_params *tree, const char *cluster, int tile, int comp, int inst = 0) {
  kdu_params *c = tree->access_cluster(cluster);
  return c ? c->access_relation(tile, comp, inst) : nullptr;
}
