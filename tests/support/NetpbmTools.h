// Test helper: a temporary folder in which the netpbm tools write reference files.
#ifndef RK_TESTS_NETPBM_TOOLS_H
#define RK_TESTS_NETPBM_TOOLS_H

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "HostPrograms.h"
#include "TempFolder.h"

class NetpbmFolder {
 public:
  // True when the tools the tests call are installed.
  static bool available() {
    return haveProgram({"pnmtoplainpnm", "pnmtorast", "pnmdepth", "rasttopnm", "ppmtopgm", "pgmtopbm"});
  }

  NetpbmFolder() : m_folder("rknetpbm") {}

  const std::string& path() const { return m_folder.path(); }

  void write(const std::string& name, const std::string& data) const {
    std::ofstream(path() + "/" + name, std::ios::binary) << data;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path() + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Runs a shell command in the folder (tool messages suppressed); true when it succeeded.
  bool run(const std::string& cmd) const {
    return std::system(("cd '" + path() + "' && (" + cmd + ") 2>/dev/null").c_str()) == 0;
  }

  // A 20 x 15 pixmap of distinct colours (more than 256, so that Sun raster files stay 24-bit).
  static std::string colourfulPixmap() {
    std::string ppm = "P6\n20 15\n255\n";
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 20; ++x) {
        ppm.push_back(static_cast<char>(x * 12 + 7));
        ppm.push_back(static_cast<char>(y * 17 + 3));
        ppm.push_back(static_cast<char>((x * 31 + y * 57) & 0xFF));
      }
    return ppm;
  }

  // The samples of a plain file as netpbm writes it (no comments), interleaved by pixel;
  // bitmap samples come out as 1 for white and 0 for black.
  struct Plain {
    std::string magic;
    int width = 0, height = 0, channels = 0;
    long maxval = 1;
    std::vector<long> samples;
  };
  static Plain parsePlain(const std::string& text) {
    Plain p;
    std::istringstream in(text);
    in >> p.magic >> p.width >> p.height;
    if (p.magic != "P1") in >> p.maxval;
    p.channels = p.magic == "P3" ? 3 : 1;
    if (p.magic == "P1") {
      char c;
      while (in >> c) p.samples.push_back(c == '0' ? 1 : 0);
    } else {
      long v;
      while (in >> v) p.samples.push_back(v);
    }
    return p;
  }

 private:
  rktest::TempFolder m_folder;  // removed with everything in it, without a shell
};

#endif
