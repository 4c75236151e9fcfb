// Code-streams made by the OpenJPEG encoder at test time, taken apart into the main header and
// the tile-parts with their header segments and packet data, and put together again, so that
// tests can build streams the encoder cannot write as they are. The tools' decode and the
// decoders' own decode are returned as R,G,B bytes (grey expanded) for comparison.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "HostPrograms.h"
#include "RKJP2Decoder2.h"
#include "TempFolder.h"

namespace j2kparts {

// The picture: `comps` 8-bit components, component-interleaved.
inline std::vector<uint8_t> picture(int w, int h, int comps = 3) {
  std::vector<uint8_t> p;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      for (int c = 0; c < comps; c++) p.push_back((uint8_t)((x * 7 + y * 3 + c * 50 + ((x * y) % 13)) & 255));
  return p;
}

// Grey samples as R,G,B bytes, as the decoders deliver them.
inline std::vector<uint8_t> greyAsRgb(const std::vector<uint8_t>& grey) {
  std::vector<uint8_t> rgb;
  for (uint8_t v : grey) rgb.insert(rgb.end(), {v, v, v});
  return rgb;
}

inline std::vector<uint8_t> readAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void writeAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
}

// A binary PGM (1 component) or PPM (3) of 8-bit samples.
inline void writePnm(const std::string& path, int w, int h, int comps, const std::vector<uint8_t>& px) {
  std::ofstream f(path, std::ios::binary);
  f << (comps == 1 ? "P5\n" : "P6\n") << w << " " << h << "\n255\n";
  f.write(reinterpret_cast<const char*>(px.data()), (std::streamsize)px.size());
}

// The samples of a binary PGM/PPM as the decoder tool writes it (8-bit only); empty when the
// header does not end.
inline std::vector<uint8_t> pnmSamples(const std::vector<uint8_t>& b) {
  size_t pos = 0;
  for (int fields = 0; pos < b.size() && fields < 4;) {
    while (pos < b.size() && isspace(b[pos])) pos++;
    if (pos < b.size() && b[pos] == '#') {
      while (pos < b.size() && b[pos] != '\n') pos++;
      continue;
    }
    while (pos < b.size() && !isspace(b[pos])) pos++;
    fields++;
  }
  pos++;
  if (pos > b.size()) return {};
  return std::vector<uint8_t>(b.begin() + (long)pos, b.end());
}

inline bool haveTools() { return haveProgram({"opj_compress", "opj_decompress"}); }

// The picture encoded with the given options; empty when the encoder fails.
inline std::vector<uint8_t> encode(const std::string& options, int w, int h, int comps = 3) {
  rktest::TempFolder dir("rkj2parts");
  std::string in = dir / (comps == 1 ? "in.pgm" : "in.ppm");
  writePnm(in, w, h, comps, picture(w, h, comps));
  std::string cmd = "opj_compress -i " + in + " -o " + (dir / "out.j2k") + " " + options + " > /dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return {};
  return readAll(dir / "out.j2k");
}

// The tools' decode of a stream with 1 or 3 components as R,G,B bytes; empty when they fail.
inline std::vector<uint8_t> referenceDecode(const std::vector<uint8_t>& stream, int comps = 3) {
  rktest::TempFolder dir("rkj2parts");
  writeAll(dir / "in.j2k", stream);
  std::string out = dir / (comps == 1 ? "out.pgm" : "out.ppm");
  std::string cmd = "opj_decompress -i " + (dir / "in.j2k") + " -o " + out + " > /dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return {};
  std::vector<uint8_t> samples = pnmSamples(readAll(out));
  return comps == 1 ? greyAsRgb(samples) : samples;
}

// Our decode as R,G,B bytes; empty when it fails.
inline std::vector<uint8_t> decode(const std::vector<uint8_t>& stream) {
  RKSDK::RKJPCDecoder2 d;
  if (d.openMemory(stream.data(), (int)stream.size()) != 1) return {};
  RKSDK::RKBuffer* b = d.getBuffer();
  if (!b) return {};
  std::vector<uint8_t> out(b->getData(0), b->getData(0) + (size_t)d.getWidth() * d.getHeight() * 3);
  b->release();
  return out;
}

// The largest sample difference; 1000 when the sizes differ or either is empty.
inline int worstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 1000;
  int worst = 0;
  for (size_t i = 0; i < a.size(); i++) worst = std::max(worst, std::abs((int)a[i] - (int)b[i]));
  return worst;
}

