// orvane-cli never loses a user's file, never hangs on an input, leaves
// nothing behind when interrupted, and says plainly what went wrong.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "cli/run_cli.h"
#include "formats/container_writers.h"
#include "support/test_support.h"
#include "tiff/tiff_builder.h"

extern char** environ;

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::fixture;
using test::TempDir;

using test::kCli;
using Result = test::CliResult;

Result cli_in(const fs::path& dir, const std::string& args) {
  return test::run_cli(args, dir);
}

// Every file below `dir` with its bytes.
std::map<fs::path, std::vector<std::uint8_t>> snapshot(const fs::path& dir) {
  std::map<fs::path, std::vector<std::uint8_t>> files;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    files[e.path()] = e.is_regular_file() && !e.is_symlink() ? test::read_file(e.path())
                                                             : std::vector<std::uint8_t>{};
  return files;
}

TEST(CliSafety, RefusalsComeBeforeAnythingIsWritten) {
  TempDir dir;
  fs::copy_file(fixture("tiff/text-1728-g4.tif"), dir / "a.tif");
  fs::create_hard_link(dir / "a.tif", dir / "hard.tif");
  fs::create_symlink(dir / "a.tif", dir / "soft.tif");
  fs::create_directories(dir / "x");
  fs::create_directories(dir / "y");
  fs::copy_file(fixture("raw/text-1728-pbmtog3.g3"), dir / "x/fax.g3");
  fs::copy_file(fixture("raw/text-1728-pbmtog3.g3"), dir / "y/fax.g3");
  fs::create_directories(dir / "folder");
  ASSERT_EQ(test::run("mkfifo '" + (dir / "pipe").string() + "'"), 0);
  test::write_file(dir / "letter.fax", {'%', 'P', 'D', 'F', '-', '1', '.', '4', '\n'});
  test::write_file(dir / "empty.tif", {});
  const auto before = snapshot(dir.path());

  struct Case {
    std::string args;
    int code;
    std::string message;
  } cases[] = {
      {"convert a.tif -o a.tif", 2, "a.tif: is the input file a.tif"},
      {"convert a.tif -o hard.tif", 2, "hard.tif: is the input file a.tif"},
      {"convert a.tif -o soft.tif", 2, "soft.tif: is the input file a.tif"},
      {"convert x/fax.g3 y/fax.g3 --out-dir out", 2,
       "x/fax.g3 and y/fax.g3 would both be written to out/fax.g3.tif"},
      {"convert a.tif -o page.pbm", 2, "the output name must end in .tif, .tiff or .pdf"},
      {"convert a.tif -o x.tif --to pdf", 2, "x.tif: the output name does not end in .pdf"},
      {"convert a.tif -o x.pdf --g4", 2, "--g4 is for TIFF output"},
      {"convert a.tif -o a.pdf --to tif", 2, "a.pdf: the output name does not end in .tif"},
      {"convert a.tif -o folder", 2, "folder: is a folder"},
      {"render a.tif -o hard.tif", 2, "the output must end in .pbm or .png"},
      {"info pipe", 2, "pipe: is a FIFO (named pipe), not a file"},
      {"convert pipe -o p.tif", 2, "pipe: is a FIFO (named pipe), not a file"},
      {"info /dev/zero", 2, "/dev/zero: is a device, not a file"},
      {"info letter.fax", 1, "letter.fax: is a PDF document, not a fax file"},
      {"convert empty.tif -o e.tif", 1, "empty.tif: is empty"},
  };
  for (const Case& c : cases) {
    const Result r = cli_in(dir.path(), c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << "\n" << r.out;
  }
  EXPECT_EQ(snapshot(dir.path()), before) << "a refused run wrote something";
}

// Every writer (TIFF, PDF, PNG, PBM, the thumbnailer's PNG) writes into a
// device node or a FIFO, writes a link's target and leaves the link, and
// refuses a block device, rather than putting a file in their place.
TEST(CliSafety, OutputsThatAreNoFileAreWrittenIntoNotReplaced) {
  TempDir dir;
  fs::copy_file(fixture("tiff/text-1728-g4.tif"), dir / "a.tif");
  // The null device's numbers at a name of our own: a test that went wrong
  // cannot replace the system's /dev/null.
  if (test::run("mknod '" + (dir / "dev").string() + "' c 1 3 2>/dev/null") != 0)
    GTEST_SKIP() << "no mknod here";
  ASSERT_EQ(test::run("mknod '" + (dir / "blk.png").string() + "' b 7 200 && mkfifo '" +
                      (dir / "pipe").string() + "'"),
            0);
  fs::create_symlink("real.png", dir / "link.png");
  const std::string thumbnailer =
      std::string(ORVANE_BINARY_DIR) + "/src/thumbnailer/orvane-thumbnailer";
  struct Case {
    std::string command;  // run in the folder, with $CLI and $THUMB; $RC echoes the status
    std::string expect;   // in what it said
  } cases[] = {
      {"$CLI convert a.tif -o dev; $RC", "rc=0"},
      {"$CLI convert a.tif --to pdf -o dev; $RC", "rc=0"},
      {"$CLI render a.tif -o dev; $RC", "rc=0"},
      {"$CLI render a.tif -o dev --format png; $RC", "rc=0"},
      {"$THUMB a.tif dev; $RC", "rc=0"},
      // A FIFO gets the whole output, as a shell's redirection would give it.
      {"cat pipe > got.pdf & $CLI convert a.tif --to pdf -o pipe; $RC; wait; head -c 5 got.pdf",
       "rc=0\n%PDF-"},
      {"cat pipe > got.png & $THUMB a.tif pipe; $RC; wait; file -b got.png", "rc=0\nPNG image"},
      {"$THUMB a.tif link.png; $RC; file -b real.png", "rc=0\nPNG image"},
      {"$CLI render a.tif -o - --format png | file -b -", "PNG image"},
      {"$CLI render a.tif -o - | cmp - page.pbm; $RC", "rc=0"},
      {"$CLI render a.tif -o blk.png",
       "blk.png: the image could not be written: it is a block device"},
      {"$THUMB a.tif blk.png", "blk.png: cannot be written: it is a block device"},
  };
  ASSERT_EQ(cli_in(dir.path(), "render a.tif -o page.pbm").code, 0);
  for (const Case& c : cases) {
    const std::string out = test::run_output(
        "cd '" + dir.path().string() + "' && CLI=" + kCli + " THUMB=" + thumbnailer +
        " RC='eval echo rc=$?' && { " + c.command + "; } 2>&1");
    EXPECT_NE(out.find(c.expect), std::string::npos) << c.command << "\n" << out;
  }
  struct stat st {};
  EXPECT_TRUE(::stat((dir / "dev").c_str(), &st) == 0 && S_ISCHR(st.st_mode));
  EXPECT_TRUE(::stat((dir / "pipe").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
  EXPECT_TRUE(::stat((dir / "blk.png").c_str(), &st) == 0 && S_ISBLK(st.st_mode));
  EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find(".part-"), std::string::npos) << e.path();
}

TEST(CliSafety, UsageErrorsAreOneLineNamingTheProblem) {
  TempDir dir;
  struct Case {
    std::string args, names;
  } cases[] = {
      {"foo", "'foo' is not a command"},
      {"", "a command is needed: info, render, convert or formats"},
      {"render x.g3 --page 0 -o x.pbm", "--page: Value 0 not in range 1 to 65535"},
      {"render x.g3 --page abc -o x.pbm", "--page"},
      {"convert x.g3", "convert needs -o OUT.tif or --out-dir DIR"},
  };
  for (const Case& c : cases) {
    const Result r = cli_in(dir.path(), c.args);
    EXPECT_EQ(r.code, 2) << c.args;
    EXPECT_EQ(r.out.find("orvane-cli: "), 0u) << r.out;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "one line: " << r.out;
    EXPECT_NE(r.out.find(c.names), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("; see 'orvane-cli --help'\n"), std::string::npos) << r.out;
  }
  const Result help = cli_in(dir.path(), "help");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("Convert fax files to multi-page TIFF"), std::string::npos);
}

TEST(CliSafety, AMixedBatchConvertsInOneRun) {
  TempDir dir;
  struct Input {
    std::string from, name;
    std::vector<std::string> pages;  // expected images
  } inputs[] = {
      {"tiff/multipage-1728-g4.tif",
       "multi.tif",
       {"multipage-1728-g4-p1", "multipage-1728-g4-p2", "multipage-1728-g4-p3"}},
      {"faxtools/gs-tiffg4.tif", "fax_attachment", {"gs-tiffg4-p1", "gs-tiffg4-p2"}},
      {"faxtools/efax-pipe.001", "efax.001", {"efax-pipe"}},
      {"raw/text-1728-pbmtog3.g3", "scan.g3", {"text-1728-pbmtog3"}},
  };
  std::string args = "convert";
  for (const Input& in : inputs) {
    fs::copy_file(fixture(in.from), dir / in.name);
    args += " '" + in.name + "'";
  }
  const Result r = cli_in(dir.path(), args + " --out-dir out --jobs 2");
  ASSERT_EQ(r.code, 0) << r.out;
  for (const Input& in : inputs) {
    SCOPED_TRACE(in.name);
    // libtiff reads every page back to the pixels the input holds.
    const auto pages =
        test::tifftopnm_pages(dir, dir / "out" / (fs::path(in.name).stem().string() + ".tif"));
    ASSERT_EQ(pages.size(), in.pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i)
      EXPECT_TRUE(test::same_pixels(test::read_pbm(fixture("expected/" + in.pages[i] + ".pbm.gz")),
                                    pages[i], in.pages[i]));
  }
}

// True once the conversion works in its scratch folder under `tmp`.
bool scratch_in_use(const fs::path& tmp) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(tmp, ec))
    if (fs::exists(e.path() / "orvtmp.tmp", ec)) return true;
  return false;
}

