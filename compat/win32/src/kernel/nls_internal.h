// Code-page conversions shared inside the stand-in (not part of the Windows interface).
// The file-system side uses the ANSI <-> UTF-8 helpers to turn the system's ANSI paths into
// host (UTF-8) names and back.
#ifndef RKWIN_NLS_INTERNAL_H
#define RKWIN_NLS_INTERNAL_H

#include <windows.h>

#include <stddef.h>
#include <string>

// The active ANSI code page: RKWIN_ACP when it names a handled code page (below), else 936 (GBK).
UINT rkwin_acp();

// True for the code pages whose text the stand-in steps character by character and folds by
// case, in paths and registry names alike: the double-byte 932, 936, 949 and 950, UTF-8 (65001),
// and the single-byte 874, 1250-1254, 1256, 1257, 20127 and 28591. Others (GB18030's four-byte
// characters, the combining 1255 and 1258, EBCDIC without ASCII) are no ANSI code page of the
// machine, and the registry store takes no name as written in them.
bool rkwin_handled_codepage(UINT codePage);

// Resolves CP_ACP and the other symbolic code pages to a number. 0 when unknown or unsupported.
UINT rkwin_resolve_codepage(UINT codePage);

// True when c starts a double-byte character in the code page, which must be resolved already
// (IsDBCSLeadByteEx without the lookup of the symbolic code pages).
bool rkwin_lead_byte(UINT resolvedCodePage, BYTE c);

// True when c can follow a lead byte as the second byte of a double-byte character in the code
// page (resolved already). A lead byte before any other byte stands alone, as the code page's
// conversion takes it.
bool rkwin_trail_byte(UINT resolvedCodePage, BYTE c);

// Converts len bytes in the code page to UTF-16. Invalid or incomplete sequences become U+FFFD,
// or make the call fail when strict is set. False also for an unknown code page.
bool rkwin_mb_to_utf16(UINT codePage, const char* in, size_t len, std::u16string& out, bool strict);

// Converts len UTF-16 units to the code page. Characters the code page cannot hold become
// defaultChar (when null: '?'; U+FFFD for UTF-8) and set *usedDefault; with strict set they make
// the call fail instead. False also for an unknown code page.
bool rkwin_utf16_to_mb(UINT codePage, const char16_t* in, size_t len, std::string& out, const char* defaultChar,
                       bool* usedDefault, bool strict);

// True when every byte of the text is ASCII (below 0x80).
bool rkwin_is_ascii(const char* text, size_t len);

// ANSI (active code page) text to UTF-8 and back; invalid bytes and unmappable characters are
// replaced, never dropped silently.
std::string rkwin_ansi_to_utf8(const char* ansi, size_t len);
std::string rkwin_ansi_to_utf8(const std::string& ansi);
std::string rkwin_utf8_to_ansi(const char* utf8, size_t len);
std::string rkwin_utf8_to_ansi(const std::string& utf8);

#endif
