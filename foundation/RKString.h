// Narrow text string in the ANSI code page, with a cached wide copy.
#ifndef RKSDK_RKSTRING_H
#define RKSDK_RKSTRING_H

#include "RKObject.h"

namespace RKSDK {

// Every change reallocates the text to its exact size. Indexes and lengths count bytes; the
// searches (lastIndexOf, endsWith, replaceAll) work on characters of the ANSI code page, so the
// second byte of a double-byte character (in code page 936 it may be the byte of a backslash) never
// matches on its own. A null data pointer is a valid empty string of length 0 (left by trimming
// an all-blank text or by format(nullptr)) and every operation accepts it.
class RKString : public virtual RKObject {
 public:
  RKString();
  explicit RKString(int value);     // "%d"
  explicit RKString(double value);  // "%f"
  RKString(const RKString& other);
  RKString(const char* text);  // null gives ""
  ~RKString() override;

  RKString& operator=(const RKString& other);
  RKString& operator=(const char* src);

  // The first len bytes of src (none when src is null); nothing happens when src is this
  // string's own buffer.
  void assign(const char* src, u32 len);
  // Appends a 0-terminated text; nothing happens when src is this string's own buffer.
  void append(const char* src);

  // Bytes start to end, both inclusive; end -1 stands for the length. Out of range gives "".
  RKString substring(int start, int end) const;
  // Index of the last character equal to c, or -1 (also for c = 0).
  int lastIndexOf(char c) const;
  // Whether the last character (not merely the last byte) is c.
  bool endsWith(char c) const;
  // Bytes of the character that starts at byte index at: 2 for a lead byte of the ANSI code
  // page followed by another byte, else 1; 0 at or past the end.
  u32 charLength(u32 at) const;
  // Replaces every occurrence of find that begins on a character, searching on after each
  // inserted replacement. 1 when done; 0 for a null argument, an empty find, or a failed
  // allocation (replacements made stay).
  int replaceAll(const char* find, const char* replacement);
  // Remove trailing or leading blanks (' ', '\t', '\r', '\n'); an all-blank text leaves null data.
  void trimRight();
  void trimLeft();
  // The text becomes the formatted output (null fmt leaves null data). 1 on success; 0 when
  // formatting fails or memory runs out, the old text kept.
  int format(const char* fmt, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  bool isEmpty() const;

  // Text converted from the ANSI code page, 0-terminated, owned by the string until the next
  // toWide or its destruction; null for an empty string or a failed conversion.
  const WCHAR* toWide();
  // The text becomes the ANSI form of a 0-terminated wide text; null or a failed conversion
  // gives "".
  void fromWide(const WCHAR* text);

  // Two empty strings are equal, an empty and a non-empty one differ; otherwise the texts compare
  // character by character in the ANSI code page: single-byte characters with A-Z folded to a-z,
  // double-byte characters as they are (their second byte may be a letter's byte).
  bool equalsIgnoreCase(const RKString& other) const;
  // Same length and the same bytes.
  bool equals(const RKString& other) const;

  char* data;
  u32 length;
  WCHAR* wide;
};

RKString operator+(const RKString& left, const RKString& right);
RKString operator+(const RKString& left, const char* right);
RKString operator+(const char* left, const RKString& right);

bool operator==(const RKString& left, const RKString& right);
bool operator!=(const RKString& left, const RKString& right);
bool operator==(const RKString& left, const char* right);
bool operator!=(const RKString& left, const char* right);

}  // namespace RKSDK

#endif
