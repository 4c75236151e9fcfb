// Lead-byte tests of the double-byte code pages.
#include <windows.h>

#include "nls_internal.h"

bool rkwin_lead_byte(UINT resolvedCodePage, BYTE c) {
  switch (resolvedCodePage) {
    case 936:  // GBK
    case 949:  // Unified Hangul
    case 950:  // Big5
      return c >= 0x81 && c <= 0xFE;
    case 932:  // Shift JIS
      return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    default:
      return false;
  }
}

bool rkwin_trail_byte(UINT resolvedCodePage, BYTE c) {
  switch (resolvedCodePage) {
    case 936:  // GBK
    case 950:  // Big5
      return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE);
    case 949:  // Unified Hangul: letters, then the upper half
      return (c >= 0x41 && c <= 0x5A) || (c >= 0x61 && c <= 0x7A) || (c >= 0x81 && c <= 0xFE);
    case 932:  // Shift JIS
      return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
    default:
      return false;
  }
}

BOOL WINAPI IsDBCSLeadByteEx(UINT codePage, BYTE c) {
  return rkwin_lead_byte(rkwin_resolve_codepage(codePage), c) ? TRUE : FALSE;
}

BOOL WINAPI IsDBCSLeadByte(BYTE c) { return IsDBCSLeadByteEx(CP_ACP, c); }
