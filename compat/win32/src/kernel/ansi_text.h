// Text in the ANSI code page, read character by character. In a double-byte code page the
// second byte of a character can be any byte from 0x40 up (GBK 誠 is D5 5C, its second byte
// that of '\'), so a search for an ASCII byte (a separator, a quote, a bracket) steps over
// whole characters and never takes a second byte for one. A lead byte pairs only with a byte
// that the code page takes as a second byte: before any other byte (a quote, a byte below 0x40)
// or at the end it stands alone, as the code page's conversion reads it. In UTF-8 (65001) a
// well-formed sequence is one character and any other byte stands alone; single-byte code pages
// step byte by byte. The active code page is looked up only once a byte of 0x80 or more is met,
// so ASCII text costs no lookup. Internal to the stand-in; the text must outlive the object.
#ifndef RKWIN_ANSI_TEXT_H
#define RKWIN_ANSI_TEXT_H

#include <stddef.h>

#include <string>

namespace rkwin {

class AnsiText {
 public:
  static const size_t npos = std::string::npos;

  // Text in the code page given (a resolved number), or in the active one when it is 0.
  AnsiText(const char* text, size_t size, unsigned codePage = 0) : text_(text), size_(size), codePage_(codePage) {}
  explicit AnsiText(const std::string& text, unsigned codePage = 0) : AnsiText(text.data(), text.size(), codePage) {}

  // True when c starts a double-byte character in the code page.
  bool isLeadByte(unsigned char c) const;
  // Bytes of the character at byte i: 2 for a lead byte followed by a second byte of the code
  // page, the sequence's length for a UTF-8 character, else 1.
  size_t charLength(size_t i) const;
  // The first character at or after byte `from` that is one of the ASCII bytes in `set`; npos when none.
  size_t findFirstOf(const char* set, size_t from = 0) const;
  // The last character that is one of the ASCII bytes in `set`; npos when none.
  size_t findLastOf(const char* set) const;
  // True when the last character is one of the ASCII bytes in `set`.
  bool endsWithOneOf(const char* set) const;
  // The length of the text without the run of characters c at its end, never less than keep.
  size_t trimmedEnd(char c, size_t keep = 0) const;

 private:
  bool inSet(size_t i, const char* set) const;

  const char* text_;
  size_t size_;
  mutable unsigned codePage_;  // 0 until the active code page is needed
};

}  // namespace rkwin

#endif
