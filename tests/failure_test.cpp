// End-to-end runs against bad input, a broken disk and a broken solver: each
// checks the exit status, the message and exactly what is left on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

using namespace domlp_test;

namespace {

// A small valid run: A, B, C carry domains, E does not.
const std::string kObs = "3\nA B\nB C\nA C\n";
const std::string kDom = "3\nD0:A\nD1:B C\nD2:A C\n";
const std::string kTest = "2\nA C\nC E\n";
const std::string kPredicted = "A\tC\nC\tE\n";

const std::vector<std::string> kArgs = {"obs.txt", "dom.txt", "test.txt", "0.1"};
const std::string kLp = "obs.txt.0.100000.lp";
const std::string kOut = "obs.txt.0.100000.out";
const std::string kPint = "test.txt.0.100000.pint";
const std::string kWriting = "writing " + kLp + "\n";

// Standard output of a run on the inputs above, up to the solver's output.
const std::string kCounts = count_lines(3, 3, 4, 2, 3, 5);

const std::string kCountMsg =
    "': the first line must begin with the number of lines that follow (a non-negative integer)\n";

const inputs kGood = {kObs, kDom, kTest};

// Outputs of an earlier run with the same arguments, which a run that fails
// before writing them must leave as they are.
void write_earlier(const temp_dir& d) {
  d.write(kLp, "earlier lp\n");
  d.write(kOut, "earlier report\n");
  d.write(kPint, "earlier\tpint\n");
}

void expect_earlier(const temp_dir& d) {
  EXPECT_EQ(d.read(kLp), "earlier lp\n");
  EXPECT_EQ(d.read(kOut), "earlier report\n");
  EXPECT_EQ(d.read(kPint), "earlier\tpint\n");
}

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

const std::vector<std::string> kInputs = {"dom.txt", "obs.txt", "test.txt"};

std::vector<std::string> inputs_and(std::vector<std::string> more) {
  more.insert(more.end(), kInputs.begin(), kInputs.end());
  return sorted(more);
}

// Whether `line` is "warning: FILE:N: fewer than two protein names, line
// skipped" for some line number N.
bool is_skip_warning(const std::string& line, const std::string& file) {
  const std::string lead = "warning: " + file + ":",
                    tail = ": fewer than two protein names, line skipped";
  return line.size() > lead.size() + tail.size() && starts_with(line, lead) &&
         ends_with(line, tail) &&
         line.find_first_not_of("0123456789", lead.size()) == line.size() - tail.size();
}

// Deterministic bytes of every value except 'A'..'E', so that no token of it
// can be the name of one of the proteins above.
std::string garbage(size_t n, uint32_t seed) {
  std::string s;
  uint32_t x = seed;
  for (size_t k = 0; k < n; ++k) {
    x = x * 1664525u + 1013904223u;
    char c = static_cast<char>(x >> 24);
    if (c >= 'A' && c <= 'E') c = static_cast<char>(c + 32);
    s += c;
  }
  return s;
}

// Runs in `d` as a user that file permissions bind: as root, the run user,
// to whom `d` is handed first; otherwise this user.
run_result run_bound_by_permissions(const temp_dir& d, const std::vector<std::string>& args) {
  hand_to_run_user(d.path());
  return run_in(d, args, {.unprivileged = true});
}

// A stand-in glpsol that hands the option probe to the real glpsol and runs
// `action` for the solve, with $out holding the report name and "$@" the
// words it was given. `${PATH#*:}` is the search path without the stand-in.
std::string stand_in(const temp_dir& bin, const std::string& action) {
  return fake_glpsol(bin,
                     "out=\nprev=\n"
                     "for a in \"$@\"; do [ \"$prev\" = -o ] && out=$a; prev=$a; done\n"
                     "if [ -z \"$out\" ]; then PATH=${PATH#*:}; exec glpsol \"$@\"; fi\n" +
                         action);
}

// A stand-in that copies `report` (kept beside it) to the report name.
std::string copying_stand_in(const temp_dir& bin, const std::string& report) {
  bin.write("report", report);
  return stand_in(bin, "cp '" + bin.file("report") + "' \"$out\"");
}

// ---------------------------------------------------------------------------
// Inputs for the solver report made by the real glpsol with wrapped long
// column names: domain k is kept at index k for k < 10006; proteins Pk carry
// the domains the report names, the filler protein F all the others. M has
// domains 0 and 10000, N has 1 and 10001, so M-N scores
// x(0,1) + x(10000,10001) = 0.5 + 0.5.

const std::string& long_names_report() {
  static const std::string r = slurp(data_file("report_long_names.out"));
  return r;
}

inputs long_name_inputs() {
  inputs in;
  in.obs = "6\nP0 P1\nP10000 P10001\nP2 P3\nP10002 P10003\nP10004 P10005\nP4 P5\n";
  in.test = "6\nP10002 P10003\nP0 P1\nM N\nP4 P5\nP10004 P10005\nF G\n";
  in.dom = "10006\n";
  for (int k = 0; k < 10006; ++k) {
    std::string n = std::to_string(k), tail = k % 10000 == 0 ? " M" : k % 10000 == 1 ? " N" : "";
    in.dom += "D" + n + ":" + (k < 6 || k >= 10000 ? "P" + n + tail : "F") + "\n";
  }
  return in;
}

const std::string kLongNamesPredicted = "P10002\tP10003\nM\tN\nP10004\tP10005\nF\tG\n";

// The text up to and including the first occurrence of `marker`.
std::string through(const std::string& text, const std::string& marker) {
  size_t at = text.find(marker);
  EXPECT_NE(at, std::string::npos) << marker;
  return text.substr(0, at + marker.size());
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

// ===========================================================================
// Bad input files.

enum role { kObsRole, kDomRole, kTestRole };
const char* const kRoleFile[] = {"obs.txt", "dom.txt", "test.txt"};

void set_role(inputs& in, role r, const std::string& text) {
  (r == kObsRole ? in.obs : r == kDomRole ? in.dom : in.test) = text;
}

}  // namespace

// A refused input stops the run before anything is written; the outputs of
// an earlier run are left as they were.
TEST(FailInput, RefusedFilesStopBeforeAnyOutput) {
  enum refusal { kMissing, kDirectory, kText };
  struct refused {
    const char* what;
    refusal kind;
    std::string text;  // the file's contents, for kText
    // The message is lead + file name + tail.
    std::string lead = "'";
    std::string tail = kCountMsg;
  };
  const refused cases[] = {
      {"missing", kMissing, "", "cannot open '", "': No such file or directory\n"},
      {"a directory", kDirectory, "", "error reading '", "': Is a directory\n"},
      {"empty", kText, ""},
      {"count line not a number", kText, "three\nA B\n"},
      {"count line negative", kText, "-3\nA B\n"},
      {"count beyond an int", kText, "99999999999\nA B\n"},
      {"binary garbage", kText, "\177ELF\2\1\1" + garbage(8192, 7)},
  };
  for (const refused& c : cases) {
    for (const char* f : kRoleFile) {
      SCOPED_TRACE(std::string(f) + " " + c.what);
      temp_dir d;
      write_inputs(d, kGood);
      write_earlier(d);
      if (c.kind == kText) d.write(f, c.text);
      if (c.kind != kText) ::unlink(d.file(f).c_str());
      if (c.kind == kDirectory) ::mkdir(d.file(f).c_str(), 0755);
      std::vector<std::string> before = d.list();
      run_result res = run_in(d, kArgs);
      EXPECT_EQ(res.status, 1);
      EXPECT_EQ(res.err, c.lead + f + c.tail);
      EXPECT_EQ(res.out, "");
      EXPECT_EQ(d.list(), before);
      expect_earlier(d);
    }
  }
}

TEST(FailInput, UnreadableFileStopsBeforeAnyOutput) {
  if (!permissions_bind_run_user()) GTEST_SKIP() << "file permissions do not bind the run user";
  for (role r : {kObsRole, kDomRole, kTestRole}) {
    SCOPED_TRACE(kRoleFile[r]);
    temp_dir d;
    write_inputs(d, kGood);
    ::chmod(d.file(kRoleFile[r]).c_str(), 0);
    run_result res = run_bound_by_permissions(d, kArgs);
    EXPECT_EQ(res.status, 1);
    EXPECT_EQ(res.err, "cannot open '" + std::string(kRoleFile[r]) + "': Permission denied\n");
    EXPECT_EQ(res.out, "");
    EXPECT_EQ(d.list(), kInputs);
  }
}

// Bad bytes after a valid count line are data: the run reads them, does not
// crash, and the good lines give the results they give alone.
TEST(FailInput, GarbageNulBytesAndLongLinesAreReadAsData) {
  const std::string big(1 << 20, 'L');
  std::string far_tokens;
  for (int k = 0; far_tokens.size() < (1u << 20); ++k) far_tokens += " u" + std::to_string(k);
  struct data_case {
    const char* what;
    role r;
    std::string text;
    std::string counts;     // expected start of standard output
    std::string pint;       // expected predicted pairs; empty: starts with kPredicted
    bool may_warn = false;  // lines with a single name may be skipped with a warning
  };
  const data_case cases[] = {
      {"garbage after the count line", kObsRole, kObs + garbage(1 << 14, 1), "", "", true},
      {"garbage after the count line", kDomRole, kDom + garbage(1 << 14, 2), "", kPredicted},
      {"garbage after the count line", kTestRole, kTest + garbage(1 << 14, 3), "", "", true},
      // A NUL is a byte of the name: "A\0X" is not A.
      {"NUL inside a name", kObsRole, kObs + std::string("A\0X B\n", 6),
       count_lines(4, 4, 5, 2, 3, 5), kPredicted},
      // "E\0x" is not E, so the domain has no known protein and E stays
      // without domains.
      {"NUL inside a name", kDomRole, "4\nD0:A\nD1:B C\nD2:A C\n" + std::string("D3:E\0x\n", 7),
       kCounts, kPredicted},
      {"NUL inside a name", kTestRole, kTest + std::string("E\0F A\n", 6),
       count_lines(3, 3, 5, 3, 3, 5), kPredicted + std::string("E\0F\tA\n", 6)},
      // The lines after a 1 MB line are still read, and the long name is one
      // protein.
      {"a line of 1 MB", kObsRole, "4\nA B\n" + big + " B\nB C\nA C\n",
       count_lines(4, 4, 5, 2, 3, 5), kPredicted},
      // E, at the far end of a 1 MB domain line, gets the domain: C-E now
      // scores 0 and is no longer predicted.
      {"a line of 1 MB", kDomRole, kDom + "D3:" + far_tokens + " E\n",
       count_lines(3, 3, 4, 2, 4, 5), "A\tC\n"},
      {"a line of 1 MB", kTestRole, kTest + big + " E\n", count_lines(3, 3, 5, 3, 3, 5),
       kPredicted + big + "\tE\n"},
  };
  for (const data_case& c : cases) {
    SCOPED_TRACE(std::string(kRoleFile[c.r]) + " " + c.what);
    temp_dir d;
    inputs in = kGood;
    set_role(in, c.r, c.text);
    write_inputs(d, in);
    run_result res = run_in(d, kArgs);
    EXPECT_EQ(res.status, 0) << res.err;
    EXPECT_TRUE(starts_with(res.out, c.counts)) << res.out;
    // Standard error holds nothing but the skip warnings and the LP file's
    // name.
    ASSERT_TRUE(ends_with(res.err, kWriting)) << res.err;
    std::string warnings = res.err.substr(0, res.err.size() - kWriting.size());
    if (!c.may_warn) {
      EXPECT_EQ(warnings, "");
    }
    for (size_t at = 0, end; at < warnings.size(); at = end + 1) {
      end = warnings.find('\n', at);
      EXPECT_TRUE(is_skip_warning(warnings.substr(at, end - at), kRoleFile[c.r]))
          << warnings.substr(at, end - at);
    }
    if (c.pint.empty())
      EXPECT_TRUE(starts_with(d.read(kPint), kPredicted));
    else
      EXPECT_EQ(d.read(kPint), c.pint);
    EXPECT_EQ(d.list(), inputs_and({kLp, kOut, kPint}));
  }
}

// A pipe can be read only once: each input is opened once and read on from
// its count line, so named pipes (and process substitutions) work like files.
TEST(FailInput, PipesAreReadOnce) {
  temp_dir d;
  const std::string texts[] = {kObs, kDom, kTest};
  std::atomic<bool> done{false};
  std::vector<std::thread> writers;
  for (int r = 0; r < 3; ++r) {
    std::string fifo = d.file(kRoleFile[r]);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // Serves the text to the first reader and end of file to any later one,
    // as a pipe does.
    writers.emplace_back([fifo, text = texts[r], &done] {
      for (bool first = true; !done; first = false) {
        int fd = ::open(fifo.c_str(), O_WRONLY);
        if (fd < 0) return;
        if (first && ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
          ADD_FAILURE() << "write to " << fifo;
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  run_result res = run_in(d, kArgs);
  done = true;
  // Unblock the writers waiting for a reader.
  std::vector<int> fds;
  for (int r = 0; r < 3; ++r)
    fds.push_back(::open(d.file(kRoleFile[r]).c_str(), O_RDONLY | O_NONBLOCK));
  for (std::thread& w : writers) w.join();
  for (int fd : fds) ::close(fd);

  EXPECT_EQ(res.status, 0) << res.err;
  EXPECT_TRUE(starts_with(res.out, kCounts)) << res.out;
  EXPECT_EQ(d.read(kPint), kPredicted);
}

// ===========================================================================
// The disk refuses the output.

// Nothing can be written in the directory: the LP file fails first, and the
// outputs of an earlier run are left as they were. (As root, the run is made
// as the unprivileged run user, whom the permissions bind.)
TEST(FailDisk, UnwritableDirectoryFailsTheRun) {
  if (!permissions_bind_run_user()) GTEST_SKIP() << "file permissions do not bind the run user";
  temp_dir d;
  write_inputs(d, kGood);
  write_earlier(d);
  ::chmod(d.path().c_str(), 0555);
  run_result res = run_bound_by_permissions(d, kArgs);
  ::chmod(d.path().c_str(), 0755);
  EXPECT_EQ(res.status, 1);
  EXPECT_EQ(res.err, kWriting + "cannot write '" + kLp + "': Permission denied\n");
  EXPECT_EQ(res.out, kCounts);
  expect_earlier(d);
  EXPECT_EQ(d.list(), inputs_and({kLp, kOut, kPint}));
}

// The predicted pairs go to the test file's directory, which is read-only:
// the LP file and the report are written, the predictions of an earlier run
// stay.
TEST(FailDisk, UnwritableTestDirectoryKeepsEarlierPredictions) {
  if (!permissions_bind_run_user()) GTEST_SKIP() << "file permissions do not bind the run user";
  temp_dir d;
  write_inputs(d, {kObs, kDom, ""});
  ::unlink(d.file("test.txt").c_str());
  ::mkdir(d.file("ro").c_str(), 0755);
  d.write("ro/test.txt", kTest);
  d.write("ro/test.txt.0.100000.pint", "earlier\tpint\n");
  ::chmod(d.file("ro").c_str(), 0555);
  run_result res = run_bound_by_permissions(d, {"obs.txt", "dom.txt", "ro/test.txt", "0.1"});
  ::chmod(d.file("ro").c_str(), 0755);
  EXPECT_EQ(res.status, 1);
  EXPECT_EQ(res.err, kWriting + "cannot write 'ro/test.txt.0.100000.pint': Permission denied\n");
  EXPECT_NE(d.read(kOut).find("Status:     OPTIMAL"), std::string::npos);
  EXPECT_EQ(d.read("ro/test.txt.0.100000.pint"), "earlier\tpint\n");
  EXPECT_EQ(list_tree(d.path()), sorted({"dom.txt", "obs.txt", "ro", "ro/test.txt",
                                         "ro/test.txt.0.100000.pint", kLp, kOut}));
}

// An output name taken by a directory: the LP file and the predicted pairs
// are written beside it and cannot be renamed over it; the report, left by
// an earlier run as far as the program knows, cannot be removed.
TEST(FailDisk, OutputNameTakenByADirectory) {
  struct taken_case {
    std::string name;
    std::string message;
    std::vector<std::string> left;  // beside the inputs, the directory included
  };
  const taken_case cases[] = {
      {kLp, "cannot write '" + kLp + "': Is a directory\n", {kLp}},
      {kOut, "cannot remove the old report '" + kOut + "': Is a directory\n", {kLp, kOut}},
      {kPint, "cannot write '" + kPint + "': Is a directory\n", {kLp, kOut, kPint}},
  };
  for (const taken_case& c : cases) {
    SCOPED_TRACE(c.name);
    temp_dir d;
    write_inputs(d, kGood);
    ::mkdir(d.file(c.name).c_str(), 0755);
    d.write(c.name + "/inside", "x");
    run_result res = run_in(d, kArgs);
    EXPECT_EQ(res.status, 1);
    EXPECT_TRUE(starts_with(res.out, kCounts)) << res.out;
    EXPECT_EQ(res.err, kWriting + c.message);
    EXPECT_EQ(d.read(c.name + "/inside"), "x");
    std::vector<std::string> want = inputs_and(c.left);
    want.push_back(c.name + "/inside");
    EXPECT_EQ(list_tree(d.path()), sorted(want));
  }
}

// Standard output cannot be written: the run stops before writing any file.
TEST(FailDisk, StandardOutputCannotBeWritten) {
  struct stat st;
  if (::stat("/dev/full", &st) != 0 || !S_ISCHR(st.st_mode))
    GTEST_SKIP() << "no /dev/full on this system";
  const std::vector<std::string> cases[] = {kArgs, {"-h"}, {"--version"}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args[0]);
    temp_dir d;
    write_inputs(d, kGood);
    run_result res = run_in(d, args, {.stdout_to = "/dev/full"});
    EXPECT_EQ(res.status, 1);
    EXPECT_EQ(res.err, "error writing standard output: No space left on device\n");
    EXPECT_EQ(d.list(), kInputs);
  }
}

// The file size limit (SIGXFSZ ignored) stops a write: the run fails, and the
// predicted pairs of an earlier run survive.
TEST(FailDisk, FileSizeLimit) {
  // 3000 covering rows make an LP of about 100 kB.
  inputs big_lp = kGood;
  big_lp.obs = "3000\n";
  std::string d0 = "2\nD0:", d1 = "\nD1:";
  for (int k = 0; k < 3000; ++k) {
    big_lp.obs += "P" + std::to_string(k) + " Q" + std::to_string(k) + "\n";
    d0 += " P" + std::to_string(k);
    d1 += " Q" + std::to_string(k);
  }
  big_lp.dom = d0 + d1 + "\n";
  // Pairs with the domain-less E are all predicted: about 60 kB of output
  // from a small LP.
  inputs big_pint = kGood;
  big_pint.test = "2002\nA C\nC E\n";
  for (int k = 0; k < 2000; ++k)
    big_pint.test += "protein_without_domains_" + std::to_string(k) + " E\n";
  // 1500 domain pairs: an LP of about 90 kB, a report of about 340 kB.
  inputs big_report = kGood;
  big_report.obs = "1500\n";
  big_report.dom = "3000\n";
  for (int k = 0; k < 1500; ++k) {
    std::string n = std::to_string(k);
    big_report.obs += "P" + n + " Q" + n + "\n";
    big_report.dom += "DP" + n + ":P" + n + "\nDQ" + n + ":Q" + n + "\n";
  }
  struct limit_case {
    const char* what;
    inputs in;
    long limit;
    std::string message;
    void (*check)(const temp_dir&);  // the LP file and the report left
  };
  const limit_case cases[] = {
      {"while writing the LP", big_lp, 16384, "cannot write '" + kLp + "': File too large\n",
       expect_earlier},
      {"while writing the predicted pairs", big_pint, 16384,
       "cannot write '" + kPint + "': File too large\n",
       [](const temp_dir& d) {
         // The LP file and the report are this run's, and whole.
         EXPECT_TRUE(ends_with(d.read(kLp), "<=0\nEnd\n")) << d.read(kLp);
         EXPECT_NE(d.read(kOut).find("Status:     OPTIMAL"), std::string::npos);
         EXPECT_TRUE(ends_with(d.read(kOut), "End of output\n"));
       }},
      {"while the solver writes its report", big_report, 160 * 1024,
       "glpsol failed with exit status 1\n",
       [](const temp_dir& d) {
         // The report stops at the limit.
         std::string report = d.read(kOut);
         EXPECT_TRUE(starts_with(report, "Problem:")) << report.substr(0, 200);
         EXPECT_LE(report.size(), 160u * 1024);
         EXPECT_EQ(report.find("End of output"), std::string::npos);
       }},
  };
  for (const limit_case& c : cases) {
    SCOPED_TRACE(c.what);
    temp_dir d;
    write_inputs(d, c.in);
    write_earlier(d);
    run_result res = run_in(d, kArgs, {.fsize_limit = c.limit});
    EXPECT_EQ(res.status, 1);
    EXPECT_EQ(res.err, kWriting + c.message);
    EXPECT_EQ(d.read(kPint), "earlier\tpint\n");
    c.check(d);
    EXPECT_EQ(d.list(), inputs_and({kLp, kOut, kPint}));
  }
}

// ===========================================================================
// The solver fails, or its report is unusable.

// An optimal report left by an earlier run with the same arguments stands
// beside the inputs each time: it is removed before the solver starts and
// never read in its place.
TEST(FailSolver, SolverFailuresEndTheRunWithoutPredictions) {
  enum solver_kind { kAbsent, kNotExecutable, kStandIn };
  struct solver_case {
    const char* what;
    solver_kind kind;
    std::string action;  // the stand-in's solve
    std::string message;
    bool leaves_report;
  };
  const solver_case cases[] = {
      {"missing", kAbsent, "",
       "glpsol not found on the search path: install GLPK's solver (Debian: apt-get install "
       "glpk-utils)\n",
       false},
      // The only glpsol on the search path lacks execute permission (which
      // binds root too).
      {"not executable", kNotExecutable, "exit 0", "cannot run glpsol: Permission denied\n", false},
      {"exits non-zero", kStandIn, "exit 3", "glpsol failed with exit status 3\n", false},
      {"exits non-zero after a complete report", kStandIn,
       "PATH=${PATH#*:}; glpsol \"$@\" >/dev/null\nexit 1", "glpsol failed with exit status 1\n",
       true},
      {"killed by a signal", kStandIn, "kill -KILL $$", "glpsol was killed by signal 9\n", false},
      {"killed after a complete report", kStandIn,
       "PATH=${PATH#*:}; glpsol \"$@\" >/dev/null\nkill -TERM $$",
       "glpsol was killed by signal 15\n", true},
      {"writes no report", kStandIn, "exit 0", "parse_glp2: fopen error (" + kOut + ")\n", false},
  };
  for (const solver_case& c : cases) {
    SCOPED_TRACE(c.what);
    temp_dir d, bin;
    write_inputs(d, kGood);
    d.write(kPint, "earlier\tpint\n");
    d.write(kOut, long_names_report());
    std::string prefix = c.kind == kAbsent ? bin.path() : stand_in(bin, c.action);
    if (c.kind == kNotExecutable) ::chmod((prefix + "/glpsol").c_str(), 0644);
    run_result res =
        run_in(d, kArgs, {.path_prefix = prefix, .no_system_path = c.kind != kStandIn});
    EXPECT_EQ(res.status, 1);
    EXPECT_EQ(res.out, kCounts);
    EXPECT_EQ(res.err, kWriting + c.message);
    EXPECT_EQ(d.read(kPint), "earlier\tpint\n");
    if (c.leaves_report) {
      EXPECT_NE(d.read(kOut).find("Status:     OPTIMAL"), std::string::npos);
      EXPECT_NE(d.read(kOut), long_names_report());
    }
    EXPECT_EQ(d.list(),
              c.leaves_report ? inputs_and({kLp, kOut, kPint}) : inputs_and({kLp, kPint}));
  }
}

// Reports a stand-in glpsol writes: every one but a complete report ends the
// run without predictions. glpsol puts a name longer than twelve characters
// on a line of its own and the values on the next: every column after such a
// name is still read.
TEST(FailReport, ReportsOfAStandInSolver) {
  const std::string& good = long_names_report();
  const std::string in_columns =
      "parse_glp: report ends inside the column section (" + kOut + ")\n";
  struct report_case {
    const char* what;
    std::string report;
    std::string message;  // empty: the run succeeds
  };
  const report_case cases[] = {
      {"complete, with wrapped long names", good, ""},
      {"empty", "", "parse_glp: report ends before its status line (" + kOut + ")\n"},
      {"cut before the column section", good.substr(0, good.find("   No. Column name")),
       "parse_glp: no column section (" + kOut + ")\n"},
      {"cut after a wrapped long name", through(good, "x(10000,10001)\n"), in_columns},
      {"cut inside an activity", through(good, "     3 x(2,3)       B            0."), in_columns},
      {"infeasible", replaced(good, "Status:     OPTIMAL", "Status:     INFEASIBLE (FINAL)"),
       "parse_glp: Not optimal (" + kOut + ") [Status:     INFEASIBLE (FINAL)\n]"},
      {"a one-letter column name", replaced(good, " x(0,1)       B", " x            B"),
       "less 1 x\n"},
  };
  for (const report_case& c : cases) {
    SCOPED_TRACE(c.what);
    temp_dir d, bin;
    write_inputs(d, long_name_inputs());
    run_result res = run_in(d, kArgs, {.path_prefix = copying_stand_in(bin, c.report)});
    EXPECT_EQ(res.status, c.message.empty() ? 0 : 1);
    EXPECT_EQ(res.err, kWriting + c.message);
    EXPECT_EQ(d.read(kOut), c.report);
    if (c.message.empty()) {
      EXPECT_EQ(d.read(kPint), kLongNamesPredicted);
      EXPECT_EQ(d.list(), inputs_and({kLp, kOut, kPint}));
    } else {
      EXPECT_EQ(d.list(), inputs_and({kLp, kOut}));
    }
  }
}

// ===========================================================================
// File names, real glpsol.

// Names that a command shell would split, expand, glob or run, names that
// look like options and names with bytes beyond ASCII are used as they are.
// The run works in a subdirectory of a scratch directory: a name run by a
// shell would create a file there or in the parent ("../hijacked"), and
// nothing but the three derived files, each beside its input, may appear
// anywhere in the scratch directory.
TEST(FailNames, ShellAndNonAsciiNamesCreateNothingElse) {
  struct name_case {
    const char* what;
    std::string obs, dom, test;  // relative to the working directory
  };
  const std::string utf8_dir =
      "donn\xc3\xa9"
      "es-\xe6\x97\xa5";
  const name_case cases[] = {
      {"spaces", "obs file.txt", "dom  file.txt", " test file "},
      {"quotes", "it's \"obs\".txt", "dom's.txt", "\"test\".txt"},
      {"semicolons", "obs;touch hijacked;.txt", "dom;touch ..", "test; touch hijacked"},
      {"command substitution", "$(touch hijacked).txt", "`touch hijacked`",
       "test$(touch hijacked)|x&y>z"},
      {"command substitution into the parent", "$(touch ../hijacked).txt", "dom.txt",
       "`touch ../hijacked`"},
      {"globs and variables", "obs*.txt", "dom?[a-z]", "$HOME ${PATH} ~"},
      {"tab and line break", "obs\tname\n.txt", "dom\n", "test\r\n"},
      {"leading dash", "-obs.txt", "-dom.txt", "-test.txt"},
      {"option names", "--lp", "-h", "-o"},
      {"bytes beyond ASCII", "obs-\xc3\xa9.txt", "dom-\xff\xfe.txt", "t\xc3\xa9st-\x80.txt"},
      {"in a directory with a non-ASCII name", utf8_dir + "/obs-\xe6\x97\xa5.txt",
       utf8_dir + "/dom.txt", utf8_dir + "/-t\xc3\xa9st"},
      // Each derived file goes to its own input's directory.
      {"in other directories", "../in/obs.txt", "doms/dom.txt", "../in/deep/test.txt"},
      // Derived names as long as a file name may be (255 bytes): the
      // temporary files beside them, which would be longer, get short names.
      {"longest derived names", std::string(242, 'o'), "dom.txt", std::string(241, 't')},
  };
  temp_dir ref;
  write_inputs(ref, kGood);
  ASSERT_EQ(run_in(ref, kArgs).status, 0);
  const std::string ref_lp = ref.read(kLp);
  for (const name_case& c : cases) {
    SCOPED_TRACE(c.what);
    temp_dir d;
    const std::string work = d.file("work");
    ::mkdir(work.c_str(), 0755);
    for (const std::string* name : {&c.obs, &c.dom, &c.test}) {
      size_t slash = name->rfind('/');
      if (slash != std::string::npos)
        std::filesystem::create_directories(work + "/" + name->substr(0, slash));
    }
    d.write("work/" + c.obs, kObs);
    d.write("work/" + c.dom, kDom);
    d.write("work/" + c.test, kTest);
    std::vector<std::string> want = list_tree(d.path());
    const std::string lp = c.obs + ".0.100000.lp", out = c.obs + ".0.100000.out",
                      pint = c.test + ".0.100000.pint";
    for (const std::string& made : {lp, out, pint})
      want.push_back(std::filesystem::path("work/" + made).lexically_normal().string());
    std::sort(want.begin(), want.end());

    run_options o;
    o.cwd = work;
    run_result res = run_domlp({c.obs, c.dom, c.test, "0.1"}, o);
    EXPECT_EQ(res.status, 0) << res.err;
    EXPECT_TRUE(starts_with(res.out, kCounts)) << res.out;
    EXPECT_EQ(res.err, "writing " + lp + "\n");
    EXPECT_EQ(d.read("work/" + lp), ref_lp);
    EXPECT_NE(d.read("work/" + out).find("Status:     OPTIMAL"), std::string::npos);
    EXPECT_EQ(d.read("work/" + pint), kPredicted);
    EXPECT_EQ(list_tree(d.path()), want);
  }
}

// ===========================================================================
// The command line.

TEST(FailArgs, FewerThanFourArgumentsPrintTheUsage) {
  temp_dir d;
  write_inputs(d, kGood);
  const std::string usage = run_in(d, {"-h"}).out;
  ASSERT_TRUE(starts_with(usage, "usage: domlp OBSERVED_PAIRS DOMAINS TEST_PAIRS FRACTION\n"))
      << usage;
  const std::vector<std::string> cases[] = {
      {}, {"obs.txt"}, {"obs.txt", "dom.txt"}, {"obs.txt", "dom.txt", "test.txt"}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args.size());
    run_result res = run_in(d, args);
    EXPECT_EQ(res.status, 2);
    EXPECT_EQ(res.err, usage);
    EXPECT_EQ(res.out, "");
    EXPECT_EQ(d.list(), kInputs);
  }
}

// ===========================================================================
// The fraction argument.

TEST(FailFraction, FractionArguments) {
  struct fraction_case {
    const char* arg;
    int status;
    std::string err_prefix;  // the whole standard error when `exact`
    bool exact;
    std::string tag;        // empty: nothing written
    std::string lp_ending;  // the budget row's bound
    std::string pint;       // predicted pairs of a run that succeeds
  };
  const std::string big = "1000000015047466219876688855040.000000";
  const fraction_case cases[] = {
      {"nan", 2, "fraction 'nan' is not a finite number\n", true, "", "", ""},
      {"inf", 2, "fraction 'inf' is not a finite number\n", true, "", "", ""},
      {"-inf", 2, "fraction '-inf' is not a finite number\n", true, "", "", ""},
      {"1e40", 2, "fraction '1e40' is not a finite number\n", true, "", "", ""},
      // The run tag is the fraction held as a float and rendered by "%f".
      {"0.25", 0, "writing obs.txt.0.250000.lp\n", true, "0.250000", "<=0\nEnd\n", kPredicted},
      {"2.0000005", 0, "writing obs.txt.2.000000.lp\n", true, "2.000000", "<=6\nEnd\n", "C\tE\n"},
      {"16777217", 0, "writing obs.txt.16777216.000000.lp\n", true, "16777216.000000",
       "<=50331648\nEnd\n", "C\tE\n"},
      {"abc", 0,
       "warning: fraction 'abc' is not a number; using 0.000000\nwriting obs.txt.0.000000.lp\n",
       true, "0.000000", "<=0\nEnd\n", kPredicted},
      {"0,1", 0,
       "warning: fraction '0,1' is not wholly a number; using 0.000000\n"
       "writing obs.txt.0.000000.lp\n",
       true, "0.000000", "<=0\nEnd\n", kPredicted},
      // Every observed pair may go uncovered: no domain pair is needed, and
      // only the pair with the domain-less E is predicted.
      {"1e30", 0, "writing obs.txt." + big + ".lp\n", true, big, "<=2147483647\nEnd\n", "C\tE\n"},
      // A negative bound on a sum of non-negative slacks: glpsol finds no
      // solution and the run fails (glpsol's own status word follows).
      {"-1", 1,
       "writing obs.txt.-1.000000.lp\nparse_glp: Not optimal (obs.txt.-1.000000.out) [Status:",
       false, "-1.000000", "<=-3\nEnd\n", ""},
  };
  for (const fraction_case& c : cases) {
    SCOPED_TRACE(c.arg);
    temp_dir d;
    write_inputs(d, kGood);
    run_result res = run_in(d, {"obs.txt", "dom.txt", "test.txt", c.arg});
    EXPECT_EQ(res.status, c.status);
    if (c.exact)
      EXPECT_EQ(res.err, c.err_prefix);
    else
      EXPECT_TRUE(starts_with(res.err, c.err_prefix) && ends_with(res.err, "\n]")) << res.err;
    if (c.tag.empty()) {
      EXPECT_EQ(res.out, "");
      EXPECT_EQ(d.list(), kInputs);
      continue;
    }
    std::string lp = "obs.txt." + c.tag + ".lp", out = "obs.txt." + c.tag + ".out",
                pint = "test.txt." + c.tag + ".pint";
    EXPECT_TRUE(ends_with(d.read(lp), c.lp_ending)) << d.read(lp);
    if (c.status == 0) {
      EXPECT_EQ(d.read(pint), c.pint);
      EXPECT_EQ(d.list(), inputs_and({lp, out, pint}));
    } else {
      EXPECT_EQ(d.list(), inputs_and({lp, out}));
    }
  }
}
