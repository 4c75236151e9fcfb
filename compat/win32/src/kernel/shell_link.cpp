#include "shell_link.h"

#include <cstring>

namespace rkwin {

namespace {

const DWORD kHasLinkInfo = 0x2, kHasName = 0x4, kHasWorkingDir = 0x10, kHasArguments = 0x20, kHasIconLocation = 0x40,
            kIsUnicode = 0x80;
const BYTE kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                             0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
const DWORD kHeaderSize = 0x4C;

void put16(std::vector<BYTE>& out, WORD v) {
  out.push_back((BYTE)v);
  out.push_back((BYTE)(v >> 8));
}
void put32(std::vector<BYTE>& out, DWORD v) {
  for (int i = 0; i < 4; ++i) out.push_back((BYTE)(v >> (8 * i)));
}
void putTime(std::vector<BYTE>& out, const FILETIME& t) {
  put32(out, t.dwLowDateTime);
  put32(out, t.dwHighDateTime);
}
void set32(std::vector<BYTE>& out, size_t at, DWORD v) {
  for (int i = 0; i < 4; ++i) out[at + i] = (BYTE)(v >> (8 * i));
}

std::vector<WCHAR> toUtf16(const std::string& ansi) {
  std::vector<WCHAR> wide;
  if (ansi.empty()) return wide;
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), NULL, 0);
  if (n <= 0) return wide;
  wide.resize((size_t)n);
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), wide.data(), n);
  return wide;
}

std::string fromUtf16(const WCHAR* wide, int count) {
  if (count <= 0) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, wide, count, NULL, 0, NULL, NULL);
  if (n <= 0) return std::string();
  std::string out((size_t)n, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, count, &out[0], n, NULL, NULL);
  return out;
}

void putString(std::vector<BYTE>& out, const std::string& ansi) {
  std::vector<WCHAR> wide = toUtf16(ansi);
  size_t count = wide.size() > 0xFFFF ? 0xFFFF : wide.size();
  put16(out, (WORD)count);
  for (size_t i = 0; i < count; ++i) put16(out, (WORD)wide[i]);
}

struct Reader {
  const std::vector<BYTE>& b;
  size_t pos;
  bool ok = true;
  DWORD u32(size_t at) const {
    return at + 4 <= b.size() ? (DWORD)(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | ((DWORD)b[at + 3] << 24)) : 0;
  }
  WORD u16(size_t at) const { return at + 2 <= b.size() ? (WORD)(b[at] | (b[at + 1] << 8)) : 0; }
  std::string string(bool unicode) {
    if (pos + 2 > b.size()) {
      ok = false;
      return std::string();
    }
    size_t count = u16(pos);
    pos += 2;
    size_t bytes = unicode ? count * 2 : count;
    if (pos + bytes > b.size()) {
      ok = false;
      return std::string();
    }
    std::string out;
    if (unicode) {
      std::vector<WCHAR> wide(count);
      for (size_t i = 0; i < count; ++i) wide[i] = (WCHAR)u16(pos + 2 * i);
      out = fromUtf16(wide.data(), (int)count);
    } else {
      out.assign((const char*)&b[pos], count);
    }
    pos += bytes;
    return out;
  }
};

}  // namespace

std::vector<BYTE> encodeShellLink(const ShellLinkData& link) {
  DWORD flags = kHasLinkInfo | kIsUnicode;
  if (!link.description.empty()) flags |= kHasName;
  if (!link.workingDir.empty()) flags |= kHasWorkingDir;
  if (!link.arguments.empty()) flags |= kHasArguments;
  if (!link.iconPath.empty()) flags |= kHasIconLocation;

  std::vector<BYTE> out;
  put32(out, kHeaderSize);
  out.insert(out.end(), kLinkClsid, kLinkClsid + 16);
  put32(out, flags);
  put32(out, link.targetAttributes);
  putTime(out, link.targetCreated);
  putTime(out, link.targetAccessed);
  putTime(out, link.targetWritten);
  put32(out, link.targetSize);
  put32(out, (DWORD)link.iconIndex);
  put32(out, (DWORD)link.showCmd);
  put16(out, link.hotkey);
  put16(out, 0);
  put32(out, 0);
  put32(out, 0);

  // Link info: a volume ID for a fixed drive and the local base path (ANSI, zero-terminated).
  const size_t infoStart = out.size();
  const DWORD infoHeader = 0x1C, volumeSize = 0x11;
  put32(out, 0);  // size, set below
  put32(out, infoHeader);
  put32(out, 1);  // VolumeIDAndLocalBasePath
  put32(out, infoHeader);
  put32(out, infoHeader + volumeSize);
  put32(out, 0);
  put32(out, infoHeader + volumeSize + (DWORD)link.target.size() + 1);
  put32(out, volumeSize);
  put32(out, 3);  // DRIVE_FIXED
  put32(out, 0);
  put32(out, 0x10);
  out.push_back(0);  // empty volume label
  out.insert(out.end(), link.target.begin(), link.target.end());
  out.push_back(0);
  out.push_back(0);  // empty common path suffix
  set32(out, infoStart, (DWORD)(out.size() - infoStart));

  if (flags & kHasName) putString(out, link.description);
  if (flags & kHasWorkingDir) putString(out, link.workingDir);
  if (flags & kHasArguments) putString(out, link.arguments);
  if (flags & kHasIconLocation) putString(out, link.iconPath);
  put32(out, 0);  // terminal block
  return out;
}

bool decodeShellLink(const std::vector<BYTE>& b, ShellLinkData* link) {
  Reader r{b, kHeaderSize};
  if (b.size() < kHeaderSize || r.u32(0) != kHeaderSize || memcmp(&b[4], kLinkClsid, 16) != 0) return false;
  DWORD flags = r.u32(20);
  *link = ShellLinkData();
  link->targetAttributes = r.u32(24);
  link->targetSize = r.u32(52);
  link->iconIndex = (int)r.u32(56);
  link->showCmd = (int)r.u32(60);
  link->hotkey = r.u16(64);
  if (flags & 0x1) {  // an item-identifier list: skipped by its size
    r.pos += 2 + (size_t)r.u16(r.pos);
  }
  if (flags & kHasLinkInfo) {
    size_t start = r.pos;
    DWORD size = r.u32(start);
    if (size < 0x1C || start + size > b.size()) return false;
    if (r.u32(start + 8) & 1) {
      size_t at = start + r.u32(start + 16);
      size_t end = start + size;
      if (at >= end) return false;
      const BYTE* p = &b[at];
      const void* nul = memchr(p, 0, end - at);
      if (!nul) return false;
      link->target.assign((const char*)p, (const BYTE*)nul - p);
    }
    r.pos = start + size;
  }
  bool unicode = (flags & kIsUnicode) != 0;
  if (flags & kHasName) link->description = r.string(unicode);
  if (flags & 0x8) r.string(unicode);  // relative path
  if (flags & kHasWorkingDir) link->workingDir = r.string(unicode);
  if (flags & kHasArguments) link->arguments = r.string(unicode);
  if (flags & kHasIconLocation) link->iconPath = r.string(unicode);
  return r.ok;
}

}  // namespace rkwin
