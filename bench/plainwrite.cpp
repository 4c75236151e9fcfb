// plainwrite TABLE FOLDER < contents
// The plain way to write a package's files, as the many-files benchmark's reference: reads the
// entry table (one "kind size path" line per entry, paths with slashes, in package order) and
// writes each folder and file under FOLDER with one open, write and close per file, taking the
// contents back to back from standard input (the output of `bzip2 -dc`).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s TABLE FOLDER < contents\n", argv[0]);
    return 2;
  }
  std::ifstream table(argv[1]);
  std::string folder = argv[2];
  std::vector<char> buffer(1 << 20);
  std::setvbuf(stdin, nullptr, _IOFBF, 1 << 20);
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    unsigned kind = 0;
    size_t size = 0;
    std::string path;
    fields >> kind >> size;
    std::getline(fields >> std::ws, path);
    std::string full = folder + "/" + path;
    if (kind == 2) {
      if (mkdir(full.c_str(), 0777) != 0) return 1;
      continue;
    }
    int fd = open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return 1;
    while (size > 0) {
      size_t chunk = size < buffer.size() ? size : buffer.size();
      if (std::fread(buffer.data(), 1, chunk, stdin) != chunk) return 1;
      if (write(fd, buffer.data(), chunk) != (ssize_t)chunk) return 1;
      size -= chunk;
    }
    if (close(fd) != 0) return 1;
  }
  return 0;
}
