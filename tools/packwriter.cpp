// packwriter LAUNCHER FOLDER PROGRAM OUTPUT
// Writes OUTPUT: the launcher image followed by a package of every folder and file under FOLDER,
// naming PROGRAM (a path relative to the unpack folder, e.g. "Setup.exe") as the one to start.
#include "PackageWriter.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s LAUNCHER FOLDER PROGRAM OUTPUT\n", argv[0]);
    return 2;
  }
  std::vector<stowtools::PackEntry> entries;
  std::string error;
  if (!stowtools::collectFolder(argv[2], entries, error)) {
    std::fprintf(stderr, "packwriter: %s\n", error.c_str());
    return 1;
  }
  std::string program;
  if (!stowtools::toAnsiName(argv[3], program)) {
    std::fprintf(stderr, "packwriter: program name has no form in the ANSI code page\n");
    return 1;
  }
  std::string stream = stowtools::compressContents(entries);
  if (!stowtools::writeExecutable(argv[1], argv[4], program, entries, stream, error)) {
    std::fprintf(stderr, "packwriter: %s\n", error.c_str());
    return 1;
  }
  unsigned long long total = 0;
  for (const auto& e : entries) total += e.size;
  std::printf("packwriter: %s: %zu entries, %llu bytes packed into %zu\n", argv[4], entries.size(), total,
              stream.size());
  return 0;
}
