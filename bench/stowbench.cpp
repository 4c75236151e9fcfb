// stowbench LAUNCHER [RUNS]
// stowbench LAUNCHER --write FOLDER   (writes FOLDER/installer.exe and FOLDER/stream.bz2 only,
//                                      for tracing or profiling single runs)
// stowbench LAUNCHER --many [RUNS] [FILES]
// stowbench LAUNCHER --many-write FOLDER   (the many-files package and its table only)
// Builds a package shaped like a shipped installer (about 120 entries, 11.7 MB of mixed text
// and binary content), then times a full launcher run (unpack, start of a program that exits
// at once, deletion) against `bzip2 -dc` of the same stream into the same temporary folder.
// With --many: a package of FILES (default 20,000) small files in ten folders, unpacked in
// /dev/shm so that the disk's own cost of creating files does not hide the launcher's, against
// `bzip2 -dc` piped into plainwrite (beside this program), which writes the same files with a
// plain loop.
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "PackageWriter.h"

extern char** environ;
namespace fs = std::filesystem;
using stowtools::PackEntry;

namespace {

std::string textContent(std::mt19937& gen, size_t n) {
  static const char* words[] = {"image",
                                "viewer",
                                "setup",
                                "folder",
                                "install",
                                "license",
                                "\xCD\xBC\xC6\xAC",
                                "\xB0\xB2\xD7\xB0",
                                "=",
                                "\r\n",
                                "version",
                                "0x",
                                "file",
                                "open",
                                "close",
                                "the",
                                "of",
                                " "};
  std::string s;
  s.reserve(n + 16);
  while (s.size() < n) {
    s += words[gen() % (sizeof words / sizeof *words)];
    s += (gen() % 7) ? " " : "\r\n";
  }
  s.resize(n);
  return s;
}

std::string binaryContent(std::mt19937& gen, size_t n) {
  // Program-like bytes: runs of zeros and repeated tables between random stretches.
  std::string s(n, '\0');
  size_t i = 0;
  while (i < n) {
    size_t run = std::min(n - i, (size_t)(256 + gen() % 4096));
    int kind = gen() % 3;
    for (size_t k = 0; k < run; ++k)
      s[i + k] = kind == 0 ? 0 : kind == 1 ? (char)(gen() & 0xFF) : (char)((k * 13) & 0x3F);
    i += run;
  }
  return s;
}

std::vector<PackEntry> shippedShape() {
  std::mt19937 gen(20240301);
  std::vector<PackEntry> entries;
  auto folder = [&](const std::string& p) { entries.push_back({p, stowtools::kKindFolder, 0, ""}); };
  auto file = [&](const std::string& p, std::string content) {
    uint32_t size = (uint32_t)content.size();
    entries.push_back({p, stowtools::kKindFile, size, std::move(content)});
  };
  file("\\Setup.exe", "#!/bin/sh\nexit 0\n");
  for (const char* t :
       {"\\setup_cn.properties", "\\setup_en.properties", "\\license_cn.txt", "\\license_en.txt", "\\setup.reg"})
    file(t, textContent(gen, 4000 + gen() % 20000));
  for (int i = 0; i < 6; ++i) file("\\logo" + std::to_string(i) + ".bmp", binaryContent(gen, 60000));
  folder("\\product");
  const char* subs[] = {"\\product\\plugins", "\\product\\lang", "\\product\\help", "\\product\\skins"};
  file("\\product\\viewer.exe", binaryContent(gen, 3200000));
  file("\\product\\shellext.dll", binaryContent(gen, 900000));
  file("\\product\\readme.txt", textContent(gen, 6000));
  file("\\product\\uninstall.ico", binaryContent(gen, 9000));
  for (const char* sub : subs) {
    folder(sub);
    for (int i = 0; i < 24; ++i) {
      std::string name = std::string(sub) + "\\item" + std::to_string(i);
      if (i % 3 == 0)
        file(name + ".dll", binaryContent(gen, 40000 + gen() % 100000));
      else
        file(name + ".txt", textContent(gen, 10000 + gen() % 70000));
    }
  }
  // Top up to the shipped total of about 11.7 MB.
  size_t total = 0;
  for (auto& e : entries) total += e.size;
  if (total < 11668509) file("\\product\\data.bin", textContent(gen, 11668509 - total));
  return entries;
}

// Ten folders of small text files, Setup.exe first.
std::vector<PackEntry> manyFilesShape(int files) {
  std::mt19937 gen(20240302);
  std::vector<PackEntry> entries;
  std::string setup = "#!/bin/sh\nexit 0\n";
  entries.push_back({"\\Setup.exe", stowtools::kKindFile, (uint32_t)setup.size(), setup});
  const int folders = 10;
  for (int f = 0; f < folders; ++f) {
    std::string folder = "\\data" + std::to_string(f);
    entries.push_back({folder, stowtools::kKindFolder, 0, ""});
    for (int i = f; i < files; i += folders) {
      std::string content = textContent(gen, 100 + gen() % 1900);
      uint32_t size = (uint32_t)content.size();
      entries.push_back({folder + "\\File" + std::to_string(i) + ".txt", stowtools::kKindFile, size, content});
    }
  }
  return entries;
}

struct Timing {
  double wall = -1;  // seconds from start to exit
  double cpu = -1;   // user + system seconds of the process and its children
  double sys = -1;   // the system part of it
  long peakKb = -1;  // peak resident memory of the process or its largest child
};

// Runs args under /usr/bin/time, which reports the peak resident memory of what it ran (the
// spawning program's own memory cannot mix into it).
Timing runMeasured(std::vector<std::string> args, const std::vector<std::string>& env, const std::string& stdoutPath,
                   const std::string& memoryFile);

Timing runProcess(std::vector<std::string> args, const std::vector<std::string>& env, const std::string& stdoutPath) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  std::vector<std::string> envText = env;
  for (char** e = environ; *e; ++e) envText.push_back(*e);
  std::vector<char*> envp;
  for (auto& e : envText) envp.push_back(&e[0]);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!stdoutPath.empty())
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid;
  Timing t;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) return t;
  int status = 0;
  struct rusage usage;
  wait4(pid, &status, 0, &usage);
  auto t1 = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return t;
  t.wall = std::chrono::duration<double>(t1 - t0).count();
  t.sys = usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
  t.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + t.sys;
  return t;
}

