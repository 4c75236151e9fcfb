// Writes installation packages behind a built launcher: the launcher image unchanged, then the
// program name, the entry table, the packed length, one bzip2 stream and the trailer (the file
// offset of the program name). A tool of the test suite and the demo, not part of the product.
#ifndef STOWTOOLS_PACKAGEWRITER_H
#define STOWTOOLS_PACKAGEWRITER_H

#include <cstdint>
#include <string>
#include <vector>

namespace stowtools {

enum : uint32_t { kKindFile = 1, kKindFolder = 2 };

struct PackEntry {
  std::string path;  // bytes as stored in the table: "\name\sub", in the ANSI code page
  uint32_t kind = kKindFile;
  uint32_t size = 0;    // the size field of the table; normally content.size()
  std::string content;  // bytes this entry contributes to the stream (kind 1 only)
};

// Converts a host (UTF-8) name to the launcher's ANSI code page: RKWIN_ACP, default 936 (GBK).
// Returns false when the name has no form in that code page.
bool toAnsiName(const std::string& utf8, std::string& ansi);

// Lists a host folder as table entries, every folder before its contents, names sorted by
// bytes, paths "\a\b" converted by toAnsiName. Symbolic links and special files are skipped.
bool collectFolder(const std::string& hostFolder, std::vector<PackEntry>& entries, std::string& error);

// One bzip2 stream (block size 9) of the contents of every kind-1 entry, back to back.
std::string compressContents(const std::vector<PackEntry>& entries);

// The package bytes for a launcher image of imageSize bytes (fields after the image).
std::string packageBytes(const std::string& program, const std::vector<PackEntry>& entries, const std::string& stream,
                         uint32_t imageSize);

// Copies the launcher to output, appends the package and marks the result executable.
bool writeExecutable(const std::string& launcher, const std::string& output, const std::string& program,
                     const std::vector<PackEntry>& entries, const std::string& stream, std::string& error);

}  // namespace stowtools

#endif
