// Shared helpers of the JPEG 2000 decoder tests: capture of error texts, byte builders.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "HostPrograms.h"
#include "kdu_messages.h"

// Folds all runs of white space into one space and trims the ends.
inline std::string folded(const std::string &text) {
  std::string out;
  bool space = false;
  for (char c : text) {
    if (c == ' ' || c == '\n' || c == '\t')
      space = true;
    else {
      if (space && !out.empty()) out += ' ';
      space = false;
      out += c;
    }
  }
  return out;
}

// Runs `fn` with a throwing error handler and a text sink installed; returns the error's text
// with the heading removed and all runs of white space folded into one space, or "" when no
// error was raised.
inline std::string error_text(const std::function<void()> &fn) {
  std::ostringstream sink;
  kdu_customize_errors(&sink, nullptr);
  kdu_install_exception_handler();
  bool raised = false;
  try {
    fn();
  } catch (kdu_exception &) {
    raised = true;
  }
  kdu_customize_errors(nullptr, nullptr);
  kdu_install_exception_handler();
  if (!raised) return "";
  std::string text = sink.str();
  const std::string heading = "Zizeve Error:";
  if (text.compare(0, heading.size(), heading) == 0) text = text.substr(heading.size());
  std::string out = folded(text);
  return out.empty() ? std::string("(empty)") : out;
}

struct byte_builder {
  std::vector<uint8_t> bytes;
  byte_builder &u8(unsigned v) {
    bytes.push_back((uint8_t)v);
    return *this;
  }
  byte_builder &u16(unsigned v) { return u8(v >> 8).u8(v); }
  byte_builder &u32(uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
  byte_builder &tag(const char *t) { return u8(t[0]).u8(t[1]).u8(t[2]).u8(t[3]); }
  byte_builder &append(const std::vector<uint8_t> &more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
  }
  int size() const { return (int)bytes.size(); }
  const uint8_t *data() const { return bytes.data(); }
};

// Path of a fresh temporary folder for test files.
inline std::string temp_folder() {
  char pattern[] = "/tmp/rkj2k_test_XXXXXX";
  const char *dir = mkdtemp(pattern);
  return dir ? std::string(dir) : std::string("/tmp");
}

inline bool have_tool(const char *name) { return haveProgram(name); }