Timing runMeasured(std::vector<std::string> args, const std::vector<std::string>& env, const std::string& stdoutPath,
                   const std::string& memoryFile) {
  args.insert(args.begin(), {"/usr/bin/time", "-f", "%M", "-o", memoryFile});
  Timing t = runProcess(args, env, stdoutPath);
  std::ifstream(memoryFile) >> t.peakKb;
  return t;
}

double least(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

struct Side {
  std::vector<double> wall, cpu, sys;
  long peakKb = 0;
  void add(const Timing& t) {
    wall.push_back(t.wall);
    cpu.push_back(t.cpu);
    sys.push_back(t.sys);
    peakKb = std::max(peakKb, t.peakKb);
  }
  void print(const char* name) const {
    std::printf("%-26s %8.3f s   %8.3f s   %7.3f s   %8.3f s   %7ld KB\n", name, least(wall), median(wall), least(cpu),
                least(sys), peakKb);
  }
};

// Both sides run on one processor (the children inherit the affinity), so that they meet the
// same caches and the same competition from other work.
void pinToOneProcessor() {
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(std::max(0, sched_getcpu()), &one);
  sched_setaffinity(0, sizeof one, &one);
}

// Runs the launcher and the reference in turns, so that a busy machine slows both alike; the
// least time of each is the one least disturbed by other work. `check` looks at what a pair of
// runs left and clears it. Prints both sides and the ratio of their least wall times: 0 within
// target, 1 when a run failed, 3 above target.
int compare(int runs, const fs::path& work, const std::vector<std::string>& launcher,
            const std::vector<std::string>& reference, const std::string& referenceOut, const char* referenceName,
            const std::vector<std::string>& env, const std::function<bool()>& check, double target) {
  Side launcherSide, baseSide;
  std::string memory = (work / "peak.txt").string();
  for (int i = 0; i < runs; ++i) {
    Timing l = runMeasured(launcher, env, "", memory);
    Timing b = runMeasured(reference, env, referenceOut, memory);
    if (l.wall < 0 || b.wall < 0 || !check()) {
      std::fprintf(stderr, "stowbench: a run failed or left files behind\n");
      fs::remove_all(work);
      return 1;
    }
    launcherSide.add(l);
    baseSide.add(b);
  }
  std::printf("%d runs each                 least wall  median wall  least cpu  least system  peak memory\n", runs);
  launcherSide.print("launcher (whole run)");
  baseSide.print(referenceName);
  double ratio = least(launcherSide.wall) / least(baseSide.wall);
  std::printf("ratio of least wall times: %.3f (target at most %.2f)\n", ratio, target);
  fs::remove_all(work);
  return ratio <= target ? 0 : 3;
}

// The many-files package against bzip2 -dc | plainwrite, in /dev/shm (or only written to
// `keep`, for profiling single runs).
int manyFiles(const std::string& launcher, const std::string& self, int runs, int files, const std::string& keep = "") {
  fs::path work =
      !keep.empty() ? fs::path(keep) : fs::path("/dev/shm") / ("stowbench-many-" + std::to_string(getpid()));
  fs::path temp = work / "tmp", prefix = work / "prefix", plain = work / "plain";
  fs::create_directories(temp);
  fs::create_directories(prefix / "drive_c");
  std::vector<PackEntry> entries = manyFilesShape(files);
  std::string stream = stowtools::compressContents(entries);
  std::string error;
  std::string installer = (work / "installer.exe").string();
  if (!stowtools::writeExecutable(launcher, installer, "Setup.exe", entries, stream, error)) {
    std::fprintf(stderr, "stowbench: %s\n", error.c_str());
    return 1;
  }
  std::string packed = (work / "stream.bz2").string();
  std::ofstream(packed, std::ios::binary) << stream;
  std::string table = (work / "table.txt").string();
  {
    std::ofstream out(table);
    for (auto& e : entries) {
      std::string path = e.path.substr(1);
      std::replace(path.begin(), path.end(), '\\', '/');
      out << e.kind << ' ' << e.size << ' ' << path << '\n';
    }
  }
  size_t total = 0;
  for (auto& e : entries) total += e.size;
  std::printf("many-files package: %zu entries, %zu bytes unpacked, %zu bytes packed, in %s\n", entries.size(), total,
              stream.size(), work.c_str());
  if (!keep.empty()) return 0;
  std::string writer = (fs::path(self).parent_path() / "plainwrite").string();
  std::string pipeline = "bzip2 -dc '" + packed + "' | '" + writer + "' '" + table + "' '" + plain.string() + "'";
  pinToOneProcessor();
  std::vector<std::string> env{"TMPDIR=" + temp.string(), "RKWIN_ROOT=" + prefix.string()};
  fs::create_directories(plain);
  auto check = [&]() {
    size_t written = 0;
    for (auto it = fs::recursive_directory_iterator(plain); it != fs::recursive_directory_iterator(); ++it) ++written;
    fs::remove_all(plain);
    fs::create_directories(plain);
    return fs::is_empty(temp) && written == entries.size();
  };
  return compare(runs, work, {installer}, {"bash", "-c", "set -o pipefail; " + pipeline}, "",
                 "bzip2 -dc | plain writer", env, check, 1.5);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s LAUNCHER [RUNS | --write FOLDER]\n", argv[0]);
    return 2;
  }
  if (argc > 3 && std::string(argv[2]) == "--many-write") return manyFiles(argv[1], argv[0], 0, 20000, argv[3]);
  if (argc > 2 && std::string(argv[2]) == "--many")
    return manyFiles(argv[1], argv[0], argc > 3 ? std::max(1, std::atoi(argv[3])) : 5,
                     argc > 4 ? std::max(10, std::atoi(argv[4])) : 20000);
  bool writeOnly = argc > 3 && std::string(argv[2]) == "--write";
  int runs = argc > 2 && !writeOnly ? std::max(1, std::atoi(argv[2])) : 9;
  fs::path work = writeOnly ? fs::path(argv[3]) : fs::temp_directory_path() / ("stowbench-" + std::to_string(getpid()));
  fs::path temp = work / "tmp", prefix = work / "prefix";
  fs::create_directories(temp);
  fs::create_directories(prefix / "drive_c");

  std::vector<PackEntry> entries = shippedShape();
  std::string stream = stowtools::compressContents(entries);
  std::string error;
  std::string installer = (work / "installer.exe").string();
  if (!stowtools::writeExecutable(argv[1], installer, "Setup.exe", entries, stream, error)) {
    std::fprintf(stderr, "stowbench: %s\n", error.c_str());
    return 1;
  }
  std::string packed = (work / "stream.bz2").string();
  std::ofstream(packed, std::ios::binary) << stream;
  size_t total = 0;
  for (auto& e : entries) total += e.size;
  std::printf("package: %zu entries, %zu bytes unpacked, %zu bytes packed\n", entries.size(), total, stream.size());
  if (writeOnly) return 0;

  pinToOneProcessor();

  std::vector<std::string> env{"TMPDIR=" + temp.string(), "RKWIN_ROOT=" + prefix.string()};
  fs::path out = temp / "bzip2-out";
  auto check = [&]() {
    fs::remove(out);
    return fs::is_empty(temp);
  };
  return compare(runs, work, {installer}, {"bzip2", "-dc", packed}, out.string(), "bzip2 -dc (one file)", env, check,
                 1.10);
}
