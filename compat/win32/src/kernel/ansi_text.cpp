#include "ansi_text.h"

#include "case_fold.h"
#include "nls_internal.h"

#include <string.h>

namespace rkwin {

bool AnsiText::isLeadByte(unsigned char c) const {
  if (c < 0x80) return false;
  if (!codePage_) codePage_ = rkwin_acp();
  return rkwin_lead_byte(codePage_, c);
}

size_t AnsiText::charLength(size_t i) const {
  const unsigned char c = (unsigned char)text_[i];
  if (c < 0x80 || i + 1 >= size_) return 1;
  if (!codePage_) codePage_ = rkwin_acp();
  if (codePage_ == CP_UTF8) {
    char32_t unused;
    return CaseFold::decodeUtf8(text_ + i, size_ - i, &unused);
  }
  return rkwin_lead_byte(codePage_, c) && rkwin_trail_byte(codePage_, (BYTE)text_[i + 1]) ? 2 : 1;
}

bool AnsiText::inSet(size_t i, const char* set) const {
  // Set bytes are ASCII: a lead byte never matches, so only the byte at i needs a look.
  return text_[i] != 0 && strchr(set, text_[i]) != nullptr;
}

size_t AnsiText::findFirstOf(const char* set, size_t from) const {
  // Character boundaries are known only from the start of the text.
  for (size_t i = 0; i < size_; i += charLength(i))
    if (i >= from && inSet(i, set)) return i;
  return npos;
}

size_t AnsiText::findLastOf(const char* set) const {
  size_t found = npos;
  for (size_t i = 0; i < size_; i += charLength(i))
    if (inSet(i, set)) found = i;
  return found;
}

bool AnsiText::endsWithOneOf(const char* set) const {
  size_t last = npos;
  for (size_t i = 0; i < size_; i += charLength(i)) last = i;
  return last != npos && inSet(last, set);
}

size_t AnsiText::trimmedEnd(char c, size_t keep) const {
  size_t end = 0;
  for (size_t i = 0; i < size_;) {
    size_t n = charLength(i);
    if (n != 1 || text_[i] != c) end = i + n;
    i += n;
  }
  if (end < keep) end = keep < size_ ? keep : size_;
  return end;
}

}  // namespace rkwin
