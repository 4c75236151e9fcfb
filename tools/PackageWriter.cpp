#include "PackageWriter.h"

#include <bzlib.h>
#include <dirent.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace stowtools {

namespace {

void putU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putText(std::string& out, const std::string& text) {
  out += text;
  out.push_back('\0');
}

bool readWhole(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool walk(const std::string& host, const std::string& tablePath, std::vector<PackEntry>& entries, std::string& error) {
  DIR* dir = opendir(host.c_str());
  if (!dir) {
    error = "cannot list " + host + ": " + std::strerror(errno);
    return false;
  }
  std::vector<std::string> names;
  while (dirent* d = readdir(dir)) {
    if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0) names.push_back(d->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string child = host + "/" + name;
    struct stat st;
#ifdef _WIN32
    // The C runtime lists names in the ANSI code page already.
    if (stat(child.c_str(), &st) != 0) continue;
    std::string ansi = name;
#else
    if (lstat(child.c_str(), &st) != 0) continue;
    std::string ansi;
    if (!toAnsiName(name, ansi)) {
      error = "name has no form in the ANSI code page: " + child;
      return false;
    }
#endif
    PackEntry e;
    e.path = tablePath + "\\" + ansi;
    if (S_ISDIR(st.st_mode)) {
      e.kind = kKindFolder;
      entries.push_back(e);
      if (!walk(child, e.path, entries, error)) return false;
    } else if (S_ISREG(st.st_mode)) {
      e.kind = kKindFile;
      if (!readWhole(child, e.content)) {
        error = "cannot read " + child;
        return false;
      }
      if (e.content.size() > 0xFFFFFFFFu) {
        error = "file too large for the table: " + child;
        return false;
      }
      e.size = static_cast<uint32_t>(e.content.size());
      entries.push_back(std::move(e));
    }
  }
  return true;
}

}  // namespace

bool toAnsiName(const std::string& utf8, std::string& ansi) {
#ifdef _WIN32
  // The system's ANSI code page; a character it lacks fails rather than turning into '?'.
  if (utf8.empty()) {
    ansi.clear();
    return true;
  }
  int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), nullptr, 0);
  if (wide <= 0) return false;
  std::wstring w(size_t(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &w[0], wide);
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), wide, nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return false;
  ansi.assign(size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), wide, &ansi[0], n, nullptr, nullptr);
  return true;
#else
  const char* acp = std::getenv("RKWIN_ACP");
  std::string page = acp && *acp ? acp : "936";
  if (page == "65001") {
    ansi = utf8;
    return true;
  }
  iconv_t cd = iconv_open(("CP" + page).c_str(), "UTF-8");
  if (cd == (iconv_t)-1) return false;
  std::string out(utf8.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* dst = &out[0];
  size_t outLeft = out.size();
  size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  if (r == (size_t)-1) return false;
  out.resize(out.size() - outLeft);
  ansi = out;
  return true;
#endif
}

bool collectFolder(const std::string& hostFolder, std::vector<PackEntry>& entries, std::string& error) {
  return walk(hostFolder, "", entries, error);
}

std::string compressContents(const std::vector<PackEntry>& entries) {
  bz_stream bz;
  std::memset(&bz, 0, sizeof bz);
  if (BZ2_bzCompressInit(&bz, 9, 0, 0) != BZ_OK) return std::string();
  std::string out;
  char chunk[65536];
  auto pump = [&](int action) {
    int rc;
    do {
      bz.next_out = chunk;
      bz.avail_out = sizeof chunk;
      rc = BZ2_bzCompress(&bz, action);
      out.append(chunk, sizeof chunk - bz.avail_out);
    } while ((action == BZ_RUN && bz.avail_in > 0) || (action == BZ_FINISH && rc == BZ_FINISH_OK));
  };
  for (const PackEntry& e : entries) {
    if (e.kind != kKindFile || e.content.empty()) continue;
    bz.next_in = const_cast<char*>(e.content.data());
    bz.avail_in = static_cast<unsigned>(e.content.size());
    pump(BZ_RUN);
  }
  bz.next_in = nullptr;
  bz.avail_in = 0;
  pump(BZ_FINISH);
  BZ2_bzCompressEnd(&bz);
  return out;
}

std::string packageBytes(const std::string& program, const std::vector<PackEntry>& entries, const std::string& stream,
                         uint32_t imageSize) {
  std::string out;
  putText(out, program);
  putU32(out, static_cast<uint32_t>(entries.size()));
  for (const PackEntry& e : entries) {
    putText(out, e.path);
    putU32(out, e.kind);
    putU32(out, e.size);
  }
  putU32(out, static_cast<uint32_t>(stream.size()));
  out += stream;
  putU32(out, imageSize);
  return out;
}

bool writeExecutable(const std::string& launcher, const std::string& output, const std::string& program,
                     const std::vector<PackEntry>& entries, const std::string& stream, std::string& error) {
  std::string image;
  if (!readWhole(launcher, image)) {
    error = "cannot read the launcher " + launcher;
    return false;
  }
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out << image << packageBytes(program, entries, stream, static_cast<uint32_t>(image.size()));
  out.close();
  if (!out) {
    error = "cannot write " + output;
    return false;
  }
  chmod(output.c_str(), 0755);
  return true;
}

}  // namespace stowtools