// Exit code as the shell reports it (128 + signal for a killed process).
int exit_code(int status) {
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

TEST(CliSafety, AnInterruptedConversionLeavesNothingBehind) {
  // A bare stream large enough to be stopped midway: the same pages again
  // and again (about 10 MB). The output itself has no name until it is
  // complete (see AtomicOutput's test), so only the scratch folder and a
  // hidden temporary name can be left.
  TempDir dir;
  const auto page = test::read_file(fixture("raw/text-1728-pbmtog3.g3"));
  std::vector<std::uint8_t> big;
  for (int i = 0; i < 3000; ++i) big.insert(big.end(), page.begin(), page.end());
  test::write_file(dir / "big.g3", big);
  const std::vector<std::uint8_t> keep = {'k', 'e', 'e', 'p'};
  test::write_file(dir / "out.tif", keep);
  fs::create_directories(dir / "tmp");
  setenv("TMPDIR", (dir / "tmp").c_str(), 1);

  struct Case {
    int signal;
    int code;
  } cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGKILL, 137}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.signal);
    std::string input = (dir / "big.g3").string(), output = (dir / "out.tif").string();
    std::string convert = "convert", o = "-o", cli = kCli;
    char* argv[] = {cli.data(), convert.data(), input.data(), o.data(), output.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, cli.c_str(), nullptr, nullptr, argv, environ), 0);
    // Stopped while it decodes into its scratch folder.
    int status = 0;
    bool running = true;
    while (!scratch_in_use(dir / "tmp")) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        running = false;
        break;
      }
      usleep(1000);
    }
    ASSERT_TRUE(running) << "the conversion ended before it could be stopped";
    kill(pid, c.signal);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(exit_code(status), c.code);
    EXPECT_EQ(test::read_file(dir / "out.tif"), keep);
    for (const auto& e : fs::directory_iterator(dir.path()))
      EXPECT_EQ(e.path().filename().string().find(".part-"), std::string::npos) << e.path();
    if (c.signal == SIGKILL) {
      // The killed run's scratch folder goes at the next start.
      EXPECT_FALSE(fs::is_empty(dir / "tmp"));
      EXPECT_EQ(test::run(kCli + " info '" + fixture("raw/text-1728-pbmtog3.g3").string() +
                          "' >/dev/null"),
                0);
    }
    EXPECT_TRUE(fs::is_empty(dir / "tmp")) << "scratch folder left behind";
  }
  unsetenv("TMPDIR");
}

