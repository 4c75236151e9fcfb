// Damaged packages and hostile surroundings: the launcher starts nothing, writes nothing outside
// its temporary folder, removes its unpack folder and still ends with exit code 0.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <set>

#include "LaunchHarness.h"

using namespace rktest;
using stowtools::PackEntry;

namespace {

// What the launcher must leave after a run that starts nothing.
void expectNothingStarted(LaunchHarness& h, const std::string& exe, const std::string& what) {
  EXPECT_EQ(h.run(exe), 0) << what;
  EXPECT_FALSE(h.programRan()) << what;
  EXPECT_TRUE(h.tempIsEmpty()) << what;
  EXPECT_TRUE(fs::is_empty(h.work)) << what;  // the launcher's current folder
}

// The names directly in a host folder.
std::set<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  for (auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

std::vector<PackEntry> twoFiles() {
  return {fileEntry("\\Setup.exe", recordingProgram()), fileEntry("\\data.bin", randomBytes(30000, 7)),
          fileEntry("\\last.txt", "the last file")};
}

}  // namespace

TEST(LauncherFault, ATableThatDisagreesWithTheStreamStartsNothing) {
  std::vector<PackEntry> entries = twoFiles();
  std::string stream = stowtools::compressContents(entries);
  struct Case {
    const char* what;
    std::vector<PackEntry> table;
  };
  std::vector<Case> cases;
  std::vector<PackEntry> t = entries;
  t[1].kind = stowtools::kKindFolder;  // a file read as a folder: later files shift
  cases.push_back({"file read as folder", t});
  t = entries;
  t[1].kind = 3;
  cases.push_back({"file of an unknown kind", t});
  t = entries;
  t[1].size -= 1;
  cases.push_back({"size one short", t});
  t = entries;
  t[2].size -= 4;
  cases.push_back({"last size short", t});
  t = entries;
  t.pop_back();
  cases.push_back({"data after the last entry", t});
  for (const Case& c : cases) {
    LaunchHarness h;
    expectNothingStarted(h, h.build("Setup.exe", c.table, stream), c.what);
  }
  // The unchanged table starts Setup on the right contents.
  LaunchHarness h;
  ASSERT_EQ(h.run(h.build("Setup.exe", entries, stream)), 0);
  ASSERT_TRUE(h.programRan());
  EXPECT_EQ(readFile(h.seen("last.txt")), "the last file");
  EXPECT_TRUE(h.tempIsEmpty());
}

TEST(LauncherFault, DamageInTheLastBlockOrTheStreamEndStartsNothing) {
  std::vector<PackEntry> entries = twoFiles();
  std::string stream = stowtools::compressContents(entries);
  // The stream's checksum sits in its last bytes, after every byte of content.
  for (size_t back : {3u, 4u, 5u}) {
    std::string damaged = stream;
    damaged[damaged.size() - back] ^= 0x10;
    LaunchHarness h;
    expectNothingStarted(h, h.build("Setup.exe", entries, damaged), "checksum byte " + std::to_string(back));
  }
  // A second stream behind the first holds data that no entry describes... nor does a stream
  // that stops before its end marker.
  LaunchHarness h;
  expectNothingStarted(h, h.build("Setup.exe", entries, stream.substr(0, stream.size() - 6)), "end marker cut");
}

TEST(LauncherFault, ProgramNamesOutsideThePackageStartNothing) {
  for (const char* program : {"..\\..\\evil.sh", "sub\\..\\..\\..\\evil.sh", "..\\tmp\\..\\..\\evil.sh",
                              "\\..\\..\\evil.sh", "Sub", "Sub\\", "missing.exe", ".", ""}) {
    LaunchHarness h;
    writeFile(h.root / "evil.sh", "#!/bin/sh\ntouch \"$RK_REPORT/evil\"\n", 0755);
    std::vector<PackEntry> entries{fileEntry("\\Setup.exe", recordingProgram()), folderEntry("\\Sub"),
                                   fileEntry("\\Sub\\a.txt", "a")};
    expectNothingStarted(h, h.build(program, entries), program);
    EXPECT_FALSE(fs::exists(h.report + "/evil")) << program;
  }
  // An absolute name of a program outside, and a file entry that itself leads out.
  LaunchHarness h;
  writeFile(h.root / "evil.sh", "#!/bin/sh\ntouch \"$RK_REPORT/evil\"\n", 0755);
  std::string absolute = windowsName(h.root / "evil.sh");
  expectNothingStarted(h, h.build(absolute, {fileEntry("\\Setup.exe", recordingProgram())}), absolute);
  expectNothingStarted(h, h.build("..\\..\\evil.sh", {fileEntry("\\..\\..\\evil.sh", "#!/bin/sh\n")}), "entry out");
  EXPECT_FALSE(fs::exists(h.report + "/evil"));
}

TEST(LauncherFault, ProgramNamesMatchTheirEntryWhateverTheCaseAndSeparators) {
  LaunchHarness h;
  std::string exe =
      h.build("tools/./SETUP.EXE", {folderEntry("\\Tools"), fileEntry("\\Tools\\Setup.exe", recordingProgram())});
  ASSERT_EQ(h.run(exe), 0);
  EXPECT_TRUE(h.programRan());
  EXPECT_TRUE(h.tempIsEmpty());
}

TEST(LauncherFault, ATemporaryPathTooLongForItsBufferUnpacksNothing) {
  // More than 260 bytes in its Windows form.
  std::string longName = "tmp";
  for (int i = 0; i < 6; ++i) longName += "/" + std::string(48, char('a' + i));
  LaunchHarness h(longName);
  std::set<std::string> rootBefore = namesIn("/");
  std::set<std::string> workBefore = namesIn(h.work);
  expectNothingStarted(h, h.build("Setup.exe", {fileEntry("\\Setup.exe", recordingProgram())}), "long temp");
  EXPECT_EQ(namesIn("/"), rootBefore);
  EXPECT_EQ(namesIn(h.work), workBefore);
}

// A temporary folder on a tmpfs too small for the package. Mounting needs root.
class LauncherFullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "a small tmpfs can only be mounted as root";
    if (mount("tmpfs", h.temp.c_str(), "tmpfs", 0, "size=256k") != 0)
      GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    mounted = true;
  }
  void TearDown() override {
    if (mounted) umount2(h.temp.c_str(), MNT_DETACH);
  }
  LaunchHarness h;
  bool mounted = false;
};

TEST_F(LauncherFullDisk, AFileThatDoesNotFitStartsNothing) {
  // Packs to a few hundred bytes, unpacks to 1 MB.
  std::vector<PackEntry> entries{fileEntry("\\Setup.exe", recordingProgram()),
                                 fileEntry("\\big.bin", std::string(1 << 20, 'x')), fileEntry("\\after.txt", "after")};
  expectNothingStarted(h, h.build("Setup.exe", entries), "unpacked file too big");
}

TEST_F(LauncherFullDisk, APackedCopyThatDoesNotFitStartsNothing) {
  std::vector<PackEntry> entries{fileEntry("\\Setup.exe", recordingProgram()),
                                 fileEntry("\\noise.bin", randomBytes(400000, 9))};
  expectNothingStarted(h, h.build("Setup.exe", entries), "packed copy too big");
}
