// Code-streams made with the OpenJPEG command-line encoder at test time.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "j2k_test_support.h"

// Writes a w x h PGM (1 component) or PPM (3 components) test picture with 8-bit samples.
inline void write_pnm(const std::string &path, int w, int h, int comps) {
  std::ofstream f(path, std::ios::binary);
  f << (comps == 1 ? "P5\n" : "P6\n") << w << " " << h << "\n255\n";
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      for (int c = 0; c < comps; c++) f.put((char)((x * 7 + y * 3 + c * 50 + ((x * y) % 13)) & 255));
}

inline std::vector<uint8_t> read_file(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Encodes a w x h picture with the given encoder options; empty when the encoder is missing or
// fails.  `ext` selects the output form ("j2k" or "jp2").
inline std::vector<uint8_t> opj_encode(const std::string &options, int w = 33, int h = 17, int comps = 3,
                                       const char *ext = "j2k") {
  if (!have_tool("opj_compress")) return {};
  std::string dir = temp_folder();
  std::string in = dir + (comps == 1 ? "/in.pgm" : "/in.ppm");
  std::string out = dir + "/out." + ext;
  write_pnm(in, w, h, comps);
  std::string cmd = "opj_compress -i " + in + " -o " + out + " " + options + " > /dev/null 2>&1";
  std::vector<uint8_t> bytes;
  if (std::system(cmd.c_str()) == 0) bytes = read_file(out);
  std::remove(in.c_str());
  std::remove(out.c_str());
  std::remove(dir.c_str());
  return bytes;
}

// Skips when the encoder is missing; an encoder that refuses its options is a test fault.
#define REQUIRE_OPJ(bytes)                                                       \
  if ((bytes).empty()) {                                                         \
    if (have_tool("opj_compress")) FAIL() << "opj_compress refused the options"; \
    GTEST_SKIP() << "opj_compress is not available";                             \
  }

// Encodes raw component planes (`format` as the encoder's -F option, e.g. "32,24,3,8,u@1x1:2x2:2x2").
inline std::vector<uint8_t> opj_encode_raw(const std::string &format, const std::vector<uint8_t> &planes,
                                           const std::string &options) {
  if (!have_tool("opj_compress")) return {};
  std::string dir = temp_folder();
  std::string in = dir + "/in.raw", out = dir + "/out.j2k";
  {
    std::ofstream f(in, std::ios::binary);
    f.write((const char *)planes.data(), (std::streamsize)planes.size());
  }
  std::string cmd = "opj_compress -i " + in + " -o " + out + " -F " + format + " " + options + " > /dev/null 2>&1";
  std::vector<uint8_t> bytes;
  if (std::system(cmd.c_str()) == 0) bytes = read_file(out);
  std::remove(in.c_str());
  std::remove(out.c_str());
  std::remove(dir.c_str());
  return bytes;
}
