#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <random>

#include "LaunchHarness.h"

using namespace rktest;
using stowtools::PackEntry;

namespace {

// A source folder with nested folders, binary and text files, an empty file, an empty folder
// and Chinese names, plus the recording program as Setup.exe.
void makeSource(const std::string& src) {
  fs::create_directories(src + "/docs/deep/deeper");
  fs::create_directories(src + "/empty");
  fs::create_directories(src + "/图片");
  writeFile(src + "/Setup.exe", recordingProgram());
  writeFile(src + "/license_cn.txt", "中文许可\r\n");
  writeFile(src + "/blob.bin", randomBytes(70001, 1));
  writeFile(src + "/zero.dat", "");
  writeFile(src + "/docs/deep/deeper/a.txt", "deep");
  writeFile(src + "/图片/标志.bmp", randomBytes(10240, 2));
  writeFile(src + "/图片/边界.bin", randomBytes(10241, 3));
}

}  // namespace

TEST(LauncherRun, UnpacksEveryEntryByteExactAndStartsTheProgramFromThere) {
  LaunchHarness h;
  std::string src = h.root / "src";
  makeSource(src);
  // Through the writer program, as the demo and a packager use it.
  std::string out = h.root / "installer.exe";
  std::string cmd = builtProgram("tools/packwriter") + " " + builtProgram("launcher/stowpack") + " '" + src +
                    "' Setup.exe '" + out + "' > /dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);

  ASSERT_EQ(h.run(out), 0);
  ASSERT_TRUE(h.programRan());
  EXPECT_EQ(readFile(h.report + "/argc"), "0\n");
  // Started by its full path inside a time-stamped folder of the temporary folder, from the
  // launcher's own current folder.
  std::string argv0 = readFile(h.report + "/argv0");
  std::string parent = fs::path(argv0.substr(0, argv0.size() - 1)).parent_path().string();
  EXPECT_EQ(fs::path(parent).parent_path(), fs::path(h.temp));
  std::string stamp = fs::path(parent).filename().string();
  EXPECT_EQ(stamp.size(), 14u) << stamp;
  EXPECT_EQ(stamp.find_first_not_of("0123456789"), std::string::npos) << stamp;
  EXPECT_EQ(readFile(h.report + "/cwd"), h.work + "\n");

  // Exactly the source tree, with no packed copy left beside it.
  auto expected = treeOf(src);
  auto got = treeOf(h.seen());
  EXPECT_EQ(got.size(), expected.size());
  for (auto& kv : expected) {
    ASSERT_TRUE(got.count(kv.first)) << kv.first;
    EXPECT_TRUE(got[kv.first] == kv.second) << kv.first;
  }
  EXPECT_TRUE(h.tempIsEmpty());
}

TEST(LauncherRun, SkipsUnknownKindsAndPathsThatLeaveTheFolder) {
  LaunchHarness h;
  std::vector<PackEntry> entries;
  entries.push_back(fileEntry("\\Setup.exe", recordingProgram()));
  PackEntry odd = folderEntry("\\odd");
  odd.kind = 7;
  entries.push_back(odd);
  entries.push_back(folderEntry("\\..\\outside"));
  entries.push_back(fileEntry("\\..\\escape.txt", "escaped"));
  entries.push_back(fileEntry("\\sub\\..\\..\\..\\far.txt", "far"));
  entries.push_back(fileEntry("\\.. \\blank.txt", "blank"));
  entries.push_back(fileEntry("no-backslash.txt", "relative"));
  entries.push_back(fileEntry("\\C:\\drive.txt", "drive"));
  entries.push_back(fileEntry("\\a/../../slash.txt", "slash"));
  entries.push_back(fileEntry("\\after.txt", "after"));
  std::string exe = h.build("Setup.exe", entries);

  ASSERT_EQ(h.run(exe), 0);
  ASSERT_TRUE(h.programRan());
  // Only the program and the entry after the refused ones, with its own bytes.
  auto got = treeOf(h.seen());
  EXPECT_EQ(got.size(), 2u);
  EXPECT_EQ(got["after.txt"], "after");
  EXPECT_TRUE(h.tempIsEmpty());
  EXPECT_EQ(treeOf(h.root.path()).count("escape.txt"), 0u);
  EXPECT_FALSE(fs::exists(h.root / "far.txt"));
  EXPECT_FALSE(fs::exists(h.root / "slash.txt"));
}

