// Test helper: a code-stream's main header read into a parameter tree and written back from it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "cod_params.h"
#include "qcd_params.h"
#include "siz_params.h"

// Byte sink that collects everything written into one vector.
class vector_sink : public kd_byte_writer {
 public:
  void flush_buffer() override {
    bytes.insert(bytes.end(), buffer, next);
    next = buffer;
    flushes++;
  }
  std::vector<uint8_t> take() {
    flush_buffer();
    return bytes;
  }
  std::vector<uint8_t> bytes;
  int flushes = 0;
};

struct j2k_segment {
  uint16_t code;
  std::vector<uint8_t> body;
};

// The segments of a code-stream's main header; `rest` is where the first tile-part starts.
inline std::vector<j2k_segment> main_header(const std::vector<uint8_t> &cs, size_t &rest) {
  std::vector<j2k_segment> out;
  size_t p = 2;
  while (p + 4 <= cs.size()) {
    uint16_t code = (uint16_t)((cs[p] << 8) | cs[p + 1]);
    if (code == KDU_SOT) break;
    size_t len = (size_t)((cs[p + 2] << 8) | cs[p + 3]);
    if (len < 2 || p + 2 + len > cs.size()) break;
    out.push_back({code, std::vector<uint8_t>(cs.begin() + (long)p + 4, cs.begin() + (long)(p + 2 + len))});
    p += 2 + len;
  }
  rest = p;
  return out;
}

// Reads the main header into a tree (SIZ, then COD, QCD and RGN per component, POC, CRG) and
// writes it back: main-header objects first, component objects against them as reference.
// Comments are dropped; the tile-parts follow unchanged.  Empty when the header is unreadable.
inline std::vector<uint8_t> rewrite_header(const std::vector<uint8_t> &cs) {
  size_t rest;
  std::vector<j2k_segment> segs = main_header(cs, rest);
  if (segs.empty() || segs[0].code != KDU_SIZ) return {};
  std::unique_ptr<siz_params> siz(new siz_params);
  siz->read_segment(segs[0].code, (int)segs[0].body.size(), segs[0].body.data(), 0);
  int num = 0;
  siz->get_value("Scomponents", 0, 0, num);
  for (int c = -1; c < num; c++) {
    (new cod_params)->join_tree(siz.get(), -1, c);
    (new qcd_params)->join_tree(siz.get(), -1, c);
    (new rgn_params)->join_tree(siz.get(), -1, c);
  }
  (new poc_params)->join_tree(siz.get(), -1, -1);
  (new crg_params)->join_tree(siz.get(), -1, -1);
  for (size_t i = 1; i < segs.size(); i++)
    if (segs[i].code != KDU_COM &&
        !siz->route_segment(segs[i].code, (int)segs[i].body.size(), segs[i].body.data(), -1, 0))
      return {};

  vector_sink sink;
  siz->write_segment(&sink, nullptr, 0);
  for (const char *cluster : {"COD", "QCD", "RGN"}) {
    kdu_params *head = siz->access_cluster(cluster)->access_relation(-1, -1);
    head->write_segment(&sink, nullptr, 0);
    for (int c = 0; c < num; c++) head->access_relation(-1, c)->write_segment(&sink, head, 0);
  }
  siz->access_cluster("POC")->access_relation(-1, -1)->write_segment(&sink, nullptr, 0);
  siz->access_cluster("CRG")->access_relation(-1, -1)->write_segment(&sink, nullptr, 0);
  std::vector<uint8_t> out = {0xFF, 0x4F};
  std::vector<uint8_t> header = sink.take();
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), cs.begin() + (long)rest, cs.end());
  return out;
}