// True while process `pid` runs (a zombie nobody reaps has ended).
bool running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  const auto close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

// The At Work converter runs under a time limit in a process group of its
// own, which goes whole (with what the converter started) when the
// program is interrupted, killed or tired of waiting.
TEST(CliSafety, AnOutsideConverterThatHangsIsEndedWithItsGroup) {
  TempDir dir;
  const std::string script = "#!/bin/sh\necho $$ > '" + (dir / "pids").string() +
                             "'\nsleep 1000 &\necho $! >> '" + (dir / "pids").string() +
                             "'\nwait\n";
  fs::create_directories(dir / "bin");
  test::write_file(dir / "bin/AWDVSTUB.EXE",
                   std::vector<std::uint8_t>(script.begin(), script.end()));
  fs::permissions(dir / "bin/AWDVSTUB.EXE", fs::perms(0755));
  test::write_file(dir / "fax.awd", {1, 2, 3});
  const std::string path = (dir / "bin").string() + ":" + std::getenv("PATH");
  const std::string thumbnailer =
      std::string(ORVANE_BINARY_DIR) + "/src/thumbnailer/orvane-thumbnailer";
  struct Case {
    std::string program;
    int signal;  // 0: none, the time limit ends the converter
    int code;
    std::string says;
  } cases[] = {
      {kCli, SIGINT, 130, "interrupted"},
      {kCli, SIGTERM, 143, "interrupted"},
      {kCli, 0, 1, "AWDVSTUB.EXE for At Work files did not finish in 1 s and was stopped"},
      {thumbnailer, SIGKILL, 137, ""},
      {thumbnailer, SIGTERM, 143, ""},
      {thumbnailer, 0, 1, "AWDVSTUB.EXE for At Work files did not finish in 1 s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program + " " + std::to_string(c.signal));
    fs::remove(dir / "pids");
    const std::string run = "cd '" + dir.path().string() + "' && PATH='" + path + "' " +
                            (c.signal ? "" : "ORVANE_CONVERTER_TIMEOUT=1 ") + "exec " + c.program +
                            (c.program == kCli ? " info fax.awd" : " fax.awd out.png") +
                            " > said 2>&1";
    std::string sh = "/bin/sh", dash_c = "-c";
    char* argv[] = {sh.data(), dash_c.data(), const_cast<char*>(run.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, sh.c_str(), nullptr, nullptr, argv, environ), 0);
    std::vector<pid_t> pids;
    for (int i = 0; i < 2000 && pids.size() < 2; ++i) {
      usleep(5000);
      std::ifstream in(dir / "pids");
      pids.clear();
      for (pid_t p; in >> p;) pids.push_back(p);
    }
    ASSERT_EQ(pids.size(), 2u) << "the converter did not start";
    if (c.signal) kill(pid, c.signal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(exit_code(status), c.code);
    std::ifstream said(dir / "said");
    const std::string text((std::istreambuf_iterator<char>(said)), {});
    EXPECT_NE(text.find(c.says), std::string::npos) << text;
    for (const pid_t p : pids) {
      for (int i = 0; i < 200 && running(p); ++i) usleep(10000);
      EXPECT_FALSE(running(p)) << "left running: " << p;
      if (running(p)) kill(p, SIGKILL);
    }
  }
}

TEST(CliMessages, PagesAndFilesSayWhyTheyAreNotRead) {
  TempDir dir;
  const std::string pbm = fixture("expected/text-1728-g3-1d.pbm.gz").string();
  ASSERT_EQ(test::run("zcat '" + pbm + "' | pnmtotiff -lzw > '" + (dir / "lzw.tif").string() +
                      "' 2>/dev/null"),
            0);
  ASSERT_EQ(
      test::run("pgmramp -lr 64 8 | pnmtotiff > '" + (dir / "gray.tif").string() + "' 2>/dev/null"),
      0);
  ASSERT_EQ(test::run("zcat '" + pbm + "' | pnmtotiff -g4 > '" + (dir / "g4.tif").string() +
                      "' 2>/dev/null && tiffcp -t -w 256 -l 64 '" + (dir / "g4.tif").string() +
                      "' '" + (dir / "tiled.tif").string() + "'"),
            0);
  test::write_file(dir / "noise.g3", std::vector<std::uint8_t>(4096, 0x5A));
  test::write_file(dir / "zeros.g3", std::vector<std::uint8_t>(4096, 0));
  test::TiffBuilder many;
  for (int i = 0; i < 1100; ++i) many.add_directory({many.long_entry(256, 8)});
  test::write_file(dir / "many.tif", many.bytes());
  test::TiffBuilder too_many;
  for (int i = 0; i < 65600; ++i) too_many.add_directory({too_many.long_entry(256, 8)});
  test::write_file(dir / "too-many.tif", too_many.bytes());
  // A G4 page whose directory is sound and whose strip is all zeros.
  test::TiffBuilder zeros;
  const std::uint32_t strip = zeros.append(std::vector<std::uint8_t>(64, 0));
  zeros.add_directory({zeros.long_entry(256, 64), zeros.long_entry(257, 8),
                       zeros.short_entry(259, 4), zeros.long_entry(273, strip),
                       zeros.long_entry(279, 64)});
  test::write_file(dir / "zero-strip.tif", zeros.bytes());
  // Larger than the largest bare stream held in memory, without the disk space.
  ASSERT_EQ(test::run("truncate -s 1100M '" + (dir / "huge.g3").string() + "'"), 0);

  const std::string bare_g4 = "'" + fixture("faxtools/im-group4-bare.g4").string() + "'";
  struct Case {
    std::string args, says;
  } cases[] = {
      {"info lzw.tif", "page 1 does not decode: Compression 5 (LZW) is not a fax coding"},
      {"info gray.tif",
       "page 1 does not decode: BitsPerSample 8: a colour or grey picture, not a black-and-white "
       "fax"},
      {"info tiled.tif",
       "page 1 does not decode: tiled; this program reads TIFF pages stored in strips only"},
      {"info noise.g3", "as bare fax data it may read with --raw-t6 --bit-order msb (Group 4"},
      // Bare G4 that begins without 0xFF bytes: a start found inside the
      // page reads as noise; read at a wrong width.
      {"info " + bare_g4,
       "warning: decoding lost its way 1 time in 380 rows at width 1728: the pages may be noise; "
       "it may read as Group 4 data from its first byte, with --raw-t6 --bit-order msb"},
      {"render " + bare_g4 + " --raw-t6 --bit-order msb --min-width 2000 -o w.png",
       "rows at width 2000: the pages may be noise; try another --min-width"},
      {"render zeros.g3 --raw-t6 -o z.png", "read with --min-width 100"},
      {"info lzw.tif --json",
       "\"text\": \"\", \"reason\": \"page 1 does not decode: Compression 5 (LZW) is not a fax "
       "coding\"}"},
      {"info '" + fixture("tiff/text-1728-g3-1d-no-res.tif").string() + "'",
       "Highest bit first, resolution not stated"},
      {"info '" + fixture("tiff/text-1728-g4.tif").string() + "'", ": TIFF, 1 page\n"},
      {"info many.tif", "many.tif: TIFF, 1100 pages"},
      // Only --check decodes the pages.
      {"info zero-strip.tif", "  page 1: 64 x 8, CCITT Group 4 2D (T.6 2D), Highest bit first"},
      {"info zero-strip.tif --json",
       "\"pages\": 1, \"checked\": false, \"page_list\": [{\"page\": 1, "
       "\"valid\": true"},
      {"info zero-strip.tif --check", "  page 1 does not decode: "},
      {"info zero-strip.tif --json --check",
       "\"pages\": 1, \"checked\": true, \"page_list\": [{\"page\": 1, \"valid\": false"},
      {"info too-many.tif",
       "too-many.tif: lists more than 65535 pages; the pages past page 65535 "
       "could not be read and were left out"},
      {"info huge.g3", "larger than the largest file this program holds in memory (1024 MiB)"},
      {"convert huge.g3 -o h.tif", "larger than the largest file this program holds in memory"},
      {"convert '" + fixture("raw/text-1728-pbmtog3.g3").string() + "' -o no/such/x.tif",
       "no/such/x.tif: conversion failed: the output could not be written: No such file or "
       "directory"},
  };
  for (const Case& c : cases) {
    const Result r = cli_in(dir.path(), c.args);
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << "\n" << r.out.substr(0, 2000);
    EXPECT_EQ(r.out.find("(format "), std::string::npos) << c.args;
  }
  // A folder that cannot be written gives the system's reason.
  if (geteuid() != 0) {
    fs::create_directories(dir / "ro");
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    const Result r = cli_in(
        dir.path(), "convert '" + fixture("raw/text-1728-pbmtog3.g3").string() + "' -o ro/x.tif");
    EXPECT_NE(r.out.find("the output could not be written: Permission denied"), std::string::npos)
        << r.out;
  }
}

}  // namespace
}  // namespace orvane