TEST(LauncherRun, AFileThatCannotBeCreatedStillConsumesItsBytes) {
  LaunchHarness h;
  std::vector<PackEntry> entries;
  entries.push_back(fileEntry("\\Setup.exe", recordingProgram()));
  // Parents are never created: this file's folder is not in the table.
  entries.push_back(fileEntry("\\missing\\lost.bin", randomBytes(25000, 4)));
  entries.push_back(fileEntry("\\zero.dat", ""));
  entries.push_back(fileEntry("\\next.bin", randomBytes(30000, 5)));
  std::string exe = h.build("Setup.exe", entries);

  ASSERT_EQ(h.run(exe), 0);
  ASSERT_TRUE(h.programRan());
  auto got = treeOf(h.seen());
  EXPECT_EQ(got.size(), 3u);
  EXPECT_EQ(got["zero.dat"], "");
  EXPECT_TRUE(got["next.bin"] == randomBytes(30000, 5));
  EXPECT_TRUE(h.tempIsEmpty());
}

TEST(LauncherRun, PackagesWithoutEntriesOrProgramNameStartNothingAndClean) {
  {
    LaunchHarness h;
    std::string exe = h.build("Setup.exe", {});
    ASSERT_EQ(h.run(exe), 0);
    EXPECT_FALSE(h.programRan());
    EXPECT_TRUE(h.tempIsEmpty());
  }
  {
    LaunchHarness h;
    std::string exe = h.build("", {fileEntry("\\Setup.exe", recordingProgram())});
    ASSERT_EQ(h.run(exe), 0);
    EXPECT_FALSE(h.programRan());
    EXPECT_TRUE(h.tempIsEmpty());
  }
}

TEST(LauncherRun, ChineseProgramAndFolderNamesAreUsedAsBytes) {
  LaunchHarness h;
  std::string folder, program;
  ASSERT_TRUE(stowtools::toAnsiName("安装", folder));
  ASSERT_TRUE(stowtools::toAnsiName("安装程序.exe", program));
  std::vector<PackEntry> entries{folderEntry("\\" + folder),
                                 fileEntry("\\" + folder + "\\" + program, recordingProgram())};
  std::string exe = h.build(folder + "\\" + program, entries);

  ASSERT_EQ(h.run(exe), 0);
  ASSERT_TRUE(h.programRan());
  std::string argv0 = readFile(h.report + "/argv0");
  EXPECT_NE(argv0.find("安装/安装程序.exe"), std::string::npos) << argv0;
  EXPECT_TRUE(h.tempIsEmpty());
}

TEST(LauncherRun, DamagedPackagesStartNothingAndLeaveNothing) {
  std::vector<PackEntry> entries{fileEntry("\\Setup.exe", recordingProgram()),
                                 fileEntry("\\data.bin", randomBytes(60000, 6))};
  std::string stream = stowtools::compressContents(entries);

  struct Case {
    const char* what;
    std::vector<PackEntry> entries;
    std::string stream;
  };
  std::vector<Case> cases;
  cases.push_back({"stream cut short", entries, stream.substr(0, stream.size() / 2)});
  std::string corrupt = stream;
  corrupt[corrupt.size() / 2] ^= 0x55;
  cases.push_back({"data error", entries, corrupt});
  std::vector<PackEntry> longer = entries;
  longer[1].size += 100;
  cases.push_back({"sizes beyond the stream", longer, stream});
  cases.push_back({"no bzip2 data", entries, "this is no compressed stream"});
  for (const Case& c : cases) {
    LaunchHarness h;
    std::string exe = h.build("Setup.exe", c.entries, c.stream);
    EXPECT_EQ(h.run(exe), 0) << c.what;
    EXPECT_FALSE(h.programRan()) << c.what;
    EXPECT_TRUE(h.tempIsEmpty()) << c.what;
  }
}

TEST(LauncherRun, BadTrailersAndCountsEndQuicklyWithExitCodeZero) {
  std::vector<PackEntry> entries{fileEntry("\\Setup.exe", recordingProgram())};
  auto patchU32 = [](const std::string& path, long offset, uint32_t v) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset, offset < 0 ? std::ios::end : std::ios::beg);
    for (int i = 0; i < 4; ++i) f.put(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  for (uint32_t trailer : {0xFFFFFF00u, 0u, 7u}) {
    LaunchHarness h;
    std::string exe = h.build("Setup.exe", entries);
    patchU32(exe, -4, trailer);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(h.run(exe), 0) << trailer;
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(20)) << trailer;
    EXPECT_FALSE(h.programRan()) << trailer;
    EXPECT_TRUE(h.tempIsEmpty()) << trailer;
  }
  // A count far beyond the entries present.
  LaunchHarness h;
  std::string exe = h.build("Setup.exe", entries);
  size_t image = fs::file_size(builtProgram("launcher/stowpack"));
  patchU32(exe, static_cast<long>(image + std::string("Setup.exe").size() + 1), 0x7FFFFFFFu);
  EXPECT_EQ(h.run(exe), 0);
  EXPECT_FALSE(h.programRan());
  EXPECT_TRUE(h.tempIsEmpty());
}