// A code-stream taken apart: the main header, and each tile-part with its header's marker
// segments and its packet data.
struct Segment {
  unsigned code;
  std::vector<uint8_t> body;
};
struct TilePart {
  int tile = 0, part = 0, parts = 0;
  std::vector<Segment> header;
  std::vector<uint8_t> data;
};
struct CodeStream {
  std::vector<uint8_t> main;  // SOC to the first SOT
  std::vector<TilePart> parts;
};

inline unsigned be16(const std::vector<uint8_t>& s, size_t at) { return (unsigned)(s[at] << 8 | s[at + 1]); }

inline CodeStream split(const std::vector<uint8_t>& s) {
  CodeStream cs;
  size_t p = 2;
  while (p + 4 <= s.size() && be16(s, p) != 0xFF90) p += 2 + be16(s, p + 2);
  cs.main.assign(s.begin(), s.begin() + (long)p);
  while (p + 12 <= s.size() && be16(s, p) == 0xFF90) {
    TilePart t;
    size_t start = p;
    t.tile = (int)be16(s, p + 4);
    uint32_t psot = (uint32_t)be16(s, p + 6) << 16 | be16(s, p + 8);
    t.part = s[p + 10];
    t.parts = s[p + 11];
    p += 12;
    while (p + 4 <= s.size() && be16(s, p) != 0xFF93) {
      size_t len = be16(s, p + 2);
      t.header.push_back({be16(s, p), std::vector<uint8_t>(s.begin() + (long)p + 4, s.begin() + (long)(p + 2 + len))});
      p += 2 + len;
    }
    p += 2;
    size_t end = psot != 0 ? start + psot : s.size() - 2;
    t.data.assign(s.begin() + (long)p, s.begin() + (long)end);
    p = end;
    cs.parts.push_back(t);
  }
  return cs;
}

inline void put16(std::vector<uint8_t>& out, unsigned v) {
  out.push_back((uint8_t)(v >> 8));
  out.push_back((uint8_t)v);
}

inline void putSegment(std::vector<uint8_t>& out, const Segment& g) {
  put16(out, g.code);
  put16(out, (unsigned)g.body.size() + 2);
  out.insert(out.end(), g.body.begin(), g.body.end());
}

inline std::vector<uint8_t> join(const CodeStream& cs) {
  std::vector<uint8_t> out = cs.main;
  for (const TilePart& t : cs.parts) {
    std::vector<uint8_t> header;
    for (const Segment& g : t.header) putSegment(header, g);
    uint32_t psot = (uint32_t)(12 + header.size() + 2 + t.data.size());
    put16(out, 0xFF90);
    put16(out, 10);
    put16(out, (unsigned)t.tile);
    put16(out, psot >> 16);
    put16(out, psot & 0xFFFF);
    out.push_back((uint8_t)t.part);
    out.push_back((uint8_t)t.parts);
    out.insert(out.end(), header.begin(), header.end());
    put16(out, 0xFF93);
    out.insert(out.end(), t.data.begin(), t.data.end());
  }
  put16(out, 0xFFD9);
  return out;
}

// The segments of the main header after SOC, and the main header made of SOC and segments.
inline std::vector<Segment> mainSegments(const CodeStream& cs) {
  std::vector<Segment> out;
  for (size_t p = 2; p + 4 <= cs.main.size(); p += 2 + be16(cs.main, p + 2))
    out.push_back({be16(cs.main, p), std::vector<uint8_t>(cs.main.begin() + (long)p + 4,
                                                          cs.main.begin() + (long)(p + 2 + be16(cs.main, p + 2)))});
  return out;
}

inline void setMainSegments(CodeStream& cs, const std::vector<Segment>& segments) {
  cs.main = {0xFF, 0x4F};
  for (const Segment& g : segments) putSegment(cs.main, g);
}

// The main header's first segment with the given code (an empty body when there is none).
inline Segment mainSegment(const CodeStream& cs, unsigned code) {
  for (const Segment& g : mainSegments(cs))
    if (g.code == code) return g;
  ADD_FAILURE() << "no main-header segment " << std::hex << code;
  return {code, {}};
}

// The tile-part of a tile with the given index.
inline TilePart& partOf(CodeStream& cs, int tile, int part) {
  for (TilePart& t : cs.parts)
    if (t.tile == tile && t.part == part) return t;
  static TilePart none;
  ADD_FAILURE() << "no tile-part " << part << " of tile " << tile;
  return none;
}

}  // namespace j2kparts

#define REQUIRE_TOOLS()                                     \
  if (!j2kparts::haveTools()) {                             \
    GTEST_SKIP() << "the OpenJPEG tools are not available"; \
  }
