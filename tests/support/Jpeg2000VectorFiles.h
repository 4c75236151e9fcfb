// The committed JPEG 2000 test vectors (tests/jpeg2000/data) read by name.
#ifndef RK_TESTS_JPEG2000VECTORFILES_H
#define RK_TESTS_JPEG2000VECTORFILES_H

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::string jpeg2000VectorPath(const std::string& name) {
  std::string here = __FILE__;  // tests/support/
  return here.substr(0, here.find_last_of('/')) + "/../jpeg2000/data/" + name;
}

inline std::vector<uint8_t> loadJpeg2000Vector(const std::string& name) {
  std::ifstream f(jpeg2000VectorPath(name), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

#endif