TEST(LauncherRun, ATempFolderWithBlanksStartsTheUnpackedProgramWithoutArguments) {
  LaunchHarness h("temp dir x");
  // A decoy where the first blank would cut the unquoted command line.
  writeFile(h.root / "temp", "#!/bin/sh\ntouch \"$RK_REPORT/decoy\"\n", 0755);
  std::string exe = h.build("Setup.exe", {fileEntry("\\Setup.exe", recordingProgram())});
  ASSERT_EQ(h.run(exe), 0);
  ASSERT_TRUE(h.programRan());
  EXPECT_EQ(readFile(h.report + "/argc"), "0\n");
  EXPECT_FALSE(fs::exists(h.report + "/decoy"));
  EXPECT_TRUE(h.tempIsEmpty());
}

TEST(LauncherRun, TwoLaunchesAtOnceUseTheirOwnFolders) {
  LaunchHarness h;
  // Each program waits a little before it copies its folder, so that the runs overlap.
  std::string exe = h.build(
      "Setup.exe", {fileEntry("\\Setup.exe", recordingProgram("sleep 0.4\n")), fileEntry("\\payload.txt", "payload")});
  std::string r1 = h.root / "r1", r2 = h.root / "r2";
  fs::create_directories(r1);
  fs::create_directories(r2);
  pid_t a = h.start(exe, r1);
  pid_t b = h.start(exe, r2);
  EXPECT_EQ(LaunchHarness::finish(a), 0);
  EXPECT_EQ(LaunchHarness::finish(b), 0);
  EXPECT_NE(readFile(r1 + "/argv0"), readFile(r2 + "/argv0"));
  EXPECT_EQ(readFile(r1 + "/seen/payload.txt"), "payload");
  EXPECT_EQ(readFile(r2 + "/seen/payload.txt"), "payload");
  EXPECT_TRUE(h.tempIsEmpty());
}

TEST(LauncherRun, DeletingTheFolderDoesNotFollowLinksOutOfIt) {
  LaunchHarness h;
  std::string outside = h.root / "keep";
  fs::create_directories(outside + "/inner");
  writeFile(outside + "/inner/precious.txt", "precious");
  writeFile(h.root / "keep.txt", "file");
  // The program leaves links to a folder and a file outside the unpack folder.
  std::string links =
      "ln -s '" + outside + "' \"$here/dirlink\"\nln -s '" + (h.root / "keep.txt") + "' \"$here/filelink\"\n";
  std::string exe = h.build("Setup.exe", {fileEntry("\\Setup.exe", recordingProgram(links))});
  ASSERT_EQ(h.run(exe), 0);
  ASSERT_TRUE(h.programRan());
  EXPECT_EQ(readFile(outside + "/inner/precious.txt"), "precious");
  EXPECT_EQ(readFile(h.root / "keep.txt"), "file");
  EXPECT_TRUE(h.tempIsEmpty());
}

TEST(LauncherRun, EntriesFindTheirFoldersAndFilesWhateverTheCase) {
  LaunchHarness h;
  // The program also leaves a folder chain of its own behind, which the deletion must clear.
  std::string extra = "mkdir -p \"$here/made/by/setup\"\necho left > \"$here/made/by/setup/x.txt\"\n";
  std::string exe = h.build("SETUP.EXE", {fileEntry("\\Setup.exe", recordingProgram(extra)), folderEntry("\\Data"),
                                          folderEntry("\\DATA\\Sub"), fileEntry("\\data\\SUB\\f.txt", "first"),
                                          // The same file in another spelling is the same file, as on Windows.
                                          fileEntry("\\Data\\sub\\F.TXT", "second"), folderEntry("\\data\\sub\\2024"),
                                          fileEntry("\\DATA\\Sub\\2024\\01.bin", std::string(20000, '\x01')),
                                          fileEntry("\\after.txt", "after")});
  ASSERT_EQ(h.run(exe), 0);
  ASSERT_TRUE(h.programRan());
  auto got = treeOf(h.seen());
  std::map<std::string, std::string> expected{{"Setup.exe", recordingProgram(extra)},
                                              {"Data", "/"},
                                              {"Data/Sub", "/"},
                                              {"Data/Sub/f.txt", "second"},
                                              {"Data/Sub/2024", "/"},
                                              {"Data/Sub/2024/01.bin", std::string(20000, '\x01')},
                                              {"after.txt", "after"},
                                              {"made", "/"},
                                              {"made/by", "/"},
                                              {"made/by/setup", "/"},
                                              {"made/by/setup/x.txt", "left\n"}};
  EXPECT_EQ(got, expected);
  EXPECT_TRUE(h.tempIsEmpty());
}
